// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/LogEvent.h"

#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

void InitialiseDataArray(MeteringContext& ctx)
{
    ctx.varGlobalDataArray = DataArray(ctx.settings.DATA_ARRAY_LENGTH);
}

namespace {
QString backwardNote(qint32 revolutions)
{
    if (revolutions == 0)
        return {};
    return revolutions == 1 ? QStringLiteral("1 revolution backward")
                            : QStringLiteral("%1 revolutions backward").arg(revolutions);
}

// The user's comment with the program's notes after it: a camera lost meanwhile, revolutions that turned backwards.
QString recordComment(const MeteringContext& ctx)
{
    QString comment = ctx.strGlobalUserComment;
    for (const QString& note : {ctx.strCameraLostNote, backwardNote(ctx.pulse.intervalBackward)})
        if (!note.isEmpty())
            comment = WithNote(ctx, comment, note);
    return comment;
}
} // namespace

void DoWriteLogevent(MeteringContext& ctx)
{
    const QDateTime now = WholeSecondsNow(ctx);

    PulseState& p = ctx.pulse;
    RunState& run = ctx.logging;
    run.seconds = WholeSecondsBetween(run.startTime, now);
    const double interval = ctx.settings.LOGGING_INTERVAL_SECONDS;

    LogRecord r;
    r.setDateTime(now);
    r.PulsesThisInterval = p.lngGlobalWkgIntervalPulseCount;
    r.TotalEnergy = run.totalKWH;
    r.TotalCost = run.totalCost;
    r.LoggingSeconds = run.seconds;
    r.LoggingTotalPulse = run.totalPulse;
    r.EnergyThisInterval = p.dblGlobalWkgIntervalKWH;
    r.CostThisInterval = p.dblGlobalWkgIntervalCost;
    // Averaged over the configured interval, not the time that really passed.
    r.AvgPowerThisInterval = p.dblGlobalWkgIntervalKWH * 3600.0 / interval;
    r.AvgCostPerHourThisInterval = p.dblGlobalWkgIntervalCost * 3600.0 / interval;
    r.REVSperEnergyUnit = p.dblGlobalWkgRevsPerKWH;
    r.CostPerEnergyUnit = p.dblGlobalWkgCostPerKWH;
    r.TarrifNumber = p.intGlobalWkgTarrifNumber;
    r.LightLevel = p.lngGlobalLightLevel;
    r.Slot21 = false;
    r.UserComment = recordComment(ctx);
    // A full table gives up its oldest record, so memory always holds the newest ones.
    ctx.varGlobalDataArray.append(r);

    ctx.strGlobalUserComment.clear();
    StartLoggingInterval(p);
}

void StartLoggingInterval(PulseState& p)
{
    p.lngGlobalWkgIntervalPulseCount = 0;
    p.dblGlobalWkgIntervalKWH = 0.0;
    p.dblGlobalWkgIntervalCost = 0.0;
    p.intervalSplit = TariffSplit{};
    p.intervalBackward = 0;
}

QString CleanUserComment(const MeteringContext& ctx, const QString& text)
{
    QString result = text;
    if (!ctx.strGlobalEndOfLine.isEmpty())
        result.replace(ctx.strGlobalEndOfLine, QStringLiteral(" "));
    if (!ctx.strGlobalFieldDelimiter.isEmpty())
        result.replace(ctx.strGlobalFieldDelimiter, QStringLiteral(" "));
    return result.left(MaxUserCommentLength);
}

QString WithNote(const MeteringContext& ctx, const QString& comment, const QString& note)
{
    return CleanUserComment(ctx, comment.isEmpty() ? note : comment + QStringLiteral("; ") + note);
}

QString CleanTypedComment(const MeteringContext& ctx, const QString& typed)
{
    QString text = typed;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QString endOfLine = ctx.strGlobalEndOfLine.isEmpty() ? QStringLiteral(" ") : ctx.strGlobalEndOfLine;
    text.replace(QLatin1Char('\n'), endOfLine);
    return CleanUserComment(ctx, text);
}
