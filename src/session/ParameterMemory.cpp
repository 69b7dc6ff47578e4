// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/ParameterMemory.h"

#include "common/TextConv.h"

#include <QtGlobal>

#include <algorithm>

namespace zelcor {

namespace {

// Spelled as the wrench's documentation has always shown them; those in its own language are
// marked for the translation file, and the windows show them translated in this context.
// clang-format off
const std::array<const char*, ParameterMemory::kCellCount> kLegends{
    "00H:Reserved",      "01H:Reserved",        "02H:Reserved",        "03H:Reserved",
    "04H:Reserved",      "05H:Reserved",        "06H:Reserved",        "07H:REeserved",
    "08H:Reserved",      "09H:Reserved",        "0AH:Reserved",        "0BH:Reserved",
    "0CH:Reserved",      "0DH:ReserveK",        "0EH:SW--L",           "0FH:SW--H",
    "10H:gStatusEp",     "11H:gK_CWi_L",        "12H:gK_CWi_H",        "13H:gK_CCWi_L",
    "14H:gK_CCWi_H",     "15H:gPTStatus",       "16H:gUnitStatus",     "17H:a_AdTorq100_L",
    "18H:a_AdTorq100_H", "19H:a_AdTorqABS_L",   "1AH:a_AdTorqABS_H",   "1BH:m_ratio_L",
    "1CH:m_ratio_H",     "1DH:ms_TqHLimit_L",   "1EH:ms_TqHLimit_H",   "1FH:ms_TqLLimit_L",
    "20H:ms_TqLLimit_H", "21H:mr_RecLen",       "22H:mr_RecLenMax",    "23H:a_TkHisMax_L",
    "24H:a_TkHisMax_H",  "25H:gK_CWA_L",        "26H:gK_CWA_H",        "27H:gK_CCWA_L",
    "28H:gK_CCWA_H",
    QT_TRANSLATE_NOOP("zelcor::ParameterMemory", "29H: 保留給  fgauge"),
    QT_TRANSLATE_NOOP("zelcor::ParameterMemory", "2AH:保留給   fgauge"),
    "2BH:cdoe_2",        "2CH:code_1",          "2DH:code_0",
};
// clang-format on

} // namespace

ParameterMemory::Cell& ParameterMemory::at(int address) {
    return m_cells.at(static_cast<std::size_t>(address));
}

const ParameterMemory::Cell& ParameterMemory::at(int address) const {
    return m_cells.at(static_cast<std::size_t>(address));
}

void ParameterMemory::notify(int address) {
    if (changed) {
        changed(address);
    }
}

std::optional<std::uint8_t> ParameterMemory::byte(int address) const {
    return at(address).value;
}

bool ParameterMemory::selected(int address) const {
    return at(address).selected;
}

int ParameterMemory::selectedTransferCells() const {
    return static_cast<int>(std::count_if(m_cells.begin() + kFirstTransferCell, m_cells.end(),
                                          [](const Cell& cell) { return cell.selected; }));
}

std::string ParameterMemory::text(int address) const {
    return at(address).text;
}

std::string ParameterMemory::refusal(int address) const {
    return CellTextFaultReason(refusalPattern(address), at(address).text);
}

std::string_view ParameterMemory::refusalPattern(int address) const {
    const Cell& cell = at(address);
    return cell.value ? std::string_view() : CellTextFaultPattern(cell.fault);
}

void ParameterMemory::setByte(int address, std::uint8_t value) {
    Cell& cell = at(address);
    cell.value = value;
    cell.fault = CellTextFault::None;
    cell.text = ByteToHexStr(value);
    notify(address);
}

void ParameterMemory::setUnread(int address) {
    Cell& cell = at(address);
    cell.value.reset();
    cell.fault = CellTextFault::NotRead;
    cell.text = "XX";
    notify(address);
}

void ParameterMemory::setTyped(int address, std::string_view text) {
    Cell& cell = at(address);
    const CellByte parsed = CellTextToByte(text);
    cell.fault = parsed.fault;
    cell.value.reset();
    if (parsed.fault == CellTextFault::None) {
        cell.value = parsed.value;
    }
    cell.text = std::string(text);
    notify(address);
}

void ParameterMemory::setSelected(int address, bool selected) {
    Cell& cell = at(address);
    if (cell.selected != selected) {
        cell.selected = selected;
        notify(address);
    }
}

void ParameterMemory::clear() {
    for (int i = 0; i < kCellCount; ++i) {
        at(i).selected = false;
        setUnread(i);
    }
}

void ParameterMemory::selectOnly(std::initializer_list<int> cells) {
    for (int i = 0; i < kCellCount; ++i) {
        setSelected(i, std::find(cells.begin(), cells.end(), i) != cells.end());
    }
}

std::string_view ParameterMemory::Legend(int address) {
    return kLegends.at(static_cast<std::size_t>(address));
}

} // namespace zelcor
