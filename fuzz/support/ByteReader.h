// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zelcor::fuzz {

// Takes a fuzz input apart into small decisions. Reading past the end gives zeros, so every
// input, however short, describes a complete run.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return empty() ? 0 : m_size - m_pos; }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }

    // A value 0 to 65535 from the next two bytes, low byte first.
    std::uint16_t word() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }

    // A value from 0 to `max` inclusive.
    unsigned upTo(unsigned max) {
        const unsigned raw = max > 0xFF ? word() : byte();
        return raw % (max + 1);
    }

    // The next `count` bytes (fewer at the end of the input).
    std::vector<std::uint8_t> bytes(std::size_t count) {
        const std::size_t n = count < remaining() ? count : remaining();
        std::vector<std::uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }

    // Everything not read yet, as text.
    std::string_view rest() {
        const std::string_view text(reinterpret_cast<const char*>(m_data) + m_pos, remaining());
        m_pos = m_size;
        return text;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace zelcor::fuzz
