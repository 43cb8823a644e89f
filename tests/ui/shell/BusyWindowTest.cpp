// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/TestDataGenerator.h"
#include "metering/DataFileWriters.h"
#include "ui/support/RunningApp.h"

#include <QPointer>
#include <functional>

namespace {

// Each window whose own work waits with events running is closed in the middle of that wait, as a person
// (or the factory defaults of the main window) might: it must outlive its work, then close as asked.
TEST(BusyWindow, AWindowClosedWhileItsWorkWaitsClosesOnceTheWorkIsOver)
{
    struct Case
    {
        const char* name;
        MenuItem item;
        const char* button;       // starts the work; none for a window that starts it itself
        QString FilePaths::*file; // made to fail twice, so the work waits twice
        bool viaFactoryDefaults;  // closed by the main window's Load Factory Defaults instead of its frame
    };
    const Case cases[] = {
        {"reload", MenuItem::LoadPreviousRunData, nullptr, &FilePaths::dataStore, false},
        {"graph", MenuItem::DisplayEnergyHistoryGraph, "Command1", nullptr, false},
        {"meter setup", MenuItem::EnergyMeterSetup, "Save", &FilePaths::meterSettings, false},
        {"advanced setup", MenuItem::AdvancedSettings, "Save", &FilePaths::advancedSettings, true},
        {"camera", MenuItem::CameraSetup, "butSaveAllSettings", &FilePaths::cameraSettings, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunningApp r;
        // 5000 records: the graph lets events through once per 4096.
        ASSERT_EQ(FillArray(r.ctx(), {QStringLiteral("5"), QStringLiteral("5000"), QStringLiteral("9")}), QString());
        ASSERT_EQ(write_data_file(r.ctx(), r.ctx().paths.dataStore, 1, 5000, true), QString());
        if (c.file)
            r.files.fail(FaultyFileIo::Op::Open, r.ctx().paths.*c.file, 2);

        QPointer<QWidget> window;
        int closes = 0;
        bool aliveAfterClose = false;
        r.pump.onEvents = [&] {
            if (!window || closes > 0)
                return;
            ++closes;
            if (c.viaFactoryDefaults)
                r.app.window().action(MenuItem::LoadFactoryDefaults)->trigger();
            else
                r.frameOf(window)->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            aliveAfterClose = !window.isNull();
        };
        window = r.open(c.item);
        ASSERT_NE(window, nullptr);
        if (c.button)
            r.click(window, c.button);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 5000)) << "closed once the work is over";
        EXPECT_EQ(closes, 1);
        EXPECT_TRUE(aliveAfterClose);
        r.pump.onEvents = nullptr;
    }
}

} // namespace
