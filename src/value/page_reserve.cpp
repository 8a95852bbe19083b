#include "value/page_reserve.h"

#include <algorithm>
#include <bit>
#include <new>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace Vane {
namespace {

constexpr uint16_t kAllPagesUsed = 0xFFFF;
static_assert(PageReserve::kPagesPerRegion == 16, "the used mask holds one bit per page");
constexpr unsigned kRegionShift = 16;
static_assert(PageReserve::kRegionSize == size_t{1} << kRegionShift);
constexpr size_t kFirstTableSize = 16;

// Maps a region of kRegionSize bytes aligned to kRegionSize, committed read-write.
void* MapAlignedRegion() noexcept {
#if defined(_WIN32)
    // VirtualAlloc hands out address space on 64 KiB boundaries already.
    return VirtualAlloc(nullptr, PageReserve::kRegionSize, MEM_RESERVE | MEM_COMMIT,
                        PAGE_READWRITE);
#else
    // mmap only promises the system page alignment: map twice the size and trim both ends.
    const size_t span = 2 * PageReserve::kRegionSize;
    void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned =
        (start + PageReserve::kRegionSize - 1) & ~(uintptr_t{PageReserve::kRegionSize} - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const uintptr_t end = aligned + PageReserve::kRegionSize;
    if (start + span > end) munmap(reinterpret_cast<void*>(end), start + span - end);
    return reinterpret_cast<void*>(aligned);
#endif
}

void UnmapRegion(uintptr_t base) noexcept {
#if defined(_WIN32)
    VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE);
#else
    munmap(reinterpret_cast<void*>(base), PageReserve::kRegionSize);
#endif
}

}  // namespace

PageReserve& PageReserve::Instance() noexcept {
    // Never destroyed: stores destroyed during exit still return their pages here.
    static PageReserve* const reserve = new PageReserve();
    return *reserve;
}

size_t PageReserve::Home(uintptr_t base) const noexcept {
    const uint64_t key = static_cast<uint64_t>(base >> kRegionShift);
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (table_.size() - 1);
}

PageReserve::Region* PageReserve::Find(uintptr_t base) noexcept {
    if (table_.empty()) return nullptr;
    const size_t mask = table_.size() - 1;
    for (size_t index = Home(base);; index = (index + 1) & mask) {
        if (table_[index].base == base) return &table_[index];
        if (table_[index].base == 0) return nullptr;
    }
}

bool PageReserve::Rehash(size_t slots) noexcept {
    std::vector<Region> old;
    try {
        old.assign(slots, Region());
    } catch (const std::bad_alloc&) {
        return false;
    }
    old.swap(table_);
    const size_t mask = slots - 1;
    for (const Region& region : old) {
        if (region.base == 0) continue;
        size_t index = Home(region.base);
        while (table_[index].base != 0) index = (index + 1) & mask;
        table_[index] = region;
    }
    return true;
}

bool PageReserve::Insert(uintptr_t base) noexcept {
    if ((regionCount_ + 1) * 2 > table_.size() &&
        !Rehash(table_.empty() ? kFirstTableSize : table_.size() * 2)) {
        return false;
    }
    // Room for every region in the free list, so that ReleasePage never allocates.
    try {
        if (withFreePages_.capacity() < regionCount_ + 1) {
            withFreePages_.reserve(2 * (regionCount_ + 1));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t mask = table_.size() - 1;
    size_t index = Home(base);
    while (table_[index].base != 0) index = (index + 1) & mask;
    table_[index] = Region{base, 0, false};
    ++regionCount_;
    return true;
}

void PageReserve::Erase(Region* region) noexcept {
    // Backward-shift deletion keeps every probe chain unbroken without tombstones.
    const size_t mask = table_.size() - 1;
    size_t hole = static_cast<size_t>(region - table_.data());
    table_[hole] = Region();
    for (size_t next = (hole + 1) & mask; table_[next].base != 0; next = (next + 1) & mask) {
        const size_t home = Home(table_[next].base);
        // The entry may fill the hole unless its home lies cyclically in (hole, next].
        const bool stays =
            hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (stays) continue;
        table_[hole] = table_[next];
        table_[next] = Region();
        hole = next;
    }
    --regionCount_;
}

void PageReserve::Unlist(uintptr_t base) noexcept {
    for (size_t index = withFreePages_.size(); index-- > 0;) {
        if (withFreePages_[index] == base) {
            withFreePages_[index] = withFreePages_.back();
            withFreePages_.pop_back();
            return;
        }
    }
}

PageReserve::Region* PageReserve::MapRegion() noexcept {
    void* memory = MapAlignedRegion();
    if (!memory) return nullptr;
    const uintptr_t base = reinterpret_cast<uintptr_t>(memory);
    if (!Insert(base)) {
        UnmapRegion(base);
        return nullptr;
    }
    ++statistics_.regionsMapped;
    ++statistics_.regionsHeld;
    ++statistics_.regionsFree;
    highWaterRegions_ = std::max(highWaterRegions_, statistics_.regionsHeld);
    Region* region = Find(base);
    region->listed = true;
    withFreePages_.push_back(base);  // capacity reserved by Insert
    return region;
}

void* PageReserve::AcquirePage() noexcept {
    MutexLock lock(mutex_);
    Region* region = withFreePages_.empty() ? MapRegion() : Find(withFreePages_.back());
    if (!region) return nullptr;
    if (region->usedMask == 0) --statistics_.regionsFree;
    const int index = std::countr_one(region->usedMask);
    region->usedMask = static_cast<uint16_t>(region->usedMask | (1u << index));
    if (region->usedMask == kAllPagesUsed) {
        region->listed = false;
        Unlist(region->base);
    }
    ++statistics_.pagesInUse;
    return reinterpret_cast<void*>(region->base + static_cast<uintptr_t>(index) * kPageSize);
}

void PageReserve::Unmap(Region* region) noexcept {
    const uintptr_t base = region->base;
    if (region->listed) Unlist(base);
    Erase(region);
    UnmapRegion(base);
    --statistics_.regionsHeld;
    ++statistics_.regionsReturned;
}

void PageReserve::ReleasePage(void* page) noexcept {
    if (!page) return;
    const uintptr_t address = reinterpret_cast<uintptr_t>(page);
    const uintptr_t base = address & ~(uintptr_t{kRegionSize} - 1);
    const unsigned index = static_cast<unsigned>((address - base) / kPageSize);
    MutexLock lock(mutex_);
    Region* region = Find(base);
    if (!region) return;
    const uint16_t bit = static_cast<uint16_t>(1u << index);
    if (!(region->usedMask & bit)) return;  // not handed out: ignore rather than corrupt
    region->usedMask = static_cast<uint16_t>(region->usedMask & ~bit);
    --statistics_.pagesInUse;
    if (region->usedMask == 0) {
        const size_t keep =
            std::clamp(highWaterRegions_, size_t{kCachedRegions}, size_t{kMaxCachedRegions});
        if (statistics_.regionsFree >= keep) {
            Unmap(region);
            return;
        }
        ++statistics_.regionsFree;
    }
    if (!region->listed) {
        region->listed = true;
        withFreePages_.push_back(base);  // capacity covers every region
    }
}

void PageReserve::Trim() noexcept {
    MutexLock lock(mutex_);
    // Erasing shifts table entries, so collect the empty regions first.
    uintptr_t empty[kMaxCachedRegions];
    size_t count = 0;
    for (const Region& region : table_) {
        if (region.base != 0 && region.usedMask == 0 && count < kMaxCachedRegions) {
            empty[count++] = region.base;
        }
    }
    for (size_t index = 0; index < count; ++index) Unmap(Find(empty[index]));
    statistics_.regionsFree = 0;
    highWaterRegions_ = statistics_.regionsHeld;
}

PageReserveStatistics PageReserve::Statistics() const noexcept {
    MutexLock lock(mutex_);
    return statistics_;
}

}  // namespace Vane
