// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace zelcor {

// The receive FIFO between the port's receive events and the reply checks: a fixed store of
// 5000 bytes read by position. Reading consumes nothing; only clear makes room.
// Nothing is allocated after construction.
class c5000ByteBuffer {
public:
    static constexpr std::int16_t Capacity = 5000;

    c5000ByteBuffer() { Class_Initialize(); }

    void Class_Initialize() { clear(); }

    // Appends the byte; a full buffer drops it and returns false.
    bool PushData(const std::uint8_t& inp);
    // The byte at `position` without removing it; false and 0 outside 0 .. depth - 1.
    bool ReadData(std::int16_t position, std::uint8_t& out) const;
    // Forgets the stored bytes (they are not erased).
    void clear() { m_depth = 0; }
    std::int16_t GetDepth() const { return m_depth; }

private:
    std::array<std::uint8_t, Capacity> m_data{};
    std::int16_t m_depth = 0;
};

} // namespace zelcor
