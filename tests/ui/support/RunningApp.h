// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/LoggingEngine.h"
#include "metering/TripEngine.h"
#include "support/TestContext.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/WattsightApp.h"
#include "ui/support/WidgetActions.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The whole program started on fake services with the Debug menu on, for the tests of its run screens.
struct RunningApp
{
    FakeClock clock;
    FakePump pump{clock};
    ScriptedDialogs dialogs;
    FaultyFileIo files;
    QTemporaryDir dir;
    WattsightApp app{Services{clock, pump, dialogs, files}, dir.path(), WattsightApp::Options{true, dir.path()}};
    bool ended = false;

    RunningApp()
    {
        // Before start-up: the screens build their date formats once.
        app.context().locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
        EXPECT_TRUE(app.Main());
        app.window().endProcess = [this] { ended = true; };
    }

    MeteringContext& ctx() { return app.context(); }
    QWidget* open(MenuItem item)
    {
        app.window().action(item)->trigger();
        return app.window().screen(item);
    }
    QWidget* screen(MenuItem item) { return app.window().screen(item); }
    QMdiSubWindow* frameOf(QWidget* w)
    {
        for (QMdiSubWindow* sub : app.window().mdiArea()->subWindowList())
            if (sub->widget() == w)
                return sub;
        return nullptr;
    }
    QString text(QWidget* form, const char* name) { return child<QLineEdit>(form, name)->text(); }
    // The texts of several fields joined by "|", to compare a screen's figures at once.
    QString texts(QWidget* form, std::initializer_list<const char*> names)
    {
        QStringList out;
        for (const char* name : names)
            out << text(form, name);
        return out.join(QLatin1Char('|'));
    }
    // Which of the buttons are enabled, as "1" or "0" each: one comparison shows the whole row.
    QString enabledPattern(QWidget* form, std::initializer_list<const char*> names)
    {
        QString pattern;
        for (const char* name : names)
            pattern += child<QPushButton>(form, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return pattern;
    }
    // Lets every running screen and run timer fire at least once after the fake clock moved. Waits for the ticks
    // themselves: on a loaded machine a timer can fire long after its interval.
    void letTimerTick()
    {
        std::vector<std::unique_ptr<QSignalSpy>> ticks;
        const QString name = QStringLiteral("Timer1");
        for (QTimer* timer : app.window().findChildren<QTimer*>(name) + app.tripEngine().findChildren<QTimer*>(name) +
                                 app.loggingEngine().findChildren<QTimer*>(name))
            if (timer->isActive())
                ticks.push_back(std::make_unique<QSignalSpy>(timer, &QTimer::timeout));
        ASSERT_FALSE(ticks.empty()) << "no screen timer runs";
        const bool ticked = QTest::qWaitFor(
            [&] { return std::all_of(ticks.begin(), ticks.end(), [](const auto& spy) { return spy->count() > 0; }); },
            10000);
        EXPECT_TRUE(ticked);
    }
    // Stop, then close the screen's frame: it goes without a message and the menu brings the same screen back.
    void stopCloseAndReopen(QWidget* form, MenuItem item)
    {
        dialogs.shown.clear();
        press(form, "StopButton");
        frameOf(form)->close();
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(dialogs.shown.empty());
        EXPECT_EQ(open(item), form) << "the same screen comes back";
        EXPECT_TRUE(form->isVisible());
    }
    // One revolution through the pulse simulator: mark on, then off.
    void pulse(QWidget* simulator)
    {
        press(simulator, "Command1");
        press(simulator, "Command2");
    }
};

// Writes a picture of the widget to docs/screenshots when WATTSIGHT_SCREENSHOTS is set.
inline void screenshotIfWanted(QWidget* widget, const char* name)
{
    if (!name || qEnvironmentVariableIsEmpty("WATTSIGHT_SCREENSHOTS"))
        return;
    const QString path = QDir(QStringLiteral(WATTSIGHT_SCREENSHOT_DIR)).filePath(QString::fromLatin1(name));
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
}
