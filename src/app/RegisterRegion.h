// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// Where the register's number wheels are in the picture: fractions of its width and height, so that the region
// survives a change of video size. Written "x,y,width,height" with a point as decimal separator.
struct RegisterRegion
{
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    // The region written in `text`, or why it is not one (`problem`). An empty text is no region and no problem.
    static std::optional<RegisterRegion> parse(const QString& text, QString* problem = nullptr);
    // At most four decimals, without trailing zeros: "0.3,0.05,0.4,0.125".
    QString toString() const;
    // The region in pixels of a picture of that size, at least one pixel each way.
    QRect in(QSize picture) const;
    // The fractions of a rectangle drawn in pixels on a picture of that size, clipped to the picture.
    static RegisterRegion of(const QRect& pixels, QSize picture);
};
