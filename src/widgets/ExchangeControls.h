// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>

#include <vector>

class QWidget;

namespace zelcor {

class WrenchLink;

// The controls of one window that would start an exchange with the wrench. While the link
// is busy they are disabled; when it is free again each gets back the state its window's
// own rules gave it (a port closed during a read leaves "Send Byte" disabled, for example).
class ExchangeControls {
public:
    explicit ExchangeControls(WrenchLink& link);
    ~ExchangeControls();
    ExchangeControls(const ExchangeControls&) = delete;
    ExchangeControls& operator=(const ExchangeControls&) = delete;

    void add(QWidget* control);
    // The state a control has whenever the link is free (and has now, if it is free). A
    // control that was not added is simply enabled or disabled.
    void setEnabled(QWidget* control, bool enabled);

private:
    void apply(bool busy);

    WrenchLink& m_link;
    int m_listener = 0;
    std::vector<QWidget*> m_controls;
    QHash<QWidget*, bool> m_enabledByRule;
};

} // namespace zelcor
