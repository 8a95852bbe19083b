// The runtime base of a plugin: the handshake with the host, the host's operations, event
// subscriptions and resource observers, requests to other plugins, the service-proxy client,
// timers, log forwarding and telemetry.
//
// A plugin derives from `PluginBase`, overrides RegisterApi (its routes and types), Start
// (what it does once the host is known) and Shutdown, and is handed to `LoadPlugin` by the
// library's export. The host then drives it through the callbacks of `Callbacks()`.
//
// Threads: the host runs one call into the plugin at a time; service-proxy answers may arrive
// on another thread while the plugin waits inside a host request, and requests and
// service-proxy calls may start on any thread. The service-proxy tables and the scheduled
// callbacks are locked; the subscription, handler, resource and timer tables are not.
#ifndef PYX_PLUGIN_PLUGIN_BASE_H_
#define PYX_PLUGIN_PLUGIN_BASE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "api/function_registry.h"
#include "api/http_method.h"
#include "api/route_table.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "plugin/host_link.h"
#include "plugin/plugin_api_version.h"
#include "plugin/plugin_identity.h"
#include "plugin/runtime_types.h"
#include "plugin/timers.h"
#include "pyx/host_abi.h"
#include "types/native_json_reader.h"
#include "types/record_description.h"
#include "types/static_type.h"
#include "util/failure.h"
#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane {

class PluginLogTarget;
class TelemetrySender;

// The response area of one request, zero-filled, with what the host wrote into it. The body,
// error text and stream belong to the host and are valid only during the call into the plugin
// in which the request was made.
struct RequestResponse {
    HostResponseArea area{};

    bool HasStream() const { return area.streamRead != nullptr; }
    int32_t Status() const { return area.status; }
};

class PluginBase {
  public:
    using ResourceHandler = std::function<void(const PluginResourceEvent&)>;
    using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse&)>;
    template <class T>
    using ResourceObserver = std::function<void(const std::string& uri, const std::optional<T>&)>;
    template <class T>
    using ServiceProxyCompletion = std::function<void(const MaybeType<Failure, T>&)>;

    // A plugin not yet loaded: its local API exists, its callbacks table is filled.
    PluginBase();
    // Releases every runtime table; callbacks and ticks the host delivers later do nothing.
    virtual ~PluginBase();
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    // --- Resource subscriptions --------------------------------------------------------

    // Counts one more watcher of the event of `path` (JsonApiEventName); the first one
    // registers the resource dispatcher with the host.
    virtual void Subscribe(const std::string& path);
    // Counts one watcher less; the last one unsubscribes from the host and drops the handler.
    // An unbalanced call is ignored.
    virtual void Unsubscribe(const std::string& path);

    // Unsubscribes every handled event from the host and clears the handler, service-proxy,
    // timer and resource tables (without calling anything in them). Subscription counts and
    // one-shot scheduled callbacks stay.
    virtual void Shutdown();

    // --- The host's operations (no-ops that report false before initialise) ------------

    virtual bool HostRequest(HostResponseArea* response, HostRequestRecord* request);
    virtual bool HostFireEvent(const HostOutgoingEvent& event);
    virtual bool HostSubscribe(const char* eventName, HostDispatchFn dispatch, void* context,
                               uint32_t flag);
    virtual bool HostUnsubscribe(const char* eventName);
    virtual bool HostSchedule(const char* name, HostScheduledFn callback, void* context,
                              double delaySeconds);
    virtual bool HostYield();
    virtual bool HostLabel(const char* label);
    virtual uint64_t HostAfterYield();
    virtual bool HostLog(const char* message, int32_t level);

    // Registers the plugin's types and routes with Api(); called once by the loader.
    virtual void RegisterApi();
    // Starts the plugin once the host is known; false makes initialise report failure.
    virtual bool Start();

    // --- Identity and state -------------------------------------------------------------

    LocalApi& Api() { return *api_; }
    TypeRegistry& Types() { return api_->Types(); }
    const TypeRegistry& Types() const { return api_->Types(); }
    const std::string& ShortName() const { return shortName_; }
    const PluginIdentity& Identity() const { return identity_; }
    const std::string& UserAgent() const { return userAgent_; }
    const std::string& ApiPathPrefix() const { return apiPathPrefix_; }
    const std::vector<std::string>& LogContext() const { return logContext_; }
    const PluginApiVersion& CoreVersion() const { return coreVersion_; }
    uint32_t PluginHandle() const { return pluginHandle_; }
    const HostLink& Host() const { return host_; }
    bool IsStopping() const { return stopping_.load(std::memory_order_acquire); }
    // The table whose address the loader returns in the load record.
    const PluginCallbacks& Callbacks() const { return callbacks_; }
    // The host's route table (null before the loader built it).
    const HostApiTable* ApiTable() const { return routeTable_ ? &routeTable_->Table() : nullptr; }
    PluginLogTarget* LogTarget() const { return logTarget_.get(); }
    TelemetrySender* Telemetry() const { return telemetry_.get(); }
    // The subscription count of the full event name `eventName`.
    uint32_t SubscriptionCount(const std::string& eventName) const;

    // --- Events ---------------------------------------------------------------------------

    // Makes `handler` the one handler of event `eventName` (payload PluginResourceEvent) and
    // subscribes to it with the host under `flag`.
    void RegisterResourceEventHandler(const std::string& eventName, ResourceHandler handler,
                                      uint32_t flag);
    // The same for events whose payload is a PluginServiceProxyResponse.
    void RegisterServiceProxyEventHandler(const std::string& eventName, ServiceProxyHandler handler,
                                          uint32_t flag);

    // Watches the resources matching `pattern` ("*" wildcards, see WildcardMatch): `observer`
    // receives the uri and the value converted to T, or no value for a deletion. A pattern
    // without "*" is also read at once with a GET and, when that succeeds, reported as created.
    // Data that does not convert to T is traced and not reported.
    template <class T>
    void ObserveResource(const std::string& pattern, ResourceObserver<T> observer);

    // Fires "OnJsonApiEvent" for a change of the resource `uri`. Fails when the event cannot be
    // converted or encoded; nothing is sent then.
    MaybeType<Failure, void> PublishResource(const std::string& uri,
                                             PluginResourceEventType eventType,
                                             const BindingProperty& data);
    // The same with native data converted through the type registry.
    template <class T>
    MaybeType<Failure, void> PublishResource(const std::string& uri,
                                             PluginResourceEventType eventType, const T& data);

    // --- Requests to other plugins --------------------------------------------------------

    // Sends a request whose arguments are `arguments` (each one positional host value) and
    // leaves what the host answered in `response`. Fails with 400 "Request not sent: Error
    // converting parameters for {method} {url}: {error}" when an argument cannot be encoded
    // (nothing is sent), and with the response's status and "Error response for {method}
    // {url}: {error}" when the host reports an error.
    MaybeType<Failure, void> SendValues(HttpMethod method, const std::string& url,
                                        const std::vector<BindingProperty>& arguments,
                                        RequestResponse& response);
    // Native arguments, each converted through the type registry.
    template <class... Args>
    MaybeType<Failure, void> Send(HttpMethod method, const std::string& url,
                                  RequestResponse& response, const Args&... arguments);
    // Named parameters sent as one structure.
    MaybeType<Failure, void> SendNamed(HttpMethod method, const std::string& url,
                                       const std::map<std::string, BindingProperty>& parameters,
                                       RequestResponse& response);
    // The response body of a successful send as a value (read from the stream when the host
    // answered with one). Fails with "Error reading streamed response for {method} {url}:
    // {error}" or "Error converting response for {method} {url}: {error}" (code 0).
    MaybeType<Failure, BindingProperty> ReadResponse(HttpMethod method, const std::string& url,
                                                     RequestResponse& response);
    // A request whose answer is converted to T.
    template <class T, class... Args>
    MaybeType<Failure, T> Request(HttpMethod method, const std::string& url,
                                  const Args&... arguments);
    // A request whose answer is not read.
    template <class... Args>
    MaybeType<Failure, void> RequestVoid(HttpMethod method, const std::string& url,
                                         const Args&... arguments);

    // --- Service proxy --------------------------------------------------------------------

    // Posts `payloadText` to the remote service `service` / `method` through the login plugin:
    // by uuid when `answerMethod` is empty, else by the method the answer comes back under.
    // `callback` later receives the answer exactly once (never while a runtime lock is held, so
    // it may start another service-proxy request). Returns "" on success, else the error
    // ("Finalizing" while stopping, "Request already in flight", or the request's failure
    // message); the callback is then dropped.
    std::string InvokeServiceProxyText(const std::string& service, const std::string& method,
                                       const std::string& payloadText,
                                       const std::string& answerMethod,
                                       ServiceProxyHandler callback);
    // As above with a native payload record written as compact JSON; a payload that does not
    // convert gives "Failed to convert type {type} to BindingProperty for serialization".
    template <class Payload>
    std::string InvokeServiceProxy(const std::string& service, const std::string& method,
                                   const Payload& payload, const std::string& answerMethod,
                                   ServiceProxyHandler callback);
    // The form features use: the answer's payload is decoded as Response; a failure to start
    // reaches `completion` too, but always after this call returned (it is scheduled with the
    // host). An empty completion discards the answer.
    template <class Response, class Payload>
    void InvokeServiceProxyTyped(const std::string& service, const std::string& method,
                                 const Payload& payload, const std::string& answerMethod,
                                 ServiceProxyCompletion<Response> completion);
    // Handler of unsolicited service events "service.method" (OnServiceProxyAsyncEvent).
    void RegisterServiceProxyAsyncHandler(const std::string& service, const std::string& method,
                                          ServiceProxyHandler handler);
    // Decodes an answer's payload text as JSON converted to T; fails with "Failed to
    // deserialize response payload \"{payload}\" to a {type}".
    template <class T>
    MaybeType<Failure, T> DecodeServiceProxyPayload(const PluginServiceProxyResponse& response);
    // Requests waiting for their answer.
    size_t PendingServiceProxyRequests() const;

    // --- Timers ---------------------------------------------------------------------------

    // The runtime's monotonic clock in nanoseconds.
    int64_t Now() const { return timers_.Now(); }
    // Runs `callback` once at or after `deadline`; returns its id (0 when not scheduled).
    uint64_t ScheduleCallback(const std::string& name, std::function<void()> callback,
                              int64_t deadline);
    // (Re)starts the repeating timer `name`; host thread only.
    void StartTimer(const std::string& name, int64_t intervalNanoseconds,
                    std::function<void()> callback);
    // Stops the timer `name`; host thread only.
    void StopTimer(const std::string& name);
    bool HasTimer(const std::string& name) const { return timers_.HasTimer(name); }
    // Yields once to the host and returns its value.
    uint64_t Wait() { return timers_.Wait(); }

    // --- Telemetry ------------------------------------------------------------------------

    // Posts the telemetry event `name` with `parameters` (none when empty); the future is
    // ready when returned. Fails when the plugin is not initialised.
    std::future<MaybeType<Failure, void>> PostTelemetryEvent(const std::string& name,
                                                             const BindingProperty& parameters);

  protected:
    // Replaces the clock of the timers (tests and hosts with a virtual clock).
    void SetClock(TimerTable::Clock clock);

  private:
    friend void LoadPlugin(PluginBase* plugin, PluginLoadRecord* record, const char* shortName);
    friend struct PluginEntryPoints;

    using EventHandler =
        std::variant<std::shared_ptr<ResourceHandler>, std::shared_ptr<ServiceProxyHandler>>;
    struct WildcardHandler {
        std::string pattern;
        std::shared_ptr<ResourceHandler> handler;
    };

    // Loader steps after the version check.
    void CompleteLoad(const PluginApiVersion& coreVersion, const char* shortName);
    // Initialise callback steps; the result of Start.
    bool Initialise(const HostContext* context);

    void AddResourceHandler(const std::string& pattern, ResourceHandler handler);
    void DispatchResourceEvent(const PluginResourceEvent& event);
    // GET `path` and report it as created to the handler registered for it.
    void ReadInitialResource(const std::string& path);
    void Trace(const char* format, std::initializer_list<std::string_view> args) const;
    template <class Payload>
    static void DispatchEvent(const HostIncomingEvent* event);
    template <class Payload>
    void HandleEvent(const HostIncomingEvent& event);

    void HandleServiceProxyAnswer(const std::string& key, const PluginServiceProxyResponse& r);
    void HandleServiceProxyAsync(const PluginServiceProxyResponse& response);
    void RunServiceProxyMatching();
    // Schedules one call of `callback` with `response` for now; `error` is logged when it cannot
    // be scheduled.
    void ScheduleServiceProxyFailure(const std::string& keyText, std::string error,
                                     ServiceProxyHandler callback,
                                     PluginServiceProxyResponse response = {});
    struct EarlyAnswer {
        std::mutex mutex;
        bool returned = false;
        std::optional<PluginServiceProxyResponse> answer;
    };
    std::string ConversionFailureText(std::string_view typeName) const;

    MaybeType<Failure, BindingProperty> ReadStream(RequestResponse& response, std::string& error);
    Failure ParameterFailure(HttpMethod method, const std::string& url,
                             const std::string& error) const;

    template <class T>
    static bool AppendArgument(const TypeRegistry& registry, const T& value,
                               std::vector<BindingProperty>& out, std::string& error);

    // Runtime state, in the order the runtime owns it.
    std::unordered_map<std::string, std::shared_ptr<ResourceHandler>> exactResourceHandlers_;
    std::vector<WildcardHandler> wildcardResourceHandlers_;
    uint32_t pluginHandle_ = 0;
    std::string shortName_;
    std::string userAgent_;
    std::unique_ptr<TelemetrySender> telemetry_;
    std::map<std::string, EventHandler> eventHandlers_;
    std::map<std::string, uint32_t> subscriptions_;

    mutable std::mutex serviceProxyMutex_;
    std::map<std::string, ServiceProxyHandler> pendingServiceProxy_;
    std::map<std::string, ServiceProxyHandler> asyncServiceProxyHandlers_;
    std::map<std::string, PluginServiceProxyResponse> receivedServiceProxy_;

    TimerTable timers_;
    std::atomic<bool> stopping_{false};
    PluginApiVersion coreVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginIdentity identity_;
    std::string apiPathPrefix_;
    std::vector<std::string> logContext_;
    std::unique_ptr<LocalApi> api_;
    HostLink host_;
    PluginCallbacks callbacks_{};
    std::unique_ptr<HostRouteTable> routeTable_;
};

// The loader: checks the core's plugin API version (ending the process with the fatal error
// "ALE-EECF0606" when it is not compatible), registers the log category "LOC" and the
// event-tracing providers, gives `plugin` its identity, registers the runtime's types and
// events and the plugin's API, builds the host's route table and fills the load record's
// answer. `plugin` must come from `new`; the host owns it from here on and destroys it through
// the shut-down callback, which also unregisters the event-tracing providers.
void LoadPlugin(PluginBase* plugin, PluginLoadRecord* record, const char* shortName);

// ---------------------------------------------------------------------------------------
// Templates

template <class T>
void PluginBase::ObserveResource(const std::string& pattern, ResourceObserver<T> observer) {
    if (!observer) return;
    ResourceHandler handler = [this,
                               observer = std::move(observer)](const PluginResourceEvent& event) {
        if (event.eventType == PluginResourceEventType::Delete) {
            observer(event.uri, std::nullopt);
            return;
        }
        T value{};
        ConversionStatus status;
        FromBinding(Types(), event.data, value, status, "<value>");
        if (!status.Ok()) {
            Trace("Couldn't convert resource %s to C++ while handling update for URL: %s",
                  {status.Error(), event.uri});
            return;
        }
        observer(event.uri, std::optional<T>(std::move(value)));
    };
    AddResourceHandler(pattern, std::move(handler));
    Subscribe(pattern);
    if (pattern.find('*') == std::string::npos) ReadInitialResource(pattern);
}

template <class T>
MaybeType<Failure, void> PluginBase::PublishResource(const std::string& uri,
                                                     PluginResourceEventType eventType,
                                                     const T& data) {
    ConversionStatus status = ToBinding(Types(), data);
    if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
    return PublishResource(uri, eventType, status.Value());
}

template <class T>
bool PluginBase::AppendArgument(const TypeRegistry& registry, const T& value,
                                std::vector<BindingProperty>& out, std::string& error) {
    if (!error.empty()) return false;
    ConversionStatus status = ToBinding(registry, value);
    if (!status.Ok()) {
        error = std::string(status.Error());
        return false;
    }
    out.push_back(std::move(status.Value()));
    return true;
}

template <class... Args>
MaybeType<Failure, void> PluginBase::Send(HttpMethod method, const std::string& url,
                                          RequestResponse& response, const Args&... arguments) {
    std::vector<BindingProperty> values;
    std::string error;
    try {
        values.reserve(sizeof...(Args));
        (AppendArgument(Types(), arguments, values, error), ...);
    } catch (const std::exception&) {
        error = "Out of memory";
    }
    if (!error.empty()) return ParameterFailure(method, url, error);
    return SendValues(method, url, values, response);
}

template <class T, class... Args>
MaybeType<Failure, T> PluginBase::Request(HttpMethod method, const std::string& url,
                                          const Args&... arguments) {
    RequestResponse response;
    MaybeType<Failure, void> sent = Send(method, url, response, arguments...);
    if (sent.IsFailure()) return sent.GetFailure();
    MaybeType<Failure, BindingProperty> body = ReadResponse(method, url, response);
    if (body.IsFailure()) return body.GetFailure();
    MaybeType<Failure, T> value = ConvertTo<T>(Types(), body.Value(), "<result>");
    if (value.IsFailure()) {
        return Failure(0, "Error converting response for {method} {url}: {error}",
                       MethodWord(method), url, value.GetFailure().Message());
    }
    return value;
}

template <class... Args>
MaybeType<Failure, void> PluginBase::RequestVoid(HttpMethod method, const std::string& url,
                                                 const Args&... arguments) {
    RequestResponse response;
    return Send(method, url, response, arguments...);
}

template <class Payload>
std::string PluginBase::InvokeServiceProxy(const std::string& service, const std::string& method,
                                           const Payload& payload, const std::string& answerMethod,
                                           ServiceProxyHandler callback) {
    if (IsStopping()) return "Finalizing";
    ConversionStatus status = ToBinding(Types(), payload);
    if (!status.Ok()) return ConversionFailureText(StaticType::Name<Payload>());
    std::string text = WriteJson(status.Value(), &Types());
    return InvokeServiceProxyText(service, method, text, answerMethod, std::move(callback));
}

template <class Response, class Payload>
void PluginBase::InvokeServiceProxyTyped(const std::string& service, const std::string& method,
                                         const Payload& payload, const std::string& answerMethod,
                                         ServiceProxyCompletion<Response> completion) {
    const std::string keyText = FormatPositional("%1.%2", service, method);
    ServiceProxyHandler wrapped;
    std::shared_ptr<EarlyAnswer> early;
    if (completion) {
        early = std::make_shared<EarlyAnswer>();
        wrapped = [this, completion, early](const PluginServiceProxyResponse& response) {
            {
                // An answer that was waiting already is matched inside the invoke: it is kept
                // and handed over later, never before this call returned.
                std::lock_guard<std::mutex> guard(early->mutex);
                if (!early->returned) {
                    early->answer = response;
                    return;
                }
            }
            completion(DecodeServiceProxyPayload<Response>(response));
        };
    }
    std::string error = InvokeServiceProxy(service, method, payload, answerMethod, wrapped);
    if (!completion) return;
    if (!error.empty()) {
        ScheduleServiceProxyFailure(keyText, std::move(error),
                                    [completion, error](const PluginServiceProxyResponse&) {
                                        completion(MaybeType<Failure, Response>(Failure(0, error)));
                                    });
        return;
    }
    std::optional<PluginServiceProxyResponse> answer;
    {
        std::lock_guard<std::mutex> guard(early->mutex);
        early->returned = true;
        answer.swap(early->answer);
    }
    if (answer) {
        ScheduleServiceProxyFailure(
            keyText, "the answer could not be delivered",
            [this, completion](const PluginServiceProxyResponse& r) {
                completion(DecodeServiceProxyPayload<Response>(r));
            },
            std::move(*answer));
    }
}

template <class T>
MaybeType<Failure, T> PluginBase::DecodeServiceProxyPayload(
    const PluginServiceProxyResponse& response) {
    try {
        T value{};
        if (ReadJsonNative(Types(), response.payload, value, "<value>").Ok()) {
            return MaybeType<Failure, T>(std::move(value));
        }
    } catch (const std::exception&) {
        // Out of memory: reported as the payload failing to convert.
    }
    return Failure(0, "Failed to deserialize response payload \"{payload}\" to a {type}",
                   response.payload, StaticType::Name<T>());
}

}  // namespace Vane

#endif  // PYX_PLUGIN_PLUGIN_BASE_H_
