// Ending the program from outside: SIGTERM (a shutdown, `kill`), SIGHUP (the terminal or the
// session went away) and SIGINT (Ctrl+C in the terminal that started it) become one call on the
// event loop, so that the program can run its normal closing steps instead of dying wherever it
// was (in the middle of a board write, with a transmitter keyed).
//
// The signal handler only writes a byte into a pipe; a socket notifier on the other end calls
// the handler given here from the event loop, once per signal. On Windows the console's events
// take their place: Ctrl+C and Ctrl+Break come as SIGINT, a closed console, a logoff or a
// shutdown as SIGTERM (the window program hears a session's end through Qt instead).
#pragma once

#include <functional>

namespace calvento {

// Installs the handlers; `onSignal` gets the signal's number. Call once, after the application
// object exists.
void HandleTerminationSignals(std::function<void(int signal)> onSignal);

}  // namespace calvento
