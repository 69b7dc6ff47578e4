// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SerialPort.h"

#include <array>
#include <string>

namespace zelcor {

// The device behind a "Com No" text: a port number N is the platform's port N (COMN on
// Windows, /dev/ttyS(N-1) elsewhere); any other text is a device path, used as typed apart
// from surrounding blanks.
std::string PortNameFromText(const std::string& text);

// The line speeds the wrench speaks, slowest first: the main window's baud list, and the only
// ones zelcor-cli takes.
inline constexpr std::array<int, 2> kWrenchBaudRates{1200, 2400};

// Reads a settings text such as "1200,N,8,2" (baud, parity, data bits, stop bits). False,
// with `settings` untouched, for anything the line cannot run with.
bool ParseSettingsText(const std::string& text, SerialSettings& settings);

} // namespace zelcor
