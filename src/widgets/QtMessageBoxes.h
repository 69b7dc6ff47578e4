// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"

namespace zelcor {

// The product's boxes: a QMessageBox over the active window.
class QtMessageBoxes final : public MessageBoxes {
public:
    BoxAnswer show(const QString& text, const QString& title, BoxIcon icon,
                   BoxButtons buttons) override;
};

} // namespace zelcor
