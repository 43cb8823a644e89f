// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

struct GlobalSettings;

// What one state message says about the meter.
struct MeterReading
{
    // Unknown (null) while the camera does not count: it may miss revolutions then. Below 0 while exporting.
    std::optional<double> powerW;
    // Every revolution since start, each at the meter constant in use then; net of those that turned backwards.
    double energyKwh = 0.0;
    qint64 revolutions = 0;
    std::optional<double> costPerHour; // unknown with the power
    QString camera;                    // "running", "stopped", "stalled" or "lost" (CameraStateName)
    // Of the trip while it runs, else of the logging run while it runs, else absent.
    std::optional<double> avgPower5minW;
    std::optional<double> avgPower1hW;
    QDateTime time;
    // The meter's own reading and the cost counted into it, absent until it is set; the price per kWh in the
    // currency, absent while no currency code is set.
    std::optional<double> meterReadingKwh;
    std::optional<double> price;
    std::optional<double> cost;
    // A two-rate meter's tariff in force and each tariff's register, absent until set; absent altogether with one
    // tariff. meterReadingKwh and cost are then of both registers together (see MeterReadingStore::total).
    std::optional<int> tariff;
    std::optional<double> meterReadingT1Kwh;
    std::optional<double> meterReadingT2Kwh;
    // The highest power Find Mark's settings count every revolution at; absent when not stated.
    std::optional<double> countsUpToW;
    // With COUNT_DIRECTION: the energy through the meter each way, of all registers and absent with the reading;
    // the passes whose turn the camera could not tell since start. Absent altogether without it.
    std::optional<double> energyImportKwh;
    std::optional<double> energyExportKwh;
    std::optional<qint64> undecidedPasses;
    // While the register's wheels are read (a register region set): the register's reading at the last whole read
    // and when that read was taken, both absent before one. Absent altogether while the register is not read.
    std::optional<double> registerSeenKwh;
    QDateTime registerChecked;

    // powerW is the falling cap on the power since the last revolution (PowerBound), not a measured power.
    bool powerIsBound = false;
};

// The topics of one meter: BASE = MQTT_BASE_TOPIC/METER_ID.
struct PublishTopics
{
    explicit PublishTopics(const GlobalSettings& s);

    QString availability;
    QString state;
    QString discoveryStatus; // where Home Assistant says "online" when it starts
    // MQTT_BASE_TOPIC_METER_ID, with anything but letters, digits, "_" and "-" made "_" (a "/" of the base
    // topic), as Home Assistant's ids allow.
    QString nodeId;
    // The id Home Assistant knows the device and its entities by, kept when the names change; nodeId unless given.
    QString deviceId;
    QString discoveryPrefix;
    QString base;

    QString discoveryConfig(const char* object, const char* component = "sensor") const;
    // Where a command for the object is sent: BASE/object/set.
    QString commandTopic(const char* object) const;
};

struct RetainedMessage
{
    QString topic;
    QByteArray payload;
};

// Compact JSON of the reading; the time as ISO 8601 with its UTC offset.
QByteArray StatePayload(const MeterReading& reading);
// BASE/register while the register is read: {"differs":false}, or {"differs":true,"problem":"The register reads
// ..."} while it differs from the counted reading.
QByteArray RegisterCheckPayload(bool differs, const QString& problem);
// One Home Assistant config for every entity the meter may have, each topic always in the same order. The
// payload is empty (which clears the entity) for one the settings leave out: all while discovery is off, the
// price and the cost while no currency code is set, the energy each way and the undecided passes without
// COUNT_DIRECTION, the reading's number entity and the remote control's
// entities while commands are refused, the picture while it is not sent, the register's entities while it is not
// read (registerRead false). A tariff Home Assistant may set is a select instead of a sensor.
std::vector<RetainedMessage> DiscoveryConfigs(const GlobalSettings& s, const QString& deviceId, bool registerRead);
// The meter reading's command object, also its number entity's; with two tariffs it sets tariff 1's register. Besides
// a number it takes CameraReadingPayload: the reading the camera proposes from the register's wheels.
inline constexpr char MeterReadingObject[] = "meter_reading";
inline constexpr char CameraReadingPayload[] = "camera";
// Whether the register differs from the count (RegisterCheckPayload).
inline constexpr char RegisterObject[] = "register";
// Tariff 2's register's.
inline constexpr char MeterReadingT2Object[] = "meter_reading_t2";

// The objects of the remote control, each on BASE/object with its command on BASE/object/set: logging (state
// "running" or "stopped"; start, stop), trip (start, stop, reset), find_mark (its progress as JSON; start,
// accept, cancel) and picture (a JPEG; now).
inline constexpr char LoggingObject[] = "logging";
inline constexpr char TripObject[] = "trip";
inline constexpr char FindMarkObject[] = "find_mark";
inline constexpr char PictureObject[] = "picture";
