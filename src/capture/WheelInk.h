// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRect>
#include <vector>

// The ink of one number wheel: the strokes of its digits, however bright or dark they are printed.
struct WheelInk
{
    enum class Shape
    {
        Blank,    // no strokes: a covered wheel, or no wheel there at all
        Standing, // one digit, whole and upright in the window's middle
        Rolling   // cut by the window's edge, two digits, or one away from the middle
    };
    Shape shape = Shape::Blank;
    // The digit to recognise, in the paper picture: a standing wheel's digit, or a rolling wheel's larger part when
    // nearly all of that digit is in view. Empty when there is none.
    QRect digit;
    bool digitAbove = false; // rolling: that digit is above the window's middle, on its way out
};

// The wheels of a register found in a grey picture of its window.
struct RegisterInk
{
    std::vector<WheelInk> wheels;
    QImage paper; // Format_Grayscale8, the picture's size: each wheel's strokes dark on white, its own contrast
};

// Finds each wheel's strokes by their contrast with the wheel's face nearby, which a lamp's reflection or a tilt
// towards the light changes slowly, and tells a standing wheel from a rolling one by where its strokes lie.
class WheelInkFinder
{
public:
    // `grey` is Format_Grayscale8, the wheels evenly spaced across it.
    static RegisterInk find(const QImage& grey, int digits);
};
