// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/ParaRecord.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zelcor {

// The parameter message inside a payload: the payload is ReqCode (four characters) followed
// by the message. A payload shorter than four characters carries no message: nullopt.
std::optional<std::string> PayloadToMessage(std::string_view payload);

// Why a new-parameter text is refused, one value per message shown to the technician.
enum class NewParaFault {
    None,
    MessageFormat,            // the format tag is not "0001"
    Syntax,                   // not exactly 15 separators
    CheckSum,                 // the checksum does not match the body
    DifferentWr,              // WrType
    DifferentSoftwareVersion, // AppVerH or AppVerL
    NotSameWrench,            // WrSwH or WrSwL
    FactoryCode,              // FactoryCode
    DecimalPoint,             // DecDigits: another wrench or another digit setting
    Direction,                // DirCode: issued for the other direction
    NewParameter,             // the text cannot be taken apart, or a new value is no byte
};

// The text of the box that reports a fault; empty for None.
std::string_view NewParaFaultMessage(NewParaFault fault);

// Checks a new-parameter text (the content of txtNewPara) before anything is written: its
// format tag, its separators, its checksum, and that it was issued for the wrench whose
// identity chk holds (fields compared ignoring letter case, in the order WrType, AppVerH,
// AppVerL, WrSwH, WrSwL, FactoryCode, DecDigits, DirCode; WrCode, StatusEp and the
// constants are not compared). The first failing check decides the fault. Blanks and line
// breaks around the pasted text are not part of it.
//
// newPara is emptied and filled as far as the checks get: RawText, FmtTag, ReqCode,
// Payload, Message, then the parsed fields, Body and ChkSum.
//
// Besides, StatusEp, VIH, VIL, VAH and VAL must each be a byte of one or two hexadecimal
// digits: a text that would put anything else into the wrench's memory is malformed and
// refused as NewParameter, after the identity checks and before any write.
NewParaFault VerifyNewPara(std::string_view newParaText, const ParaRecord& chk,
                           ParaRecord& newPara);

// True when a set that VerifyNewPara accepted names another wrench code (WrCode, 2BH to
// 2DH, compared ignoring letter case) than the one chk read: a set issued for another wrench
// of the same make, software and factory.
bool IssuedForOtherWrench(const ParaRecord& newPara, const ParaRecord& chk);

// A cell of the editor to set before writing: its address (high byte 00) and text.
struct NewCellValue {
    int address;
    std::string text;
};

// The cells a verified set is written through: StatusEp at 10H, then for CW VIL 11H, VIH
// 12H, VAL 25H, VAH 26H, for CCW VIL 13H, VIH 14H, VAL 27H, VAH 28H. Each text is the byte
// as two upper-case hexadecimal digits, the way the editor shows bytes. Only for a set that
// VerifyNewPara accepted.
std::array<NewCellValue, 5> NewCellValues(const ParaRecord& newPara, bool dirCCW);

} // namespace zelcor
