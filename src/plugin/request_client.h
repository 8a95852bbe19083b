// Requests to other plugins through the host's synchronous request operation, and the reading
// of their answers: a body the host wrote into the response area, or a stream read in chunks.
//
// Threads: requests may start on any thread; the client keeps no state between requests.
#ifndef PYX_PLUGIN_REQUEST_CLIENT_H_
#define PYX_PLUGIN_REQUEST_CLIENT_H_

#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "api/http_method.h"
#include "plugin/host_link.h"
#include "plugin/timers.h"
#include "pyx/host_abi.h"
#include "types/record_description.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane {

// The response area of one request, zero-filled, with what the host wrote into it. The body,
// error text and stream belong to the host and are valid only during the call into the plugin
// in which the request was made.
struct RequestResponse {
    HostResponseArea area{};

    bool HasStream() const { return area.streamRead != nullptr; }
    int32_t Status() const { return area.status; }
};

class RequestClient {
  public:
    // A client sending through `host` (which may be attached later), converting with `types`
    // and yielding through `timers` while a stream is not ready. All three outlive the client.
    RequestClient(const HostLink& host, const TypeRegistry& types, TimerTable& timers);
    RequestClient(const RequestClient&) = delete;
    RequestClient& operator=(const RequestClient&) = delete;

    // Sends a request whose arguments are `arguments` (each one positional host value) and
    // leaves what the host answered in `response`. Fails with 400 "Request not sent: Error
    // converting parameters for {method} {url}: {error}" when an argument cannot be encoded
    // (nothing is sent), and with the response's status and "Error response for {method}
    // {url}: {error}" when the host reports an error.
    [[nodiscard]] MaybeType<Failure, void> SendValues(HttpMethod method, const std::string& url,
                                                      const std::vector<BindingProperty>& arguments,
                                                      RequestResponse& response);
    // Native arguments, each converted through the type registry.
    template <class... Args>
    [[nodiscard]] MaybeType<Failure, void> Send(HttpMethod method, const std::string& url,
                                                RequestResponse& response,
                                                const Args&... arguments);
    // Named parameters sent as one structure.
    [[nodiscard]] MaybeType<Failure, void> SendNamed(
        HttpMethod method, const std::string& url,
        const std::map<std::string, BindingProperty>& parameters, RequestResponse& response);
    // The response body of a successful send as a value (read from the stream when the host
    // answered with one). Fails with "Error reading streamed response for {method} {url}:
    // {error}" or "Error converting response for {method} {url}: {error}" (code 0).
    [[nodiscard]] MaybeType<Failure, BindingProperty> ReadResponse(HttpMethod method,
                                                                   const std::string& url,
                                                                   RequestResponse& response);
    // A request whose answer is converted to T.
    template <class T, class... Args>
    [[nodiscard]] MaybeType<Failure, T> Request(HttpMethod method, const std::string& url,
                                                const Args&... arguments);
    // A request whose answer is not read.
    template <class... Args>
    [[nodiscard]] MaybeType<Failure, void> RequestVoid(HttpMethod method, const std::string& url,
                                                       const Args&... arguments);

  private:
    // Reads and parses the whole stream, closing it in every case; `error` is set when the
    // stream itself failed (as opposed to its text not parsing).
    MaybeType<Failure, BindingProperty> ReadStream(RequestResponse& response, std::string& error);
    Failure ParameterFailure(HttpMethod method, const std::string& url,
                             const std::string& error) const;

    // Appends `value` converted; after the first failure (in `error`) appends nothing.
    template <class T>
    static bool AppendArgument(const TypeRegistry& registry, const T& value,
                               std::vector<BindingProperty>& out, std::string& error);

    const HostLink& host_;
    const TypeRegistry& types_;
    TimerTable& timers_;
};

// ---------------------------------------------------------------------------------------
// Templates

template <class T>
bool RequestClient::AppendArgument(const TypeRegistry& registry, const T& value,
                                   std::vector<BindingProperty>& out, std::string& error) {
    if (!error.empty()) return false;
    ConversionStatus status = ToBinding(registry, value);
    if (!status.Ok()) {
        // A status that had no memory left for its message still fails: an empty error must
        // not read as "no error" and send the request one argument short.
        error = status.Error().empty() ? std::string("Out of memory") : std::string(status.Error());
        return false;
    }
    out.push_back(std::move(status.Value()));
    return true;
}

template <class... Args>
MaybeType<Failure, void> RequestClient::Send(HttpMethod method, const std::string& url,
                                             RequestResponse& response, const Args&... arguments) {
    std::vector<BindingProperty> values;
    std::string error;
    try {
        values.reserve(sizeof...(Args));
        (AppendArgument(types_, arguments, values, error), ...);
    } catch (const std::exception&) {
        error = "Out of memory";
    }
    if (!error.empty()) return ParameterFailure(method, url, error);
    return SendValues(method, url, values, response);
}

template <class T, class... Args>
MaybeType<Failure, T> RequestClient::Request(HttpMethod method, const std::string& url,
                                             const Args&... arguments) {
    RequestResponse response;
    MaybeType<Failure, void> sent = Send(method, url, response, arguments...);
    if (sent.IsFailure()) return sent.GetFailure();
    MaybeType<Failure, BindingProperty> body = ReadResponse(method, url, response);
    if (body.IsFailure()) return body.GetFailure();
    MaybeType<Failure, T> value = ConvertTo<T>(types_, body.Value(), "<result>");
    if (value.IsFailure()) {
        return Failure(0, "Error converting response for {method} {url}: {error}",
                       MethodWord(method), url, value.GetFailure().Message());
    }
    return value;
}

template <class... Args>
MaybeType<Failure, void> RequestClient::RequestVoid(HttpMethod method, const std::string& url,
                                                    const Args&... arguments) {
    RequestResponse response;
    return Send(method, url, response, arguments...);
}

}  // namespace Vane

#endif  // PYX_PLUGIN_REQUEST_CLIENT_H_
