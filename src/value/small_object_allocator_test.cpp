#include "value/small_object_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "value/page_reserve.h"

namespace Vane {
namespace {

constexpr size_t kPageSize = SmallObjectAllocator::kPageSize;

uintptr_t Address(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

TEST(SmallObjectAllocatorTest, RejectsSizesOutsideTheClasses) {
    SmallObjectAllocator allocator;
    EXPECT_EQ(allocator.Allocate(0), nullptr);
    EXPECT_EQ(allocator.Allocate(73), nullptr);
    EXPECT_EQ(allocator.GetStatistics().slotsInUse, 0u);
    allocator.Deallocate(nullptr, 8);
}

TEST(SmallObjectAllocatorTest, RoundsRequestsUpToMultiplesOfFour) {
    const std::pair<size_t, size_t> cases[] = {{1, 4},  {4, 4},   {5, 8},  {8, 8},
                                               {9, 12}, {70, 72}, {72, 72}};
    for (const auto& [request, slot] : cases) {
        EXPECT_EQ(SmallObjectAllocator::SlotSize(request), slot);
        SmallObjectAllocator allocator;
        void* pointer = allocator.Allocate(request);
        ASSERT_NE(pointer, nullptr);
        EXPECT_EQ(allocator.GetStatistics().bytesInUse, slot) << request;
        allocator.Deallocate(pointer, request);
        EXPECT_EQ(allocator.GetStatistics().bytesInUse, 0u);
    }
}

TEST(SmallObjectAllocatorTest, FirstBlockServesBeforeAnyPage) {
    for (size_t size = 4; size <= SmallObjectAllocator::kMaxObjectSize; size += 4) {
        SmallObjectAllocator allocator;
        const size_t inBlock = SmallObjectAllocator::kFirstBlockSize / size;
        std::vector<void*> slots;
        for (size_t index = 0; index < inBlock; ++index) slots.push_back(allocator.Allocate(size));
        EXPECT_EQ(allocator.GetStatistics().pagesHeld, 0u) << size;
        slots.push_back(allocator.Allocate(size));
        EXPECT_EQ(allocator.GetStatistics().pagesHeld, 1u) << size;
        for (void* slot : slots) allocator.Deallocate(slot, size);
    }
}

// Fills every slot with its own pattern, then checks that no slot overwrote another, that
// slots are aligned, and that freed slots are reused before new pages are taken.
TEST(SmallObjectAllocatorTest, SlotsAreDisjointAlignedAndReused) {
    for (size_t size = 4; size <= SmallObjectAllocator::kMaxObjectSize; size += 4) {
        SCOPED_TRACE(size);
        SmallObjectAllocator allocator;
        const size_t count = 3 * kPageSize / size;
        std::vector<unsigned char*> slots;
        for (size_t index = 0; index < count; ++index) {
            auto* slot = static_cast<unsigned char*>(allocator.Allocate(size));
            ASSERT_NE(slot, nullptr);
            ASSERT_EQ(Address(slot) % (size % 8 == 0 ? 8 : 4), 0u);
            std::memset(slot, static_cast<int>(index % 251), size);
            slots.push_back(slot);
        }
        for (size_t index = 0; index < count; ++index) {
            for (size_t byte = 0; byte < size; ++byte) {
                ASSERT_EQ(slots[index][byte], index % 251);
            }
        }
        const size_t pages = allocator.GetStatistics().pagesHeld;
        allocator.Deallocate(slots[count / 2], size);
        EXPECT_EQ(allocator.Allocate(size), slots[count / 2]);
        EXPECT_EQ(allocator.GetStatistics().pagesHeld, pages);
        EXPECT_EQ(allocator.GetStatistics().slotsInUse, count);
        for (unsigned char* slot : slots) allocator.Deallocate(slot, size);
        EXPECT_EQ(allocator.GetStatistics().slotsInUse, 0u);
        EXPECT_LE(allocator.GetStatistics().pagesHeld, 1u);  // at most the kept spare
    }
}

// Random allocations and frees of every size against a model of the live slots.
TEST(SmallObjectAllocatorTest, RandomTrafficKeepsSlotsIntact) {
    SmallObjectAllocator allocator;
    std::mt19937 random(1234);
    struct Live {
        size_t size;
        unsigned char tag;
    };
    std::map<unsigned char*, Live> live;
    std::vector<unsigned char*> order;
    for (int step = 0; step < 60000; ++step) {
        if (order.empty() || random() % 100 < 55) {
            const size_t size = 1 + random() % SmallObjectAllocator::kMaxObjectSize;
            auto* slot = static_cast<unsigned char*>(allocator.Allocate(size));
            ASSERT_NE(slot, nullptr);
            auto next = live.lower_bound(slot);
            if (next != live.end()) {
                ASSERT_GE(Address(next->first), Address(slot) + size);
            }
            if (next != live.begin()) {
                auto previous = std::prev(next);
                ASSERT_LE(Address(previous->first) + previous->second.size, Address(slot));
            }
            const auto tag = static_cast<unsigned char>(step);
            std::memset(slot, tag, size);
            live[slot] = {size, tag};
            order.push_back(slot);
        } else {
            const size_t pick = random() % order.size();
            unsigned char* slot = order[pick];
            order[pick] = order.back();
            order.pop_back();
            const Live entry = live[slot];
            for (size_t byte = 0; byte < entry.size; ++byte) ASSERT_EQ(slot[byte], entry.tag);
            allocator.Deallocate(slot, entry.size);
            live.erase(slot);
        }
    }
    EXPECT_EQ(allocator.GetStatistics().slotsInUse, live.size());
    for (const auto& [slot, entry] : live) allocator.Deallocate(slot, entry.size);
    EXPECT_EQ(allocator.GetStatistics().slotsInUse, 0u);
}

TEST(PageReserveTest, HandsOutAlignedDistinctPagesAndReturnsEmptyRegions) {
    PageReserve& reserve = PageReserve::Instance();
    reserve.Trim();
    const PageReserveStatistics before = reserve.Statistics();
    EXPECT_EQ(before.regionsFree, 0u);
    const size_t count = 3 * PageReserve::kPagesPerRegion + 5;
    std::vector<void*> pages;
    for (size_t index = 0; index < count; ++index) {
        void* page = reserve.AcquirePage();
        ASSERT_NE(page, nullptr);
        ASSERT_EQ(Address(page) % kPageSize, 0u);
        std::memset(page, 0xAB, kPageSize);  // committed read-write
        pages.push_back(page);
    }
    std::vector<void*> sorted = pages;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    const PageReserveStatistics during = reserve.Statistics();
    EXPECT_EQ(during.pagesInUse - before.pagesInUse, count);
    EXPECT_GE(during.regionsHeld - before.regionsHeld, 3u);

    // Freeing all but one page of every region keeps the regions.
    std::map<uintptr_t, std::vector<void*>> byRegion;
    for (void* page : pages)
        byRegion[Address(page) & ~(PageReserve::kRegionSize - 1)].push_back(page);
    for (auto& [base, regionPages] : byRegion) {
        for (size_t index = 1; index < regionPages.size(); ++index)
            reserve.ReleasePage(regionPages[index]);
    }
    EXPECT_EQ(reserve.Statistics().regionsHeld, during.regionsHeld);
    EXPECT_EQ(reserve.Statistics().regionsFree, 0u);
    // Emptied regions are kept for reuse (a few here, below the limit) until trimmed.
    for (auto& [base, regionPages] : byRegion) reserve.ReleasePage(regionPages[0]);
    const PageReserveStatistics released = reserve.Statistics();
    EXPECT_EQ(released.pagesInUse, before.pagesInUse);
    EXPECT_EQ(released.regionsFree, released.regionsHeld - before.regionsHeld);
    reserve.ReleasePage(pages[0]);  // a page given back twice is ignored
    EXPECT_EQ(reserve.Statistics().pagesInUse, before.pagesInUse);
    reserve.Trim();
    const PageReserveStatistics after = reserve.Statistics();
    EXPECT_EQ(after.regionsHeld, before.regionsHeld);
    EXPECT_EQ(after.regionsFree, 0u);
    EXPECT_EQ(after.regionsReturned - before.regionsReturned,
              after.regionsMapped - before.regionsMapped);
}

TEST(PageReserveTest, KeepsEmptyRegionsUpToTheHighWaterMarkWithinTheCap) {
    PageReserve& reserve = PageReserve::Instance();
    auto fill = [&](size_t regions, std::vector<void*>& pages) {
        for (size_t index = 0; index < regions * PageReserve::kPagesPerRegion; ++index) {
            pages.push_back(reserve.AcquirePage());
            ASSERT_NE(pages.back(), nullptr);
        }
    };
    reserve.Trim();
    const PageReserveStatistics before = reserve.Statistics();
    // Beyond the floor of kCachedRegions: a workload that needed these regions gets them all
    // back on its next run, without mapping anything.
    const size_t regions = PageReserve::kCachedRegions + 8;
    std::vector<void*> pages;
    fill(regions, pages);
    for (void* page : pages) reserve.ReleasePage(page);
    const PageReserveStatistics after = reserve.Statistics();
    EXPECT_EQ(after.pagesInUse, before.pagesInUse);
    EXPECT_EQ(after.regionsHeld - before.regionsHeld, regions);
    EXPECT_EQ(after.regionsFree, regions);
    pages.clear();
    fill(regions, pages);
    EXPECT_EQ(reserve.Statistics().regionsMapped, after.regionsMapped);
    for (void* page : pages) reserve.ReleasePage(page);
    // Trim gives them all back and forgets the high-water mark.
    reserve.Trim();
    EXPECT_EQ(reserve.Statistics().regionsHeld, before.regionsHeld);
    EXPECT_EQ(reserve.Statistics().regionsReturned - before.regionsReturned, regions);

    // Never more than kMaxCachedRegions stay empty, whatever the peak.
    const size_t many = PageReserve::kMaxCachedRegions + 8;
    pages.clear();
    fill(many, pages);
    const PageReserveStatistics peak = reserve.Statistics();
    for (void* page : pages) reserve.ReleasePage(page);
    EXPECT_EQ(reserve.Statistics().regionsFree, PageReserve::kMaxCachedRegions);
    EXPECT_GE(reserve.Statistics().regionsReturned - peak.regionsReturned, 8u);
    reserve.Trim();
    EXPECT_EQ(reserve.Statistics().regionsHeld, before.regionsHeld);
}

TEST(PageReserveTest, AllocatorsGiveEveryPageBack) {
    PageReserve& reserve = PageReserve::Instance();
    reserve.Trim();
    const PageReserveStatistics before = reserve.Statistics();
    {
        std::vector<std::unique_ptr<SmallObjectAllocator>> allocators;
        for (int index = 0; index < 4; ++index) {
            allocators.push_back(std::make_unique<SmallObjectAllocator>());
            for (int slot = 0; slot < 5000; ++slot) {
                ASSERT_NE(allocators.back()->Allocate(4 + (slot % 18) * 4), nullptr);
            }
        }
        EXPECT_GT(reserve.Statistics().regionsHeld, before.regionsHeld);
        // The slots are never given back one by one: destroying an allocator returns its pages.
    }
    EXPECT_EQ(reserve.Statistics().pagesInUse, before.pagesInUse);
    reserve.Trim();
    EXPECT_EQ(reserve.Statistics().regionsHeld, before.regionsHeld);
}

}  // namespace
}  // namespace Vane
