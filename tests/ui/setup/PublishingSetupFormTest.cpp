// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/PublishingSetupForm.h"

#include "app/ConfigFiles.h"
#include "publish/PublishService.h"
#include "support/MosquittoBroker.h"
#include "ui/support/RunningApp.h"
#include "ui/support/WidgetActions.h"

#include <QCheckBox>
#include <QLabel>

namespace {

struct PublishingForm
{
    PublishingForm()
    {
        MakeDefaultSettingsFiles(t.ctx);
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    QLineEdit* field(const char* name) { return form.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    void type(const char* name, const QString& text) { retype(field(name), text); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    QString status() const { return form.statusLine()->text(); }

    TestContext t;
    PublishService service{t.ctx};
    PublishingSetupForm form{t.ctx, service};
};

TEST(PublishingSetupForm, TestConnectionTriesTheFieldsOffTheUserInterfaceThreadAndApplyStartsPublishing)
{
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    PublishingForm f;
    EXPECT_EQ(f.field("MqttPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.field("MqttHost")->text(), "localhost");
    EXPECT_EQ(f.status(), "Publishing is off");
    screenshotIfWanted(&f.form, "PublishingSetupForm.png");

    const QString port = QString::number(broker.port());
    f.type("MqttHost", QStringLiteral("127.0.0.1"));
    f.type("MqttPort", port);
    f.click(f.form.testButton());
    // The click has returned before the broker answered.
    EXPECT_EQ(f.status(), "Connecting to 127.0.0.1:" + port);
    EXPECT_FALSE(f.form.testButton()->isEnabled());
    QTRY_COMPARE(f.status(), "Connected to 127.0.0.1:" + port);
    QTRY_VERIFY(f.form.testButton()->isEnabled());
    EXPECT_FALSE(f.t.ctx.settings.PUBLISH_MQTT) << "a test applies nothing";
    EXPECT_EQ(f.t.ctx.settings.MQTT_PORT, 1883);

    const QString closed = QString::number(MosquittoBroker::freePort());
    f.type("MqttPort", closed);
    f.click(f.form.testButton());
    QTRY_COMPARE(f.status(), "Not connected to 127.0.0.1:" + closed + ": Connection refused");

    f.type("MqttPort", port);
    f.type("MeterId", QStringLiteral("meter 2"));
    f.form.findChild<QCheckBox*>(QStringLiteral("PublishMqtt"))->setChecked(true);
    f.click(f.form.applyButton());
    EXPECT_EQ(f.t.dialogs.texts(), QStringList{"The meter id may hold only letters, digits, _ and -"});
    EXPECT_EQ(f.t.ctx.settings.METER_ID, "meter1") << "kept as it was";
    QTRY_COMPARE(f.status(), "Connected to 127.0.0.1:" + port);
    EXPECT_EQ(broker.retained(QStringLiteral("wattsight/meter1/availability")).value("wattsight/meter1/availability"),
              "online");
}

} // namespace
