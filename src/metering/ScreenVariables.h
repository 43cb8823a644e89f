// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

struct MeteringContext;

// One line of a variable viewer: a global's name and its value as text.
struct ScreenVariable
{
    QString name;
    QString value;
};
using ScreenVariables = std::vector<ScreenVariable>;

// The 21 trip globals and the 21 logging globals the debug viewers list, read now. Integers in decimal,
// doubles in the general number form, Booleans as True or False, date-times in the general date format.
ScreenVariables TripScreenVariables(const MeteringContext& ctx);
ScreenVariables LoggingScreenVariables(const MeteringContext& ctx);
