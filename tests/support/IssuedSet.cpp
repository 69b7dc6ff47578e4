// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/IssuedSet.h"

#include "common/TextConv.h"
#include "sim/SimulatedWrench.h"

#include <cstdio>

namespace zelcor::test {

std::string IssuedFor(const sim::SimulatedWrench& wrench, const NewConstants& values,
                      const std::string& wrenchCode) {
    const auto hex = [&](std::uint8_t address) { return ByteToHexStr(wrench.peek(0x00, address)); };
    // WrType 1, tool version 00 01, the wrench's software (0FH, 0EH), factory code (0CH, 0DH),
    // wrench code (2BH to 2DH), digits, direction, then the new values.
    const std::string body =
        "/1/00/01/" + hex(0x0F) + "/" + hex(0x0E) + "/" + hex(0x0C) + hex(0x0D) + "/" +
        (wrenchCode.empty() ? hex(0x2B) + hex(0x2C) + hex(0x2D) : wrenchCode) + "/0" +
        std::to_string(values.digits) + (values.ccw ? "/0011/" : "/0010/") + values.StatusEp + "/" +
        values.VIH + "/" + values.VIL + "/" + values.VAH + "/" + values.VAL;
    int sum = 0;
    for (const char c : body) {
        sum += static_cast<unsigned char>(c);
    }
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "/%04d", sum % 10000);
    return "00014711" + body + checksum;
}

} // namespace zelcor::test
