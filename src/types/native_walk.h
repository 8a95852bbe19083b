// The record walk behind the handlers' Walk and EmptyForOutput operations: a registered
// record written straight to a BindingWriter, member by member, as Walk() would write the
// structure StructToBinding builds from it.
#ifndef PYX_TYPES_NATIVE_WALK_H_
#define PYX_TYPES_NATIVE_WALK_H_

#include "types/type_descriptor.h"
#include "value/binding_writer.h"
#include "value/conversion_status.h"

namespace Vane {

// Walks the record of `descriptor` at `source` into `writer`: BeginStructure with the number
// of members StructToBinding would keep, then each member in ascending name order (of fields
// sharing a name, the last registered; omit-empty fields whose value is empty left out), then
// EndStructure. Fails `status` where StructToBinding would, with its message, after walking
// the fields before the failing one; does nothing when `status` has already failed.
void WalkStruct(ConversionStatus& status, const void* source, const TypeDescriptor* descriptor,
                const TypeRegistry& registry, BindingWriter& writer) noexcept;

// Whether StructToBinding would succeed on the record of `descriptor` at `source` and build a
// structure without members.
bool StructEmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                          const TypeRegistry& registry) noexcept;

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_WALK_H_
