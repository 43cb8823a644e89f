// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"

#include "metering/PulseSignal.h"

TestContext::TestContext()
{
    std::tie(ctx.settings, ctx.strGlobalEndOfLine, ctx.strGlobalFieldDelimiter, ctx.paths, ctx.locale) =
        std::tuple(SettingsDefaults::factorySettings(), QStringLiteral("\r\n"), QStringLiteral(","),
                   BuildFilePaths(dir.path()), QLocale(QLocale::English, QLocale::UnitedKingdom));
    ctx.varGlobalDataArray = DataArray(ctx.settings.DATA_ARRAY_LENGTH);
    LoadWorkingMeterValues(ctx);
}
