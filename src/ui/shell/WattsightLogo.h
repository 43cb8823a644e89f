// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

// The product logo, drawn rather than shipped as an image so it stays sharp at any size: a silver meter
// disc with its dark mark and a lightning bolt.
QPixmap WattsightLogo(int size);
