// Figures that tests must not assert: how the echo boxes scale and what a waiting exchange
// costs in CPU. Run: build/bin/zelcor_bench
#include "app/frmRs232SetCmd.h"
#include "app/subMain.h"
#include "platform/ProcessCpu.h"
#include "widgets/EchoBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    echoAppend();
    waitingExchange();
    return 0;
}
