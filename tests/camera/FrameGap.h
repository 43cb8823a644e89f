// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Seconds from one frame to the next of the filmed discs: 25 frames a second.
inline constexpr double FrameGap = 0.04;
