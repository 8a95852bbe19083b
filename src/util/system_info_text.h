// The one-line text form of the system figures, as diagnostics show them.
#ifndef PYX_UTIL_SYSTEM_INFO_TEXT_H_
#define PYX_UTIL_SYSTEM_INFO_TEXT_H_

#include <cstddef>

#include "util/system_info.h"

namespace Vane {

// Room for the longest text FormatSystemFigures makes.
inline constexpr size_t kSystemFiguresTextSize = 512;

// Writes `figures` into `buffer` as one line without a line feed, made of three groups joined
// by "; ":
//   processors logical=<n> cores=<n> packages=<n>
//   memory physical=<k>KiB available=<k>KiB commitLimit=<k>KiB commitAvailable=<k>KiB
//   process resident=<k>KiB peak=<k>KiB virtual=<k>KiB
// with bytes shown in whole KiB (rounded down) and "unknown" in place of a figure that could
// not be read. The text is cut to fit and always NUL-terminated when size > 0; returns its
// length. Never allocates.
size_t FormatSystemFigures(char* buffer, size_t size, const SystemFigures& figures) noexcept;

}  // namespace Vane

#endif  // PYX_UTIL_SYSTEM_INFO_TEXT_H_
