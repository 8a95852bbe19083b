// Writes values as JSON text.
//
// The writer drives RapidJSON's compact or pretty writer (indent: 4 spaces) through the value
// walker (binding_writer.h). Its choices:
//
// Empty. An empty value at the top gives the empty text, not "null"; an empty element or
//   member is written as null.
// Layout. No newline text, or an empty one, gives compact text. Any other newline text gives
//   pretty text whose line ends are that text ("\r\n" for example); strings never contain a
//   raw line feed (it is escaped), so only line ends are replaced.
// Numbers. Signed and unsigned integers in decimal; doubles in the shortest form that reads
//   back to the same double, always with a decimal point or an exponent (0.0, 3.0, 0.1,
//   1e300, 5e-324, -0.0). NaN and infinities have no JSON form and are written as null, so
//   the text is always valid JSON.
// Strings and blobs. Quotation mark and backslash are escaped, control characters are written
//   as \b \f \n \r \t or \u00XX (upper-case hex digits; a NUL byte is \u0000), every other byte
//   is copied as it is (UTF-8 is neither checked nor escaped). A blob is written as a string of
//   its raw bytes.
// Enums. By name when a resolver is given and it names the value; otherwise as the signed
//   number.
// Structures. Members in ascending byte-wise name order (the order BindingProperty keeps).
// Failure. Writing fails only when memory runs out; the failing forms then report false or
//   give the empty text.
#ifndef PYX_CODEC_JSON_WRITER_H_
#define PYX_CODEC_JSON_WRITER_H_

#include <memory>
#include <string>
#include <string_view>

#include "value/binding_property.h"
#include "value/binding_writer.h"
#include "value/enum_name_resolver.h"

namespace Vane {

// A BindingWriter producing JSON text, for producers that walk something other than a
// BindingProperty (native records, for example). Slots called out of order (a second root
// value, a member name outside a structure, an end without its begin) are ignored and make
// Finish fail.
class JsonWriter : public BindingWriter {
  public:
    // A writer with `resolver` (may be null; it must outlive the writer) for enum names, compact
    // when `newline` is empty, else pretty with `newline` as its line end. Null when memory ran
    // out.
    static std::unique_ptr<JsonWriter> Create(const EnumNameResolver* resolver,
                                              std::string_view newline) noexcept;

    // Moves the text of the one complete value written into `out` and returns true; false
    // (leaving `out` empty) when no complete value was written, the slots came out of order or
    // memory ran out. The writer is spent afterwards.
    virtual bool Finish(std::string& out) noexcept = 0;
};

// Writes `value` as JSON into `out` (replacing its content): the empty text for an empty
// value, compact text when `newline` is empty, pretty text with `newline` line ends otherwise;
// enums named through `resolver` when it is not null. False, leaving `out` empty, when memory
// ran out.
bool WriteJsonTo(const BindingProperty& value, const EnumNameResolver* resolver,
                 std::string_view newline, std::string& out) noexcept;

// As WriteJsonTo, returning the text ("" when memory ran out).
std::string WriteJson(const BindingProperty& value, const EnumNameResolver* resolver = nullptr,
                      std::string_view newline = {}) noexcept;

}  // namespace Vane

#endif  // PYX_CODEC_JSON_WRITER_H_
