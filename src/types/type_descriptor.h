// What the type registry knows of a registered structure or enumeration: its descriptor, its
// field and enumerator records, and the handler objects that convert values of each kind.
#ifndef PYX_TYPES_TYPE_DESCRIPTOR_H_
#define PYX_TYPES_TYPE_DESCRIPTOR_H_

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "types/type_info.h"
#include "value/binding_property.h"
#include "value/conversion_status.h"

namespace Vane {

class BindingWriter;
class TypeRegistry;
struct TypeDescriptor;

// Field flags. Omit-empty: the field is left out of the output when its value is empty (kind
// empty, false, 0, 0.0, an enum of value 0, or a string, blob, collection or structure of size
// 0). Required: input without the field (or with an empty member of its name) fails.
inline constexpr uint32_t kFieldOmitEmpty = 1;
inline constexpr uint32_t kFieldRequired = 2;

// The type of a field, argument or result: the native kind; for vectors and maps the kind of
// the element (else 0); the descriptor of the struct or enum, or of a vector's or map's struct
// or enum element (else null). Vectors and maps nest one level only.
struct TypeIdentifier {
    uint32_t kind = 0;
    uint32_t elementKind = 0;
    const TypeDescriptor* descriptor = nullptr;

    bool operator==(const TypeIdentifier&) const = default;
};

// Converts native values of one kind (one stateless object per kind, and per element or record
// type for vectors, maps and enums). The operations return at once when `status` has already
// failed, and report their own failure by failing `status` with the message (the first
// failure wins). None throws.
//
// After a failure `status.Value()` holds only {"error": message}: when `out` lay inside it, it
// no longer exists, so a caller checks `status.Ok()` before touching `out` again.
class TypeHandler {
  public:
    // Writes the native value at `destination` from `source`. `name` names the value in
    // messages; `descriptor` is the one of the field's type identifier (null for scalars).
    virtual void FromBinding(ConversionStatus& status, void* destination,
                             const BindingProperty& source, std::string_view name,
                             const TypeDescriptor* descriptor,
                             const TypeRegistry& registry) const noexcept = 0;

    // Builds the value of the native value at `source` in `out` (a value inside
    // `status.Value()`, or that value itself).
    virtual void ToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                           const TypeDescriptor* descriptor,
                           const TypeRegistry& registry) const noexcept = 0;

    // Walks the native value at `source` into `writer`, calling the slots exactly as Walk()
    // would for the value ToBinding builds, without building it. On failure `status` fails
    // with ToBinding's message and the writer has received an incomplete stream, which the
    // caller discards. The default converts with ToBinding and walks the result, so a handler
    // written against the two operations above still walks correctly.
    virtual void Walk(ConversionStatus& status, const void* source,
                      const TypeDescriptor* descriptor, const TypeRegistry& registry,
                      BindingWriter& writer) const noexcept;

    // Whether ToBinding would succeed and build a value IsEmptyForOutput (native_conversion.h)
    // calls empty: what decides that an omit-empty field is left out. The default converts
    // with ToBinding and tests the result.
    virtual bool EmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                                const TypeRegistry& registry) const noexcept;

  protected:
    ~TypeHandler() = default;
};

// One field of a registered structure.
struct FieldRecord {
    std::string name;
    uint32_t nameHash = 0;  // FNV-1a of name
    std::string description;
    const TypeInfo* typeInfo = nullptr;
    uint32_t offset = 0;  // bytes from the start of the native record
    TypeIdentifier type;
    // Stands in for `type` in the host description when its kind is not 0.
    TypeIdentifier alternateType;
    uint32_t flags = 0;  // kFieldOmitEmpty | kFieldRequired
    const TypeHandler* handler = nullptr;
    const TypeDescriptor* owner = nullptr;
    bool optional = false;
};

// One named value of a registered enumeration.
struct EnumeratorRecord {
    int32_t value = 0;
    std::string name;
    std::string description;
    const TypeDescriptor* owner = nullptr;
};

// A registered structure or enumeration. Owned by its registry; filled while its type builder
// lives and never changed afterwards, so it can be read without the registry's lock.
struct TypeDescriptor {
    uint32_t size = 0;  // of the native record, in bytes
    bool isEnum = false;
    std::string name;
    uint32_t typeId = 0;
    const TypeInfo* typeInfo = nullptr;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FieldRecord> fields;  // registration order
    // Indexes into `fields`, ordered by name byte-wise as structure members are, so that a
    // structure and a record can be matched in one ordered walk.
    std::vector<uint32_t> fieldsByName;
    // Fields that an output structure never shows because a later-registered field of the same
    // name replaces their member, and fields flagged kFieldOmitEmpty. While both are 0 a record
    // is written as one member per field, in `fieldsByName` order.
    uint32_t shadowedFields = 0;
    uint32_t omitEmptyFields = 0;
    std::map<std::string, EnumeratorRecord, std::less<>> enumerators;
    // The enumerators ordered by value, then name; kept in step with `enumerators`.
    std::vector<const EnumeratorRecord*> enumeratorsByValue;
    TypeRegistry* registry = nullptr;

    // The enumerator named `name` (case-sensitive), or null.
    const EnumeratorRecord* FindEnumerator(std::string_view name) const noexcept;
    // The enumerator of value `value` (the first by name when several share it), or null.
    const EnumeratorRecord* FindEnumerator(int32_t value) const noexcept;
    // The field named `name`, or null.
    const FieldRecord* FindField(std::string_view name) const noexcept;
};

}  // namespace Vane

#endif  // PYX_TYPES_TYPE_DESCRIPTOR_H_
