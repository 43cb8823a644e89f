// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/capture/SimulatedMeter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr float PlateGrey = 100.0f;
constexpr float SilverGrey = 120.0f;
constexpr float RimShadowGrey = 60.0f;
constexpr float MarkGrey = 15.0f;
constexpr float DarkDiscGrey = 35.0f;
constexpr float LightMarkGrey = 200.0f;
constexpr float HotSpotGrey = 180.0f;

struct Rgb
{
    float r, g, b;
};

Rgb markColour(SimulatedMeterSettings::Mark mark)
{
    switch (mark) {
    case SimulatedMeterSettings::Mark::Red:
        return {150.0f, 25.0f, 28.0f};
    case SimulatedMeterSettings::Mark::LightOnDark:
        return {LightMarkGrey, LightMarkGrey, LightMarkGrey};
    case SimulatedMeterSettings::Mark::Black:
        break;
    }
    return {MarkGrey, MarkGrey, MarkGrey};
}

std::uint32_t xorshift(std::uint32_t& s)
{
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}
} // namespace

SimulatedMeter::SimulatedMeter(const SimulatedMeterSettings& s, std::uint32_t seed) : m_s(s), m_rng(seed ? seed : 1)
{
    // A table of normal samples is much cheaper per pixel than drawing each one.
    m_gauss.resize(1 << 16);
    for (std::size_t i = 0; i < m_gauss.size(); ++i) {
        const double u1 = (xorshift(m_rng) + 1.0) / 4294967297.0;
        const double u2 = xorshift(m_rng) / 4294967296.0;
        m_gauss[i] = float(std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2));
    }
    buildBase();
}

void SimulatedMeter::setSettings(const SimulatedMeterSettings& s)
{
    m_s = s;
    buildBase();
}

void SimulatedMeter::buildBase()
{
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    m_bandTop = std::clamp(int(std::lround(m_s.bandTop * h)), 0, h - 1);
    m_bandBottom = std::clamp(int(std::lround((m_s.bandTop + m_s.bandHeight) * h)), m_bandTop + 1, h);
    const float disc = m_s.mark == SimulatedMeterSettings::Mark::LightOnDark ? DarkDiscGrey : SilverGrey;
    const float relief = disc / SilverGrey;
    m_base.assign(std::size_t(w) * std::size_t(h), PlateGrey);
    // The slot in the plate casts a thin shadow on the rim along both edges.
    const int shadow = std::max(1, (m_bandBottom - m_bandTop) / 48);
    std::uint32_t texture = 12345;
    for (int y = m_bandTop; y < m_bandBottom; ++y) {
        // Brushed metal: a streak per line, and the rim's curve lit brightest along its middle.
        const float streak = float(int(xorshift(texture) % 9) - 4) * relief;
        const double mid = (y - (m_bandTop + m_bandBottom - 1) / 2.0) / std::max(1.0, (m_bandBottom - m_bandTop) / 2.0);
        const float shade = float(30.0 * (1.0 - mid * mid) - 15.0) * relief;
        const bool inShadow = y < m_bandTop + shadow || y >= m_bandBottom - shadow;
        for (int x = 0; x < w; ++x)
            m_base[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                inShadow ? RimShadowGrey * relief : disc + streak + shade;
    }
    m_spot.clear();
    if (m_s.hotSpot) {
        m_spot.resize(m_base.size());
        const double cx = 0.3 * w;
        const double cy = (m_bandTop + m_bandBottom) / 2.0;
        const double radius = std::max(1.0, 0.12 * w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double r2 =
                    ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy)) / (radius * radius);
                m_spot[std::size_t(y) * std::size_t(w) + std::size_t(x)] = float(HotSpotGrey * std::exp(-r2));
            }
    }
}

double SimulatedMeter::passDuration() const
{
    return revolutionPeriod() * m_s.viewFraction * (1.0 + m_s.markWidth);
}

double SimulatedMeter::revolutionPeriod() const
{
    const double kw = m_s.powerWatts / 1000.0;
    if (kw <= 0.0 || m_s.revsPerKWh <= 0.0)
        return 0.0;
    return 3600.0 / (kw * m_s.revsPerKWh);
}

double SimulatedMeter::markCentreTime(int k) const
{
    // The mark's centre is mid-view when it has moved (1 + markWidth) / 2 view widths past its entry.
    const double phaseAtCentre = m_s.viewFraction * (1.0 + m_s.markWidth) / 2.0;
    return revolutionPeriod() * (k + 0.5 + phaseAtCentre);
}

double SimulatedMeter::noiseSample()
{
    m_gaussPos = (m_gaussPos + 1) & (m_gauss.size() - 1);
    return m_gauss[m_gaussPos];
}

std::vector<float> SimulatedMeter::markCover(double seconds) const
{
    const int w = std::max(m_s.width, 1);
    std::vector<float> cover(std::size_t(w), 0.0f);
    const double period = revolutionPeriod();
    // The exposure is summed from instants no more than half a pixel of the mark's travel apart.
    const double travel = period > 0.0 ? std::max(m_s.exposure, 0.0) / (period * m_s.viewFraction) * w : 0.0;
    const int instants = std::clamp(int(std::ceil(2.0 * travel)), 1, 1024);
    for (int i = 0; i < instants; ++i) {
        const double t = seconds + m_s.exposure * ((i + 0.5) / instants - 0.5);
        // Mark position: u view widths since its leading edge entered the view.
        double phase = 0.5;
        if (period > 0.0) {
            phase = 0.5 + t / period;
            phase -= std::floor(phase);
        }
        const double u = phase / m_s.viewFraction;
        const double markLeft = (u - m_s.markWidth) * w;
        const double markRight = u * w;
        // A two-pixel soft edge.
        for (int x = 0; x < w; ++x) {
            const double c = std::min(x + 0.5 - markLeft, markRight - (x + 0.5)) / 2.0 + 0.5;
            cover[std::size_t(x)] += float(std::clamp(c, 0.0, 1.0) / instants);
        }
    }
    return cover;
}

QImage SimulatedMeter::render(double seconds)
{
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    QImage img(w, h, QImage::Format_RGB32);

    double light = 1.0 + m_s.drift * std::sin(2.0 * std::numbers::pi * seconds / std::max(m_s.driftPeriod, 1.0));
    if (m_s.flicker)
        light *= 1.0 + 0.06 * (xorshift(m_rng) / 4294967296.0 * 2.0 - 1.0);

    const std::vector<float> cover = markCover(seconds);
    m_gaussPos = xorshift(m_rng) & (m_gauss.size() - 1);
    const float noise = float(m_s.noise);
    const float lit = float(light);
    const Rgb mark = markColour(m_s.mark);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const std::size_t row = std::size_t(y) * std::size_t(w);
        const float* base = &m_base[row];
        const float* spot = m_spot.empty() ? nullptr : &m_spot[row];
        const bool band = y >= m_bandTop && y < m_bandBottom;
        // Silver a little cool, the plate warm.
        const float tintR = band ? -1.0f : 8.0f;
        const float tintB = band ? 3.0f : -10.0f;
        for (int x = 0; x < w; ++x) {
            const float plain = base[x];
            float r = plain + tintR, g = plain, b = plain + tintB;
            if (band) {
                const float c = cover[std::size_t(x)];
                r += (mark.r - r) * c;
                g += (mark.g - g) * c;
                b += (mark.b - b) * c;
            }
            const float extra = (spot ? spot[x] : 0.0f) + noise * float(noiseSample());
            line[x] =
                qRgb(std::clamp(int(r * lit + extra + 0.5f), 0, 255), std::clamp(int(g * lit + extra + 0.5f), 0, 255),
                     std::clamp(int(b * lit + extra + 0.5f), 0, 255));
        }
    }
    return img;
}
