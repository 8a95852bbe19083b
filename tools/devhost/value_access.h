// Small readers and builders over BindingProperty shared by the simulated world.
#ifndef PYX_DEVHOST_VALUE_ACCESS_H_
#define PYX_DEVHOST_VALUE_ACCESS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "value/binding_property.h"

namespace Vane::DevHost {

// What the dev host does when memory runs out while it builds a value (a fallible setter or
// copy returned false): it is a development tool in a process of its own, so it stops with a
// message rather than serve or record a value short of what it should hold.
void Require(bool done);

// The value as a signed 64-bit integer when it is a number holding a whole value in range
// (signed, unsigned up to INT64_MAX, or a float without fraction); nothing otherwise.
std::optional<int64_t> ReadInt64(const BindingProperty& value);

// The value as an unsigned 64-bit integer when it is a non-negative whole number; nothing
// otherwise.
std::optional<uint64_t> ReadUint64(const BindingProperty& value);

// The number as a double (signed, unsigned or float); nothing for other kinds.
std::optional<double> ReadNumber(const BindingProperty& value);

// The text of a string value; nothing for other kinds.
std::optional<std::string> ReadString(const BindingProperty& value);

// Sets member `name` of `target` (made a structure when it is not one) to a copy of `value`.
// False when memory ran out.
bool SetMember(BindingProperty& target, std::string_view name, const BindingProperty& value);
// Sets member `name` to the text `text`.
bool SetMemberString(BindingProperty& target, std::string_view name, std::string_view text);
// Sets member `name` to the signed number `number`.
bool SetMemberSigned(BindingProperty& target, std::string_view name, int64_t number);
// Sets member `name` to the unsigned number `number`.
bool SetMemberUnsigned(BindingProperty& target, std::string_view name, uint64_t number);
// Sets member `name` to `flag`.
bool SetMemberBool(BindingProperty& target, std::string_view name, bool flag);

// A string value holding `text`.
BindingProperty StringValue(std::string_view text);

// The compact JSON text of `value` ("null" for the empty value, so the text is always JSON).
std::string ToJsonText(const BindingProperty& value);

// The kind of `value` as the scenario and control messages name it ("null", "bool",
// "number", "string", "list", "object", "blob", "enum").
const char* KindWord(const BindingProperty& value);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_VALUE_ACCESS_H_
