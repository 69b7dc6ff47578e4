// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace zelcor {

class Clock;
class SerialPort;
class MessageBoxes;

// What the windows need from the world around them. The product wires Qt implementations
// in; the tests wire a virtual clock, scripted boxes and a simulated instrument.
struct Platform {
    Clock& clock;
    SerialPort& port;
    MessageBoxes& boxes;
    // Ends the program at once ("End", or the main window's close button). The port has
    // been closed and the windows hidden when this is called.
    std::function<void()> endProgram;
};

} // namespace zelcor
