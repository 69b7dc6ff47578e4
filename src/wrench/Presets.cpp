// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/Presets.h"

namespace zelcor {

namespace {

// The bytes that differ between models; everything else in a preset is common to all of them.
struct ModelBytes {
    std::string_view model;
    std::string_view statusEp;               // 10H
    std::string_view adTorq100L, adTorq100H; // 17H, 18H
    std::string_view adTorqAbsL, adTorqAbsH; // 19H, 1AH
    std::string_view tqHLimitL, tqHLimitH;   // 1DH, 1EH
    std::string_view tqLLimitL;              // 1FH
    std::string_view recLenMax;              // 22H
};

constexpr ModelPreset makePreset(const ModelBytes& m) {
    return ModelPreset{m.model,
                       {
                           m.statusEp,                 // 10H gStatusEp
                           "53",         "57",         // 11H, 12H gK_CWi
                           "53",         "57",         // 13H, 14H gK_CCWi
                           "01",                       // 15H gPTStatus
                           "01",                       // 16H gUnitStatus
                           m.adTorq100L, m.adTorq100H, // 17H, 18H a_AdTorq100
                           m.adTorqAbsL, m.adTorqAbsH, // 19H, 1AH a_AdTorqABS
                           "33",         "F3",         // 1BH, 1CH m_ratio
                           m.tqHLimitL,  m.tqHLimitH,  // 1DH, 1EH ms_TqHLimit
                           m.tqLLimitL,                // 1FH ms_TqLLimit_L
                           "00",                       // 20H ms_TqLLimit_H
                           "00",                       // 21H mr_RecLen
                           m.recLenMax,                // 22H mr_RecLenMax
                           "00",         "00",         // 23H, 24H a_TkHisMax
                           "00",         "00",         // 25H, 26H gK_CWA
                           "00",         "00",         // 27H, 28H gK_CCWA
                           "00",         "00",         // 29H, 2AH reserved
                       }};
}

constexpr std::array<ModelPreset, 13> kPresets{
    makePreset({"WT-01", "22", "B8", "0B", "E4", "0C", "B8", "0B", "96", "32"}),
    makePreset({"WT-02", "22", "B8", "0B", "E4", "0C", "B8", "0B", "96", "FA"}),
    makePreset({"WT-03", "02", "46", "05", "CD", "05", "46", "05", "44", "32"}),
    makePreset({"WT-04", "02", "46", "05", "CD", "05", "46", "05", "44", "FA"}),
    makePreset({"WT-05", "02", "46", "05", "CD", "05", "46", "05", "44", "32"}),
    makePreset({"WT-06", "02", "46", "05", "CD", "05", "46", "05", "44", "FA"}),
    makePreset({"WT-07", "02", "D0", "07", "98", "08", "D0", "07", "64", "32"}),
    makePreset({"WT-08", "02", "D0", "07", "98", "08", "D0", "07", "64", "FA"}),
    makePreset({"WT-09", "02", "48", "0D", "9C", "0E", "48", "0D", "AA", "32"}),
    makePreset({"WT-10", "02", "48", "0D", "9C", "0E", "48", "0D", "AA", "FA"}),
    makePreset({"FG-01", "22", "B8", "0B", "E4", "0C", "B8", "0B", "96", "FA"}),
    makePreset({"FG-02", "22", "A0", "0F", "30", "11", "A0", "0F", "C8", "FA"}),
    makePreset({"FG-03", "22", "88", "13", "7C", "15", "88", "13", "FA", "FA"}),
};

constexpr std::size_t kFallback = 6; // WT-07

} // namespace

const std::array<ModelPreset, 13>& ModelPresets() {
    return kPresets;
}

const ModelPreset& PresetForModel(std::string_view modelText) {
    for (const ModelPreset& preset : kPresets) {
        if (preset.model == modelText) {
            return preset;
        }
    }
    return kPresets[kFallback];
}

} // namespace zelcor
