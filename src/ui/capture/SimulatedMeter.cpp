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
    const bool resized = s.width != m_s.width || s.height != m_s.height;
    m_s = s;
    if (resized)
        buildBase();
}

void SimulatedMeter::buildBase()
{
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    m_bandTop = h / 10;
    m_bandBottom = h - h / 10;
    m_base.assign(std::size_t(w) * std::size_t(h), PlateGrey);
    // The slot in the plate casts a thin shadow on the rim along both edges.
    const int shadow = std::max(1, h / 60);
    std::uint32_t texture = 12345;
    for (int y = m_bandTop; y < m_bandBottom; ++y) {
        // Brushed metal: a streak per line, and the rim's curve lit brightest along its middle.
        const float streak = float(int(xorshift(texture) % 9) - 4);
        const double mid = (y - (m_bandTop + m_bandBottom - 1) / 2.0) / std::max(1.0, (m_bandBottom - m_bandTop) / 2.0);
        const float shade = float(30.0 * (1.0 - mid * mid) - 15.0);
        const bool inShadow = y < m_bandTop + shadow || y >= m_bandBottom - shadow;
        for (int x = 0; x < w; ++x)
            m_base[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                inShadow ? RimShadowGrey : SilverGrey + streak + shade;
    }
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
    const double phaseAtCentre = ViewFraction * (1.0 + m_s.markWidth) / 2.0;
    return revolutionPeriod() * (k + 0.5 + phaseAtCentre);
}

double SimulatedMeter::noiseSample()
{
    m_gaussPos = (m_gaussPos + 1) & (m_gauss.size() - 1);
    return m_gauss[m_gaussPos];
}

QImage SimulatedMeter::render(double seconds)
{
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    QImage img(w, h, QImage::Format_RGB32);

    // Mark position: u view widths since its left edge entered the view.
    const double period = revolutionPeriod();
    double phase = 0.5;
    if (period > 0.0) {
        phase = 0.5 + seconds / period;
        phase -= std::floor(phase);
    }
    const double u = phase / ViewFraction;
    const double markLeft = (u - m_s.markWidth) * w;
    const double markRight = u * w;

    double light = 1.0 + m_s.drift * std::sin(2.0 * std::numbers::pi * seconds / std::max(m_s.driftPeriod, 1.0));
    if (m_s.flicker)
        light *= 1.0 + 0.06 * (xorshift(m_rng) / 4294967296.0 * 2.0 - 1.0);

    // Coverage of each column by the mark, with a two-pixel soft edge.
    std::vector<float> cover(std::size_t(w), 0.0f);
    for (int x = 0; x < w; ++x) {
        const double c = std::min(x + 0.5 - markLeft, markRight - (x + 0.5)) / 2.0 + 0.5;
        cover[std::size_t(x)] = float(std::clamp(c, 0.0, 1.0));
    }
    m_gaussPos = xorshift(m_rng) & (m_gauss.size() - 1);
    const float noise = float(m_s.noise);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const float* base = &m_base[std::size_t(y) * std::size_t(w)];
        const bool band = y >= m_bandTop && y < m_bandBottom;
        for (int x = 0; x < w; ++x) {
            float v = base[x];
            if (band)
                v = v * (1.0f - cover[std::size_t(x)]) + MarkGrey * cover[std::size_t(x)];
            v = float(v * light + noise * noiseSample());
            const int g = std::clamp(int(v + 0.5f), 0, 255);
            // Silver a little cool, the plate warm.
            const int b = std::clamp(g + (band ? 3 : -10), 0, 255);
            const int r = std::clamp(g + (band ? -1 : 8), 0, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return img;
}
