// Filling the arguments of a call from the five sources of a request: headers, path captures,
// the query string, named host arguments and the body.
//
// Every step stops at the first failure and stores it in the FunctionResult. The messages:
//   "Unknown argument '%1' for '%2'."                                  (%1 name, %2 function)
//   "Argument '%1' for '%2' was specified in an invalid location."
//   "Expected value for argument '%1'."
//   "Index %1 is in an incorrect format"                               (%1 the index segment)
//   "Index %1 is out of range"
//   "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3"
//   "Couldn't deserialize JSON value for parameter '%1' of '%2': %3"
//   "Couldn't deserialize YAML value for parameter '%1' of '%2': %3"  (%3 the decoder's text)
//   "Unsupported body content type"
//   "Extra MessgePack data found in body"
// and the decoders' and the host value converter's own messages.
//
// Bounds on what a request can make the process build (beyond the readers' own bounds):
//   - Index paths ("filter.items.2.name") extend collections up to the index they name. The
//     elements that index paths add during one request number at most kMaxIndexedElements
//     (65536) in total; an index that would add more fails with "Index %1 is out of range",
//     like an index of 2^31 or more. Without the bound, a short key such as "a.2000000000"
//     would allocate tens of gigabytes, and many short keys ("a.0.60000", "a.1.60000", ...)
//     would multiply any bound set per index alone.
//   - An index path descends at most kMaxNestingDepth levels ("Argument '%1' for '%2' is
//     nested deeper than %3 levels."), so no value tree deeper than any reader may build is
//     ever made, and copying or destroying it never exhausts the stack.
//   - A body is exactly its length in bytes and is never read past its end, whatever its
//     content type: JSON and YAML bodies are read by length, not up to a NUL the host does not
//     write.
#ifndef PYX_API_ARGUMENT_BINDING_H_
#define PYX_API_ARGUMENT_BINDING_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "api/function_handler.h"
#include "api/function_registry.h"
#include "api/http_method.h"
#include "api/query_string.h"
#include "api/route_pattern.h"
#include "pyx/host_abi.h"
#include "value/binding_property.h"

namespace Vane {

// Elements that index paths may add to argument values during one request.
inline constexpr size_t kMaxIndexedElements = 65536;

// Binds text sources (headers, path captures, query entries) to the arguments of one call.
// Holds the per-request index budget.
class ArgumentBinder {
  public:
    // A binder writing into `arguments` (one value per argument of the binding's function) and
    // reporting failures through `result`.
    ArgumentBinder(FunctionResult& result, std::span<BindingProperty> arguments,
                   const RouteBinding& binding) noexcept;

    // Binds `value` to `key` from a source at `location`. The argument name is the key up to
    // its first "."; the rest is an index path into the argument's value: a segment beginning
    // with a digit is an element index read as strtoul with base 0 reads it (so "0x10" is 16
    // and "010" is 8), any other segment a member name; the element or member reached gets the
    // value as a string. Without an index path, an empty value makes a bool argument true, an
    // object or struct argument an empty structure and a vector argument an empty collection
    // (other kinds fail with the expected-value message); any other value is decoded with
    // DecodeValue. False, with `result` a failure, on any failure.
    bool BindOne(std::string_view key, std::string_view value, ArgumentLocation location) noexcept;

  private:
    bool Fail(std::string_view message) noexcept;
    BindingProperty* Descend(BindingProperty& root, std::string_view argumentName,
                             std::string_view path, std::string_view& lastSegment) noexcept;

    FunctionResult& result_;
    std::span<BindingProperty> arguments_;
    const RouteBinding& binding_;
    size_t indexBudget_ = kMaxIndexedElements;
};

// Sizes `arguments` to the function's arguments (all empty), sets every non-optional bool
// argument to false, then binds the header entries (location kHeader), the path captures
// (kPath) and the query entries (kQuery), in that order, stopping at the first failure.
// A header fills an argument whose location is kAny or kHeader when the argument's name, in
// lower case, equals a header name exactly as the host gave it (so a header name holding an
// upper-case letter never matches); a repeated header name keeps its last value. Headers
// with a null name are skipped and a null value reads as empty. Never throws.
void BindArguments(FunctionResult& result, std::vector<BindingProperty>& arguments,
                   const RouteBinding& binding, std::span<const QueryEntry> query,
                   std::span<const RouteCapture> captures,
                   std::span<const HostHeader> headers) noexcept;

// Binds the named host arguments, in request order, while `result` is not a failure: a named
// entry binds to the argument of that name, an unnamed one to the argument at (its position +
// `captureCount`). The host value is converted into the argument (its messages are the
// converter's). A miss fails with "Unknown argument '%1' for '%2'." (%1 the name, or the
// decimal index of an unnamed entry).
void BindHostArguments(FunctionResult& result, std::span<BindingProperty> arguments,
                       const RouteBinding& binding, std::span<const HostArgument> entries,
                       size_t captureCount) noexcept;

// Decodes the body `body[0, length)` into the binding's body argument (the first argument
// whose location is kBody) while `result` is not a failure. Nothing happens when `body` is
// null or there is no body argument. The content type picks the decoder by case-insensitive
// prefix: "application/x-msgpack" (the whole body must be one value: "Extra MessgePack data
// found in body" otherwise), "application/json" or "application/vnd.api+json", and
// "application/x-yaml"; any other type fails with "Unsupported body content type". A decoder's
// failure message becomes the result's.
void BindBody(FunctionResult& result, std::span<BindingProperty> arguments,
              const RouteBinding& binding, const uint8_t* body, size_t length,
              std::string_view contentType) noexcept;

// Decodes `text` into `target` by content type, or by probing when the content type is empty
// and `container` is set (the argument's kind is object, vector or struct). Prefixes compare
// without regard to case:
//   "application/x-msgpack", or probed: first byte 0x80-0x9F or 0xDC-0xDF -> MessagePack;
//   "application/json", or probed: "{" or "[" after leading spaces       -> JSON;
//   "text/x-yaml", or probed: "---" after leading spaces                  -> YAML;
//   "application/octet-stream"                                            -> blob;
//   anything else                                                         -> string.
// A decoder failure fails `result` with the matching "Couldn't deserialize ..." message,
// naming `argumentName` and `functionName`. False on failure.
bool DecodeValue(FunctionResult& result, BindingProperty& target, std::string_view text,
                 std::string_view contentType, bool container, std::string_view argumentName,
                 std::string_view functionName) noexcept;

}  // namespace Vane

#endif  // PYX_API_ARGUMENT_BINDING_H_
