// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/ParameterMemory.h"

#include "common/TextConv.h"

#include <algorithm>

namespace zelcor {

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
    return static_cast<int>(std::count_if(m_cells.begin() + cells::kFirstTransfer, m_cells.end(),
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
    for (int i = 0; i < cells::kCount; ++i) {
        at(i).selected = false;
        setUnread(i);
    }
}

void ParameterMemory::selectOnly(std::initializer_list<int> cells) {
    for (int i = 0; i < cells::kCount; ++i) {
        setSelected(i, std::find(cells.begin(), cells.end(), i) != cells.end());
    }
}

} // namespace zelcor
