// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MeterSource.h"

namespace {
const QString CameraPrefix = QStringLiteral("camera:");
const QString FilePrefix = QStringLiteral("file:");
const QString SimulatedKey = QStringLiteral("simulated");
} // namespace

MeterSource MeterSource::ofDevice(const QString& deviceName, const QString& videoFile)
{
    if (deviceName.isEmpty())
        return {};
    if (deviceName == SimulatedMeterDevice)
        return {Kind::SimulatedMeter, {}};
    if (deviceName == VideoFileDevice)
        return videoFile.isEmpty() ? MeterSource{} : MeterSource{Kind::VideoFile, videoFile};
    return {Kind::Camera, deviceName};
}

QString MeterSource::key() const
{
    switch (kind) {
    case Kind::Camera:
        return CameraPrefix + name;
    case Kind::SimulatedMeter:
        return SimulatedKey;
    case Kind::VideoFile:
        return FilePrefix + name;
    case Kind::None:
        break;
    }
    return {};
}

MeterSource MeterSource::fromKey(const QString& key)
{
    if (key == SimulatedKey)
        return {Kind::SimulatedMeter, {}};
    if (key.startsWith(CameraPrefix) && key.size() > CameraPrefix.size())
        return {Kind::Camera, key.mid(CameraPrefix.size())};
    if (key.startsWith(FilePrefix) && key.size() > FilePrefix.size())
        return {Kind::VideoFile, key.mid(FilePrefix.size())};
    return {};
}

QString MeterSource::description() const
{
    switch (kind) {
    case Kind::Camera:
        return QStringLiteral("the camera \"%1\"").arg(name);
    case Kind::SimulatedMeter:
        return QStringLiteral("the simulated meter");
    case Kind::VideoFile:
        return QStringLiteral("the recording \"%1\"").arg(name);
    case Kind::None:
        break;
    }
    return QStringLiteral("no source");
}
