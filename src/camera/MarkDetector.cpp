// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkDetector.h"

#include "app/Clock.h"
#include "app/Dialogs.h"
#include "app/TextFormat.h"
#include "camera/CellValueSource.h"
#include "camera/MarkLevels.h"
#include "metering/MeteringContext.h"
#include "metering/PulseSignal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {
// Intensities and trigger levels are 32-bit; products and tracked levels saturate instead of wrapping.
qint32 saturatedInt32(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double lo = std::numeric_limits<qint32>::min();
    constexpr double hi = std::numeric_limits<qint32>::max();
    return qint32(std::clamp(x, lo, hi));
}

qint32 roundedInt32(double x)
{
    return saturatedInt32(TextFormat::roundHalfEven(x));
}

// The share of the timing correction kept from one revolution to the next.
constexpr double CorrectionKept = 0.9;
// Half the difference between a revolution timed on the leading edges and one on the trailing edges, as a share
// of the frame spacing, beyond which it is taken for a change of load rather than the line's misses: at 10 frames
// a revolution a change of 6 % lies there.
constexpr double MaxMissDifference = 0.3;
// Discs turning in more frames than this cross the cells over several frames, where the line misses by little.
constexpr double MaxFramesForPositions = 24.0;
} // namespace

qint32 millidiff(double start, double end)
{
    return roundedInt32(SecondsBetween(end, start) * 1000.0);
}

qint32 scaledIntensity(qint32 factor, bool invert, qint32 average)
{
    if (invert)
        return saturatedInt32(double(qint64(factor) * qint64(average)));
    if (average == -1)
        return factor >= 0 ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint32>::min();
    return roundedInt32(double(factor) / (double(average) + 1.0));
}

qint32 releaseLevel(qint32 trigger, qint32 percent)
{
    return percent >= 100 ? trigger : roundedInt32(double(trigger) * std::max(percent, 1) / 100.0);
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
    const qint32 v = scale_intensity(roundedInt32(*mean));
    // Timed by when the frame was taken, so a busy user-interface thread shifts no revolution.
    const double taken = m_cells.frameTime() >= 0 ? m_cells.frameTime() : m_ctx.services.clock.timer();
    for (const bool alongRows : {false, true})
        m_positions[alongRows].frame(taken, pathLines(alongRows));
    process_intensity(v, taken, mean);
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
    return mean ? roundedInt32(*mean) : -1;
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
    const std::optional<SeenFrame> before =
        std::exchange(m_previousFrame, mean ? std::optional(SeenFrame{now, *mean}) : std::nullopt);
    const qint32 trigger = triggerLevel();
    if (v < trigger) {
        m_display.DetectionBar = MarkDetectorDisplay::BarOff;
        if (!m_blnMarkOn)
            return;
        // Noise on the edge may cross more than once: the last crossing before the mark ends is its edge.
        if (const std::optional<LineCrossing> fall = mean ? lineCrossing(before, now, *mean) : std::nullopt)
            m_edges.fallLine = fall;
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
        const std::optional<LineCrossing> rise = mean ? lineCrossing(before, now, *mean) : std::nullopt;
        if (!rise) {
            m_round.clear();
            // Seen with no neighbouring frame before it (the first frame after settling, or after a stall), the mark
            // may have come up to a frame or the whole stall earlier: neither the revolution ending at it nor the
            // one starting at it is timed.
            if (mean)
                BreakPulseTiming(m_ctx);
            markPlaced(std::nullopt, 0.0);
            markOn(v, now, m_round.handOn(pulseTime(std::nullopt, now, now), 0, 0.0, std::nullopt));
            if (mean)
                BreakPulseTiming(m_ctx);
            return;
        }
        const double riseTime = crossingTime(m_risePlaces, *rise);
        const int round = m_risePlaces.roundOfRevolutions(rise->at(), rise->gap);
        m_risePlaces.learn(rise->share, rise->at(), rise->gap);
        const double own = pulseTime(riseTime, rise->before, now);
        // A fast disc's revolution is timed by where its mark lies, when that tells.
        std::optional<double> line;
        if (const std::optional<double> last = m_round.lastOwnTime())
            if (const double since = SecondsBetween(own, *last); since <= MaxFramesForPositions * rise->gap)
                line = since;
        const std::optional<double> seen = markPlaced(line, RevolutionRound::PositionSlack * rise->gap);
        markOn(v, now, m_round.handOn(own, round, rise->gap, seen));
    }
}

double MarkDetector::LineCrossing::at() const
{
    return at(share);
}

double MarkDetector::LineCrossing::at(double place) const
{
    return WrapDay(before + place * gap);
}

double MarkDetector::crossingTime(const CrossingPlaces& places, const LineCrossing& line)
{
    return line.at(places.place(line.share, line.at(), line.gap));
}

std::optional<MarkDetector::LineCrossing> MarkDetector::lineCrossing(const std::optional<SeenFrame>& before, double now,
                                                                     double mean) const
{
    if (!before)
        return std::nullopt;
    const double gap = SecondsBetween(now, before->time);
    if (gap <= 0 || gap > MarkPositions::MaxFrameGap)
        return std::nullopt;
    // The level is decided on the rounded average: find the whole averages between the two frames' own where
    // it turns from one side of the trigger to the other; the unrounded average crossed halfway between them.
    // Both averages are as the plain light shows them, so the trigger is the one set.
    const auto reaches = [this, trigger = m_ctx.settings.TRIGGER_LEVEL](qint32 a) {
        return scale_intensity(a) >= trigger;
    };
    qint32 from = roundedInt32(before->mean);
    qint32 to = roundedInt32(mean);
    const bool reachedBefore = reaches(from);
    if (reachedBefore == reaches(to)) {
        // The frames were judged against the light each showed; as the plain light shows them, both lie on one side,
        // a rounding from the trigger: a mark coming that already reached it crossed at the frame before, one that
        // had not yet at this one, and the other way round for a mark ending.
        if (m_ctx.settings.LEVELS_FOLLOW_LIGHT)
            return LineCrossing{before->time, gap, reachedBefore == !m_blnMarkOn ? 0.0 : 1.0};
        return std::nullopt; // the trigger moved since the frame before: no crossing seen between the two
    }
    while (std::abs(to - from) > 1) {
        const qint32 middle = from + (to - from) / 2;
        (reaches(middle) == reachedBefore ? from : to) = middle;
    }
    // Between the frames the cell average is taken as a straight line.
    const double share = (before->mean - (from + to) / 2.0) / (before->mean - mean);
    return LineCrossing{before->time, gap, std::clamp(share, 0.0, 1.0)};
}

qint32 MarkDetector::triggerLevel() const
{
    const GlobalSettings& s = m_ctx.settings;
    if (!s.LEVELS_FOLLOW_LIGHT)
        return s.TRIGGER_LEVEL;
    // The image intensity falls as the light rises, or rises with it when inverted.
    return roundedInt32(s.INVERT_IMAGE_INTENSITY ? s.TRIGGER_LEVEL * m_light.light()
                                                 : s.TRIGGER_LEVEL / m_light.light());
}

void MarkDetector::followLight(qint32 v)
{
    const GlobalSettings& s = m_ctx.settings;
    if (!s.LEVELS_FOLLOW_LIGHT) {
        m_light.restart();
        return;
    }
    // Every cell of the grid, active or not: those the mark never crosses tell the light when it covers the others.
    const int columns = gridSize().columns;
    std::vector<double> cells(std::size_t(columns) * std::size_t(gridSize().rows));
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const int column = int(c) % columns;
        const int row = int(c) / columns;
        cells[c] =
            m_cells.cellValue(0, column, row) + m_cells.cellValue(1, column, row) + m_cells.cellValue(2, column, row);
    }
    // A dark mark raises the image intensity, unless it is inverted for a light mark.
    const bool plain = !m_blnMarkOn && v < releaseLevel(triggerLevel(), s.RELEASE_LEVEL_PERCENT);
    m_light.addFrame(cells, plain, !s.INVERT_IMAGE_INTENSITY);
}

double MarkDetector::pulseTime(std::optional<double> rise, double before, double now)
{
    Edges& e = m_edges;
    const std::optional<double> fall = std::exchange(e.fall, std::nullopt);
    // When the mark's edges cross the cells within a frame or two, a straight line between two frames misses a
    // crossing by milliseconds that depend on where the frames fall, and the trailing edge misses differently
    // from the leading one. Averaging the revolution timed on leading edges with the one before it timed on
    // trailing edges halves and partly cancels those misses: half their difference is carried in the time
    // handed on. A difference beyond what the line misses by is the load changing, not a miss, and is left out
    // (the trailing edges' revolution is one revolution older); the carried correction fades so that it never
    // drifts away from the edge, and the time stays between the two frames.
    double correction = 0.0;
    if (rise && fall && e.previousRise && e.previousFall) {
        const double difference = (SecondsBetween(*fall, *e.previousFall) - SecondsBetween(*rise, *e.previousRise)) / 2;
        const double gap = SecondsBetween(now, before);
        correction = CorrectionKept * e.correction;
        if (std::abs(difference) <= MaxMissDifference * gap && std::abs(correction + difference) <= gap)
            correction += difference;
        correction = std::clamp(correction, -SecondsBetween(*rise, before), SecondsBetween(now, *rise));
    }
    e = {std::nullopt, std::nullopt, fall, rise, correction};
    return rise ? WrapDay(*rise + correction) : now;
}

void MarkDetector::markOn(qint32 v, double now, double pulseTime)
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

    SetPulseInProgress(m_ctx);
    SetMarkOn(m_ctx);
    RegisterPulse(m_ctx, m_lngAveragedMaxIntensity, pulseTime, m_meterSource);
    ClearPulseInProgress(m_ctx);
    RefreshRunningDisplays(m_ctx);

    m_display.edtPreviousMaximumIntensity = QString::number(m_lngCurrentMaxIntensity);
}

void MarkDetector::markOff()
{
    const int n = eventsToAverage();
    m_blnMarkOn = false;
    // The trailing edge is placed once it is known to be the last crossing, then learnt from.
    if (const std::optional<LineCrossing> fall = std::exchange(m_edges.fallLine, std::nullopt)) {
        m_edges.fall = crossingTime(m_fallPlaces, *fall);
        m_fallPlaces.learn(fall->share, fall->at(), fall->gap);
    }
    signalpulse(false);
    SetMarkOff(m_ctx);
    RefreshRunningDisplays(m_ctx);

    const double avg = m_peaks.add(m_lngCurrentMaxIntensity, n);

    const double change = avg - m_lngAveragedMaxIntensity;
    m_lngAveragedMaxIntensity = roundedInt32(avg);

    GlobalSettings& s = m_ctx.settings;
    if (s.TRACK_AMBIENT_LIGHT_CHANGE && m_intMarksSeen == n) {
        s.TRIGGER_LEVEL = roundedInt32(s.TRIGGER_LEVEL + s.PERCENT_AMBIENT_LIGHT_TO_TRACK * change / 100.0);
        m_display.edtChangeFromLastAverage = QString::number(roundedInt32(change));
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
    // the next ones: the next revolution is timed anew, and the light is measured anew.
    BreakPulseTiming(m_ctx);
    m_previousFrame.reset();
    for (MarkPositions& positions : m_positions)
        positions.clear();
    m_edges = {};
    m_round.clear();
    m_risePlaces.clear();
    m_fallPlaces.clear();
    m_light.restart();
}

void MarkDetector::reset_mark_detection()
{
    m_blnMarkOn = false;
    m_display.edtImageIntensity = QStringLiteral("0");
    m_display.edtAveragedMaxIntensity = QStringLiteral("0");
    m_display.edtPreviousMaximumIntensity = QStringLiteral("0");
    m_display.edtChangeFromLastAverage = QStringLiteral("0");
    m_display.edtTriggerValue = QString::number(m_ctx.settings.TRIGGER_LEVEL);
    if (reloadSettingFields)
        reloadSettingFields();
    m_display.barMinimum = MarkDetectorDisplay::BarOff;
    m_display.barMaximum = MarkDetectorDisplay::BarOn;
    m_display.DetectionBar = MarkDetectorDisplay::BarOff;
    m_display.MarkSignalled = MarkDetectorDisplay::BarOff;
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
