#include "value/binding_store.h"

#include <cstdlib>
#include <cstring>

#include "util/memory_hooks.h"

namespace Vane {
namespace {

// Equality of two texts of `length` bytes; interned texts are short, so a byte loop beats a
// call to memcmp for them.
bool SameBytes(const char* left, const char* right, size_t length) noexcept {
    if (length > 16) return std::memcmp(left, right, length) == 0;
    for (size_t index = 0; index < length; ++index) {
        if (left[index] != right[index]) return false;
    }
    return true;
}

}  // namespace

constinit const BindingStore::EmptyStringStorage BindingStore::kEmptyString = {
    {nullptr, 0x811C9DC5u, 0, 0}, '\0'};

BindingStore::BindingStore() noexcept {
    static_assert(offsetof(EmptyStringStorage, terminator) == sizeof(StringRecord));
}

BindingStore::~BindingStore() {
    // Pool memory goes back with the allocator; heap blocks are all on the list.
    while (heapBlocks_) {
        HeapHeader* next = heapBlocks_->next;
        HookedFree(heapBlocks_);
        heapBlocks_ = next;
    }
}

void BindingStore::Link(HeapHeader* header) noexcept {
    header->previous = nullptr;
    header->next = heapBlocks_;
    if (heapBlocks_) heapBlocks_->previous = header;
    heapBlocks_ = header;
}

void BindingStore::Unlink(HeapHeader* header) noexcept {
    if (header->previous) {
        header->previous->next = header->next;
    } else {
        heapBlocks_ = header->next;
    }
    if (header->next) header->next->previous = header->previous;
}

void* BindingStore::HeapAllocate(size_t bytes) noexcept {
    if (bytes > SIZE_MAX - sizeof(HeapHeader)) return nullptr;
    auto* header = static_cast<HeapHeader*>(HookedAllocate(sizeof(HeapHeader) + bytes));
    if (!header) return nullptr;
    Link(header);
    ++heapAllocations_;
    ++heapBlocksInUse_;
    return header + 1;
}

void BindingStore::HeapFree(void* pointer) noexcept {
    HeapHeader* header = static_cast<HeapHeader*>(pointer) - 1;
    Unlink(header);
    HookedFree(header);
    --heapBlocksInUse_;
}

void* BindingStore::HeapReallocate(void* pointer, size_t bytes) noexcept {
    if (bytes > SIZE_MAX - sizeof(HeapHeader)) return nullptr;
    HeapHeader* header = static_cast<HeapHeader*>(pointer) - 1;
    Unlink(header);
    auto* moved = static_cast<HeapHeader*>(HookedReallocate(header, sizeof(HeapHeader) + bytes));
    if (!moved) {
        Link(header);
        return nullptr;
    }
    Link(moved);
    ++heapAllocations_;
    return moved + 1;
}

uint32_t BindingStore::Hash(std::string_view text) noexcept {
    uint32_t hash = 0x811C9DC5u;
    for (char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return hash;
}

size_t BindingStore::RecordBytes(size_t length) noexcept {
    return sizeof(StringRecord) + length + 1;
}

size_t BindingStore::RecentSlot(std::string_view text) noexcept {
    // The first and last bytes and the length tell apart the short texts of one document well
    // enough; this is a cache, so a collision only costs a lookup.
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t length = text.size();
    uint64_t head = 0;
    uint64_t tail = 0;
    if (length >= 8) {
        std::memcpy(&head, bytes, 8);
        std::memcpy(&tail, bytes + length - 8, 8);
    } else {
        for (size_t index = 0; index < length; ++index) head = head << 8 | bytes[index];
    }
    const uint64_t mixed = (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^
                           (length * 0x165667B19E3779F9ull);
    return static_cast<size_t>((mixed ^ (mixed >> 29)) * 0xBF58476D1CE4E5B9ull >> 57) &
           (kRecentSlots - 1);
}

const StringRecord* BindingStore::Intern(std::string_view text) noexcept {
    if (text.empty() || text.size() > kMaxRecentLength) return Intern(text, Hash(text));
    StringRecord*& recent = recent_[RecentSlot(text)];
    if (recent && recent->length == text.size() &&
        SameBytes(recent->Data(), text.data(), text.size())) {
        ++recent->refCount;
        return recent;
    }
    const StringRecord* record = Intern(text, Hash(text));
    if (record) recent = const_cast<StringRecord*>(record);
    return record;
}

void* BindingStore::AllocateRecord(size_t bytes) noexcept {
    if (bytes > SmallObjectAllocator::kMaxObjectSize && bytes <= kMaxChunkedRecord) {
        return AllocateChunked(bytes);
    }
    return Allocate(bytes, alignof(StringRecord));
}

void* BindingStore::AllocateChunked(size_t bytes) noexcept {
    constexpr size_t kHeader = (sizeof(TextChunk) + 7) / 8 * 8;
    const size_t needed = (sizeof(TextChunk*) + bytes + 7) / 8 * 8;
    if (!textChunk_ || textChunk_->used + needed > kTextChunkSize) {
        if (textChunk_ && textChunk_->live == 0) {
            textChunk_->used = kHeader;
        } else {
            // The full block stays until its last record is freed.
            void* memory = HeapAllocate(kTextChunkSize);
            if (!memory) return nullptr;
            textChunk_ = new (memory) TextChunk{kHeader, 0};
        }
    }
    unsigned char* slot = reinterpret_cast<unsigned char*>(textChunk_) + textChunk_->used;
    textChunk_->used += needed;
    ++textChunk_->live;
    std::memcpy(slot, &textChunk_, sizeof(TextChunk*));
    return slot + sizeof(TextChunk*);
}

void BindingStore::FreeChunked(void* record) noexcept {
    TextChunk* chunk;
    std::memcpy(&chunk, static_cast<unsigned char*>(record) - sizeof(TextChunk*), sizeof chunk);
    if (--chunk->live != 0) return;
    if (chunk == textChunk_) {
        chunk->used = (sizeof(TextChunk) + 7) / 8 * 8;
    } else {
        HeapFree(chunk);
    }
}

const StringRecord* BindingStore::Intern(std::string_view text, uint32_t hash) noexcept {
    if (text.empty()) return EmptyString();
    if constexpr (sizeof(size_t) > sizeof(uint32_t)) {
        if (text.size() > UINT32_MAX) return nullptr;  // lengths are 32-bit
    }
    if (!buckets_) {
        void* memory = Allocate(kInitialBuckets * sizeof(StringRecord*), alignof(StringRecord*));
        if (!memory) return nullptr;
        buckets_ = static_cast<StringRecord**>(memory);
        bucketCount_ = kInitialBuckets;
        for (size_t index = 0; index < bucketCount_; ++index) buckets_[index] = nullptr;
    }
    StringRecord*& bucket = buckets_[hash & (bucketCount_ - 1)];
    for (StringRecord* record = bucket; record; record = record->next) {
        if (record->hash == hash && record->length == text.size() &&
            SameBytes(record->Data(), text.data(), text.size())) {
            ++record->refCount;
            return record;
        }
    }
    void* memory = AllocateRecord(RecordBytes(text.size()));
    if (!memory) return nullptr;
    StringRecord* record = static_cast<StringRecord*>(memory);
    record->next = bucket;
    record->hash = hash;
    record->refCount = 1;
    record->length = static_cast<uint32_t>(text.size());
    char* data = reinterpret_cast<char*>(record + 1);
    std::memcpy(data, text.data(), text.size());
    data[text.size()] = '\0';
    bucket = record;
    if (++internedCount_ > bucketCount_) Grow();
    return record;
}

const StringRecord* BindingStore::AddReference(const StringRecord* record) noexcept {
    if (record && record != EmptyString()) ++const_cast<StringRecord*>(record)->refCount;
    return record;
}

void BindingStore::Release(const StringRecord* record) noexcept {
    if (!record || record == EmptyString()) return;
    StringRecord* target = const_cast<StringRecord*>(record);
    if (--target->refCount != 0) return;
    StringRecord** link = &buckets_[target->hash & (bucketCount_ - 1)];
    while (*link && *link != target) link = &(*link)->next;
    if (*link) *link = target->next;
    --internedCount_;
    FreeRecord(target);
}

const StringRecord* BindingStore::Find(std::string_view text) const noexcept {
    if (text.empty()) return EmptyString();
    if (!buckets_) return nullptr;
    const uint32_t hash = Hash(text);
    for (StringRecord* record = buckets_[hash & (bucketCount_ - 1)]; record;
         record = record->next) {
        if (record->hash == hash && record->View() == text) return record;
    }
    return nullptr;
}

void BindingStore::FreeRecord(StringRecord* record) noexcept {
    if (record->length <= kMaxRecentLength) {
        StringRecord*& recent = recent_[RecentSlot(record->View())];
        if (recent == record) recent = nullptr;
    }
    const size_t bytes = RecordBytes(record->length);
    if (bytes > SmallObjectAllocator::kMaxObjectSize && bytes <= kMaxChunkedRecord) {
        FreeChunked(record);
    } else {
        Deallocate(record, bytes, alignof(StringRecord));
    }
}

void BindingStore::Grow() noexcept {
    const size_t newCount = bucketCount_ * 2;
    void* memory = Allocate(newCount * sizeof(StringRecord*), alignof(StringRecord*));
    if (!memory) return;  // keep working with longer chains
    StringRecord** newBuckets = static_cast<StringRecord**>(memory);
    for (size_t index = 0; index < newCount; ++index) newBuckets[index] = nullptr;
    for (size_t index = 0; index < bucketCount_; ++index) {
        StringRecord* record = buckets_[index];
        while (record) {
            StringRecord* next = record->next;
            StringRecord*& bucket = newBuckets[record->hash & (newCount - 1)];
            record->next = bucket;
            bucket = record;
            record = next;
        }
    }
    Deallocate(buckets_, bucketCount_ * sizeof(StringRecord*), alignof(StringRecord*));
    buckets_ = newBuckets;
    bucketCount_ = newCount;
}

void* BindingStore::Reallocate(void* pointer, size_t oldBytes, size_t newBytes,
                               size_t alignment) noexcept {
    if (!pointer) return Allocate(newBytes, alignment);
    const bool oldPool = FromPool(oldBytes, alignment);
    const bool newPool = FromPool(newBytes, alignment);
    if (!oldPool && !newPool) {
        return HeapReallocate(pointer, newBytes);
    }
    if (oldPool && newPool &&
        SmallObjectAllocator::SlotSize(PoolBytes(oldBytes, alignment)) ==
            SmallObjectAllocator::SlotSize(PoolBytes(newBytes, alignment))) {
        return pointer;
    }
    void* memory = Allocate(newBytes, alignment);
    if (!memory) return nullptr;
    std::memcpy(memory, pointer, oldBytes < newBytes ? oldBytes : newBytes);
    Deallocate(pointer, oldBytes, alignment);
    return memory;
}

BindingStore::Statistics BindingStore::GetStatistics() const noexcept {
    Statistics statistics;
    statistics.internedStrings = internedCount_;
    statistics.bucketCount = bucketCount_;
    statistics.heapAllocations = heapAllocations_;
    statistics.heapBlocksInUse = heapBlocksInUse_;
    statistics.pool = allocator_.GetStatistics();
    return statistics;
}

}  // namespace Vane
