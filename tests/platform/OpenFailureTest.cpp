// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/OpenFailure.h"

#include <gtest/gtest.h>

// Leaving members out of a designated initializer is the point; GCC 12 warns all the same.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zelcor {
namespace {

// What a technician reads under the warning, for what the system showed about the device.
TEST(OpenFailure, ReasonForWhatTheSystemShows) {
    const struct {
        std::string device;
        DeviceFacts facts;
        std::vector<std::string> has;
    } cases[] = {
        // A lock left for a device that has gone tells nothing.
        {"/dev/ttyUSB3", {.exists = false, .locked = true}, {"No such device", "/dev/ttyUSB3"}},
        {"/tmp/notes", {.isDevice = false}, {"/tmp/notes is a file or folder, not a serial port"}},
        // In use whoever asks: that comes before the permissions.
        {"/dev/ttyUSB0",
         {.mayReadWrite = false, .locked = true, .lockHolder = "zelcor, process 4242"},
         {"/dev/ttyUSB0 is in use", "zelcor, process 4242"}},
        {"/dev/ttyUSB0", {.locked = true}, {"in use by another program:"}},
        {"/dev/ttyACM0",
         {.mayReadWrite = false, .accessGroup = "dialout"},
         {"Permission denied: /dev/ttyACM0 belongs to the dialout group",
          "(sudo usermod -aG dialout $USER), then log in again"}},
        {"/dev/ttyS0", {.mayReadWrite = false}, {"Permission denied", "administrator"}},
        {"/dev/ttyS0", {.systemMessage = "Input/output error"}, {"Input/output error"}},
        {"", {.exists = false}, {"No port is named"}},
        // Names the system cannot look up: 4096 characters, or one name of 256 in the path.
        {"/dev/" + std::string(4091, 'a'), {.exists = false}, {"too long (4096 characters)"}},
        {"/dev/" + std::string(256, 'a'), {.exists = false}, {"too long (261 characters)"}},
        {"/dev/" + std::string(255, 'a'), {.exists = false}, {"No such device"}},
    };
    for (const auto& c : cases) {
        const std::string reason = OpenFailureReason(c.device, c.facts);
        for (const std::string& part : c.has) {
            EXPECT_NE(reason.find(part), std::string::npos) << part << " not in: " << reason;
        }
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason; // one line of the box
    }
}

} // namespace
} // namespace zelcor
