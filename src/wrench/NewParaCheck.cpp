// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/NewParaCheck.h"

#include "common/TextConv.h"
#include "wrench/CellText.h"
#include "wrench/WrenchMap.h"

#include <QtGlobal>

#include <algorithm>

namespace zelcor {

namespace {

// Blanks and line breaks a paste brings along at either end.
std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The text after its first n characters, or nullopt when it has fewer than n.
std::optional<std::string_view> afterCharacters(std::string_view text, std::size_t n) {
    if (CharacterCount(text) < n) {
        return std::nullopt;
    }
    return text.substr(FixedWidth(text, n).size());
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

struct IdentityCheck {
    std::string ParaRecord::*member;
    NewParaFault fault;
};

// In the order the technician learns of a difference.
constexpr IdentityCheck kIdentityChecks[] = {
    {&ParaRecord::WrType, NewParaFault::DifferentWr},
    {&ParaRecord::AppVerH, NewParaFault::DifferentSoftwareVersion},
    {&ParaRecord::AppVerL, NewParaFault::DifferentSoftwareVersion},
    {&ParaRecord::WrSwH, NewParaFault::NotSameWrench},
    {&ParaRecord::WrSwL, NewParaFault::NotSameWrench},
    {&ParaRecord::FactoryCode, NewParaFault::FactoryCode},
    {&ParaRecord::DecDigits, NewParaFault::DecimalPoint},
    {&ParaRecord::DirCode, NewParaFault::Direction},
};

// The values that go into the wrench's memory.
constexpr std::string ParaRecord::*kNewValues[] = {
    &ParaRecord::StatusEp, &ParaRecord::VIH, &ParaRecord::VIL, &ParaRecord::VAH, &ParaRecord::VAL,
};

// A field as the text of its cell: the byte in two upper-case digits, or the field as it
// stands when it is no byte (the editor refuses to write such a cell).
NewCellValue cellValue(int address, const std::string& field) {
    const CellByte byte = CellTextToByte(field);
    return {address, byte.fault == CellTextFault::None ? ByteToHexStr(byte.value) : field};
}

} // namespace

std::optional<std::string> PayloadToMessage(std::string_view payload) {
    const std::optional<std::string_view> message =
        afterCharacters(payload, ParaRecord::kReqCodeWidth);
    if (!message) {
        return std::nullopt;
    }
    return std::string(*message);
}

std::string_view NewParaFaultMessage(NewParaFault fault) {
    switch (fault) {
    case NewParaFault::None:
        return {};
    case NewParaFault::MessageFormat:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Message format error");
    case NewParaFault::Syntax:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error");
    case NewParaFault::CheckSum:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "CheckSum error");
    case NewParaFault::DifferentWr:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error:Different WR");
    case NewParaFault::DifferentSoftwareVersion:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error:Different software version");
    case NewParaFault::NotSameWrench:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck",
                                 "Syntax error:The wrench is not the same one");
    case NewParaFault::FactoryCode:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error:Factory code error");
    case NewParaFault::DecimalPoint:
        return QT_TRANSLATE_NOOP(
            "zelcor::NewParaCheck",
            "Syntax error:The wrench is not the same one or decimal point Err");
    case NewParaFault::Direction:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error:Check CW/CCW direction");
    case NewParaFault::NewParameter:
        return QT_TRANSLATE_NOOP("zelcor::NewParaCheck", "Syntax error:New parameter error");
    }
    return {};
}

NewParaFault VerifyNewPara(std::string_view newParaText, const ParaRecord& chk,
                           ParaRecord& newPara) {
    newPara = ParaRecord{};
    const std::string_view raw = trimmed(newParaText);
    newPara.RawText = std::string(raw);
    const std::optional<std::string_view> payload = afterCharacters(raw, ParaRecord::kFmtTagWidth);
    newPara.FmtTag = FixedWidth(raw, ParaRecord::kFmtTagWidth);
    newPara.ReqCode = FixedWidth(payload.value_or(""), ParaRecord::kReqCodeWidth);

    // The text must at least hold its format tag, and its payload at least the ReqCode.
    if (!payload) {
        return NewParaFault::NewParameter;
    }
    newPara.Payload = std::string(*payload);
    std::optional<std::string> message = PayloadToMessage(newPara.Payload);
    if (!message) {
        return NewParaFault::NewParameter;
    }
    newPara.Message = std::move(*message);

    if (!equalIgnoringCase(newPara.FmtTag, kParaFmtTag)) {
        return NewParaFault::MessageFormat;
    }

    SlashPositions slashPos{};
    const std::optional<std::size_t> separators = FindSlashes(newPara.Message, slashPos);
    if (!separators) {
        return NewParaFault::NewParameter;
    }
    if (*separators != kMessageSeparators) {
        return NewParaFault::Syntax;
    }
    ParseMessage(newPara.Message, newPara);

    if (ValueOfText(newPara.ChkSum) != ChecksumOf(newPara.Body)) {
        return NewParaFault::CheckSum;
    }

    for (const IdentityCheck& check : kIdentityChecks) {
        if (!equalIgnoringCase(newPara.*check.member, chk.*check.member)) {
            return check.fault;
        }
    }

    for (const auto member : kNewValues) {
        if (CellTextToByte(newPara.*member).fault != CellTextFault::None) {
            return NewParaFault::NewParameter;
        }
    }
    return NewParaFault::None;
}

bool IssuedForOtherWrench(const ParaRecord& newPara, const ParaRecord& chk) {
    return !equalIgnoringCase(newPara.WrCode, chk.WrCode);
}

std::array<NewCellValue, 5> NewCellValues(const ParaRecord& newPara, bool dirCCW) {
    const cells::Constants c = cells::ConstantsFor(dirCCW);
    return {{cellValue(cells::kStatus, newPara.StatusEp), cellValue(c.VIL, newPara.VIL),
             cellValue(c.VIH, newPara.VIH), cellValue(c.VAL, newPara.VAL),
             cellValue(c.VAH, newPara.VAH)}};
}

} // namespace zelcor
