// Test helpers of the dispatcher: a request record built from ordinary strings, and the
// response of one call read back into plain values. Used by tests and benchmarks only.
#ifndef PYX_API_DISPATCH_TEST_SUPPORT_H_
#define PYX_API_DISPATCH_TEST_SUPPORT_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "api/function_registry.h"
#include "api/request_dispatch.h"
#include "codec/json_writer.h"
#include "host/host_value.h"
#include "pyx/host_abi.h"

namespace Vane::testing {

// A copy of a field of a packed host record, for checks that take their arguments by reference
// (a reference to a packed field may be misaligned).
template <class T>
T Unpacked(T value) {
    return value;
}

// A route request in ordinary strings. Build() returns the host record, whose pointers refer
// into this object (keep it alive and unchanged while the record is used).
struct TestRequest {
    HttpMethod method = HttpMethod::kGet;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::optional<std::string> contentType;
    std::optional<std::string> body;
    std::vector<HostArgument> arguments;  // names and values are the caller's
    std::string customMethod;
    uint32_t callerToken = 0;

    HostRouteRequest Build(const RouteBinding* binding) {
        headerRecords.clear();
        for (const auto& [name, value] : headers) {
            headerRecords.push_back(HostHeader{name.c_str(), value.c_str()});
        }
        HostRouteRequest request{};
        request.method = static_cast<uint32_t>(method);
        request.path = path.c_str();
        request.arguments = arguments.empty() ? nullptr : arguments.data();
        request.argumentCount = static_cast<uint32_t>(arguments.size());
        request.context = const_cast<RouteBinding*>(binding);
        request.headers = headerRecords.empty() ? nullptr : headerRecords.data();
        request.headerCount = static_cast<uint32_t>(headerRecords.size());
        request.contentType = contentType ? contentType->c_str() : nullptr;
        request.body = body ? reinterpret_cast<const uint8_t*>(body->data()) : nullptr;
        request.bodyLength = body ? static_cast<uint32_t>(body->size()) : 0;
        request.callerToken = callerToken;
        request.customMethod = customMethod.c_str();
        return request;
    }

    std::vector<HostHeader> headerRecords;
};

// What one call answered, copied out of the response before its release.
struct CallOutcome {
    bool failed = false;  // error flag set
    std::string error;    // the error text ("" when none)
    int32_t status = 0;
    std::string statusMessage;
    std::string json;        // the value as compact JSON ("" for no value)
    uint32_t valueType = 0;  // the HostValue type
    uint8_t options = 0;
    uint32_t mode = 0;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Answers every call with the bound arguments as a structure {argument name: value}, so a
// test sees exactly what binding produced. Counts its prepares and releases.
class EchoHandler final : public FunctionHandler {
  public:
    explicit EchoHandler(std::vector<std::string> names) : names_(std::move(names)) {}

    uintptr_t Prepare(FunctionResult& result, std::span<BindingProperty> arguments,
                      uint32_t) override {
        if (arguments.size() != names_.size()) {
            result.SetFailure("echo: argument count differs");
            return 0;
        }
        auto echo = std::make_unique<BindingProperty>();
        bool built = echo->MakeStructure();
        for (size_t i = 0; built && i < arguments.size(); ++i) {
            BindingProperty* member = echo->MemberForWrite(names_[i]);
            built = member != nullptr && member->CopyFrom(arguments[i]);
        }
        if (!built) {
            result.SetFailure("echo: memory ran out");
            return 0;
        }
        ++prepared;
        return reinterpret_cast<uintptr_t>(echo.release());
    }

    void Invoke(FunctionResult& result, const RequestContext*, uintptr_t token, uint32_t) override {
        if (token == 0) {
            result.SetValue(BindingProperty());
            return;
        }
        BindingProperty copy(*reinterpret_cast<BindingProperty*>(token));
        result.SetValue(copy);
    }

    void Release(uintptr_t token) noexcept override {
        delete reinterpret_cast<BindingProperty*>(token);
        ++released;
    }

    uint32_t ContextType() const noexcept override { return 0; }

    std::atomic<int> prepared{0};
    std::atomic<int> released{0};

  private:
    std::vector<std::string> names_;
};

// Registers an EchoHandler for `definition` by method and url; the binding, or null after
// reporting the failure through `error`.
inline const RouteBinding* RegisterEcho(LocalApi& api, HttpMethod method, std::string_view url,
                                        FunctionDefinition definition,
                                        EchoHandler** handler = nullptr,
                                        std::string* error = nullptr) {
    std::vector<std::string> names;
    for (const ArgumentDefinition& argument : definition.arguments) names.push_back(argument.name);
    auto echo = std::make_unique<EchoHandler>(std::move(names));
    if (handler) *handler = echo.get();
    auto registered = RegisterRoute(api, method, url, std::move(definition), std::move(echo));
    if (registered.IsFailure()) {
        if (error) *error = registered.GetFailure().Message();
        return nullptr;
    }
    return registered.Value();
}

// Reads `response` into an outcome (it is not released).
inline CallOutcome ReadResponse(const HostRouteResponse& response) {
    CallOutcome outcome;
    outcome.failed = response.errorFlag != 0;
    outcome.error = response.error ? response.error : "";
    outcome.status = response.status;
    outcome.statusMessage = response.statusMessage ? response.statusMessage : "<null>";
    outcome.valueType = response.value.type;
    outcome.options = response.options;
    outcome.mode = response.mode;
    ConversionStatus value = HostValueToBinding(response.value, "<result>");
    outcome.json = value.Ok() ? WriteJson(value.Value()) : "<unreadable>";
    for (uint32_t i = 0; i < response.headerCount; ++i) {
        outcome.headers.emplace_back(response.headers[i].name, response.headers[i].value);
    }
    return outcome;
}

// Calls HandleRequest for `binding` with `request`, reads and releases the response.
inline CallOutcome CallRoute(const RouteBinding* binding, TestRequest& request) {
    const HostRouteRequest record = request.Build(binding);
    HostRouteResponse response{};
    HandleRequest(&response, &record);
    CallOutcome outcome = ReadResponse(response);
    if (response.release) response.release(&response);
    return outcome;
}

}  // namespace Vane::testing

#endif  // PYX_API_DISPATCH_TEST_SUPPORT_H_
