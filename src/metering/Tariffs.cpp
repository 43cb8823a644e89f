// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/Tariffs.h"

#include "app/Clock.h"
#include "app/ConfigFiles.h"
#include "app/FileIo.h"
#include "app/TariffSchedule.h"
#include "metering/MeteringContext.h"
#include "metering/RunCalculations.h"

namespace {

const QString StateKey = QStringLiteral("TARIFF=");

} // namespace

qint16 TariffInForce(MeteringContext& ctx)
{
    const GlobalSettings& s = ctx.settings;
    if (s.TARIFF_COUNT < 2)
        return 1;
    if (s.TARIFF_FROM_MQTT)
        return ctx.tariffFromCommand;
    // The reader and the setup screen accept only hours that parse, so a problem here leaves tariff 2 no hours.
    const TariffHours hours = TariffHours::parse(s.TARIFF_2_HOURS);
    return static_cast<qint16>(ScheduledTariff(hours.ranges, s.TARIFF_2_ALL_WEEKEND, ctx.services.clock.now()));
}

double TariffCostPerKWH(const GlobalSettings& s, int tariff)
{
    return tariff == 2 ? s.TARIFF_2_COST_PER_KWH : s.COST_PER_KWH;
}

QString TariffName(const GlobalSettings& s, int tariff)
{
    return tariff == 2 ? s.TARIFF_2_NAME : s.TARIFF_1_NAME;
}

QString TariffText(const MeteringContext& ctx)
{
    const GlobalSettings& s = ctx.settings;
    if (s.TARIFF_COUNT < 2)
        return QString();
    const PulseState& p = ctx.pulse;
    return QStringLiteral("%1 tariff: %2 %3 per %4")
        .arg(TariffName(s, p.intGlobalWkgTarrifNumber),
             RoundedText(p.dblGlobalWkgCostPerKWH, s.COST_ROUNDING_PLACES, ctx.locale), s.CURRENCY_TITLE,
             s.ENERGY_TITLE);
}

QString setTariffFromCommand(MeteringContext& ctx, int tariff)
{
    if (tariff != 1 && tariff != 2)
        return QStringLiteral("A tariff command must be 1 or 2, not %1").arg(tariff);
    // A switch that says the same again, as a retained message does at every connection, writes nothing.
    if (tariff == ctx.tariffFromCommand && ctx.services.files.exists(ctx.paths.tariffState))
        return QString();
    ctx.tariffFromCommand = static_cast<qint16>(tariff);
    const QString error =
        write_settings_file(ctx, ctx.paths.tariffState, {StateKey + QString::number(tariff), SettingsEndMarker});
    if (error.isEmpty())
        return QString();
    return QStringLiteral("Tariff %1 is in force but could not be kept for a restart: ").arg(tariff) + error;
}

QString LoadTariffState(MeteringContext& ctx)
{
    ctx.tariffFromCommand = 1;
    FileIo& files = ctx.services.files;
    if (!files.exists(ctx.paths.tariffState))
        return QString();
    const QString problem = QStringLiteral("The tariff last set by command could not be read from TARIFF.STATE, so "
                                           "tariff 1 is in force until the next command: ");
    auto file = files.open(ctx.paths.tariffState, FileIo::Mode::Read);
    QByteArray line;
    if (!file)
        return problem + QStringLiteral("Couldn't open the file for reading\r\n");
    if (!file->readLine(line))
        return problem + QStringLiteral("Couldn't read data from file\r\n");
    file->close();
    const QString text = QString::fromLatin1(line).trimmed();
    if (text == StateKey + QLatin1Char('1') || text == StateKey + QLatin1Char('2')) {
        ctx.tariffFromCommand = static_cast<qint16>(text.back().digitValue());
        return QString();
    }
    return problem + QStringLiteral("it holds \"%1\" where TARIFF=1 or TARIFF=2 belongs\r\n").arg(text.left(40));
}
