// Runs the real program wiring and ends it the way the argument says, so that a test can
// watch the process go away: "end" (the End button), "close" (the window's close button),
// "end-while-waiting" (End pressed while a delay is waiting).
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    zelcor::Application zelcor{zelcor::Options{}};
    auto& window = zelcor.mainWindow();

    // The two other windows are up too: they must not keep the process alive.
    QTimer::singleShot(0, [&] {
        window.cmdRs232WRPara->click();
        window.cmdRs232WRCal->click();
    });
    if (mode == QLatin1String("end")) {
        QTimer::singleShot(10, [&] { window.cmdEnd->click(); });
    } else if (mode == QLatin1String("close")) {
        QTimer::singleShot(10, [&] { window.close(); });
    } else if (mode == QLatin1String("end-while-waiting")) {
        QTimer::singleShot(10, [&] {
            window.platform().clock.delay(600'000);
            std::exit(3); // the delay must never get here
        });
        QTimer::singleShot(40, [&] { window.cmdEnd->click(); });
    } else {
        return 2;
    }
    return zelcor.run();
}
