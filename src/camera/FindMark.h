// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "camera/CellTable.h"
#include "camera/MarkLevels.h"
#include "camera/MarkPath.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

struct GlobalSettings;

// The detector set-up that Find Mark proposes, with what it was based on.
struct FindMarkProposal
{
    bool valid = false;
    QString grid; // DETECTION_GRID: only the cells the mark passes through are active
    bool red = true, green = true, blue = true;
    bool invert = false;
    bool reduceNoise = true;
    qint32 intensityFactor = 0;
    qint32 triggerLevel = 0;
    qint32 debounceMs = 0;
    qint32 releasePercent = 100; // RELEASE_LEVEL_PERCENT

    qint32 plainLevel = 0; // typical image intensity of the plain disc under the proposal
    qint32 plainHigh = 0;  // highest plain-disc intensity seen (noise, flicker and drift included)
    qint32 markPeak = 0;   // lowest peak of the passes seen
    int passes = 0;
    double shortestRevolution = 0.0; // seconds
    // The settings count every revolution up to this power; 0 when unknown (no meter constant). Below the most a
    // household draws, `limitText` says so and what would help.
    qint32 assuredWatts = 0;
    QString limitText;
    // The way the mark moved in the passes watched, taken as forward (FORWARD_DIRECTION); none when they disagreed.
    std::optional<double> forwardDegrees;

    // "mark peaks 42 % above the trigger; plain disc 31 % below"
    QString marginsText() const;
    // The settings it changes; everything else stays.
    void applyTo(GlobalSettings& s) const;
    // The image intensity the detector will compute from this survey table once the proposal is in use.
    qint32 intensityOf(const CellTable& survey) const;
};

// "9 kW", or "600 W" below a kilowatt.
QString AssuredPowerText(qint32 watts);

// Watches the disc over a fixed survey grid, all cells and channels, whatever the detection grid and trigger
// are, until the mark has passed at least twice; then proposes the detector set-up from what it saw.
//
// Each cell and channel is compared with its own plain-disc level: the most frequent value it took once the
// light common to the whole picture (flicker, drift) is divided out. A frame in which cells stand clearly off
// their plain level belongs to a pass; a pass counts once plain frames lie on both sides of it. From the passes
// it picks the cells and channels the mark changes, the part of the mark's path that separates mark and plain
// disc best while still lasting a few frames, and then the levels and times the detector needs.
//
// Core only, fed one cell table per frame; it keeps the tables of the watch (about 1.2 kB each with their bins).
class FindMark
{
public:
    static constexpr int SurveyColumns = 16;
    static constexpr int SurveyRows = 12;
    static constexpr int PassesNeeded = 2;
    static constexpr double HintAfterSeconds = 60.0;
    static constexpr double MaxKilowatts = 20.0; // the most a household draws: the fastest the disc turns

    FindMark();

    // Forget the watch; `reduceNoise` is the noise setting in use, kept when the passes are long enough;
    // `revsPerKWh` the meter constant, which says how fast the disc can turn (0: unknown).
    void reset(bool reduceNoise, double revsPerKWh);
    // One frame's survey table and when it was taken (clock seconds since midnight).
    void addFrame(const CellTable& survey, double time);

    int passesSeen() const { return m_passesSeen; }
    const FindMarkProposal& proposal() const { return m_proposal; }
    bool finished() const { return m_proposal.valid; }
    double secondsWatched() const { return m_elapsed; }
    // No clear pass within the first minute: the disc may be turning too slowly.
    bool hintDue() const { return m_passesSeen == 0 && m_elapsed >= HintAfterSeconds; }
    // The passes seen so far leave no cells and levels that would tell the mark from the plain disc even at the speed
    // watched: the reason, said to the user instead of settings that would miss; otherwise empty. Watching goes on,
    // and further passes are judged again.
    QString refusal() const;

private:
    static constexpr int Cells = SurveyColumns * SurveyRows;
    static constexpr int Values = Cells * 3;
    static constexpr int Bins = 128;
    static constexpr int ModeRadius = 2;

    struct Pass
    {
        int first = 0; // frame indexes, inclusive
        int last = 0;
        bool complete = false;
    };

    // How the mark changes the picture: its direction (+1 lighter, -1 darker), the cells it changes in every
    // pass and the colours it changes.
    struct MarkChange
    {
        int direction = -1;
        std::vector<int> cells;
        std::array<bool, 3> channels{};
    };

    int binOf(int frame, int k) const;
    double frameStep() const;
    MarkChange markChange(const std::vector<MarkLevels::Range>& passes, const std::vector<int>& threshold) const;
    std::vector<std::vector<int>> pathSections(const MarkLevels::Range& pass, const MarkChange& change) const;
    // The fewest frames in which the mark changed any of `cells` clearly in any one of the passes.
    int framesInEachCell(const std::vector<MarkLevels::Range>& passes, const MarkChange& change,
                         const std::vector<int>& cells, const std::vector<int>& threshold) const;
    // Which way the mark moved in each pass, placed by how much it changes each of its cells.
    std::vector<Movement> passMovements(const std::vector<MarkLevels::Range>& passes, const MarkChange& change) const;
    // Per frame, the average of `cells` in `channels` as the plain light shows it.
    std::vector<qint32> cellAverages(const std::vector<int>& cells, const std::array<bool, 3>& channels,
                                     const std::vector<double>& light) const;
    // Per frame, the light as the detector that follows it reads it from the survey's cells.
    std::vector<double> lightOf(const std::vector<bool>& plain, bool darkMark) const;
    // What would let the settings count faster discs, from the levels of the chosen cells at the speed watched and
    // at the fastest.
    QString advice(const MarkLevels& watched, const MarkLevels& fastest, double speedUp) const;
    void count(int k, int bin, int add);
    void findModes();
    void analyse();
    std::vector<Pass> findPasses(std::vector<int>& threshold);
    // Frames in which many cells change a little, together, in the same direction.
    std::vector<bool> faintFrames();
    void propose(const std::vector<Pass>& passes, const std::vector<int>& threshold);
    void dropOldest(int frames);

    bool m_reduceNoise = true;
    double m_revsPerKWh = 0.0;
    std::vector<quint8> m_values;                  // Values per frame
    std::vector<quint8> m_bins;                    // their histogram bins
    std::vector<double> m_times;                   // seconds since the first frame
    std::vector<float> m_common;                   // log of the light common to the frame
    std::array<std::vector<float>, 2> m_faintSums; // per frame: cells' darkening and lightening beyond their noise
    std::array<float, Values> m_logRef{};
    std::vector<quint32> m_hist;                 // Bins per value
    std::vector<quint32> m_smoothed;             // the same summed over ModeRadius bins either side
    std::array<quint8, Values> m_smoothedPeak{}; // the tallest bin of m_smoothed
    std::array<quint8, Values> m_mode{};         // the plain level: the tallest bin of m_hist near it
    std::array<int, Values> m_spreads{};         // each value's noise around it, in whole bins
    std::array<double, Values> m_deviations{};   // and its standard deviation there
    double m_lastClock = 0.0;
    double m_elapsed = 0.0;
    double m_nextAnalysis = 0.0;
    int m_completeAtLastProposal = -1;
    int m_passesSeen = 0;
    bool m_tooFaint = false;
    QString m_faintAdvice;
    FindMarkProposal m_proposal;
};
