// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text as a register region: either a region inside the picture or a problem, never both; a region
// written back reads as the same region to the four decimals written, and its pixels lie inside any picture.
#include "FuzzServices.h"
#include "app/RegisterRegion.h"

#include <cmath>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString problem;
    const std::optional<RegisterRegion> region = RegisterRegion::parse(text, &problem);
    check(!(region && !problem.isEmpty()));
    check(region || !problem.isEmpty() || text.trimmed().isEmpty());
    if (!region)
        return 0;
    check(region->width > 0 && region->height > 0 && region->x >= 0 && region->y >= 0);

    const std::optional<RegisterRegion> back = RegisterRegion::parse(region->toString());
    check(back.has_value());
    const double within = 1e-4;
    check(std::abs(back->x - region->x) <= within && std::abs(back->y - region->y) <= within &&
          std::abs(back->width - region->width) <= within && std::abs(back->height - region->height) <= within);

    const QSize picture(1 + int(size % 1920), 1 + int(size * 7 % 1080));
    const QRect pixels = region->in(picture);
    check(!pixels.isEmpty() && QRect(QPoint(0, 0), picture).contains(pixels));
    return 0;
}
