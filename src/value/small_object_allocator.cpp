#include "value/small_object_allocator.h"

#include <array>
#include <cstring>

// Under AddressSanitizer, free and never-used slots are poisoned so that a use after free
// inside a page is reported like one on the general heap.
#if defined(__SANITIZE_ADDRESS__)
#define PYX_POOL_POISONING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PYX_POOL_POISONING 1
#endif
#endif
#if defined(PYX_POOL_POISONING)
#include <sanitizer/asan_interface.h>
#define PYX_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define PYX_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define PYX_POISON(address, size) ((void)(address), (void)(size))
#define PYX_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace Vane {

// Header at the start of every page; the slots follow it.
struct SmallObjectAllocator::PageHeader {
    PageHeader* previous;
    PageHeader* next;
    uint16_t freeHead;  // index of the first free slot, or kNoSlot
    uint16_t used;      // slots handed out
    uint16_t carved;    // slots ever handed out since the page was taken; the rest are fresh
    uint16_t capacity;  // slots on the page
};

namespace {

using PageHeader = SmallObjectAllocator::PageHeader;

constexpr uint16_t kNoSlot = 0xFFFF;
constexpr size_t kSlotAlignment = 8;
constexpr size_t kPageHeaderSize =
    (sizeof(PageHeader) + kSlotAlignment - 1) / kSlotAlignment * kSlotAlignment;
static_assert((SmallObjectAllocator::kPageSize - kPageHeaderSize) /
                      SmallObjectAllocator::kGranularity <
                  kNoSlot,
              "slot indices must fit in 16 bits");

constexpr size_t ClassIndex(size_t bytes) noexcept {
    return (bytes - 1) / SmallObjectAllocator::kGranularity;
}

uint16_t ReadLink(unsigned char* slot) noexcept {
    PYX_UNPOISON(slot, sizeof(uint16_t));
    uint16_t link;
    std::memcpy(&link, slot, sizeof link);
    return link;
}

void WriteLink(unsigned char* slot, uint16_t link) noexcept {
    std::memcpy(slot, &link, sizeof link);
}

unsigned char* SlotsOf(PageHeader* page) noexcept {
    return reinterpret_cast<unsigned char*>(page) + kPageHeaderSize;
}

void PushFront(PageHeader*& head, PageHeader* page) noexcept {
    page->previous = nullptr;
    page->next = head;
    if (head) head->previous = page;
    head = page;
}

void Unlink(PageHeader*& head, PageHeader* page) noexcept {
    if (page->previous) {
        page->previous->next = page->next;
    } else {
        head = page->next;
    }
    if (page->next) page->next->previous = page->previous;
    page->previous = page->next = nullptr;
}

void ResetPage(PageHeader* page, size_t slotSize) noexcept {
    page->previous = page->next = nullptr;
    page->freeHead = kNoSlot;
    page->used = 0;
    page->carved = 0;
    page->capacity =
        static_cast<uint16_t>((SmallObjectAllocator::kPageSize - kPageHeaderSize) / slotSize);
    PYX_POISON(SlotsOf(page), SmallObjectAllocator::kPageSize - kPageHeaderSize);
}

// Hands a page back to the reserve, clean of poison (its address may serve anything next).
void ReturnPage(void* page) noexcept {
    if (!page) return;
    PYX_UNPOISON(page, SmallObjectAllocator::kPageSize);
    PageReserve::Instance().ReleasePage(page);
}

}  // namespace

// Constants of one size class, computed at build time.
struct ClassShape {
    uint32_t slotSize;
    uint32_t reciprocal;  // ceil(2^32 / slotSize): slot offset -> index without a divide
    uint16_t blockSlots;  // slots in the class's own first block
};

constexpr auto kShapes = [] {
    std::array<ClassShape, SmallObjectAllocator::kClassCount> shapes{};
    for (size_t index = 0; index < shapes.size(); ++index) {
        const uint32_t slotSize =
            static_cast<uint32_t>((index + 1) * SmallObjectAllocator::kGranularity);
        shapes[index] = {slotSize,
                         static_cast<uint32_t>(((uint64_t{1} << 32) + slotSize - 1) / slotSize),
                         static_cast<uint16_t>(SmallObjectAllocator::kFirstBlockSize / slotSize)};
    }
    return shapes;
}();

// Index of the slot at byte `offset` of a run of slots: offset / slotSize, exact for offsets
// within a page (offset * (reciprocal - 2^32 / slotSize) stays below 2^32).
inline uint16_t SlotIndex(uintptr_t offset, uint32_t reciprocal) noexcept {
    return static_cast<uint16_t>((static_cast<uint64_t>(offset) * reciprocal) >> 32);
}

SmallObjectAllocator::SmallObjectAllocator() noexcept {
    for (SizeClass& sizeClass : classes_) sizeClass.blockFreeHead = kNoSlot;
    PYX_POISON(blocks_, sizeof blocks_);
}

SmallObjectAllocator::~SmallObjectAllocator() {
    for (SizeClass& sizeClass : classes_) {
        ReleasePages(sizeClass.partial);
        ReleasePages(sizeClass.full);
        ReturnPage(sizeClass.spare);
    }
    PYX_UNPOISON(blocks_, sizeof blocks_);
}

void SmallObjectAllocator::ReleasePages(PageHeader* list) noexcept {
    while (list) {
        PageHeader* next = list->next;
        ReturnPage(list);
        list = next;
    }
}

void* SmallObjectAllocator::Allocate(size_t bytes) noexcept {
    if (bytes == 0 || bytes > kMaxObjectSize) return nullptr;
    const size_t index = ClassIndex(bytes);
    SizeClass& sizeClass = classes_[index];
    const ClassShape& shape = kShapes[index];
    const size_t slotSize = shape.slotSize;
    unsigned char* block = blocks_[index];
    if (sizeClass.blockFreeHead != kNoSlot) {
        unsigned char* slot = block + sizeClass.blockFreeHead * slotSize;
        sizeClass.blockFreeHead = ReadLink(slot);
        ++sizeClass.slotsInUse;
        PYX_UNPOISON(slot, slotSize);
        return slot;
    }
    if (sizeClass.blockCarved < shape.blockSlots) {
        ++sizeClass.slotsInUse;
        unsigned char* slot = block + sizeClass.blockCarved++ * slotSize;
        PYX_UNPOISON(slot, slotSize);
        return slot;
    }
    return AllocateFromPages(sizeClass, slotSize);
}

void* SmallObjectAllocator::AllocateFromPages(SizeClass& sizeClass, size_t slotSize) noexcept {
    PageHeader* page = sizeClass.partial;
    if (!page) {
        page = sizeClass.spare;
        sizeClass.spare = nullptr;
        if (!page) {
            page = static_cast<PageHeader*>(PageReserve::Instance().AcquirePage());
            if (!page) return nullptr;
            ++sizeClass.pagesHeld;
        }
        ResetPage(page, slotSize);
        PushFront(sizeClass.partial, page);
    }
    unsigned char* slot;
    if (page->freeHead != kNoSlot) {
        slot = SlotsOf(page) + page->freeHead * slotSize;
        page->freeHead = ReadLink(slot);
    } else {
        slot = SlotsOf(page) + page->carved++ * slotSize;
    }
    if (++page->used == page->capacity) {
        Unlink(sizeClass.partial, page);
        PushFront(sizeClass.full, page);
    }
    ++sizeClass.slotsInUse;
    PYX_UNPOISON(slot, slotSize);
    return slot;
}

void SmallObjectAllocator::Deallocate(void* pointer, size_t bytes) noexcept {
    if (!pointer || bytes == 0 || bytes > kMaxObjectSize) return;
    const size_t index = ClassIndex(bytes);
    SizeClass& sizeClass = classes_[index];
    const ClassShape& shape = kShapes[index];
    const size_t slotSize = shape.slotSize;
    --sizeClass.slotsInUse;
    unsigned char* slot = static_cast<unsigned char*>(pointer);
    const uintptr_t address = reinterpret_cast<uintptr_t>(slot);
    const uintptr_t block = reinterpret_cast<uintptr_t>(blocks_[index]);
    if (address >= block && address < block + kFirstBlockSize) {
        WriteLink(slot, sizeClass.blockFreeHead);
        PYX_POISON(slot, slotSize);
        sizeClass.blockFreeHead = SlotIndex(address - block, shape.reciprocal);
        return;
    }
    PageHeader* page = reinterpret_cast<PageHeader*>(address & ~(uintptr_t{kPageSize} - 1));
    if (page->used == page->capacity) {
        Unlink(sizeClass.full, page);
        PushFront(sizeClass.partial, page);
    }
    WriteLink(slot, page->freeHead);
    PYX_POISON(slot, slotSize);
    page->freeHead =
        SlotIndex(address - reinterpret_cast<uintptr_t>(SlotsOf(page)), shape.reciprocal);
    if (--page->used == 0) {
        Unlink(sizeClass.partial, page);
        if (!sizeClass.spare) {
            sizeClass.spare = page;
        } else {
            ReturnPage(page);
            --sizeClass.pagesHeld;
        }
    }
}

SmallObjectAllocator::Statistics SmallObjectAllocator::GetStatistics() const noexcept {
    Statistics statistics;
    for (size_t index = 0; index < kClassCount; ++index) {
        statistics.slotsInUse += classes_[index].slotsInUse;
        statistics.bytesInUse += classes_[index].slotsInUse * (index + 1) * kGranularity;
        statistics.pagesHeld += classes_[index].pagesHeld;
    }
    return statistics;
}

}  // namespace Vane
