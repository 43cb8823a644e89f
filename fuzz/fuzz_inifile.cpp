// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as every settings file: the readers must not crash, must leave each value inside its read
// range, and whatever they accept must survive a save and a second load unchanged.
#include "FuzzServices.h"
#include "app/AppContext.h"
#include "app/ConfigFiles.h"
#include "app/ExtraSettingsFiles.h"
#include "app/IniFile.h"
#include "app/SettingsFile.h"
#include "app/TextFormat.h"

#include <cstdint>

namespace {

template <typename T> void inRange(T value, ReadRange<T> range)
{
    check(range.contains(value));
}

void checkRanges(const GlobalSettings& s)
{
    namespace R = SettingsRanges;
    inRange(s.REVS_PER_KWH, R::REVS_PER_KWH);
    inRange(s.COST_PER_KWH, R::COST_PER_KWH);
    inRange(s.LOGGING_INTERVAL_SECONDS, R::LOGGING_INTERVAL_SECONDS);
    inRange(s.DATA_ARRAY_LENGTH, R::DATA_ARRAY_LENGTH);
    inRange(s.ARRAY_WRITE_INTERVAL_SECONDS, R::ARRAY_WRITE_INTERVAL_SECONDS);
    inRange(s.FILE_WRITE_TRIES, R::FILE_WRITE_TRIES);
    inRange(s.FILE_WRITE_DELAY_TENTHS, R::FILE_WRITE_DELAY_TENTHS);
    inRange(s.FILE_READ_TRIES, R::FILE_READ_TRIES);
    inRange(s.FILE_READ_DELAY_TENTHS, R::FILE_READ_DELAY_TENTHS);
    for (const QString* title : {&s.CURRENCY_TITLE, &s.ENERGY_TITLE, &s.POWER_TITLE})
        check(!title->isEmpty() && title->size() <= R::TITLE_MAX_LENGTH);
    inRange(s.COST_ROUNDING_PLACES, R::COST_ROUNDING_PLACES);
    inRange(s.POWER_ROUNDING_PLACES, R::POWER_ROUNDING_PLACES);
    inRange(s.ENERGY_ROUNDING_PLACES, R::ENERGY_ROUNDING_PLACES);
    inRange(s.TIMER_TICK_MILLISECONDS, R::TIMER_TICK_MILLISECONDS);
    inRange(s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS, R::LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS);
    inRange(s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS, R::TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS);
    check(!s.DETECTION_GRID.isEmpty() && s.DETECTION_GRID == TextFormat::trimSpaces(s.DETECTION_GRID));
    inRange(s.SETTLE_TIME, R::SETTLE_TIME);
    inRange(s.FRAME_RATE, R::FRAME_RATE);
    inRange(s.VIDEO_SIZE, R::VIDEO_SIZE);
    inRange(s.IMAGE_INTENSITY_FACTOR, R::IMAGE_INTENSITY_FACTOR);
    inRange(s.TRIGGER_LEVEL, R::TRIGGER_LEVEL);
    inRange(s.DEBOUNCE_TIME, R::DEBOUNCE_TIME);
    inRange(s.TRIGGER_EVENTS_TO_AVERAGE, R::TRIGGER_EVENTS_TO_AVERAGE);
    inRange(s.PERCENT_AMBIENT_LIGHT_TO_TRACK, R::PERCENT_AMBIENT_LIGHT_TO_TRACK);
}

// Every text of a declared file passes its own check; every number lies in its range.
void checkExtraFiles(const GlobalSettings& s)
{
    for (const SettingsFile* file : ExtraSettingsFiles())
        for (const SettingsSection& section : file->sections)
            for (const SettingsKey& key : section.keys) {
                if (const auto* n = std::get_if<SettingsKey::Number>(&key.value))
                    inRange(s.*n->field, n->range);
                if (const auto* t = std::get_if<SettingsKey::Text>(&key.value))
                    check(!t->accepts || t->accepts(s.*t->field));
            }
}

bool loadAll(AppContext& ctx)
{
    bool ok = LoadMeterSettings(ctx);
    ok = LoadLoggingSettings(ctx) && ok;
    ok = LoadAdvancedSettings(ctx) && ok;
    ok = LoadCameraSettings(ctx) && ok;
    for (const SettingsFile* file : ExtraSettingsFiles())
        ok = LoadSettingsFile(ctx, *file) && ok;
    return ok;
}

bool saveExtraFiles(AppContext& ctx)
{
    bool ok = true;
    for (const SettingsFile* file : ExtraSettingsFiles())
        ok = SaveSettingsFile(ctx, *file).isEmpty() && ok;
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    FuzzServices run;
    AppContext ctx(run.services());
    ctx.paths = BuildFilePaths(QStringLiteral("/fuzz"));
    for (const QString& path :
         {ctx.paths.meterSettings, ctx.paths.loggingSettings, ctx.paths.advancedSettings, ctx.paths.cameraSettings})
        run.files.files.insert(path, input);
    for (const SettingsFile* file : ExtraSettingsFiles())
        run.files.files.insert(SettingsFilePath(ctx, *file), input);

    loadAll(ctx);
    checkRanges(ctx.settings);
    checkExtraFiles(ctx.settings);
    CodesToText(QString::fromLocal8Bit(input), QStringLiteral("13,10"));

    IniFile ini(run.files, run.clock, run.pump);
    ini.iniread(ctx.paths.meterSettings, QStringLiteral("DEFAULT"), QStringLiteral("A"), 0, 3, 10, false);
    ini.iniread(ctx.paths.meterSettings, QStringLiteral("x"), QStringLiteral("y"), 2, 3, 10, true);

    // What was accepted is written back and must read back the same, without a failure.
    check(SaveMeterSettings(ctx).isEmpty() && SaveLoggingSettings(ctx).isEmpty() &&
          SaveAdvancedSettings(ctx).isEmpty() && SaveCameraSettings(ctx).isEmpty() && saveExtraFiles(ctx));
    const GlobalSettings first = ctx.settings;
    const QString eol = ctx.strGlobalEndOfLine;
    const QString delimiter = ctx.strGlobalFieldDelimiter;
    const QHash<QString, QByteArray> savedFiles = run.files.files;
    ctx.settings = GlobalSettings{};
    check(loadAll(ctx));
    check(ctx.strGlobalEndOfLine == eol && ctx.strGlobalFieldDelimiter == delimiter);
    // Doubles pass through 15 significant digits, so compare what a second save writes.
    check(SaveMeterSettings(ctx).isEmpty() && SaveCameraSettings(ctx).isEmpty() && saveExtraFiles(ctx));
    check(run.files.files == savedFiles);
    GlobalSettings second = ctx.settings;
    second.REVS_PER_KWH = first.REVS_PER_KWH;
    second.COST_PER_KWH = first.COST_PER_KWH;
    second.FRAME_RATE = first.FRAME_RATE;
    check(second == first);
    return 0;
}
