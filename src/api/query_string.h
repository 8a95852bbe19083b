// The query part of a request path: "/x?a=1&b=two%20words" -> (a, 1), (b, two words).
#ifndef PYX_API_QUERY_STRING_H_
#define PYX_API_QUERY_STRING_H_

#include <string>
#include <string_view>
#include <vector>

#include "util/failure.h"
#include "util/maybe.h"

namespace Vane {

// One query argument, key and value URL-decoded.
struct QueryEntry {
    std::string key;
    std::string value;

    friend bool operator==(const QueryEntry&, const QueryEntry&) = default;
};

// Decodes a query key or value: "+" becomes a space and "%" followed by two hexadecimal digits
// (either case) becomes the byte they spell. Any other "%" is kept as it is and decoding goes on
// with the character after it: a "%" with fewer than two characters after it ("a%", "a%4"),
// and a "%" whose next two characters are not both hexadecimal digits ("%zz", "%4g"), so
// "%%41" gives "%A". Every other byte is copied unchanged. Throws only std::bad_alloc.
std::string UrlDecode(std::string_view text);

// The arguments of the query of `path`: the text after its first "?" (none without "?") split
// at "&"; each piece splits at its first "=" into key and value (no "=": the whole piece is the
// key and the value is empty); both are decoded with UrlDecode. Empty pieces ("a=1&&b=2", a
// trailing "&", a lone "?") carry nothing and are skipped. A repeated key keeps its last value.
// Entries come out in the order in which each key first appears (after decoding, so "a" and
// "%61" are the same key): "?b=1&a=2&b=3" gives (b, 3), (a, 2). Fails (code 500) only when
// memory runs out.
MaybeType<Failure, std::vector<QueryEntry>> ParseQuery(std::string_view path) noexcept;

}  // namespace Vane

#endif  // PYX_API_QUERY_STRING_H_
