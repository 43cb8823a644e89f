// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// Every tunable value, one field per configuration key and named after it.
struct GlobalSettings
{
    // Meter group (METERSETTINGS.CFG)
    double REVS_PER_KWH = 0.0;
    double COST_PER_KWH = 0.0;
    // Logging group (LOGSETTINGS.CFG)
    qint32 LOGGING_INTERVAL_SECONDS = 0;
    // Advanced group (ADVANCEDSETTINGS.CFG)
    QString END_OF_LINE_CHARACTERS;
    QString FIELD_DELIMITER;
    qint32 DATA_ARRAY_LENGTH = 0;
    qint32 ARRAY_WRITE_INTERVAL_SECONDS = 0;
    bool WRITE_ARRAY_TO_DISK = false;
    bool WRITE_LIVE_DATA_FILE = false;
    bool WRITE_DIFF_LOG_FILE = false;
    qint16 FILE_WRITE_TRIES = 0;
    qint16 FILE_WRITE_DELAY_TENTHS = 0;
    qint16 FILE_READ_TRIES = 0;
    qint16 FILE_READ_DELAY_TENTHS = 0;
    QString CURRENCY_TITLE;
    QString ENERGY_TITLE;
    QString POWER_TITLE;
    qint16 COST_ROUNDING_PLACES = 0;
    qint16 POWER_ROUNDING_PLACES = 0;
    qint16 ENERGY_ROUNDING_PLACES = 0;
    qint32 TIMER_TICK_MILLISECONDS = 0;
    qint32 LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 0;
    qint32 TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS = 0; // also known as lngGlobalMillisecondsPerTripScreenUpdate
    // Camera group (CAMERASETTINGS.CFG)
    QString DETECTION_GRID;
    bool DETECT_RED = false;
    bool DETECT_GREEN = false;
    bool DETECT_BLUE = false;
    qint32 SETTLE_TIME = 0;
    double FRAME_RATE = 0.0;
    bool REDUCE_VIDEO_NOISE = false;
    qint16 VIDEO_SIZE = 0;
    bool STRETCH_VIDEO_SIZE = false;
    qint32 IMAGE_INTENSITY_FACTOR = 0;
    bool INVERT_IMAGE_INTENSITY = false;
    qint32 TRIGGER_LEVEL = 0;
    qint32 DEBOUNCE_TIME = 0;
    qint16 TRIGGER_EVENTS_TO_AVERAGE = 0;
    bool TRACK_AMBIENT_LIGHT_CHANGE = false;
    qint16 PERCENT_AMBIENT_LIGHT_TO_TRACK = 0;
    // Publishing group (PUBLISHSETTINGS.CFG)
    bool PUBLISH_MQTT = false;
    QString MQTT_HOST;
    qint32 MQTT_PORT = 0;
    QString MQTT_USERNAME;
    QString MQTT_PASSWORD;
    bool MQTT_USE_TLS = false;
    QString MQTT_CA_FILE;
    QString MQTT_BASE_TOPIC;
    QString METER_ID;
    bool HOME_ASSISTANT_DISCOVERY = false;
    QString DISCOVERY_PREFIX;
    QString CURRENCY_CODE;
    qint32 PRICE_UNITS_PER_CURRENCY_UNIT = 0;
    bool ACCEPT_MQTT_COMMANDS = false;
    bool PUBLISH_PICTURE = false;
    bool WEB_PAGE = false;
    QString WEB_ADDRESS;
    qint32 WEB_PORT = 0;
    QString WEB_PASSWORD; // a salted hash (see web/PasswordHash), or a password typed into the file by hand
    // Unattended group (UNATTENDEDSETTINGS.CFG). The camera keys are state: written when a camera starts.
    bool REMEMBER_CAMERA = false;
    QString CAMERA_DEVICE;
    QString CAMERA_VIDEO_SIZE;
    QString CAMERA_SUBTYPE;
    QString CAMERA_VIDEO_FILE;
    qint32 SIMULATED_POWER_WATTS = 0;
    qint32 SIMULATED_REVS_PER_KWH = 0;
    qint32 SIMULATED_NOISE = 0;
    qint32 SIMULATED_LIGHT_DRIFT_PERCENT = 0;
    qint32 SIMULATED_MARK_WIDTH_PERCENT = 0;
    bool SIMULATED_FLICKER = false;
    bool START_CAMERA_AT_STARTUP = false;
    bool RESUME_LOGGING_AFTER_RESTART = false;
    qint32 STALLED_CAMERA_SECONDS = 0;
    // Detector group (DETECTORSETTINGS.CFG)
    qint32 RELEASE_LEVEL_PERCENT = 0; // a present mark ends only below this share of TRIGGER_LEVEL
    bool LEVELS_FOLLOW_LIGHT = false; // trigger and release move with the light on the whole picture
    qint32 ASSURED_UP_TO_WATTS = 0;   // Find Mark's settings count every revolution up to this power; 0: not stated
    bool COUNT_DIRECTION = false;     // a revolution the disc turned backwards counts as exported energy
    QString FORWARD_DIRECTION;        // degrees the mark moves in when the disc turns forward; empty: not learnt
    // Tariff group (TARIFFSETTINGS.CFG)
    qint32 TARIFF_COUNT = 0;
    QString TARIFF_1_NAME;
    QString TARIFF_2_NAME;
    double TARIFF_2_COST_PER_KWH = 0.0;
    QString TARIFF_2_HOURS;
    bool TARIFF_2_ALL_WEEKEND = false;
    bool TARIFF_FROM_MQTT = false;
    // Register group (REGISTERSETTINGS.CFG)
    QString REGISTER_REGION;           // the number wheels in the picture, "x,y,width,height" fractions; empty: off
    qint32 REGISTER_DIGITS = 0;        // wheels in the register's window
    qint32 REGISTER_DECIMALS = 0;      // of them after the decimal point
    qint32 REGISTER_CHECK_MINUTES = 0; // the register is read and compared with the count this often

    bool operator==(const GlobalSettings&) const = default;
};

// Inclusive range of values a key accepts when read from its file; the setup screens check the same limits.
template <typename T> struct ReadRange
{
    T min;
    T max;
    constexpr bool contains(T value) const { return value >= min && value <= max; }
};

namespace SettingsRanges {
inline constexpr ReadRange<double> REVS_PER_KWH{0.0000001, 10000000.0};
inline constexpr ReadRange<double> COST_PER_KWH{0.0000000001, 1000000000.0};
inline constexpr ReadRange<qint32> LOGGING_INTERVAL_SECONDS{30, 60000};
inline constexpr int LOGGING_INTERVAL_MAX_TEXT_LENGTH = 5;
inline constexpr ReadRange<qint32> DATA_ARRAY_LENGTH{1000, 100000000};
inline constexpr ReadRange<qint32> ARRAY_WRITE_INTERVAL_SECONDS{0, 7200};
inline constexpr ReadRange<qint16> FILE_WRITE_TRIES{1, 1000};
inline constexpr ReadRange<qint16> FILE_WRITE_DELAY_TENTHS{1, 1000};
inline constexpr ReadRange<qint16> FILE_READ_TRIES{1, 1000};
inline constexpr ReadRange<qint16> FILE_READ_DELAY_TENTHS{1, 1000};
inline constexpr int TITLE_MAX_LENGTH = 20; // CURRENCY_TITLE, ENERGY_TITLE, POWER_TITLE
inline constexpr ReadRange<qint16> COST_ROUNDING_PLACES{0, 8};
inline constexpr ReadRange<qint16> POWER_ROUNDING_PLACES{0, 8};
inline constexpr ReadRange<qint16> ENERGY_ROUNDING_PLACES{0, 8};
inline constexpr ReadRange<qint32> TIMER_TICK_MILLISECONDS{10, 10000};
inline constexpr ReadRange<qint32> LOG_SCREEN_REFRESH_INTERVAL_MILLISECONDS{500, 1000000};
inline constexpr ReadRange<qint32> TRIP_SCREEN_REFRESH_INTERVAL_MILLISECONDS{500, 1000000};
inline constexpr ReadRange<qint32> SETTLE_TIME{10, 100000};
inline constexpr ReadRange<double> FRAME_RATE{0.001, 1000.0};
inline constexpr ReadRange<qint16> VIDEO_SIZE{1, 12};
inline constexpr ReadRange<qint32> IMAGE_INTENSITY_FACTOR{1, 1000000};
inline constexpr ReadRange<qint32> TRIGGER_LEVEL{1, 100000};
inline constexpr ReadRange<qint32> DEBOUNCE_TIME{1, 60000};
inline constexpr ReadRange<qint16> TRIGGER_EVENTS_TO_AVERAGE{1, 100};
inline constexpr ReadRange<qint16> PERCENT_AMBIENT_LIGHT_TO_TRACK{1, 10000};
} // namespace SettingsRanges

// Factory values of the keys.
namespace SettingsDefaults {
inline const QString DefaultGrid = QStringLiteral(
    "5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555 5555555555");

void MeterFactoryDefaults(GlobalSettings& s);
void LoggingFactoryDefaults(GlobalSettings& s);
void AdvancedFactoryDefaults(GlobalSettings& s);
void CameraFactoryDefaults(GlobalSettings& s);
// The four original groups and every declared extra file.
GlobalSettings factorySettings();
} // namespace SettingsDefaults

// The full paths of every file of the data folder, built once at start-up.
struct FilePaths
{
    QString meterSettings;
    QString loggingSettings;
    QString advancedSettings;
    QString cameraSettings;
    QString dataStore;   // DATASTOR.DTA
    QString diffLog;     // DIFFLOG.DTA
    QString diffLogCtl;  // DIFFLOG.CTL
    QString liveData;    // LIVEDATA.DTA
    QString liveDataCtl; // LIVEDATA.CTL
    QString folder;      // the data folder itself, where the declared extra settings files live
    QString loggingRun;  // LOGGING.RUN: present while a logging run that may be resumed goes on
    QString tariffState; // TARIFF.STATE: the tariff last set by command
};

// Paths of the fixed file names inside the given folder (the working folder at start-up).
FilePaths BuildFilePaths(const QString& folder);
