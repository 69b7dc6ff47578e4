// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wrench/WrenchMap.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace zelcor {

// Factory parameter values of the instrument models, as the texts the editor's cells take.
// Each preset covers the cells 10H to 2AH.
inline constexpr std::size_t kPresetLength = cells::kPresetLast - cells::kPresetFirst + 1; // 27

struct ModelPreset {
    std::string_view model;
    // cells[k] is the text of cell 10H + k: two upper-case hexadecimal digits.
    std::array<std::string_view, kPresetLength> cells;
};

// The thirteen models in the order the model list shows them.
const std::array<ModelPreset, 13>& ModelPresets();

// The preset whose model name equals `modelText` exactly (whole text, case-sensitive); the
// WT-07 preset for any other text.
const ModelPreset& PresetForModel(std::string_view modelText);

} // namespace zelcor
