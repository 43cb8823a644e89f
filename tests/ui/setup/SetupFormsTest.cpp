// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"
#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"
#include "ui/setup/AdvancedSettingsSetupForm.h"
#include "ui/setup/DataLoggingSetupForm.h"
#include "ui/setup/EnergyMeterSetupForm.h"
#include "ui/setup/PublishingSetupForm.h"
#include "ui/support/RunningApp.h"
#include "ui/support/WidgetActions.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <functional>

namespace {

template <typename Form> struct OpenForm
{
    OpenForm()
    {
        MakeDefaultSettingsFiles(t.ctx);
        showActive(form);
    }
    QLineEdit* field(const char* name) { return child<QLineEdit>(&form, name); }
    QString text(const char* name) { return field(name)->text(); }
    void type(const char* name, const QString& text) { retype(field(name), text); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    QCheckBox* check(const char* name) { return child<QCheckBox>(&form, name); }

    Form makeForm()
    {
        if constexpr (std::is_constructible_v<Form, AppContext&, PublishService&>)
            return Form(t.ctx, service);
        else
            return Form(t.ctx);
    }

    TestContext t;
    PublishService service{t.ctx}; // idle unless a test switches publishing on
    Form form = makeForm();
};

TEST(EnergyMeterSetupForm, ApplyChangesTheRecordOnlySaveWritesTheFileLoadResetsMemory)
{
    OpenForm<EnergyMeterSetupForm> f;
    EXPECT_EQ(f.text("Text1") + ' ' + f.text("Text2"), "300 5");
    f.type("Text1", "750");
    f.type("Text2", "13.72");
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.ctx.settings.COST_PER_KWH, 13.72);
    ASSERT_TRUE(LoadMeterSettings(f.t.ctx)); // as a restart would
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 300);

    f.click(f.form.saveButton());
    f.t.ctx.settings.REVS_PER_KWH = 1;
    ASSERT_TRUE(LoadMeterSettings(f.t.ctx));
    EXPECT_EQ(std::tuple(f.t.ctx.settings.REVS_PER_KWH, f.t.ctx.settings.COST_PER_KWH), std::tuple(750, 13.72));
    EXPECT_TRUE(f.t.dialogs.shown.empty());

    f.t.files.fail(FaultyFileIo::Op::Open, f.t.ctx.paths.meterSettings);
    f.type("Text1", "375");
    f.click(f.form.saveButton());
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{"Problem saving settings: Couldn't open the file for writing\r\n"});
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 375); // applied even though the file was not written
    f.click(f.form.loadButton());
    EXPECT_EQ(f.t.ctx.settings.REVS_PER_KWH, 300);
    EXPECT_EQ(f.text("Text1"), "300"); // the field follows the loaded value
}

TEST(EnergyMeterSetupForm, SmallestValuesShowWithoutExponentAndSurviveApply)
{
    TestContext t;
    t.ctx.settings.REVS_PER_KWH = 0.0000001;
    t.ctx.settings.COST_PER_KWH = 0.0000000001;
    EnergyMeterSetupForm form(t.ctx);
    EXPECT_EQ(form.findChild<QLineEdit*>("Text2")->text(), "0.0000000001");
    form.ApplyMeterFields();
    EXPECT_EQ(std::tuple(t.ctx.settings.REVS_PER_KWH, t.ctx.settings.COST_PER_KWH),
              std::tuple(0.0000001, 0.0000000001));
}

TEST(DataLoggingSetupForm, IntervalRefusesValuesBelowThirtyAndDefaultsOutliveClose)
{
    OpenForm<DataLoggingSetupForm> f;
    f.type("Text1", "29");
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "Maximum allowed value is 60000\r\nMinimum allowed value is 30");
    EXPECT_TRUE(f.text("Text1") == "300" && f.field("Text1")->hasFocus());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 300);
    f.type("Text1", "45");
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 45);

    f.click(f.form.loadButton());
    EXPECT_EQ(f.text("Text1"), "300");
    f.type("Text1", "600");
    f.click(f.form.findChild<QPushButton*>("CloseForm"));
    EXPECT_FALSE(f.form.isVisible());
    EXPECT_EQ(f.t.ctx.settings.LOGGING_INTERVAL_SECONDS, 300);
}

TEST(AdvancedSettingsSetupForm, FillsEveryFieldAndAppliesThemBack)
{
    OpenForm<AdvancedSettingsSetupForm> f;
    // Field, factory text, typed text.
    const std::tuple<const char*, const char*, const char*> fields[] = {
        {"Text1", "13,10", "12"},  {"Text2", "44", "9"},     {"Text3", "10000", "2000"},
        {"Text4", "600", "0"},     {"Text6", "3", "5"},      {"Text7", "10", "20"},
        {"Text8", "3", "6"},       {"Text9", "10", "30"},    {"Text10", "Pence", "  Euro "},
        {"Text11", "KWH", "kWh"},  {"Text12", "KW", "W"},    {"Text13", "4", "2"},
        {"Text14", "4", "3"},      {"Text15", "4", "1"},     {"Text16", "200", "50"},
        {"Text17", "1000", "600"}, {"Text18", "1000", "700"}};
    for (const auto& [name, factory, typed] : fields) {
        EXPECT_EQ(f.text(name), factory) << name;
        f.type(name, QString::fromLatin1(typed));
    }
    EXPECT_TRUE(f.check("Check1")->isChecked());
    f.check("Check1")->setChecked(false);
    f.check("Check3")->setChecked(true);
    f.click(f.form.applyButton());
    EXPECT_TRUE(f.t.dialogs.shown.empty()) << f.t.dialogs.texts().join('|').toStdString();

    GlobalSettings e = SettingsDefaults::factorySettings();
    std::tie(e.END_OF_LINE_CHARACTERS, e.FIELD_DELIMITER, e.CURRENCY_TITLE, e.ENERGY_TITLE, e.POWER_TITLE) =
        std::tuple("12", "9", "Euro", "kWh", "W");
    std::tie(e.DATA_ARRAY_LENGTH, e.ARRAY_WRITE_INTERVAL_SECONDS, e.FILE_WRITE_TRIES, e.FILE_WRITE_DELAY_TENTHS,
             e.FILE_READ_TRIES, e.FILE_READ_DELAY_TENTHS, e.COST_ROUNDING_PLACES, e.ENERGY_ROUNDING_PLACES,
             e.POWER_ROUNDING_PLACES, e.TIMER_TICK_MILLISECONDS, e.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS,
             e.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS) = std::tuple(2000, 0, 5, 20, 6, 30, 2, 3, 1, 50, 600, 700);
    e.WRITE_ARRAY_TO_DISK = false;
    e.WRITE_DIFF_LOG_FILE = true;
    EXPECT_EQ(f.t.ctx.settings, e);
    EXPECT_EQ(f.t.ctx.strGlobalEndOfLine, "\r\n"); // the codes take effect only after a restart

    f.click(f.form.loadButton());
    EXPECT_EQ(f.text("Text10"), "Pence");
    EXPECT_TRUE(f.check("Check1")->isChecked() && !f.check("Check3")->isChecked());
    EXPECT_EQ(f.t.ctx.settings, SettingsDefaults::factorySettings());
}

TEST(AdvancedSettingsSetupForm, EmptyTitleLastsOnlyUntilRestartAndShortArrayCannotBeLeft)
{
    OpenForm<AdvancedSettingsSetupForm> f;
    f.type("Text3", "999");
    f.click(f.form.applyButton());
    EXPECT_EQ(f.text("Text3"), "10000");
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "Maximum allowed value is 100000000\r\nMinimum allowed value is 1000");

    f.type("Text10", "");
    f.type("Text1", "13,,10"); // a code list the next start could not read is refused
    f.click(f.form.saveButton());
    EXPECT_EQ(f.text("Text1"), "13,10");
    EXPECT_TRUE(f.t.dialogs.texts().last().startsWith("End of Line Characters must be character codes"));
    EXPECT_EQ(f.t.ctx.settings.CURRENCY_TITLE, "");
    ASSERT_TRUE(LoadAdvancedSettings(f.t.ctx));
    EXPECT_EQ(f.t.ctx.settings.CURRENCY_TITLE, "Pence");
    EXPECT_EQ(f.t.ctx.settings.END_OF_LINE_CHARACTERS, "13,10");
}

TEST(SetupForms, OnlyCloseIsUsableWhenOpenedDuringLoggingOrATrip)
{
    const std::vector<std::function<SettingsGroupForm*(AppContext&)>> makers = {
        [](AppContext& c) { return new EnergyMeterSetupForm(c); },
        [](AppContext& c) { return new DataLoggingSetupForm(c); },
        [](AppContext& c) { return new AdvancedSettingsSetupForm(c); }};
    const auto usable = [](SettingsGroupForm& form) {
        return QString("%1%2%3%4")
            .arg(form.applyButton()->isEnabled())
            .arg(form.saveButton()->isEnabled())
            .arg(form.loadButton()->isEnabled())
            .arg(form.findChild<QPushButton*>("CloseForm")->isEnabled());
    };
    for (const auto& make : makers) {
        TestContext t;
        for (bool* running : {&t.ctx.blnGlobalLoggingRunning, &t.ctx.blnGlobalTripRunning}) {
            *running = true;
            std::unique_ptr<SettingsGroupForm> form(make(t.ctx));
            EXPECT_EQ(usable(*form), "0001") << form->objectName().toStdString();
            *running = false; // decided on opening only: a run that ends later does not enable them
            EXPECT_EQ(usable(*form), "0001");
        }
        std::unique_ptr<SettingsGroupForm> idle(make(t.ctx));
        EXPECT_EQ(usable(*idle), "1111");
    }
}

TEST(SetupForms, SetupMenuOpensThemAndCloseOrFactoryDefaultsCloseThem)
{
    TestContext t;
    WattsightApp app(Services{t.clock, t.pump, t.dialogs, t.files}, t.dir.path(), WattsightApp::Options{});
    MainWindow& window = app.window();
    window.show();
    std::vector<QPointer<QWidget>> opened;
    for (MenuItem item : {MenuItem::EnergyMeterSetup, MenuItem::DataLoggingSetup, MenuItem::AdvancedSettings,
                          MenuItem::UnattendedOperation}) {
        window.action(item)->trigger();
        opened.emplace_back(window.screen(item));
        ASSERT_TRUE(opened.back() && opened.back()->isVisible());
    }
    EXPECT_EQ(opened[2]->objectName(), "AdvancedSettingsSetupForm");
    screenshotIfWanted(opened[3], "UnattendedSetupForm.png");
    // Inside the frame, Close must close the frame too, not leave an empty one behind.
    opened[0]->findChild<QPushButton*>("CloseForm")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened[0].isNull());
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 3);

    window.action(MenuItem::LoadFactoryDefaults)->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened[1].isNull() && opened[2].isNull() && opened[3].isNull());
    EXPECT_TRUE(window.mdiArea()->subWindowList().isEmpty());
}

TEST(PublishingSetupForm, TestConnectionTriesTheFieldsOffTheUserInterfaceThreadAndApplyStartsPublishing)
{
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    OpenForm<PublishingSetupForm> f;
    EXPECT_EQ(f.field("MqttPassword")->echoMode(), QLineEdit::Password);

    const QString port = QString::number(broker.port());
    f.type("MqttHost", QStringLiteral("127.0.0.1"));
    f.type("MqttPort", port);
    f.click(f.form.testButton());
    // The click has returned before the broker answered.
    EXPECT_EQ(f.form.statusLine()->text(), "Connecting to 127.0.0.1:" + port);
    EXPECT_FALSE(f.form.testButton()->isEnabled());
    QTRY_COMPARE(f.form.statusLine()->text(), "Connected to 127.0.0.1:" + port);
    QTRY_VERIFY(f.form.testButton()->isEnabled());
    EXPECT_FALSE(f.t.ctx.settings.PUBLISH_MQTT || f.t.ctx.settings.MQTT_PORT != 1883) << "a test applies nothing";

    const QString closed = QString::number(MosquittoBroker::freePort());
    f.type("MqttPort", closed);
    f.click(f.form.testButton());
    QTRY_COMPARE(f.form.statusLine()->text(), "Not connected to 127.0.0.1:" + closed + ": Connection refused");

    f.type("MqttPort", port);
    f.type("MeterId", QStringLiteral("meter 2"));
    f.form.findChild<QCheckBox*>(QStringLiteral("PublishMqtt"))->setChecked(true);
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{"The meter id may hold only letters, digits, _ and -"});
    EXPECT_EQ(f.t.ctx.settings.METER_ID, "meter1") << "kept as it was";
    QTRY_COMPARE(f.form.statusLine()->text(), "Connected to 127.0.0.1:" + port);
    EXPECT_EQ(broker.retained(QStringLiteral("wattsight/meter1/availability")).value("wattsight/meter1/availability"),
              "online");
}

} // namespace
