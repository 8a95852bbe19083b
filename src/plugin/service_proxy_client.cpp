#include "plugin/service_proxy_client.h"

#include <exception>
#include <utility>
#include <vector>

#include "log/logger.h"

namespace Vane {
namespace {

constexpr const char* kUuidEndpoint = "/pyx-login/v1/service-proxy-uuid-requests";
constexpr const char* kMethodEndpoint = "/pyx-login/v1/service-proxy-method-requests";

}  // namespace

ServiceProxyClient::ServiceProxyClient(EventRouter& events, RequestClient& requests,
                                       TimerTable& timers, const TypeRegistry& types,
                                       const std::string& shortName,
                                       const std::atomic<bool>& stopping)
    : events_(events),
      requests_(requests),
      timers_(timers),
      types_(types),
      shortName_(shortName),
      stopping_(stopping) {}

void ServiceProxyClient::SubscribeAnswers() {
    events_.RegisterServiceProxyHandler(
        "OnServiceProxyUuidEvent",
        [this](const PluginServiceProxyResponse& r) { HandleAnswer(r.uuid, r); }, 1);
    events_.RegisterServiceProxyHandler(
        "OnServiceProxyMethodEvent",
        [this](const PluginServiceProxyResponse& r) {
            HandleAnswer(FormatPositional("%1.%2", r.serviceName, r.methodName), r);
        },
        1);
    events_.RegisterServiceProxyHandler(
        "OnServiceProxyAsyncEvent", [this](const PluginServiceProxyResponse& r) { HandleAsync(r); },
        1);
}

void ServiceProxyClient::Clear() {
    std::map<std::string, Handler> pending;
    std::map<std::string, Handler> async;
    std::map<std::string, PluginServiceProxyResponse> received;
    {
        ScopedLock guard(lock_);
        pending.swap(pending_);
        async.swap(asyncHandlers_);
        received.swap(received_);
    }
    // The callbacks are destroyed here, outside the lock, without being called.
}

std::string ServiceProxyClient::ConversionFailureText(std::string_view typeName) const {
    return Failure(0, "Failed to convert type {type} to BindingProperty for serialization",
                   typeName)
        .Message();
}

std::string ServiceProxyClient::InvokeText(const std::string& service, const std::string& method,
                                           const std::string& payloadText,
                                           const std::string& answerMethod, Handler callback) {
    if (stopping_.load(std::memory_order_acquire)) return "Finalizing";
    try {
        const std::string keyText = FormatPositional("%1.%2", service, method);
        Log(kLogAlways, 0, 0, "%s: Preparing service proxy request: %s", shortName_.c_str(),
            keyText.c_str());
        std::string key;
        if (answerMethod.empty()) {
            MaybeType<Failure, std::string> uuid = requests_.Request<std::string>(
                HttpMethod::kPost, kUuidEndpoint, service, method, payloadText);
            if (uuid.IsFailure()) return uuid.GetFailure().Message();
            key = std::move(uuid.Value());
        } else {
            key = FormatPositional("%1.%2", service, answerMethod);
            bool inFlight;
            {
                ScopedLock guard(lock_);
                inFlight = pending_.count(key) != 0;
            }
            if (inFlight) {
                Log(kLogError, 0, 0,
                    "%s: Could not invoke service proxy as request is already in flight",
                    shortName_.c_str());
                return "Request already in flight";
            }
            MaybeType<Failure, void> posted = requests_.RequestVoid(
                HttpMethod::kPost, kMethodEndpoint, service, method, answerMethod, payloadText);
            if (posted.IsFailure()) return posted.GetFailure().Message();
        }
        Log(kLogAlways, 0, 0, "%s: Started service proxy request: %s (%s)", shortName_.c_str(),
            keyText.c_str(), key.c_str());
        {
            ScopedLock guard(lock_);
            pending_[key] = std::move(callback);
        }
        RunMatching();
        return {};
    } catch (const std::exception&) {
        return "Out of memory";
    }
}

void ServiceProxyClient::HandleAnswer(const std::string& key,
                                      const PluginServiceProxyResponse& response) {
    {
        ScopedLock guard(lock_);
        received_[key] = response;
    }
    RunMatching();
}

void ServiceProxyClient::RunMatching() {
    struct Match {
        std::string key;
        Handler callback;
        PluginServiceProxyResponse response;
    };
    std::vector<Match> matches;
    {
        // Taking an answer out of both tables under the lock makes its delivery exactly-once;
        // the callbacks run after the lock is released, so they may start new requests.
        ScopedLock guard(lock_);
        for (auto it = received_.begin(); it != received_.end();) {
            auto pending = pending_.find(it->first);
            if (pending == pending_.end()) {
                ++it;
                continue;
            }
            matches.push_back({it->first, std::move(pending->second), std::move(it->second)});
            pending_.erase(pending);
            it = received_.erase(it);
        }
    }
    for (Match& match : matches) {
        if (match.callback) match.callback(match.response);
        Log(kLogAlways, 0, 0, "%s: Fulfilled service proxy request: %s", shortName_.c_str(),
            match.key.c_str());
    }
}

void ServiceProxyClient::HandleAsync(const PluginServiceProxyResponse& response) {
    const std::string key = FormatPositional("%1.%2", response.serviceName, response.methodName);
    Handler handler;
    {
        ScopedLock guard(lock_);
        auto it = asyncHandlers_.find(key);
        if (it != asyncHandlers_.end()) handler = it->second;
    }
    if (!handler) {
        Log(kLogError, 0, 0,
            "%s: Could not find registered handler for async service proxy event %s",
            shortName_.c_str(), key.c_str());
        return;
    }
    handler(response);
}

void ServiceProxyClient::RegisterAsyncHandler(const std::string& service, const std::string& method,
                                              Handler handler) {
    const std::string key = FormatPositional("%1.%2", service, method);
    ScopedLock guard(lock_);
    asyncHandlers_[key] = std::move(handler);
}

size_t ServiceProxyClient::PendingRequests() const {
    ScopedLock guard(lock_);
    return pending_.size();
}

void ServiceProxyClient::ScheduleCall(const std::string& keyText, std::string error,
                                      Handler callback, PluginServiceProxyResponse response) {
    // Scheduled, not called: callers may rely on their completion never running inside the
    // call that started the request.
    const uint64_t id = timers_.Schedule(
        keyText.c_str(),
        [callback = std::move(callback), response = std::move(response)] { callback(response); },
        timers_.Now());
    if (id == 0) {
        Log(kLogError, 0, 0, "%s: Couldn't report the outcome of service proxy request %s: %s",
            shortName_.c_str(), keyText.c_str(), error.c_str());
    }
}

}  // namespace Vane
