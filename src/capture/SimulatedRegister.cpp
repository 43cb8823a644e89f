// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SimulatedRegister.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {
constexpr QRgb RegisterWindowColour = 0xff1c1c1e;
constexpr QRgb WheelFaceColour = 0xff28282a;
constexpr QRgb WheelDigitColour = 0xffebebe1;
constexpr QRgb DecimalFrameColour = 0xffc81e1e;
// The distance between two digits on a wheel, a share of the window's height: a whole digit leaves the next one
// out of sight.
constexpr double RegisterDigitPitch = 0.9;
constexpr double RegisterDigitHeight = 0.56;

// A moving average over 2 radius + 1 pixels along one row or column, `step` pixels apart, the ends held.
void averageRegisterRun(QRgb* first, int count, int step, int radius, std::vector<QRgb>& copy)
{
    copy.resize(std::size_t(count));
    for (int i = 0; i < count; ++i)
        copy[std::size_t(i)] = first[i * step];
    for (int i = 0; i < count; ++i) {
        int r = 0, g = 0, b = 0;
        for (int j = i - radius; j <= i + radius; ++j) {
            const QRgb c = copy[std::size_t(std::clamp(j, 0, count - 1))];
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
        const int n = 2 * radius + 1;
        first[i * step] = qRgb(r / n, g / n, b / n);
    }
}

// Two box passes each way come close to a lens's soft blur.
void blurRegister(QImage& img, double radius)
{
    const int r = int(std::lround(radius / 2.0));
    if (r < 1)
        return;
    std::vector<QRgb> copy;
    auto* pixels = reinterpret_cast<QRgb*>(img.bits());
    const int stride = int(img.bytesPerLine() / 4);
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < img.height(); ++y)
            averageRegisterRun(pixels + y * stride, img.width(), 1, r, copy);
        for (int x = 0; x < img.width(); ++x)
            averageRegisterRun(pixels + x, img.height(), stride, r, copy);
    }
}
} // namespace

void SimulatedRegister::setLook(const RegisterLook& look)
{
    m_look = look;
    m_look.digits = std::max(look.digits, 1);
    m_look.decimals = std::clamp(look.decimals, 0, m_look.digits);
    m_look.pixels = look.pixels.expandedTo(QSize(1, 1));
    m_drawnAt.clear();
}

std::vector<double> SimulatedRegister::wheelPositions(double kWh, int digits, int decimals)
{
    const double turns = std::pow(10.0, digits);
    double units = std::fmod(kWh * std::pow(10.0, decimals), turns);
    if (units < 0.0)
        units += turns;
    std::vector<double> positions(std::size_t(std::max(digits, 0)));
    double right = 0.0; // the position of the wheel to the right
    for (int k = 0; k < digits; ++k) {
        const double place = std::pow(10.0, k);
        double position = k == 0 ? std::fmod(units, 10.0) : std::fmod(std::floor(units / place), 10.0);
        if (k > 0 && right >= 9.0)
            position += right - 9.0;
        positions[std::size_t(digits - 1 - k)] = position;
        right = position;
    }
    return positions;
}

const QImage& SimulatedRegister::picture(double kWh)
{
    const std::vector<double> positions = wheelPositions(kWh, m_look.digits, m_look.decimals);
    const double pitch = RegisterDigitPitch * m_look.pixels.height();
    std::vector<int> at(positions.size());
    std::transform(positions.begin(), positions.end(), at.begin(),
                   [pitch](double p) { return int(std::lround(p * pitch)); });
    if (m_picture.isNull() || at != m_drawnAt) {
        draw(positions);
        m_drawnAt = std::move(at);
    }
    return m_picture;
}

void SimulatedRegister::draw(const std::vector<double>& positions)
{
    const int w = m_look.pixels.width(), h = m_look.pixels.height(), n = m_look.digits;
    m_picture = QImage(m_look.pixels, QImage::Format_RGB32);
    m_picture.fill(RegisterWindowColour);
    QPainter p(&m_picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, int(std::lround(RegisterDigitHeight * h / 0.73)))); // digits are 0.73 of the em
    p.setFont(font);
    const double pitch = RegisterDigitPitch * h;
    const double divider = std::max(1.0, 0.1 * w / n);
    QLinearGradient curve(0, 0, 0, h);
    curve.setColorAt(0.0, QColor(0, 0, 0, 170));
    curve.setColorAt(0.3, QColor(0, 0, 0, 0));
    curve.setColorAt(0.7, QColor(0, 0, 0, 0));
    curve.setColorAt(1.0, QColor(0, 0, 0, 170));
    for (int i = 0; i < n; ++i) {
        // The wheel's face between two dark dividers.
        const QRectF face(double(i) * w / n + divider / 2, 0, double(w) / n - divider, h);
        p.fillRect(face, QColor(WheelFaceColour));
        p.save();
        p.setClipRect(face);
        p.setPen(QColor(WheelDigitColour));
        const double position = positions[std::size_t(i)];
        const int digit = int(position) % 10;
        const double rolled = position - std::floor(position);
        for (int k = 0; k < 2; ++k) {
            const double centre = h / 2.0 + (k - rolled) * pitch;
            p.drawText(QRectF(face.x(), centre - pitch / 2, face.width(), pitch), Qt::AlignCenter,
                       QString::number((digit + k) % 10));
        }
        // The wheel curves away from the window's middle, darker towards its edges.
        p.fillRect(face, curve);
        p.restore();
    }
    if (m_look.decimals > 0) {
        const double frame = std::max(1.0, 0.06 * h);
        p.setPen(QPen(QColor(DecimalFrameColour), frame));
        p.setBrush(Qt::NoBrush);
        const double left = double(n - m_look.decimals) * w / n;
        p.drawRect(QRectF(left + frame / 2, frame / 2, w - left - frame, h - frame));
    }
    if (m_look.glare) {
        QRadialGradient lamp(0.3 * w, 0.35 * h, 0.3 * w);
        lamp.setColorAt(0.0, QColor(255, 255, 255, 150));
        lamp.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(QRectF(0, 0, w, h), lamp);
    }
    p.end();
    blurRegister(m_picture, m_look.blur);
}
