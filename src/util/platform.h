// The few operating-system services the log needs, behind one portable interface.
//
// Linux is the native build; the Windows branches only map the same calls onto the kernel's
// own services.
#ifndef PYX_UTIL_PLATFORM_H_
#define PYX_UTIL_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace Vane::Platform {

// Wall-clock time in the local time zone, broken down.
struct LocalTime {
    int32_t year = 0;         // e.g. 2024
    int32_t month = 0;        // 1..12
    int32_t day = 0;          // 1..31
    int32_t hour = 0;         // 0..23
    int32_t minute = 0;       // 0..59
    int32_t second = 0;       // 0..60 (a leap second may show as 60)
    int32_t millisecond = 0;  // 0..999
};

// Receives every text given to DebugOutput while installed.
using DebugOutputSink = std::function<void(const char* text)>;

// The current local time with millisecond resolution.
LocalTime GetLocalTime();

// The operating system's id of the calling thread, as a 32-bit value.
uint32_t CurrentThreadId();

// The file name (without directories) of the running executable, at most 1024 characters;
// empty when it cannot be read.
std::string ExecutableFileName();

// Seconds elapsed since the first call of this function in the process (monotonic, at
// least microsecond resolution; the performance counter on Windows).
double HighResolutionSeconds();

// The usable size of a block from the C library's malloc, realloc or strdup
// (malloc_usable_size on Linux, _msize on Windows); 0 for null. Takes a pointer to non-const
// like both of those: a fresh block is uninitialised, and a const pointer tells the compiler
// it is read.
size_t HeapBlockSize(void* block);

// Hands text to the platform's debugger output channel (OutputDebugStringA on Windows; no
// channel on Linux) and to the installed sink, if any. A null text is ignored. Calls are
// serialised, and the sink is called on the caller's thread.
void DebugOutput(const char* text);

// Installs sink (an empty function removes it) and returns the previous one. Once this
// returns, the previous sink is no longer called.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

}  // namespace Vane::Platform

#endif  // PYX_UTIL_PLATFORM_H_
