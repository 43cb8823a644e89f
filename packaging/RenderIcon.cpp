// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's logo as the PNG menu icon: render-icon SIZE FILE.
#include "ui/shell/WattsightLogo.h"

#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    const int size = argc == 3 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    if (size <= 0) {
        std::fprintf(stderr, "usage: %s SIZE FILE.png\n", argv[0]);
        return 2;
    }
    if (!WattsightLogoImage(size).save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
