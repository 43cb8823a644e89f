// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CameraConfiguration.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/TextFormat.h"
#include "camera/VideoCapture.h"

#include <array>

namespace CameraConfiguration {

QSize preferredVideoSize(int videoSize)
{
    static constexpr std::array<QSize, PreferredVideoSizeCount> sizes{{{88, 60},
                                                                       {88, 72},
                                                                       {180, 120},
                                                                       {180, 144},
                                                                       {320, 240},
                                                                       {352, 288},
                                                                       {360, 240},
                                                                       {360, 288},
                                                                       {640, 480},
                                                                       {720, 480},
                                                                       {720, 576},
                                                                       {768, 576}}};
    if (videoSize < 1 || videoSize > PreferredVideoSizeCount)
        return {320, 240};
    return sizes[std::size_t(videoSize - 1)];
}

QString formatFrameRate(double framesPerSecond)
{
    QString text = QString::number(TextFormat::roundToPlaces(framesPerSecond, 3), 'f', 3);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    return text;
}

} // namespace CameraConfiguration

QString setup_camera_control(AppContext& ctx, VideoCapture& capture)
{
    GlobalSettings& s = ctx.settings;
    capture.setMotionDetection(true);
    capture.setDetectionGrid(s.DETECTION_GRID);
    capture.setCompareRed(s.DETECT_RED);
    capture.setCompareGreen(s.DETECT_GREEN);
    capture.setCompareBlue(s.DETECT_BLUE);
    capture.setReduceNoise(s.REDUCE_VIDEO_NOISE);
    if (!capture.gridAccepted()) {
        s.DETECTION_GRID = SettingsDefaults::DefaultGrid;
        capture.setDetectionGrid(s.DETECTION_GRID);
        ctx.services.dialogs.message(QStringLiteral("Invalid motion detection settings, factory default used"));
    }
    const QString gridText = capture.gridDisplayText();
    capture.setFrameRate(s.FRAME_RATE);
    const QSize size = CameraConfiguration::preferredVideoSize(s.VIDEO_SIZE);
    capture.setDisplaySize(size.width(), size.height(), s.STRETCH_VIDEO_SIZE);
    return gridText;
}
