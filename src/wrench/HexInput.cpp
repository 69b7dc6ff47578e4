// SPDX-License-Identifier: GPL-3.0-or-later
#include "wrench/HexInput.h"

#include "common/TextConv.h"

// Marks a message for the translation file (translations/zelcor_en.ts); the register console
// shows it translated in this context.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace zelcor {

bool Check0ToF(std::string_view InS) {
    if (InS.size() != 1) {
        return false;
    }
    const char c = InS[0];
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

void Cleckhex(std::string_view InputString, bool& error, std::string& MessageString) {
    const std::size_t length = CharacterCount(InputString);
    if (length >= 3) {
        error = true;
        MessageString =
            QT_TRANSLATE_NOOP("zelcor::HexInput", "length>2,please Enter 00~FF,no space");
        return;
    }
    if (length == 0) {
        error = true;
        MessageString =
            QT_TRANSLATE_NOOP("zelcor::HexInput", "length=0,please Enter 00~FF,no space");
        return;
    }
    const std::string_view second = InputString.size() > 1 ? InputString.substr(1, 1) : "";
    if (!Check0ToF(InputString.substr(0, 1)) || !Check0ToF(second)) {
        error = true;
        MessageString = QT_TRANSLATE_NOOP("zelcor::HexInput", "Enter 0123456789ABCDEFabcdef");
        return;
    }
    error = false;
}

std::uint8_t HexToByte(std::string_view text) {
    const double value = ValueOfText("&h" + std::string(text));
    return static_cast<std::uint8_t>(static_cast<unsigned>(value) & 0xFF);
}

} // namespace zelcor
