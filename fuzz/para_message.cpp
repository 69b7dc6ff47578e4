// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter message: separators, parsing and checksum, fed arbitrary text; and a message
// composed from arbitrary field texts, which must parse back into the same fields.

#include "common/TextConv.h"
#include "wrench/ParaRecord.h"
#include "support/ByteReader.h"
#include "support/Check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace zelcor;

// The fields of the message in their order, with their widths.
struct Field {
    std::string ParaRecord::*member;
    std::size_t width;
};
constexpr Field kFields[] = {
    {&ParaRecord::WrType, 1},   {&ParaRecord::AppVerH, 2},   {&ParaRecord::AppVerL, 2},
    {&ParaRecord::WrSwH, 2},    {&ParaRecord::WrSwL, 2},     {&ParaRecord::FactoryCode, 4},
    {&ParaRecord::WrCode, 6},   {&ParaRecord::DecDigits, 2}, {&ParaRecord::DirCode, 4},
    {&ParaRecord::StatusEp, 2}, {&ParaRecord::VIH, 2},       {&ParaRecord::VIL, 2},
    {&ParaRecord::VAH, 2},      {&ParaRecord::VAL, 2},
};

void checkChecksum(std::string_view body) {
    const int sum = ChecksumOf(body);
    FUZZ_CHECK(sum >= 0 && sum <= 9999);
    const std::string text = ChecksumText(body);
    FUZZ_CHECK(text.size() == 4 && text.find_first_not_of("0123456789") == std::string::npos);
    FUZZ_CHECK(ValueOfText(text) == sum);
    // For ASCII the sum is the plain sum of the bytes.
    if (std::all_of(body.begin(), body.end(), [](char c) { return c >= 0; })) {
        std::uint64_t bytes = 0;
        for (const char c : body) {
            bytes += static_cast<unsigned char>(c);
        }
        FUZZ_CHECK(static_cast<std::uint64_t>(sum) == bytes % 10000);
    }
}

void checkSeparatorsAndParse(std::string_view text) {
    SlashPositions positions{};
    positions.fill(-1);
    const auto found = FindSlashes(text, positions);
    const auto slashes = static_cast<std::size_t>(std::count(text.begin(), text.end(), '/'));
    if (slashes > kMaxSlashes) {
        FUZZ_CHECK(!found);
        return;
    }
    FUZZ_CHECK(found && *found == slashes);
    for (std::size_t i = 0; i < slashes; ++i) {
        const int p = positions[i];
        FUZZ_CHECK(p >= 1 && static_cast<std::size_t>(p) <= text.size() && text[p - 1] == '/');
        FUZZ_CHECK(i == 0 || p > positions[i - 1]);
    }
    for (std::size_t i = slashes; i < kMaxSlashes; ++i) {
        FUZZ_CHECK(positions[i] == -1); // nothing stored beyond the count
    }

    ParaRecord record;
    record.ReqCode = "keep";
    const bool parsed = ParseMessage(text, record);
    FUZZ_CHECK(parsed == (slashes == kMessageSeparators));
    if (!parsed) {
        FUZZ_CHECK(record.Message.empty() && record.ReqCode == "keep");
        return;
    }
    FUZZ_CHECK(record.ReqCode == "keep" && record.Message == text);
    for (std::size_t k = 0; k < std::size(kFields); ++k) {
        const std::string& field = record.*kFields[k].member;
        FUZZ_CHECK(CharacterCount(field) == kFields[k].width);
        // A field never holds a separator: it lies strictly between two.
        FUZZ_CHECK(field.find('/') == std::string::npos);
    }
    FUZZ_CHECK(CharacterCount(record.ChkSum) == ParaRecord::kChkSumWidth);
    const std::size_t characters = CharacterCount(text);
    FUZZ_CHECK(CharacterCount(record.Body) == (characters < 5 ? 0 : characters - 5));
    FUZZ_CHECK(text.substr(0, record.Body.size()) == record.Body);
    checkChecksum(record.Body);
}

// A message composed from any field texts without separators parses back into those fields
// at their widths, and its checksum holds.
void checkComposeAndParse(fuzz::ByteReader& input) {
    ParaRecord composed;
    for (const Field& field : kFields) {
        std::string text;
        for (const std::uint8_t b : input.bytes(input.upTo(7))) {
            text += b == '/' ? '.' : static_cast<char>(b);
        }
        composed.*field.member = text;
    }
    ComposeMessage(composed);
    FUZZ_CHECK(composed.Message == composed.Body + "/" + composed.ChkSum);
    FUZZ_CHECK(composed.ChkSum == ChecksumText(composed.Body));

    ParaRecord parsed;
    FUZZ_CHECK(ParseMessage(composed.Message, parsed));
    for (const Field& field : kFields) {
        FUZZ_CHECK(parsed.*field.member == composed.*field.member);
    }
    FUZZ_CHECK(parsed.ChkSum == composed.ChkSum);
    FUZZ_CHECK(parsed.Body == composed.Body);
    FUZZ_CHECK(ValueOfText(parsed.ChkSum) == ChecksumOf(parsed.Body));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader input(data, size);
    if (input.byte() % 4 == 0) {
        checkComposeAndParse(input);
        return 0;
    }
    const std::string_view text = input.rest();
    checkChecksum(text);
    checkSeparatorsAndParse(text);
    return 0;
}
