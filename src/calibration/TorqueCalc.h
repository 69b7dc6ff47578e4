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

// high × 256 + low from two boxes, kept to 16 bits: nothing when a box, the product or the
// sum leaves -32768 .. 32767 (with byte boxes: a high byte of 80H or more).
std::optional<std::int16_t> Word16(std::string_view low, std::string_view high);
// The same on 32 bits, for the first-order constants: 0 .. 65535 from byte boxes.
std::optional<std::int32_t> Word32(std::string_view low, std::string_view high);

// x to the nearest multiple of 256, halves upward: the low eight bits cleared, plus 256 when
// bit 7 was set. Nothing when the result leaves the 32-bit range.
std::optional<std::int32_t> Round256(std::int32_t x);

// y to the nearest whole number, an exact half to the even neighbour (0.5 -> 0, 1.5 -> 2).
double RoundEven(double y);

// The texts of the calibration window's boxes that a computation reads.
struct TorqueBoxes {
    std::string adL, adH;     // txta_Ad_Ajust_L, txta_Ad_Ajust_H: the live raw value
    std::string status;       // txtgStatus: the live status
    std::string cwiL, cwiH;   // txtgk_cwi_l, txtgk_cwi_h
    std::string ccwiL, ccwiH; // txtgk_ccwi_l, txtgk_ccwi_h
    std::string cwgL, cwgH;   // txtgk_cwg_l, txtgk_cwg_h
    std::string ccwgL, ccwgH; // txtgk_ccwg_l, txtgk_ccwg_h
    std::string statusEp;     // txtgStatusEp: the stored status
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
};

TorqueResult ComputeTorque(const TorqueBoxes& boxes, std::int16_t divisor);

} // namespace zelcor
