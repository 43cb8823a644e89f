// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/Threshold.h"

#include "app/GlobalSettings.h"
#include "app/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

qint32 roundedHalfEven(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double lo = std::numeric_limits<qint32>::min();
    constexpr double hi = std::numeric_limits<qint32>::max();
    return qint32(std::clamp(TextFormat::roundHalfEven(x), lo, hi));
}

qint32 scaledIntensity(qint32 factor, bool invert, qint32 average)
{
    if (invert)
        return roundedHalfEven(double(qint64(factor) * qint64(average)));
    if (average == -1)
        return factor >= 0 ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint32>::min();
    return roundedHalfEven(double(factor) / (double(average) + 1.0));
}

qint32 releaseLevel(qint32 trigger, qint32 percent)
{
    return percent >= 100 ? trigger : roundedHalfEven(double(trigger) * std::max(percent, 1) / 100.0);
}

qint32 followedTrigger(const GlobalSettings& s, double light)
{
    if (!s.LEVELS_FOLLOW_LIGHT)
        return s.TRIGGER_LEVEL;
    return roundedHalfEven(s.INVERT_IMAGE_INTENSITY ? s.TRIGGER_LEVEL * light : s.TRIGGER_LEVEL / light);
}
