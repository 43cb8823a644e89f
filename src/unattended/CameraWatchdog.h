// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

struct MeteringContext;

// Notices a camera that runs but has stopped delivering pictures. While no picture has come for
// STALLED_CAMERA_SECONDS it sets the camera status "Camera stalled: no picture for N s", asks for a restart
// every STALLED_CAMERA_SECONDS, and notes the stall, and the picture's return, in the next record's comment.
// A camera lost while running unattended is watched the same way until a picture comes again: its status is
// "Camera lost for N s: NAME" and every record written meanwhile notes "Camera lost: NAME". Stalls, losses
// and returns go to the log as well. Times are the clock's seconds since midnight.
class CameraWatchdog
{
public:
    explicit CameraWatchdog(MeteringContext& ctx) : m_ctx(ctx) {}
    // What it set in the shared state goes with it.
    ~CameraWatchdog() { cameraStopped(); }
    CameraWatchdog(const CameraWatchdog&) = delete;
    CameraWatchdog& operator=(const CameraWatchdog&) = delete;

    // The camera was started or stopped from the screens; a restart the watchdog asked for is neither.
    void cameraStarted(double now);
    void cameraStopped();
    // The running camera `name` went away (unplugged, or its stream failed); `reason` is for the log.
    void cameraLost(double now, const QString& name, const QString& reason);
    void pictureArrived(double now);
    // Called about once a second; true when the camera should be restarted now.
    bool check(double now);

    bool stalled() const { return m_stalledSince >= 0; }
    bool lost() const { return m_lostSince >= 0; }

private:
    // Asks for a restart every STALLED_CAMERA_SECONDS from the last one.
    bool restartDue(double now);
    void setStatus(const QString& text);
    void noteInComment(const QString& text);

    MeteringContext& m_ctx;
    bool m_watching = false;
    double m_lastPicture = 0.0;
    double m_stalledSince = -1.0;
    double m_lostSince = -1.0;
    QString m_lostName;
    double m_lastRestart = 0.0;
};
