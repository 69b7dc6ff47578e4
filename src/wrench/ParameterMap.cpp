// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/ParameterMap.h"

namespace zelcor {

const std::array<NamedParameter, 25>& NamedParameters() {
    static constexpr std::array<NamedParameter, 25> table{{
        {"gStatusEp", 0x00, 0x10},     {"gK_CWI_L", 0x00, 0x11},      {"gK_CWI_H", 0x00, 0x12},
        {"gK_CCWI_L", 0x00, 0x13},     {"gK_CCWI_H", 0x00, 0x14},     {"gPTStatus", 0x00, 0x15},
        {"gUnitStatus", 0x00, 0x16},   {"a_AdTorq100_L", 0x00, 0x17}, {"a_AdTorq100_H", 0x00, 0x18},
        {"a_AdTorqABS_L", 0x00, 0x19}, {"a_AdTorqABS_H", 0x00, 0x1A}, {"m_ratio_L", 0x00, 0x1B},
        {"m_ratio_H", 0x00, 0x1C},     {"ms_TqHLimit_L", 0x00, 0x1D}, {"ms_TqHLimit_H", 0x00, 0x1E},
        {"ms_TqLLimit_L", 0x00, 0x1F}, {"ms_TqLLimit_H", 0x00, 0x20}, {"mr_RecLen", 0x00, 0x21},
        {"mr_RecLenMax", 0x00, 0x22},  {"a_TkHisMax_L", 0x00, 0x23},  {"a_TkHisMax_H", 0x00, 0x24},
        {"gK_CWG_L", 0x00, 0x25},      {"gK_CWG_H", 0x00, 0x26},      {"gK_CCWG_L", 0x00, 0x27},
        {"gK_CCWG_H", 0x00, 0x28},
    }};
    return table;
}

const NamedParameter* FindNamedParameter(std::string_view name) {
    for (const NamedParameter& p : NamedParameters()) {
        if (p.name == name) {
            return &p;
        }
    }
    return nullptr;
}

} // namespace zelcor
