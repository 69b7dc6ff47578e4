#pragma once

#include <QWidget>

namespace zelcor {

class frmRs232SetCmd;

// The calibration window: calibration constants, the instrument's modes and the live value.
class frmRs232WRCal : public QWidget {
    Q_OBJECT
public:
    explicit frmRs232WRCal(frmRs232SetCmd& mainWindow);

private:
    frmRs232SetCmd& m_main;
};

} // namespace zelcor
