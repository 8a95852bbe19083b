// Conversions between BindingProperty and the flat HostValue form of the host boundary.
#ifndef PYX_HOST_HOST_VALUE_H_
#define PYX_HOST_HOST_VALUE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "pyx/host_abi.h"
#include "value/binding_property.h"
#include "value/conversion_status.h"
#include "value/enum_name_resolver.h"

namespace Vane {

// The name of a host value type as printed in messages: 1 "bool", 2 "signed", 3 "unsigned",
// 4 "float", 5 and 6 "string", 7 and 8 "blob", 9 "collection", 10 "structure"; "" otherwise.
const char* HostTypeName(uint32_t type) noexcept;

// Where a failed host conversion leaves its message, in the host's manner: `text` is newly
// malloc'ed NUL-terminated text and `owned` is set; the receiver frees it (ReleaseHostError).
struct HostErrorSlot {
    char* text = nullptr;
    bool owned = false;
};

// Frees the slot's text when owned and empties the slot.
void ReleaseHostError(HostErrorSlot& slot) noexcept;

// Converts a host value (recursively) into `out`, which is cleared first and built in place in
// its own store: 0 empty, 1 bool, 2 signed, 3 unsigned, 4 float, 5 and 6 string (borrowed
// strings are read by their length, not up to a NUL), 7 and 8 blob, 9 collection (reserved,
// then item i into element i, under the collection's name), 10 structure (each member into
// the member of its name; a repeated name replaces the earlier value). `name` names the value
// in messages ("<result>" for a whole payload). The first failure stops the conversion,
// leaves `out` empty, overwrites `error` with the message and returns false. Failures:
//   "Couldn't assign value to '%1' of type object because the input is of an incompatible
//    type '%2'." for a type above 10 (%2 its host type name, which is then "");
//   "Couldn't assign value to '%1' because the input is nested deeper than %2 levels." when
//    containers nest deeper than kMaxNestingDepth;
//   "Couldn't assign value to '%1' because the input %2 has a null pointer with a length of
//    %3." for a string, blob, collection or structure whose data pointer is null while its
//    length or count is not 0 (a null pointer with 0 is simply empty);
//   "Couldn't assign value to '%1' because a member of the input structure has no name." for
//    a member whose name pointer is null;
//   "Couldn't assign value to '%1' because the input collection has %2 items, more than the
//    limit of %3." above kMaxCollectionSize;
//   "Couldn't assign value to '%1' because memory ran out.".
// %1 is the name of the value being converted where the failure happened.
bool HostValueToBinding(const HostValue& value, std::string_view name, BindingProperty& out,
                        HostErrorSlot& error) noexcept;

// The same conversion reporting through a ConversionStatus: the value, or {"error": message}.
ConversionStatus HostValueToBinding(const HostValue& value, std::string_view name);

// Converts `value` (recursively) into a host value that the plugin owns, overwriting `out`
// (which must hold nothing that still needs releasing): empty 0, bool 1, signed 2, unsigned 3,
// float 4, string 6 (a malloc'ed NUL-terminated copy with its length), blob 8 (a malloc'ed
// copy with its size), collection 9 and structure 10 (malloc'ed zero-filled arrays; member
// names are malloc'ed copies with ownsName set). An enum becomes 6 with its name when
// `resolver` is given and knows a name for the value, else 2 with the number sign-extended.
// Owned buffers are never null, even when empty. On failure (memory ran out, a text or count
// too large for the host's 32-bit lengths, nesting deeper than kMaxNestingDepth) everything
// built so far is released, `out` is zeroed, `error` (when not null) receives the message and
// the result is false.
bool BindingToHostValue(const BindingProperty& value, const EnumNameResolver* resolver,
                        HostValue& out, std::string* error) noexcept;

// Releases a host value the plugin built: types 6 and 8 free their buffer; 9 releases each
// item, then the array; 10 frees each owned name and releases each member value, then the
// array. Types 5 and 7 are never freed. Afterwards the whole record is zeroed (type 0).
void ReleaseHostValue(HostValue& value) noexcept;

}  // namespace Vane

#endif  // PYX_HOST_HOST_VALUE_H_
