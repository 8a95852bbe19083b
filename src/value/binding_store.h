// The store of one value tree: interned strings and the small-object allocator of its records.
#ifndef PYX_VALUE_BINDING_STORE_H_
#define PYX_VALUE_BINDING_STORE_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "value/small_object_allocator.h"

namespace Vane {

// An interned text, shared by every string value and member name of one store that spells it.
// The text follows the record in the same allocation and is NUL-terminated.
struct StringRecord {
    StringRecord* next;  // chain of the intern table's bucket
    uint32_t hash;       // Hash(View()), kept so that growing and erasing never rehash text
    uint32_t refCount;   // references held by values and member names
    uint32_t length;     // bytes of text, terminator excluded

    const char* Data() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    std::string_view View() const noexcept { return std::string_view(Data(), length); }
};

// One per value tree, created by the tree's root the first time the tree needs heap storage
// and destroyed with it. Holds:
// - the intern table: a chained hash table from text to StringRecord, hashed with 32-bit
//   FNV-1a, 8 buckets at creation, doubled whenever it holds more records than buckets (so
//   the load factor never exceeds 1.0). A record lives while its reference count is non-zero.
//   Null and empty texts never enter it: they share one process-wide record that is never
//   counted.
// - the small-object allocator, from which the tree's records, intern records and buckets are
//   taken while they fit in 72 bytes; larger buffers come from the C heap and are counted.
//   Intern records of up to kMaxChunkedRecord bytes (texts of a sentence or a URL) are carved
//   from 32 KiB heap blocks shared by many of them instead: one heap block per record would
//   cost more than reading the text. A block goes back to the heap when its last record is
//   released.
// - a small cache of recently interned short texts (member names and repeated words), in
//   front of the table: a text found there is neither hashed nor looked up.
// Not thread-safe: one thread at a time per tree.
class BindingStore {
  public:
    // Counters of one store.
    struct Statistics {
        size_t internedStrings = 0;  // records in the intern table
        size_t bucketCount = 0;      // buckets of the intern table (0 until the first string)
        size_t heapAllocations = 0;  // C heap blocks taken since the store was created
        size_t heapBlocksInUse = 0;  // C heap blocks currently held
        SmallObjectAllocator::Statistics pool;
    };

    BindingStore() noexcept;
    // Frees everything the store ever handed out and still holds, at once: pages go back to
    // the reserve and heap blocks (which the store keeps linked) are freed. A root being
    // destroyed therefore never walks its tree.
    ~BindingStore();

    BindingStore(const BindingStore&) = delete;
    BindingStore& operator=(const BindingStore&) = delete;

    // The process-wide record of the empty text; never counted, never freed.
    static const StringRecord* EmptyString() noexcept { return &kEmptyString.record; }

    // The record of `text` with one more reference, inserting it when missing; the shared
    // empty record for an empty text. Null only when memory ran out.
    const StringRecord* Intern(std::string_view text) noexcept;

    // As Intern(text), with `hash` already known to be Hash(text) (for example the hash of a
    // record of another store holding the same text).
    const StringRecord* Intern(std::string_view text, uint32_t hash) noexcept;

    // Adds one reference to a record of this store (or the shared empty one) and returns it.
    const StringRecord* AddReference(const StringRecord* record) noexcept;

    // Drops one reference to a record of this store and frees it at zero. The shared empty
    // record and null are ignored.
    void Release(const StringRecord* record) noexcept;

    // The record of `text` without touching its count, or null when it is not interned.
    const StringRecord* Find(std::string_view text) const noexcept;

    // Memory for `bytes` bytes aligned to `alignment` (at most alignof(std::max_align_t)):
    // from the small-object allocator when the size, rounded up to the alignment, fits its
    // largest class and the alignment is at most 8; otherwise from the C heap. Null when
    // memory ran out. Every call must be paired with Deallocate(pointer, bytes, alignment).
    void* Allocate(size_t bytes, size_t alignment) noexcept {
        if (FromPool(bytes, alignment)) return allocator_.Allocate(PoolBytes(bytes, alignment));
        return HeapAllocate(bytes);
    }

    // Gives back memory from Allocate with the same `bytes` and `alignment`. Null is ignored.
    void Deallocate(void* pointer, size_t bytes, size_t alignment) noexcept {
        if (!pointer) return;
        if (FromPool(bytes, alignment)) {
            allocator_.Deallocate(pointer, PoolBytes(bytes, alignment));
        } else {
            HeapFree(pointer);
        }
    }

    // Moves a trivially relocatable buffer of `oldBytes` to one of `newBytes` (both with
    // `alignment`), keeping the first min(oldBytes, newBytes) bytes. Null when memory ran out,
    // the old buffer being then untouched. A null `pointer` with `oldBytes` 0 allocates.
    void* Reallocate(void* pointer, size_t oldBytes, size_t newBytes, size_t alignment) noexcept;

    // The store's counters.
    Statistics GetStatistics() const noexcept;

    // FNV-1a (32-bit) over the bytes of `text`, the intern table's hash.
    static uint32_t Hash(std::string_view text) noexcept;

    // Largest intern record (header, text and terminator) carved from a shared heap block.
    static constexpr size_t kMaxChunkedRecord = 1024;

  private:
    static constexpr size_t kInitialBuckets = 8;
    static constexpr size_t kTextChunkSize = 32768;
    static constexpr size_t kRecentSlots = 128;
    static constexpr size_t kMaxRecentLength = 32;

    // Header of a heap block that intern records are carved from; each record is preceded by
    // a pointer to its block's header.
    struct TextChunk {
        size_t used;  // bytes carved, this header included
        size_t live;  // records not yet freed
    };

    // Precedes every heap block, linking the store's heap blocks for the destructor.
    struct alignas(std::max_align_t) HeapHeader {
        HeapHeader* previous;
        HeapHeader* next;
    };

    // The empty text's record, laid out like a pool record: the terminator follows it.
    struct EmptyStringStorage {
        StringRecord record;
        char terminator;
    };
    static const EmptyStringStorage kEmptyString;

    // Pool requests are rounded up to the alignment, so 8-byte objects land in 8-byte slots.
    static size_t PoolBytes(size_t bytes, size_t alignment) noexcept {
        return ((bytes == 0 ? 1 : bytes) + alignment - 1) / alignment * alignment;
    }
    static bool FromPool(size_t bytes, size_t alignment) noexcept {
        return alignment <= 8 && bytes <= SmallObjectAllocator::kMaxObjectSize &&
               PoolBytes(bytes, alignment) <= SmallObjectAllocator::kMaxObjectSize;
    }
    static size_t RecordBytes(size_t length) noexcept;
    static size_t RecentSlot(std::string_view text) noexcept;
    void* AllocateRecord(size_t bytes) noexcept;
    void* AllocateChunked(size_t bytes) noexcept;
    void FreeChunked(void* record) noexcept;
    void Grow() noexcept;
    void FreeRecord(StringRecord* record) noexcept;
    void* HeapAllocate(size_t bytes) noexcept;
    void HeapFree(void* pointer) noexcept;
    void* HeapReallocate(void* pointer, size_t bytes) noexcept;
    void Link(HeapHeader* header) noexcept;
    void Unlink(HeapHeader* header) noexcept;

    SmallObjectAllocator allocator_;
    HeapHeader* heapBlocks_ = nullptr;
    TextChunk* textChunk_ = nullptr;  // the block records are carved from now
    StringRecord* recent_[kRecentSlots] = {};
    StringRecord** buckets_ = nullptr;
    size_t bucketCount_ = 0;
    size_t internedCount_ = 0;
    size_t heapAllocations_ = 0;
    size_t heapBlocksInUse_ = 0;
};

// A standard allocator drawing from a store, for standard containers inside a value tree.
// Throws std::bad_alloc when the store has no memory (as standard containers expect).
template <class T>
class StoreAllocator {
  public:
    using value_type = T;

    explicit StoreAllocator(BindingStore* store) noexcept : store_(store) {}
    template <class U>
    StoreAllocator(const StoreAllocator<U>& other) noexcept : store_(other.Store()) {}

    // Memory for `count` objects of T.
    T* allocate(size_t count) {
        void* memory = count <= SIZE_MAX / sizeof(T)
                           ? store_->Allocate(count * sizeof(T), alignof(T))
                           : nullptr;
        if (!memory) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }

    // Gives back memory for `count` objects of T.
    void deallocate(T* pointer, size_t count) noexcept {
        store_->Deallocate(pointer, count * sizeof(T), alignof(T));
    }

    // The store drawn from.
    BindingStore* Store() const noexcept { return store_; }

    // Allocators of one store can free each other's memory.
    template <class U>
    bool operator==(const StoreAllocator<U>& other) const noexcept {
        return store_ == other.Store();
    }

  private:
    BindingStore* store_;
};

}  // namespace Vane

#endif  // PYX_VALUE_BINDING_STORE_H_
