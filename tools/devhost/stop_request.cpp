#include "devhost/stop_request.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace Vane::DevHost {

#ifdef _WIN32

namespace {

// What RequestStop records; the console control events are all below it.
constexpr long kRequestedFromInside = 0x10000;
constexpr long kNone = -1;

// Set with every request, reset as WaitForStop wakes (auto-reset). Never closed: a console
// event can come at any time.
HANDLE stopEvent = nullptr;
// The kind of the request not yet taken, kNone when there is none.
std::atomic<long> pending{kNone};

void Record(long kind) {
    long none = kNone;
    pending.compare_exchange_strong(none, kind);
    ::SetEvent(stopEvent);
}

const char* Name(long kind) {
    switch (kind) {
        case CTRL_C_EVENT:
            return "Ctrl-C";
        case CTRL_BREAK_EVENT:
            return "Ctrl-Break";
        case CTRL_CLOSE_EVENT:
            return "console close";
        case CTRL_LOGOFF_EVENT:
            return "log-off";
        case CTRL_SHUTDOWN_EVENT:
            return "shut-down";
        default:
            return "stop request";
    }
}

// Runs on a thread the system starts for each console event.
BOOL WINAPI OnConsoleControl(DWORD type) {
    Record(static_cast<long>(type));
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) return TRUE;
    // The console is closing (or the user logs off, or the system shuts down): the system ends
    // the process as soon as this returns. Not returning lets the main thread stop the plugin
    // and end the process itself, with its own exit status; the system's own time limit for
    // this still applies.
    ::Sleep(INFINITE);
    return TRUE;
}

}  // namespace

bool InstallStopHandling() {
    if (stopEvent == nullptr) stopEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (stopEvent == nullptr) return false;
    // A program started as a new process group (as launchers and tests do) inherits Ctrl-C
    // turned off; devhost wants it back. Without a console there is nothing to turn on.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    return ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

std::string WaitForStop() {
    // A request recorded while an earlier one was being taken may leave the event set with
    // nothing pending; that wake is passed over.
    for (;;) {
        ::WaitForSingleObject(stopEvent, INFINITE);
        const long kind = pending.exchange(kNone);
        if (kind != kNone) return Name(kind);
    }
}

void RequestStop() {
    Record(kRequestedFromInside);
}

#else

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

bool InstallStopHandling() {
    const sigset_t signals = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
    // A client that goes away mid-answer must not end the program.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

std::string WaitForStop() {
    const sigset_t signals = StopSignals();
    int signal = 0;
    sigwait(&signals, &signal);
    return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

void RequestStop() {
    kill(getpid(), SIGTERM);
}

#endif

}  // namespace Vane::DevHost
