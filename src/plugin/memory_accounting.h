// Counting of the framework's heap blocks, reported to the host by the memory statistics
// callback.
#ifndef PYX_PLUGIN_MEMORY_ACCOUNTING_H_
#define PYX_PLUGIN_MEMORY_ACCOUNTING_H_

#include <array>
#include <cstdint>

namespace Vane {

// Indices of the six counters, in the order the host receives them.
enum MemoryCounter : int {
    kPeakBytesInUse = 0,
    kPeakBlocksInUse = 1,
    kBytesAllocated = 2,
    kAllocations = 3,
    kBytesFreed = 4,
    kFrees = 5,
};

// Installs the counting hooks behind every framework heap block (see util/memory_hooks.h).
// Idempotent; true when the counting hooks are the process's hooks.
bool InstallCountingMemoryHooks() noexcept;

// The six counters as they are now.
std::array<uint64_t, 6> MemoryCounters() noexcept;

// Test seam for allocation-failure tests, never armed by the product: from now on the `nth`
// allocation, reallocation or string copy through the counting hooks (1: the next one) fails
// as if memory ran out, and with `persistent` every one after it too. 0 disarms and clears the
// count of refusals. Refused calls are not counted as allocations.
void ArmAllocationFailure(uint64_t nth, bool persistent) noexcept;

// How many calls the armed failure refused since it was last armed or disarmed.
uint64_t RefusedAllocations() noexcept;

// Fills the host's fourteen-word record: the six counters, low word first, then two zero words.
void FillMemoryStatistics(uint32_t out[14]) noexcept;

}  // namespace Vane

#endif  // PYX_PLUGIN_MEMORY_ACCOUNTING_H_
