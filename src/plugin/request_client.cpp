#include "plugin/request_client.h"

#include <algorithm>
#include <exception>

#include "codec/json_reader.h"
#include "host/host_value.h"

namespace Vane {
namespace {

constexpr uint32_t kStreamChunk = 4096;
// The host's size hint is only a hint: never reserve more than this up front.
constexpr uint32_t kMaxStreamReserve = 16u << 20;

uint32_t WireMethod(HttpMethod method) {
    const auto code = static_cast<int32_t>(method);
    return code >= 1 && code <= 8 ? static_cast<uint32_t>(code) : 0;
}

// Host values built for one request, released when the request is over.
class EncodedArguments {
  public:
    ~EncodedArguments() {
        for (HostArgument& argument : arguments_) ReleaseHostValue(argument.value);
    }
    bool Add(const BindingProperty& value, const EnumNameResolver* resolver, std::string& error) {
        arguments_.push_back(HostArgument{nullptr, HostValue{}});
        return BindingToHostValue(value, resolver, arguments_.back().value, &error);
    }
    const HostArgument* Data() const { return arguments_.empty() ? nullptr : arguments_.data(); }
    uint32_t Count() const { return static_cast<uint32_t>(arguments_.size()); }

  private:
    std::vector<HostArgument> arguments_;
};

}  // namespace

RequestClient::RequestClient(const HostLink& host, const TypeRegistry& types, TimerTable& timers)
    : host_(host), types_(types), timers_(timers) {}

Failure RequestClient::ParameterFailure(HttpMethod method, const std::string& url,
                                        const std::string& error) const {
    return Failure(400, "Request not sent: Error converting parameters for {method} {url}: {error}",
                   MethodWord(method), url, error);
}

MaybeType<Failure, void> RequestClient::SendValues(HttpMethod method, const std::string& url,
                                                   const std::vector<BindingProperty>& arguments,
                                                   RequestResponse& response) {
    try {
        EncodedArguments encoded;
        for (const BindingProperty& argument : arguments) {
            std::string error;
            if (!encoded.Add(argument, &types_, error)) return ParameterFailure(method, url, error);
        }
        response.area = HostResponseArea{};
        HostRequestRecord record{};
        record.method = WireMethod(method);
        record.url = url.c_str();
        record.arguments = encoded.Data();
        record.argumentCount = encoded.Count();
        record.pluginHandle = host_.PluginHandle();
        if (!host_.Request(&response.area, &record)) {
            return Failure(0, "Error response for {method} {url}: {error}", MethodWord(method), url,
                           "The plugin is not connected to a host");
        }
        if (response.area.error != nullptr) {
            return Failure(response.area.status, "Error response for {method} {url}: {error}",
                           MethodWord(method), url, response.area.error);
        }
        return {};
    } catch (const std::exception&) {
        return ParameterFailure(method, url, "Out of memory");
    }
}

MaybeType<Failure, void> RequestClient::SendNamed(
    HttpMethod method, const std::string& url,
    const std::map<std::string, BindingProperty>& parameters, RequestResponse& response) {
    std::vector<BindingProperty> arguments(1);
    BindingProperty& object = arguments[0];
    bool ok = object.MakeStructure();
    for (const auto& [name, value] : parameters) {
        if (!ok) break;
        BindingProperty* member = object.MemberForWrite(name);
        ok = member != nullptr;
        if (ok) *member = value;
    }
    if (!ok) return ParameterFailure(method, url, "Out of memory");
    return SendValues(method, url, arguments, response);
}

MaybeType<Failure, BindingProperty> RequestClient::ReadResponse(HttpMethod method,
                                                                const std::string& url,
                                                                RequestResponse& response) {
    if (response.HasStream()) {
        std::string error;
        MaybeType<Failure, BindingProperty> value = ReadStream(response, error);
        if (!error.empty()) {
            return Failure(0, "Error reading streamed response for {method} {url}: {error}",
                           MethodWord(method), url, error);
        }
        if (value.IsFailure()) {
            return Failure(0, "Error converting response for {method} {url}: {error}",
                           MethodWord(method), url, value.GetFailure().Message());
        }
        return value;
    }
    ConversionStatus body = HostValueToBinding(response.area.body, "<result>");
    if (!body.Ok()) {
        return Failure(0, "Error converting response for {method} {url}: {error}",
                       MethodWord(method), url, std::string(body.Error()));
    }
    return std::move(body.Value());
}

MaybeType<Failure, BindingProperty> RequestClient::ReadStream(RequestResponse& response,
                                                              std::string& error) {
    HostResponseArea& area = response.area;
    std::string text;
    try {
        const uint32_t expected = area.expectedStreamSize;  // packed: copied, not referenced
        text.reserve(std::min(expected, kMaxStreamReserve));
        char buffer[kStreamChunk];
        bool more = true;
        while (more) {
            uint32_t count = kStreamChunk;
            uint8_t moreFlag = 0;
            const bool ok = area.streamRead(area.streamContext, buffer, &count, &moreFlag) != 0;
            // A count beyond the buffer would be a host fault; it is refused, not trusted.
            if (!ok || count > kStreamChunk) {
                error = "Stream read error";
                if (area.streamClose) area.streamClose(area.streamContext);
                return Failure(0, error);
            }
            text.append(buffer, count);
            more = moreFlag != 0;
            if (count < kStreamChunk && more) timers_.Wait();
        }
    } catch (const std::exception&) {
        error = "Out of memory";
        if (area.streamClose) area.streamClose(area.streamContext);
        return Failure(0, error);
    }
    ConversionStatus parsed = ParseJson(text);
    if (area.streamClose) area.streamClose(area.streamContext);
    if (!parsed.Ok()) return Failure(0, std::string(parsed.Error()));
    return std::move(parsed.Value());
}

}  // namespace Vane
