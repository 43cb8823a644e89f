// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"
#include "support/TestContext.h"
#include "ui/AdvancedSettingsSetupForm.h"
#include "ui/DataLoggingSetupForm.h"
#include "ui/EnergyMeterSetupForm.h"
#include "ui/MainWindow.h"
#include "ui/WattsightApp.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

template <typename Form> struct OpenForm
{
    OpenForm()
    {
        MakeDefaultSettingsFiles(t.ctx);
        form = std::make_unique<Form>(t.ctx);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    QLineEdit* field(const char* name) const { return form->template findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QString text(const char* name) const { return field(name)->text(); }
    // Replaces a field's text the way a user does: enter it, select everything, type.
    void retype(const char* name, const QString& text)
    {
        QLineEdit* f = field(name);
        f->setFocus(Qt::TabFocusReason);
        f->selectAll();
        if (text.isEmpty())
            QTest::keyClick(f, Qt::Key_Backspace);
        else
            QTest::keyClicks(f, text);
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    TestContext t;
    std::unique_ptr<Form> form;
};

// Screens are grabbed to PNGs when WATTSIGHT_SCREENSHOT_DIR names a folder.
void screenshot(QWidget& widget)
{
    const QString dir = qEnvironmentVariable("WATTSIGHT_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(QDir(dir).filePath(widget.objectName() + QStringLiteral(".png")));
}

TEST(EnergyMeterSetupForm, ShowsTheRecordWithTitledLabelsAndTips)
{
    OpenForm<EnergyMeterSetupForm> f;
    EXPECT_EQ(f.form->windowTitle(), "Energy Meter Setup");
    EXPECT_EQ(f.text("Text1"), "300");
    EXPECT_EQ(f.text("Text2"), "5");
    EXPECT_EQ(f.form->template findChild<QLabel*>("Label2")->text(), "Cost per KWH(unit) in Pence");
    EXPECT_EQ(f.form->template findChild<QLabel*>("Label1")->text() + ' ' +
                  f.form->template findChild<QLabel*>("Label4")->text(),
              "Disk Revolutions per KWH");
    screenshot(*f.form);
}

TEST(EnergyMeterSetupForm, ApplyChangesTheRecordOnlyAndSaveWritesTheFile)
{
    OpenForm<EnergyMeterSetupForm> f;
    f.retype("Text1", "750");
    f.retype("Text2", "13.72");
    f.click(f.form->applyButton());
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 750);
    EXPECT_EQ(f.t.ctx.settings.COST_PER_KWH, 13.72);
    ASSERT_TRUE(LoadMeterSettings(f.t.ctx)); // as a restart would
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 300);

    f.click(f.form->saveButton());
    f.t.ctx.settings.REVS_PER_KWH = 1;
    ASSERT_TRUE(LoadMeterSettings(f.t.ctx));
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 750);
    EXPECT_EQ(f.t.ctx.settings.COST_PER_KWH, 13.72);
    EXPECT_TRUE(f.t.dialogs.shown.empty());
}

TEST(EnergyMeterSetupForm, SmallestValuesShowWithoutExponentAndSurviveApply)
{
    TestContext t;
    t.ctx.settings.REVS_PER_KWH = 0.0000001;
    t.ctx.settings.COST_PER_KWH = 0.0000000001;
    EnergyMeterSetupForm form(t.ctx);
    EXPECT_EQ(form.findChild<QLineEdit*>("Text1")->text(), "0.0000001");
    EXPECT_EQ(form.findChild<QLineEdit*>("Text2")->text(), "0.0000000001");
    form.ApplyMeterFields();
    EXPECT_EQ(t.ctx.settings.REVS_PER_KWH, 0.0000001);
    EXPECT_EQ(t.ctx.settings.COST_PER_KWH, 0.0000000001);
}

TEST(EnergyMeterSetupForm, SaveFailureIsReportedAndLoadResetsMemoryOnly)
{
    OpenForm<EnergyMeterSetupForm> f;
    f.t.files.fail(FaultyFileIo::Op::Open, f.t.ctx.paths.meterSettings);
    f.retype("Text1", "375");
    f.click(f.form->saveButton());
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "Problem saving settings: Couldn't open the file for writing\r\n");
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 375); // applied even though the file was not written

    f.click(f.form->loadButton());
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 300);
    EXPECT_EQ(f.text("Text1"), "300");
}

TEST(DataLoggingSetupForm, IntervalFieldRefusesFractionsAndValuesBelowThirty)
{
    OpenForm<DataLoggingSetupForm> f;
    EXPECT_EQ(f.form->windowTitle(), "Data logging setup");
    EXPECT_TRUE(f.form->applyButton()->toolTip().isEmpty());
    f.retype("Text1", "29.5");
    EXPECT_EQ(f.text("Text1"), "295");
    f.retype("Text1", "29");
    f.click(f.form->applyButton());
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "Maximum allowed value is 60000\r\nMinimum allowed value is 30");
    EXPECT_EQ(f.text("Text1"), "300");
    EXPECT_TRUE(f.field("Text1")->hasFocus());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 300);

    f.retype("Text1", "45");
    f.click(f.form->applyButton());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 45);
    screenshot(*f.form);
}

TEST(DataLoggingSetupForm, FactoryDefaultsStayInTheRecordAfterClose)
{
    OpenForm<DataLoggingSetupForm> f;
    f.t.ctx.settings.LOGGING_INTERVAL_SECONDS = 900;
    f.click(f.form->loadButton());
    EXPECT_EQ(f.text("Text1"), "300");
    f.retype("Text1", "600");
    f.click(f.form->findChild<QPushButton*>("CloseForm"));
    EXPECT_FALSE(f.form->isVisible());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 300);
}

TEST(AdvancedSettingsSetupForm, FillsEveryFieldAndAppliesThemBack)
{
    OpenForm<AdvancedSettingsSetupForm> f;
    EXPECT_EQ(f.form->windowTitle(), "Advanced Settings");
    GlobalSettings& s = f.t.ctx.settings;
    const QStringList factoryTexts = {"13,10", "44", "10000", "600", "3", "10",  "3",    "10",  "Pence",
                                      "KWH",   "KW", "4",     "4",   "4", "200", "1000", "1000"};
    const QStringList names = {"Text1",  "Text2",  "Text3",  "Text4",  "Text6",  "Text7",  "Text8",  "Text9", "Text10",
                               "Text11", "Text12", "Text13", "Text14", "Text15", "Text16", "Text17", "Text18"};
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(f.text(qPrintable(names[i])), factoryTexts[i]) << names[i].toStdString();
    EXPECT_TRUE(f.form->template findChild<QCheckBox*>("Check1")->isChecked());

    const QStringList edited = {"12",  "9", "2000", "0", "5", "20", "6",   "30", "  Euro ",
                                "kWh", "W", "2",    "3", "1", "50", "600", "700"};
    for (int i = 0; i < names.size(); ++i)
        f.retype(qPrintable(names[i]), edited[i]);
    f.form->template findChild<QCheckBox*>("Check1")->setChecked(false);
    f.form->template findChild<QCheckBox*>("Check3")->setChecked(true);
    f.click(f.form->applyButton());
    EXPECT_TRUE(f.t.dialogs.shown.empty()) << f.t.dialogs.texts().join('|').toStdString();

    EXPECT_EQ(s.END_OF_LINE_CHARACTERS, "12");
    EXPECT_EQ(f.t.ctx.strGlobalEndOfLine, "\r\n"); // the codes take effect only after a restart
    EXPECT_EQ(s.FIELD_DELIMITER, "9");
    EXPECT_EQ(s.DATA_ARRAY_LENGTH, 2000);
    EXPECT_EQ(s.ARRAY_WRITE_INTERVAL_SECONDS, 0);
    EXPECT_EQ(s.FILE_WRITE_TRIES, 5);
    EXPECT_EQ(s.FILE_WRITE_DELAY_TENTHS, 20);
    EXPECT_EQ(s.FILE_READ_TRIES, 6);
    EXPECT_EQ(s.FILE_READ_DELAY_TENTHS, 30);
    EXPECT_EQ(s.CURRENCY_TITLE, "Euro");
    EXPECT_EQ(s.ENERGY_TITLE, "kWh");
    EXPECT_EQ(s.POWER_TITLE, "W");
    EXPECT_EQ(s.COST_ROUNDING_PLACES, 2);
    EXPECT_EQ(s.ENERGY_ROUNDING_PLACES, 3);
    EXPECT_EQ(s.POWER_ROUNDING_PLACES, 1);
    EXPECT_EQ(s.TIMER_TICK_MILLISECONDS, 50);
    EXPECT_EQ(s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS, 600);
    EXPECT_EQ(s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS, 700);
    EXPECT_FALSE(s.WRITE_ARRAY_TO_DISK);
    EXPECT_FALSE(s.WRITE_LIVE_DATA_FILE);
    EXPECT_TRUE(s.WRITE_DIFF_LOG_FILE);

    f.click(f.form->loadButton());
    EXPECT_EQ(f.text("Text10"), "Pence");
    EXPECT_TRUE(f.form->template findChild<QCheckBox*>("Check1")->isChecked());
    EXPECT_FALSE(f.form->template findChild<QCheckBox*>("Check3")->isChecked());
    EXPECT_EQ(s, SettingsDefaults::factorySettings());
    screenshot(*f.form);
}

TEST(AdvancedSettingsSetupForm, EmptyTitleLastsOnlyUntilRestartAndShortArrayCannotBeLeft)
{
    OpenForm<AdvancedSettingsSetupForm> f;
    f.retype("Text3", "999");
    f.click(f.form->applyButton());
    EXPECT_EQ(f.text("Text3"), "10000");
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "Maximum allowed value is 100000000\r\nMinimum allowed value is 1000");

    f.retype("Text10", "");
    f.click(f.form->saveButton());
    EXPECT_EQ(f.t.ctx.settings.CURRENCY_TITLE, "");
    ASSERT_TRUE(LoadAdvancedSettings(f.t.ctx));
    EXPECT_EQ(f.t.ctx.settings.CURRENCY_TITLE, "Pence");
}

TEST(SetupForms, OnlyCloseIsUsableWhenOpenedDuringLoggingOrATrip)
{
    const std::vector<std::function<SettingsGroupForm*(AppContext&)>> makers = {
        [](AppContext& c) { return new EnergyMeterSetupForm(c); },
        [](AppContext& c) { return new DataLoggingSetupForm(c); },
        [](AppContext& c) { return new AdvancedSettingsSetupForm(c); }};
    for (const auto& make : makers) {
        TestContext t;
        t.ctx.blnGlobalLoggingRunning = true;
        std::unique_ptr<SettingsGroupForm> logging(make(t.ctx));
        t.ctx.blnGlobalLoggingRunning = false;
        t.ctx.blnGlobalTripRunning = true;
        std::unique_ptr<SettingsGroupForm> trip(make(t.ctx));
        t.ctx.blnGlobalTripRunning = false;
        std::unique_ptr<SettingsGroupForm> idle(make(t.ctx));
        for (SettingsGroupForm* form : {logging.get(), trip.get()}) {
            EXPECT_FALSE(form->applyButton()->isEnabled()) << form->objectName().toStdString();
            EXPECT_FALSE(form->saveButton()->isEnabled());
            EXPECT_FALSE(form->loadButton()->isEnabled());
            EXPECT_TRUE(form->findChild<QPushButton*>("CloseForm")->isEnabled());
        }
        // Decided on opening only: a run that ends later does not enable them.
        EXPECT_FALSE(logging->applyButton()->isEnabled());
        EXPECT_TRUE(idle->applyButton()->isEnabled() && idle->saveButton()->isEnabled() &&
                    idle->loadButton()->isEnabled());
    }
}

TEST(SetupForms, SetupMenuOpensThemAndCloseOrFactoryDefaultsCloseThem)
{
    TestContext t;
    WattsightApp app(Services{t.clock, t.pump, t.dialogs, t.files}, t.dir.path(), WattsightApp::Options{});
    MainWindow& window = app.window();
    window.show();
    const std::vector<std::pair<MenuItem, QString>> items = {{MenuItem::EnergyMeterSetup, "EnergyMeterSetupForm"},
                                                             {MenuItem::DataLoggingSetup, "DataLoggingSetupForm"},
                                                             {MenuItem::AdvancedSettings, "AdvancedSettingsSetupForm"}};
    std::vector<QPointer<QWidget>> opened;
    for (const auto& [item, name] : items) {
        ASSERT_TRUE(window.action(item)->isEnabled());
        window.action(item)->trigger();
        opened.emplace_back(window.screen(item));
        ASSERT_TRUE(opened.back());
        EXPECT_EQ(opened.back()->objectName(), name);
        EXPECT_TRUE(opened.back()->isVisible());
    }
    // Inside the frame, Close must close the frame too, not leave an empty one behind.
    opened[0]->findChild<QPushButton*>("CloseForm")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened[0].isNull());
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 2);

    window.action(MenuItem::LoadFactoryDefaults)->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QPointer<QWidget>& screen : opened)
        EXPECT_TRUE(screen.isNull());
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
}

} // namespace
