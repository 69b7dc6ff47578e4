// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/TorqueCalc.h"

#include "common/TextConv.h"

#include <cmath>
#include <limits>

namespace zelcor {

namespace {

template <typename T> std::optional<T> narrow(std::int64_t value) {
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
        return std::nullopt;
    }
    return static_cast<T>(value);
}

// high × 256 + low, each step checked against T's range.
template <typename T> std::optional<T> word(TorqueValue lo, TorqueValue hi) {
    if (!lo || !hi) {
        return std::nullopt;
    }
    const auto product = narrow<T>(std::int64_t{*hi} * 256);
    if (!product) {
        return std::nullopt;
    }
    return narrow<T>(std::int64_t{*product} + *lo);
}

// RoundEven(Round256(p) / 2^16): one of the two rounding points of the computation.
std::optional<std::int32_t> scaleDown(std::int32_t p) {
    const auto rounded = Round256(p);
    if (!rounded) {
        return std::nullopt;
    }
    // A multiple of 256 over 2^16 has at most eight binary places: the quotient is exact.
    return static_cast<std::int32_t>(RoundEven(*rounded / 65536.0));
}

bool bit(std::int16_t value, int n) {
    return (static_cast<std::uint16_t>(value) >> n & 1U) != 0;
}

} // namespace

std::optional<std::int16_t> BoxValue(std::string_view text) {
    const double value = std::floor(ValueOfText(text));
    // Written so that a NaN fails as well.
    if (!(value >= std::numeric_limits<std::int16_t>::min() &&
          value <= std::numeric_limits<std::int16_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

std::optional<std::int16_t> Word16(TorqueValue low, TorqueValue high) {
    return word<std::int16_t>(low, high);
}

std::optional<std::int32_t> Word32(TorqueValue low, TorqueValue high) {
    return word<std::int32_t>(low, high);
}

std::optional<std::int32_t> Round256(std::int32_t x) {
    // The bit pattern of x without its low byte is the multiple of 256 at or below x, for
    // negative x as well.
    const std::int64_t below = std::int64_t{x} - (static_cast<std::uint32_t>(x) & 0xFFU);
    return narrow<std::int32_t>(below + ((x & 0x80) != 0 ? 256 : 0));
}

double RoundEven(double y) {
    const double lower = std::floor(y);
    const double fraction = y - lower;
    if (fraction < 0.5) {
        return lower;
    }
    if (fraction > 0.5) {
        return lower + 1;
    }
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

TorqueResult ComputeTorque(const TorqueInputs& in, std::int16_t divisor) {
    TorqueResult r;
    r.text = "Overflow";

    const auto ad = Word16(in.adL, in.adH);
    if (!ad) {
        return r;
    }
    const auto status = in.status;
    if (!status) {
        return r;
    }
    r.inv = bit(*status, 2);

    const auto cwi = Word32(in.cwiL, in.cwiH);
    const auto ccwi = Word32(in.ccwiL, in.ccwiH);
    const auto cwg = cwi && ccwi ? Word16(in.cwgL, in.cwgH) : std::nullopt;
    const auto ccwg = cwg ? Word16(in.ccwgL, in.ccwgH) : std::nullopt;
    if (!ccwg) {
        return r;
    }
    const auto statusEp = in.statusEp;
    if (!statusEp) {
        return r;
    }
    r.cwMinus = bit(*statusEp, 3);
    r.ccwMinus = bit(*statusEp, 4);

    const std::int32_t first = *r.inv ? *ccwi : *cwi;
    const std::int16_t second = *r.inv ? *ccwg : *cwg;
    const bool negative = *r.inv ? *r.ccwMinus : *r.cwMinus;

    // |AD × G| <= 2^30: the second-order product always fits.
    const auto correction = scaleDown(std::int32_t{*ad} * second);
    if (!correction) {
        return r;
    }
    const auto k =
        narrow<std::int32_t>(std::int64_t{first} + (negative ? -*correction : *correction));
    if (!k) {
        return r;
    }
    const auto p2 = narrow<std::int32_t>(std::int64_t{*ad} * *k);
    if (!p2) {
        return r;
    }
    const auto raw = scaleDown(*p2);
    if (!raw || divisor == 0) {
        return r;
    }

    r.overflow = false;
    r.ad = *ad;
    r.raw = *raw;
    r.torque = static_cast<double>(*raw) / divisor;
    r.text = TorqueText(r.torque);
    return r;
}

std::string TorqueText(double torque) {
    return NumberText(torque);
}

} // namespace zelcor
