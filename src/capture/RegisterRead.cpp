// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RegisterRead.h"

#include <algorithm>
#include <cmath>

bool RegisterRead::whole() const
{
    return !wheels.empty() && std::all_of(wheels.begin(), wheels.end(),
                                          [](const WheelRead& w) { return w.seen == WheelRead::Seen::Digit; });
}

std::optional<double> RegisterRead::kWh() const
{
    if (!whole())
        return std::nullopt;
    double units = 0.0;
    for (const WheelRead& w : wheels)
        units = units * 10.0 + w.digit;
    return units / std::pow(10.0, decimals);
}

QString RegisterRead::text() const
{
    QString out;
    const int point = static_cast<int>(wheels.size()) - decimals;
    for (int i = 0; i < static_cast<int>(wheels.size()); ++i) {
        if (i == point && i > 0)
            out += QLatin1Char('.');
        const WheelRead& w = wheels[static_cast<std::size_t>(i)];
        switch (w.seen) {
        case WheelRead::Seen::Digit:
            out += QString::number(w.digit);
            break;
        case WheelRead::Seen::Between:
            out += w.digit >= 0 && w.next >= 0 ? QStringLiteral("[%1 to %2]").arg(w.digit).arg(w.next)
                                               : QStringLiteral("[?]");
            break;
        case WheelRead::Seen::Unreadable:
            out += QLatin1Char('?');
            break;
        }
    }
    return out;
}
