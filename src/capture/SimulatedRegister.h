// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <vector>

// How the simulated meter's register looks: its number wheels in a dark window, the last `decimals` framed in red.
struct RegisterLook
{
    QSize pixels; // the window's size in the picture
    int digits = 6;
    int decimals = 1;
    bool glare = false; // a lamp's soft reflection on the glass over part of the window
    double blur = 0.0;  // radius in pixels of an out-of-focus lens's blur
};

// Draws the register for a reading, like an odometer: the last wheel turns with the reading, every other wheel stands
// on its digit and rolls to the next only while the wheel to its right goes from 9 to 0.
class SimulatedRegister
{
public:
    void setLook(const RegisterLook& look);
    const RegisterLook& look() const { return m_look; }

    // Where each wheel stands, left to right: its digit plus the part of the way to the next, in [0, 10). A reading
    // below 0 or beyond the wheels wraps round as on a real register.
    static std::vector<double> wheelPositions(double kWh, int digits, int decimals);
    // The window at that reading, Format_RGB32; drawn again only when a wheel has moved by a pixel or more.
    const QImage& picture(double kWh);

private:
    void draw(const std::vector<double>& positions);

    RegisterLook m_look;
    QImage m_picture;
    std::vector<int> m_drawnAt; // each wheel's position in pixels of its travel when last drawn
};
