#include "value/binding_property.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <tuple>

namespace Vane {

// Record of a blob value; the bytes follow it in the same allocation.
struct BlobRecord {
    size_t size;

    uint8_t* Bytes() noexcept { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* Bytes() const noexcept { return reinterpret_cast<const uint8_t*>(this + 1); }
};

// Record of a collection value. The element buffer is trivially relocated on growth: a value
// holds no pointer into itself, so moving its bytes moves it.
struct CollectionRecord {
    BindingProperty* items;
    uint32_t size;
    uint32_t capacity;
};

namespace {

static_assert(kMaxCollectionSize <= UINT32_MAX);

// Buffers of at most this many elements come from the small-object allocator.
constexpr size_t kPooledElements = SmallObjectAllocator::kMaxObjectSize / sizeof(BindingProperty);

constinit const BindingProperty kSharedEmpty;

const char* const kKindNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                  "string", "blob", "enum",   "collection", "structure"};

template <class Record, class... Args>
Record* NewRecord(BindingStore* store, Args&&... args) noexcept {
    void* memory = store->Allocate(sizeof(Record), alignof(Record));
    return memory ? new (memory) Record(std::forward<Args>(args)...) : nullptr;
}

template <class Record>
void DeleteRecord(BindingStore* store, Record* record) noexcept {
    record->~Record();
    store->Deallocate(record, sizeof(Record), alignof(Record));
}

size_t BlobBytes(size_t size) noexcept {
    return sizeof(BlobRecord) + size;
}

BlobRecord* NewBlob(BindingStore* store, size_t size) noexcept {
    if (size > SIZE_MAX - sizeof(BlobRecord)) return nullptr;
    void* memory = store->Allocate(BlobBytes(size), alignof(BlobRecord));
    if (!memory) return nullptr;
    BlobRecord* record = static_cast<BlobRecord*>(memory);
    record->size = size;
    return record;
}

bool IsSharedEmptyString(const StringRecord* record) noexcept {
    return record == BindingStore::EmptyString();
}

// Inserts a member known to sort after every present one (or at `hint`) and returns its value;
// takes over one reference of `name`, releasing it on failure.
BindingProperty* InsertMember(MemberMap& members, MemberMap::iterator hint,
                              const StringRecord* name, BindingProperty::ChildKey key,
                              BindingStore* store) noexcept {
    try {
        auto inserted =
            members.emplace_hint(hint, std::piecewise_construct, std::forward_as_tuple(name),
                                 std::forward_as_tuple(key));
        return &inserted->second;
    } catch (const std::bad_alloc&) {
        store->Release(name);
        return nullptr;
    }
}

}  // namespace

const char* KindName(uint8_t code) noexcept {
    return code < std::size(kKindNames) ? kKindNames[code] : "";
}

const BindingProperty& BindingProperty::SharedEmpty() noexcept {
    return kSharedEmpty;
}

BindingProperty::~BindingProperty() {
    // A root takes its store with it, and the store frees every record of the tree at once.
    if (ownsStore_ && store_) {
        delete store_;
        return;
    }
    ReleasePayload();
}

BindingProperty::BindingProperty(const BindingProperty& other) noexcept : BindingProperty() {
    // A copy that runs out of memory is left empty (see the header); CopyFrom says so to
    // callers that must know.
    static_cast<void>(CopyFrom(other));
}

BindingProperty::BindingProperty(BindingProperty&& other) noexcept : BindingProperty() {
    // As for copies: without memory the value is left empty; MoveFrom reports it.
    static_cast<void>(MoveFrom(other));
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) noexcept {
    // A copy that runs out of memory is left empty (see the header); CopyFrom says so to
    // callers that must know.
    static_cast<void>(CopyFrom(other));
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) noexcept {
    // As for copies: without memory the value is left empty; MoveFrom reports it.
    static_cast<void>(MoveFrom(other));
    return *this;
}

BindingStore* BindingProperty::EnsureStore() noexcept {
    // Only a root can lack a store: children are created with their parent's.
    if (!store_) store_ = new (std::nothrow) BindingStore();
    return store_;
}

void BindingProperty::ReleasePayload() noexcept {
    switch (kind_) {
        case PropertyKind::kString:
            if (!IsSharedEmptyString(payload_.string)) store_->Release(payload_.string);
            break;
        case PropertyKind::kBlob:
            store_->Deallocate(payload_.blob, BlobBytes(payload_.blob->size), alignof(BlobRecord));
            break;
        case PropertyKind::kEnum:
            DeleteRecord(store_, payload_.enumeration);
            break;
        case PropertyKind::kCollection: {
            CollectionRecord* record = payload_.collection;
            for (uint32_t index = 0; index < record->size; ++index) {
                record->items[index].~BindingProperty();
            }
            store_->Deallocate(record->items, record->capacity * sizeof(BindingProperty),
                               alignof(BindingProperty));
            DeleteRecord(store_, record);
            break;
        }
        case PropertyKind::kStructure: {
            StructureRecord* record = payload_.structure;
            // Destroying the map never compares keys, so the names can go first.
            for (auto& member : record->members) store_->Release(member.first);
            DeleteRecord(store_, record);
            break;
        }
        default:
            break;
    }
    payload_.u64 = 0;
    kind_ = PropertyKind::kEmpty;
}

void BindingProperty::AdoptPayload(BindingProperty& source) noexcept {
    payload_ = source.payload_;
    kind_ = source.kind_;
    source.payload_.u64 = 0;
    source.kind_ = PropertyKind::kEmpty;
}

void BindingProperty::Clear() noexcept {
    ReleasePayload();
}

void BindingProperty::SetBool(bool value) noexcept {
    ReleasePayload();
    payload_.boolean = value;
    kind_ = PropertyKind::kBool;
}

void BindingProperty::SetSigned(int64_t value) noexcept {
    ReleasePayload();
    payload_.i64 = value;
    kind_ = PropertyKind::kSigned;
}

void BindingProperty::SetUnsigned(uint64_t value) noexcept {
    ReleasePayload();
    payload_.u64 = value;
    kind_ = PropertyKind::kUnsigned;
}

void BindingProperty::SetFloat(double value) noexcept {
    ReleasePayload();
    payload_.f64 = value;
    kind_ = PropertyKind::kFloat;
}

bool BindingProperty::SetString(std::string_view text) noexcept {
    const StringRecord* record = BindingStore::EmptyString();
    if (!text.empty()) {
        // Intern before clearing: the text may be this value's own.
        BindingStore* store = EnsureStore();
        record = store ? store->Intern(text) : nullptr;
    }
    ReleasePayload();
    if (!record) return false;
    payload_.string = record;
    kind_ = PropertyKind::kString;
    return true;
}

bool BindingProperty::SetString(const char* text) noexcept {
    return SetString(text ? std::string_view(text) : std::string_view());
}

bool BindingProperty::SetBlob(std::span<const uint8_t> bytes) noexcept {
    // Copy before clearing: the bytes may be this value's own.
    BindingStore* store = EnsureStore();
    BlobRecord* record = store ? NewBlob(store, bytes.size()) : nullptr;
    if (record && !bytes.empty()) std::memcpy(record->Bytes(), bytes.data(), bytes.size());
    ReleasePayload();
    if (!record) return false;
    payload_.blob = record;
    kind_ = PropertyKind::kBlob;
    return true;
}

uint8_t* BindingProperty::MakeBlob(size_t size) noexcept {
    ReleasePayload();
    BindingStore* store = EnsureStore();
    BlobRecord* record = store ? NewBlob(store, size) : nullptr;
    if (!record) return nullptr;
    if (size) std::memset(record->Bytes(), 0, size);
    payload_.blob = record;
    kind_ = PropertyKind::kBlob;
    return record->Bytes();
}

bool BindingProperty::SetEnum(int32_t value, uint32_t typeId) noexcept {
    ReleasePayload();
    BindingStore* store = EnsureStore();
    EnumRecord* record = store ? NewRecord<EnumRecord>(store, EnumRecord{value, typeId}) : nullptr;
    if (!record) return false;
    payload_.enumeration = record;
    kind_ = PropertyKind::kEnum;
    return true;
}

bool BindingProperty::MakeCollection() noexcept {
    if (kind_ == PropertyKind::kCollection) return true;
    ReleasePayload();
    BindingStore* store = EnsureStore();
    CollectionRecord* record =
        store ? NewRecord<CollectionRecord>(store, CollectionRecord{nullptr, 0, 0}) : nullptr;
    if (!record) return false;
    payload_.collection = record;
    kind_ = PropertyKind::kCollection;
    return true;
}

bool BindingProperty::MakeStructure() noexcept {
    if (kind_ == PropertyKind::kStructure) return true;
    ReleasePayload();
    BindingStore* store = EnsureStore();
    StructureRecord* record = store ? NewRecord<StructureRecord>(store, store) : nullptr;
    if (!record) return false;
    payload_.structure = record;
    kind_ = PropertyKind::kStructure;
    return true;
}

bool BindingProperty::CopyFrom(const BindingProperty& source) noexcept {
    if (&source == this) return true;
    if (source.kind_ < PropertyKind::kString ||
        (source.kind_ == PropertyKind::kString && IsSharedEmptyString(source.payload_.string))) {
        ReleasePayload();
        payload_ = source.payload_;
        kind_ = source.kind_;
        return true;
    }
    BindingStore* store = EnsureStore();
    if (!store) {
        ReleasePayload();
        return false;
    }
    // Build aside first: `source` may lie inside this value.
    BindingProperty copy{ChildKey(store)};
    const bool copied = CopyPayload(source, copy);
    ReleasePayload();
    if (copied) AdoptPayload(copy);
    return copied;
}

bool BindingProperty::MoveFrom(BindingProperty& source) noexcept {
    if (&source == this) return true;
    if (ownsStore_ && source.ownsStore_) {
        std::swap(payload_, source.payload_);
        std::swap(store_, source.store_);
        std::swap(kind_, source.kind_);
        source.ReleasePayload();
        return true;
    }
    if (store_ && store_ == source.store_) {
        // Same tree: the records can change hands without copying. Detach first, since
        // `source` may lie inside this value.
        BindingProperty held{ChildKey(store_)};
        held.AdoptPayload(source);
        ReleasePayload();
        AdoptPayload(held);
        return true;
    }
    const bool copied = CopyFrom(source);
    source.ReleasePayload();
    return copied;
}

bool BindingProperty::CopyPayload(const BindingProperty& source, BindingProperty& target) noexcept {
    BindingStore* store = target.store_;
    switch (source.kind_) {
        case PropertyKind::kString: {
            const StringRecord* record = source.payload_.string;
            if (!IsSharedEmptyString(record)) {
                record = source.store_ == store ? store->AddReference(record)
                                                : store->Intern(record->View(), record->hash);
                if (!record) return false;
            }
            target.payload_.string = record;
            target.kind_ = PropertyKind::kString;
            return true;
        }
        case PropertyKind::kBlob:
            return target.SetBlob(source.GetBlob());
        case PropertyKind::kEnum:
            return target.SetEnum(source.payload_.enumeration->value,
                                  source.payload_.enumeration->typeId);
        case PropertyKind::kCollection: {
            const CollectionRecord* items = source.payload_.collection;
            if (!target.MakeCollection() || !target.Reserve(items->size)) return false;
            for (uint32_t index = 0; index < items->size; ++index) {
                BindingProperty* element = target.AppendElement();
                if (!element || !CopyPayload(items->items[index], *element)) return false;
            }
            return true;
        }
        case PropertyKind::kStructure: {
            if (!target.MakeStructure()) return false;
            MemberMap& members = target.payload_.structure->members;
            const bool sameStore = source.store_ == store;
            for (const auto& [key, value] : source.payload_.structure->members) {
                const StringRecord* name =
                    sameStore ? store->AddReference(key) : store->Intern(key->View(), key->hash);
                if (!name) return false;
                BindingProperty* member =
                    InsertMember(members, members.end(), name, ChildKey(store), store);
                if (!member || !CopyPayload(value, *member)) return false;
            }
            return true;
        }
        default:
            target.payload_ = source.payload_;
            target.kind_ = source.kind_;
            return true;
    }
}

bool BindingProperty::GetBool(bool defaultValue) const noexcept {
    return kind_ == PropertyKind::kBool ? payload_.boolean : defaultValue;
}

int64_t BindingProperty::GetSigned(int64_t defaultValue) const noexcept {
    return kind_ == PropertyKind::kSigned ? payload_.i64 : defaultValue;
}

uint64_t BindingProperty::GetUnsigned(uint64_t defaultValue) const noexcept {
    return kind_ == PropertyKind::kUnsigned ? payload_.u64 : defaultValue;
}

double BindingProperty::GetFloat(double defaultValue) const noexcept {
    return kind_ == PropertyKind::kFloat ? payload_.f64 : defaultValue;
}

std::string_view BindingProperty::GetString(std::string_view defaultValue) const noexcept {
    return kind_ == PropertyKind::kString ? payload_.string->View() : defaultValue;
}

std::span<const uint8_t> BindingProperty::GetBlob(
    std::span<const uint8_t> defaultValue) const noexcept {
    if (kind_ != PropertyKind::kBlob) return defaultValue;
    return std::span<const uint8_t>(payload_.blob->Bytes(), payload_.blob->size);
}

EnumRecord BindingProperty::GetEnum(EnumRecord defaultValue) const noexcept {
    return kind_ == PropertyKind::kEnum ? *payload_.enumeration : defaultValue;
}

std::string BindingProperty::AsText() const {
    switch (kind_) {
        case PropertyKind::kBool:
            return payload_.boolean ? "true" : "false";
        case PropertyKind::kSigned:
            return std::to_string(payload_.i64);
        case PropertyKind::kUnsigned:
            return std::to_string(payload_.u64);
        case PropertyKind::kFloat: {
            const int length = std::snprintf(nullptr, 0, "%f", payload_.f64);
            if (length <= 0) return std::string();
            std::string text(static_cast<size_t>(length), '\0');
            std::snprintf(text.data(), text.size() + 1, "%f", payload_.f64);
            return text;
        }
        case PropertyKind::kString:
            return std::string(payload_.string->View());
        case PropertyKind::kBlob:
            return std::string(reinterpret_cast<const char*>(payload_.blob->Bytes()),
                               payload_.blob->size);
        case PropertyKind::kEnum:
            return std::to_string(payload_.enumeration->value);
        default:
            return std::string();
    }
}

size_t BindingProperty::Size() const noexcept {
    switch (kind_) {
        case PropertyKind::kEmpty:
            return 0;
        case PropertyKind::kString:
            return payload_.string->length;
        case PropertyKind::kBlob:
            return payload_.blob->size;
        case PropertyKind::kCollection:
            return payload_.collection->size;
        case PropertyKind::kStructure:
            return payload_.structure->members.size();
        default:
            return 1;
    }
}

bool BindingProperty::GrowCollection(size_t needed) noexcept {
    CollectionRecord* record = payload_.collection;
    if (needed <= record->capacity) return true;
    if (needed > kMaxCollectionSize) return false;
    // A first buffer fills a whole pool slot; beyond it capacity doubles.
    size_t capacity = record->capacity ? size_t{record->capacity} * 2 : kPooledElements;
    if (capacity < needed) capacity = needed;
    if (capacity > kMaxCollectionSize) capacity = kMaxCollectionSize;
    void* items = store_->Reallocate(record->items, record->capacity * sizeof(BindingProperty),
                                     capacity * sizeof(BindingProperty), alignof(BindingProperty));
    if (!items) return false;
    record->items = static_cast<BindingProperty*>(items);
    record->capacity = static_cast<uint32_t>(capacity);
    return true;
}

bool BindingProperty::Reserve(size_t count) noexcept {
    if (kind_ != PropertyKind::kCollection || count > kMaxCollectionSize) return false;
    CollectionRecord* record = payload_.collection;
    if (count <= record->capacity) return true;
    void* items = store_->Reallocate(record->items, record->capacity * sizeof(BindingProperty),
                                     count * sizeof(BindingProperty), alignof(BindingProperty));
    if (!items) return false;
    record->items = static_cast<BindingProperty*>(items);
    record->capacity = static_cast<uint32_t>(count);
    return true;
}

BindingProperty* BindingProperty::ElementAt(size_t index) noexcept {
    if (index >= kMaxCollectionSize) return nullptr;
    if (kind_ != PropertyKind::kCollection && !MakeCollection()) return nullptr;
    CollectionRecord* record = payload_.collection;
    if (index >= record->size) {
        if (!GrowCollection(index + 1)) return nullptr;
        for (size_t next = record->size; next <= index; ++next) {
            new (&record->items[next]) BindingProperty(ChildKey(store_));
        }
        record->size = static_cast<uint32_t>(index + 1);
    }
    return &record->items[index];
}

BindingProperty* BindingProperty::AppendElement() noexcept {
    return ElementAt(kind_ == PropertyKind::kCollection ? payload_.collection->size : 0);
}

const BindingProperty& BindingProperty::Element(size_t index) const noexcept {
    if (kind_ != PropertyKind::kCollection || index >= payload_.collection->size) {
        return kSharedEmpty;
    }
    return payload_.collection->items[index];
}

std::span<BindingProperty> BindingProperty::Elements() noexcept {
    if (kind_ != PropertyKind::kCollection) return {};
    return std::span<BindingProperty>(payload_.collection->items, payload_.collection->size);
}

std::span<const BindingProperty> BindingProperty::Elements() const noexcept {
    if (kind_ != PropertyKind::kCollection) return {};
    return std::span<const BindingProperty>(payload_.collection->items, payload_.collection->size);
}

BindingProperty* BindingProperty::MemberForWrite(std::string_view name) noexcept {
    if (kind_ == PropertyKind::kStructure) return StructureMember(name);
    // Intern before the value is cleared: the name may be this value's own text.
    BindingStore* store = EnsureStore();
    const StringRecord* key = store ? store->Intern(name) : nullptr;
    if (!key) return nullptr;
    if (!MakeStructure()) {
        store->Release(key);
        return nullptr;
    }
    MemberMap& members = payload_.structure->members;
    return InsertMember(members, members.end(), key, ChildKey(store), store);
}

BindingProperty* BindingProperty::StructureMember(std::string_view name) noexcept {
    MemberMap& members = payload_.structure->members;
    auto hint = members.end();
    if (!members.empty()) {
        // Members often arrive in order: check the last one before searching.
        auto last = std::prev(members.end());
        const int order = CompareNames(last->first->View(), name);
        if (order == 0) return &last->second;
        if (order > 0) {
            hint = members.lower_bound(name);
            if (CompareNames(hint->first->View(), name) == 0) return &hint->second;
        }
    }
    const StringRecord* key = store_->Intern(name);
    if (!key) return nullptr;
    return InsertMember(members, hint, key, ChildKey(store_), store_);
}

const BindingProperty& BindingProperty::Member(std::string_view name) const noexcept {
    const BindingProperty* member = FindMember(name);
    return member ? *member : kSharedEmpty;
}

const BindingProperty* BindingProperty::FindMember(std::string_view name) const noexcept {
    if (kind_ != PropertyKind::kStructure) return nullptr;
    const MemberMap& members = payload_.structure->members;
    auto found = members.find(name);
    return found == members.end() ? nullptr : &found->second;
}

BindingProperty* BindingProperty::FindMember(std::string_view name) noexcept {
    return const_cast<BindingProperty*>(std::as_const(*this).FindMember(name));
}

bool BindingProperty::RemoveMember(std::string_view name) noexcept {
    if (kind_ != PropertyKind::kStructure) return false;
    MemberMap& members = payload_.structure->members;
    auto found = members.find(name);
    if (found == members.end()) return false;
    const StringRecord* key = found->first;
    members.erase(found);
    store_->Release(key);
    return true;
}

MemberRange BindingProperty::Members() const noexcept {
    return kind_ == PropertyKind::kStructure ? MemberRange(&payload_.structure->members)
                                             : MemberRange();
}

MutableMemberRange BindingProperty::Members() noexcept {
    return kind_ == PropertyKind::kStructure ? MutableMemberRange(&payload_.structure->members)
                                             : MutableMemberRange();
}

bool operator==(const BindingProperty& left, const BindingProperty& right) noexcept {
    if (left.kind_ != right.kind_) return false;
    switch (left.kind_) {
        case PropertyKind::kEmpty:
            return true;
        case PropertyKind::kBool:
            return left.payload_.boolean == right.payload_.boolean;
        case PropertyKind::kSigned:
            return left.payload_.i64 == right.payload_.i64;
        case PropertyKind::kUnsigned:
            return left.payload_.u64 == right.payload_.u64;
        case PropertyKind::kFloat:
            return left.payload_.f64 == right.payload_.f64;
        case PropertyKind::kString:
            return left.payload_.string->View() == right.payload_.string->View();
        case PropertyKind::kBlob: {
            const auto a = left.GetBlob();
            const auto b = right.GetBlob();
            return a.size() == b.size() &&
                   (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
        }
        case PropertyKind::kEnum:
            return *left.payload_.enumeration == *right.payload_.enumeration;
        case PropertyKind::kCollection: {
            const auto a = left.Elements();
            const auto b = right.Elements();
            if (a.size() != b.size()) return false;
            for (size_t index = 0; index < a.size(); ++index) {
                if (!(a[index] == b[index])) return false;
            }
            return true;
        }
        case PropertyKind::kStructure: {
            const MemberMap& a = left.payload_.structure->members;
            const MemberMap& b = right.payload_.structure->members;
            if (a.size() != b.size()) return false;
            for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
                if (i->first->View() != j->first->View() || !(i->second == j->second)) return false;
            }
            return true;
        }
    }
    return false;
}

}  // namespace Vane
