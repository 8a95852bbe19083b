#include "types/type_registry.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <new>

namespace Vane {
namespace {

constexpr int32_t kOutOfMemoryCode = 500;

template <class T>
MaybeType<Failure, T> OutOfMemory(const char* table) {
    return Failure(kOutOfMemoryCode,
                   std::string("Couldn't copy the ") + table + " table because memory ran out.");
}

}  // namespace

size_t TypeIdHash::operator()(uint32_t id) const noexcept {
    uint32_t hash = 0x811C9DC5u;
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= (id >> shift) & 0xFFu;
        hash *= 16777619u;
    }
    return hash;
}

TypeRegistry::~TypeRegistry() = default;

const TypeDescriptor* TypeRegistry::FindById(uint32_t id) const noexcept {
    ScopedLock lock(mutex_);
    auto found = typesById_.find(id);
    return found == typesById_.end() ? nullptr : found->second;
}

const TypeDescriptor* TypeRegistry::FindByName(std::string_view name) const noexcept {
    ScopedLock lock(mutex_);
    return FindByNameLocked(name);
}

uint32_t TypeRegistry::TypeIdOf(std::string_view name) const noexcept {
    const TypeDescriptor* descriptor = FindByName(name);
    return descriptor ? descriptor->typeId : 0;
}

MaybeType<Failure, std::vector<const TypeDescriptor*>> TypeRegistry::Types() const noexcept {
    using Result = std::vector<const TypeDescriptor*>;
    ScopedLock lock(mutex_);
    try {
        Result copy;
        copy.reserve(types_.size());
        for (const auto& type : types_) copy.push_back(type.get());
        return copy;
    } catch (const std::exception&) {
        return OutOfMemory<Result>("type");
    }
}

MaybeType<Failure, std::vector<FunctionDescription>> TypeRegistry::Functions() const noexcept {
    using Result = std::vector<FunctionDescription>;
    ScopedLock lock(mutex_);
    try {
        return Result(functions_.begin(), functions_.end());
    } catch (const std::exception&) {
        return OutOfMemory<Result>("function");
    }
}

MaybeType<Failure, std::vector<EventDescription>> TypeRegistry::Events() const noexcept {
    using Result = std::vector<EventDescription>;
    ScopedLock lock(mutex_);
    try {
        return Result(events_.begin(), events_.end());
    } catch (const std::exception&) {
        return OutOfMemory<Result>("event");
    }
}

MaybeType<Failure, std::vector<const FunctionDescription*>> TypeRegistry::FunctionRecords()
    const noexcept {
    using Result = std::vector<const FunctionDescription*>;
    ScopedLock lock(mutex_);
    try {
        Result records;
        records.reserve(functions_.size());
        for (const FunctionDescription& function : functions_) records.push_back(&function);
        return records;
    } catch (const std::exception&) {
        return OutOfMemory<Result>("function");
    }
}

MaybeType<Failure, std::vector<const EventDescription*>> TypeRegistry::EventRecords()
    const noexcept {
    using Result = std::vector<const EventDescription*>;
    ScopedLock lock(mutex_);
    try {
        Result records;
        records.reserve(events_.size());
        for (const EventDescription& event : events_) records.push_back(&event);
        return records;
    } catch (const std::exception&) {
        return OutOfMemory<Result>("event");
    }
}

bool TypeRegistry::AddFunction(FunctionDescription function) noexcept {
    ScopedLock lock(mutex_);
    for (const FunctionDescription& present : functions_) {
        if (present.name == function.name) return false;
    }
    try {
        functions_.push_back(std::move(function));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

const char* TypeRegistry::EnumName(uint32_t typeId, int32_t value) const noexcept {
    ScopedLock lock(mutex_);
    auto found = typesById_.find(typeId);
    if (found == typesById_.end() || !found->second->isEnum) return nullptr;
    const EnumeratorRecord* enumerator = found->second->FindEnumerator(value);
    return enumerator ? enumerator->name.c_str() : nullptr;
}

TypeDescriptor* TypeRegistry::CreateType(uint32_t size, std::string_view name, const TypeInfo& info,
                                         bool isEnum) noexcept {
    std::unique_ptr<TypeDescriptor> descriptor;
    bool enteredByName = false;
    try {
        descriptor.reset(new TypeDescriptor);
        descriptor->size = size;
        descriptor->isEnum = isEnum;
        descriptor->name.assign(name);
        descriptor->typeId = info.id;
        descriptor->typeInfo = &info;
        descriptor->registry = this;
        types_.reserve(types_.size() + 1);
        typesByName_.emplace(descriptor->name, descriptor.get());
        enteredByName = true;
        // A second type with an id already entered stays reachable by its name only.
        if (info.id != kPlaceholderTypeId) typesById_.try_emplace(info.id, descriptor.get());
        types_.push_back(std::move(descriptor));
        return types_.back().get();
    } catch (const std::exception&) {
        if (enteredByName) typesByName_.erase(descriptor->name);
        return nullptr;
    }
}

void TypeRegistry::RemoveType(const TypeDescriptor* descriptor) noexcept {
    auto owned = std::find_if(types_.begin(), types_.end(),
                              [&](const auto& type) { return type.get() == descriptor; });
    if (owned == types_.end()) return;
    auto byName = typesByName_.find(descriptor->name);
    if (byName != typesByName_.end() && byName->second == descriptor) typesByName_.erase(byName);
    auto byId = typesById_.find(descriptor->typeId);
    if (byId != typesById_.end() && byId->second == descriptor) typesById_.erase(byId);
    // Kept alive: a type registered meanwhile (a mutually recursive one) may refer to it.
    try {
        retired_.push_back(std::move(*owned));
    } catch (const std::exception&) {
        owned->release();  // leaked rather than left dangling
    }
    types_.erase(owned);
}

TypeDescriptor* TypeRegistry::FindByNameLocked(std::string_view name) const noexcept {
    auto found = typesByName_.find(name);
    return found == typesByName_.end() ? nullptr : found->second;
}

EventDescription* TypeRegistry::FindEventLocked(std::string_view name) noexcept {
    for (EventDescription& event : events_) {
        if (event.name == name) return &event;
    }
    return nullptr;
}

EventDescription* TypeRegistry::CreateEvent(std::string_view name,
                                            const TypeDescriptor* payload) noexcept {
    try {
        EventDescription event;
        event.name.assign(name);
        event.payload = payload;
        events_.push_back(std::move(event));
        return &events_.back();
    } catch (const std::exception&) {
        return nullptr;
    }
}

void TypeRegistry::RemoveEvent(const EventDescription* event) noexcept {
    // Only the newest event can still be under construction.
    if (!events_.empty() && &events_.back() == event) events_.pop_back();
}

}  // namespace Vane
