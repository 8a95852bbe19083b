// Reads JSON text into a BindingProperty.
//
// The reader runs RapidJSON's SAX reader with a handler that builds the value in place (no
// document tree in between). Its choices:
//
// Grammar. Strict JSON (RFC 8259): no comments, no trailing commas, no NaN or Infinity
//   literals, no single quotes. One value per document; white space (space, tab, line feed,
//   carriage return) may surround it.
// Empty input. An empty or blank document (white space only) is an empty value with an ok
//   status, not an error.
// Trailing content. Anything but white space after the root value fails with "The document
//   root must not be followed by other values." at the offset of the first byte left.
// Mapping. null is the empty value; true and false are bools; strings are strings (escapes
//   decoded to UTF-8; "\u0000" gives a NUL byte inside the string; other bytes are copied
//   as they are, without checking that they form valid UTF-8); arrays are collections;
//   objects are structures, whose members are kept in name order (see BindingProperty).
// Null. Inside an array null appends an empty element; as a member value it leaves the member
//   as it is (a new member stays empty, so the member exists and is empty).
// Duplicate keys. A repeated key selects the same member again: a scalar replaces its value,
//   null leaves it unchanged, an array appends to an existing collection and an object merges
//   into an existing structure.
// Numbers. An integer without fraction or exponent that fits 64 bits is unsigned when it has
//   no minus sign and signed when it has one (5 unsigned, -5 signed, 0 unsigned, -0 signed 0).
//   Every other number (a fraction, an exponent, or an integer beyond 64 bits) is a double,
//   correctly rounded, so every double the JSON writer prints reads back to the same bits. A
//   number whose magnitude does not fit a double (for example 1e400 or 10e308) fails with
//   "Number too big to be stored in double." at the number's offset; one too small for the
//   smallest subnormal reads as 0.0 with its sign.
// Depth. At most kMaxNestingDepth (512) arrays and objects may be open at once. The bracket
//   that would open one more fails with "Nesting deeper than 512 levels." at its offset, so
//   deeply nested input never exhausts the stack.
// Truncated input. Text that ends inside a value fails with the error the reader meets at its
//   end, at the offset of the end: "[1," gives "Invalid value." at 3, "{\"a\"" gives "Missing
//   a colon after a name of object member." at 4, "\"ab" gives "Missing a closing quotation
//   mark in string." at 3.
// Length and NUL bytes. The string_view and std::string forms read exactly `size()` bytes,
//   never beyond, so buffers without a terminator are safe. A NUL byte reads as the end of the
//   input at that point: inside a value it fails as truncated text does; after a complete root
//   value it is trailing content; where the root value should begin it is "Invalid value.".
//   The `const char*` form reads up to the first NUL.
// Errors. Every failure is "Error: %s at offset %u." with one of RapidJSON's English error
//   texts (see JsonErrorText) or one of the reader's own: "Nesting deeper than 512 levels.",
//   "Array longer than 268435455 elements." (kMaxCollectionSize) and "Out of memory.". The
//   offset counts bytes from the start of the text. The partly built value is discarded: a
//   failed status holds only {"error": message}.
#ifndef PYX_CODEC_JSON_READER_H_
#define PYX_CODEC_JSON_READER_H_

#include <string>
#include <string_view>

#include "value/conversion_status.h"

namespace Vane {

// RapidJSON's English text for a parse error code: 0 "No error.", 1 "The document is empty.",
// 2 "The document root must not be followed by other values.", ... 17 "Unspecific syntax
// error."; "Unknown error." for any other code.
const char* JsonErrorText(unsigned code) noexcept;

// Parses `text` (read up to its first NUL; null reads as empty) into the status's value, or
// fails the status with the message described above.
ConversionStatus ParseJson(const char* text) noexcept;

// Parses exactly the bytes of `text` (no terminator needed).
ConversionStatus ParseJson(std::string_view text) noexcept;

// Parses exactly the bytes of `text`.
ConversionStatus ParseJson(const std::string& text) noexcept;

// The format probe for bodies without a content type: true when `text`, after any leading
// space characters (only ' ' is skipped), begins with '{' or '['.
bool LooksLikeJson(std::string_view text) noexcept;

}  // namespace Vane

#endif  // PYX_CODEC_JSON_READER_H_
