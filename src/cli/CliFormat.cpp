// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliFormat.h"

#include "common/TextConv.h"

namespace zelcor::cli {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Hex(int value) {
    return ByteToHexStr(static_cast<std::uint8_t>(value));
}

std::string HexOrXX(const TorqueValue& value) {
    return value ? Hex(*value & 0xFF) : "XX";
}

std::int32_t LiveRaw(const TorqueInputs& in) {
    return Word32(in.adL, in.adH).value_or(0);
}

QJsonValue JsonByte(std::optional<std::uint8_t> value) {
    return value ? QJsonValue(qs(Hex(*value))) : QJsonValue(QJsonValue::Null);
}

std::string FailureWords(CommResult result) {
    switch (result) {
    case CommResult::TimeOut:
        return "no answer";
    case CommResult::Incomplete:
        return "a short answer";
    case CommResult::SyntaxError:
        return "a wrong answer";
    case CommResult::Success:
    case CommResult::Busy:
        break;
    }
    return "no exchange";
}

std::vector<int> TransferCells() {
    std::vector<int> cells;
    for (int cell = kFirst; cell <= kLast; ++cell) {
        cells.push_back(cell);
    }
    return cells;
}

} // namespace zelcor::cli
