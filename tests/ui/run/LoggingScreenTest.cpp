// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/DataImport.h"
#include "ui/support/RunningApp.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <functional>

namespace {

// Every text a label showed on screen, in the order it was painted.
struct PaintedTexts : QObject
{
    explicit PaintedTexts(QLabel* label) : label(label) { label->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == label && event->type() == QEvent::Paint)
            texts << label->text();
        return false;
    }
    QLabel* label;
    QStringList texts;
};

// The logging screen of a running program, with a meter of 1000 revolutions per kWh at 15 Pence.
struct LoggingApp : RunningApp
{
    LoggingApp() { std::tie(ctx().settings.REVS_PER_KWH, ctx().settings.COST_PER_KWH) = std::tuple(1000, 15.0); }
    QWidget* logging() { return screen(MenuItem::EnergyLoggingForm); }
    QString text(const char* name) { return RunningApp::text(logging(), name); }
    QString texts(std::initializer_list<const char*> names) { return RunningApp::texts(logging(), names); }
    QString status() { return child<QLabel>(logging(), "Label22")->text(); }
    QString buttons() { return enabledPattern(logging(), {"StartButton", "StopButton", "butAddComment"}); }
    QString dataStore() { return QString::fromLocal8Bit(fileBytes(ctx().paths.dataStore)); }
    // Presses "Add Comment" and acts on the modal window it opens; the window is closed afterwards if the
    // action left it open. Returns whether the window was still open when the action ended.
    bool withCommentWindow(const std::function<void(QDialog*)>& act)
    {
        bool ran = false, stillOpen = false;
        answerNextDialog([&](QDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Add Comment");
            act(&dialog);
            ran = true;
            if ((stillOpen = dialog.isVisible()))
                dialog.reject();
        });
        press(logging(), "butAddComment");
        EXPECT_TRUE(ran);
        return stillOpen;
    }
};

TEST(LoggingScreen, AStartRefusedByEitherQuestionChangesNothing)
{
    LoggingApp a;
    QWidget* form = a.open(MenuItem::EnergyLoggingForm);
    a.ctx().varGlobalDataArray.append(LogRecord{});
    a.ctx().strGlobalUserComment = QStringLiteral("pending");
    a.dialogs.setNextAnswer(Dialogs::Answer::No);
    press(form, "StartButton");
    ASSERT_TRUE(writeFileBytes(a.ctx().paths.dataStore, "an earlier run\r\n"));
    a.dialogs.setNextAnswer(Dialogs::Answer::No);
    press(form, "StartButton");
    // No camera warning after a refusal.
    ASSERT_EQ(a.dialogs.shown.size(), 2u);
    EXPECT_TRUE(a.dialogs.shown[1].text.startsWith("There is data stored as a file"));
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: STOPPED100");
    EXPECT_FALSE(a.ctx().blnGlobalLoggingRunning ||
                 a.app.loggingEngine().findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    EXPECT_EQ(a.ctx().varGlobalDataArray.pointer(), 2);
    EXPECT_EQ(a.ctx().strGlobalUserComment + "|" + a.dataStore(), "pending|an earlier run\r\n");
}

TEST(LoggingScreen, ARunOnTheFakeClockShowsItsFiguresLogsRecordsAndStopWritesTheBackup)
{
    LoggingApp a;
    QWidget* form = a.open(MenuItem::EnergyLoggingForm);
    bool runningAtWarning = false;
    a.dialogs.onMessage = [&](const ScriptedDialogs::Shown& shown) {
        if (shown.text.startsWith("Warning. Camera is not running"))
            runningAtWarning = a.ctx().blnGlobalLoggingRunning;
    };
    a.clock.setNow(QDateTime(QDate(2009, 1, 15), QTime(9, 0, 0)));
    press(form, "StartButton");
    ASSERT_EQ(a.dialogs.shown.size(), 1u);
    EXPECT_TRUE(runningAtWarning) << "the camera warning comes after logging has started";
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: RUNNING011");
    auto* timer = a.app.loggingEngine().findChild<QTimer*>(QStringLiteral("Timer1"));
    EXPECT_EQ(a.text("Text1"), "15/01/2009 09:00:00");

    QWidget* sim = a.open(MenuItem::PulseSimulator);
    for (int i = 0; i < 2; ++i) {
        a.clock.advance(3.6);
        a.pulse(sim);
    }
    EXPECT_EQ(a.texts({"Text4", "Text5", "Text6", "Text11", "Text12"}), "2|0.002|0.03|1|15");

    // The real timer drives the engine: at the end of the interval a record is written.
    a.clock.advance(300 - 7.2);
    a.letTimerTick();
    // Text7: one closed minute holding both pulses.
    EXPECT_EQ(a.texts({"Text3", "Text3a", "Text7"}), "300|00h 05m 00s|0.12");
    ASSERT_EQ(a.ctx().varGlobalDataArray.pointer(), 2);
    EXPECT_EQ(a.ctx().varGlobalDataArray.row(1).PulsesThisInterval, 2);
    EXPECT_EQ(a.dataStore(), "") << "the backup interval has not passed";
    screenshotIfWanted(a.frameOf(form), "LoggingForm.png");

    PaintedTexts painted(child<QLabel>(form, "WriteStatus"));
    press(form, "StopButton");
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(a.status() + a.buttons(), "STATUS: STOPPED100");
    EXPECT_TRUE(painted.texts.contains("Writing data to disk")) << "shown while the final backup was written";
    EXPECT_EQ(child<QLabel>(form, "WriteStatus")->text(), "");
    const QStringList lines = a.dataStore().split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.size(), 3) << "header, one record, nothing after the last line end";
    EXPECT_EQ(a.text("Text4"), "2") << "a stopped run keeps its figures";
}

TEST(LoggingScreen, WhileLoggingRunsTheScreenExitAndReloadAreRefusedAndCommentsLandInTheNextRecordOnly)
{
    LoggingApp a;
    QWidget* form = a.open(MenuItem::EnergyLoggingForm);
    press(form, "StartButton");
    a.dialogs.shown.clear();
    a.frameOf(form)->close();
    EXPECT_TRUE(form->isVisible());
    a.app.window().action(MenuItem::ExitMenu)->trigger();
    EXPECT_FALSE(a.ended);
    EXPECT_EQ(a.dialogs.texts(),
              (QStringList{"Please stop the logging process before trying to close it",
                           "You are currently logging data. Please stop this before trying to exit this application"}));
    a.dialogs.shown.clear();
    a.app.window().action(MenuItem::LoadPreviousRunData)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !a.dialogs.shown.empty(); }, 3000));
    EXPECT_EQ(a.dialogs.texts(), QStringList{ReloadWhileLoggingText});

    // Typed: two commas and a line break become three spaces.
    EXPECT_FALSE(a.withCommentWindow([&](QDialog* dialog) {
        auto* box = child<QPlainTextEdit>(dialog, "edtComment");
        EXPECT_TRUE(dialog->focusWidget() == box && box->toPlainText().isEmpty());
        QTest::keyClicks(box, "kettle,on");
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, "oven, off");
        press(dialog, "butApply");
    }));
    EXPECT_EQ(a.ctx().strGlobalUserComment, "kettle on oven  off");
    // Close keeps the stored comment whatever the box holds; the box opens with the stored comment.
    EXPECT_FALSE(a.withCommentWindow([&](QDialog* dialog) {
        auto* box = child<QPlainTextEdit>(dialog, "edtComment");
        EXPECT_EQ(box->toPlainText(), "kettle on oven  off");
        QTest::keyClicks(box, " and more");
        press(dialog, "butClose");
    }));
    EXPECT_EQ(a.ctx().strGlobalUserComment, "kettle on oven  off");
    a.clock.advance(300);
    a.letTimerTick();
    // Clear empties box and comment and stays open.
    a.ctx().strGlobalUserComment = QStringLiteral("pending");
    EXPECT_TRUE(a.withCommentWindow([&](QDialog* dialog) {
        press(dialog, "butClear");
        EXPECT_EQ(child<QPlainTextEdit>(dialog, "edtComment")->toPlainText() + a.ctx().strGlobalUserComment, "");
    }));
    a.clock.advance(300);
    a.letTimerTick();
    const DataArray& data = a.ctx().varGlobalDataArray;
    ASSERT_EQ(data.pointer(), 3);
    EXPECT_EQ(data.row(1).UserComment + "|" + data.row(2).UserComment, "kettle on oven  off|");

    a.stopCloseAndReopen(form, MenuItem::EnergyLoggingForm);
}

} // namespace
