// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/PublishingSetupForm.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/PublishSettings.h"
#include "app/SettingsFile.h"
#include "publish/PublishService.h"
#include "web/PasswordHash.h"
#include "web/WebPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

PublishingSetupForm::PublishingSetupForm(AppContext& ctx, PublishService& service, WebPage* web, QWidget* parent)
    : SettingsGroupForm(ctx, QStringLiteral("PublishingSetupForm"), QStringLiteral("Publishing Setup"), parent),
      m_service(service), m_web(web)
{
    auto* form = new QFormLayout;
    auto row = [this, form](const QString& caption, QWidget* field) {
        form->addRow(label(field->objectName() + QStringLiteral("Label"), caption), field);
    };
    m_publish = checkBox(QStringLiteral("PublishMqtt"), QStringLiteral("Publish readings to an MQTT broker"),
                         QStringLiteral("Sends power, energy and cost to the broker as the disc turns"));
    form->addRow(m_publish);
    m_host = textField(QStringLiteral("MqttHost"), QStringLiteral("Name or address of the computer running the "
                                                                  "broker"));
    row(QStringLiteral("Broker host"), m_host);
    m_port = numericField(QStringLiteral("MqttPort"), QStringLiteral("1883 for plain connections, 8883 for TLS"),
                          {1, 65535, 0});
    row(QStringLiteral("Port"), m_port);
    m_username = textField(QStringLiteral("MqttUsername"), QStringLiteral("Leave empty when the broker lets "
                                                                          "anyone in"));
    row(QStringLiteral("User name"), m_username);
    m_password = textField(QStringLiteral("MqttPassword"), QStringLiteral("Kept in PUBLISHSETTINGS.CFG, which "
                                                                          "only you can read"));
    m_password->setEchoMode(QLineEdit::Password);
    row(QStringLiteral("Password"), m_password);
    m_useTls = checkBox(QStringLiteral("MqttUseTls"), QStringLiteral("Use TLS"));
    form->addRow(m_useTls);
    m_caFile = textField(QStringLiteral("MqttCaFile"), QStringLiteral("Certificate of the authority that signed "
                                                                      "the broker's; empty for the system's store"));
    row(QStringLiteral("CA file"), m_caFile);
    m_baseTopic = textField(QStringLiteral("MqttBaseTopic"), QStringLiteral("Topics start with base topic/meter id"));
    row(QStringLiteral("Base topic"), m_baseTopic);
    m_meterId = textField(QStringLiteral("MeterId"), QStringLiteral("Letters, digits, _ and -; tells several "
                                                                    "meters apart"));
    row(QStringLiteral("Meter id"), m_meterId);
    m_discovery = checkBox(QStringLiteral("HomeAssistantDiscovery"), QStringLiteral("Home Assistant discovery"),
                           QStringLiteral("Announces the sensors so Home Assistant adds them by itself"));
    form->addRow(m_discovery);
    m_discoveryPrefix = textField(QStringLiteral("DiscoveryPrefix"), QStringLiteral("Home Assistant's discovery "
                                                                                    "prefix, usually homeassistant"));
    row(QStringLiteral("Discovery prefix"), m_discoveryPrefix);
    m_currencyCode = textField(QStringLiteral("CurrencyCode"), QStringLiteral("ISO 4217 code such as EUR or GBP; "
                                                                              "empty: no price and cost sensors"));
    row(QStringLiteral("Currency code"), m_currencyCode);
    m_priceUnits = numericField(QStringLiteral("PriceUnitsPerCurrencyUnit"),
                                QStringLiteral("How many of the price's unit make one of the currency: 100 when "
                                               "the price is in pence or cents"),
                                {1, 1000000, 0});
    row(QStringLiteral("Price units per currency unit"), m_priceUnits);
    m_acceptCommands = checkBox(QStringLiteral("AcceptMqttCommands"), QStringLiteral("Accept commands over MQTT"),
                                QStringLiteral("Lets Home Assistant set the meter reading, start and stop the trip and "
                                               "logging, and run Find Mark"));
    form->addRow(m_acceptCommands);
    m_publishPicture = checkBox(QStringLiteral("PublishPicture"),
                                QStringLiteral("Send a picture of what the camera sees every minute"),
                                QStringLiteral("With the detection grid, to aim the camera from afar; anyone who may "
                                               "read the broker's topics sees it"));
    form->addRow(m_publishPicture);

    m_test = new QPushButton(QStringLiteral("Test Connection"), this);
    m_test->setObjectName(QStringLiteral("TestConnection"));
    m_test->setToolTip(QStringLiteral("Connects with the values shown, without saving them"));
    m_status = label(QStringLiteral("Status"), m_service.statusText());
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(m_test, m_status);

    connect(m_test, &QPushButton::clicked, this, &PublishingSetupForm::testConnection);
    m_testAnswer.setSingleShot(true);
    m_testAnswer.setInterval(TestAnswerMilliseconds);
    connect(&m_testAnswer, &QTimer::timeout, this, &PublishingSetupForm::showServiceStatus);
    connect(&m_service, &PublishService::statusChanged, this, [this] {
        if (!m_probe && !m_testAnswer.isActive())
            showServiceStatus();
    });

    auto* columns = new QHBoxLayout;
    columns->addLayout(form, 3);
    columns->addWidget(makeWebBox(), 2, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    finishLoading(layout, ButtonToolTips::Shown);
}

QWidget* PublishingSetupForm::makeWebBox()
{
    auto* box = new QGroupBox(QStringLiteral("Web page"), this);
    box->setObjectName(QStringLiteral("WebPageBox"));
    auto* form = new QFormLayout(box);
    m_webPage = checkBox(QStringLiteral("WebPage"), QStringLiteral("Serve the meter's web page"),
                         QStringLiteral("Live figures, the camera's picture, Find Mark and the reading from a phone's "
                                        "browser; also /api/state and /metrics for other programs"));
    form->addRow(m_webPage);
    m_webAddress = textField(QStringLiteral("WebAddress"),
                             QStringLiteral("127.0.0.1: this computer alone; 0.0.0.0: every network it is on, which "
                                            "needs a password"));
    form->addRow(label(QStringLiteral("WebAddressLabel"), QStringLiteral("Address")), m_webAddress);
    m_webPort = numericField(QStringLiteral("WebPort"), QStringLiteral("The port after the address in the browser"),
                             {1, 65535, 0});
    form->addRow(label(QStringLiteral("WebPortLabel"), QStringLiteral("Port")), m_webPort);
    m_webAskPassword = checkBox(QStringLiteral("WebAskPassword"), QStringLiteral("Ask for a password"),
                                QStringLiteral("Kept as a salted hash, never as typed"));
    form->addRow(m_webAskPassword);
    m_webPassword = textField(QStringLiteral("WebPassword"), QStringLiteral("Type a new one to change it"));
    m_webPassword->setEchoMode(QLineEdit::Password);
    form->addRow(label(QStringLiteral("WebPasswordLabel"), QStringLiteral("Password")), m_webPassword);
    m_webStatus = label(QStringLiteral("WebStatus"), m_web ? m_web->statusText() : QString());
    m_webStatus->setWordWrap(true);
    m_webStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(m_webStatus);
    auto* plain = new QLabel(QStringLiteral("Plain HTTP: for your home network, not the internet."), box);
    plain->setWordWrap(true);
    form->addRow(plain);
    if (m_web)
        connect(m_web, &WebPage::statusChanged, m_webStatus, &QLabel::setText);
    return box;
}

PublishingSetupForm::~PublishingSetupForm() = default;

void PublishingSetupForm::fillFields()
{
    const GlobalSettings& s = m_ctx.settings;
    m_publish->setChecked(s.PUBLISH_MQTT);
    m_host->setText(s.MQTT_HOST);
    m_port->setText(QString::number(s.MQTT_PORT));
    m_username->setText(s.MQTT_USERNAME);
    m_password->setText(s.MQTT_PASSWORD);
    m_useTls->setChecked(s.MQTT_USE_TLS);
    m_caFile->setText(s.MQTT_CA_FILE);
    m_baseTopic->setText(s.MQTT_BASE_TOPIC);
    m_meterId->setText(s.METER_ID);
    m_discovery->setChecked(s.HOME_ASSISTANT_DISCOVERY);
    m_discoveryPrefix->setText(s.DISCOVERY_PREFIX);
    m_currencyCode->setText(s.CURRENCY_CODE);
    m_priceUnits->setText(QString::number(s.PRICE_UNITS_PER_CURRENCY_UNIT));
    m_acceptCommands->setChecked(s.ACCEPT_MQTT_COMMANDS);
    m_publishPicture->setChecked(s.PUBLISH_PICTURE);
    m_webPage->setChecked(s.WEB_PAGE);
    m_webAddress->setText(s.WEB_ADDRESS);
    m_webPort->setText(QString::number(s.WEB_PORT));
    m_webAskPassword->setChecked(!s.WEB_PASSWORD.isEmpty());
    fillWebPassword();
}

void PublishingSetupForm::fillWebPassword()
{
    // The hash is no password to show: the field stays empty and says whether one is set.
    m_webPassword->clear();
    m_webPassword->setPlaceholderText(m_ctx.settings.WEB_PASSWORD.isEmpty() ? QString() : QStringLiteral("Unchanged"));
}

QString PublishingSetupForm::readWebFields(GlobalSettings& s)
{
    GlobalSettings web = s;
    web.WEB_PAGE = m_webPage->isChecked();
    web.WEB_ADDRESS = m_webAddress->text().trimmed();
    applyWholeNumber(m_webPort, web.WEB_PORT);
    if (!m_webAskPassword->isChecked())
        web.WEB_PASSWORD.clear();
    else if (!m_webPassword->text().isEmpty())
        web.WEB_PASSWORD = PasswordHash::make(m_webPassword->text());
    else if (web.WEB_PASSWORD.isEmpty())
        return QStringLiteral("Type the web page's password, or untick Ask for a password");
    if (const QString problem = WebPage::settingsProblem(web); !problem.isEmpty())
        return QStringLiteral("The web page is not served: ") + problem;
    std::tie(s.WEB_PAGE, s.WEB_ADDRESS, s.WEB_PORT, s.WEB_PASSWORD) =
        std::tie(web.WEB_PAGE, web.WEB_ADDRESS, web.WEB_PORT, web.WEB_PASSWORD);
    return {};
}

QStringList PublishingSetupForm::readFields(GlobalSettings& s)
{
    namespace R = PublishSettingsRules;
    const struct
    {
        QLineEdit* field;
        QString GlobalSettings::*setting;
        bool (*accepts)(const QString&);
        const char* problem;
    } texts[] = {
        {m_host, &GlobalSettings::MQTT_HOST, &R::isHost, "The broker host must not be empty or hold spaces"},
        {m_baseTopic, &GlobalSettings::MQTT_BASE_TOPIC, &R::isTopic,
         "The base topic must not be empty, start or end with / or hold + or #"},
        {m_meterId, &GlobalSettings::METER_ID, &R::isMeterId, "The meter id may hold only letters, digits, _ and -"},
        {m_discoveryPrefix, &GlobalSettings::DISCOVERY_PREFIX, &R::isTopic,
         "The discovery prefix must not be empty, start or end with / or hold + or #"},
        {m_currencyCode, &GlobalSettings::CURRENCY_CODE, &R::isCurrencyCode,
         "The currency code must be empty or three capital letters, such as EUR"},
    };
    QStringList problems;
    for (const auto& t : texts) {
        if (t.accepts(t.field->text()))
            s.*t.setting = t.field->text();
        else
            problems << QLatin1String(t.problem);
    }
    s.PUBLISH_MQTT = m_publish->isChecked();
    applyWholeNumber(m_port, s.MQTT_PORT);
    s.MQTT_USERNAME = m_username->text();
    s.MQTT_PASSWORD = m_password->text();
    s.MQTT_USE_TLS = m_useTls->isChecked();
    s.MQTT_CA_FILE = m_caFile->text();
    s.HOME_ASSISTANT_DISCOVERY = m_discovery->isChecked();
    applyWholeNumber(m_priceUnits, s.PRICE_UNITS_PER_CURRENCY_UNIT);
    s.ACCEPT_MQTT_COMMANDS = m_acceptCommands->isChecked();
    s.PUBLISH_PICTURE = m_publishPicture->isChecked();
    return problems;
}

bool PublishingSetupForm::reportProblems(const QStringList& problems)
{
    if (!problems.isEmpty())
        m_ctx.services.dialogs.message(problems.join(QStringLiteral("\r\n")), Dialogs::Buttons::Ok);
    return problems.isEmpty();
}

void PublishingSetupForm::applyFields()
{
    // What is acceptable is applied; a value that is not stays as it was in the record and in its field.
    QStringList problems = readFields(m_ctx.settings);
    if (const QString problem = readWebFields(m_ctx.settings); !problem.isEmpty())
        problems << problem;
    reportProblems(problems);
    fillWebPassword();
    m_testAnswer.stop();
    m_service.applySettings();
}

QString PublishingSetupForm::saveGroup()
{
    return SaveSettingsFile(m_ctx, PublishSettingsFile());
}

void PublishingSetupForm::loadGroupFactoryDefaults()
{
    ApplyFactoryDefaults(PublishSettingsFile(), m_ctx.settings);
    m_testAnswer.stop();
    m_service.applySettings();
}

void PublishingSetupForm::testConnection()
{
    GlobalSettings s = m_ctx.settings;
    if (!reportProblems(readFields(s)))
        return;
    MqttOptions o = PublishService::connectionOptions(s);
    // A test says nothing to anyone: no will, no subscription.
    o.willTopic.clear();
    o.republishTopic.clear();
    o.commandFilter.clear();
    o.reconnect = false;
    m_probe = std::make_unique<MqttClient>(o);
    connect(m_probe.get(), &MqttClient::statusChanged, this, &PublishingSetupForm::showProbeStatus);
    m_test->setEnabled(false);
    m_testAnswer.stop();
    m_status->setText(m_probe->status().text);
}

void PublishingSetupForm::showProbeStatus(const MqttStatus& status)
{
    if (status.text.startsWith(QStringLiteral("Connecting")))
        return;
    m_status->setText(status.text);
    m_testAnswer.start();
    // The answer is in: the probe goes, but not from inside its own signal.
    QTimer::singleShot(0, this, [this] {
        m_probe.reset();
        m_test->setEnabled(true);
    });
}

void PublishingSetupForm::showServiceStatus()
{
    m_status->setText(m_service.statusText());
}
