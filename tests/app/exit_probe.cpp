// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real program wiring and ends it the way the argument says, so that a test can
// watch the process go away: "end" (the End button), "close" (the window's close button),
// "end-while-waiting" (End pressed while a delay is waiting), "end-during-test-run" (End
// pressed while the calibration window's test run reads a simulated wrench).
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "calibration/frmRs232WRCal.h"
#include "platform/Clock.h"
#include "session/WrenchSession.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>

namespace {

QPushButton* button(zelcor::frmRs232SetCmd& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    zelcor::Options options;
    options.simulator = mode == QLatin1String("end-during-test-run");
    zelcor::Application zelcor{options};
    auto& window = zelcor.mainWindow();

    // The two other windows are up too: they must not keep the process alive.
    QTimer::singleShot(0, [&] {
        button(window, "cmdRs232WRPara")->click();
        button(window, "cmdRs232WRCal")->click();
    });
    if (mode == QLatin1String("end")) {
        QTimer::singleShot(10, [&] { button(window, "cmdEnd")->click(); });
    } else if (mode == QLatin1String("close")) {
        QTimer::singleShot(10, [&] { window.close(); });
    } else if (mode == QLatin1String("end-while-waiting")) {
        QTimer::singleShot(10, [&] {
            window.session().clock().delay(600'000);
            std::exit(3); // the delay must never get here
        });
        QTimer::singleShot(40, [&] { button(window, "cmdEnd")->click(); });
    } else if (mode == QLatin1String("end-during-test-run")) {
        QTimer::singleShot(10, [&] {
            button(window, "cmdPortOpen")->click();
            window.calibration().cmdTestStart_Click();
            std::exit(3); // End must end the program from inside the run
        });
        QTimer::singleShot(1500, [&] { button(window, "cmdEnd")->click(); });
    } else {
        return 2;
    }
    return zelcor.run();
}
