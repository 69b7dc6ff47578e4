// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelcor {

// The value of a box as the torque computation reads it: the number of its text (decimal, or
// hexadecimal after "&H"), rounded down to a whole number, or nothing when that lies outside
// -32768 .. 32767.
std::optional<std::int16_t> BoxValue(std::string_view text);

// One input of the computation: a byte read from the wrench, or what the technician typed into
// its box (BoxValue); nothing when that lies outside -32768 .. 32767.
using TorqueValue = std::optional<std::int16_t>;

// high × 256 + low, kept to 16 bits: nothing when a value, the product or the sum leaves
// -32768 .. 32767 (with bytes: a high byte of 80H or more).
std::optional<std::int16_t> Word16(TorqueValue low, TorqueValue high);
// The same on 32 bits, for the first-order constants: 0 .. 65535 from bytes.
std::optional<std::int32_t> Word32(TorqueValue low, TorqueValue high);

// x to the nearest multiple of 256, halves upward: the low eight bits cleared, plus 256 when
// bit 7 was set. Nothing when the result leaves the 32-bit range.
std::optional<std::int32_t> Round256(std::int32_t x);

// y to the nearest whole number, an exact half to the even neighbour (0.5 -> 0, 1.5 -> 2).
double RoundEven(double y);

// What a computation reads: the live raw value and status, the constants and the stored
// status. A box never filled counts as 0.
struct TorqueInputs {
    TorqueValue adL{0}, adH{0};     // the live raw value
    TorqueValue status{0};          // the live status
    TorqueValue cwiL{0}, cwiH{0};   // first-order constant, clockwise
    TorqueValue ccwiL{0}, ccwiH{0}; // first-order constant, counter-clockwise
    TorqueValue cwgL{0}, cwgH{0};   // second-order constant, clockwise
    TorqueValue ccwgL{0}, ccwgH{0}; // second-order constant, counter-clockwise
    TorqueValue statusEp{0};        // the stored status
};

// One torque computation. The flags are set in the order the boxes are read (INV with the
// live status, the two minus flags with the stored status); a computation that cannot be
// carried out stops where it fails, so a flag it never reached stays empty and its indicator
// keeps what it showed.
struct TorqueResult {
    std::optional<bool> inv;
    std::optional<bool> cwMinus;
    std::optional<bool> ccwMinus;
    bool overflow = true;
    std::int16_t ad = 0;  // the live raw value
    std::int32_t raw = 0; // the torque in counts, before the divisor
    double torque = 0;    // raw / divisor
    std::string text;     // the torque as the windows show it, or "Overflow"
    // Where its values came from, as the session's test run tells it: the live value was
    // read from the wrench in this very cycle (not left from an earlier one), and every
    // constant was read from the wrench (none typed, none missing).
    bool liveReadThisCycle = false;
    bool constantsRead = false;
};

TorqueResult ComputeTorque(const TorqueInputs& in, std::int16_t divisor);

// A torque in N·m as every place writes it: the windows, zelcor-cli's text, JSON and CSV, and
// the plot's CSV. NumberText's form: a blank before a value that is not negative, no 0 before
// the point, no trailing zeros (" 58.4", " .9", " 0", "-.05").
std::string TorqueText(double torque);

} // namespace zelcor
