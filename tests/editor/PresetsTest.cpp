#include "editor/Presets.h"

#include <gtest/gtest.h>

#include <string>

namespace zelcor {
namespace {

// The factory values follow fixed rules; a slip in one digit of the table breaks one of them.
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
    for (std::size_t m = 0; m < std::size(rows); ++m) {
        const ModelPreset& p = ModelPresets()[m];
        const Row& r = rows[m];
        ASSERT_EQ(p.model, r.model);
        auto byte = [&](int a) {
            const std::string_view cell = p.cells[static_cast<std::size_t>(a - 0x10)];
            EXPECT_EQ(cell.find_first_not_of("0123456789ABCDEF"), std::string_view::npos);
            EXPECT_EQ(cell.size(), 2u) << r.model << " " << a;
            return std::stoi(std::string(cell), nullptr, 16);
        };
        auto word = [&](int a) { return byte(a + 1) * 256 + byte(a); };
        SCOPED_TRACE(r.model);
        EXPECT_EQ(byte(0x10), r.statusEp);
        EXPECT_EQ(word(0x17), r.torque100);                  // a_AdTorq100
        EXPECT_EQ(word(0x19), r.torque100 * 110 / 100);      // a_AdTorqABS
        EXPECT_EQ(word(0x1D), r.torque100);                  // ms_TqHLimit
        EXPECT_EQ(word(0x1F), (r.torque100 * 5 + 50) / 100); // ms_TqLLimit, 5 % half up
        EXPECT_EQ(byte(0x22), r.recLenMax);
        EXPECT_EQ(word(0x11), 0x5753);
        EXPECT_EQ(word(0x13), 0x5753);
        EXPECT_EQ(word(0x15), 0x0101);
        EXPECT_EQ(word(0x1B), 0xF333);
        EXPECT_EQ(byte(0x21), 0);
        for (int a = 0x23; a <= 0x2A; ++a) {
            EXPECT_EQ(byte(a), 0) << a;
        }
    }
    EXPECT_EQ(PresetForModel("WT-03").cells, PresetForModel("WT-05").cells);
    EXPECT_EQ(PresetForModel("WT-04").cells, PresetForModel("WT-06").cells);
}

TEST(Presets, ExactNameChoosesItsPresetAnyOtherTextWT07) {
    EXPECT_EQ(PresetForModel("FG-03").model, "FG-03");
    EXPECT_EQ(PresetForModel("WT-01").model, "WT-01");
    for (const char* other : {"WT-01 ", " WT-01", "wt-01", "", "FG-04"}) {
        EXPECT_EQ(PresetForModel(other).model, "WT-07") << '"' << other << '"';
    }
}

} // namespace
} // namespace zelcor
