// SPDX-License-Identifier: GPL-3.0-or-later
#include "camera/CameraConfiguration.h"

#include <gtest/gtest.h>

using namespace CameraConfiguration;

TEST(CameraConfiguration, FrameRateTextAndPreferredVideoSizes)
{
    // Three decimals, no leading zero; halves go to the even neighbour (0.0625 is exact in binary).
    const std::pair<double, const char*> rates[] = {
        {25.0, "25.000"}, {1000.0, "1000.000"}, {0.5, ".500"}, {12.3456, "12.346"}, {10.0625, "10.062"}};
    for (const auto& [rate, text] : rates)
        EXPECT_EQ(formatFrameRate(rate), QString::fromLatin1(text)) << rate;

    EXPECT_EQ(preferredVideoSize(1), QSize(88, 60));
    EXPECT_EQ(preferredVideoSize(9), QSize(640, 480));
    EXPECT_EQ(preferredVideoSize(12), QSize(768, 576));
    for (int outside : {0, 13, -1})
        EXPECT_EQ(preferredVideoSize(outside), QSize(320, 240)) << outside;
}
