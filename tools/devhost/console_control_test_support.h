// Console control events (Ctrl-C, Ctrl-Break, close) delivered to a Windows process the way
// the system delivers them: by starting a thread in it at CtrlRoutine, which runs the
// process's handlers. GenerateConsoleCtrlEvent needs a console shared with the target, which
// a test run without a terminal (CTest, a headless Wine) does not have.
#ifndef PYX_DEVHOST_CONSOLE_CONTROL_TEST_SUPPORT_H_
#define PYX_DEVHOST_CONSOLE_CONTROL_TEST_SUPPORT_H_

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace Vane::DevHost::testing {

// Starts the delivery of `event` (CTRL_C_EVENT, ...) in `process`, which needs
// PROCESS_CREATE_THREAD access and the bitness of this program (system DLLs sit at the same
// address in every process of a session). False when it cannot be started.
inline bool DeliverConsoleControl(HANDLE process, DWORD event) {
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const FARPROC routine = kernel != nullptr ? ::GetProcAddress(kernel, "CtrlRoutine") : nullptr;
    if (routine == nullptr) return false;
    LPTHREAD_START_ROUTINE start = nullptr;
    static_assert(sizeof start == sizeof routine, "both are code addresses");
    std::memcpy(&start, &routine, sizeof start);
    void* argument = reinterpret_cast<void*>(static_cast<uintptr_t>(event));
    const HANDLE thread = ::CreateRemoteThread(process, nullptr, 0, start, argument, 0, nullptr);
    if (thread == nullptr) return false;
    ::CloseHandle(thread);
    return true;
}

}  // namespace Vane::DevHost::testing

#endif  // _WIN32

#endif  // PYX_DEVHOST_CONSOLE_CONTROL_TEST_SUPPORT_H_
