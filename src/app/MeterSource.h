// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a revolution was seen by: one camera (by its name), the built-in simulated meter, or one recording (by
// its path). None is the pulse simulator, and the camera while it is stopped.
struct MeterSource
{
    enum class Kind
    {
        None,
        Camera,
        SimulatedMeter,
        VideoFile
    };

    // The names the capture component gives its built-in sources in the device list.
    static inline const QString SimulatedMeterDevice = QStringLiteral("Simulated meter");
    static inline const QString VideoFileDevice = QStringLiteral("Video file...");

    Kind kind = Kind::None;
    QString name; // the camera's name or the recording's path

    // The source a device of the capture component reads (the recording's path for "Video file...").
    static MeterSource ofDevice(const QString& deviceName, const QString& videoFile);
    // As a file keeps it ("camera:NAME", "simulated", "file:PATH"), and back; a key not of that form is None.
    QString key() const;
    static MeterSource fromKey(const QString& key);
    // For the screen: the camera "NAME", the simulated meter, the recording "PATH".
    QString description() const;

    bool isNone() const { return kind == Kind::None; }
    bool operator==(const MeterSource&) const = default;
};
