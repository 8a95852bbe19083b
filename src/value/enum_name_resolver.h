// Turns the numeric value of a registered enumeration into its registered name.
#ifndef PYX_VALUE_ENUM_NAME_RESOLVER_H_
#define PYX_VALUE_ENUM_NAME_RESOLVER_H_

#include <cstdint>

namespace Vane {

// Implemented by the native type registry; writers that can print enumerations by name (the
// JSON writer, the host value conversion) take a `const EnumNameResolver*`, which may be null
// to print every enumeration as its number.
class EnumNameResolver {
  public:
    virtual ~EnumNameResolver() = default;

    // The NUL-terminated name registered for `value` in the enumeration `typeId`, or null when
    // the type is unknown or has no name for that value. The text stays valid while the
    // resolver lives.
    virtual const char* EnumName(uint32_t typeId, int32_t value) const = 0;
};

}  // namespace Vane

#endif  // PYX_VALUE_ENUM_NAME_RESOLVER_H_
