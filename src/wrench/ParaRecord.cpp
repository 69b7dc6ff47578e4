// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/ParaRecord.h"

#include "common/TextConv.h"
#include "wrench/WrenchMap.h"

#include <cstdint>

namespace zelcor {

namespace {

// The fields of the message in their order, with their widths; the checksum follows them.
struct MessageField {
    std::string ParaRecord::*member;
    std::size_t width;
};

constexpr std::array<MessageField, 14> kMessageFields{{
    {&ParaRecord::WrType, 1},
    {&ParaRecord::AppVerH, 2},
    {&ParaRecord::AppVerL, 2},
    {&ParaRecord::WrSwH, 2},
    {&ParaRecord::WrSwL, 2},
    {&ParaRecord::FactoryCode, 4},
    {&ParaRecord::WrCode, 6},
    {&ParaRecord::DecDigits, 2},
    {&ParaRecord::DirCode, 4},
    {&ParaRecord::StatusEp, 2},
    {&ParaRecord::VIH, 2},
    {&ParaRecord::VIL, 2},
    {&ParaRecord::VAH, 2},
    {&ParaRecord::VAL, 2},
}};

static_assert(kMessageSeparators == kMessageFields.size() + 1);

// Editor cells that feed the set (low address byte; the high byte is always 00).

// Sum of the code points of a UTF-8 text, character by character as CharacterCount counts
// them. A byte that starts no complete sequence counts with its own value, so a stray byte
// still changes the sum.
std::uint64_t codePointSum(std::string_view text) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        const auto lead = static_cast<unsigned char>(text[i]);
        // The lead byte of an n-byte sequence carries 7 - n bits of the code point.
        std::uint32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        sum += value;
        i += length;
    }
    return sum;
}

// Stores a text into a field of the message at that field's width.
void store(ParaRecord& record, std::string ParaRecord::*member, std::string_view text) {
    for (const MessageField& field : kMessageFields) {
        if (field.member == member) {
            record.*member = FixedWidth(text, field.width);
            return;
        }
    }
}

// "00" to "03" for 0 to 3 digits; no code (the empty text) for anything else.
std::string decDigitsCode(int fraDigits) {
    if (fraDigits < 0 || fraDigits > 3) {
        return {};
    }
    return "0" + std::to_string(fraDigits);
}

} // namespace

int ChecksumOf(std::string_view body) {
    return static_cast<int>(codePointSum(body) % 10000);
}

std::string ChecksumText(std::string_view body) {
    const std::string digits = std::to_string(ChecksumOf(body));
    return std::string(ParaRecord::kChkSumWidth - digits.size(), '0') + digits;
}

void ComposeMessage(ParaRecord& record) {
    std::string body;
    for (const MessageField& field : kMessageFields) {
        store(record, field.member, record.*field.member);
        body += '/';
        body += record.*field.member;
    }
    record.ChkSum = ChecksumText(body);
    record.Message = body + "/" + record.ChkSum;
    record.Body = std::move(body);
}

std::string ParameterRequestText(const ParaRecord& record) {
    return std::string(kParaFmtTag) + FixedWidth(record.ReqCode, ParaRecord::kReqCodeWidth) +
           record.Message;
}

std::optional<std::size_t> FindSlashes(std::string_view text, SlashPositions& SlashPos) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '/') {
            continue;
        }
        if (count == SlashPos.size()) {
            return std::nullopt;
        }
        SlashPos[count++] = static_cast<int>(i + 1);
    }
    return count;
}

bool ParseMessage(std::string_view message, ParaRecord& record) {
    SlashPositions slashPos{};
    if (FindSlashes(message, slashPos) != kMessageSeparators) {
        return false;
    }
    ParaRecord parsed = record;
    for (std::size_t k = 0; k < kMessageFields.size(); ++k) {
        // A 1-based separator position is the 0-based index of the character after it.
        const auto begin = static_cast<std::size_t>(slashPos[k]);
        const auto end = static_cast<std::size_t>(slashPos[k + 1]) - 1;
        parsed.*kMessageFields[k].member =
            FixedWidth(message.substr(begin, end - begin), kMessageFields[k].width);
    }
    parsed.ChkSum =
        FixedWidth(message.substr(static_cast<std::size_t>(slashPos[kMessageFields.size()])),
                   ParaRecord::kChkSumWidth);
    // The body is the message less its last five characters, whatever they are; the
    // checksum is computed over exactly that.
    const std::size_t characters = CharacterCount(message);
    parsed.Body = characters < 5 ? std::string() : FixedWidth(message, characters - 5);
    parsed.Message = std::string(message);
    record = std::move(parsed);
    return true;
}

ParaRecord IdentityFromCells(const CellTextReader& cell, DigitsAndDirection setting) {
    ParaRecord record;
    record.FmtTag = std::string(kParaFmtTag);
    store(record, &ParaRecord::WrType, "1");
    store(record, &ParaRecord::AppVerH, "00");
    store(record, &ParaRecord::AppVerL, "01");
    store(record, &ParaRecord::WrSwH, cell(cells::kSoftwareVersion[0]));
    store(record, &ParaRecord::WrSwL, cell(cells::kSoftwareVersion[1]));
    const auto cellsText = [&cell](std::span<const int> list) {
        std::string text;
        for (const int address : list) {
            text += cell(address);
        }
        return text;
    };
    store(record, &ParaRecord::FactoryCode, cellsText(cells::kFactoryCode));
    store(record, &ParaRecord::WrCode, cellsText(cells::kWrenchCode));
    // A setting without a code leaves the field empty, as in a record never filled: padded
    // to its width it would equal the blank field of a message and pass the identity check.
    if (const std::string code = decDigitsCode(setting.FraDigits); !code.empty()) {
        store(record, &ParaRecord::DecDigits, code);
    }
    store(record, &ParaRecord::DirCode, setting.DirCCW ? "0011" : "0010");
    store(record, &ParaRecord::StatusEp, cell(cells::kStatus));
    return record;
}

ParaRecord CurrentSetFromCells(const CellTextReader& cell, DigitsAndDirection setting,
                               std::string_view reqCode) {
    ParaRecord record = IdentityFromCells(cell, setting);
    record.ReqCode = FixedWidth(reqCode, ParaRecord::kReqCodeWidth);
    const cells::Constants constants = cells::ConstantsFor(setting.DirCCW);
    store(record, &ParaRecord::VIH, cell(constants.VIH));
    store(record, &ParaRecord::VIL, cell(constants.VIL));
    store(record, &ParaRecord::VAH, cell(constants.VAH));
    store(record, &ParaRecord::VAL, cell(constants.VAL));
    ComposeMessage(record);
    return record;
}

} // namespace zelcor
