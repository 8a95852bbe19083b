// The per-kind conversions between native values and BindingProperty, and the structure
// conversions driven by a type descriptor. Each returns at once when the status has already
// failed and reports its own failure through the status with the system's fixed messages; the
// first failure wins. None throws.
#ifndef PYX_TYPES_NATIVE_CONVERSION_H_
#define PYX_TYPES_NATIVE_CONVERSION_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types/type_descriptor.h"
#include "value/binding_property.h"
#include "value/conversion_status.h"
#include "value/scalar_conversion.h"

namespace Vane {

class TypeRegistry;

// The name of a top-level value in messages.
inline constexpr std::string_view kTopLevelValueName = "<value>";

// ---- BindingProperty -> native. Each returns true when it wrote `out`. ----
// (bool and numbers: value/scalar_conversion.h)

// A string's text, or the registered name of an enum value (looked up in `registry`).
bool StringFromBinding(ConversionStatus& status, std::string& out, const BindingProperty& source,
                       std::string_view name, const TypeRegistry& registry) noexcept;

// A value of the enumeration `descriptor`: a registered number (signed, unsigned, enum), or a
// string naming an enumerator or giving a registered number in int32 text.
bool EnumFromBinding(ConversionStatus& status, int32_t& out, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor) noexcept;

// ---- A string's text -> native: what the converters above do with a string input. ----
// `text` must be NUL-terminated right after its end, as for the scalar rules.
// The enumerator named `text`, else a registered value given as int32 text.
bool EnumFromText(ConversionStatus& status, int32_t& out, std::string_view text,
                  std::string_view name, const TypeDescriptor* descriptor) noexcept;

// A blob's bytes.
bool BlobFromBinding(ConversionStatus& status, std::vector<uint8_t>& out,
                     const BindingProperty& source, std::string_view name) noexcept;

// A deep copy of any value (fails only when memory runs out).
bool ObjectFromBinding(ConversionStatus& status, BindingProperty& out,
                       const BindingProperty& source, std::string_view name) noexcept;

// The record of `descriptor` at `destination`, field by field in registration order: a member
// that is missing or empty leaves its field as it is, unless the field is required. Fields
// converted before a failure keep their new values.
void StructFromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                       std::string_view name, const TypeDescriptor* descriptor,
                       const TypeRegistry& registry) noexcept;

// ---- native -> BindingProperty, built in `out` (inside status.Value() or that value). ----

// The record of `descriptor` at `source` as a structure: one member per field, in
// registration order, except omit-empty fields whose value is empty.
void StructToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                     const TypeDescriptor* descriptor, const TypeRegistry& registry) noexcept;
// A string.
void StringToBinding(ConversionStatus& status, BindingProperty& out,
                     std::string_view text) noexcept;
// A blob.
void BlobToBinding(ConversionStatus& status, BindingProperty& out,
                   std::span<const uint8_t> bytes) noexcept;
// A deep copy of `value`.
void ObjectToBinding(ConversionStatus& status, BindingProperty& out,
                     const BindingProperty& value) noexcept;
// An enum {value, typeId}.
void EnumToBinding(ConversionStatus& status, BindingProperty& out, int32_t value,
                   uint32_t typeId) noexcept;

// Whether an omit-empty field with this value is left out: kind empty, false, 0, 0.0, an enum
// of value 0, or a string, blob, collection or structure of size 0.
bool IsEmptyForOutput(const BindingProperty& value) noexcept;

// ---- Building blocks of the vector and map conversions (native_handlers.h). ----

// Fails unless `source` is a collection ("... of type vector because the input not a
// collection.").
bool CheckCollectionInput(ConversionStatus& status, const BindingProperty& source,
                          std::string_view name) noexcept;
// Fails unless `source` is a structure ("... of type map because the input not a structure.").
bool CheckMapInput(ConversionStatus& status, const BindingProperty& source,
                   std::string_view name) noexcept;
// Fails with "Couldn't assign value to '%1' because memory ran out.".
void FailInputOutOfMemory(ConversionStatus& status, std::string_view name) noexcept;
// Makes `out` an empty collection with room for `count` elements; fails when `count` exceeds
// what a collection may hold or memory ran out.
bool BeginCollectionOutput(ConversionStatus& status, BindingProperty& out, size_t count) noexcept;
// Appends an element to the collection `out`; null after failing when memory ran out.
BindingProperty* AppendOutputElement(ConversionStatus& status, BindingProperty& out) noexcept;
// Makes `out` an empty structure; fails when memory ran out.
bool BeginStructureOutput(ConversionStatus& status, BindingProperty& out) noexcept;
// The (new) member `name` of the structure `out`; null after failing when memory ran out.
BindingProperty* OutputMember(ConversionStatus& status, BindingProperty& out,
                              std::string_view name) noexcept;
// Fails with "Couldn't convert native value because memory ran out.".
void FailOutputOutOfMemory(ConversionStatus& status) noexcept;
// Fails as StructToBinding does for a record without a descriptor.
void FailUnregisteredNative(ConversionStatus& status) noexcept;
// Whether a collection of `count` elements may be output; fails as BeginCollectionOutput does
// when it may not.
bool CheckOutputCount(ConversionStatus& status, size_t count) noexcept;

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_CONVERSION_H_
