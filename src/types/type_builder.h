// Registration of a structure or enumeration in a type registry, field by field.
#ifndef PYX_TYPES_TYPE_BUILDER_H_
#define PYX_TYPES_TYPE_BUILDER_H_

#include <cstdint>
#include <mutex>
#include <string_view>

#include "types/type_descriptor.h"
#include "types/type_info.h"
#include "types/type_registry.h"

namespace Vane {

// What AddField records about one field.
struct FieldDefinition {
    std::string_view name;
    std::string_view description;
    uint32_t offset = 0;
    const TypeInfo* typeInfo = nullptr;
    TypeIdentifier type;
    TypeIdentifier alternateType;
    uint32_t flags = 0;  // kFieldOmitEmpty | kFieldRequired
    const TypeHandler* handler = nullptr;
    bool optional = false;
};

// Fills one descriptor. Made by BeginType; holds the registry's lock until it is destroyed,
// so nobody sees the descriptor half-filled. When the name was registered before, the builder
// refers to that descriptor and every later call is ignored. When a step runs out of memory
// (or is given no handler) the builder fails, and a descriptor it created is withdrawn from
// the registry when the builder is destroyed.
class TypeBuilder {
  public:
    TypeBuilder(TypeBuilder&& other) noexcept;
    TypeBuilder& operator=(TypeBuilder&&) = delete;
    ~TypeBuilder();

    // The descriptor being filled, or the one registered before under the name; null when
    // memory ran out in BeginType.
    const TypeDescriptor* Descriptor() const noexcept { return descriptor_; }
    // True when the name was registered before (later calls are then ignored).
    bool AlreadyRegistered() const noexcept { return alreadyRegistered_; }
    // False once a step failed (see the class comment).
    bool Ok() const noexcept { return descriptor_ && !failed_; }
    // Whether calls still change the descriptor: it is new and no step failed.
    bool Writable() const noexcept { return Ok() && !alreadyRegistered_; }

    // Sets the description.
    TypeBuilder& Description(std::string_view text) noexcept;
    // Sets the name space.
    TypeBuilder& NameSpace(std::string_view text) noexcept;
    // Appends a tag.
    TypeBuilder& Tag(std::string_view text) noexcept;
    // Fails the builder: a descriptor it created is withdrawn when it is destroyed.
    void MarkFailed() noexcept { failed_ = true; }

    // The registry written to.
    TypeRegistry& Registry() const noexcept { return *registry_; }

  private:
    friend TypeBuilder BeginType(TypeRegistry&, uint32_t, std::string_view, const TypeInfo&,
                                 bool) noexcept;
    friend bool AddField(TypeBuilder&, const FieldDefinition&) noexcept;
    friend bool AddEnumerator(TypeBuilder&, std::string_view, int32_t, std::string_view) noexcept;

    explicit TypeBuilder(TypeRegistry& registry) noexcept;

    TypeRegistry* registry_;
    std::unique_lock<CriticalSection> lock_;
    TypeDescriptor* descriptor_ = nullptr;
    bool alreadyRegistered_ = false;
    bool failed_ = false;
};

// Begins the registration of a native record of `size` bytes under `name`, identified by
// `info` (which must live as long as the registry; TypeInfoOf and PlaceholderTypeInfo give
// such infos), as an enumeration when `isEnum`. A new descriptor is entered by name and, unless
// info's id is the placeholder id, by id (an id already entered keeps its first type).
TypeBuilder BeginType(TypeRegistry& registry, uint32_t size, std::string_view name,
                      const TypeInfo& info, bool isEnum) noexcept;

// Appends a field record (its name hash computed here). False, changing nothing, when the
// builder is not writable; false and the builder failed when `definition` has no handler or memory
// ran out.
bool AddField(TypeBuilder& builder, const FieldDefinition& definition) noexcept;

// Inserts the enumerator `name` with `value`, or replaces the one of that name. False when
// the builder is not writable; false and the builder failed when memory ran out.
bool AddEnumerator(TypeBuilder& builder, std::string_view name, int32_t value,
                   std::string_view description) noexcept;

}  // namespace Vane

#endif  // PYX_TYPES_TYPE_BUILDER_H_
