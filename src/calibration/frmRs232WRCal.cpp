#include "calibration/frmRs232WRCal.h"

#include "serial/WrenchLink.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zelcor {

frmRs232WRCal::frmRs232WRCal(WrenchLink& link) : m_link(link) {
    setObjectName(QStringLiteral("frmRs232WRCal"));
    setWindowTitle(QStringLiteral("扳手校正命令"));
    // The window's contents are still to come; its caption heads it meanwhile.
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(windowTitle(), this);
    QFont font = heading->font();
    font.setPointSize(20);
    heading->setFont(font);
    layout->addWidget(heading, 0, Qt::AlignTop);
    resize(640, 420);
}

} // namespace zelcor
