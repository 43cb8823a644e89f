// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/WattsightLogo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QImage WattsightLogoImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;

    // Meter glass: a dark ring around the disc.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 52, 64));
    p.drawEllipse(QRectF(0.02 * s, 0.02 * s, 0.96 * s, 0.96 * s));

    QRadialGradient silver(QPointF(0.4 * s, 0.35 * s), 0.6 * s);
    silver.setColorAt(0.0, QColor(250, 250, 252));
    silver.setColorAt(0.7, QColor(185, 190, 198));
    silver.setColorAt(1.0, QColor(140, 146, 155));
    p.setBrush(silver);
    const QRectF disc(0.1 * s, 0.1 * s, 0.8 * s, 0.8 * s);
    p.drawEllipse(disc);

    // The dark mark on the disc rim, the thing the camera watches for.
    p.setBrush(QColor(20, 20, 20));
    p.drawPie(disc, 320 * 16, 28 * 16);
    p.setBrush(silver);
    p.drawEllipse(disc.adjusted(0.1 * s, 0.1 * s, -0.1 * s, -0.1 * s));

    QPainterPath bolt;
    bolt.moveTo(0.56 * s, 0.16 * s);
    bolt.lineTo(0.32 * s, 0.54 * s);
    bolt.lineTo(0.48 * s, 0.54 * s);
    bolt.lineTo(0.42 * s, 0.84 * s);
    bolt.lineTo(0.68 * s, 0.44 * s);
    bolt.lineTo(0.52 * s, 0.44 * s);
    bolt.closeSubpath();
    QLinearGradient amber(QPointF(0, 0.16 * s), QPointF(0, 0.84 * s));
    amber.setColorAt(0.0, QColor(255, 214, 64));
    amber.setColorAt(1.0, QColor(240, 140, 20));
    p.setBrush(amber);
    p.setPen(QPen(QColor(120, 70, 0), qMax(1.0, s / 80.0)));
    p.drawPath(bolt);
    p.end();
    return image;
}

QPixmap WattsightLogo(int size)
{
    return QPixmap::fromImage(WattsightLogoImage(size));
}
