// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <vector>

// What one number wheel of the register showed.
struct WheelRead
{
    enum class Seen
    {
        Digit,     // one digit, upright in the window
        Between,   // rolling from one digit to the next: never taken as either
        Unreadable // nothing that could be told
    };
    Seen seen = Seen::Unreadable;
    int digit = -1; // Digit: the digit; Between: the one going out, -1 when it could not be told
    int next = -1;  // Between: the one coming in, -1 when it could not be told
};

// One read of the register's wheels, left to right.
struct RegisterRead
{
    std::vector<WheelRead> wheels;
    int decimals = 0; // how many of the last wheels are after the decimal point
    QString problem;  // why nothing could be read (a region off the picture, no picture): no wheels then

    // Every wheel showed one digit.
    bool whole() const;
    // The reading in kWh, for whole reads only.
    std::optional<double> kWh() const;
    // As a person would say it: "012345.6"; a wheel between two digits as "[5 to 6]" ("[?]" when they could not be
    // told), an unreadable one as "?".
    QString text() const;
};
