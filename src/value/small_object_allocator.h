// Per-store allocator of small records (4 to 72 bytes) carved from pages of the page reserve.
#ifndef PYX_VALUE_SMALL_OBJECT_ALLOCATOR_H_
#define PYX_VALUE_SMALL_OBJECT_ALLOCATOR_H_

#include <cstddef>
#include <cstdint>

#include "value/page_reserve.h"

namespace Vane {

// Serves the records of one value tree without touching the general heap: 18 size classes of
// 4 to 72 bytes in steps of 4 (requests are rounded up to a multiple of 4). Each class first
// serves from a 144-byte block of its own inside the allocator, then from 4096-byte pages of
// the process-wide PageReserve. A page holds a small header and equal slots; free slots are
// chained by 16-bit slot indices stored in the free slots themselves, and each page counts
// its used slots, so a page goes back to the reserve as soon as it is empty (one empty page
// per class is kept to avoid bouncing at a page boundary; the destructor returns it too).
//
// Slots are aligned to 8 bytes when their size is a multiple of 8 and to 4 bytes otherwise,
// so an object whose alignment is 8 (its size then being a multiple of 8) is always aligned.
// Not thread-safe: one allocator belongs to one store, used by one thread at a time.
class SmallObjectAllocator {
  public:
    static constexpr size_t kGranularity = 4;
    static constexpr size_t kClassCount = 18;
    static constexpr size_t kMaxObjectSize = kGranularity * kClassCount;  // 72
    static constexpr size_t kFirstBlockSize = 144;
    static constexpr size_t kPageSize = PageReserve::kPageSize;

    // Counters of one allocator.
    struct Statistics {
        size_t slotsInUse = 0;  // slots handed out and not yet given back
        size_t bytesInUse = 0;  // their slot sizes, summed
        size_t pagesHeld = 0;   // pages taken from the reserve and not yet given back
    };

    SmallObjectAllocator() noexcept;
    // Gives every page back to the reserve, including pages with slots still in use.
    ~SmallObjectAllocator();

    SmallObjectAllocator(const SmallObjectAllocator&) = delete;
    SmallObjectAllocator& operator=(const SmallObjectAllocator&) = delete;

    // The slot size serving a request of `bytes` (1 to 72): bytes rounded up to a multiple of 4.
    static constexpr size_t SlotSize(size_t bytes) noexcept {
        return (bytes + kGranularity - 1) / kGranularity * kGranularity;
    }

    // A slot of at least `bytes` bytes, or null when `bytes` is 0 or above kMaxObjectSize or
    // the reserve has no page to give.
    void* Allocate(size_t bytes) noexcept;

    // Gives back a slot; `bytes` must be the size passed to the Allocate that returned it.
    // Null is ignored.
    void Deallocate(void* pointer, size_t bytes) noexcept;

    // The allocator's counters.
    Statistics GetStatistics() const noexcept;

    // Header at the start of each page (an implementation detail of the .cpp).
    struct PageHeader;

  private:
    // State of one size class.
    struct SizeClass {
        PageHeader* partial = nullptr;  // pages with a free or never-used slot
        PageHeader* full = nullptr;     // pages with every slot in use
        PageHeader* spare = nullptr;    // one empty page kept back
        uint16_t blockFreeHead;         // first free slot of the own block
        uint16_t blockCarved = 0;       // slots of the own block ever handed out
        size_t slotsInUse = 0;
        size_t pagesHeld = 0;
    };

    void* AllocateFromPages(SizeClass& sizeClass, size_t slotSize) noexcept;
    void ReleasePages(PageHeader* list) noexcept;

    SizeClass classes_[kClassCount];
    alignas(8) unsigned char blocks_[kClassCount][kFirstBlockSize];
};

}  // namespace Vane

#endif  // PYX_VALUE_SMALL_OBJECT_ALLOCATOR_H_
