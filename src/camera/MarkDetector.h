// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/MeterSource.h"
#include "camera/DetectionGrid.h"
#include "camera/EdgeTiming.h"
#include "camera/LightFollower.h"
#include "camera/MarkDetectorDisplay.h"
#include "camera/MarkPositions.h"
#include "camera/PassDirection.h"
#include "camera/PeakRing.h"
#include "camera/RevolutionRound.h"
#include "camera/Threshold.h"

#include <QList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class CellValueSource;
struct MeteringContext;

// Milliseconds from one clock time to a later one, allowing one midnight crossing.
qint32 millidiff(double start, double end);

// Turns the image intensity of each analysed frame into mark-on (one revolution, handed to RegisterPulse)
// and mark-off events, keeps the peak of each passing mark and can move TRIGGER_LEVEL with ambient light.
// Settings are read from the context on every frame, so a changed value acts on the next frame.
class MarkDetector
{
public:
    static inline const QString NoCellsActive =
        QStringLiteral("No cells are active, mark will not be detected. Please go to the Motion Sensitivity form.");

    MarkDetector(MeteringContext& ctx, const CellValueSource& cells);

    // Frame handler: connect it to the component's frame-analysed event.
    void onFrameAnalysed();

    qint32 average_cell_values(const QList<GridCell>& cells, bool red, bool green, bool blue) const;
    qint32 scale_intensity(qint32 average) const;
    void process_intensity(qint32 v);
    // As above for a frame taken at clock time `now`. With `mean`, the unrounded cell average v was scaled
    // from, a mark-on is timed between this frame and the one before; without, at this frame.
    void process_intensity(qint32 v, double now, std::optional<double> mean);
    void signalpulse(bool blnpPulseActive);
    void camera_just_starting();
    void reset_mark_detection();

    const MarkDetectorDisplay& display() const { return m_display; }
    // What the camera shows while it runs, None while it is stopped; each revolution is handed on as seen by it.
    const MeterSource& meterSource() const { return m_meterSource; }
    void setMeterSource(const MeterSource& source) { m_meterSource = source; }
    // The active cells; the grid editor rebuilds them with parse_grid_string.
    QList<GridCell>& varActiveCells() { return m_varActiveCells; }

    // Called after every change of the display state.
    std::function<void()> displayChanged;
    // Called with the image intensity of every settled frame once detection has acted on it.
    std::function<void(qint32 intensity)> intensityMeasured;
    // Called by reset_mark_detection so the camera setup screen reloads its setting fields.
    std::function<void()> reloadSettingFields;

    // TRIGGER_LEVEL, moved with the light when LEVELS_FOLLOW_LIGHT is on: the level marks are judged by.
    qint32 triggerLevel() const;
    bool blnMarkOn() const { return m_blnMarkOn; }
    bool blnCameraSettled() const { return m_blnCameraSettled; }
    qint16 intMarksSeen() const { return m_intMarksSeen; }
    qint32 lngCurrentMaxIntensity() const { return m_lngCurrentMaxIntensity; }
    qint32 lngAveragedMaxIntensity() const { return m_lngAveragedMaxIntensity; }
    qint16 intPeakRingIndex() const { return m_peaks.index(); }
    qint16 intPeakRingCount() const { return m_peaks.count(); }
    // Slot 1..100.
    qint32 peakRingSlot(int slot) const { return m_peaks.slot(slot); }
    double dblTimeLastAboveTrigger() const { return m_dblTimeLastAboveTrigger; }

private:
    struct GridSize
    {
        QString text;
        int columns = 0;
        int rows = 0;
    };
    std::optional<double> meanCellValue(const QList<GridCell>& cells, bool red, bool green, bool blue) const;
    // With LEVELS_FOLLOW_LIGHT on, measures the light of a frame of the plain disc, of intensity v, against the
    // plain disc's at the start.
    void followLight(qint32 v);
    const GridSize& gridSize();
    // The columns of the rows the active cells lie in (or the rows of their columns), each with its average value
    // in the frame just analysed: where the mark lies along its path, on either side of the active cells too.
    std::vector<MarkPositions::Column> pathLines(bool alongRows);
    // The mark came: the revolution where it lies along the columns tells, or else along the rows.
    std::optional<double> markPlaced(std::optional<double> line, double slack);
    // The mark came at a frame taken at `now`, its leading edge crossing `rise` when the frame before neighbours it.
    void markCame(qint32 v, double now, const std::optional<EdgeTiming::LineCrossing>& rise, bool measured);
    // The mark came; its revolution is counted once its pass told its turn (at once without direction counting).
    // With `untimedAfter` the revolution after it is not timed from it.
    void markOn(qint32 v, double now, double pulseTime, bool untimedAfter = false);
    bool countsDirection() const;
    std::vector<double> allCellValues();
    void registerWhenTurnTold();
    // Counts the revolution waiting for its turn; none: its pass did not tell.
    void registerPending(std::optional<Turn> turn);
    void forgetEarlierFrames();
    void markOff();
    int eventsToAverage() const;
    void changed();

    MeteringContext& m_ctx;
    const CellValueSource& m_cells;
    MarkDetectorDisplay m_display;
    MeterSource m_meterSource;

    bool m_blnMarkOn = false;
    double m_dblTimeLastAboveTrigger = 0.0; // last frame at or above the release level while the mark was present
    qint16 m_intMarksSeen = 0;
    qint32 m_lngCurrentMaxIntensity = 0;
    qint32 m_lngAveragedMaxIntensity = 0;
    PeakRing m_peaks;
    double m_dblCameraStartTime = 0.0;
    bool m_blnCameraSettled = false;
    QList<GridCell> m_varActiveCells;
    LightFollower m_light; // while the levels follow the light
    GridSize m_grid;       // of DETECTION_GRID, parsed again only when it changes
    EdgeTiming m_edges;
    RevolutionRound m_round;
    std::array<MarkPositions, 2> m_positions; // along the columns, along the rows
    // A revolution seen, waiting for its pass to tell which way the disc turned.
    struct PendingRevolution
    {
        qint32 lightLevel = 0;
        double time = 0.0;
        MeterSource source;
        bool untimedAfter = false;
    };
    std::optional<PendingRevolution> m_pending;
    PassDirection m_pass;
    Turn m_lastTurn = Turn::Forward;
    bool m_forwardUnknownSaid = false;
};
