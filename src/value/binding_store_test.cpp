#include "value/binding_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace Vane {
namespace {

TEST(BindingStoreTest, HashIsFnv1a32) {
    const std::pair<std::string_view, uint32_t> cases[] = {
        {"", 0x811C9DC5u}, {"a", 0xE40C292Cu}, {"foobar", 0xBF9CF968u}};
    for (const auto& [text, hash] : cases) EXPECT_EQ(BindingStore::Hash(text), hash) << text;
}

TEST(BindingStoreTest, InternCountsReferencesAndFreesAtZero) {
    BindingStore store;
    const StringRecord* first = store.Intern("name");
    const StringRecord* second = store.Intern(std::string("name"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->refCount, 2u);
    EXPECT_EQ(first->View(), "name");
    EXPECT_EQ(first->Data()[4], '\0');
    EXPECT_EQ(store.AddReference(first), first);
    EXPECT_EQ(first->refCount, 3u);
    store.Release(first);
    store.Release(first);
    EXPECT_EQ(store.Find("name"), first);
    store.Release(first);
    EXPECT_EQ(store.Find("name"), nullptr);
    EXPECT_EQ(store.GetStatistics().internedStrings, 0u);
}

TEST(BindingStoreTest, EmptyTextIsSharedAndNeverCounted) {
    BindingStore store;
    const StringRecord* empty = store.Intern("");
    EXPECT_EQ(empty, BindingStore::EmptyString());
    EXPECT_EQ(empty->View(), "");
    EXPECT_EQ(empty->Data()[0], '\0');
    store.AddReference(empty);
    store.Release(empty);
    store.Release(nullptr);
    EXPECT_EQ(empty->refCount, 0u);
    EXPECT_EQ(store.GetStatistics().internedStrings, 0u);
    EXPECT_EQ(store.GetStatistics().bucketCount, 0u);  // the table was never needed
}

TEST(BindingStoreTest, TableStartsWithEightBucketsAndKeepsLoadAtMostOne) {
    BindingStore store;
    std::vector<const StringRecord*> records;
    for (int index = 0; index < 2000; ++index) {
        records.push_back(store.Intern("key" + std::to_string(index)));
        const BindingStore::Statistics statistics = store.GetStatistics();
        if (index == 0) {
            EXPECT_EQ(statistics.bucketCount, 8u);
        }
        ASSERT_LE(statistics.internedStrings, statistics.bucketCount);
    }
    EXPECT_EQ(store.GetStatistics().internedStrings, 2000u);
    for (int index = 0; index < 2000; ++index) {
        ASSERT_EQ(store.Find("key" + std::to_string(index)), records[index]);
    }
    for (int index = 1999; index >= 0; index -= 2) store.Release(records[index]);
    for (int index = 0; index < 2000; ++index) {
        EXPECT_EQ(store.Find("key" + std::to_string(index)) != nullptr, index % 2 == 0);
    }
}

TEST(BindingStoreTest, TextsOfAnyLengthAndContent) {
    BindingStore store;
    const std::string texts[] = {
        std::string("a\0b", 3), std::string("a\0c", 3), "a",       std::string(55, 'x'),
        std::string(56, 'y'),   std::string(5000, 'z'), "\xFF\xFE"};
    for (const std::string& text : texts) {
        const StringRecord* record = store.Intern(text);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->View(), text);
        EXPECT_EQ(record->Data()[text.size()], '\0');
    }
    EXPECT_EQ(store.GetStatistics().internedStrings, std::size(texts));
    EXPECT_EQ(store.Find(std::string("a\0b", 3))->View(), std::string("a\0b", 3));
    EXPECT_EQ(store.Find("a\0"), store.Find("a"));  // a C string stops at its NUL
}

TEST(BindingStoreTest, SmallBlocksComeFromThePoolLargeOnesFromTheHeap) {
    BindingStore store;
    const BindingStore::Statistics before = store.GetStatistics();
    void* small = store.Allocate(72, 8);
    void* odd = store.Allocate(13, 4);
    void* large = store.Allocate(73, 8);
    void* overaligned = store.Allocate(16, 16);
    const BindingStore::Statistics during = store.GetStatistics();
    EXPECT_EQ(during.pool.slotsInUse - before.pool.slotsInUse, 2u);
    EXPECT_EQ(during.heapBlocksInUse - before.heapBlocksInUse, 2u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % 8, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(overaligned) % 16, 0u);
    std::memset(small, 1, 72);
    std::memset(odd, 2, 13);
    std::memset(large, 3, 73);
    store.Deallocate(small, 72, 8);
    store.Deallocate(odd, 13, 4);
    store.Deallocate(large, 73, 8);
    store.Deallocate(overaligned, 16, 16);
    const BindingStore::Statistics after = store.GetStatistics();
    EXPECT_EQ(after.pool.slotsInUse, before.pool.slotsInUse);
    EXPECT_EQ(after.heapBlocksInUse, before.heapBlocksInUse);
}

TEST(BindingStoreTest, EightByteObjectsAreAligned) {
    BindingStore store;
    std::vector<void*> blocks;
    for (size_t bytes = 8; bytes <= 72; bytes += 8) {
        for (int count = 0; count < 300; ++count) {
            void* block = store.Allocate(bytes, 8);
            ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u) << bytes;
            blocks.push_back(block);
        }
    }
    size_t index = 0;
    for (size_t bytes = 8; bytes <= 72; bytes += 8) {
        for (int count = 0; count < 300; ++count) store.Deallocate(blocks[index++], bytes, 8);
    }
}

TEST(BindingStoreTest, ReallocateKeepsContentAcrossPoolAndHeap) {
    BindingStore store;
    const size_t sizes[] = {8, 24, 48, 72, 144, 4096, 100000, 96, 64, 16};
    size_t previous = 0;
    unsigned char* block = nullptr;
    for (size_t size : sizes) {
        block = static_cast<unsigned char*>(store.Reallocate(block, previous, size, 8));
        ASSERT_NE(block, nullptr);
        for (size_t index = 0; index < std::min(previous, size); ++index) {
            ASSERT_EQ(block[index], static_cast<unsigned char>(index * 7)) << size;
        }
        for (size_t index = 0; index < size; ++index)
            block[index] = static_cast<unsigned char>(index * 7);
        previous = size;
    }
    store.Deallocate(block, previous, 8);
    EXPECT_EQ(store.GetStatistics().heapBlocksInUse, 0u);
    EXPECT_EQ(store.GetStatistics().pool.slotsInUse, 0u);
}

TEST(BindingStoreTest, StoreAllocatorServesStandardContainers) {
    BindingStore store;
    {
        using Allocator = StoreAllocator<std::pair<const int, int>>;
        std::map<int, int, std::less<int>, Allocator> map{Allocator(&store)};
        for (int index = 0; index < 1000; ++index) map[index] = index * 2;
        EXPECT_EQ(map.size(), 1000u);
        EXPECT_EQ(map[500], 1000);
        EXPECT_GT(store.GetStatistics().pool.slotsInUse, 999u);
        EXPECT_EQ(store.GetStatistics().heapAllocations, 0u);
    }
    EXPECT_EQ(store.GetStatistics().pool.slotsInUse, 0u);
}

}  // namespace
}  // namespace Vane
