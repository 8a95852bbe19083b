// The scalar rules every reader and converter shares: a bool or a number of a given range from
// a value or from a string's text, with the system's fixed messages. Each returns at once when
// the status has already failed and reports its own failure through the status; the first
// failure wins. None throws.
#ifndef PYX_VALUE_SCALAR_CONVERSION_H_
#define PYX_VALUE_SCALAR_CONVERSION_H_

#include <cstdint>
#include <exception>
#include <string_view>

#include "util/format.h"
#include "value/binding_property.h"
#include "value/conversion_status.h"

namespace Vane {

// The message for an empty value where one is required, word for word.
inline constexpr std::string_view kRequiredValueMessage = "A value for '%1' is required.";

// Fails `status` with `message` formatted positionally; without memory for the text, with the
// bare template (the status fails either way).
template <class... Args>
void FailConversion(ConversionStatus& status, std::string_view message,
                    const Args&... args) noexcept {
    try {
        status.Fail(FormatPositional(message, args...));
    } catch (const std::exception&) {
        status.Fail(message);
    }
}

// ---- BindingProperty -> native. Each returns true when it wrote `out`. ----

// bool; or the string "true", "1" (true), "false", "0" (false), case-sensitive.
bool BoolFromBinding(ConversionStatus& status, bool& out, const BindingProperty& source,
                     std::string_view name) noexcept;

// A signed integer within [min, max], named `typeName` in messages. Accepts signed, unsigned
// and enum numbers within the bounds; a float within the bounds (compared as doubles; NaN is
// out of range), truncated toward zero; a string parsed by strtoll with base 0 that must be
// consumed whole ("" gives 0).
bool SignedFromBinding(ConversionStatus& status, int64_t& out, const BindingProperty& source,
                       std::string_view name, int64_t min, int64_t max,
                       const char* typeName) noexcept;

// An unsigned integer within [0, max]: as SignedFromBinding, with strtoull; a negative number,
// a float below 0.0 and a text whose first non-blank character is "-" are out of range.
bool UnsignedFromBinding(ConversionStatus& status, uint64_t& out, const BindingProperty& source,
                         std::string_view name, uint64_t max, const char* typeName) noexcept;

// A floating value within [-max, max]: signed, unsigned and enum numbers; a float (NaN passes:
// the destination can hold it); a string parsed by strtod, consumed whole, not overflowing.
bool FloatingFromBinding(ConversionStatus& status, double& out, const BindingProperty& source,
                         std::string_view name, double max, const char* typeName) noexcept;

// ---- A string's text -> native: exactly what the converters above do with a string input. ----
// `text` must be NUL-terminated right after its end (as interned texts and texts decoded in
// place are); a NUL inside it ends a number early and fails the whole-text check.

// "true", "1" (true), "false", "0" (false), case-sensitive.
bool BoolFromText(ConversionStatus& status, bool& out, std::string_view text,
                  std::string_view name) noexcept;
// strtoll with base 0, consumed whole ("" gives 0), within [min, max].
bool SignedFromText(ConversionStatus& status, int64_t& out, std::string_view text,
                    std::string_view name, int64_t min, int64_t max, const char* typeName) noexcept;
// strtoull with base 0, consumed whole, within [0, max]; a text beginning with "-" after blanks
// is out of range.
bool UnsignedFromText(ConversionStatus& status, uint64_t& out, std::string_view text,
                      std::string_view name, uint64_t max, const char* typeName) noexcept;
// strtod, consumed whole, within [-max, max] and not overflowing.
bool FloatingFromText(ConversionStatus& status, double& out, std::string_view text,
                      std::string_view name, double max, const char* typeName) noexcept;

enum class TextNumber { kOk, kFormat, kRange };

// strtoll with base 0 over `text` (NUL-terminated right after its end), consumed whole, within
// [min, max]; writes `value` only on kOk. For callers that must not make a message.
TextNumber ParseSignedText(std::string_view text, int64_t min, int64_t max,
                           int64_t& value) noexcept;

}  // namespace Vane

#endif  // PYX_VALUE_SCALAR_CONVERSION_H_
