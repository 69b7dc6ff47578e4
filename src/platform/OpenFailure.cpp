// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/OpenFailure.h"

#include "common/TextConv.h"

#include <algorithm>

namespace zelcor {

namespace {

// The longest path and the longest name in it that the system looks up.
constexpr std::size_t kLongestPath = 4095;
constexpr std::size_t kLongestName = 255;

std::string NameTooLong(const std::string& device) {
    std::size_t longestName = 0;
    std::size_t start = 0;
    while (start <= device.size()) {
        const std::size_t end = std::min(device.find('/', start), device.size());
        longestName = std::max(longestName, end - start);
        start = end + 1;
    }
    if (device.size() <= kLongestPath && longestName <= kLongestName) {
        return {};
    }
    return "The port name is too long (" + std::to_string(device.size()) +
           " characters): a device's path has at most 4095, and each name in it at most 255.";
}

} // namespace

std::string OpenFailureReason(const std::string& path, const DeviceFacts& facts) {
    if (path.empty()) {
        return "No port is named: type a port number or pick a device from the list.";
    }
    // The system would answer "no such device" for a name it cannot even look up.
    if (const std::string why = NameTooLong(path); !why.empty()) {
        return why;
    }
    const std::string device = QuotedInput(path);
    // A missing device first: nothing else about it can be true. Then the lock, because a
    // port in use stays in use whoever asks.
    if (!facts.exists) {
        return "No such device: " + device +
               ". Check the cable and the adapter, then pick the port from the list.";
    }
    if (!facts.isDevice) {
        return device + " is a file or folder, not a serial port: pick the port from the list.";
    }
    if (facts.locked) {
        const std::string who = facts.lockHolder.empty() ? "" : " (" + facts.lockHolder + ")";
        return device + " is in use by another program" + who +
               ": close the port there, then open it here.";
    }
    if (!facts.mayReadWrite) {
        if (!facts.accessGroup.empty()) {
            // The group that owns the device may use it; membership counts from the next login.
            return "Permission denied: " + device + " belongs to the " + facts.accessGroup +
                   " group. Add your user to it (sudo usermod -aG " + facts.accessGroup +
                   " $USER), then log in again.";
        }
        return "Permission denied: " + device +
               " lets no group use it; ask the administrator for read and write access.";
    }
    if (!facts.systemMessage.empty()) {
        const bool stop = facts.systemMessage.back() == '.';
        return "The system says: " + facts.systemMessage + (stop ? "" : ".");
    }
    return "The system gave no reason.";
}

} // namespace zelcor
