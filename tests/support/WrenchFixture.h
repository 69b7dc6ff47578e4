// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/WindowFixture.h"

#include "sim/SimulatedPort.h"
#include "sim/SimulatedWrench.h"

#include <string>
#include <vector>

namespace zelcor::test {

// The three windows on the simulated wrench in virtual time, the port already open. The
// wrench's bytes 0CH to 2DH are 40H + their address, so every cell can be told apart.
class WrenchFixture : public WindowFixture {
protected:
    SerialPort& windowPort() override { return wrenchPort; }
    void SetUp() override;

    // Picks an item of a combo box's list as a click on it does.
    void choose(const char* combo, const QString& item);
    // The wrench's byte at 00 `address` as the windows show it.
    std::string hex(int address) const;
    // The low addresses of the reads (or writes) the wrench received, in order.
    std::vector<int> addresses(bool writes) const;

    sim::SimulatedWrench wrench{clock};
    sim::SimulatedPort wrenchPort{wrench};
};

} // namespace zelcor::test
