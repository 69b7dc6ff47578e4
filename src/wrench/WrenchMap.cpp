// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/WrenchMap.h"

#include "common/TextConv.h"

#include <QCoreApplication>

#include <algorithm>

namespace zelcor {

namespace {

// Spelled as the wrench's documentation has always shown them; those in its own language are
// marked for the translation file, and the windows show them translated in this context.
// clang-format off
const std::array<const char*, cells::kCount> kLegends{
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

bool Contains(std::span<const int> list, int address) {
    return std::find(list.begin(), list.end(), address) != list.end();
}

} // namespace

bool IsIdentityCell(int address) {
    return Contains(cells::kIdentity, address);
}

std::string_view CellLegend(int address) {
    return kLegends.at(static_cast<std::size_t>(address));
}

QString CellLegendCaption(int address) {
    if (address >= 0 && address <= cells::kLast) {
        return QCoreApplication::translate("zelcor::ParameterMemory", CellLegend(address).data());
    }
    return QStringLiteral("%1H").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

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

std::string CellsText(std::span<const int> list, const KnownByte& byte, std::string_view unknown) {
    std::string text;
    for (const int cell : list) {
        const std::optional<std::uint8_t> value = byte(cell);
        if (!value && unknown.empty()) {
            return {};
        }
        text += value ? ByteToHexStr(*value) : std::string(unknown);
    }
    return text;
}

std::string WrenchCodeText(const KnownByte& byte) {
    return CellsText(cells::kWrenchCode, byte);
}

} // namespace zelcor
