// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace zelcor {

// What the system shows about a serial device that would not open.
struct DeviceFacts {
    bool exists = true;
    // A character device (a terminal), not a plain file or a folder.
    bool isDevice = true;
    // The user may read and write the device.
    bool mayReadWrite = true;
    // The group the device lets read and write it, when it lets one ("dialout").
    std::string accessGroup;
    // Another program holds the device's lock file.
    bool locked = false;
    // That program and its process, when the lock file says ("zelcor, process 4242").
    std::string lockHolder;
    // The system's own words for the failure.
    std::string systemMessage;
};

// Why `device` would not open, in words a technician can act on: one line, no line break.
std::string OpenFailureReason(const std::string& device, const DeviceFacts& facts);

} // namespace zelcor
