// How the devhost program learns that it should stop: SIGINT or SIGTERM on Linux; Ctrl-C,
// Ctrl-Break or the console closing (log-off and shut-down too) on Windows. Process-wide.
#ifndef PYX_DEVHOST_STOP_REQUEST_H_
#define PYX_DEVHOST_STOP_REQUEST_H_

#include <string>

namespace Vane::DevHost {

// Takes stop requests over from the default handling, which ends the process at once. Call it
// before the program starts any thread: on Linux the signals are blocked here, every thread
// started later inherits that, and only WaitForStop takes them. False when it cannot. Calling
// it again changes nothing.
bool InstallStopHandling();

// Blocks until a stop is requested and takes the request; what made it, as a user would name
// it ("SIGINT", "Ctrl-C", ...). Requests that arrive before one is taken may count as one.
std::string WaitForStop();

// Requests a stop from inside the program (when serving fails, say). Any thread.
void RequestStop();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_STOP_REQUEST_H_
