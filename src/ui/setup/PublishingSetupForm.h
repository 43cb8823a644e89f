// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

#include <QTimer>
#include <memory>

class MqttClient;
class PublishService;
class WebPage;
struct GlobalSettings;
struct MqttStatus;

// Where readings are published: the broker, its credentials and TLS, the topics and Home Assistant
// discovery, the Energy dashboard's currency, whether commands are taken and whether the camera's picture is sent;
// beside them the meter's web page. Applying restarts publishing and the page with the new values. "Test Connection"
// tries the values as they stand in the fields, on the client's own thread, and the status line says how it went for a
// while before it shows the publishing's own status again.
class PublishingSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    static constexpr int TestAnswerMilliseconds = 6000;

    // web: the page's status is shown when given.
    PublishingSetupForm(AppContext& ctx, PublishService& service, WebPage* web = nullptr, QWidget* parent = nullptr);
    ~PublishingSetupForm() override;

    QPushButton* testButton() const { return m_test; }
    QLabel* statusLine() const { return m_status; }

protected:
    void fillFields() override;
    void applyFields() override;
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    // The record with the publishing fields' values put in; why not for each text that is not acceptable.
    QStringList readFields(GlobalSettings& s);
    // Says the problems in one message; true when there are none.
    bool reportProblems(const QStringList& problems);
    void fillWebPassword();
    // The web page's fields into the record; why not when the page would be open to others without a password.
    QString readWebFields(GlobalSettings& s);
    QWidget* makeWebBox();
    void testConnection();
    void showProbeStatus(const MqttStatus& status);
    void showServiceStatus();

    PublishService& m_service;
    QCheckBox* m_publish = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_username = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_useTls = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLineEdit* m_baseTopic = nullptr;
    QLineEdit* m_meterId = nullptr;
    QCheckBox* m_discovery = nullptr;
    QLineEdit* m_discoveryPrefix = nullptr;
    QLineEdit* m_currencyCode = nullptr;
    QLineEdit* m_priceUnits = nullptr;
    QCheckBox* m_acceptCommands = nullptr;
    QCheckBox* m_publishPicture = nullptr;
    QCheckBox* m_webPage = nullptr;
    QLineEdit* m_webAddress = nullptr;
    QLineEdit* m_webPort = nullptr;
    QCheckBox* m_webAskPassword = nullptr;
    QLineEdit* m_webPassword = nullptr;
    QLabel* m_webStatus = nullptr;
    WebPage* m_web;
    QPushButton* m_test = nullptr;
    QLabel* m_status = nullptr;
    std::unique_ptr<MqttClient> m_probe;
    QTimer m_testAnswer; // runs while the test's answer is shown
};
