// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ConfigFiles.h"

#include "app/AppContext.h"
#include "app/DelayTenths.h"
#include "app/Dialogs.h"
#include "app/ExtraSettingsFiles.h"
#include "app/FileIo.h"
#include "app/IniFile.h"
#include "app/SettingsFile.h"
#include "app/TextFormat.h"

#include <limits>

namespace {

const QString DefaultEndOfLineCodes = QStringLiteral("13,10");
const QString DefaultDelimiterCodes = QStringLiteral("44");

QString line(const char* key, const QString& value)
{
    return QLatin1String(key) + QLatin1Char('=') + value;
}
QString line(const char* key, double value)
{
    return line(key, TextFormat::formatGeneral(value));
}
QString line(const char* key, qint32 value)
{
    return line(key, QString::number(value));
}
QString line(const char* key, qint16 value)
{
    return line(key, QString::number(value));
}
QString advancedBool(const char* key, bool value)
{
    return line(key, value ? QStringLiteral("True") : QStringLiteral("False"));
}
QString cameraBool(const char* key, bool value)
{
    return line(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

// Looks keys up one after another; after the first failure every later key gets its factory value without
// touching the file.
class GroupReader
{
public:
    GroupReader(AppContext& ctx, QString path)
        : m_ini(ctx.services.files, ctx.services.clock, ctx.services.pump), m_path(std::move(path))
    {
    }

    void section(const char* name) { m_section = QLatin1String(name); }
    bool failed() const { return m_failed; }
    void fail() { m_failed = true; }

    std::optional<QString> lookup(const char* key)
    {
        if (m_failed)
            return std::nullopt;
        auto value = m_ini.iniread(m_path, m_section, QLatin1String(key), 1, ConfigTries, ConfigDelayTenths, false);
        if (!value)
            m_failed = true;
        return value;
    }

    double readDouble(const char* key, double factory, ReadRange<double> range)
    {
        const auto value = lookup(key);
        if (!value)
            return factory;
        const auto number = TextFormat::parseNumber(*value);
        return number && range.contains(*number) ? *number : factory;
    }

    template <typename T> T readInteger(const char* key, T factory, ReadRange<T> range, int maxTextLength = -1)
    {
        const auto value = lookup(key);
        if (!value)
            return factory;
        if (maxTextLength >= 0 && value->size() > maxTextLength)
            return factory;
        const auto number = TextFormat::parseNumber(*value);
        if (!number)
            return factory;
        const double rounded = TextFormat::roundHalfEven(*number);
        if (rounded < std::numeric_limits<T>::min() || rounded > std::numeric_limits<T>::max()) {
            // A number too large for its type is a conversion failure, not just an out-of-range value.
            m_failed = true;
            return factory;
        }
        const T converted = static_cast<T>(rounded);
        return range.contains(converted) ? converted : factory;
    }

    bool readBool(const char* key, bool factory)
    {
        const auto value = lookup(key);
        if (!value)
            return factory;
        const QString word = TextFormat::trimSpaces(*value).toUpper();
        if (word == QLatin1String("TRUE") || word == QLatin1String("T"))
            return true;
        if (word == QLatin1String("FALSE") || word == QLatin1String("F"))
            return false;
        return factory;
    }

    QString readTitle(const char* key, const QString& factory)
    {
        const auto value = lookup(key);
        if (!value || value->isEmpty())
            return factory;
        QString title = value->left(SettingsRanges::TITLE_MAX_LENGTH);
        // Never keep half of a surrogate pair: it would not survive the next save.
        if (title.size() == SettingsRanges::TITLE_MAX_LENGTH && title.back().isHighSurrogate())
            title.chop(1);
        return title;
    }

    // A code list: stored as read, even when empty; its decoding must succeed.
    QString readCodes(const char* key, const QString& factory, QString& decoded)
    {
        QString stored = factory;
        if (const auto value = lookup(key)) {
            bool ok = true;
            const QString text = CodesToText(value->isEmpty() ? factory : *value, factory, &ok);
            if (ok) {
                stored = *value;
                decoded = text;
                return stored;
            }
            m_failed = true;
        }
        decoded = CodesToText(factory, factory);
        return stored;
    }

private:
    IniFile m_ini;
    QString m_path;
    QString m_section;
    bool m_failed = false;
};

} // namespace

bool FileExists(AppContext& ctx, const QString& path)
{
    return ctx.services.files.exists(path);
}

QStringList MeterSettingsLines(const GlobalSettings& s)
{
    return {QStringLiteral("[Meter Settings 1]"), line("REVS_PER_KWH", s.REVS_PER_KWH),
            line("COST_PER_KWH", s.COST_PER_KWH), QString(), SettingsEndMarker};
}

QStringList LoggingSettingsLines(const GlobalSettings& s)
{
    return {QStringLiteral("[Logging Settings]"), line("LOGGING_INTERVAL_SECONDS", s.LOGGING_INTERVAL_SECONDS),
            QStringLiteral("#in seconds#"), SettingsEndMarker};
}

QStringList AdvancedSettingsLines(const GlobalSettings& s)
{
    return {QStringLiteral("[Advanced Settings]"),
            QString(),
            QStringLiteral("[Output File]"),
            line("END_OF_LINE_CHARACTERS", s.END_OF_LINE_CHARACTERS),
            line("FIELD_DELIMITER", s.FIELD_DELIMITER),
            QString(),
            QStringLiteral("[Data Array]"),
            line("DATA_ARRAY_LENGTH", s.DATA_ARRAY_LENGTH),
            line("ARRAY_WRITE_INTERVAL_SECONDS", s.ARRAY_WRITE_INTERVAL_SECONDS),
            advancedBool("WRITE_ARRAY_TO_DISK", s.WRITE_ARRAY_TO_DISK),
            advancedBool("WRITE_LIVE_DATA_FILE", s.WRITE_LIVE_DATA_FILE),
            advancedBool("WRITE_DIFF_LOG_FILE", s.WRITE_DIFF_LOG_FILE),
            QString(),
            QStringLiteral("[File Handling]"),
            line("FILE_WRITE_TRIES", s.FILE_WRITE_TRIES),
            line("FILE_WRITE_DELAY_TENTHS", s.FILE_WRITE_DELAY_TENTHS),
            line("FILE_READ_TRIES", s.FILE_READ_TRIES),
            line("FILE_READ_DELAY_TENTHS", s.FILE_READ_DELAY_TENTHS),
            QString(),
            QStringLiteral("[Display Settings]"),
            line("CURRENCY_TITLE", s.CURRENCY_TITLE),
            line("ENERGY_TITLE", s.ENERGY_TITLE),
            line("POWER_TITLE", s.POWER_TITLE),
            line("COST_ROUNDING_PLACES", s.COST_ROUNDING_PLACES),
            line("POWER_ROUNDING_PLACES", s.POWER_ROUNDING_PLACES),
            line("ENERGY_ROUNDING_PLACES", s.ENERGY_ROUNDING_PLACES),
            QString(),
            QStringLiteral("[System Timers]"),
            line("TIMER_TICK_MILLISECONDS", s.TIMER_TICK_MILLISECONDS),
            line("LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS", s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS),
            line("TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS", s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS),
            QString(),
            SettingsEndMarker};
}

QStringList CameraSettingsLines(const GlobalSettings& s)
{
    return {QStringLiteral("[Camera Settings]"),
            QString(),
            QStringLiteral("[Motion Detection]"),
            line("DETECTION_GRID", s.DETECTION_GRID),
            cameraBool("DETECT_RED", s.DETECT_RED),
            cameraBool("DETECT_GREEN", s.DETECT_GREEN),
            cameraBool("DETECT_BLUE", s.DETECT_BLUE),
            line("SETTLE_TIME", s.SETTLE_TIME),
            QString(),
            QStringLiteral("[Image Settings]"),
            line("FRAME_RATE", s.FRAME_RATE),
            cameraBool("REDUCE_VIDEO_NOISE", s.REDUCE_VIDEO_NOISE),
            line("VIDEO_SIZE", s.VIDEO_SIZE),
            cameraBool("STRETCH_VIDEO_SIZE", s.STRETCH_VIDEO_SIZE),
            line("IMAGE_INTENSITY_FACTOR", s.IMAGE_INTENSITY_FACTOR),
            cameraBool("INVERT_IMAGE_INTENSITY", s.INVERT_IMAGE_INTENSITY),
            QString(),
            QStringLiteral("[Mark Detection]"),
            line("TRIGGER_LEVEL", s.TRIGGER_LEVEL),
            line("DEBOUNCE_TIME", s.DEBOUNCE_TIME),
            line("TRIGGER_EVENTS_TO_AVERAGE", s.TRIGGER_EVENTS_TO_AVERAGE),
            cameraBool("TRACK_AMBIENT_LIGHT_CHANGE", s.TRACK_AMBIENT_LIGHT_CHANGE),
            line("PERCENT_AMBIENT_LIGHT_TO_TRACK", s.PERCENT_AMBIENT_LIGHT_TO_TRACK),
            QString(),
            SettingsEndMarker};
}

QString write_settings_file(AppContext& ctx, const QString& path, const QStringList& lineBuffer, FileIo::Access access)
{
    Services& sv = ctx.services;
    std::unique_ptr<FileHandle> handle;
    for (int attempt = 1; attempt <= ConfigTries; ++attempt) {
        handle = sv.files.open(path, FileIo::Mode::Truncate, FileIo::Commit::Atomic, access);
        if (handle)
            break;
        if (attempt < ConfigTries)
            DelayTenths(sv.clock, sv.pump, ConfigDelayTenths);
    }
    if (!handle)
        return QStringLiteral("Couldn't open the file for writing\r\n");

    const int count = std::min<int>(static_cast<int>(lineBuffer.size()), SettingsBufferMaxLines);
    for (int i = 0; i < count; ++i) {
        if (lineBuffer[i] == SettingsEndMarker)
            break;
        const QByteArray bytes = lineBuffer[i].toLocal8Bit() + "\r\n";
        bool written = false;
        for (int attempt = 1; attempt <= ConfigTries && !written; ++attempt) {
            written = handle->write(bytes);
            if (!written)
                DelayTenths(sv.clock, sv.pump, ConfigDelayTenths);
        }
        if (!written) {
            // Dropping the handle without closing discards the new content and keeps the old file whole.
            handle.reset();
            return QStringLiteral("Couldn't write data to file\r\n");
        }
    }
    if (!handle->close())
        return QStringLiteral("Couldn't close the file\r\n");
    return QString();
}

QString SaveMeterSettings(AppContext& ctx)
{
    return write_settings_file(ctx, ctx.paths.meterSettings, MeterSettingsLines(ctx.settings));
}

QString SaveLoggingSettings(AppContext& ctx)
{
    return write_settings_file(ctx, ctx.paths.loggingSettings, LoggingSettingsLines(ctx.settings));
}

QString SaveAdvancedSettings(AppContext& ctx)
{
    return write_settings_file(ctx, ctx.paths.advancedSettings, AdvancedSettingsLines(ctx.settings));
}

QString SaveCameraSettings(AppContext& ctx)
{
    return write_settings_file(ctx, ctx.paths.cameraSettings, CameraSettingsLines(ctx.settings));
}

void MakeDefaultSettingsFiles(AppContext& ctx)
{
    const GlobalSettings factory = SettingsDefaults::factorySettings();
    struct File
    {
        const QString& path;
        QStringList lines;
        const char* prefix;
    };
    const File files[] = {
        {ctx.paths.meterSettings, MeterSettingsLines(factory), "Error making Meter Settings File: "},
        {ctx.paths.loggingSettings, LoggingSettingsLines(factory), "Error making Logging Settings File: "},
        {ctx.paths.advancedSettings, AdvancedSettingsLines(factory), "Error making Advanced Settings File: "},
        {ctx.paths.cameraSettings, CameraSettingsLines(factory), "Error making Camera Settings File: "},
    };
    for (const File& f : files) {
        if (FileExists(ctx, f.path))
            continue;
        const QString error = write_settings_file(ctx, f.path, f.lines);
        if (!error.isEmpty())
            ctx.services.dialogs.message(QLatin1String(f.prefix) + error, Dialogs::Buttons::Ok);
    }
    for (const SettingsFile* file : ExtraSettingsFiles()) {
        const QString path = SettingsFilePath(ctx, *file);
        if (FileExists(ctx, path))
            continue;
        GlobalSettings factory;
        ApplyFactoryDefaults(*file, factory);
        const QString error = WriteSettingsFile(ctx, *file, factory);
        if (!error.isEmpty())
            ctx.services.dialogs.message(SettingsFileMakeError(*file) + error, Dialogs::Buttons::Ok);
    }
}

bool LoadMeterSettings(AppContext& ctx)
{
    GlobalSettings f;
    SettingsDefaults::MeterFactoryDefaults(f);
    GlobalSettings& s = ctx.settings;
    GroupReader r(ctx, ctx.paths.meterSettings);
    r.section("Meter Settings 1");
    s.REVS_PER_KWH = r.readDouble("REVS_PER_KWH", f.REVS_PER_KWH, SettingsRanges::REVS_PER_KWH);
    s.COST_PER_KWH = r.readDouble("COST_PER_KWH", f.COST_PER_KWH, SettingsRanges::COST_PER_KWH);
    return !r.failed();
}

bool LoadLoggingSettings(AppContext& ctx)
{
    GlobalSettings f;
    SettingsDefaults::LoggingFactoryDefaults(f);
    GroupReader r(ctx, ctx.paths.loggingSettings);
    r.section("Logging Settings");
    ctx.settings.LOGGING_INTERVAL_SECONDS =
        r.readInteger("LOGGING_INTERVAL_SECONDS", f.LOGGING_INTERVAL_SECONDS, SettingsRanges::LOGGING_INTERVAL_SECONDS,
                      SettingsRanges::LOGGING_INTERVAL_MAX_TEXT_LENGTH);
    return !r.failed();
}

bool LoadAdvancedSettings(AppContext& ctx)
{
    namespace R = SettingsRanges;
    GlobalSettings f;
    SettingsDefaults::AdvancedFactoryDefaults(f);
    GlobalSettings& s = ctx.settings;
    GroupReader r(ctx, ctx.paths.advancedSettings);

    r.section("Output File");
    s.END_OF_LINE_CHARACTERS = r.readCodes("END_OF_LINE_CHARACTERS", DefaultEndOfLineCodes, ctx.strGlobalEndOfLine);
    s.FIELD_DELIMITER = r.readCodes("FIELD_DELIMITER", DefaultDelimiterCodes, ctx.strGlobalFieldDelimiter);

    r.section("Data Array");
    s.DATA_ARRAY_LENGTH = r.readInteger("DATA_ARRAY_LENGTH", f.DATA_ARRAY_LENGTH, R::DATA_ARRAY_LENGTH);
    s.ARRAY_WRITE_INTERVAL_SECONDS =
        r.readInteger("ARRAY_WRITE_INTERVAL_SECONDS", f.ARRAY_WRITE_INTERVAL_SECONDS, R::ARRAY_WRITE_INTERVAL_SECONDS);
    s.WRITE_ARRAY_TO_DISK = r.readBool("WRITE_ARRAY_TO_DISK", f.WRITE_ARRAY_TO_DISK);
    s.WRITE_LIVE_DATA_FILE = r.readBool("WRITE_LIVE_DATA_FILE", f.WRITE_LIVE_DATA_FILE);
    s.WRITE_DIFF_LOG_FILE = r.readBool("WRITE_DIFF_LOG_FILE", f.WRITE_DIFF_LOG_FILE);

    r.section("File Handling");
    s.FILE_WRITE_TRIES = r.readInteger("FILE_WRITE_TRIES", f.FILE_WRITE_TRIES, R::FILE_WRITE_TRIES);
    s.FILE_WRITE_DELAY_TENTHS =
        r.readInteger("FILE_WRITE_DELAY_TENTHS", f.FILE_WRITE_DELAY_TENTHS, R::FILE_WRITE_DELAY_TENTHS);
    s.FILE_READ_TRIES = r.readInteger("FILE_READ_TRIES", f.FILE_READ_TRIES, R::FILE_READ_TRIES);
    s.FILE_READ_DELAY_TENTHS =
        r.readInteger("FILE_READ_DELAY_TENTHS", f.FILE_READ_DELAY_TENTHS, R::FILE_READ_DELAY_TENTHS);

    r.section("Display Settings");
    s.CURRENCY_TITLE = r.readTitle("CURRENCY_TITLE", f.CURRENCY_TITLE);
    s.POWER_TITLE = r.readTitle("POWER_TITLE", f.POWER_TITLE);
    s.ENERGY_TITLE = r.readTitle("ENERGY_TITLE", f.ENERGY_TITLE);
    s.COST_ROUNDING_PLACES = r.readInteger("COST_ROUNDING_PLACES", f.COST_ROUNDING_PLACES, R::COST_ROUNDING_PLACES);
    s.POWER_ROUNDING_PLACES = r.readInteger("POWER_ROUNDING_PLACES", f.POWER_ROUNDING_PLACES, R::POWER_ROUNDING_PLACES);
    s.ENERGY_ROUNDING_PLACES =
        r.readInteger("ENERGY_ROUNDING_PLACES", f.ENERGY_ROUNDING_PLACES, R::ENERGY_ROUNDING_PLACES);

    r.section("System Timers");
    s.TIMER_TICK_MILLISECONDS =
        r.readInteger("TIMER_TICK_MILLISECONDS", f.TIMER_TICK_MILLISECONDS, R::TIMER_TICK_MILLISECONDS);
    s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS =
        r.readInteger("LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS", f.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS,
                      R::LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS);
    s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS =
        r.readInteger("TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS", f.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS,
                      R::TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS);
    return !r.failed();
}

bool LoadCameraSettings(AppContext& ctx)
{
    namespace R = SettingsRanges;
    GlobalSettings f;
    SettingsDefaults::CameraFactoryDefaults(f);
    GlobalSettings& s = ctx.settings;
    GroupReader r(ctx, ctx.paths.cameraSettings);

    r.section("Motion Detection");
    const auto grid = r.lookup("DETECTION_GRID");
    const QString trimmedGrid = grid ? TextFormat::trimSpaces(*grid) : QString();
    s.DETECTION_GRID = trimmedGrid.isEmpty() ? f.DETECTION_GRID : trimmedGrid;
    s.DETECT_RED = r.readBool("DETECT_RED", f.DETECT_RED);
    s.DETECT_GREEN = r.readBool("DETECT_GREEN", f.DETECT_GREEN);
    s.DETECT_BLUE = r.readBool("DETECT_BLUE", f.DETECT_BLUE);
    s.SETTLE_TIME = r.readInteger("SETTLE_TIME", f.SETTLE_TIME, R::SETTLE_TIME);

    r.section("Image Settings");
    s.FRAME_RATE = r.readDouble("FRAME_RATE", f.FRAME_RATE, R::FRAME_RATE);
    s.REDUCE_VIDEO_NOISE = r.readBool("REDUCE_VIDEO_NOISE", f.REDUCE_VIDEO_NOISE);
    s.VIDEO_SIZE = r.readInteger("VIDEO_SIZE", f.VIDEO_SIZE, R::VIDEO_SIZE);
    s.STRETCH_VIDEO_SIZE = r.readBool("STRETCH_VIDEO_SIZE", f.STRETCH_VIDEO_SIZE);
    s.IMAGE_INTENSITY_FACTOR =
        r.readInteger("IMAGE_INTENSITY_FACTOR", f.IMAGE_INTENSITY_FACTOR, R::IMAGE_INTENSITY_FACTOR);
    s.INVERT_IMAGE_INTENSITY = r.readBool("INVERT_IMAGE_INTENSITY", f.INVERT_IMAGE_INTENSITY);

    r.section("Mark Detection");
    s.TRIGGER_LEVEL = r.readInteger("TRIGGER_LEVEL", f.TRIGGER_LEVEL, R::TRIGGER_LEVEL);
    s.DEBOUNCE_TIME = r.readInteger("DEBOUNCE_TIME", f.DEBOUNCE_TIME, R::DEBOUNCE_TIME);
    s.TRIGGER_EVENTS_TO_AVERAGE =
        r.readInteger("TRIGGER_EVENTS_TO_AVERAGE", f.TRIGGER_EVENTS_TO_AVERAGE, R::TRIGGER_EVENTS_TO_AVERAGE);
    s.TRACK_AMBIENT_LIGHT_CHANGE = r.readBool("TRACK_AMBIENT_LIGHT_CHANGE", f.TRACK_AMBIENT_LIGHT_CHANGE);
    s.PERCENT_AMBIENT_LIGHT_TO_TRACK = r.readInteger("PERCENT_AMBIENT_LIGHT_TO_TRACK", f.PERCENT_AMBIENT_LIGHT_TO_TRACK,
                                                     R::PERCENT_AMBIENT_LIGHT_TO_TRACK);
    return !r.failed();
}

void LoadAllSettings(AppContext& ctx)
{
    struct Group
    {
        bool (*load)(AppContext&);
        const char* failure;
    };
    static constexpr Group groups[] = {
        {&LoadMeterSettings, "Failed to load meter settings"},
        {&LoadLoggingSettings, "Failed to load logging settings"},
        {&LoadAdvancedSettings, "Failed to load advanced settings"},
        {&LoadCameraSettings, "Failed to load camera settings"},
    };
    for (const Group& g : groups) {
        if (!g.load(ctx))
            ctx.services.dialogs.message(QLatin1String(g.failure), Dialogs::Buttons::Ok);
    }
    for (const SettingsFile* file : ExtraSettingsFiles()) {
        if (!LoadSettingsFile(ctx, *file))
            ctx.services.dialogs.message(SettingsFileLoadFailure(*file), Dialogs::Buttons::Ok);
    }
}

QString CodesToText(const QString& codeList, const QString& defaultList, bool* ok)
{
    if (ok)
        *ok = true;
    QString s = TextFormat::trimSpaces(codeList);
    if (!TextFormat::isNumber(QString(s).remove(QLatin1Char(','))))
        s = TextFormat::trimSpaces(defaultList);

    QString result;
    while (!s.isEmpty()) {
        const qsizetype comma = s.indexOf(QLatin1Char(','));
        const QString item = TextFormat::trimSpaces(comma < 0 ? s : s.left(comma));
        s = comma < 0 ? QString() : s.mid(comma + 1);
        if (item.size() > 3)
            continue;
        const auto number = TextFormat::parseNumber(item);
        if (!number) {
            // Only an empty or malformed item lands here: the whole list, commas removed, was a number.
            if (ok)
                *ok = false;
            continue;
        }
        const double code = TextFormat::roundHalfEven(*number);
        if (code >= 0 && code <= 255)
            result += QChar(static_cast<char16_t>(code));
    }
    return result;
}

bool IsValidCodeList(const QString& codeList)
{
    bool ok = true;
    CodesToText(codeList, QString(), &ok);
    return ok;
}
