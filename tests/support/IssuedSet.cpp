// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/IssuedSet.h"

#include "common/TextConv.h"
#include "paramset/ParaRecord.h"
#include "sim/SimulatedWrench.h"

namespace zelcor::test {

std::string IssuedFor(const sim::SimulatedWrench& wrench, const NewConstants& values) {
    const auto hex = [&](std::uint8_t address) { return ByteToHexStr(wrench.peek(0x00, address)); };
    ParaRecord r;
    r.FmtTag = "0001";
    r.ReqCode = "4711";
    r.WrType = "1";
    r.AppVerH = "00";
    r.AppVerL = "01";
    r.WrSwH = hex(0x0F);
    r.WrSwL = hex(0x0E);
    r.FactoryCode = hex(0x0C) + hex(0x0D);
    r.WrCode = hex(0x2B) + hex(0x2C) + hex(0x2D);
    r.DecDigits = "0" + std::to_string(values.digits);
    r.DirCode = values.ccw ? "0011" : "0010";
    r.StatusEp = values.StatusEp;
    r.VIH = values.VIH;
    r.VIL = values.VIL;
    r.VAH = values.VAH;
    r.VAL = values.VAL;
    ComposeMessage(r);
    return ParameterRequestText(r);
}

} // namespace zelcor::test
