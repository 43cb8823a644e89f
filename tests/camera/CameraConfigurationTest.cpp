// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CameraConfiguration.h"

#include <gtest/gtest.h>

using namespace CameraConfiguration;

TEST(CameraConfiguration, FrameRateTextHasThreeDecimalsAndNoLeadingZero)
{
    EXPECT_EQ(formatFrameRate(25.0), "25.000");
    EXPECT_EQ(formatFrameRate(1000.0), "1000.000");
    EXPECT_EQ(formatFrameRate(0.5), ".500");
    EXPECT_EQ(formatFrameRate(0.001), ".001");
    EXPECT_EQ(formatFrameRate(29.97), "29.970");
    EXPECT_EQ(formatFrameRate(12.3456), "12.346");
    // Halves go to the even neighbour, as every rounding of the program does (0.0625 is exact in binary).
    EXPECT_EQ(formatFrameRate(10.0625), "10.062");
}
