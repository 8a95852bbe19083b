// Named message templates such as "Error response for {method} {url}: {error}": rewritten into
// the positional form of FormatPositional while the named values are collected as fields.
//
// Holes are numbered 1, 2, 3 ... in order of appearance (names do not matter); hole k takes
// value k. Outside holes: "%%" stays "%%"; another printf placeholder is copied as written and
// consumes a hole number; "{{" writes "{"; "}}" or a lone "}" writes "}". Inside a hole
// ("{" ["#"] ... "}"):
//   "#" (right after "{")  add a type suffix to the field name ("_bool", "_int", "_float",
//                          "_str") unless it already ends in a known suffix
//   "!"                    hide: write nothing and drop trailing white space before the hole
//   "?text"                alternative: written instead when the value is empty (false, 0,
//                          0.0, "")
//   ":text"                printf conversion: the hole becomes "%k$text"
//   "@text"                decoration: "str" turns the value into a string, "hex" writes an
//                          integer as 16 upper-case hexadecimal digits
//   "\c"                   the character c literally; a "{" inside a hole is ignored
// Plain characters go to the format text once ":" was seen, else to the decoration once "@"
// was seen, else to the alternative once "?" was seen, else to the name.
// Choices for bad or awkward input, made so the result is always what the text says:
//   - A hole without closing "}" is copied literally (its "%" doubled) and records nothing.
//   - A hole number above the value count writes nothing and records nothing.
//   - Alternative text is literal: its "%" are doubled.
//   - A short "%k" followed by a digit is written "%k$<default letter>" so the digit does not
//     join the number; a format text without a conversion letter gets the value's default one.
//   - The "#" suffix is added only to non-empty names.
#ifndef PYX_UTIL_NAMED_TEMPLATE_H_
#define PYX_UTIL_NAMED_TEMPLATE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "util/format.h"

namespace Vane {

enum class TemplateValueType : uint8_t {
    kBool = 1,
    kSigned = 2,
    kUnsigned = 3,
    kDouble = 4,
    kString = 5,
};

// A named value of a template: bool, signed or unsigned 64-bit integer, double or string.
// Implicitly constructible from each of these, so values can be passed as they are.
class TemplateValue {
  public:
    // The empty string.
    TemplateValue() : value_(std::string()) {}
    // A bool value. A template so that pointers never decay to bool.
    template <class T>
    requires std::is_same_v<T, bool> TemplateValue(T v) : value_(v) {}
    // A signed or unsigned 64-bit integer, by the signedness of T.
    template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) TemplateValue(T v) {
        if constexpr (std::is_signed_v<T>) {
            value_ = static_cast<int64_t>(v);
        } else {
            value_ = static_cast<uint64_t>(v);
        }
    }
    // A double.
    template <class T>
    requires std::is_floating_point_v<T> TemplateValue(T v) : value_(static_cast<double>(v)) {}
    // A string; a null pointer gives "(null)".
    TemplateValue(const char* v) : value_(std::string(v ? v : "(null)")) {}
    TemplateValue(std::string_view v) : value_(std::string(v)) {}
    TemplateValue(std::string v) : value_(std::move(v)) {}

    // The type code (1 bool, 2 signed, 3 unsigned, 4 double, 5 string).
    TemplateValueType Type() const { return static_cast<TemplateValueType>(value_.index() + 1); }
    // The value; false, 0, 0.0 or "" when the value is of another type.
    bool AsBool() const { return Get<bool>(); }
    int64_t AsSigned() const { return Get<int64_t>(); }
    uint64_t AsUnsigned() const { return Get<uint64_t>(); }
    double AsDouble() const { return Get<double>(); }
    const std::string& AsString() const;

    // True for false, 0, 0.0 and the empty string (what the "?" alternative tests).
    bool IsEmpty() const;

    friend bool operator==(const TemplateValue&, const TemplateValue&) = default;

  private:
    template <class T>
    T Get() const {
        const T* p = std::get_if<T>(&value_);
        return p ? *p : T{};
    }

    std::variant<bool, int64_t, uint64_t, double, std::string> value_;
};

// Field map of a failure: name -> value.
using TemplateFields = std::map<std::string, TemplateValue, std::less<>>;

// The formatting argument of a value: bool as a 32-bit integer, integers as 64-bit, double,
// string as text (borrowed from the value).
FormatArg MakeFormatArg(const TemplateValue& value);

// Rewrites the named template `tmpl` into the positional form for `values[0..count)`.
// Decorations convert `values` in place ("str", "hex"); every named hole whose value exists
// is recorded in `fields` when it is not null. Never fails.
std::string ConvertNamedTemplate(std::string_view tmpl, TemplateValue* values, size_t count,
                                 TemplateFields* fields);

// Formats a positional template with `values[0..count)` as arguments (at most 4095 bytes).
std::string FormatTemplateValues(std::string_view tmpl, const TemplateValue* values, size_t count);

// Converts the named template and formats it with the (possibly decorated) values.
std::string FormatNamedTemplate(std::string_view tmpl, TemplateValue* values, size_t count,
                                TemplateFields* fields);

}  // namespace Vane

#endif  // PYX_UTIL_NAMED_TEMPLATE_H_
