#pragma once

#include <QWidget>

namespace zelcor {

class frmRs232SetCmd;

// The parameter memory editor: the instrument's first 46 bytes as a grid of cells.
class frmRs232WRPara : public QWidget {
    Q_OBJECT
public:
    explicit frmRs232WRPara(frmRs232SetCmd& mainWindow);

private:
    frmRs232SetCmd& m_main;
};

} // namespace zelcor
