#include "util/platform.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <utility>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#else
#include <malloc.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace Vane::Platform {

namespace {

constexpr size_t kMaxExecutablePath = 1024;

// Recursive so a sink that itself writes debugger output cannot deadlock.
std::recursive_mutex& SinkMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

DebugOutputSink& Sink() {
    static DebugOutputSink sink;
    return sink;
}

// The part after the last directory separator (both kinds are accepted everywhere).
std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

LocalTime GetLocalTime() {
    LocalTime result;
#ifdef _WIN32
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    result.year = now.wYear;
    result.month = now.wMonth;
    result.day = now.wDay;
    result.hour = now.wHour;
    result.minute = now.wMinute;
    result.second = now.wSecond;
    result.millisecond = now.wMilliseconds;
#else
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm broken{};
    time_t seconds = now.tv_sec;
    if (localtime_r(&seconds, &broken) == nullptr) return result;
    result.year = broken.tm_year + 1900;
    result.month = broken.tm_mon + 1;
    result.day = broken.tm_mday;
    result.hour = broken.tm_hour;
    result.minute = broken.tm_min;
    result.second = broken.tm_sec;
    result.millisecond = static_cast<int32_t>(now.tv_nsec / 1000000);
#endif
    return result;
}

uint32_t CurrentThreadId() {
#ifdef _WIN32
    return static_cast<uint32_t>(::GetCurrentThreadId());
#else
    // The kernel's id is stable for the thread's life, so one system call per thread.
    thread_local const uint32_t id = static_cast<uint32_t>(::syscall(SYS_gettid));
    return id;
#endif
}

std::string ExecutableFileName() {
    char path[kMaxExecutablePath + 1] = {};
#ifdef _WIN32
    DWORD length = ::GetModuleFileNameA(nullptr, path, static_cast<DWORD>(kMaxExecutablePath));
    if (length == 0) return {};
#else
    ssize_t length = ::readlink("/proc/self/exe", path, kMaxExecutablePath);
    if (length <= 0) return {};
#endif
    return FileNamePart(std::string(path, static_cast<size_t>(length)));
}

double HighResolutionSeconds() {
#ifdef _WIN32
    // The counter's frequency is fixed at boot; both are read once.
    static const double ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        return ::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0
                   ? static_cast<double>(frequency.QuadPart)
                   : 1.0;
    }();
    static const LONGLONG start = [] {
        LARGE_INTEGER now;
        return ::QueryPerformanceCounter(&now) ? now.QuadPart : 0;
    }();
    LARGE_INTEGER now;
    if (!::QueryPerformanceCounter(&now)) return 0.0;
    return static_cast<double>(now.QuadPart - start) / ticksPerSecond;
#else
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point start = Clock::now();
    return std::chrono::duration<double>(Clock::now() - start).count();
#endif
}

size_t HeapBlockSize(void* block) {
    if (block == nullptr) return 0;
#ifdef _WIN32
    return ::_msize(block);
#else
    return ::malloc_usable_size(block);
#endif
}

void DebugOutput(const char* text) {
    if (text == nullptr) return;
#ifdef _WIN32
    ::OutputDebugStringA(text);
#endif
    std::lock_guard<std::recursive_mutex> guard(SinkMutex());
    if (Sink()) {
        try {
            Sink()(text);
        } catch (...) {
            // A failing observer must not break the program that logs.
        }
    }
}

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
    std::lock_guard<std::recursive_mutex> guard(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

}  // namespace Vane::Platform
