// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The wrench's parameter memory, 00 00H to 00 2DH: what every cell holds, under which name
// and legend, and which cells each job reads or writes. Every other part of the program takes
// cell addresses from here (the simulated wrench keeps a memory of its own).

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelcor {

namespace cells {

inline constexpr int kCount = 46;
inline constexpr int kLast = kCount - 1; // 2DH
// The cell transfers (Read All, Write, Write All FF, a backup) cover 07H to the last cell.
inline constexpr int kFirstTransfer = 0x07;
// Cells below this one cannot be typed into or selected by the technician.
inline constexpr int kFirstEditable = 0x10;

// Which wrench it is: factory code 0CH 0DH, software version 0EH (low) 0FH (high), wrench
// code 2BH 2CH 2DH. Each as its text shows its bytes, the software version high byte first.
inline constexpr std::array<int, 2> kFactoryCode{0x0C, 0x0D};
inline constexpr std::array<int, 2> kSoftwareVersion{0x0F, 0x0E};
inline constexpr std::array<int, 3> kWrenchCode{0x2B, 0x2C, 0x2D};
// All seven, ascending: a restore never writes them, and a parameter Write puts them back as
// it read them.
inline constexpr std::array<int, 7> kIdentity{0x0C, 0x0D, 0x0E, 0x0F, 0x2B, 0x2C, 0x2D};

// The status byte (gStatusEp): bit 7 is the error flag Clear Er0 clears.
inline constexpr int kStatus = 0x10;

// The constants of one direction: interval (low, high) and gain (low, high).
struct Constants {
    int VIL, VIH, VAL, VAH;
};
inline constexpr Constants kConstantsCw{0x11, 0x12, 0x25, 0x26};
inline constexpr Constants kConstantsCcw{0x13, 0x14, 0x27, 0x28};
constexpr Constants ConstantsFor(bool ccw) {
    return ccw ? kConstantsCcw : kConstantsCw;
}

// The highest torque the wrench has measured, low and high byte.
inline constexpr int kMaxTorqueLow = 0x23;
inline constexpr int kMaxTorqueHigh = 0x24;

// The cells a model preset fills.
inline constexpr int kPresetFirst = 0x10;
inline constexpr int kPresetLast = 0x2A;

// What Get reads, ascending: the identity, the status byte and both directions' constants.
inline constexpr std::array<int, 16> kGet{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13,
                                          0x14, 0x25, 0x26, 0x27, 0x28, 0x2B, 0x2C, 0x2D};
// What a parameter Write reads before it writes: the identity and the status byte.
inline constexpr std::array<int, 8> kWriteCheck{0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x2B, 0x2C, 0x2D};
// What Read Max Torque reads and Clear Er0 writes.
inline constexpr std::array<int, 3> kMaxTorque{kStatus, kMaxTorqueLow, kMaxTorqueHigh};

} // namespace cells

bool IsIdentityCell(int address);

// The legend of a cell as the wrench's documentation has always shown it: its address and the
// parameter kept there ("10H:gStatusEp"). Those in the wrench's own language are marked for
// translation in the context "zelcor::ParameterMemory".
std::string_view CellLegend(int address);
// The legend as the windows show it, translated; an address beyond the memory as itself
// ("0123H").
QString CellLegendCaption(int address);

// A named byte of the memory, as the register console offers it.
struct NamedParameter {
    std::string_view name;
    std::uint8_t addr1;
    std::uint8_t addr0;
};

// The 25 named parameters at 00 10 to 00 28, in address order. Pairs ending in _L and _H
// are the low and high byte of one 16-bit quantity (high × 256 + low).
const std::array<NamedParameter, 25>& NamedParameters();

// The entry whose name equals `name` exactly (case-sensitive), or nullptr.
const NamedParameter* FindNamedParameter(std::string_view name);

// A cell's byte where it is known.
using KnownByte = std::function<std::optional<std::uint8_t>(int address)>;

// The bytes of `cells` in order as upper-case hexadecimal text. An unknown byte shows as
// `unknown`; with `unknown` empty, one unknown byte makes the whole text empty (a wrench is
// named only by what is known of it).
std::string CellsText(std::span<const int> cells, const KnownByte& byte,
                      std::string_view unknown = {});
// The wrench code, "123456", or empty when a byte of it is not known.
std::string WrenchCodeText(const KnownByte& byte);

} // namespace zelcor
