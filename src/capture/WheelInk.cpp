// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WheelInk.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <tuple>

namespace {
// Strokes fainter than this against their wheel's face are not told from noise and smudges.
constexpr int MinInkContrast = 40;
// The share of a wheel's width left out at each side when its rows are measured: dividers and frames are there.
constexpr double WheelSideCut = 0.15;
// How far from the window's middle line a digit's centre may be and still stand, a share of the window's height.
constexpr double StandingTolerance = 0.1;
// The steepest tilt of the wheels' line taken from the digits themselves, about 6 degrees.
constexpr double MaxWheelSlope = 0.11;

using WheelPixels = std::vector<std::uint8_t>;

// The lowest (or highest) value over a square of `size` pixels about each pixel, a row pass and a column pass.
WheelPixels squareExtreme(const WheelPixels& in, int w, int h, int size, bool highest)
{
    const int r = size / 2;
    const auto pick = [highest](std::uint8_t a, std::uint8_t b) { return highest ? std::max(a, b) : std::min(a, b); };
    WheelPixels rows(in.size()), out(in.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t v = in[std::size_t(y * w + x)];
            for (int k = std::max(0, x - r); k <= std::min(w - 1, x + r); ++k)
                v = pick(v, in[std::size_t(y * w + k)]);
            rows[std::size_t(y * w + x)] = v;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t v = rows[std::size_t(y * w + x)];
            for (int k = std::max(0, y - r); k <= std::min(h - 1, y + r); ++k)
                v = pick(v, rows[std::size_t(k * w + x)]);
            out[std::size_t(y * w + x)] = v;
        }
    return out;
}

int percentileOf(WheelPixels values, double share)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

struct InkBand
{
    int top, bottom; // rows, inclusive
    int height() const { return bottom - top + 1; }
    double centre() const { return (top + bottom) / 2.0; }
};

// What one wheel's strokes look like before the wheels are compared.
struct WheelStrokes
{
    int left = 0, right = 0;     // the wheel's columns, right exclusive
    int inner = 0, innerEnd = 0; // its middle part, clear of dividers and frames
    int threshold = 0;           // 0: blank
    std::vector<InkBand> bands;
};

// The middle line of the window through the standing digits' centres: the median of the slopes between pairs and
// of the offsets, so that a rolling wheel or two do not pull it away.
struct WheelLine
{
    double offset, slope, tolerance;
    double at(double x) const { return offset + slope * x; }
};

WheelLine wheelLine(const std::vector<std::pair<double, double>>& centres, int w, int h)
{
    const double tolerance = StandingTolerance * h;
    if (centres.size() < 3) {
        // Too few to tell a tilt from a roll: the region's middle, with room for a tilt at the ends.
        return {h / 2.0, 0.0, tolerance + MaxWheelSlope * w / 2.0};
    }
    // The line through two of the centres that most others lie close to, the level one among equals: a few rolling
    // wheels cannot pull it away from the standing ones.
    WheelLine best{h / 2.0, 0.0, tolerance};
    std::size_t bestCount = 0;
    for (std::size_t i = 0; i < centres.size(); ++i)
        for (std::size_t j = i + 1; j < centres.size(); ++j) {
            const double slope = (centres[j].second - centres[i].second) / (centres[j].first - centres[i].first);
            if (std::abs(slope) > MaxWheelSlope)
                continue;
            const WheelLine line{centres[i].second - slope * centres[i].first, slope, tolerance};
            const auto count = std::size_t(std::count_if(centres.begin(), centres.end(), [&](const auto& c) {
                return std::abs(c.second - line.at(c.first)) <= tolerance / 2.0;
            }));
            if (count > bestCount || (count == bestCount && std::abs(slope) < std::abs(best.slope)))
                std::tie(best, bestCount) = std::tuple(line, count);
        }
    return best;
}
} // namespace

RegisterInk WheelInkFinder::find(const QImage& grey, int digits)
{
    const int w = grey.width(), h = grey.height();
    WheelPixels g(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        std::copy_n(grey.constScanLine(y), w, g.begin() + std::ptrdiff_t(y) * w);

    // The digits are what stands out from the middle grey: bright ones on dark wheels or dark ones on light wheels.
    const int low = percentileOf(g, 0.02), middle = percentileOf(g, 0.5), high = percentileOf(g, 0.98);
    if (high - middle < middle - low)
        std::transform(g.begin(), g.end(), g.begin(), [](std::uint8_t v) { return std::uint8_t(255 - v); });
    // Taking away what is left when every stroke is rubbed out keeps the strokes and drops slow changes of light.
    const int rub = std::max(3, int(std::lround(0.15 * h))) | 1;
    const WheelPixels face = squareExtreme(squareExtreme(g, w, h, rub, false), w, h, rub, true);
    WheelPixels ink(g.size());
    std::transform(g.begin(), g.end(), face.begin(), ink.begin(), [](int v, int f) { return std::uint8_t(v - f); });

    RegisterInk out;
    out.paper = QImage(w, h, QImage::Format_Grayscale8);
    out.paper.fill(255);
    std::vector<WheelStrokes> strokes(std::size_t(std::max(digits, 0)));
    for (int i = 0; i < digits; ++i) {
        WheelStrokes& s = strokes[std::size_t(i)];
        s.left = int(std::lround(double(i) * w / digits));
        s.right = int(std::lround(double(i + 1) * w / digits));
        const int cut = int(std::lround(WheelSideCut * (s.right - s.left)));
        const int from = s.left + cut, to = std::max(s.right - cut, from + 1);
        std::tie(s.inner, s.innerEnd) = std::tuple(from, to);
        WheelPixels inner;
        for (int y = 0; y < h; ++y)
            inner.insert(inner.end(), ink.begin() + std::ptrdiff_t(y) * w + from,
                         ink.begin() + std::ptrdiff_t(y) * w + to);
        const int peak = percentileOf(inner, 0.99);
        if (peak < MinInkContrast)
            continue;
        s.threshold = peak / 2;
        for (int y = 0; y < h; ++y) {
            uchar* line = out.paper.scanLine(y);
            for (int x = s.left; x < s.right; ++x)
                line[x] = uchar(255 - std::min(255, ink[std::size_t(y * w + x)] * 255 / peak));
        }
        // Rows with strokes, a one-row gap closed, specks dropped.
        const int minRun = std::max(2, int(std::lround(0.08 * h)));
        const int minCount = std::max(1, (to - from) / 10);
        std::optional<InkBand> open;
        int gap = 0;
        for (int y = 0; y <= h; ++y) {
            const bool inked = y < h && std::count_if(inner.begin() + std::ptrdiff_t(y) * (to - from),
                                                      inner.begin() + std::ptrdiff_t(y + 1) * (to - from),
                                                      [&](std::uint8_t v) { return v > s.threshold; }) >= minCount;
            if (inked) {
                open = open ? InkBand{open->top, y} : InkBand{y, y};
                gap = 0;
            } else if (open && (++gap > 1 || y == h)) {
                // A thin strip along the window's edge is the plate or a frame seen past a tilted window: a wheel
                // shows a sliver of a digit there only beside a digit well away from the middle.
                const bool sliver = (open->top == 0 || open->bottom == h - 1) && open->height() < 0.2 * h;
                if (open->height() >= minRun && !sliver)
                    s.bands.push_back(*open);
                open.reset();
            }
        }
    }

    // A whole digit is as tall as the typical one standing clear of the window's edges.
    const auto clear = [h](const InkBand& b) { return b.top > 0 && b.bottom < h - 1; };
    std::vector<int> heights;
    for (const WheelStrokes& s : strokes)
        if (s.bands.size() == 1 && clear(s.bands[0]))
            heights.push_back(s.bands[0].height());
    std::nth_element(heights.begin(), heights.begin() + std::ptrdiff_t(heights.size() / 2), heights.end());
    const double typical = heights.empty() ? 0.0 : heights[heights.size() / 2];
    const auto wholeHeight = [typical](const InkBand& b, double least) {
        return b.height() >= least * typical && b.height() <= 1.15 * typical;
    };
    const auto middleOf = [](const WheelStrokes& s) { return (s.left + s.right) / 2.0; };
    std::vector<std::pair<double, double>> centres;
    for (const WheelStrokes& s : strokes)
        if (s.bands.size() == 1 && clear(s.bands[0]) && wholeHeight(s.bands[0], 0.88))
            centres.emplace_back(middleOf(s), s.bands[0].centre());
    const WheelLine line = wheelLine(centres, w, h);

    for (const WheelStrokes& s : strokes) {
        WheelInk& wheel = out.wheels.emplace_back();
        if (s.bands.empty())
            continue;
        const double middle = line.at(middleOf(s));
        const InkBand& first = s.bands[0];
        const bool standing = s.bands.size() == 1 && clear(first) && wholeHeight(first, 0.88) &&
                              std::abs(first.centre() - middle) <= line.tolerance;
        wheel.shape = standing ? WheelInk::Shape::Standing : WheelInk::Shape::Rolling;
        const auto larger = std::max_element(
            s.bands.begin(), s.bands.end(), [](const InkBand& a, const InkBand& b) { return a.height() < b.height(); });
        if (!standing && !(typical > 0 && wholeHeight(*larger, 0.88)))
            continue;
        const InkBand& band = standing ? first : *larger;
        wheel.digitAbove = band.centre() < middle;
        // The digit's columns: those with strokes in its rows, from the wheel's middle part out to the first column
        // without, so that a divider or frame beside the digit stays out.
        std::vector<bool> inked(std::size_t(s.right - s.left), false);
        for (int y = band.top; y <= band.bottom; ++y)
            for (int x = s.left; x < s.right; ++x)
                if (ink[std::size_t(y * w + x)] > s.threshold)
                    inked[std::size_t(x - s.left)] = true;
        const auto inner = [&](int x) { return x >= s.inner && x < s.innerEnd && inked[std::size_t(x - s.left)]; };
        int left = s.inner;
        while (left < s.innerEnd && !inner(left))
            ++left;
        int right = s.innerEnd - 1;
        while (right >= left && !inner(right))
            --right;
        if (right < left)
            continue;
        while (left > s.left && inked[std::size_t(left - 1 - s.left)])
            --left;
        while (right < s.right - 1 && inked[std::size_t(right + 1 - s.left)])
            ++right;
        wheel.digit = QRect(QPoint(left, band.top), QPoint(right, band.bottom));
    }
    return out;
}
