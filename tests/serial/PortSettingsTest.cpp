// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/PortSettings.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(PortSettings, NumbersArePlatformPortsAndOtherTextsArePaths) {
#ifndef _WIN32
    EXPECT_EQ(PortNameFromText("1"), "/dev/ttyS0");
    EXPECT_EQ(PortNameFromText(" 5"), "/dev/ttyS4"); // list items carry a leading blank
#endif
    EXPECT_EQ(PortNameFromText(" /tmp/zelcor-wrench "), "/tmp/zelcor-wrench");
    EXPECT_EQ(PortNameFromText("0"), "0");
    EXPECT_EQ(PortNameFromText("99999999999999999999"), "99999999999999999999");
}

TEST(PortSettings, SettingsTextIsCheckedBeforeTheLineUsesIt) {
    SerialSettings s;
    ASSERT_TRUE(ParseSettingsText("2400,e,7,1", s));
    EXPECT_EQ(s.baudRate, 2400);
    EXPECT_EQ(s.parity, 'E');
    EXPECT_EQ(s.dataBits, 7);
    EXPECT_EQ(s.stopBits, 1);
    for (const char* bad : {"", "1200,N,8", "12x0,N,8,2", "0,N,8,2", "1200,X,8,2", "1200,N,9,2",
                            "1200,N,8,3", "99999999999,N,8,2", "1200,NN,8,2", "1200,N,8,2,1"}) {
        SerialSettings untouched;
        untouched.baudRate = 4242;
        EXPECT_FALSE(ParseSettingsText(bad, untouched)) << bad;
        EXPECT_EQ(untouched.baudRate, 4242) << bad;
    }
}

} // namespace
} // namespace zelcor
