// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace zelcor {

enum class BoxIcon { Critical, Exclamation, Information, Warning };
// YesNoDefaultNo: a question whose Yes does something that cannot be undone, so that Enter
// or Escape answers No.
enum class BoxButtons { Ok, YesNo, YesNoDefaultNo };
enum class BoxAnswer { Ok, Yes, No };

// Modal message boxes. show() returns when the user has answered.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                           BoxButtons buttons) = 0;
};

QString toString(BoxIcon icon);
QString toString(BoxButtons buttons);
QString toString(BoxAnswer answer);

} // namespace zelcor
