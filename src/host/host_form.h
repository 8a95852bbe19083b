// What the two builders of host values (the owned copy of host_value.h and the arena of
// host_value_arena.h) share, so their limits and failure texts cannot drift apart.
#ifndef PYX_HOST_HOST_FORM_H_
#define PYX_HOST_HOST_FORM_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Vane::host_form {

inline constexpr std::string_view kNestedTooDeep =
    "Couldn't convert value to the host form because it is nested deeper than %1 levels.";
inline constexpr std::string_view kTooLarge =
    "Couldn't convert value to the host form because a %1 of size %2 doesn't fit in a host "
    "value.";
inline constexpr std::string_view kOutOfMemory =
    "Couldn't convert value to the host form because memory ran out.";

// Whether a size fits the host form's 32-bit lengths (always, on a 32-bit build).
constexpr bool FitsHostLength(size_t size) noexcept {
    if constexpr (sizeof(size_t) > sizeof(uint32_t)) return size <= UINT32_MAX;
    return true;
}

}  // namespace Vane::host_form

#endif  // PYX_HOST_HOST_FORM_H_
