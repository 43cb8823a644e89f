// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/MeterReadingStore.h"
#include "publish/MqttLibrary.h"
#include "publish/PublishService.h"
#include "support/TestContext.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    MqttLibrary mqtt;
    TestContext t;
    std::tie(t.ctx.settings.PUBLISH_MQTT, t.ctx.settings.MQTT_HOST, t.ctx.settings.MQTT_PORT) =
        std::tuple(true, QStringLiteral("127.0.0.1"), QString::fromLocal8Bit(argv[1]).toInt());
    MeterReadingStore reading(t.ctx);
    PublishService service(t.ctx, reading);
    service.applySettings();
    return QCoreApplication::exec();
}
