// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/RegisterRegion.h"
#include "capture/RegisterRead.h"

#include <QImage>
#include <memory>

// Reads the register's number wheels from one picture. Holds the text recogniser, which takes a moment to load:
// make one and keep it, on the thread that reads. Not for the user-interface thread.
class RegisterReader
{
public:
    RegisterReader();
    ~RegisterReader();

    // The wheels in `region` of `picture`, `digits` of them evenly spaced, the last `decimals` after the point.
    RegisterRead read(const QImage& picture, const RegisterRegion& region, int digits, int decimals);

private:
    struct Recogniser;
    std::unique_ptr<Recogniser> m_recogniser;
};
