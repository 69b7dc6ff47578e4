// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of each of the windows (offscreen unless a platform is chosen), for
// the README and for looking at the layout: zelcor_screenshot DIR [LANGUAGE]
#include "app/Language.h"
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "calibration/frmRs232WRCal.h"
#include "editor/frmRs232WRPara.h"
#include "session/WrenchSession.h"
#include "sim/PtyBridge.h"
#include "verification/VerificationWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

// The calibration window after a test run of one clockwise pull on the simulated wrench
// (about ten seconds), so that its boxes and its plot show what a technician sees.
bool calibrate(zelcor::frmRs232SetCmd& main) {
    zelcor::sim::PtyBridge wrench;
    std::string error;
    if (!wrench.start({}, error)) {
        std::fprintf(stderr, "cannot start the simulated wrench: %s\n", error.c_str());
        return false;
    }
    main.choosePort(QString::fromStdString(wrench.devicePath()));
    main.findChild<QPushButton*>(QStringLiteral("cmdPortOpen"))->click();
    auto& cal = main.calibration();
    cal.cmdReakAllKandA_Click();
    cal.findChild<QLineEdit*>(QStringLiteral("txtDelayTime"))->setText(QStringLiteral("50"));
    QTimer::singleShot(8'600, &cal, [&cal] { cal.cmdTestStop_Click(); });
    cal.cmdTestStart_Click();
    main.findChild<QPushButton*>(QStringLiteral("cmdPortClose"))->click();
    return true;
}

// The Verification window after a short run on the simulated wrench and tester (about six
// seconds): two readings at 20, 60 and 100 % of 50 N·m, the wrench reading 1.5 % high with a
// scatter of 1 %.
bool verify(zelcor::frmRs232SetCmd& main) {
    zelcor::sim::PtyBridge bridge;
    std::string error;
    if (!bridge.start({}, error) || !bridge.startTester({}, error)) {
        std::fprintf(stderr, "cannot start the simulated wrench and tester: %s\n", error.c_str());
        return false;
    }
    zelcor::sim::PullOptions pulls;
    pulls.targets = {10, 10, 30, 30, 50, 50};
    pulls.biasPercent = 1.5;
    pulls.scatterPercent = 1;
    bridge.wrench().setPulls(pulls);
    main.choosePort(QString::fromStdString(bridge.devicePath()));
    main.findChild<QPushButton*>(QStringLiteral("cmdPortOpen"))->click();
    auto& window = main.verification();
    window.setTesterPort(QString::fromStdString(bridge.testerDevicePath()));
    zelcor::VerificationSettings settings;
    settings.maximum = 50;
    settings.readingsPerPoint = 2;
    settings.preloads = 0;
    settings.technician = "A. Tech";
    settings.tester = "TT-500 #1127";
    settings.testerDue = "2027-06-30";
    settings.remark = "21 °C";
    window.showSettings(settings);
    window.cmdStartRun_Click();
    main.session().closeTester();
    main.findChild<QPushButton*>(QStringLiteral("cmdPortClose"))->click();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Pictures only: the settings and records go to a folder of their own, thrown away after.
    const QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    QApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    // The windows in a language of their own, as `zelcor --language` shows them.
    QTranslator translator;
    if (argc > 2) {
        if (!zelcor::LoadLanguage(translator, QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "no texts in the language %s\n", argv[2]);
            return 2;
        }
        QCoreApplication::installTranslator(&translator);
    }
    zelcor::Options options;
    options.recordsTarget.kind = zelcor::records::RecordsTarget::Kind::Off;
    zelcor::Application zelcor{options};
    auto& main = zelcor.mainWindow();
    const QList<QWidget*> windows{&main, &main.editor(), &main.calibration(), &main.verification()};
    for (QWidget* w : windows) {
        if (w == &main.calibration() && !calibrate(main)) {
            return 1;
        }
        if (w == &main.verification() && !verify(main)) {
            return 1;
        }
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
