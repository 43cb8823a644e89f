// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkDetector.h"

#include "app/Clock.h"
#include "app/DetectorSettings.h"
#include "app/Dialogs.h"
#include "camera/CellValueSource.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <QDebug>
#include <algorithm>
#include <utility>

namespace {
// Discs turning in more frames than this cross the cells over several frames, where the line misses by little.
constexpr double MaxFramesForPositions = 24.0;
} // namespace

qint32 millidiff(double start, double end)
{
    return roundedHalfEven(SecondsBetween(end, start) * 1000.0);
}

MarkDetector::MarkDetector(MeteringContext& ctx, const CellValueSource& cells) : m_ctx(ctx), m_cells(cells) {}

void MarkDetector::changed()
{
    if (displayChanged)
        displayChanged();
}

int MarkDetector::eventsToAverage() const
{
    // The ring has 100 slots; a value outside the accepted range must not index past it.
    return std::clamp<int>(m_ctx.settings.TRIGGER_EVENTS_TO_AVERAGE, 1, PeakRing::Slots);
}

void MarkDetector::onFrameAnalysed()
{
    m_display.mmoMotionGrid = m_cells.currentCellValuesText();
    const GlobalSettings& s = m_ctx.settings;
    const std::optional<double> mean = meanCellValue(m_varActiveCells, s.DETECT_RED, s.DETECT_GREEN, s.DETECT_BLUE);
    if (!mean) {
        // Nothing to measure (no active cell or no channel): the frame takes no part in detection.
        changed();
        return;
    }
    const bool settled = m_blnCameraSettled;
    const qint32 v = scale_intensity(roundedHalfEven(*mean));
    // Timed by when the frame was taken, so a busy user-interface thread shifts no revolution.
    const double taken = m_cells.frameTime() >= 0 ? m_cells.frameTime() : m_ctx.services.clock.timer();
    for (const bool alongRows : {false, true})
        m_positions[alongRows].frame(taken, pathLines(alongRows));
    if (countsDirection())
        m_pass.frame(taken, allCellValues(), gridSize().columns, gridSize().rows, !s.INVERT_IMAGE_INTENSITY);
    process_intensity(v, taken, mean);
    registerWhenTurnTold();
    if (settled && intensityMeasured)
        intensityMeasured(v);
    changed();
}

const MarkDetector::GridSize& MarkDetector::gridSize()
{
    const QString& text = m_ctx.settings.DETECTION_GRID;
    if (text != m_grid.text) {
        const DetectionGrid grid = DetectionGrid::fromString(text);
        m_grid = {text, grid.columns(), grid.rows()};
    }
    return m_grid;
}

std::vector<MarkPositions::Column> MarkDetector::pathLines(bool alongRows)
{
    const GlobalSettings& s = m_ctx.settings;
    // Across the path: the rows the active cells lie in for a mark moving along the columns, else their columns.
    std::vector<int> across;
    for (const GridCell& cell : m_varActiveCells)
        across.push_back(alongRows ? cell.column : cell.row);
    std::sort(across.begin(), across.end());
    across.erase(std::unique(across.begin(), across.end()), across.end());
    std::vector<MarkPositions::Column> lines;
    if (across.empty())
        return lines;
    const auto value = [&](int column, int row) {
        return (s.DETECT_RED ? m_cells.cellValue(0, column, row) : 0) +
               (s.DETECT_GREEN ? m_cells.cellValue(1, column, row) : 0) +
               (s.DETECT_BLUE ? m_cells.cellValue(2, column, row) : 0);
    };
    const int along = alongRows ? gridSize().rows : gridSize().columns;
    for (int line = 0; line < along; ++line) {
        double sum = 0.0;
        for (const int a : across)
            sum += alongRows ? value(a, line) : value(line, a);
        lines.push_back({line, sum / double(across.size())});
    }
    return lines;
}

std::optional<double> MarkDetector::markPlaced(std::optional<double> line, double slack)
{
    const bool darker = !m_ctx.settings.INVERT_IMAGE_INTENSITY;
    const std::optional<double> byColumns = m_positions[0].markCame(darker, line, slack);
    const std::optional<double> byRows = m_positions[1].markCame(darker, line, slack);
    // A camera held level or tilted sees the mark cross the columns; one turned upright, only the rows.
    return byColumns ? byColumns : byRows;
}

qint32 MarkDetector::average_cell_values(const QList<GridCell>& cells, bool red, bool green, bool blue) const
{
    const std::optional<double> mean = meanCellValue(cells, red, green, blue);
    return mean ? roundedHalfEven(*mean) : -1;
}

std::optional<double> MarkDetector::meanCellValue(const QList<GridCell>& cells, bool red, bool green, bool blue) const
{
    if (cells.isEmpty() || !(red || green || blue))
        return std::nullopt;
    qint64 sum = 0;
    qint64 samples = 0;
    for (const GridCell& cell : cells) {
        if (red) {
            sum += m_cells.cellValue(0, cell.column, cell.row);
            ++samples;
        }
        if (green) {
            sum += m_cells.cellValue(1, cell.column, cell.row);
            ++samples;
        }
        if (blue) {
            sum += m_cells.cellValue(2, cell.column, cell.row);
            ++samples;
        }
    }
    return double(sum) / double(samples);
}

qint32 MarkDetector::scale_intensity(qint32 average) const
{
    return scaledIntensity(m_ctx.settings.IMAGE_INTENSITY_FACTOR, m_ctx.settings.INVERT_IMAGE_INTENSITY, average);
}

void MarkDetector::process_intensity(qint32 v)
{
    process_intensity(v, m_ctx.services.clock.timer(), std::nullopt);
}

void MarkDetector::process_intensity(qint32 v, double now, std::optional<double> mean)
{
    const GlobalSettings& s = m_ctx.settings;
    if (!m_blnCameraSettled) {
        if (millidiff(m_dblCameraStartTime, now) > s.SETTLE_TIME)
            m_blnCameraSettled = true;
        return;
    }
    m_display.edtImageIntensity = QString::number(v);
    m_display.edtSignalLevel = m_display.edtImageIntensity;
    followLight(v);
    // Cell averages are compared between frames as the plain light would show them: a lamp's flicker changes the
    // light from one frame to the next, and the trigger with it.
    if (mean)
        *mean /= m_light.light();
    const std::optional<EdgeTiming::Frame> before =
        m_edges.advance(mean ? std::optional(EdgeTiming::Frame{now, *mean}) : std::nullopt);
    const qint32 trigger = triggerLevel();
    const auto crossing = [&] {
        // Both averages are as the plain light shows them, so the trigger is the one set.
        const EdgeTiming::Level level{[this, set = s.TRIGGER_LEVEL](qint32 a) { return scale_intensity(a) >= set; },
                                      s.LEVELS_FOLLOW_LIGHT, m_blnMarkOn};
        return mean ? EdgeTiming::lineCrossing(before, now, *mean, level) : std::nullopt;
    };
    if (v < trigger) {
        m_display.DetectionBar = MarkDetectorDisplay::BarOff;
        if (!m_blnMarkOn)
            return;
        if (const std::optional<EdgeTiming::LineCrossing> fall = crossing())
            m_edges.trailingCrossed(*fall);
        // Between the release level and the trigger a present mark stays (never so at the factory 100 %).
        if (v >= releaseLevel(trigger, s.RELEASE_LEVEL_PERCENT))
            m_dblTimeLastAboveTrigger = now;
        else if (millidiff(m_dblTimeLastAboveTrigger, now) > s.DEBOUNCE_TIME)
            markOff();
        return;
    }
    m_display.DetectionBar = MarkDetectorDisplay::BarOn;
    if (m_blnMarkOn) {
        if (v > m_lngCurrentMaxIntensity)
            m_lngCurrentMaxIntensity = v;
        m_dblTimeLastAboveTrigger = now;
        m_display.edtPreviousMaximumIntensity = QString::number(m_lngCurrentMaxIntensity);
    } else {
        markCame(v, now, crossing(), mean.has_value());
    }
}

void MarkDetector::markCame(qint32 v, double now, const std::optional<EdgeTiming::LineCrossing>& rise, bool measured)
{
    // The revolution before is counted before this one, whether its pass told its turn or not.
    if (m_pending)
        registerPending(std::nullopt);
    if (!rise) {
        m_round.clear();
        // Seen with no neighbouring frame before it (the first frame after settling, or after a stall), the mark
        // may have come up to a frame or the whole stall earlier: neither the revolution ending at it nor the
        // one starting at it is timed.
        if (measured)
            BreakPulseTiming(m_ctx);
        markPlaced(std::nullopt, 0.0);
        markOn(v, now, m_round.handOn(m_edges.untimedMark(now), 0, 0.0, std::nullopt), measured);
        return;
    }
    const EdgeTiming::Rise timed = m_edges.leadingEdge(*rise, now);
    // A fast disc's revolution is timed by where its mark lies, when that tells.
    std::optional<double> line;
    if (const std::optional<double> last = m_round.lastOwnTime())
        if (const double since = SecondsBetween(timed.time, *last); since <= MaxFramesForPositions * timed.gap)
            line = since;
    const std::optional<double> seen = markPlaced(line, RevolutionRound::PositionSlack * timed.gap);
    markOn(v, now, m_round.handOn(timed.time, timed.round, timed.gap, seen));
}

qint32 MarkDetector::triggerLevel() const
{
    return followedTrigger(m_ctx.settings, m_light.light());
}

std::vector<double> MarkDetector::allCellValues()
{
    const int columns = gridSize().columns;
    std::vector<double> cells(std::size_t(columns) * std::size_t(gridSize().rows));
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const int column = int(c) % columns;
        const int row = int(c) / columns;
        cells[c] =
            m_cells.cellValue(0, column, row) + m_cells.cellValue(1, column, row) + m_cells.cellValue(2, column, row);
    }
    return cells;
}

void MarkDetector::followLight(qint32 v)
{
    const GlobalSettings& s = m_ctx.settings;
    if (!s.LEVELS_FOLLOW_LIGHT) {
        m_light.restart();
        return;
    }
    // Every cell of the grid, active or not: those the mark never crosses tell the light when it covers the others.
    const std::vector<double> cells = allCellValues();
    // A dark mark raises the image intensity, unless it is inverted for a light mark.
    const bool plain = !m_blnMarkOn && v < releaseLevel(triggerLevel(), s.RELEASE_LEVEL_PERCENT);
    m_light.addFrame(cells, plain, !s.INVERT_IMAGE_INTENSITY);
}

void MarkDetector::markOn(qint32 v, double now, double pulseTime, bool untimedAfter)
{
    m_blnMarkOn = true;
    signalpulse(true);
    m_lngCurrentMaxIntensity = v;
    m_dblTimeLastAboveTrigger = now;
    const int n = eventsToAverage();
    if (m_intMarksSeen < n)
        ++m_intMarksSeen;
    if (m_intMarksSeen > n)
        m_intMarksSeen = qint16(n);

    SetMarkOn(m_ctx);
    m_pending = PendingRevolution{m_lngAveragedMaxIntensity, pulseTime, m_meterSource, untimedAfter};
    // A mark the pass watch did not see come tells no turn; without direction counting every revolution is forward.
    if (!countsDirection()) {
        // A box has no Camera Setup to say so: the log does, once.
        if (m_ctx.settings.COUNT_DIRECTION && !std::exchange(m_forwardUnknownSaid, true))
            qWarning().noquote() << QStringLiteral(
                "The disc's direction is to be counted, but which way is forward is not known yet: every revolution "
                "counts forward until Find Mark has watched the disc turn with a large load switched on.");
        registerPending(Turn::Forward);
    } else if (!m_pass.inPass())
        registerPending(std::nullopt);
    else
        registerWhenTurnTold();

    m_display.edtPreviousMaximumIntensity = QString::number(m_lngCurrentMaxIntensity);
}

bool MarkDetector::countsDirection() const
{
    return m_ctx.settings.COUNT_DIRECTION && ForwardDegrees(m_ctx.settings).has_value();
}

void MarkDetector::registerWhenTurnTold()
{
    if (!m_pending)
        return;
    const std::optional<Turn> turn = m_pass.path().turn(ForwardDegrees(m_ctx.settings).value_or(0.0));
    // A slow pass tells its turn within a few frames; a fast one may tell nothing until it has gone.
    if (turn || !m_pass.inPass())
        registerPending(turn);
}

void MarkDetector::registerPending(std::optional<Turn> turn)
{
    const PendingRevolution r = *std::exchange(m_pending, std::nullopt);
    // A pass that did not tell is taken to turn as the one before it did.
    const TurnSeen seen = turn ? TurnSeen{*turn, true} : TurnSeen{m_lastTurn, false};
    m_lastTurn = seen.turn;
    SetPulseInProgress(m_ctx);
    RegisterPulse(m_ctx, r.lightLevel, r.time, r.source, seen);
    ClearPulseInProgress(m_ctx);
    RefreshRunningDisplays(m_ctx);
    if (r.untimedAfter)
        BreakPulseTiming(m_ctx);
}

void MarkDetector::markOff()
{
    const int n = eventsToAverage();
    m_blnMarkOn = false;
    m_edges.markEnded();
    signalpulse(false);
    SetMarkOff(m_ctx);
    RefreshRunningDisplays(m_ctx);

    const double avg = m_peaks.add(m_lngCurrentMaxIntensity, n);

    const double change = avg - m_lngAveragedMaxIntensity;
    m_lngAveragedMaxIntensity = roundedHalfEven(avg);

    GlobalSettings& s = m_ctx.settings;
    if (s.TRACK_AMBIENT_LIGHT_CHANGE && m_intMarksSeen == n) {
        s.TRIGGER_LEVEL = roundedHalfEven(s.TRIGGER_LEVEL + s.PERCENT_AMBIENT_LIGHT_TO_TRACK * change / 100.0);
        m_display.edtChangeFromLastAverage = QString::number(roundedHalfEven(change));
    }
    m_display.edtAveragedMaxIntensity = QString::number(m_lngAveragedMaxIntensity);
    m_display.edtPreviousMaximumIntensity = QString::number(m_lngCurrentMaxIntensity);
    m_display.edtTriggerValue = QString::number(s.TRIGGER_LEVEL);
    m_lngCurrentMaxIntensity = 0;
}

void MarkDetector::signalpulse(bool blnpPulseActive)
{
    m_display.MarkSignalled = blnpPulseActive ? MarkDetectorDisplay::BarOn : MarkDetectorDisplay::BarOff;
}

void MarkDetector::camera_just_starting()
{
    m_dblCameraStartTime = m_ctx.services.clock.timer();
    m_blnCameraSettled = false;
    forgetEarlierFrames();
}

void MarkDetector::forgetEarlierFrames()
{
    // After a stop, or with other cells, channels, scaling or levels, the frames and edges before say nothing of
    // the next ones: the next revolution is timed anew, and the light is measured anew. A revolution whose pass was
    // still being watched is counted first.
    if (m_pending)
        registerPending(std::nullopt);
    m_pass.clear();
    BreakPulseTiming(m_ctx);
    for (MarkPositions& positions : m_positions)
        positions.clear();
    m_edges.clear();
    m_round.clear();
    m_light.restart();
}

void MarkDetector::reset_mark_detection()
{
    m_blnMarkOn = false;
    m_display.reset(m_ctx.settings.TRIGGER_LEVEL);
    if (reloadSettingFields)
        reloadSettingFields();
    m_lngCurrentMaxIntensity = 0;
    m_lngAveragedMaxIntensity = 0;
    m_intMarksSeen = 0;
    m_blnCameraSettled = false;
    forgetEarlierFrames();
    m_peaks.clear();
    changed();
    if (!parse_grid_string(m_ctx.settings.DETECTION_GRID, m_varActiveCells))
        m_ctx.services.dialogs.message(NoCellsActive);
}
