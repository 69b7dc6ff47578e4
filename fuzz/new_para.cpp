// SPDX-License-Identifier: GPL-3.0-or-later
// The new-parameter text as a whole, fed arbitrary text: format tag, payload conversion,
// separators, checksum and identity, then the cells a verified set is written through. A
// text is accepted only when every check holds, and then each cell gets exactly the byte its
// field says. Besides, a set issued for the wrench with any constants is always accepted.

#include "common/TextConv.h"
#include "support/ByteReader.h"
#include "support/Check.h"
#include "wrench/CellText.h"
#include "wrench/NewParaCheck.h"
#include "wrench/ParaRecord.h"
#include "wrench/WrenchMap.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace {

using namespace zelcor;

// The wrench of the worked example as the editor's cells hold it after the read-back.
const std::map<int, std::string> kCells = {{0x0C, "A1"}, {0x0D, "B2"}, {0x0E, "05"}, {0x0F, "10"},
                                           {0x10, "00"}, {0x2B, "12"}, {0x2C, "34"}, {0x2D, "56"}};

std::string cellText(int address) {
    const auto it = kCells.find(address);
    return it == kCells.end() ? std::string("XX") : it->second;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

constexpr std::string ParaRecord::*kIdentity[] = {
    &ParaRecord::WrType, &ParaRecord::AppVerH,     &ParaRecord::AppVerL,   &ParaRecord::WrSwH,
    &ParaRecord::WrSwL,  &ParaRecord::FactoryCode, &ParaRecord::DecDigits, &ParaRecord::DirCode,
};

// The cells of a verified set: where each new value goes and that it is the field's byte.
void checkCells(const ParaRecord& newPara, bool dirCCW) {
    const cells::Constants c = cells::ConstantsFor(dirCCW);
    const std::pair<int, const std::string*> expected[] = {
        {cells::kStatus, &newPara.StatusEp},
        {c.VIL, &newPara.VIL},
        {c.VIH, &newPara.VIH},
        {c.VAL, &newPara.VAL},
        {c.VAH, &newPara.VAH},
    };
    const auto cells = NewCellValues(newPara, dirCCW);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        FUZZ_CHECK(cells[i].address == expected[i].first);
        const CellByte field = CellTextToByte(*expected[i].second);
        FUZZ_CHECK(field.fault == CellTextFault::None);
        FUZZ_CHECK(cells[i].text == ByteToHexStr(field.value));
    }
}

void checkPayloadConversion(std::string_view payload) {
    const auto message = PayloadToMessage(payload);
    if (CharacterCount(payload) < ParaRecord::kReqCodeWidth) {
        FUZZ_CHECK(!message);
        return;
    }
    FUZZ_CHECK(message);
    FUZZ_CHECK(FixedWidth(payload, ParaRecord::kReqCodeWidth) + *message == payload);
}

void checkAnyText(std::string_view text, const ParaRecord& chk, DigitsAndDirection setting) {
    ParaRecord newPara;
    newPara.WrCode = "stale";
    const NewParaFault fault = VerifyNewPara(text, chk, newPara);
    FUZZ_CHECK(NewParaFaultMessage(fault).empty() == (fault == NewParaFault::None));
    FUZZ_CHECK(newPara.RawText == trimmed(text));
    checkPayloadConversion(newPara.Payload);
    if (CharacterCount(newPara.RawText) < ParaRecord::kFmtTagWidth + ParaRecord::kReqCodeWidth) {
        FUZZ_CHECK(fault == NewParaFault::NewParameter);
        return;
    }
    if (!equalIgnoringCase(newPara.FmtTag, kParaFmtTag)) {
        FUZZ_CHECK(fault == NewParaFault::MessageFormat);
        return;
    }
    const auto slashes = std::count(newPara.Message.begin(), newPara.Message.end(), '/');
    if (slashes != static_cast<long>(kMessageSeparators)) {
        FUZZ_CHECK(fault == (slashes > static_cast<long>(kMaxSlashes) ? NewParaFault::NewParameter
                                                                      : NewParaFault::Syntax));
        return;
    }
    FUZZ_CHECK(fault != NewParaFault::MessageFormat && fault != NewParaFault::Syntax);
    if (fault != NewParaFault::None) {
        return;
    }
    // No set is issued for a digit setting other than 0 to 3.
    FUZZ_CHECK(setting.FraDigits >= 0 && setting.FraDigits <= 3);

    // Accepted: the text is "0001", a request code and a message of fifteen fields whose
    // checksum holds, issued for this wrench.
    FUZZ_CHECK(newPara.RawText.rfind(newPara.FmtTag, 0) == 0);
    FUZZ_CHECK(newPara.RawText.size() >= newPara.Message.size() &&
               newPara.RawText.compare(newPara.RawText.size() - newPara.Message.size(),
                                       std::string::npos, newPara.Message) == 0);
    ParaRecord parsed;
    FUZZ_CHECK(ParseMessage(newPara.Message, parsed));
    FUZZ_CHECK(parsed.Body == newPara.Body && parsed.ChkSum == newPara.ChkSum);
    FUZZ_CHECK(ValueOfText(newPara.ChkSum) == ChecksumOf(newPara.Body));
    for (const auto member : kIdentity) {
        FUZZ_CHECK(equalIgnoringCase(newPara.*member, chk.*member));
    }
    checkCells(newPara, setting.DirCCW);
}

// A set issued for this wrench with any new status and constants, pasted with any blanks and
// line breaks around it, is accepted and puts exactly those bytes into the cells.
void checkIssuedSet(fuzz::ByteReader& input, const ParaRecord& chk, DigitsAndDirection setting) {
    ParaRecord issued = chk;
    std::uint8_t bytes[5];
    std::string ParaRecord::*const values[] = {&ParaRecord::StatusEp, &ParaRecord::VIH,
                                               &ParaRecord::VIL, &ParaRecord::VAH,
                                               &ParaRecord::VAL};
    for (std::size_t i = 0; i < 5; ++i) {
        bytes[i] = input.byte();
        issued.*values[i] = ByteToHexStr(bytes[i]);
    }
    ComposeMessage(issued);
    std::string reqCode;
    for (const std::uint8_t b : input.bytes(4)) {
        reqCode += static_cast<char>('0' + b % 10);
    }
    issued.ReqCode = reqCode;
    const std::string around[] = {"", " ", "\r\n", "\t \n"};
    const std::string& before = around[input.byte() % 4];
    const std::string& after = around[input.byte() % 4];
    const std::string text = before + ParameterRequestText(issued) + after;

    ParaRecord newPara;
    const NewParaFault fault = VerifyNewPara(text, chk, newPara);
    if (setting.FraDigits > 3) {
        FUZZ_CHECK(fault == NewParaFault::DecimalPoint);
        return;
    }
    FUZZ_CHECK(fault == NewParaFault::None);
    const auto cells = NewCellValues(newPara, setting.DirCCW);
    const std::uint8_t inCellOrder[] = {bytes[0], bytes[2], bytes[1], bytes[4], bytes[3]};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        FUZZ_CHECK(cells[i].text == ByteToHexStr(inCellOrder[i]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader input(data, size);
    const std::uint8_t setup = input.byte();
    // Direction and digits as the technician chose them; digits 4 is a setting no set matches.
    const DigitsAndDirection setting{(setup & 1) != 0, (setup >> 1) % 5};
    const ParaRecord chk = IdentityFromCells(cellText, setting);
    if ((setup >> 4) == 0xF) {
        checkIssuedSet(input, chk, setting);
    } else {
        checkAnyText(input.rest(), chk, setting);
    }
    return 0;
}
