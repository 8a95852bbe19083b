// What the process can learn about the machine and about itself for diagnostics: the processor
// topology and the system's and the process's memory figures.
//
// Every reading here works without the heap (stack buffers and plain system calls only), so it
// can run before anything else in the process allocates and describe the process as the host
// left it. A figure that cannot be read is absent (std::nullopt), never a guess.
#ifndef PYX_UTIL_SYSTEM_INFO_H_
#define PYX_UTIL_SYSTEM_INFO_H_

#include <cstdint>
#include <optional>

namespace Vane {

struct ProcessorTopology {
    // Logical processors (hardware threads) the system has online.
    std::optional<uint32_t> logicalProcessors;
    // Physical cores those logical processors belong to.
    std::optional<uint32_t> cores;
    // Processor packages (sockets) those cores belong to.
    std::optional<uint32_t> packages;
};

struct SystemMemory {
    // Physical memory of the system, and the part of it available to programs without swapping.
    std::optional<uint64_t> totalPhysicalBytes;
    std::optional<uint64_t> availablePhysicalBytes;
    // The system's commit limit (physical memory plus page file or swap as the system counts
    // it), and what of it is not committed yet. Windows reports these as its page-file
    // figures; Linux as CommitLimit and CommitLimit minus Committed_AS (0 when overcommitted).
    std::optional<uint64_t> commitLimitBytes;
    std::optional<uint64_t> commitAvailableBytes;
};

struct ProcessMemory {
    // The process's resident memory (its working set) now and at its peak.
    std::optional<uint64_t> residentBytes;
    std::optional<uint64_t> peakResidentBytes;
    // The virtual address space the process has in use.
    std::optional<uint64_t> virtualBytes;
};

struct SystemFigures {
    ProcessorTopology processors;
    SystemMemory system;
    ProcessMemory process;
};

// The processor topology of the system. Linux: the online processors of
// /sys/devices/system/cpu and their topology files (the number of online processors alone when
// those cannot be read); Windows: GetLogicalProcessorInformation. Never allocates.
ProcessorTopology ProbeProcessorTopology() noexcept;

// The system's memory figures now. Linux: /proc/meminfo; Windows: GlobalMemoryStatusEx.
// Never allocates.
SystemMemory ReadSystemMemory() noexcept;

// The calling process's memory figures now. Linux: /proc/self/status; Windows:
// K32GetProcessMemoryInfo and GlobalMemoryStatusEx. Never allocates.
ProcessMemory ReadProcessMemory() noexcept;

// All three readings, the process's first. Never allocates.
SystemFigures ReadSystemFigures() noexcept;

#ifndef _WIN32
// ProbeProcessorTopology over the processor directory `cpuDirectory` (normally
// "/sys/devices/system/cpu"): the processors listed in its file "online", a core for each
// processor that comes first in its "cpuN/topology/thread_siblings_list" and a package for each
// that comes first in its "cpuN/topology/core_siblings_list". Cores and packages are unknown
// when one of those files cannot be read; everything is unknown without "online".
ProcessorTopology ProbeProcessorTopologyIn(const char* cpuDirectory) noexcept;
#endif

}  // namespace Vane

#endif  // PYX_UTIL_SYSTEM_INFO_H_
