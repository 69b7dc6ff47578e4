#include "editor/frmRs232WRPara.h"

#include "app/frmRs232SetCmd.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zelcor {

frmRs232WRPara::frmRs232WRPara(frmRs232SetCmd& mainWindow) : m_main(mainWindow) {
    setObjectName(QStringLiteral("frmRs232WRPara"));
    setWindowTitle(QStringLiteral("扳手參數"));
    // The window's contents are still to come; its caption heads it meanwhile.
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(windowTitle(), this);
    QFont font = heading->font();
    font.setPointSize(20);
    heading->setFont(font);
    layout->addWidget(heading, 0, Qt::AlignTop);
    resize(720, 480);
}

} // namespace zelcor
