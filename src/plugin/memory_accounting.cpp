#include "plugin/memory_accounting.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "util/memory_hooks.h"
#include "util/platform.h"

namespace Vane {
namespace {

std::atomic<uint64_t> g_counters[6];
std::atomic<bool> g_ours{false};

// The failure seam: calls seen since arming, the one that fails first (0: none), whether the
// later ones fail too, and how many were refused.
std::atomic<uint64_t> g_seen{0};
std::atomic<uint64_t> g_failAt{0};
std::atomic<bool> g_failPersistent{false};
std::atomic<uint64_t> g_refused{0};

bool RefuseThisAllocation() noexcept {
    const uint64_t failAt = g_failAt.load(std::memory_order_acquire);
    if (failAt == 0) return false;
    const uint64_t seen = g_seen.fetch_add(1, std::memory_order_relaxed) + 1;
    const bool refuse =
        seen == failAt || (seen > failAt && g_failPersistent.load(std::memory_order_relaxed));
    if (refuse) g_refused.fetch_add(1, std::memory_order_relaxed);
    return refuse;
}

void CountAllocation(size_t bytes) noexcept {
    const uint64_t allocated =
        g_counters[kBytesAllocated].fetch_add(bytes, std::memory_order_relaxed) + bytes;
    const uint64_t allocations =
        g_counters[kAllocations].fetch_add(1, std::memory_order_relaxed) + 1;
    const uint64_t freed = g_counters[kBytesFreed].load(std::memory_order_relaxed);
    const uint64_t frees = g_counters[kFrees].load(std::memory_order_relaxed);
    // Racing threads may see each other's halves; the peak may lag briefly, never underflow.
    const uint64_t inUse = allocated >= freed ? allocated - freed : 0;
    if (inUse > g_counters[kPeakBytesInUse].load(std::memory_order_relaxed)) {
        g_counters[kPeakBytesInUse].store(inUse, std::memory_order_relaxed);
        g_counters[kPeakBlocksInUse].store(allocations >= frees ? allocations - frees : 0,
                                           std::memory_order_relaxed);
    }
}

void CountFree(size_t bytes) noexcept {
    g_counters[kBytesFreed].fetch_add(bytes, std::memory_order_relaxed);
    g_counters[kFrees].fetch_add(1, std::memory_order_relaxed);
}

void* CountingAllocate(void*, size_t bytes) {
    if (RefuseThisAllocation()) return nullptr;
    void* block = std::malloc(bytes);
    if (block) CountAllocation(Platform::HeapBlockSize(block));
    return block;
}

void CountingFree(void*, void* block) {
    if (!block) return;
    CountFree(Platform::HeapBlockSize(block));
    std::free(block);
}

void* CountingReallocate(void*, void* block, size_t bytes) {
    if (RefuseThisAllocation()) return nullptr;
    const size_t before = block ? Platform::HeapBlockSize(block) : 0;
    void* moved = std::realloc(block, bytes);
    if (!moved) return nullptr;
    if (block) CountFree(before);
    CountAllocation(Platform::HeapBlockSize(moved));
    return moved;
}

char* CountingDuplicate(void*, const char* text) {
    if (RefuseThisAllocation()) return nullptr;
    char* copy = strdup(text);
    if (copy) CountAllocation(Platform::HeapBlockSize(copy));
    return copy;
}

size_t CountingUsableSize(void*, const void* block) {
    return Platform::HeapBlockSize(const_cast<void*>(block));
}

}  // namespace

bool InstallCountingMemoryHooks() noexcept {
    if (g_ours.load(std::memory_order_acquire)) return true;
    const MemoryHooks hooks{CountingAllocate,  CountingFree,       CountingReallocate,
                            CountingDuplicate, CountingUsableSize, nullptr};
    if (InstallMemoryHooks(hooks)) g_ours.store(true, std::memory_order_release);
    return g_ours.load(std::memory_order_acquire);
}

std::array<uint64_t, 6> MemoryCounters() noexcept {
    std::array<uint64_t, 6> out{};
    for (int i = 0; i < 6; ++i) out[i] = g_counters[i].load(std::memory_order_relaxed);
    return out;
}

void ArmAllocationFailure(uint64_t nth, bool persistent) noexcept {
    g_failAt.store(0, std::memory_order_release);
    g_seen.store(0, std::memory_order_relaxed);
    g_refused.store(0, std::memory_order_relaxed);
    g_failPersistent.store(persistent, std::memory_order_relaxed);
    g_failAt.store(nth, std::memory_order_release);
}

uint64_t RefusedAllocations() noexcept {
    return g_refused.load(std::memory_order_relaxed);
}

void FillMemoryStatistics(uint32_t out[14]) noexcept {
    const std::array<uint64_t, 6> counters = MemoryCounters();
    for (int i = 0; i < 6; ++i) {
        out[2 * i] = static_cast<uint32_t>(counters[i]);
        out[2 * i + 1] = static_cast<uint32_t>(counters[i] >> 32);
    }
    out[12] = 0;
    out[13] = 0;
}

}  // namespace Vane
