// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/MetricsText.h"

#include "metering/CameraState.h"
#include "publish/MeterPublisher.h"
#include "publish/PublishPayloads.h"

#include <QLocale>
#include <optional>
#include <vector>

namespace {

// Prometheus wants base units: energy in joules.
constexpr double JoulesPerKwh = 3.6e6;

// The shortest text that reads back as the same double, in the C locale whatever the user's.
QByteArray metricNumber(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray escapedLabelValue(const QString& value)
{
    QByteArray escaped;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

struct MetricSample
{
    QByteArray labels; // "" or {name="value"}
    QByteArray value;
};

MetricSample sample(const QByteArray& value)
{
    return {{}, value};
}

MetricSample sample(const char* label, const QString& labelValue, const QByteArray& value)
{
    return {QByteArray("{") + label + "=\"" + escapedLabelValue(labelValue) + "\"}", value};
}

// A family with its help and type, left out altogether while it has no sample: an empty family tells nothing.
void appendFamily(QByteArray& out, const char* name, const char* type, const char* help,
                  const std::vector<MetricSample>& samples)
{
    if (samples.empty())
        return;
    out += QByteArray("# HELP ") + name + ' ' + help + '\n';
    out += QByteArray("# TYPE ") + name + ' ' + type + '\n';
    for (const MetricSample& s : samples)
        out += name + s.labels + ' ' + s.value + '\n';
}

// One unlabelled sample, or none while the value is unknown.
std::vector<MetricSample> knownSample(const std::optional<double>& value, double scale = 1.0)
{
    if (!value)
        return {};
    return {sample(metricNumber(*value * scale))};
}

void addIfKnown(std::vector<MetricSample>& samples, const char* label, const QString& labelValue,
                const std::optional<double>& value, double scale = 1.0)
{
    if (value)
        samples.push_back(sample(label, labelValue, metricNumber(*value * scale)));
}

} // namespace

QByteArray MetricsText(const MeterReading& state, const MeterTotals& totals, bool countsDirection,
                       const QString& version)
{
    QByteArray out;
    const QString forward = QStringLiteral("forward");
    const QString backward = QStringLiteral("backward");

    appendFamily(out, "wattsight_power_watts", "gauge",
                 "Power through the meter, below 0 while exporting; absent while the camera does not count.",
                 knownSample(state.powerW));

    // Counters never go down, so the backward turns are a series of their own rather than subtracted.
    std::vector<MetricSample> revolutions{sample("direction", forward, QByteArray::number(totals.revolutionsForward))};
    std::vector<MetricSample> energy{
        sample("direction", forward, metricNumber(totals.energyForwardKwh * JoulesPerKwh))};
    if (countsDirection) {
        revolutions.push_back(sample("direction", backward, QByteArray::number(totals.revolutionsBackward)));
        energy.push_back(sample("direction", backward, metricNumber(totals.energyBackwardKwh * JoulesPerKwh)));
    }
    appendFamily(out, "wattsight_revolutions_total", "counter", "Revolutions of the disc counted since start.",
                 revolutions);
    appendFamily(out, "wattsight_energy_joules_total", "counter", "Energy counted since start.", energy);

    appendFamily(out, "wattsight_meter_reading_joules", "gauge",
                 "The meter's reading, of all its registers together; absent until it is set.",
                 knownSample(state.meterReadingKwh, JoulesPerKwh));

    // Each tariff's register in a family of its own, so summing the reading's family does not count them twice.
    std::vector<MetricSample> tariffs;
    if (state.tariff) {
        addIfKnown(tariffs, "tariff", QStringLiteral("1"), state.meterReadingT1Kwh, JoulesPerKwh);
        addIfKnown(tariffs, "tariff", QStringLiteral("2"), state.meterReadingT2Kwh, JoulesPerKwh);
    }
    appendFamily(out, "wattsight_meter_reading_tariff_joules", "gauge",
                 "The register of each tariff of a two-rate meter; absent until it is set.", tariffs);

    std::vector<MetricSample> averages;
    addIfKnown(averages, "window", QStringLiteral("5m"), state.avgPower5minW);
    addIfKnown(averages, "window", QStringLiteral("1h"), state.avgPower1hW);
    appendFamily(out, "wattsight_power_average_watts", "gauge",
                 "Average power of the running trip, else of the running logging.", averages);

    std::vector<MetricSample> camera;
    for (const CameraState s : {CameraState::Running, CameraState::Stopped, CameraState::Stalled, CameraState::Lost}) {
        const QString name = CameraStateName(s);
        camera.push_back(sample("state", name, name == state.camera ? "1" : "0"));
    }
    appendFamily(out, "wattsight_camera_state", "gauge", "1 for what the camera is doing, 0 for the other states.",
                 camera);

    appendFamily(out, "wattsight_register_seen_joules", "gauge",
                 "The register's wheels as the camera last read them whole; absent while they are not read.",
                 knownSample(state.registerSeenKwh, JoulesPerKwh));

    appendFamily(out, "wattsight_build_info", "gauge", "The program's version.", {sample("version", version, "1")});
    return out;
}
