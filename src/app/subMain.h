#pragma once

#include "app/CommandLine.h"
#include "platform/QtClock.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtSerialPort.h"

#include <memory>

namespace zelcor {

class frmRs232SetCmd;

// The program as the user runs it: the real clock, port and boxes behind the windows.
class Application {
public:
    explicit Application(const Options& options);
    ~Application();

    frmRs232SetCmd& mainWindow() { return *m_main; }
    QtClock& clock() { return m_clock; }

    // Shows the main window and runs until the program ends; returns the exit code.
    int run();

private:
    void endProgram();

    QtClock m_clock;
    QtSerialPort m_port;
    QtMessageBoxes m_boxes;
    std::unique_ptr<frmRs232SetCmd> m_main;
    bool m_ended = false;
};

// The program's entry: reads the command line, loads the main window and runs.
int Main(int argc, char** argv);

} // namespace zelcor
