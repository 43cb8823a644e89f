// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "metering/DataFileWriters.h"
#include "ui/support/RunningApp.h"

#include <QPointer>

namespace {

// Each window whose own work waits with events running is closed in the middle of that wait, through its
// frame or by the main window's Load Factory Defaults: it must outlive its work, then close as asked.
TEST(BusyWindow, AWindowClosedWhileItsWorkWaitsClosesOnceTheWorkIsOver)
{
    struct Case
    {
        MenuItem item;
        const char* button;       // starts the work; none for a window that starts it itself
        QString FilePaths::*file; // fails twice, so the work waits twice
        bool viaFactoryDefaults;
    } const cases[] = {{MenuItem::LoadPreviousRunData, nullptr, &FilePaths::dataStore, false},
                       {MenuItem::DisplayEnergyHistoryGraph, "Command1", nullptr, false},
                       {MenuItem::EnergyMeterSetup, "Save", &FilePaths::meterSettings, false},
                       {MenuItem::AdvancedSettings, "Save", &FilePaths::advancedSettings, true},
                       {MenuItem::CameraSetup, "butSaveAllSettings", &FilePaths::cameraSettings, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.item));
        RunningApp r;
        // 5000 records: the graph lets events through once per 4096.
        ASSERT_EQ(FillArray(r.ctx(), {QStringLiteral("5"), QStringLiteral("5000"), QStringLiteral("9")}), QString());
        ASSERT_EQ(write_data_file(r.ctx(), r.ctx().paths.dataStore, 1, 5000, true), QString());
        if (c.file)
            r.files.fail(FaultyFileIo::Op::Open, r.ctx().paths.*c.file, 2);
        QPointer<QWidget> window;
        bool closed = false;
        r.pump.onEvents = [&] {
            if (!window || std::exchange(closed, true))
                return;
            if (c.viaFactoryDefaults)
                r.app.window().action(MenuItem::LoadFactoryDefaults)->trigger();
            else
                r.frameOf(window)->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_FALSE(window.isNull()) << "freed while its work waits";
        };
        window = r.open(c.item);
        if (c.button)
            press(window, c.button);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000)) << "closed once the work is over";
        EXPECT_TRUE(closed);
        r.pump.onEvents = nullptr;
    }
}

} // namespace
