// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/c5000ByteBuffer.h"

namespace zelcor {

bool c5000ByteBuffer::PushData(const std::uint8_t& inp) {
    if (m_depth >= Capacity) {
        return false;
    }
    m_data[static_cast<std::size_t>(m_depth)] = inp;
    ++m_depth;
    return true;
}

bool c5000ByteBuffer::ReadData(std::int16_t position, std::uint8_t& out) const {
    if (position < 0 || position >= m_depth) {
        out = 0;
        return false;
    }
    out = m_data[static_cast<std::size_t>(position)];
    return true;
}

} // namespace zelcor
