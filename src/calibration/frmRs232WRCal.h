#pragma once

#include <QWidget>

namespace zelcor {

class WrenchLink;

// The calibration window: calibration constants, the instrument's modes and the live value.
class frmRs232WRCal : public QWidget {
    Q_OBJECT
public:
    explicit frmRs232WRCal(WrenchLink& link);

private:
    [[maybe_unused]] WrenchLink& m_link;
};

} // namespace zelcor
