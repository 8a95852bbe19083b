#include "util/system_info.h"

#include <bit>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>

// K32GetProcessMemoryInfo lives in kernel32 itself, so no further library is needed.
#define PSAPI_VERSION 2
#include <psapi.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include "util/kernel_text.h"
#endif

namespace Vane {

#ifdef _WIN32

namespace {

// Enough for every processor of a 32-bit process's group; a bigger answer counts as unknown.
constexpr DWORD kMaxProcessorEntries = 256;

}  // namespace

ProcessorTopology ProbeProcessorTopology() noexcept {
    ProcessorTopology topology;
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION entries[kMaxProcessorEntries];
    DWORD length = sizeof entries;
    if (::GetLogicalProcessorInformation(entries, &length)) {
        uint32_t logical = 0;
        uint32_t cores = 0;
        uint32_t packages = 0;
        const DWORD count = length / sizeof entries[0];
        for (DWORD i = 0; i < count; ++i) {
            if (entries[i].Relationship == RelationProcessorCore) {
                ++cores;
                logical += static_cast<uint32_t>(
                    std::popcount(static_cast<uint64_t>(entries[i].ProcessorMask)));
            } else if (entries[i].Relationship == RelationProcessorPackage) {
                ++packages;
            }
        }
        if (cores > 0) {
            topology.logicalProcessors = logical;
            topology.cores = cores;
        }
        if (packages > 0) topology.packages = packages;
    }
    if (!topology.logicalProcessors) {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        if (info.dwNumberOfProcessors > 0) topology.logicalProcessors = info.dwNumberOfProcessors;
    }
    return topology;
}

SystemMemory ReadSystemMemory() noexcept {
    SystemMemory memory;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return memory;
    memory.totalPhysicalBytes = status.ullTotalPhys;
    memory.availablePhysicalBytes = status.ullAvailPhys;
    memory.commitLimitBytes = status.ullTotalPageFile;
    memory.commitAvailableBytes = status.ullAvailPageFile;
    return memory;
}

ProcessMemory ReadProcessMemory() noexcept {
    ProcessMemory memory;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
        memory.residentBytes = counters.WorkingSetSize;
        memory.peakResidentBytes = counters.PeakWorkingSetSize;
    }
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (::GlobalMemoryStatusEx(&status) && status.ullTotalVirtual >= status.ullAvailVirtual) {
        memory.virtualBytes = status.ullTotalVirtual - status.ullAvailVirtual;
    }
    return memory;
}

#else

namespace {

// Room for /proc/meminfo and /proc/self/status, which stay well below it.
constexpr size_t kProcTextSize = 8192;
// Ranges of the online processor list kept; a list in more pieces counts as unknown.
constexpr size_t kMaxCpuRanges = 64;

// The text of the file at `path`, read with plain system calls into `buffer` (at most size - 1
// bytes, NUL-terminated); an empty text when it cannot be opened or read.
std::string_view ReadSmallFile(const char* path, char* buffer, size_t size) {
    buffer[0] = '\0';
    const int file = ::open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) return {};
    size_t used = 0;
    while (used + 1 < size) {
        const ssize_t got = ::read(file, buffer + used, size - 1 - used);
        if (got < 0) {
            used = 0;
            break;
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    ::close(file);
    buffer[used] = '\0';
    return std::string_view(buffer, used);
}

// The first processor of the list in the file `directory`/cpu`cpu`/topology/`name`.
std::optional<uint32_t> FirstSibling(const char* directory, uint32_t cpu, const char* name) {
    char path[512];
    const int length =
        std::snprintf(path, sizeof path, "%s/cpu%u/topology/%s", directory, cpu, name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return std::nullopt;
    char text[1024];
    CpuRange ranges[kMaxCpuRanges];
    std::optional<size_t> count =
        ParseCpuList(ReadSmallFile(path, text, sizeof text), ranges, kMaxCpuRanges);
    if (!count) return std::nullopt;
    return ranges[0].first;
}

}  // namespace

ProcessorTopology ProbeProcessorTopologyIn(const char* cpuDirectory) noexcept {
    ProcessorTopology topology;
    char path[512];
    const int length = std::snprintf(path, sizeof path, "%s/online", cpuDirectory);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return topology;
    char text[1024];
    CpuRange ranges[kMaxCpuRanges];
    const std::optional<size_t> count =
        ParseCpuList(ReadSmallFile(path, text, sizeof text), ranges, kMaxCpuRanges);
    if (!count) return topology;
    uint64_t logical = 0;
    uint32_t cores = 0;
    uint32_t packages = 0;
    bool coresKnown = true;
    bool packagesKnown = true;
    for (size_t r = 0; r < *count; ++r) {
        logical += uint64_t{ranges[r].last} - ranges[r].first + 1;
        for (uint64_t cpu = ranges[r].first; cpu <= ranges[r].last; ++cpu) {
            const uint32_t n = static_cast<uint32_t>(cpu);
            if (coresKnown) {
                const std::optional<uint32_t> first =
                    FirstSibling(cpuDirectory, n, "thread_siblings_list");
                coresKnown = first.has_value();
                cores += first == n ? 1 : 0;
            }
            if (packagesKnown) {
                const std::optional<uint32_t> first =
                    FirstSibling(cpuDirectory, n, "core_siblings_list");
                packagesKnown = first.has_value();
                packages += first == n ? 1 : 0;
            }
            if (!coresKnown && !packagesKnown) break;
        }
    }
    if (logical > UINT32_MAX) return topology;
    topology.logicalProcessors = static_cast<uint32_t>(logical);
    if (coresKnown && cores > 0) topology.cores = cores;
    if (packagesKnown && packages > 0) topology.packages = packages;
    return topology;
}

ProcessorTopology ProbeProcessorTopology() noexcept {
    ProcessorTopology topology = ProbeProcessorTopologyIn("/sys/devices/system/cpu");
    if (!topology.logicalProcessors) {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        if (online > 0 && online <= static_cast<long>(UINT32_MAX)) {
            topology.logicalProcessors = static_cast<uint32_t>(online);
        }
    }
    return topology;
}

SystemMemory ReadSystemMemory() noexcept {
    char text[kProcTextSize];
    return SystemMemoryFromMeminfo(ReadSmallFile("/proc/meminfo", text, sizeof text));
}

ProcessMemory ReadProcessMemory() noexcept {
    char text[kProcTextSize];
    return ProcessMemoryFromStatus(ReadSmallFile("/proc/self/status", text, sizeof text));
}

#endif

SystemFigures ReadSystemFigures() noexcept {
    SystemFigures figures;
    // The process first, before the other readings add anything to it.
    figures.process = ReadProcessMemory();
    figures.processors = ProbeProcessorTopology();
    figures.system = ReadSystemMemory();
    return figures;
}

}  // namespace Vane
