// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/ExchangeControls.h"

#include "serial/WrenchLink.h"

#include <QWidget>

namespace zelcor {

ExchangeControls::ExchangeControls(WrenchLink& link) : m_link(link) {
    m_listener = m_link.addBusyListener([this](bool busy) { apply(busy); });
}

ExchangeControls::~ExchangeControls() {
    m_link.removeBusyListener(m_listener);
}

void ExchangeControls::add(QWidget* control) {
    m_controls.push_back(control);
    m_enabledByRule.insert(control, control->isEnabled());
    control->setEnabled(control->isEnabled() && !m_link.busy());
}

void ExchangeControls::setEnabled(QWidget* control, bool enabled) {
    if (m_enabledByRule.contains(control)) {
        m_enabledByRule[control] = enabled;
        control->setEnabled(enabled && !m_link.busy());
    } else {
        control->setEnabled(enabled);
    }
}

void ExchangeControls::apply(bool busy) {
    for (QWidget* control : m_controls) {
        control->setEnabled(m_enabledByRule.value(control) && !busy);
    }
}

} // namespace zelcor
