// Proves that building, copying and converting value trees takes no general-heap block per
// record: every scalar, short string and small container comes from the store's pool.
//
// This file replaces the global operator new of the binding_test binary to count its calls;
// no other test of this binary may replace it again.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "host/host_value.h"
#include "value/binding_property.h"

namespace {
std::atomic<size_t> gNewCalls{0};
}  // namespace

// The replacement pairs malloc with free; GCC cannot see that the pairing is deliberate.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
void* CountedAllocate(size_t size) noexcept {
    gNewCalls.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

// Every form that a sanitizer runtime would otherwise serve itself is replaced, so that each
// block is freed by the family that made it.
void* operator new(size_t size) {
    if (void* memory = CountedAllocate(size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (void* memory = CountedAllocate(size)) return memory;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

namespace Vane {
namespace {

// Global operator new calls and store heap blocks taken while running `work`.
struct Allocations {
    size_t newCalls;
    size_t storeHeapBlocks;
};

// A collection of `records` structures, each with a number, a float, a bool, a short text
// that repeats, a short text of its own and a small collection of short texts.
void BuildRecords(BindingProperty& root, int records) {
    char text[32];
    for (int index = 0; index < records; ++index) {
        BindingProperty* record = root.AppendElement();
        record->MemberForWrite("id")->SetSigned(index);
        record->MemberForWrite("score")->SetFloat(index * 0.5);
        record->MemberForWrite("active")->SetBool(index % 2 == 0);
        std::snprintf(text, sizeof text, "group-%d", index % 10);
        EXPECT_TRUE(record->MemberForWrite("group")->SetString(text));
        std::snprintf(text, sizeof text, "unique-name-%d", index);
        EXPECT_TRUE(record->MemberForWrite("name")->SetString(text));
        BindingProperty* tags = record->MemberForWrite("tags");
        for (int tag = 0; tag < 3; ++tag) {
            std::snprintf(text, sizeof text, "t%d-%d", tag, index);
            EXPECT_TRUE(tags->AppendElement()->SetString(text));
        }
    }
}

Allocations Measure(int records) {
    BindingProperty root;
    const size_t before = gNewCalls.load();
    BuildRecords(root, records);
    const size_t newCalls = gNewCalls.load() - before;
    return {newCalls, root.Store()->GetStatistics().heapAllocations};
}

TEST(BindingAllocationTest, BuildingATreeTakesNoHeapBlockPerRecord) {
    const Allocations small = Measure(1000);
    const Allocations large = Measure(20000);  // about 300,000 records and 100,000 strings
    // Besides the store itself, operator new serves only the page reserve's bookkeeping (two
    // vectors that double as regions are mapped, and never shrink): logarithmic at first...
    EXPECT_LE(small.newCalls, 1u + 2 * 8);
    EXPECT_LE(large.newCalls, 1u + 2 * 12);
    // ...and nothing once the reserve has seen this peak.
    const Allocations again = Measure(20000);
    EXPECT_EQ(again.newCalls, 1u);
    // The store's own heap blocks are the intern table's bucket arrays and the top-level
    // collection's buffer, both doubling: logarithmic in the number of records.
    const double logLarge = std::log2(20000.0 * 5);
    EXPECT_LE(large.storeHeapBlocks, static_cast<size_t>(2 * logLarge));
    EXPECT_LE(large.storeHeapBlocks - small.storeHeapBlocks, 16u);
    EXPECT_EQ(again.storeHeapBlocks, large.storeHeapBlocks);
}

TEST(BindingAllocationTest, CopyingAndConvertingTakeNoHeapBlockPerRecord) {
    // Let the page reserve's bookkeeping reach a peak above what this test holds at once, so
    // that only the values' own allocations are counted below (CTest runs each test alone).
    {
        BindingProperty warmUp;
        BuildRecords(warmUp, 20000);
    }
    BindingProperty source;
    BuildRecords(source, 5000);

    size_t before = gNewCalls.load();
    BindingProperty copy(source);
    EXPECT_EQ(gNewCalls.load() - before, 1u);  // the copy's store
    EXPECT_TRUE(copy == source);
    // Exact reservations: the top-level buffer and the bucket arrays only.
    EXPECT_LE(copy.Store()->GetStatistics().heapAllocations, 20u);

    HostValue host;
    ASSERT_TRUE(BindingToHostValue(source, nullptr, host, nullptr));
    before = gNewCalls.load();
    BindingProperty converted;
    HostErrorSlot error;
    ASSERT_TRUE(HostValueToBinding(host, "<result>", converted, error));
    EXPECT_EQ(gNewCalls.load() - before, 1u);
    EXPECT_LE(converted.Store()->GetStatistics().heapAllocations, 20u);
    ReleaseHostValue(host);

    before = gNewCalls.load();
    copy.Clear();
    converted = BindingProperty();
    EXPECT_EQ(gNewCalls.load() - before, 0u);
}

TEST(BindingAllocationTest, RegionsAreReturnedWhenAllValuesAreGone) {
    PageReserve& reserve = PageReserve::Instance();
    reserve.Trim();
    const PageReserveStatistics before = reserve.Statistics();
    {
        std::vector<BindingProperty> trees(4);
        for (BindingProperty& tree : trees) BuildRecords(tree, 3000);
        BindingProperty copy(trees[0]);
        const PageReserveStatistics during = reserve.Statistics();
        EXPECT_GE(during.regionsHeld, before.regionsHeld + 5);
        EXPECT_GT(during.pagesInUse, before.pagesInUse);
        // Clearing the values (stores still alive) gives most pages back already.
        for (BindingProperty& tree : trees) tree.Clear();
        EXPECT_LT(reserve.Statistics().pagesInUse - before.pagesInUse,
                  (during.pagesInUse - before.pagesInUse) / 4);
    }
    // Every page is back; the empty regions kept for reuse go back with Trim.
    const PageReserveStatistics after = reserve.Statistics();
    EXPECT_EQ(after.pagesInUse, before.pagesInUse);
    EXPECT_LE(after.regionsFree, PageReserve::kMaxCachedRegions);
    reserve.Trim();
    EXPECT_EQ(reserve.Statistics().regionsHeld, before.regionsHeld);
    EXPECT_GT(reserve.Statistics().regionsReturned, before.regionsReturned);
}

}  // namespace
}  // namespace Vane
