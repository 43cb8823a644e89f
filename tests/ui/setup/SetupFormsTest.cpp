// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"
#include "app/DetectorSettings.h"
#include "app/SettingsFile.h"
#include "app/TariffSettings.h"
#include "capture/MeterCamera.h"
#include "capture/RegisterWatch.h"
#include "capture/SimulatedFrames.h"
#include "capture/SimulatedMeter.h"
#include "metering/MeterReadingStore.h"
#include "metering/PulseSignal.h"
#include "publish/MqttLibrary.h"
#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"
#include "ui/setup/AdvancedSettingsSetupForm.h"
#include "ui/setup/DataLoggingSetupForm.h"
#include "ui/setup/EnergyMeterSetupForm.h"
#include "ui/setup/MeterReadingForm.h"
#include "ui/setup/PublishingSetupForm.h"
#include "ui/setup/TariffSetupForm.h"
#include "ui/setup/UnattendedSetupForm.h"
#include "ui/support/RunningApp.h"
#include "web/PasswordHash.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTcpServer>

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
        else if constexpr (std::is_constructible_v<Form, AppContext&, MeterReadingStore&, RegisterWatch&>)
            return Form(t.ctx, reading, watch);
        else if constexpr (std::is_constructible_v<Form, AppContext&, MeterReadingStore&>)
            return Form(t.ctx, reading);
        else
            return Form(t.ctx);
    }

    TestContext t;
    MeterReadingStore reading{t.ctx};
    PublishService service{t.ctx, reading}; // idle unless a test switches publishing on
    MeterCamera camera{t.ctx};
    RegisterWatch watch{t.ctx, camera, reading, {.tickMilliseconds = 20}};
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

// The box lives in the detection settings file, whose levels in use are saved only from the camera's screens.
TEST(EnergyMeterSetupForm, TheBackwardsBoxIsSavedAloneIntoTheDetectionSettingsFile)
{
    OpenForm<EnergyMeterSetupForm> f;
    EXPECT_FALSE(f.check("chkCountDirection")->isChecked());
    f.t.ctx.settings.RELEASE_LEVEL_PERCENT = 50; // Find Mark's levels in use, not saved
    f.check("chkCountDirection")->setChecked(true);
    screenshotIfWanted(&f.form, "EnergyMeterSetupForm.png");
    f.click(f.form.saveButton());
    EXPECT_TRUE(f.t.ctx.settings.COUNT_DIRECTION);
    EXPECT_EQ(f.t.ctx.settings.RELEASE_LEVEL_PERCENT, 50);
    f.t.ctx.settings.COUNT_DIRECTION = false;
    ASSERT_TRUE(LoadSettingsFile(f.t.ctx, DetectorSettingsFile()));
    EXPECT_EQ(std::tuple(f.t.ctx.settings.COUNT_DIRECTION, f.t.ctx.settings.RELEASE_LEVEL_PERCENT),
              std::tuple(true, 100));
    f.click(f.form.loadButton());
    EXPECT_FALSE(f.check("chkCountDirection")->isChecked());
}

TEST(MeterReadingForm, SetsTheReadingForTheRunningCameraChecksItAndRefusesBadInput)
{
    OpenForm<MeterReadingForm> f;
    auto shown = [&f](const char* name) { return child<QLabel>(&f.form, name)->text(); };
    auto enter = [&f](const char* field, const QString& kWh, const char* button) {
        f.type(field, kWh);
        press(&f.form, button);
    };
    EXPECT_EQ(shown("lblReading"), "not set");
    enter("edtMeterReading", "12345.6", "btnSetReading");
    EXPECT_TRUE(f.t.dialogs.texts().value(0).startsWith("No camera is running or remembered"));
    EXPECT_EQ(shown("lblReading"), "not set");

    const MeterSource hall{MeterSource::Kind::Camera, QStringLiteral("Hall camera")};
    f.reading.setCameraSource(hall);
    enter("edtMeterReading", "12345.6", "btnSetReading");
    EXPECT_EQ(shown("lblReading"), "12345.600 kWh");
    EXPECT_TRUE(shown("lblSource").startsWith("the camera \"Hall camera\", set on 15 Jan 2009 09:00"));
    f.t.dialogs.shown.clear();
    enter("edtMeterReading", "2000000000", "btnSetReading");
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{"Maximum allowed value is 1000000000\r\nMinimum allowed value is 0"});
    EXPECT_EQ(f.reading.reading().setKWh, 12345.6);

    for (int i = 0; i < 30; ++i)
        RegisterPulse(f.t.ctx, 1, 0, hall);
    EXPECT_EQ(shown("lblReading"), "12345.700 kWh");
    enter("edtCheckReading", "12345.8", "btnCheckAccuracy");
    auto* checks = child<QListWidget>(&f.form, "lstAccuracyChecks");
    ASSERT_EQ(checks->count(), 1);
    EXPECT_EQ(checks->item(0)->text(), "Counted 0.10 kWh since 15 Jan 2009 09:00; the meter advanced 0.20 kWh: "
                                       "counting is 50.00 % low");
    screenshotIfWanted(&f.form, "MeterReadingForm.png");

    // A two-rate meter: the second register's rows beside the first's, each named by its tariff, once the screen
    // is shown again; a revolution moves the register of the tariff it was priced at.
    f.t.ctx.settings.TARIFF_COUNT = 2;
    f.form.hide();
    f.form.show();
    enter("edtMeterReading2", "500", "btnSetReading2");
    f.t.ctx.settings.TARIFF_2_HOURS = QStringLiteral("00:00-24:00");
    RegisterPulse(f.t.ctx, 1, 0, hall);
    EXPECT_EQ(shown("lblReading") + ' ' + shown("lblReading2"), "12345.700 kWh 500.003 kWh");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(f.field("edtMeterReading2"))->text(QAccessible::Name),
              "Night: meter shows (kWh)");
    EXPECT_TRUE(checks->item(0)->text().startsWith("Day: Counted 0.10 kWh"));

    // The meter constant corrected on Energy Meter Setup reaches the reading at the next revolution, with no run.
    EnergyMeterSetupForm meter(f.t.ctx);
    showActive(meter);
    retype(child<QLineEdit>(&meter, "Text1"), QStringLiteral("600"));
    QTest::mouseClick(meter.applyButton(), Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
        RegisterPulse(f.t.ctx, 1, 0, hall);
    EXPECT_EQ(shown("lblReading2"), "500.008 kWh");
}

// Without a whole read of the wheels the box says why nothing is proposed, and offers nothing to take.
TEST(MeterReadingForm, TheRegisterBoxShowsOnlyWithARegionAndSaysWhyTheCameraReadsNothing)
{
    OpenForm<MeterReadingForm> f;
    auto* box = child<QGroupBox>(&f.form, "grpCameraReading");
    const auto regionIs = [&](const char* region, const QString& text) {
        f.t.ctx.settings.REGISTER_REGION = QLatin1String(region); // taken at the watch's next tick
        return QTest::qWaitFor(
            [&] { return box->isVisible() ? child<QLabel>(box, "lblCameraReading")->text() == text : text.isEmpty(); });
    };
    EXPECT_FALSE(box->isVisible()) << "no register region";
    QString problem;
    ASSERT_FALSE(RegisterRegion::parse(QStringLiteral("0.3,0.05,0.4"), &problem));
    EXPECT_TRUE(regionIs("0.3,0.05,0.4", problem));
    EXPECT_TRUE(
        regionIs("0.3,0.05,0.4,0.125", "The camera has not read the register yet; it is read while the camera runs."));
    EXPECT_FALSE(child<QPushButton>(box, "btnTakeCameraReading")->isVisible());

    // The simulated meter's register, read twice a minute apart, is proposed and taken with the button.
    CaptureComponent& capture = f.camera.capture();
    SimulatedFrames frames(capture, f.t.clock);
    capture.setDeviceIndex(capture.simulatedMeterIndex());
    const SimulatedMeterSettings meter{.powerWatts = 0.0, .registerShown = true, .registerKWh = 28687.6};
    capture.setSimulatedMeterSettings(meter);
    f.camera.start();
    f.reading.setCameraSource(capture.meterSource());
    const QString region = SimulatedMeter(meter).registerRegion().toString();
    const auto shows = [&](const QString& text) {
        for (int i = 0; i < 40; ++i, f.t.clock.advance(5)) {
            frames.step();
            if (QTest::qWaitFor([&] { return child<QLabel>(box, "lblCameraReading")->text() == text; }, 30))
                return true;
        }
        return false;
    };
    f.t.ctx.settings.REGISTER_REGION = region;
    ASSERT_TRUE(shows(QStringLiteral("The camera reads 28687.6 kWh")));
    screenshotIfWanted(&f.form, "MeterReadingForm-camera.png");
    f.click(child<QPushButton>(box, "btnTakeCameraReading"));
    EXPECT_EQ(child<QLabel>(&f.form, "lblReading")->text(), "28687.600 kWh");
    EXPECT_TRUE(regionIs("", ""));
}

TEST(AdvancedSettingsSetupForm, FillsEveryFieldAppliesThemBackAndRefusesBadLineEndCodes)
{
    OpenForm<AdvancedSettingsSetupForm> f;
    // Field, factory text, typed text: one field of each kind (codes, counts, titles, places, timers).
    const std::tuple<const char*, const char*, const char*> fields[] = {
        {"Text1", "13,10", "12"},       {"Text2", "44", "9"}, {"Text3", "10000", "2000"},
        {"Text10", "Pence", "  Euro "}, {"Text13", "4", "2"}, {"Text16", "200", "50"}};
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
    std::tie(e.END_OF_LINE_CHARACTERS, e.FIELD_DELIMITER, e.CURRENCY_TITLE) = std::tuple("12", "9", "Euro");
    std::tie(e.DATA_ARRAY_LENGTH, e.COST_ROUNDING_PLACES, e.TIMER_TICK_MILLISECONDS) = std::tuple(2000, 2, 50);
    std::tie(e.WRITE_ARRAY_TO_DISK, e.WRITE_DIFF_LOG_FILE) = std::tuple(false, true);
    EXPECT_EQ(f.t.ctx.settings, e);
    EXPECT_EQ(f.t.ctx.strGlobalEndOfLine, "\r\n"); // the codes take effect only after a restart

    f.click(f.form.loadButton());
    EXPECT_EQ(f.t.ctx.settings, SettingsDefaults::factorySettings());

    // An empty title lasts only until a restart.
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

TEST(UnattendedSetupForm, SaysThatResumingNeedsTheBackupWhenItIsOff)
{
    OpenForm<UnattendedSetupForm> f;
    const QLabel* warning = child<QLabel>(&f.form, "lblResumeNeedsBackup");
    QCheckBox* resume = f.check("chkResumeLoggingAfterRestart");
    resume->setChecked(true);
    EXPECT_FALSE(warning->isVisible()) << "the backup is written";
    f.t.ctx.settings.WRITE_ARRAY_TO_DISK = false; // as Advanced Settings may switch it off while this screen is open
    resume->setChecked(false);
    resume->setChecked(true);
    EXPECT_TRUE(warning->isVisible());
    f.click(f.form.saveButton());
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{UnattendedSetupForm::ResumeNeedsBackupText}) << "said on saving too";
}

TEST(TariffSetupForm, AppliesWhatIsAcceptableNamesABadRangeAndShowsTheTariffInForce)
{
    OpenForm<TariffSetupForm> f; // a Thursday, 09:00
    const GlobalSettings& s = f.t.ctx.settings;
    EXPECT_EQ(f.text("edtTariff1Name") + '|' + f.text("edtTariff2Cost") + '|' + f.text("edtTariff2Hours"),
              "Day|5|22:00-06:00");
    EXPECT_FALSE(f.field("edtTariff2Hours")->isEnabled()) << "one tariff";
    EXPECT_EQ(f.form.inForceNow()->text(), "Day (tariff 1)");

    f.check("chkTwoTariffs")->setChecked(true);
    f.type("edtTariff2Cost", "7.5");
    f.type("edtTariff2Name", "");
    f.type("edtTariff2Hours", "08:00-09:30, 25:00-01:00");
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{"Tariff 2 name: from 1 to 20 characters\r\nTariff 2 hours: "
                                               "\"25:00-01:00\" holds a time that is not on the clock (00:00 to 23:59, "
                                               "and 24:00 to end a range)"});
    EXPECT_EQ(std::tuple(s.TARIFF_COUNT, s.TARIFF_2_COST_PER_KWH, s.TARIFF_2_NAME, s.TARIFF_2_HOURS),
              std::tuple(2, 7.5, "Night", "22:00-06:00"))
        << "the bad values stay as they were";

    f.type("edtTariff2Name", "Cheap");
    f.type("edtTariff2Hours", "08:00-09:30");
    f.click(f.form.saveButton());
    EXPECT_EQ(f.form.inForceNow()->text(), "Cheap (tariff 2)");
    EXPECT_EQ(
        fileBytes(SettingsFilePath(f.t.ctx, TariffSettingsFile())),
        "[Tariffs]\r\nTARIFF_COUNT=2\r\nTARIFF_1_NAME=Day\r\nTARIFF_2_NAME=Cheap\r\nTARIFF_2_COST_PER_KWH=7.5\r\n"
        "\r\n[Schedule]\r\nTARIFF_2_HOURS=08:00-09:30\r\nTARIFF_2_ALL_WEEKEND=false\r\nTARIFF_FROM_MQTT=false\r\n");
}

TEST(SetupForms, OnlyCloseIsUsableWhenOpenedDuringLoggingOrATrip)
{
    // Decided by the form all setup screens share: one of them stands for all.
    const auto usable = [](SettingsGroupForm& form) {
        return QString("%1%2%3%4")
            .arg(form.applyButton()->isEnabled())
            .arg(form.saveButton()->isEnabled())
            .arg(form.loadButton()->isEnabled())
            .arg(form.findChild<QPushButton*>("CloseForm")->isEnabled());
    };
    TestContext t;
    for (bool* running : {&t.ctx.blnGlobalLoggingRunning, &t.ctx.blnGlobalTripRunning}) {
        *running = true;
        DataLoggingSetupForm form(t.ctx);
        EXPECT_EQ(usable(form), "0001");
        *running = false; // decided on opening only: a run that ends later does not enable them
        EXPECT_EQ(usable(form), "0001");
    }
    DataLoggingSetupForm idle(t.ctx);
    EXPECT_EQ(usable(idle), "1111");
}

TEST(SetupForms, SetupMenuOpensThemAndCloseClosesTheirFrame)
{
    TestContext t;
    WattsightApp app(Services{t.clock, t.pump, t.dialogs, t.files}, t.dir.path(), WattsightApp::Options{});
    MainWindow& window = app.window();
    window.show();
    std::vector<QPointer<QWidget>> opened;
    for (MenuItem item : {MenuItem::EnergyMeterSetup, MenuItem::DataLoggingSetup, MenuItem::AdvancedSettings,
                          MenuItem::UnattendedOperation, MenuItem::TariffSetup}) {
        window.action(item)->trigger();
        opened.emplace_back(window.screen(item));
        ASSERT_TRUE(opened.back() && opened.back()->isVisible());
    }
    screenshotIfWanted(opened[3], "UnattendedSetupForm.png");
    // Inside the frame, Close must close the frame too, not leave an empty one behind; an unapplied value goes.
    retype(child<QLineEdit>(opened[1], "Text1"), QStringLiteral("600"));
    press(opened[1], "CloseForm");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened[1].isNull());
    EXPECT_NE(app.context().settings.LOGGING_INTERVAL_SECONDS, 600);
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 4);
}

TEST(PublishingSetupForm, TestConnectionTriesTheFieldsOffTheUserInterfaceThreadAndApplyStartsPublishing)
{
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    MqttLibrary mqtt;
    OpenForm<PublishingSetupForm> f;
    // (QTRY_COMPARE would end the test early and unnoticed under GoogleTest.)
    const auto statusBecomes = [&](const QString& text, int milliseconds = 10000) {
        if (QTest::qWaitFor([&] { return f.form.statusLine()->text() == text; }, milliseconds))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << f.form.statusLine()->text().toStdString();
    };

    const QString port = QString::number(broker.port());
    f.type("MqttHost", QStringLiteral("127.0.0.1"));
    f.type("MqttPort", port);
    f.click(f.form.testButton());
    EXPECT_TRUE(statusBecomes("Connected to 127.0.0.1:" + port));
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.form.testButton()->isEnabled(); }));
    EXPECT_FALSE(f.t.ctx.settings.PUBLISH_MQTT || f.t.ctx.settings.MQTT_PORT != 1883) << "a test applies nothing";

    const ReservedPort nothingListens;
    const QString closed = QString::number(nothingListens.port());
    f.type("MqttPort", closed);
    f.click(f.form.testButton());
    EXPECT_TRUE(statusBecomes("Not connected to 127.0.0.1:" + closed + ": Connection refused"));
    // The answer stays a while, then the line shows the publishing's own status again.
    EXPECT_TRUE(statusBecomes("Publishing is off", 3 * PublishingSetupForm::TestAnswerMilliseconds));

    f.type("MqttPort", port);
    for (auto [name, text] :
         {std::pair{"MeterId", "meter 2"}, {"CurrencyCode", "eur"}, {"PriceUnitsPerCurrencyUnit", "100"}})
        f.type(name, QString::fromLatin1(text));
    f.check("PublishMqtt")->setChecked(true);
    f.check("AcceptMqttCommands")->setChecked(true);
    f.check("PublishPicture")->setChecked(true);
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "The meter id may hold only letters, digits, _ and -\r\n"
                                             "The currency code must be empty or three capital letters, such as EUR");
    const GlobalSettings& s = f.t.ctx.settings; // the bad values kept as they were, the good ones taken
    EXPECT_EQ(s.METER_ID + s.CURRENCY_CODE +
                  QString::number(s.PRICE_UNITS_PER_CURRENCY_UNIT * s.ACCEPT_MQTT_COMMANDS * s.PUBLISH_PICTURE),
              "meter1100");
    EXPECT_TRUE(statusBecomes("Connected to 127.0.0.1:" + port));
    const QString availability = QStringLiteral("wattsight/meter1/availability");
    EXPECT_TRUE(QTest::qWaitFor([&] { return broker.retained(availability).value(availability) == "online"; }));
    const QString picture = QStringLiteral("homeassistant/image/wattsight_meter1/picture/config");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !broker.retained(picture).value(picture).isEmpty(); }));
    f.type("CurrencyCode", QStringLiteral("EUR"));
    screenshotIfWanted(&f.form, "PublishingSetupForm.png");

    // A broker that never answers: the click returns while the test goes on, and closing the screen then
    // does not wait for it either.
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost);
    f.type("MeterId", QStringLiteral("meter1"));
    f.type("MqttPort", QString::number(silent.serverPort()));
    f.click(f.form.testButton());
    EXPECT_EQ(f.form.statusLine()->text(), QStringLiteral("Connecting to 127.0.0.1:%1").arg(silent.serverPort()));
    EXPECT_FALSE(f.form.testButton()->isEnabled());
}

// The page open to other machines only with a password, which is kept as its hash and never shown again.
TEST(PublishingSetupForm, TheWebPageAtAnAddressOthersReachNeedsAPasswordKeptAsItsHash)
{
    OpenForm<PublishingSetupForm> f;
    const GlobalSettings& s = f.t.ctx.settings;
    f.check("WebPage")->setChecked(true);
    f.type("WebAddress", QStringLiteral("0.0.0.0"));
    f.click(f.form.applyButton());
    f.check("WebAskPassword")->setChecked(true);
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts().join('|'), "The web page is not served: at 0.0.0.0 every machine that reaches it "
                                             "could use the page: set a password, or serve it at 127.0.0.1 alone|"
                                             "Type the web page's password, or untick Ask for a password");
    EXPECT_FALSE(s.WEB_PAGE) << "nothing of the page taken while it would be open";
    f.type("WebPassword", QStringLiteral("kitchen"));
    f.click(f.form.applyButton());
    EXPECT_TRUE(s.WEB_PAGE && s.WEB_ADDRESS == "0.0.0.0");
    EXPECT_TRUE(PasswordHash::matches(s.WEB_PASSWORD, QStringLiteral("kitchen")));
    EXPECT_EQ(f.text("WebPassword"), "");
    EXPECT_EQ(f.field("WebPassword")->placeholderText(), "Unchanged");
    const QString hash = s.WEB_PASSWORD;
    f.click(f.form.applyButton());
    EXPECT_EQ(s.WEB_PASSWORD, hash) << "an empty field keeps the password";
    f.check("WebAskPassword")->setChecked(false);
    f.type("WebAddress", QStringLiteral("127.0.0.1"));
    f.click(f.form.applyButton());
    EXPECT_EQ(s.WEB_PASSWORD, "");
}

} // namespace
