// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/MarkPositions.h"

#include "camera/MarkLevels.h"
#include "metering/PulseSignal.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// Frames it takes to know a column's plain value: a few marks' worth at the speeds timed here.
constexpr std::size_t NeededFrames = 12;
// Columns whose mark changes them by less than this share of the most changed column's, or by fewer grey levels
// than this, lie beside the mark's path and would place it by their noise.
constexpr double MinShareOfDepth = 0.3;
constexpr double MinDepth = 10.0;
// A column at least this share of the way from its plain value to its mark's is covered.
constexpr double Covered = 0.5;
// Frames after the one a mark came in that measure how fast it moves.
constexpr int PassFrames = 3;
// The mark's widths its width is the median of.
constexpr std::size_t Widths = 9;

bool sameColumns(const std::vector<MarkPositions::Column>& a, const std::vector<MarkPositions::Column>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& x, const auto& y) { return x.index == y.index; });
}
} // namespace

void MarkPositions::frame(double time, const std::vector<Column>& columns)
{
    if (!m_frames.empty() && !sameColumns(m_frames.back().columns, columns))
        clear(); // other cells: what was learnt says nothing of them
    m_frames.push_back({time, columns});
    if (m_frames.size() > Kept)
        m_frames.pop_front();
    if (m_passLatest && m_passFrames < PassFrames) {
        ++m_passFrames;
        const Edges latest = edges(m_frames.back());
        measureSpeed(latest);
        // A mark that came at the edge of the columns is placed in a frame of its pass instead: the next
        // revolution is timed from there.
        if (m_came && !m_came->left && !m_came->right && (latest.left || latest.right))
            m_came = latest;
    }
}

void MarkPositions::clear()
{
    *this = {};
}

std::optional<double> MarkPositions::markCame(bool darker, std::optional<double> line, double slack)
{
    m_darker = darker;
    if (m_frames.empty())
        return std::nullopt; // the cells were never handed in
    learnLevels();
    // The speed now, from the frame before on, where the mark may already show; the last mark's where not.
    m_speedSamples.clear();
    m_passFrames = 0;
    m_passLatest = m_frames.size() > 1 ? std::optional(edges(m_frames[m_frames.size() - 2])) : std::nullopt;
    const Edges now = edges(m_frames.back());
    if (m_passLatest) {
        learnWidth(*m_passLatest);
        measureSpeed(now);
    } else {
        learnWidth(now);
        m_passLatest = now;
    }
    std::optional<double> revolution;
    if (line && m_came && m_speed)
        if (const std::optional<double> ahead = moved(*m_came, now)) {
            // The frames' time apart, less what the mark had yet to move to where the last one was seen.
            const double timed = SecondsBetween(now.time, m_came->time) - *ahead / *m_speed;
            if (std::abs(timed - *line) <= slack)
                revolution = timed;
        }
    m_came = now;
    return revolution;
}

void MarkPositions::measureSpeed(const Edges& later)
{
    learnWidth(later);
    const Edges earlier = *std::exchange(m_passLatest, later);
    const double apart = SecondsBetween(later.time, earlier.time);
    const std::optional<double> ahead = moved(earlier, later);
    if (apart <= 0 || apart > MaxFrameGap || !ahead)
        return;
    m_speedSamples.push_back(*ahead / apart);
    // Edges moving either way, or standing, are no mark crossing the columns.
    const auto [slowest, fastest] = std::minmax_element(m_speedSamples.begin(), m_speedSamples.end());
    if (*slowest * *fastest <= 0) {
        m_speed.reset();
        return;
    }
    double sum = 0.0;
    for (const double s : m_speedSamples)
        sum += s;
    m_speed = sum / double(m_speedSamples.size());
}

void MarkPositions::learnWidth(const Edges& e)
{
    if (!e.left || !e.right)
        return;
    m_widths.push_back(*e.right - *e.left);
    if (m_widths.size() > Widths)
        m_widths.pop_front();
    m_width = medianOf(std::vector<double>(m_widths.begin(), m_widths.end()));
}

std::optional<double> MarkPositions::middle(const Edges& e) const
{
    if (e.left && e.right)
        return (*e.left + *e.right) / 2;
    if (m_width && e.left)
        return *e.left + *m_width / 2;
    if (m_width && e.right)
        return *e.right - *m_width / 2;
    return std::nullopt;
}

std::optional<double> MarkPositions::moved(const Edges& from, const Edges& to) const
{
    double sum = 0.0;
    int edgesSeen = 0;
    for (const auto& [was, is] : {std::pair{from.left, to.left}, std::pair{from.right, to.right}})
        if (was && is) {
            sum += *is - *was;
            ++edgesSeen;
        }
    if (edgesSeen > 0)
        return sum / edgesSeen;
    const std::optional<double> was = middle(from);
    const std::optional<double> is = middle(to);
    if (was && is)
        return *is - *was;
    return std::nullopt;
}

void MarkPositions::learnLevels()
{
    m_levels.reset();
    if (m_frames.size() < NeededFrames)
        return;
    // Each column's plain value is its median over the frames kept (a fast mark covers it in few of them), its
    // mark's the furthest from it.
    const std::size_t n = m_frames.back().columns.size();
    Levels levels{std::vector<double>(n), std::vector<double>(n)};
    std::vector<double> samples(m_frames.size());
    for (std::size_t c = 0; c < n; ++c) {
        for (std::size_t i = 0; i < m_frames.size(); ++i)
            samples[i] = m_frames[i].columns[c].value;
        levels.plain[c] = medianOf(samples);
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        levels.depth[c] = m_darker ? levels.plain[c] - *low : *high - levels.plain[c];
    }
    m_levels = std::move(levels);
}

MarkPositions::Edges MarkPositions::edges(const Frame& f) const
{
    Edges e{f.time, std::nullopt, std::nullopt};
    if (!m_levels || f.columns.empty() || m_levels->plain.size() != f.columns.size())
        return e;
    // How far the frame's value lies between a column's plain and mark values says how much the mark covers.
    const std::vector<double>& plain = m_levels->plain;
    const std::vector<double>& depth = m_levels->depth;
    const std::size_t n = f.columns.size();
    const double deepest = *std::max_element(depth.begin(), depth.end());
    struct Cover
    {
        double position;
        double share;
    };
    std::vector<Cover> covers;
    for (std::size_t c = 0; c < n; ++c)
        if (depth[c] >= std::max(MinDepth, MinShareOfDepth * deepest)) {
            const double change = m_darker ? plain[c] - f.columns[c].value : f.columns[c].value - plain[c];
            covers.push_back({double(f.columns[c].index), change / depth[c]});
        }
    const auto covered = [&](std::size_t c) { return covers[c].share >= Covered; };
    // The edge between a covered column and an uncovered neighbour lies where the cover passes half, the cover
    // taken as a straight line between the two.
    const auto between = [&](std::size_t in, std::size_t out) {
        const Cover& a = covers[in];
        const Cover& b = covers[out];
        return a.position + (b.position - a.position) * (a.share - Covered) / (a.share - b.share);
    };
    const auto first = std::find_if(covers.begin(), covers.end(), [](const Cover& c) { return c.share >= Covered; });
    if (covers.size() < 3 || first == covers.end())
        return e;
    std::size_t low = std::size_t(first - covers.begin());
    std::size_t high = covers.size() - 1;
    while (!covered(high))
        --high;
    if (low > 0)
        e.left = between(low, low - 1);
    if (high + 1 < covers.size())
        e.right = between(high, high + 1);
    return e;
}
