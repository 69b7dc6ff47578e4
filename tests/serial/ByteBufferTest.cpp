// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/c5000ByteBuffer.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

TEST(ByteBuffer, ReadsByPositionWithinWhatItHoldsAndDropsWhatGoesBeyond5000Bytes) {
    c5000ByteBuffer buffer;
    for (int i = 0; i < 5001; ++i) {
        EXPECT_EQ(buffer.PushData(static_cast<std::uint8_t>(i)), i < 5000) << i;
    }
    EXPECT_EQ(buffer.GetDepth(), 5000);
    std::uint8_t out = 0xEE;
    for (const auto& [position, held, value] :
         {std::tuple{0, true, 0x00}, {4999, true, 0x87}, {5000, false, 0x00}, {-1, false, 0x00}}) {
        EXPECT_EQ(buffer.ReadData(static_cast<std::int16_t>(position), out), held) << position;
        EXPECT_EQ(out, value) << position;
    }
    EXPECT_TRUE(buffer.PopData(out)); // the last one pushed
    EXPECT_EQ(out, 0x87);
    buffer.clear();
    EXPECT_FALSE(buffer.ReadData(0, out));
    EXPECT_TRUE(buffer.PushData(0x42));
    EXPECT_TRUE(buffer.ReadData(0, out));
    EXPECT_EQ(out, 0x42);
}

} // namespace
} // namespace zelcor
