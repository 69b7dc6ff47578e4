// Saves a picture of each of the three windows (offscreen unless a platform is chosen), for
// the README and for looking at the layout: zelcor_screenshot DIR
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "calibration/frmRs232WRCal.h"
#include "editor/frmRs232WRPara.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    zelcor::Application zelcor{zelcor::Options{}};
    auto& main = zelcor.mainWindow();
    const QList<QWidget*> windows{&main, &main.editor(), &main.calibration()};
    for (QWidget* w : windows) {
        w->show();
        QApplication::processEvents();
        const QString file = dir.filePath(w->objectName() + QStringLiteral(".png"));
        if (!w->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
