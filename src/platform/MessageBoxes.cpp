// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessageBoxes.h"

namespace zelcor {

QString toString(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Critical:
        return QStringLiteral("critical");
    case BoxIcon::Exclamation:
        return QStringLiteral("exclamation");
    case BoxIcon::Information:
        return QStringLiteral("information");
    case BoxIcon::Warning:
        return QStringLiteral("warning");
    }
    return {};
}

QString toString(BoxButtons buttons) {
    switch (buttons) {
    case BoxButtons::Ok:
        return QStringLiteral("ok");
    case BoxButtons::YesNo:
        return QStringLiteral("yes/no");
    case BoxButtons::YesNoDefaultNo:
        return QStringLiteral("yes/no (no by default)");
    }
    return {};
}

QString toString(BoxAnswer answer) {
    switch (answer) {
    case BoxAnswer::Ok:
        return QStringLiteral("ok");
    case BoxAnswer::Yes:
        return QStringLiteral("yes");
    case BoxAnswer::No:
        return QStringLiteral("no");
    }
    return {};
}

} // namespace zelcor
