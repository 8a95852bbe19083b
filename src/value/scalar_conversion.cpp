#include "value/scalar_conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Vane {
namespace {

// ---- Messages, word for word ----
constexpr std::string_view kBoolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", "
    "\"1\", \"0\".";
constexpr std::string_view kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
constexpr std::string_view kNumberFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
constexpr std::string_view kNumberInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
constexpr std::string_view kOutOfRange = "Value %1 for '%2' of type %3 is out of range";

// strtoll/strtoull/strtod skip these before the number.
bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

TextNumber ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) noexcept {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.data(), &end, 0);
    const int error = errno;
    if (end != text.data() + text.size()) return TextNumber::kFormat;
    // strtoull wraps negative texts around; they are out of range, not huge numbers.
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first < text.size() && text[first] == '-') return TextNumber::kRange;
    if (error == ERANGE || parsed > max) return TextNumber::kRange;
    value = parsed;
    return TextNumber::kOk;
}

// Whether `value` lies within [min, max] compared as doubles and truncates to a number within
// them. The extra "< max + 1" test matters for 64-bit widths only, whose max rounds up to
// 2^63 or 2^64 as a double: without it 2^63 would pass and its conversion overflow. NaN fails.
bool FloatFitsInteger(double value, double min, double max) noexcept {
    return value >= min && value <= max && value < max + 1.0;
}

// Stores a number parsed from text, or fails with the format or range message naming it.
template <class T>
bool AcceptParsed(ConversionStatus& status, TextNumber result, T value, T& out,
                  std::string_view text, std::string_view name, const char* typeName) noexcept {
    switch (result) {
        case TextNumber::kOk:
            out = value;
            return true;
        case TextNumber::kFormat:
            FailConversion(status, kNumberFormat, text, name, typeName);
            return false;
        case TextNumber::kRange:
            FailConversion(status, kOutOfRange, text, name, typeName);
            return false;
    }
    return false;
}

}  // namespace

// `text` is a string value's text, NUL-terminated right after its end, so the C parsers stop
// there at the latest; a NUL inside the text ends the parse early and fails the whole-text
// check.
TextNumber ParseSignedText(std::string_view text, int64_t min, int64_t max,
                           int64_t& value) noexcept {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.data(), &end, 0);
    const int error = errno;
    if (end != text.data() + text.size()) return TextNumber::kFormat;
    if (error == ERANGE || parsed < min || parsed > max) return TextNumber::kRange;
    value = parsed;
    return TextNumber::kOk;
}

bool BoolFromText(ConversionStatus& status, bool& out, std::string_view text,
                  std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (text == "true" || text == "1") {
        out = true;
        return true;
    }
    if (text == "false" || text == "0") {
        out = false;
        return true;
    }
    FailConversion(status, kBoolFormat, text, name);
    return false;
}

bool SignedFromText(ConversionStatus& status, int64_t& out, std::string_view text,
                    std::string_view name, int64_t min, int64_t max,
                    const char* typeName) noexcept {
    if (!status.Ok()) return false;
    int64_t value = 0;
    const TextNumber result = ParseSignedText(text, min, max, value);
    return AcceptParsed(status, result, value, out, text, name, typeName);
}

bool UnsignedFromText(ConversionStatus& status, uint64_t& out, std::string_view text,
                      std::string_view name, uint64_t max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    uint64_t value = 0;
    const TextNumber result = ParseUnsigned(text, max, value);
    return AcceptParsed(status, result, value, out, text, name, typeName);
}

bool FloatingFromText(ConversionStatus& status, double& out, std::string_view text,
                      std::string_view name, double max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.data(), &end);
    const bool overflow = errno == ERANGE && std::isinf(value);
    if (end != text.data() + text.size()) {
        FailConversion(status, kNumberFormat, text, name, typeName);
        return false;
    }
    // An underflow to zero or a subnormal is a value, not an error.
    if (overflow || value < -max || value > max) {
        FailConversion(status, kOutOfRange, text, name, typeName);
        return false;
    }
    out = value;
    return true;
}

bool BoolFromBinding(ConversionStatus& status, bool& out, const BindingProperty& source,
                     std::string_view name) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        case PropertyKind::kBool:
            out = source.GetBool();
            return true;
        case PropertyKind::kString:
            return BoolFromText(status, out, source.GetString(), name);
        default:
            FailConversion(status, kBoolInvalidType, name, KindName(source.Kind()));
            return false;
    }
}

bool SignedFromBinding(ConversionStatus& status, int64_t& out, const BindingProperty& source,
                       std::string_view name, int64_t min, int64_t max,
                       const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (value < min || value > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value > static_cast<uint64_t>(max)) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<int64_t>(value);
            return true;
        }
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (!FloatFitsInteger(value, static_cast<double>(min), static_cast<double>(max))) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<int64_t>(value);
            return true;
        }
        case PropertyKind::kString:
            return SignedFromText(status, out, source.GetString(), name, min, max, typeName);
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (value < min || value > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        default:
            FailConversion(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
}

bool UnsignedFromBinding(ConversionStatus& status, uint64_t& out, const BindingProperty& source,
                         std::string_view name, uint64_t max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (!FloatFitsInteger(value, 0.0, static_cast<double>(max))) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        case PropertyKind::kString:
            return UnsignedFromText(status, out, source.GetString(), name, max, typeName);
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        default:
            FailConversion(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
}

bool FloatingFromBinding(ConversionStatus& status, double& out, const BindingProperty& source,
                         std::string_view name, double max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        case PropertyKind::kSigned:
            out = static_cast<double>(source.GetSigned());
            return true;
        case PropertyKind::kUnsigned:
            out = static_cast<double>(source.GetUnsigned());
            return true;
        case PropertyKind::kEnum:
            out = source.GetEnum().value;
            return true;
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (value < -max || value > max) {
                FailConversion(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kString:
            return FloatingFromText(status, out, source.GetString(), name, max, typeName);
        default:
            FailConversion(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
}

}  // namespace Vane
