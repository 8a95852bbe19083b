// The dynamic value through which every piece of data crosses the plugin's boundaries.
#ifndef PYX_VALUE_BINDING_PROPERTY_H_
#define PYX_VALUE_BINDING_PROPERTY_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "value/binding_store.h"

namespace Vane {

// Kind codes of a BindingProperty (one byte; the codes are part of the system's contracts).
enum class PropertyKind : uint8_t {
    kEmpty = 0,
    kBool = 1,
    kSigned = 2,
    kUnsigned = 3,
    kFloat = 4,
    kString = 5,
    kBlob = 6,
    kEnum = 7,
    kCollection = 8,
    kStructure = 9,
};

// The name of a kind code as printed in messages ("empty", "bool", "signed", "unsigned",
// "float", "string", "blob", "enum", "collection", "structure"); "" for any other code.
const char* KindName(uint8_t code) noexcept;
inline const char* KindName(PropertyKind kind) noexcept {
    return KindName(static_cast<uint8_t>(kind));
}

// Most elements a collection may hold; growing beyond it fails.
inline constexpr size_t kMaxCollectionSize = 268435455;

// The payload of an enum value: the number and the registered enumeration's 32-bit type id,
// so the value can later be written by name.
struct EnumRecord {
    int32_t value = 0;
    uint32_t typeId = 0;

    bool operator==(const EnumRecord&) const = default;
};

struct BlobRecord;
struct CollectionRecord;
struct StructureRecord;
class MemberRange;
class MutableMemberRange;

// A tagged union of ten kinds: empty, bool, signed and unsigned 64-bit integers, double,
// string, blob, enum, collection and structure.
//
// Storage. Scalars live inline. Strings refer to records interned in the tree's BindingStore;
// blob, enum, collection and structure records, structure nodes and small collection buffers
// come from the store's small-object allocator. The top-level value (the root) creates the
// store the first time it needs one and destroys it with itself; children (collection
// elements and structure members) are created with their parent's store and never own it, so
// they must not outlive their root.
//
// Containers own their children. Structure members are kept ordered by name, compared
// byte-wise (a shorter name first on a common prefix), and every traversal visits them in that
// order; setting an existing name replaces its value.
//
// Copy is deep and rebuilds into the destination's own store. Move swaps everything when both
// values own their stores (then clears the source); otherwise it hands the payload over when
// both share a store, or deep-copies into the destination's store, and clears the source.
//
// Nesting: copying, comparing and destroying recurse once per level. No reader of outside
// data builds a tree deeper than kMaxNestingDepth ("value/nesting_limit.h"); code that
// builds values itself must stay within it too.
//
// Errors are values: readers return the caller's default on a wrong kind; operations that can
// run out of memory or exceed kMaxCollectionSize report it (false or null) and leave the value
// valid. Not thread-safe: one thread at a time per tree.
class BindingProperty {
  public:
    // Proof of access for building a child inside a container of `store`; only
    // BindingProperty can make one.
    class ChildKey {
      public:
        BindingStore* Store() const noexcept { return store_; }

      private:
        friend class BindingProperty;
        explicit ChildKey(BindingStore* store) noexcept : store_(store) {}
        BindingStore* store_;
    };

    // An empty root value without a store.
    constexpr BindingProperty() noexcept : payload_{}, store_(nullptr) {}
    // An empty child value sharing `key`'s store; used by containers.
    explicit BindingProperty(ChildKey key) noexcept
        : payload_{}, store_(key.Store()), kind_(PropertyKind::kEmpty), ownsStore_(false) {}
    // A child releases its payload; a root destroys its store, which frees the whole tree at
    // once without walking it.
    ~BindingProperty();

    // A deep copy of `other` in a new store of its own (left empty if memory runs out).
    BindingProperty(const BindingProperty& other) noexcept;
    // Takes `other`'s content; `other` is left empty. Cheap when `other` owns its store.
    BindingProperty(BindingProperty&& other) noexcept;
    // Deep copy into this value's store (see CopyFrom).
    BindingProperty& operator=(const BindingProperty& other) noexcept;
    // The move rule (see MoveFrom).
    BindingProperty& operator=(BindingProperty&& other) noexcept;

    // The process-wide empty value returned by lookups that find nothing.
    static const BindingProperty& SharedEmpty() noexcept;

    // ---- Reset and setters (each clears the current payload first) ----

    // Releases the payload (a string drops one reference; records are destroyed with their
    // children and their memory returned to the store) and makes the value empty. The store
    // stays.
    void Clear() noexcept;
    // Makes the value a bool.
    void SetBool(bool value) noexcept;
    // Makes the value a signed 64-bit integer.
    void SetSigned(int64_t value) noexcept;
    // Makes the value an unsigned 64-bit integer.
    void SetUnsigned(uint64_t value) noexcept;
    // Makes the value a double.
    void SetFloat(double value) noexcept;
    // Makes the value a string interned in the store (an empty text uses the shared empty
    // string and needs no store). False, leaving the value empty, when memory ran out.
    [[nodiscard]] bool SetString(std::string_view text) noexcept;
    // As above; a null text is the empty string.
    [[nodiscard]] bool SetString(const char* text) noexcept;
    // Makes the value a blob holding a copy of the bytes. False, leaving the value empty, when
    // memory ran out.
    [[nodiscard]] bool SetBlob(std::span<const uint8_t> bytes) noexcept;
    // Makes the value a zero-filled blob of `size` bytes and returns them for filling in
    // place; null, leaving the value empty, when memory ran out.
    uint8_t* MakeBlob(size_t size) noexcept;
    // Makes the value an enum {value, typeId}. False, leaving the value empty, when memory ran
    // out.
    [[nodiscard]] bool SetEnum(int32_t value, uint32_t typeId) noexcept;
    // Makes the value an empty collection; no change when it already is one. False, leaving
    // the value empty, when memory ran out.
    [[nodiscard]] bool MakeCollection() noexcept;
    // Makes the value an empty structure; no change when it already is one. False, leaving
    // the value empty, when memory ran out.
    [[nodiscard]] bool MakeStructure() noexcept;

    // ---- Copy and move with results ----

    // Replaces this value with a deep copy of `source`, built in this value's store (created
    // when needed): strings and member names are re-interned, blobs and enums copied, children
    // copied in order. Safe when `source` lies inside this value. False, leaving the value
    // empty, when memory ran out.
    [[nodiscard]] bool CopyFrom(const BindingProperty& source) noexcept;
    // Moves `source` into this value: when both own their stores they swap payload, store,
    // kind and flag, and `source` (now holding this value's former content) is cleared;
    // otherwise this value receives `source`'s content in its own store and `source` is
    // cleared. `source` must not be an ancestor of this value. False when memory ran out (this
    // value is then empty).
    [[nodiscard]] bool MoveFrom(BindingProperty& source) noexcept;

    // ---- Readers (a wrong kind yields the default; nothing converts) ----

    // The kind code.
    PropertyKind Kind() const noexcept { return kind_; }
    // True for the empty kind.
    bool IsEmpty() const noexcept { return kind_ == PropertyKind::kEmpty; }
    // The bool, or `defaultValue`.
    bool GetBool(bool defaultValue = false) const noexcept;
    // The signed integer, or `defaultValue`.
    int64_t GetSigned(int64_t defaultValue = 0) const noexcept;
    // The unsigned integer, or `defaultValue`.
    uint64_t GetUnsigned(uint64_t defaultValue = 0) const noexcept;
    // The double, or `defaultValue`.
    double GetFloat(double defaultValue = 0.0) const noexcept;
    // The interned text (NUL-terminated right after the view's end; valid while the value
    // keeps it), or `defaultValue`.
    std::string_view GetString(std::string_view defaultValue = {}) const noexcept;
    // The blob's bytes (valid while the value keeps them), or `defaultValue`.
    std::span<const uint8_t> GetBlob(std::span<const uint8_t> defaultValue = {}) const noexcept;
    // The enum record, or `defaultValue`.
    EnumRecord GetEnum(EnumRecord defaultValue = {}) const noexcept;
    // A text form that never fails: "" for empty, collection and structure; "true"/"false";
    // decimal digits for integers and the enum's number; printf "%f" for doubles; the text of
    // a string; the bytes of a blob.
    std::string AsText() const;
    // 0 for empty; bytes of a string or blob; elements of a collection; members of a
    // structure; 1 for every other kind.
    size_t Size() const noexcept;

    // ---- Collections ----

    // Reserves room for `count` elements without changing the size. Only on a collection;
    // false for other kinds, for `count` above kMaxCollectionSize and when memory ran out.
    [[nodiscard]] bool Reserve(size_t count) noexcept;
    // Element `index`, writable: makes the value a collection if it is not one (clearing it)
    // and appends empty elements until the index exists. Null, leaving the value unchanged,
    // when `index` is not below kMaxCollectionSize or memory ran out. The pointer, like every
    // element pointer, stays valid until the collection grows or is cleared.
    BindingProperty* ElementAt(size_t index) noexcept;
    // Appends an empty element and returns it for building in place (making the value a
    // collection if it is not one); null when the collection is full or memory ran out.
    [[nodiscard]] BindingProperty* AppendElement() noexcept;
    // Element `index` of a collection, or the shared empty value.
    const BindingProperty& Element(size_t index) const noexcept;
    // The elements in order (empty for other kinds).
    std::span<BindingProperty> Elements() noexcept;
    std::span<const BindingProperty> Elements() const noexcept;

    // ---- Structures ----

    // Member `name`, writable: makes the value a structure if it is not one (clearing it) and
    // inserts an empty member when missing. Null when memory ran out. Member pointers stay
    // valid until that member is removed or the structure is cleared.
    [[nodiscard]] BindingProperty* MemberForWrite(std::string_view name) noexcept;
    // Member `name` of a structure, or the shared empty value when missing or not a structure.
    const BindingProperty& Member(std::string_view name) const noexcept;
    // Member `name` of a structure, or null when missing or not a structure.
    const BindingProperty* FindMember(std::string_view name) const noexcept;
    BindingProperty* FindMember(std::string_view name) noexcept;
    // Removes member `name`; false when there was none.
    bool RemoveMember(std::string_view name) noexcept;
    // The members in ascending name order (empty for other kinds).
    MemberRange Members() const noexcept;
    MutableMemberRange Members() noexcept;

    // ---- Store ----

    // The store of the tree (null until a root first needs one).
    BindingStore* Store() const noexcept { return store_; }
    // True for a root, which destroys its store with itself.
    bool OwnsStore() const noexcept { return ownsStore_; }

    // Deep equality: same kind and same payload (texts and bytes compared, doubles with ==,
    // children in order, members by name).
    friend bool operator==(const BindingProperty& left, const BindingProperty& right) noexcept;

  private:
    union Payload {
        uint64_t u64;
        int64_t i64;
        double f64;
        bool boolean;
        const StringRecord* string;
        BlobRecord* blob;
        EnumRecord* enumeration;
        CollectionRecord* collection;
        StructureRecord* structure;
    };

    BindingStore* EnsureStore() noexcept;
    void ReleasePayload() noexcept;
    bool GrowCollection(size_t needed) noexcept;
    BindingProperty* StructureMember(std::string_view name) noexcept;
    static bool CopyPayload(const BindingProperty& source, BindingProperty& target) noexcept;
    void AdoptPayload(BindingProperty& source) noexcept;

    Payload payload_;
    BindingStore* store_;
    PropertyKind kind_ = PropertyKind::kEmpty;
    bool ownsStore_ = true;
};

static_assert(sizeof(void*) != 8 || sizeof(BindingProperty) <= 24,
              "a value is its 8-byte payload, the store pointer and two bytes");

// Compares two texts byte-wise as unsigned bytes (a shorter text first on a common prefix):
// <0, 0 or >0. Member names are short and usually differ early, so a byte loop beats a call
// to memcmp; long common prefixes still go to memcmp.
inline int CompareNames(std::string_view left, std::string_view right) noexcept {
    const size_t common = left.size() < right.size() ? left.size() : right.size();
    const auto* a = reinterpret_cast<const unsigned char*>(left.data());
    const auto* b = reinterpret_cast<const unsigned char*>(right.data());
    size_t index = 0;
    for (const size_t quick = common < 16 ? common : 16; index < quick; ++index) {
        if (a[index] != b[index]) return a[index] < b[index] ? -1 : 1;
    }
    if (index < common) {
        const int order = std::memcmp(a + index, b + index, common - index);
        if (order != 0) return order;
    }
    return left.size() < right.size() ? -1 : (left.size() > right.size() ? 1 : 0);
}

// Orders member names byte-wise; accepts records and plain texts.
struct MemberNameLess {
    using is_transparent = void;
    bool operator()(const StringRecord* left, const StringRecord* right) const noexcept {
        return left != right && CompareNames(left->View(), right->View()) < 0;
    }
    bool operator()(const StringRecord* left, std::string_view right) const noexcept {
        return CompareNames(left->View(), right) < 0;
    }
    bool operator()(std::string_view left, const StringRecord* right) const noexcept {
        return CompareNames(left, right->View()) < 0;
    }
};

// The members of a structure: interned name -> value, nodes drawn from the store.
using MemberMap = std::map<const StringRecord*, BindingProperty, MemberNameLess,
                           StoreAllocator<std::pair<const StringRecord* const, BindingProperty>>>;

// One member seen through a member range.
template <class Value>
struct MemberEntry {
    std::string_view name;
    Value& value;
};

// Iterates over members in name order, yielding {name, value} entries.
template <class Value, class Base>
class MemberIterator {
  public:
    using iterator_category = std::bidirectional_iterator_tag;
    using value_type = MemberEntry<Value>;
    using difference_type = std::ptrdiff_t;
    using reference = MemberEntry<Value>;
    using pointer = void;

    MemberIterator() = default;
    explicit MemberIterator(Base base) : base_(base) {}

    MemberEntry<Value> operator*() const { return {base_->first->View(), base_->second}; }
    MemberIterator& operator++() {
        ++base_;
        return *this;
    }
    MemberIterator operator++(int) {
        MemberIterator old = *this;
        ++base_;
        return old;
    }
    MemberIterator& operator--() {
        --base_;
        return *this;
    }
    MemberIterator operator--(int) {
        MemberIterator old = *this;
        --base_;
        return old;
    }
    bool operator==(const MemberIterator& other) const { return base_ == other.base_; }

  private:
    Base base_{};
};

// The members of a structure, read-only, in name order.
class MemberRange {
  public:
    using iterator = MemberIterator<const BindingProperty, MemberMap::const_iterator>;

    MemberRange() = default;
    explicit MemberRange(const MemberMap* map) : map_(map) {}

    iterator begin() const { return map_ ? iterator(map_->begin()) : iterator(); }
    iterator end() const { return map_ ? iterator(map_->end()) : iterator(); }
    size_t size() const { return map_ ? map_->size() : 0; }
    bool empty() const { return size() == 0; }

  private:
    const MemberMap* map_ = nullptr;
};

// The members of a structure, values writable, in name order.
class MutableMemberRange {
  public:
    using iterator = MemberIterator<BindingProperty, MemberMap::iterator>;

    MutableMemberRange() = default;
    explicit MutableMemberRange(MemberMap* map) : map_(map) {}

    iterator begin() const { return map_ ? iterator(map_->begin()) : iterator(); }
    iterator end() const { return map_ ? iterator(map_->end()) : iterator(); }
    size_t size() const { return map_ ? map_->size() : 0; }
    bool empty() const { return size() == 0; }

  private:
    MemberMap* map_ = nullptr;
};

// Record of a structure value.
struct StructureRecord {
    explicit StructureRecord(BindingStore* store)
        : members(StoreAllocator<MemberMap::value_type>(store)) {}
    MemberMap members;
};

}  // namespace Vane

#endif  // PYX_VALUE_BINDING_PROPERTY_H_
