// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the detector shows: the camera setup screen and the image settings screen render these fields.
struct MarkDetectorDisplay
{
    static constexpr int BarOff = 1;
    static constexpr int BarOn = 10;

    QString edtImageIntensity;
    QString edtSignalLevel; // image settings screen, same value as edtImageIntensity
    QString edtAveragedMaxIntensity;
    QString edtPreviousMaximumIntensity;
    QString edtChangeFromLastAverage;
    QString edtTriggerValue;
    QString mmoMotionGrid; // current cell values text of the component
    int barMinimum = 1;    // range of DetectionBar and MarkSignalled
    int barMaximum = 10;
    int DetectionBar = BarOff;  // "Level Exceeded"
    int MarkSignalled = BarOff; // "Mark Detected"

    // As the detector starts anew, with the trigger level set.
    void reset(qint32 trigger)
    {
        const QString zero = QStringLiteral("0");
        edtImageIntensity = edtAveragedMaxIntensity = edtPreviousMaximumIntensity = edtChangeFromLastAverage = zero;
        edtTriggerValue = QString::number(trigger);
        barMinimum = BarOff;
        barMaximum = BarOn;
        DetectionBar = MarkSignalled = BarOff;
    }
};
