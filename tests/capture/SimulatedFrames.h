// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/CaptureComponent.h"
#include "support/FakeClock.h"

#include <QSignalSpy>

// Steps the simulated meter one frame at a time on the fake clock, so a test decides exactly when each frame
// is taken and waits until the detector has seen it.
class SimulatedFrames
{
public:
    double frameSeconds = 0.04; // 25 frames a second, as a camera's factory setting

    SimulatedFrames(CaptureComponent& capture, FakeClock& clock) : m_capture(capture), m_clock(clock)
    {
        m_capture.setSimulatedMeterFreeRunning(false);
    }

    // Small frames keep the analysis cheap; the grid still gets several pixels per cell.
    void useTinyFrames(double powerWatts, double revsPerKWh)
    {
        SimulatedMeterSettings s = m_capture.simulatedMeterSettings();
        std::tie(s.width, s.height, s.powerWatts, s.revsPerKWh, s.drift) =
            std::tuple(80, 60, powerWatts, revsPerKWh, 0.0);
        m_capture.setSimulatedMeterSettings(s);
    }

    // One frame, frameSeconds after the previous one; false when no frame was analysed.
    bool step()
    {
        QSignalSpy analysed(&m_capture, &VideoCapture::frameAnalysed);
        m_clock.advance(frameSeconds);
        m_capture.renderSimulatedFrame();
        return analysed.wait(5000);
    }

    // Frames covering `seconds`; false at the first frame that was not analysed.
    bool run(double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += frameSeconds)
            if (!step())
                return false;
        return true;
    }

    // Frames until `done` holds, at most `seconds` of them; true when it came.
    template <typename Condition> bool runUntil(Condition done, double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += frameSeconds) {
            if (!step())
                return false;
            if (done())
                return true;
        }
        return false;
    }

private:
    CaptureComponent& m_capture;
    FakeClock& m_clock;
};
