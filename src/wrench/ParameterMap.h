// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace zelcor {

// A named byte of the instrument's parameter memory.
struct NamedParameter {
    std::string_view name;
    std::uint8_t addr1;
    std::uint8_t addr0;
};

// The 25 named parameters at 00 10 to 00 28, in address order. Pairs ending in _L and _H
// are the low and high byte of one 16-bit quantity (high × 256 + low).
const std::array<NamedParameter, 25>& NamedParameters();

// The entry whose name equals `name` exactly (case-sensitive), or nullptr.
const NamedParameter* FindNamedParameter(std::string_view name);

} // namespace zelcor
