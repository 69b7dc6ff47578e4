// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/CellText.h"
#include "wrench/WrenchMap.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelcor {

// The wrench's parameter memory, 00 00H to 00 2DH, as the session holds it: for each cell the
// byte (read from the wrench, or set to be written), or none when it is unread or what was
// typed into it is no byte; and whether it takes part in the cell transfers (selected).
class ParameterMemory {
public:
    // Called with the cell's address after any change of its byte, text or selection.
    std::function<void(int address)> changed;

    std::optional<std::uint8_t> byte(int address) const;
    bool selected(int address) const;
    // How many cells from 07H on are selected.
    int selectedTransferCells() const;
    // The cell as the editor shows it: a byte read as two upper-case hexadecimal digits,
    // "XX" when unread, or the text typed into it exactly as typed.
    std::string text(int address) const;
    // Why the cell cannot be written, for the box that refuses it; empty when it holds a byte.
    std::string refusal(int address) const;
    // The words of that reason, with %1 for the cell's text (CellTextFaultPattern).
    std::string_view refusalPattern(int address) const;

    void setByte(int address, std::uint8_t value);
    void setUnread(int address);
    // The technician's text for a cell, through the cell rules: a byte becomes the cell's
    // byte, anything else leaves it without one, and why; the text is kept as typed.
    void setTyped(int address, std::string_view text);
    void setSelected(int address, bool selected);

    // Every cell unread and unselected.
    void clear();
    // Exactly the given cells selected.
    void selectOnly(std::initializer_list<int> cells);

private:
    struct Cell {
        std::optional<std::uint8_t> value;
        CellTextFault fault = CellTextFault::NotRead;
        std::string text = "XX"; // as shown: what was typed stays as it was typed
        bool selected = false;
    };
    Cell& at(int address);
    const Cell& at(int address) const;
    void notify(int address);

    std::array<Cell, cells::kCount> m_cells{};
};

} // namespace zelcor
