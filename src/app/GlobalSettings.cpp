// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GlobalSettings.h"

#include "app/ExtraSettingsFiles.h"
#include "app/SettingsFile.h"

#include <QDir>

namespace SettingsDefaults {

void MeterFactoryDefaults(GlobalSettings& s)
{
    s.REVS_PER_KWH = 300;
    s.COST_PER_KWH = 5;
}

void LoggingFactoryDefaults(GlobalSettings& s)
{
    s.LOGGING_INTERVAL_SECONDS = 300;
}

void AdvancedFactoryDefaults(GlobalSettings& s)
{
    s.END_OF_LINE_CHARACTERS = QStringLiteral("13,10");
    s.FIELD_DELIMITER = QStringLiteral("44");
    s.FILE_WRITE_DELAY_TENTHS = 10;
    s.FILE_READ_DELAY_TENTHS = 10;
    s.ARRAY_WRITE_INTERVAL_SECONDS = 600;
    s.DATA_ARRAY_LENGTH = 10000;
    s.WRITE_ARRAY_TO_DISK = true;
    s.WRITE_LIVE_DATA_FILE = false;
    s.WRITE_DIFF_LOG_FILE = false;
    s.FILE_WRITE_TRIES = 3;
    s.FILE_READ_TRIES = 3;
    s.CURRENCY_TITLE = QStringLiteral("Pence");
    s.ENERGY_TITLE = QStringLiteral("KWH");
    s.POWER_TITLE = QStringLiteral("KW");
    s.TIMER_TICK_MILLISECONDS = 200;
    s.COST_ROUNDING_PLACES = 4;
    s.POWER_ROUNDING_PLACES = 4;
    s.ENERGY_ROUNDING_PLACES = 4;
    s.LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 1000;
    s.TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 1000;
}

void CameraFactoryDefaults(GlobalSettings& s)
{
    s.DETECTION_GRID = DefaultGrid;
    s.VIDEO_SIZE = 5;
    s.DETECT_RED = true;
    s.DETECT_GREEN = true;
    s.DETECT_BLUE = true;
    s.STRETCH_VIDEO_SIZE = false;
    s.FRAME_RATE = 25;
    s.REDUCE_VIDEO_NOISE = true;
    s.DEBOUNCE_TIME = 300;
    s.IMAGE_INTENSITY_FACTOR = 100000;
    s.INVERT_IMAGE_INTENSITY = false;
    s.TRIGGER_EVENTS_TO_AVERAGE = 20;
    s.TRIGGER_LEVEL = 1000;
    s.TRACK_AMBIENT_LIGHT_CHANGE = false;
    s.PERCENT_AMBIENT_LIGHT_TO_TRACK = 50;
    s.SETTLE_TIME = 3000;
}

GlobalSettings factorySettings()
{
    GlobalSettings s;
    MeterFactoryDefaults(s);
    LoggingFactoryDefaults(s);
    AdvancedFactoryDefaults(s);
    CameraFactoryDefaults(s);
    for (const SettingsFile* file : ExtraSettingsFiles())
        ApplyFactoryDefaults(*file, s);
    return s;
}

} // namespace SettingsDefaults

FilePaths BuildFilePaths(const QString& folder)
{
    const QDir dir(folder);
    auto path = [&dir](const char* name) {
        return QDir::toNativeSeparators(dir.absoluteFilePath(QLatin1String(name)));
    };
    return FilePaths{path("METERSETTINGS.CFG"),    path("LOGSETTINGS.CFG"),
                     path("ADVANCEDSETTINGS.CFG"), path("CAMERASETTINGS.CFG"),
                     path("DATASTOR.DTA"),         path("DIFFLOG.DTA"),
                     path("DIFFLOG.CTL"),          path("LIVEDATA.DTA"),
                     path("LIVEDATA.CTL"),         QDir::toNativeSeparators(dir.absolutePath()),
                     path("LOGGING.RUN"),          path("TARIFF.STATE")};
}
