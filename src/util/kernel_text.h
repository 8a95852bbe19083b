// Readers of the small text files in which the Linux kernel reports processors and memory
// (/proc/meminfo, /proc/self/status, processor lists of /sys/devices/system/cpu).
//
// They take the text as it was read and never allocate; whatever is missing, malformed or out
// of range comes back as no value rather than as a misread number.
#ifndef PYX_UTIL_KERNEL_TEXT_H_
#define PYX_UTIL_KERNEL_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "util/system_info.h"

namespace Vane {

// The value in bytes of the line "<name>:<blanks><digits> kB" of `text` (a line of
// /proc/meminfo or /proc/self/status); none when there is no such line, its number is
// malformed, its unit is not "kB" or the bytes do not fit in 64 bits.
std::optional<uint64_t> FindKilobyteField(std::string_view text, std::string_view name) noexcept;

// The system's figures from the text of /proc/meminfo: MemTotal, MemAvailable, CommitLimit and
// CommitLimit minus Committed_AS (0 when more is committed than the limit).
SystemMemory SystemMemoryFromMeminfo(std::string_view text) noexcept;

// The process's figures from the text of /proc/<pid>/status: VmRSS, VmHWM and VmSize.
ProcessMemory ProcessMemoryFromStatus(std::string_view text) noexcept;

// A range of processor numbers, both ends included.
struct CpuRange {
    uint32_t first;
    uint32_t last;
};

// Parses a processor list as the kernel writes it ("0-3,8,10-11" and a line feed) into at most
// `capacity` ranges and returns their count; none when the text is empty or malformed, a range
// runs backwards, or it holds more than `capacity` ranges.
std::optional<size_t> ParseCpuList(std::string_view text, CpuRange* ranges,
                                   size_t capacity) noexcept;

}  // namespace Vane

#endif  // PYX_UTIL_KERNEL_TEXT_H_
