// Method and argument-location codes of the local API, as they cross the host boundary.
#ifndef PYX_API_HTTP_METHOD_H_
#define PYX_API_HTTP_METHOD_H_

#include <cstdint>
#include <string_view>

namespace Vane {

// The method of a request or of a route binding. The values are the host's 32-bit codes.
enum class HttpMethod : int32_t {
    kAny = 0,  // in a route binding: every method is accepted
    kDelete = 1,
    kGet = 2,
    kHead = 3,
    kOptions = 4,
    kPatch = 5,
    kPost = 6,
    kPut = 7,
    kCustom = 8,  // any other method; its name travels as a separate string
};

// Where a declared argument of a route binding may be taken from. Code 3 is never produced by
// any request source, so an argument declared with it is filled only by a named host argument.
enum class ArgumentLocation : int32_t {
    kAny = 0,
    kQuery = 1,
    kPath = 2,
    kHeader = 4,
    kBody = 5,
};

// The method word of `code`: "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST" or "PUT" for
// codes 1 to 7, the empty word for every other code (custom methods included).
std::string_view MethodWord(int32_t code) noexcept;

// The method word of `method` (see MethodWord(int32_t)).
inline std::string_view MethodWord(HttpMethod method) noexcept {
    return MethodWord(static_cast<int32_t>(method));
}

// The method a raw code copied from or to a host record stands for: codes 1 to 8 are kept,
// anything else becomes kAny (0).
HttpMethod NormaliseHostMethod(int32_t code) noexcept;

}  // namespace Vane

#endif  // PYX_API_HTTP_METHOD_H_
