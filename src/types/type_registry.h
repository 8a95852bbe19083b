// The native type registry of one plugin: registered structures and enumerations, and the
// function and event tables that describe the plugin's exposed API.
#ifndef PYX_TYPES_TYPE_REGISTRY_H_
#define PYX_TYPES_TYPE_REGISTRY_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "types/type_descriptor.h"
#include "util/failure.h"
#include "util/lock.h"
#include "util/maybe.h"
#include "value/enum_name_resolver.h"

namespace Vane {

// An event the plugin fires: its name, the descriptor of its payload type (null when the type
// is unknown to the registry), a description and tags.
struct EventDescription {
    std::string name;
    const TypeDescriptor* payload = nullptr;
    std::string description;
    std::vector<std::string> tags;
};

// One parameter of a described function.
struct ArgumentDescription {
    std::string name;
    std::string description;
    TypeIdentifier type;
    // Stands in for `type` in the host description when its kind is not 0.
    TypeIdentifier alternateType;
    bool optional = false;
};

// A function of the plugin's exposed API as the help and host descriptions show it.
struct FunctionDescription {
    std::string name;
    std::string nameSpace;
    std::vector<ArgumentDescription> arguments;
    TypeIdentifier returns;
    TypeIdentifier alternateReturns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    // The result type of an asynchronous function; null for a synchronous one.
    const TypeDescriptor* asyncResultType = nullptr;
    std::vector<std::string> tags;
};

// Hashes a type id with 32-bit FNV-1a over its four bytes, lowest byte first.
struct TypeIdHash {
    size_t operator()(uint32_t id) const noexcept;
};

// One per plugin. Types are registered at start-up through BeginType (type_builder.h) or
// RegisterType<T> (record_description.h); a name registered a second time keeps its first
// descriptor. Every lookup and insertion takes the registry's lock; a builder holds it while
// it fills a record, so a descriptor that a lookup returns is complete and never changes
// afterwards. Descriptors and their texts live as long as the registry.
class TypeBuilder;
class EventBuilder;

class TypeRegistry final : public EnumNameResolver {
  public:
    TypeRegistry() = default;
    ~TypeRegistry() override;
    TypeRegistry(const TypeRegistry&) = delete;
    TypeRegistry& operator=(const TypeRegistry&) = delete;

    // The descriptor entered under type id `id`, or null. Types registered with the
    // placeholder id are reachable by name only.
    const TypeDescriptor* FindById(uint32_t id) const noexcept;
    // The descriptor registered under `name`, or null.
    const TypeDescriptor* FindByName(std::string_view name) const noexcept;
    // The type id of the type registered under `name`, or 0.
    uint32_t TypeIdOf(std::string_view name) const noexcept;

    // The registered types in registration order (descriptors are stable; the list is a copy).
    MaybeType<Failure, std::vector<const TypeDescriptor*>> Types() const noexcept;
    // A copy of the function table, in registration order.
    MaybeType<Failure, std::vector<FunctionDescription>> Functions() const noexcept;
    // A copy of the event table, in registration order.
    MaybeType<Failure, std::vector<EventDescription>> Events() const noexcept;

    // The function table's records, in registration order. Records never move nor change
    // once added and live as long as the registry, so their texts may be handed out.
    MaybeType<Failure, std::vector<const FunctionDescription*>> FunctionRecords() const noexcept;
    // The event table's records, in registration order; stable like the function records.
    MaybeType<Failure, std::vector<const EventDescription*>> EventRecords() const noexcept;

    // Appends `function` to the function table. A name already present keeps its first
    // description and the call returns false; false too when memory ran out.
    bool AddFunction(FunctionDescription function) noexcept;

    // The name of `value` in the enumeration registered under `typeId`, or null.
    const char* EnumName(uint32_t typeId, int32_t value) const noexcept override;

    // Whether the framework's built-in types and events have been registered.
    bool HoldsBuiltIns() const noexcept { return holdsBuiltIns_.load(std::memory_order_acquire); }
    // Records that the built-ins are registered.
    void MarkBuiltIns() noexcept { holdsBuiltIns_.store(true, std::memory_order_release); }

    // The registry's lock (recursive). Builders hold it while they fill a record; a caller may
    // hold it around several registrations to make them appear at once.
    CriticalSection& Mutex() const noexcept { return mutex_; }

  private:
    friend class TypeBuilder;
    friend class EventBuilder;
    friend TypeBuilder BeginType(TypeRegistry&, uint32_t, std::string_view, const TypeInfo&,
                                 bool) noexcept;
    friend EventBuilder BeginEvent(TypeRegistry&, std::string_view, const TypeDescriptor*) noexcept;

    // Creates a descriptor entered by name and (unless `info` is the placeholder id) by id.
    // Caller holds the lock; `name` must be free. Null when memory ran out.
    TypeDescriptor* CreateType(uint32_t size, std::string_view name, const TypeInfo& info,
                               bool isEnum) noexcept;
    // Undoes CreateType for a descriptor whose registration failed. Caller holds the lock.
    void RemoveType(const TypeDescriptor* descriptor) noexcept;
    // The descriptor registered under `name`, writable. Caller holds the lock.
    TypeDescriptor* FindByNameLocked(std::string_view name) const noexcept;
    // The event named `name`, or null. Caller holds the lock.
    EventDescription* FindEventLocked(std::string_view name) noexcept;
    // Appends an event. Caller holds the lock; `name` must be free. Null when memory ran out.
    EventDescription* CreateEvent(std::string_view name, const TypeDescriptor* payload) noexcept;
    // Undoes CreateEvent for an event whose registration failed. Caller holds the lock.
    void RemoveEvent(const EventDescription* event) noexcept;

    mutable CriticalSection mutex_;
    std::vector<std::unique_ptr<TypeDescriptor>> types_;
    std::vector<std::unique_ptr<TypeDescriptor>> retired_;  // failed registrations
    std::map<std::string, TypeDescriptor*, std::less<>> typesByName_;
    std::unordered_map<uint32_t, TypeDescriptor*, TypeIdHash> typesById_;
    std::deque<FunctionDescription> functions_;
    std::deque<EventDescription> events_;
    std::atomic<bool> holdsBuiltIns_{false};
};

}  // namespace Vane

#endif  // PYX_TYPES_TYPE_REGISTRY_H_
