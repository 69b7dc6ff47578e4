// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ExchangeControls.h"

#include <QWidget>

namespace zelcor {

void ExchangeControls::add(QWidget* control) {
    m_controls.push_back(control);
    m_enabledByRule.insert(control, control->isEnabled());
    control->setEnabled(control->isEnabled() && !m_busy);
}

void ExchangeControls::setEnabled(QWidget* control, bool enabled) {
    if (m_enabledByRule.contains(control)) {
        m_enabledByRule[control] = enabled;
        control->setEnabled(enabled && !m_busy);
    } else {
        control->setEnabled(enabled);
    }
}

void ExchangeControls::setBusy(bool busy) {
    m_busy = busy;
    for (QWidget* control : m_controls) {
        control->setEnabled(m_enabledByRule.value(control) && !busy);
    }
}

} // namespace zelcor
