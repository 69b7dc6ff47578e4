// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts zelcor-cli's subcommands print: bytes, legends, failures, JSON values.

#include "serial/CommandProtocol.h"
#include "wrench/TorqueCalc.h"
#include "wrench/WrenchMap.h"

#include <QJsonValue>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelcor::cli {

constexpr int kFirst = cells::kFirstTransfer;
constexpr int kLast = cells::kLast;
// A cell's legend in the text output takes this many terminal columns, so its byte lines up.
constexpr std::size_t kLegendColumns = 20;

QString qs(const std::string& text);
std::string Hex(int value);
// A value the wrench gave as two hexadecimal digits, "XX" when there is none.
std::string HexOrXX(const TorqueValue& value);
// The live value as the wrench sent it, 0 to 65535: also when the torque computation
// overflows on it.
std::int32_t LiveRaw(const TorqueInputs& in);
// A byte as JSON: its two hexadecimal digits, or null when there is none.
QJsonValue JsonByte(std::optional<std::uint8_t> value);
// How a cell's exchange failed, as a report names it.
std::string FailureWords(CommResult result);
// Every cell 07H to 2DH, ascending.
std::vector<int> TransferCells();

} // namespace zelcor::cli
