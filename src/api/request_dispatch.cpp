#include "api/request_dispatch.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "api/argument_binding.h"
#include "api/query_string.h"
#include "host/host_value.h"
#include "util/format.h"

namespace Vane {
namespace {

// Texts the response may point at without owning them; release never frees these.
constexpr char kEmptyText[] = "";
constexpr char kOutOfMemoryText[] = "Couldn't write the response because memory ran out.";

bool IsStaticText(const char* text) noexcept {
    return text == kEmptyText || text == kOutOfMemoryText;
}

char* Duplicate(std::string_view text) noexcept {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (!copy) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void FreeText(const char* text) noexcept {
    if (text && !IsStaticText(text)) std::free(const_cast<char*>(text));
}

// The status message is the one text every built response carries, so its block also says how
// the value is to be freed: the message's characters follow the address of the arena that holds
// the value, or null when the value is an owned tree (or there is none). The host sees only the
// characters.
constexpr size_t kStatusPrefix = sizeof(HostValueArena*);

char* NewStatusMessage(std::string_view text) noexcept {
    auto* block = static_cast<char*>(std::malloc(kStatusPrefix + text.size() + 1));
    if (!block) return nullptr;
    const HostValueArena* none = nullptr;
    std::memcpy(block, &none, kStatusPrefix);
    char* chars = block + kStatusPrefix;
    if (!text.empty()) std::memcpy(chars, text.data(), text.size());
    chars[text.size()] = '\0';
    return chars;
}

HostValueArena* ArenaOfStatusMessage(const char* message) noexcept {
    if (!message || IsStaticText(message)) return nullptr;
    HostValueArena* arena = nullptr;
    std::memcpy(&arena, message - kStatusPrefix, kStatusPrefix);
    return arena;
}

void AttachArena(const char* message, HostValueArena* arena) noexcept {
    std::memcpy(const_cast<char*>(message) - kStatusPrefix, &arena, kStatusPrefix);
}

// Frees the status message's block and the arena it names.
void FreeStatusMessage(const char* message) noexcept {
    if (!message || IsStaticText(message)) return;
    delete ArenaOfStatusMessage(message);
    std::free(const_cast<char*>(message) - kStatusPrefix);
}

uint8_t PYX_CDECL ReadStream(void* context, char* buffer, uint32_t* inOutCount, uint8_t* outMore) {
    if (!context || !inOutCount) return 0;
    bool more = false;
    const bool ok = static_cast<ResponseStream*>(context)->Read(buffer, *inOutCount, more);
    if (outMore) *outMore = more ? 1 : 0;
    return ok ? 1 : 0;
}

void PYX_CDECL ReleaseStream(void* stream) {
    delete static_cast<ResponseStream*>(stream);
}

// Frees what the response owns, except a stream; leaves the fields as they are.
void FreeResponseParts(HostRouteResponse& response) noexcept {
    // An arena's tree goes with its arena; only an owned tree is freed part by part.
    if (!ArenaOfStatusMessage(response.statusMessage)) ReleaseHostValue(response.value);
    FreeText(response.error);
    FreeStatusMessage(response.statusMessage);
    if (response.headers) {
        for (uint32_t i = 0; i < response.headerCount; ++i) {
            FreeText(response.headers[i].name);
            FreeText(response.headers[i].value);
        }
        std::free(const_cast<HostHeader*>(response.headers));
    }
}

// Fills `response` except for the stream; false when memory ran out (what was built is then
// freed and `response` zeroed). A host-form value moves out of `result` only on success.
bool BuildResponse(HostRouteResponse& response, FunctionResult& result,
                   const TypeRegistry* registry) noexcept {
    std::memset(&response, 0, sizeof(response));
    response.release = &ReleaseRouteResponse;
    bool ok = true;
    int32_t status = result.status;
    if (result.IsFailure()) {
        response.error = Duplicate(result.Error());
        response.errorFlag = 1;
        ok = response.error != nullptr;
    } else if (!result.HostValueTree() && !result.Value().IsEmpty()) {
        std::string message;
        if (!BindingToHostValue(result.Value(), registry, response.value, &message)) {
            status = 400;
            response.error = Duplicate(message);
            response.errorFlag = 1;
            ok = response.error != nullptr;
        }
    }
    response.options = result.options;
    response.mode = result.mode >= 1 && result.mode <= 3 ? result.mode : 0;
    response.status = status;
    response.statusMessage = NewStatusMessage(result.statusMessage);
    ok = ok && response.statusMessage != nullptr;
    const size_t count = result.headers.size();
    if (ok && count > 0) {
        auto* headers = static_cast<HostHeader*>(std::calloc(count, sizeof(HostHeader)));
        response.headers = headers;
        ok = headers != nullptr;
        if (ok) response.headerCount = static_cast<uint32_t>(count);
        for (size_t i = 0; ok && i < count; ++i) {
            headers[i].name = Duplicate(result.headers[i].first);
            headers[i].value = Duplicate(result.headers[i].second);
            ok = headers[i].name && headers[i].value;
        }
    }
    if (!ok) {
        FreeResponseParts(response);
        std::memset(&response, 0, sizeof(response));
        response.release = &ReleaseRouteResponse;
        return false;
    }
    if (!result.IsFailure() && result.HostValueTree()) {
        HostValueArena* arena = result.TakeHostValue().release();
        response.value = arena->Root();
        AttachArena(response.statusMessage, arena);
    }
    return true;
}

void WriteFailure(HostRouteResponse& response, std::string_view message, int32_t status) noexcept {
    FunctionResult result;
    result.SetFailure(message);
    result.status = status;
    WriteResponse(response, result, nullptr);
}

// Turns an exception that left a handler into the result's failure, status 500.
void FailWithException(FunctionResult& result, std::string_view functionName,
                       const char* what) noexcept {
    result.status = 500;
    try {
        result.SetFailure(what && *what
                              ? FormatPositional("Function '%1' failed: %2", functionName, what)
                              : FormatPositional("Function '%1' failed.", functionName));
    } catch (...) {
        result.SetFailure(kOutOfMemoryText);
    }
}

int64_t HundredNanosecondsSinceEpoch() noexcept {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template <class T>
std::span<const T> ArrayOf(const T* items, uint32_t count) noexcept {
    return items ? std::span<const T>(items, count) : std::span<const T>();
}

// Binds, prepares and invokes; failures land in `result`. Throws what handlers throw.
void Call(FunctionResult& result, const HostRouteRequest& request, const RouteBinding& binding,
          const RouteMatch& match, std::string_view path, HttpMethod method,
          std::string_view customMethod, uintptr_t& token) {
    const std::span<const HostHeader> headers = ArrayOf(request.headers, request.headerCount);
    std::vector<QueryEntry> query;
    if (path.find('?') != std::string_view::npos) {
        MaybeType<Failure, std::vector<QueryEntry>> parsed = ParseQuery(path);
        if (parsed.IsFailure()) return result.SetFailure(parsed.GetFailure().Message());
        query = std::move(parsed).Value();
    }
    std::vector<BindingProperty> arguments;
    BindArguments(result, arguments, binding, query, match.captures, headers);
    BindHostArguments(result, arguments, binding, ArrayOf(request.arguments, request.argumentCount),
                      match.captures.size());
    BindBody(result, arguments, binding, request.body, request.bodyLength,
             request.contentType ? std::string_view(request.contentType) : std::string_view());
    if (result.IsFailure()) return;

    FunctionHandler& handler = *binding.handler;
    token = handler.Prepare(result, arguments, request.callerToken);
    if (result.IsFailure()) return;
    if (!IsRequestContextType(handler.ContextType())) {
        return handler.Invoke(result, nullptr, token, request.callerToken);
    }
    RequestContext context;
    context.callerToken = request.callerToken;
    context.receiveTime = HundredNanosecondsSinceEpoch();
    context.path = path;
    context.registry = binding.function->registry;
    context.method = method;
    context.customMethod = customMethod;
    for (const HostHeader& header : headers) {
        if (header.name) context.headers[header.name] = header.value ? header.value : "";
    }
    handler.Invoke(result, &context, token, request.callerToken);
}

}  // namespace

bool AcceptsMethod(const RouteBinding& binding, HttpMethod method,
                   std::string_view customMethod) noexcept {
    if (binding.method == HttpMethod::kAny) return true;
    return binding.method == method && binding.customMethod == customMethod;
}

bool MatchRoute(std::span<const RouteBinding* const> candidates, std::string_view path,
                HttpMethod method, std::string_view customMethod, RouteMatch& match) noexcept {
    match.binding = nullptr;
    match.captures.clear();
    size_t bestLength = 0;
    std::vector<RouteCapture> captures;
    for (const RouteBinding* candidate : candidates) {
        if (!candidate || !AcceptsMethod(*candidate, method, customMethod)) continue;
        if (!candidate->route.Match(path, captures)) continue;
        size_t length = 0;
        for (const RouteCapture& capture : captures) length += capture.text.size();
        if (!match.binding || length < bestLength) {
            match.binding = candidate;
            match.captures.swap(captures);
            bestLength = length;
        }
        if (match.captures.empty()) break;
    }
    return match.binding != nullptr;
}

void WriteResponse(HostRouteResponse& response, FunctionResult& result,
                   const TypeRegistry* registry) noexcept {
    if (!BuildResponse(response, result, registry)) {
        response.error = kOutOfMemoryText;
        response.errorFlag = 1;
        response.status = 500;
        response.statusMessage = kEmptyText;
        return;
    }
    if (result.Stream() && !result.IsFailure()) {
        response.streamObject = result.TakeStream().release();
        response.streamRead = &ReadStream;
        response.streamRelease = &ReleaseStream;
    }
}

void PYX_CDECL ReleaseRouteResponse(HostRouteResponse* response) noexcept {
    if (!response) return;
    FreeResponseParts(*response);
    std::memset(response, 0, sizeof(*response));
}

void PYX_CDECL HandleRequest(HostRouteResponse* response,
                             const HostRouteRequest* request) noexcept {
    if (!response) return;
    if (!request || !request->context || !request->path) {
        return WriteFailure(*response, "Invalid function", 404);
    }
    const auto& binding = *static_cast<const RouteBinding*>(request->context);
    const HttpMethod method = NormaliseHostMethod(static_cast<int32_t>(request->method));
    const std::string_view customMethod =
        method == HttpMethod::kCustom && request->customMethod ? request->customMethod : "";
    const std::string_view path = request->path;

    FunctionResult result;
    // The value goes to the host only: typed handlers may build its host form directly.
    result.RequestHostValue(binding.function->registry);
    uintptr_t token = 0;
    try {
        RouteMatch match;
        const RouteBinding* const candidates[] = {&binding};
        if (!MatchRoute(candidates, path, method, customMethod, match)) {
            return WriteFailure(*response, "Invalid function", 404);
        }
        Call(result, *request, binding, match, path, method, customMethod, token);
    } catch (const std::exception& error) {
        FailWithException(result, binding.function->name, error.what());
    } catch (...) {
        FailWithException(result, binding.function->name, nullptr);
    }
    WriteResponse(*response, result, binding.function->registry);
    if (token != 0) binding.handler->Release(token);
}

}  // namespace Vane
