// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"

#include "metering/PulseSignal.h"

TestContext::TestContext()
{
    ctx.settings = SettingsDefaults::factorySettings();
    ctx.strGlobalEndOfLine = QStringLiteral("\r\n");
    ctx.strGlobalFieldDelimiter = QStringLiteral(",");
    ctx.paths = BuildFilePaths(dir.path());
    ctx.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    ctx.varGlobalDataArray = DataArray(ctx.settings.DATA_ARRAY_LENGTH);
    LoadWorkingMeterValues(ctx);
}
