// Requests to remote services through the login plugin's service proxy, and the matching of
// their answers, which come back later as host events: by uuid, or by the method the answer
// is sent under. Unsolicited service events go to the handler registered for them.
//
// Threads: requests may start on any thread, and answers may arrive on another while the
// request that awaits them is still being sent. The pending, received and async-handler tables
// are locked; no callback runs while the lock is held.
#ifndef PYX_PLUGIN_SERVICE_PROXY_CLIENT_H_
#define PYX_PLUGIN_SERVICE_PROXY_CLIENT_H_

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "codec/json_writer.h"
#include "plugin/event_router.h"
#include "plugin/request_client.h"
#include "plugin/runtime_types.h"
#include "plugin/timers.h"
#include "types/native_json_reader.h"
#include "types/record_description.h"
#include "types/static_type.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/format.h"
#include "util/lock.h"
#include "util/maybe.h"

namespace Vane {

class ServiceProxyClient {
  public:
    using Handler = EventRouter::ServiceProxyHandler;
    template <class T>
    using Completion = std::function<void(const MaybeType<Failure, T>&)>;

    // A client receiving its answers through `events`, posting through `requests`, scheduling
    // late outcomes with `timers` and converting with `types`; `shortName` starts its log
    // lines and `stopping` refuses new requests once set. All of them outlive the client.
    ServiceProxyClient(EventRouter& events, RequestClient& requests, TimerTable& timers,
                       const TypeRegistry& types, const std::string& shortName,
                       const std::atomic<bool>& stopping);
    ServiceProxyClient(const ServiceProxyClient&) = delete;
    ServiceProxyClient& operator=(const ServiceProxyClient&) = delete;

    // Subscribes to the three answer events ("OnServiceProxyUuidEvent",
    // "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent", flag 1), in that order.
    void SubscribeAnswers();

    // Posts `payloadText` to the remote service `service` / `method` through the login plugin:
    // by uuid when `answerMethod` is empty, else by the method the answer comes back under.
    // `callback` later receives the answer exactly once (never while a runtime lock is held, so
    // it may start another service-proxy request). Returns "" on success, else the error
    // ("Finalizing" while stopping, "Request already in flight", or the request's failure
    // message); the callback is then dropped.
    [[nodiscard]] std::string InvokeText(const std::string& service, const std::string& method,
                                         const std::string& payloadText,
                                         const std::string& answerMethod, Handler callback);
    // As above with a native payload record written as compact JSON; a payload that does not
    // convert gives "Failed to convert type {type} to BindingProperty for serialization".
    template <class Payload>
    [[nodiscard]] std::string Invoke(const std::string& service, const std::string& method,
                                     const Payload& payload, const std::string& answerMethod,
                                     Handler callback);
    // The form features use: the answer's payload is decoded as Response; a failure to start
    // reaches `completion` too, but always after this call returned (it is scheduled with the
    // host). An empty completion discards the answer.
    template <class Response, class Payload>
    void InvokeTyped(const std::string& service, const std::string& method, const Payload& payload,
                     const std::string& answerMethod, Completion<Response> completion);
    // Handler of unsolicited service events "service.method" (OnServiceProxyAsyncEvent).
    void RegisterAsyncHandler(const std::string& service, const std::string& method,
                              Handler handler);
    // Decodes an answer's payload text as JSON converted to T; fails with "Failed to
    // deserialize response payload \"{payload}\" to a {type}".
    template <class T>
    [[nodiscard]] MaybeType<Failure, T> DecodePayload(
        const PluginServiceProxyResponse& response) const;
    // Requests waiting for their answer.
    size_t PendingRequests() const;

    // Drops every pending request, async handler and waiting answer, calling none of them.
    void Clear();

  private:
    // Where the typed form keeps an answer matched before InvokeTyped returned.
    struct EarlyAnswer {
        CriticalSection lock;
        bool returned GUARDED_BY(lock) = false;
        std::optional<PluginServiceProxyResponse> answer GUARDED_BY(lock);
    };

    void HandleAnswer(const std::string& key, const PluginServiceProxyResponse& response);
    void HandleAsync(const PluginServiceProxyResponse& response);
    void RunMatching();
    // Schedules one call of `callback` with `response` for now; `error` is logged when it
    // cannot be scheduled.
    void ScheduleCall(const std::string& keyText, std::string error, Handler callback,
                      PluginServiceProxyResponse response = {});
    std::string ConversionFailureText(std::string_view typeName) const;

    EventRouter& events_;
    RequestClient& requests_;
    TimerTable& timers_;
    const TypeRegistry& types_;
    const std::string& shortName_;
    const std::atomic<bool>& stopping_;

    // Guards the three tables below.
    mutable CriticalSection lock_;
    std::map<std::string, Handler> pending_ GUARDED_BY(lock_);
    std::map<std::string, Handler> asyncHandlers_ GUARDED_BY(lock_);
    std::map<std::string, PluginServiceProxyResponse> received_ GUARDED_BY(lock_);
};

// ---------------------------------------------------------------------------------------
// Templates

template <class Payload>
std::string ServiceProxyClient::Invoke(const std::string& service, const std::string& method,
                                       const Payload& payload, const std::string& answerMethod,
                                       Handler callback) {
    if (stopping_.load(std::memory_order_acquire)) return "Finalizing";
    ConversionStatus status = ToBinding(types_, payload);
    if (!status.Ok()) return ConversionFailureText(StaticType::Name<Payload>());
    // A payload cut short by memory running out is never sent in place of the whole one.
    std::string text;
    if (!WriteJsonTo(status.Value(), &types_, "", text)) return "Out of memory";
    return InvokeText(service, method, text, answerMethod, std::move(callback));
}

template <class Response, class Payload>
void ServiceProxyClient::InvokeTyped(const std::string& service, const std::string& method,
                                     const Payload& payload, const std::string& answerMethod,
                                     Completion<Response> completion) {
    const std::string keyText = FormatPositional("%1.%2", service, method);
    Handler wrapped;
    std::shared_ptr<EarlyAnswer> early;
    if (completion) {
        early = std::make_shared<EarlyAnswer>();
        wrapped = [this, completion, early](const PluginServiceProxyResponse& response) {
            {
                // An answer that was waiting already is matched inside the invoke: it is kept
                // and handed over later, never before this call returned.
                ScopedLock guard(early->lock);
                if (!early->returned) {
                    early->answer = response;
                    return;
                }
            }
            completion(DecodePayload<Response>(response));
        };
    }
    std::string error = Invoke(service, method, payload, answerMethod, wrapped);
    if (!completion) return;
    if (!error.empty()) {
        // Built before `error` is moved into the call: the order in which arguments are
        // evaluated is the compiler's choice.
        Handler report = [completion, error](const PluginServiceProxyResponse&) {
            completion(MaybeType<Failure, Response>(Failure(0, error)));
        };
        ScheduleCall(keyText, std::move(error), std::move(report));
        return;
    }
    std::optional<PluginServiceProxyResponse> answer;
    {
        ScopedLock guard(early->lock);
        early->returned = true;
        answer.swap(early->answer);
    }
    if (answer) {
        ScheduleCall(
            keyText, "the answer could not be delivered",
            [this, completion](const PluginServiceProxyResponse& r) {
                completion(DecodePayload<Response>(r));
            },
            std::move(*answer));
    }
}

template <class T>
MaybeType<Failure, T> ServiceProxyClient::DecodePayload(
    const PluginServiceProxyResponse& response) const {
    try {
        T value{};
        if (ReadJsonNative(types_, response.payload, value, "<value>").Ok()) {
            return MaybeType<Failure, T>(std::move(value));
        }
    } catch (const std::exception&) {
        // Out of memory: reported as the payload failing to convert.
    }
    return Failure(0, "Failed to deserialize response payload \"{payload}\" to a {type}",
                   response.payload, StaticType::Name<T>());
}

}  // namespace Vane

#endif  // PYX_PLUGIN_SERVICE_PROXY_CLIENT_H_
