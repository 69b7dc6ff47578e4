// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace zelcor {

// SIGINT and SIGTERM brought into the event loop, so that a program asked to stop ends its
// work in order (the exchange under way, the records) instead of dying in the middle of it:
// the handler only writes the signal's number into a socket pair, whose reading end the
// program watches.
//
// Returns false when the signals cannot be caught; a signal then ends the program as it
// always does.
bool CatchStopSignals();
// The end to watch (a QSocketNotifier, or a wait's interrupt), -1 when not caught.
int StopSignalFd();
// The number of a signal that has come, taken off the pair; 0 when none is waiting.
int TakeStopSignal();
// Puts `signal` back, as though it had come again.
void RepeatStopSignal(int signal);

} // namespace zelcor
