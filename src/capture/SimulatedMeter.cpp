// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SimulatedMeter.h"

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
// Pixels between the mark's cover samples: fine enough that interpolating between them blurs its soft edge little.
constexpr double CoverStep = 0.25;

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
    // The register sits on the plate above the disc: the band keeps its lower edge and starts below the register.
    const double bandFrom =
        m_s.registerShown ? std::max(m_s.bandTop, m_s.registerY + m_s.registerHeight + 0.05) : m_s.bandTop;
    const int bandTop = std::clamp(int(std::lround(bandFrom * h)), 0, h - 1);
    const int bandBottom = std::clamp(int(std::lround((m_s.bandTop + m_s.bandHeight) * h)), bandTop + 1, h);
    const float disc = m_s.mark == SimulatedMeterSettings::Mark::LightOnDark ? DarkDiscGrey : SilverGrey;
    const float relief = disc / SilverGrey;
    // The band's lines as the camera at angle 0 sees them, one per row.
    std::vector<float> bandLines(std::size_t(bandBottom - bandTop));
    // The slot in the plate casts a thin shadow on the rim along both edges.
    const int shadow = std::max(1, (bandBottom - bandTop) / 48);
    std::uint32_t texture = 12345;
    for (int y = bandTop; y < bandBottom; ++y) {
        // Brushed metal: a streak per line, and the rim's curve lit brightest along its middle.
        const float streak = float(int(xorshift(texture) % 9) - 4) * relief;
        const double mid = (y - (bandTop + bandBottom - 1) / 2.0) / std::max(1.0, (bandBottom - bandTop) / 2.0);
        const float shade = float(30.0 * (1.0 - mid * mid) - 15.0) * relief;
        const bool inShadow = y < bandTop + shadow || y >= bandBottom - shadow;
        bandLines[std::size_t(y - bandTop)] = inShadow ? RimShadowGrey * relief : disc + streak + shade;
    }

    const double angle = m_s.angleDegrees * std::numbers::pi / 180.0;
    const double along = std::cos(angle);
    const double across = std::sin(angle);
    const double cx = w / 2.0;
    const double cy = h / 2.0;
    // The mark crosses the picture along a line through its centre; the view is the part of that line in the picture.
    m_viewLength = w * std::abs(across) <= h * std::abs(along) ? w / std::abs(along) : h / std::abs(across);
    // The pixels lie no further than `reach` from the centre along the path; the samples start on a whole pixel so
    // that at angle 0 every pixel's centre is a sample.
    const double reach = cx * std::abs(along) + cy * std::abs(across);
    m_coverFrom = std::floor(m_viewLength / 2.0 - reach);
    m_coverSize = std::size_t(std::ceil((2.0 * reach + 1.0) / CoverStep)) + 2;

    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    m_base.assign(pixels, PlateGrey);
    m_coverAt.assign(pixels, -1.0f);
    m_spot.assign(m_s.hotSpot ? pixels : 0, 0.0f);
    const double spotX = 0.3 * w;
    const double spotY = (bandTop + bandBottom) / 2.0;
    const double radius = std::max(1.0, 0.12 * w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // The pixel's place in the scene: `u` from the centre along the mark's path, `v` the row across it.
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double u = dx * along + dy * across;
            const double v = cy + dy * along - dx * across;
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            const int line = int(std::floor(v));
            if (line >= bandTop && line < bandBottom) {
                m_base[i] = bandLines[std::size_t(line - bandTop)];
                m_coverAt[i] = float((m_viewLength / 2.0 + u - m_coverFrom) / CoverStep);
            }
            if (m_s.hotSpot) {
                const double su = cx + u;
                const double r2 = ((su - spotX) * (su - spotX) + (v - spotY) * (v - spotY)) / (radius * radius);
                m_spot[i] = float(HotSpotGrey * std::exp(-r2));
            }
        }
    buildRegister(angle);
}

void SimulatedMeter::buildRegister(double angle)
{
    m_registerSamples.clear();
    if (!m_s.registerShown)
        return;
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    const QRect window =
        RegisterRegion{m_s.registerX, m_s.registerY, m_s.registerWidth, m_s.registerHeight}.in(QSize(w, h));
    m_register.setLook({.pixels = window.size(),
                        .digits = m_s.registerDigits,
                        .decimals = m_s.registerDecimals,
                        .glare = m_s.registerGlare,
                        .blur = m_s.registerBlur});
    const double along = std::cos(angle);
    const double across = std::sin(angle);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // The pixel's place in the scene, as in buildBase, then in the register's picture.
            const double dx = x + 0.5 - w / 2.0;
            const double dy = y + 0.5 - h / 2.0;
            const double sx = w / 2.0 + dx * along + dy * across - window.x() - 0.5;
            const double sy = h / 2.0 + dy * along - dx * across - window.y() - 0.5;
            if (sx >= -0.5 && sx < window.width() - 0.5 && sy >= -0.5 && sy < window.height() - 0.5)
                m_registerSamples.push_back({std::size_t(y) * std::size_t(w) + std::size_t(x), float(sx), float(sy)});
        }
}

RegisterRegion SimulatedMeter::registerRegion() const
{
    // The window turns with the scene about the picture's centre; its region is its size about where its centre went.
    const double angle = m_s.angleDegrees * std::numbers::pi / 180.0;
    const double aspect = double(std::max(m_s.height, 1)) / std::max(m_s.width, 1);
    const double sx = m_s.registerX + m_s.registerWidth / 2.0 - 0.5;
    const double sy = (m_s.registerY + m_s.registerHeight / 2.0 - 0.5) * aspect;
    const double x = sx * std::cos(angle) - sy * std::sin(angle);
    const double y = (sx * std::sin(angle) + sy * std::cos(angle)) / aspect;
    return {x + 0.5 - m_s.registerWidth / 2.0, y + 0.5 - m_s.registerHeight / 2.0, m_s.registerWidth,
            m_s.registerHeight};
}

double SimulatedMeter::registerReadingAt(double seconds)
{
    return m_s.registerKWh + (m_s.revsPerKWh > 0.0 ? turnsAt(seconds) / m_s.revsPerKWh : 0.0);
}

void SimulatedMeter::drawRegister(QImage& img, float light, double kWh)
{
    const QImage& window = m_register.picture(kWh);
    const int last = window.width() - 1, bottom = window.height() - 1;
    auto* pixels = reinterpret_cast<QRgb*>(img.bits());
    const float noise = float(m_s.noise);
    for (const RegisterSample& s : m_registerSamples) {
        // Bilinear between the register's four nearest pixels.
        const int x0 = std::clamp(int(std::floor(s.x)), 0, last), y0 = std::clamp(int(std::floor(s.y)), 0, bottom);
        const int x1 = std::min(x0 + 1, last), y1 = std::min(y0 + 1, bottom);
        const float fx = std::clamp(s.x - float(x0), 0.0f, 1.0f), fy = std::clamp(s.y - float(y0), 0.0f, 1.0f);
        const auto* top = reinterpret_cast<const QRgb*>(window.constScanLine(y0));
        const auto* low = reinterpret_cast<const QRgb*>(window.constScanLine(y1));
        const auto mix = [&](int (*channel)(QRgb)) {
            const float upper = float(channel(top[x0])) + (float(channel(top[x1])) - float(channel(top[x0]))) * fx;
            const float lower = float(channel(low[x0])) + (float(channel(low[x1])) - float(channel(low[x0]))) * fx;
            return upper + (lower - upper) * fy;
        };
        const float extra = noise * float(noiseSample());
        pixels[s.pixel] = qRgb(std::clamp(int(mix(qRed) * light + extra + 0.5f), 0, 255),
                               std::clamp(int(mix(qGreen) * light + extra + 0.5f), 0, 255),
                               std::clamp(int(mix(qBlue) * light + extra + 0.5f), 0, 255));
    }
}

double SimulatedMeter::passDuration() const
{
    return revolutionPeriod() * m_s.viewFraction * (1.0 + m_s.markWidth);
}

double SimulatedMeter::revolutionPeriod() const
{
    const double kw = std::abs(m_s.powerWatts) / 1000.0;
    if (kw == 0.0 || m_s.revsPerKWh <= 0.0)
        return 0.0;
    return 3600.0 / (kw * m_s.revsPerKWh);
}

double SimulatedMeter::turnsPerSecond() const
{
    const double period = revolutionPeriod();
    if (period <= 0.0)
        return 0.0;
    return m_s.powerWatts < 0 ? -1.0 / period : 1.0 / period;
}

double SimulatedMeter::turnsAt(double seconds)
{
    m_turns += turnsPerSecond() * (seconds - m_turnsAt);
    m_turnsAt = seconds;
    return m_turns - 0.5;
}

double SimulatedMeter::markCentreTime(int k) const
{
    // The mark's centre is mid-view when it has moved (1 + markWidth) / 2 view widths past its entry; turning
    // backwards, it comes to that place from the other side.
    const double phaseAtCentre = m_s.viewFraction * (1.0 + m_s.markWidth) / 2.0;
    if (m_s.powerWatts < 0)
        return revolutionPeriod() * (k + 0.5 - phaseAtCentre);
    return revolutionPeriod() * (k + 0.5 + phaseAtCentre);
}

double SimulatedMeter::noiseSample()
{
    m_gaussPos = (m_gaussPos + 1) & (m_gauss.size() - 1);
    return m_gauss[m_gaussPos];
}

std::vector<float> SimulatedMeter::markCover() const
{
    std::vector<float> cover(m_coverSize, 0.0f);
    const double period = revolutionPeriod();
    const double view = m_viewLength;
    // The exposure is summed from instants no more than half a pixel of the mark's travel apart.
    const double travel = period > 0.0 ? std::max(m_s.exposure, 0.0) / (period * m_s.viewFraction) * view : 0.0;
    const int instants = std::clamp(int(std::ceil(2.0 * travel)), 1, 1024);
    const auto sample = [this](double along) {
        return std::size_t(std::clamp(std::ceil((along - m_coverFrom) / CoverStep), 0.0, double(m_coverSize)));
    };
    // Before the view's start, seen only in a tilted picture's corners, the mark shown is the one coming next.
    const std::size_t viewStart = sample(0.0);
    const double turn = view / m_s.viewFraction;
    const auto add = [&](double markLeft, double markRight, std::size_t from, std::size_t to) {
        // A two-pixel soft edge; the samples further from the mark get nothing.
        const std::size_t last = std::min(to, sample(markRight + 1.0));
        for (std::size_t j = std::max(from, sample(markLeft - 1.0)); j < last; ++j) {
            const double p = m_coverFrom + double(j) * CoverStep;
            const double c = std::min(p - markLeft, markRight - p) / 2.0 + 0.5;
            cover[j] += float(std::clamp(c, 0.0, 1.0) / instants);
        }
    };
    for (int i = 0; i < instants; ++i) {
        const double t = m_s.exposure * ((i + 0.5) / instants - 0.5);
        // Mark position: u view widths since its leading edge entered the view.
        double phase = m_turns + turnsPerSecond() * t;
        phase -= std::floor(phase);
        const double u = phase / m_s.viewFraction;
        const double markLeft = (u - m_s.markWidth) * view;
        const double markRight = u * view;
        add(markLeft, markRight, viewStart, m_coverSize);
        add(markLeft - turn, markRight - turn, 0, viewStart);
    }
    return cover;
}

double SimulatedMeter::lightAt(double seconds) const
{
    double light = 1.0 + m_s.drift * std::sin(2.0 * std::numbers::pi * seconds / std::max(m_s.driftPeriod, 1.0));
    if (m_s.lightStepAt >= 0.0 && seconds >= m_s.lightStepAt) {
        const double change = m_s.lightStepFactor - 1.0;
        const double timeConstant = std::max(m_s.lightStepRecovery, 1e-3) / 3.0;
        const double kept =
            m_s.lightStepKept + (1.0 - m_s.lightStepKept) * std::exp(-(seconds - m_s.lightStepAt) / timeConstant);
        light *= 1.0 + change * kept;
    }
    if (m_s.flickerHz > 0.0) {
        // The light follows |sin| of the mains, averaged over the open shutter.
        const double omega = 2.0 * std::numbers::pi * m_s.flickerHz / 2.0;
        const double open = std::max(m_s.exposure, 1e-4);
        const auto integral = [omega](double t) {
            // The integral of |sin(omega t)|: 2/omega per half cycle, and the part of the one t is in.
            const double halfCycles = std::floor(omega * t / std::numbers::pi);
            const double within = omega * t - halfCycles * std::numbers::pi;
            return (2.0 * halfCycles + 1.0 - std::cos(within)) / omega;
        };
        const double mean = (integral(seconds + open / 2.0) - integral(seconds - open / 2.0)) / open;
        // |sin| averages 2/pi over a cycle: the lamp gives the plain light on average and dips by flickerDepth where
        // the mains crosses zero.
        light *= 1.0 + m_s.flickerDepth * (mean * std::numbers::pi / 2.0 - 1.0);
    }
    return light;
}

QImage SimulatedMeter::render(double seconds)
{
    const int w = std::max(m_s.width, 1);
    const int h = std::max(m_s.height, 1);
    QImage img(w, h, QImage::Format_RGB32);

    double light = lightAt(seconds);
    if (m_s.flicker)
        light *= 1.0 + 0.06 * (xorshift(m_rng) / 4294967296.0 * 2.0 - 1.0);

    turnsAt(seconds);
    const std::vector<float> cover = markCover();
    m_gaussPos = xorshift(m_rng) & (m_gauss.size() - 1);
    const float noise = float(m_s.noise);
    const float lit = float(light);
    const float contrast = float(std::clamp(m_s.markContrast, 0.0, 1.0));
    const Rgb mark = markColour(m_s.mark);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const std::size_t row = std::size_t(y) * std::size_t(w);
        const float* base = &m_base[row];
        const float* coverAt = &m_coverAt[row];
        const float* spot = m_spot.empty() ? nullptr : &m_spot[row];
        for (int x = 0; x < w; ++x) {
            const float plain = base[x];
            const float at = coverAt[x];
            const bool band = at >= 0.0f;
            // Silver a little cool, the plate warm.
            float r = plain + (band ? -1.0f : 8.0f), g = plain, b = plain + (band ? 3.0f : -10.0f);
            if (band) {
                const int j = int(at);
                const float c = (cover[j] + (cover[j + 1] - cover[j]) * (at - float(j))) * contrast;
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
    if (!m_registerSamples.empty())
        drawRegister(img, lit, registerReadingAt(seconds));
    return img;
}
