// Figures that tests must not assert: how the echo boxes scale and what a waiting exchange
// costs in CPU. Run: build/bin/zelcor_bench
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "calibration/TorquePlot.h"
#include "platform/ProcessCpu.h"
#include "widgets/EchoBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>

#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Appends 100 000 receive-echo lines and prints the time of every 10 000: a box that
// copied its whole text on each append would show each block slower than the last.
void echoAppend() {
    zelcor::EchoBox box;
    box.show();
    const QString line = QStringLiteral("&H00 &H05 &HAA &H12 &H12 \r\n");
    QElapsedTimer total;
    total.start();
    std::printf("echo box: 100000 appended lines, ms per block of 10000:");
    for (int block = 0; block < 10; ++block) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 10000; ++i) {
            box.appendText(line);
        }
        std::printf(" %lld", static_cast<long long>(t.elapsed()));
    }
    std::printf("\n  total %lld ms, %lld characters kept\n",
                static_cast<long long>(total.elapsed()), static_cast<long long>(box.text().size()));
}

// A read against a pseudo-terminal whose far end never answers: the program waits the
// whole 3000 ms reply time-out. CPU time over wall time tells whether the wait spins.
void waitingExchange() {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::printf("waiting exchange: no pseudo-terminal here\n");
        return;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);

    zelcor::Application app{zelcor::Options{}};
    auto& window = app.mainWindow();
    window.cmbComSelect->setEditText(QString::fromLocal8Bit(name));
    window.cmdPortOpen->click();
    if (!window.cmdRead->isEnabled()) {
        std::printf("waiting exchange: could not open %s\n", name);
        return;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = zelcor::ProcessCpuSeconds();
    std::uint8_t result = 0;
    std::uint8_t d0 = 0;
    std::uint8_t d1 = 0;
    std::uint8_t d2 = 0;
    window.SendReadCmd_Chk(0x00, 0x05, result, d0, d1, d2);
    const double cpu = zelcor::ProcessCpuSeconds() - cpuBefore;
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    std::printf("waiting exchange: result %u after %.3f s wall, %.3f s CPU (%.2f %% of one core)\n",
                result, seconds, cpu, 100.0 * cpu / seconds);
    window.cmdPortClose->click();
    close(slave);
    close(master);
}

// Adds 10 000 torque points 100 ms apart (about the fastest a test run computes) to the
// calibration window's plot on the screen, drawing it every 10 points, and prints the time of
// every 1000: the curve keeps only its last minute, so a late block costs what an early one
// does once the first minute is full.
void torquePlotAppend() {
    zelcor::TorquePlot plot;
    plot.resize(640, 400);
    plot.show();
    QElapsedTimer total;
    total.start();
    std::printf("torque plot: 10000 points 100 ms apart, ms per block of 1000:");
    for (int block = 0; block < 10; ++block) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 1000; ++i) {
            const int n = block * 1000 + i;
            plot.addPoint(std::int64_t{n} * 100, static_cast<std::int16_t>(n % 2000),
                          (n % 80) * 0.85);
            if (n % 10 == 9) {
                QApplication::processEvents();
            }
        }
        std::printf(" %lld", static_cast<long long>(t.elapsed()));
    }
    std::printf("\n  total %lld ms, %zu points kept, %d on the curve\n",
                static_cast<long long>(total.elapsed()), plot.samples().size(),
                static_cast<int>(plot.series()->count()));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    echoAppend();
    waitingExchange();
    torquePlotAppend();
    return 0;
}
