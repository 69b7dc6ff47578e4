// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/OpenFailure.h"

#include <gtest/gtest.h>

namespace zelcor {
namespace {

// What a technician reads under the warning, for what the system showed about the device.
TEST(OpenFailure, ReasonForWhatTheSystemShows) {
    DeviceFacts missing;
    missing.exists = false;
    missing.locked = true; // a lock left for a device that has gone tells nothing
    DeviceFacts held;
    held.locked = true;
    held.lockHolder = "zelcor, process 4242";
    held.mayReadWrite = false; // in use whoever asks: that comes first
    DeviceFacts heldByWhoKnows;
    heldByWhoKnows.locked = true;
    DeviceFacts dialout;
    dialout.mayReadWrite = false;
    dialout.accessGroup = "dialout";
    DeviceFacts rootOnly;
    rootOnly.mayReadWrite = false;
    DeviceFacts other;
    other.systemMessage = "Input/output error";

    struct Case {
        std::string device;
        DeviceFacts facts;
        std::vector<std::string> has;
    } const cases[] = {
        {"/dev/ttyUSB3", missing, {"No such device", "/dev/ttyUSB3"}},
        {"/dev/ttyUSB0", held, {"/dev/ttyUSB0 is in use", "zelcor, process 4242"}},
        {"/dev/ttyUSB0", heldByWhoKnows, {"in use by another program:"}},
        {"/dev/ttyACM0",
         dialout,
         {"Permission denied", "add your user to the dialout group, then log in again"}},
        {"/dev/ttyS0", rootOnly, {"Permission denied", "administrator"}},
        {"/dev/ttyS0", other, {"Input/output error"}},
        {"", missing, {"No port is named"}},
    };
    for (const Case& c : cases) {
        const std::string reason = OpenFailureReason(c.device, c.facts);
        for (const std::string& part : c.has) {
            EXPECT_NE(reason.find(part), std::string::npos) << part << " not in: " << reason;
        }
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason; // one line of the box
    }
}

} // namespace
} // namespace zelcor
