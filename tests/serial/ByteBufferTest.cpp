// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/c5000ByteBuffer.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(ByteBuffer, ReadsByPositionWithoutConsumingAndPopsFromTheBack) {
    c5000ByteBuffer buffer;
    std::uint8_t out = 0xEE;
    EXPECT_EQ(buffer.GetDepth(), 0);
    EXPECT_FALSE(buffer.ReadData(0, out));
    EXPECT_EQ(out, 0);
    EXPECT_FALSE(buffer.PopData(out));

    for (const std::uint8_t b : {0x11, 0x22, 0x33}) {
        EXPECT_TRUE(buffer.PushData(b));
    }
    EXPECT_EQ(buffer.GetDepth(), 3);
    for (std::int16_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(buffer.ReadData(i, out));
        EXPECT_EQ(out, 0x11 * (i + 1));
    }
    out = 0xEE;
    EXPECT_FALSE(buffer.ReadData(3, out));
    EXPECT_EQ(out, 0);
    EXPECT_FALSE(buffer.ReadData(-1, out));
    EXPECT_EQ(out, 0);
    EXPECT_EQ(buffer.GetDepth(), 3); // reading took nothing

    EXPECT_TRUE(buffer.PopData(out));
    EXPECT_EQ(out, 0x33);
    EXPECT_EQ(buffer.GetDepth(), 2);
}

TEST(ByteBuffer, FullBufferDropsTheSurplusAndClearStartsAgainAtZero) {
    c5000ByteBuffer buffer;
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(buffer.PushData(static_cast<std::uint8_t>(i)));
    }
    EXPECT_FALSE(buffer.PushData(0xFF));
    EXPECT_EQ(buffer.GetDepth(), 5000);
    std::uint8_t out = 0;
    EXPECT_TRUE(buffer.ReadData(4999, out));
    EXPECT_EQ(out, static_cast<std::uint8_t>(4999));

    buffer.clear();
    EXPECT_EQ(buffer.GetDepth(), 0);
    EXPECT_FALSE(buffer.ReadData(0, out));
    EXPECT_TRUE(buffer.PushData(0x42));
    EXPECT_TRUE(buffer.ReadData(0, out));
    EXPECT_EQ(out, 0x42);
}

} // namespace
} // namespace zelcor
