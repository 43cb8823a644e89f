// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/setup/SettingsGroupForm.h"

#include <QTimer>
#include <memory>

class MqttClient;
class PublishService;
struct GlobalSettings;
struct MqttStatus;

// Where readings are published: the broker, its credentials and TLS, the topics and Home Assistant
// discovery, the Energy dashboard's currency, whether commands are taken and whether the camera's picture is sent.
// Applying restarts publishing with the new values. "Test Connection" tries the values as they stand in the fields,
// on the client's own thread, and the status line says how it went for a while before it shows the publishing's own
// status again.
class PublishingSetupForm : public SettingsGroupForm
{
    Q_OBJECT

public:
    static constexpr int TestAnswerMilliseconds = 6000;

    PublishingSetupForm(AppContext& ctx, PublishService& service, QWidget* parent = nullptr);
    ~PublishingSetupForm() override;

    QPushButton* testButton() const { return m_test; }
    QLabel* statusLine() const { return m_status; }

protected:
    void fillFields() override;
    void applyFields() override;
    QString saveGroup() override;
    void loadGroupFactoryDefaults() override;

private:
    // The record with the fields' values put in; false (after saying why) when a text is not acceptable.
    bool readFields(GlobalSettings& s, bool reportProblems);
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
    QPushButton* m_test = nullptr;
    QLabel* m_status = nullptr;
    std::unique_ptr<MqttClient> m_probe;
    QTimer m_testAnswer; // runs while the test's answer is shown
};
