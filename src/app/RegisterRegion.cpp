// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RegisterRegion.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
constexpr double Slack = 1e-9; // four decimals written back must read as the same region
}

std::optional<RegisterRegion> RegisterRegion::parse(const QString& text, QString* problem)
{
    auto refuse = [problem](const QString& why) -> std::optional<RegisterRegion> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (problem)
        problem->clear();
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return refuse(QStringLiteral("the register region needs four numbers, x,y,width,height"));
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(values[i]) || values[i] < 0.0 || values[i] > 1.0)
            return refuse(QStringLiteral("each number of the register region is a fraction of the picture, 0 to 1, "
                                         "with a point as decimal separator"));
    }
    const RegisterRegion r{values[0], values[1], values[2], values[3]};
    if (r.width <= 0.0 || r.height <= 0.0)
        return refuse(QStringLiteral("the register region needs a width and a height above 0"));
    if (r.x + r.width > 1.0 + Slack || r.y + r.height > 1.0 + Slack)
        return refuse(QStringLiteral("the register region reaches beyond the picture"));
    return r;
}

QString RegisterRegion::toString() const
{
    // Rounded in ten-thousandths, a width or height stays above 0 and the region inside the picture, so that the
    // text always reads back as a region.
    constexpr int Whole = 10000;
    auto units = [](double v) { return static_cast<int>(std::lround(v * Whole)); };
    const int left = std::min(units(x), Whole - 1);
    const int top = std::min(units(y), Whole - 1);
    const int w = std::clamp(units(width), 1, Whole - left);
    const int h = std::clamp(units(height), 1, Whole - top);
    auto fraction = [](int v) {
        QString s = QString::number(v / double(Whole), 'f', 4);
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
        return s;
    };
    return QStringList{fraction(left), fraction(top), fraction(w), fraction(h)}.join(QLatin1Char(','));
}

QRect RegisterRegion::in(QSize picture) const
{
    const int left = std::clamp(static_cast<int>(std::lround(x * picture.width())), 0, picture.width() - 1);
    const int top = std::clamp(static_cast<int>(std::lround(y * picture.height())), 0, picture.height() - 1);
    const int w = std::clamp(static_cast<int>(std::lround(width * picture.width())), 1, picture.width() - left);
    const int h = std::clamp(static_cast<int>(std::lround(height * picture.height())), 1, picture.height() - top);
    return {left, top, w, h};
}

RegisterRegion RegisterRegion::of(const QRect& pixels, QSize picture)
{
    const QRect r = pixels.normalized().intersected(QRect(QPoint(0, 0), picture));
    if (r.isEmpty() || picture.isEmpty())
        return {};
    const double w = picture.width();
    const double h = picture.height();
    return {r.x() / w, r.y() / h, r.width() / w, r.height() / h};
}
