// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>

// The product logo, drawn rather than shipped as an image so it stays sharp at any size: a silver meter
// disc with its dark mark and a lightning bolt.
QPixmap WattsightLogo(int size);
// The same as an image, which needs no running application: the menu icon is rendered from it at build time.
QImage WattsightLogoImage(int size);
