// What a call of a local API function is made of: the handler that performs it, the request
// context a handler may ask for, and the result the call produces.
#ifndef PYX_API_FUNCTION_HANDLER_H_
#define PYX_API_FUNCTION_HANDLER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "api/http_method.h"
#include "host/host_value_arena.h"
#include "value/binding_property.h"
#include "value/conversion_status.h"
#include "value/enum_name_resolver.h"

namespace Vane {

class TypeRegistry;

// The two type ids of a request-context parameter. A handler whose ContextType() is one of them
// receives a RequestContext in Invoke; any other handler receives null.
inline constexpr uint32_t kRequestContextTypeId = 0x466F9860;
inline constexpr uint32_t kRequestContextAlternateTypeId = 0x89462EBF;

// True for the two request-context type ids.
constexpr bool IsRequestContextType(uint32_t typeId) noexcept {
    return typeId == kRequestContextTypeId || typeId == kRequestContextAlternateTypeId;
}

// What a handler learns about the request it serves. Built per request, and only for handlers
// that ask for it. The views point into the host's request and stay valid during Invoke only:
// a handler copies what it keeps.
struct RequestContext {
    uint32_t callerToken = 0;
    // Wall-clock time at which the context was built, in 100-nanosecond units since 1970-01-01.
    int64_t receiveTime = 0;
    std::string_view path;  // as the request gives it, query included
    const TypeRegistry* registry = nullptr;
    HttpMethod method = HttpMethod::kAny;  // 1..8, else kAny
    std::string_view customMethod;         // the method name when method is kCustom
    // Request headers by name, names as the host gave them (a repeated name keeps its last
    // value).
    std::map<std::string_view, std::string_view, std::less<>> headers;
};

// A response body produced piece by piece. Ownership moves to the host with the response; the
// host reads it and then releases it through the response's stream functions.
class ResponseStream {
  public:
    virtual ~ResponseStream() = default;
    // Writes up to `count` bytes into `buffer`, sets `count` to the bytes written and `more` to
    // whether bytes remain. False when the stream failed.
    virtual bool Read(char* buffer, uint32_t& count, bool& more) noexcept = 0;
};

// The outcome of one call: a value or a failure, and what the response carries besides.
// Created empty (a value of kind empty, status 0) for every request.
//
// The value comes in one of two forms. Every handler may give a BindingProperty (SetValue).
// When the caller will only hand the value to the host (the route path), it says so with
// RequestHostValue before the call, and a handler that can build the host form directly may
// give that instead (SetHostValue): the finished tree in an arena, which skips the dynamic value
// and the owned copy of it. Callers that did not ask always find the value in Value().
class FunctionResult {
  public:
    FunctionResult() noexcept = default;
    FunctionResult(const FunctionResult&) = delete;
    FunctionResult& operator=(const FunctionResult&) = delete;

    // True once a failure was set.
    bool IsFailure() const noexcept { return !outcome_.Ok(); }
    // The value; after a failure, the structure {"error": message}.
    BindingProperty& Value() noexcept { return outcome_.Value(); }
    const BindingProperty& Value() const noexcept { return outcome_.Value(); }
    // The failure's message; "" when the result is not a failure.
    std::string_view Error() const noexcept { return outcome_.Error(); }

    // Replaces the value with `value` (which is left empty), dropping a host-form value. Ignored
    // after a failure. False when memory ran out, which leaves the result a failure.
    bool SetValue(BindingProperty& value) noexcept;
    bool SetValue(BindingProperty&& value) noexcept { return SetValue(value); }
    // Makes the result a failure with `message`: the value is cleared first and becomes
    // {"error": message}, and a body stream and a host-form value are discarded. A later call
    // replaces the message.
    void SetFailure(std::string_view message) noexcept;

    // Tells the handler that the value will go to the host only, so it may give it in host form
    // with SetHostValue; `resolver` (may be null) is what writes enumerations by name there.
    void RequestHostValue(const EnumNameResolver* resolver) noexcept {
        hostValueRequested_ = true;
        hostValueResolver_ = resolver;
    }
    // Whether RequestHostValue was called.
    bool HostValueRequested() const noexcept { return hostValueRequested_; }
    // The resolver given to RequestHostValue (null when none was).
    const EnumNameResolver* HostValueResolver() const noexcept { return hostValueResolver_; }
    // Replaces the value with the finished host-form tree `arena`; Value() becomes empty. Ignored
    // (the arena is destroyed) after a failure, when `arena` is null, or when no host value was
    // requested.
    void SetHostValue(std::unique_ptr<HostValueArena> arena) noexcept;
    // The host-form value, or null when the value is in Value().
    const HostValueArena* HostValueTree() const noexcept { return hostValue_.get(); }
    // Hands the host-form value over to the caller (null when there is none).
    std::unique_ptr<HostValueArena> TakeHostValue() noexcept { return std::move(hostValue_); }

    // The body stream, if any.
    ResponseStream* Stream() const noexcept { return stream_.get(); }
    // Gives the result a body stream. Ignored (the stream is destroyed) after a failure.
    void SetStream(std::unique_ptr<ResponseStream> stream) noexcept;
    // Hands the body stream over to the caller.
    std::unique_ptr<ResponseStream> TakeStream() noexcept { return std::move(stream_); }

    // Copied to the response record as they are.
    uint8_t options = 0;
    // Copied to the response record: 1, 2 and 3 pass, any other value becomes 0.
    uint32_t mode = 0;
    // The response status; 0 lets the host choose.
    int32_t status = 0;
    std::string statusMessage;
    // Response headers, in order.
    std::vector<std::pair<std::string, std::string>> headers;

  private:
    ConversionStatus outcome_;
    std::unique_ptr<ResponseStream> stream_;
    std::unique_ptr<HostValueArena> hostValue_;
    const EnumNameResolver* hostValueResolver_ = nullptr;
    bool hostValueRequested_ = false;
};

// Performs the calls of one registered function. Owned by its route binding and shared by
// every request thread: Prepare, Invoke and Release may run on several threads at once, each
// call with its own result and token. The dispatcher catches what they throw.
class FunctionHandler {
  public:
    virtual ~FunctionHandler() = default;

    // Converts the bound arguments (one per declared argument, in declaration order) into the
    // handler's native form. Returns a token for Invoke and Release, 0 when there is nothing to
    // release. A conversion problem turns `result` into a failure.
    virtual uintptr_t Prepare(FunctionResult& result, std::span<BindingProperty> arguments,
                              uint32_t callerToken) = 0;

    // Performs the call with what Prepare made and stores the value or failure in `result`.
    // `context` is non-null exactly when ContextType() is a request-context type id.
    virtual void Invoke(FunctionResult& result, const RequestContext* context, uintptr_t token,
                        uint32_t callerToken) = 0;

    // Releases what Prepare made for `token` (never called with 0).
    virtual void Release(uintptr_t token) noexcept = 0;

    // The type id of the request-context parameter the handler wants; any id other than the two
    // request-context ids means none.
    virtual uint32_t ContextType() const noexcept = 0;
};

}  // namespace Vane

#endif  // PYX_API_FUNCTION_HANDLER_H_
