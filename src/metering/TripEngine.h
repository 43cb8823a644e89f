// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/TripDisplay.h"

#include <QObject>

struct MeteringContext;

// The trip: start, stop, reset, the minute windows' update, the baseline and the state the trip screen
// shows. The screen's timer calls tick(); tests call it directly on a fake clock.
class TripEngine : public QObject
{
    Q_OBJECT

public:
    explicit TripEngine(MeteringContext& ctx, QObject* parent = nullptr);
    ~TripEngine() override;

    const TripDisplay& display() const { return m_display; }
    MeteringContext& context() { return m_ctx; }

    // What the screen does when it loads: baseline cleared, unit captions, then an empty display.
    void load();

    void StartTrip();
    void StopTrip();
    void ResetTrip();
    // Closes the running minute into both windows; false when the trip was reset while it waited.
    bool TripTimer();
    // Recomputes the four window averages.
    void TripCalculations();
    void RefreshTripDisplay();
    void ClearTripDisplay();
    void toggleBaseline();
    bool baselineSet() const { return m_baselineSet; }

    // One tick of Timer1: the minute update when due, then the screen refresh when due.
    void tick();

    // The buttons, with the refreshes they add.
    void startButton();
    void stopButton();
    void resetButton();

    // False (after telling the user) while the trip runs.
    bool canClose();

signals:
    void displayChanged();

private:
    void changed() { emit displayChanged(); }
    void updateButtons();

    MeteringContext& m_ctx;
    TripDisplay m_display;
    bool m_baselineSet = false;
    double m_baselinePower = 0.0;
    double m_baselineCost = 0.0;
    bool m_inTick = false;
};
