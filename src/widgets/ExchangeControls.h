// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>

#include <vector>

class QWidget;

namespace zelcor {

// The controls of one window that would start an exchange with the wrench. While the link
// is busy they are disabled; when it is free again each gets back the state its window's
// own rules gave it (a port closed during a read leaves "Send Byte" disabled, for example).
class ExchangeControls {
public:
    ExchangeControls() = default;
    ExchangeControls(const ExchangeControls&) = delete;
    ExchangeControls& operator=(const ExchangeControls&) = delete;

    void add(QWidget* control);
    // The state a control has whenever the link is free (and has now, if it is free). A
    // control that was not added is simply enabled or disabled.
    void setEnabled(QWidget* control, bool enabled);
    // The link is busy (a job holds it) or free again.
    void setBusy(bool busy);

private:
    bool m_busy = false;
    std::vector<QWidget*> m_controls;
    QHash<QWidget*, bool> m_enabledByRule;
};

} // namespace zelcor
