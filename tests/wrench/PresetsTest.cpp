// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/Presets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zelcor {
namespace {

// The factory values follow fixed rules; a slip in one digit of the table breaks one of them.
// Each model is looked up by its exact name, which must choose it.
TEST(Presets, ThirteenModelsWhoseValuesKeepTheFactoryRelations) {
    struct Row {
        const char* model;
        int torque100, recLenMax, statusEp;
    };
    const Row rows[] = {
        {"WT-01", 3000, 50, 0x22},  {"WT-02", 3000, 250, 0x22}, {"WT-03", 1350, 50, 0x02},
        {"WT-04", 1350, 250, 0x02}, {"WT-05", 1350, 50, 0x02},  {"WT-06", 1350, 250, 0x02},
        {"WT-07", 2000, 50, 0x02},  {"WT-08", 2000, 250, 0x02}, {"WT-09", 3400, 50, 0x02},
        {"WT-10", 3400, 250, 0x02}, {"FG-01", 3000, 250, 0x22}, {"FG-02", 4000, 250, 0x22},
        {"FG-03", 5000, 250, 0x22}};
    ASSERT_EQ(ModelPresets().size(), std::size(rows));
    for (const Row& r : rows) {
        const ModelPreset& p = PresetForModel(r.model);
        ASSERT_EQ(p.model, r.model);
        const int t = r.torque100, abs = t * 110 / 100, low = (t * 5 + 50) / 100; // 5 %, half up
        // 10H status, the CW and CCW factors, 15H/16H, then the torques low byte first around
        // the ratio F333 (100 %, absolute, high limit, low limit), then 22H and zeros to 2AH.
        std::vector<int> bytes{r.statusEp, 0x53,   0x57,     0x53,     0x57,       0x01, 0x01,
                               t,          t >> 8, abs,      abs >> 8, 0x33,       0xF3, t,
                               t >> 8,     low,    low >> 8, 0,        r.recLenMax};
        bytes.resize(kPresetLength);
        std::string expected, seen;
        for (std::size_t k = 0; k < kPresetLength; ++k) {
            char text[4];
            std::snprintf(text, sizeof text, "%02X ", bytes[k] & 0xFF);
            expected += text;
            seen += std::string(p.cells[k]) + " ";
        }
        EXPECT_EQ(seen, expected) << r.model;
    }
    EXPECT_EQ(PresetForModel("WT-03").cells, PresetForModel("WT-05").cells);
    EXPECT_EQ(PresetForModel("WT-04").cells, PresetForModel("WT-06").cells);
}

} // namespace
} // namespace zelcor
