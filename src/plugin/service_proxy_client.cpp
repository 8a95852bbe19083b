// PluginBase's service-proxy client: requests to remote services through the login plugin,
// and the matching of their answers, which come back later as host events.
#include <exception>
#include <utility>
#include <vector>

#include "log/logger.h"
#include "plugin/plugin_base.h"

namespace Vane {
namespace {

constexpr const char* kUuidEndpoint = "/pyx-login/v1/service-proxy-uuid-requests";
constexpr const char* kMethodEndpoint = "/pyx-login/v1/service-proxy-method-requests";

}  // namespace

std::string PluginBase::ConversionFailureText(std::string_view typeName) const {
    return Failure(0, "Failed to convert type {type} to BindingProperty for serialization",
                   typeName)
        .Message();
}

std::string PluginBase::InvokeServiceProxyText(const std::string& service,
                                               const std::string& method,
                                               const std::string& payloadText,
                                               const std::string& answerMethod,
                                               ServiceProxyHandler callback) {
    if (IsStopping()) return "Finalizing";
    try {
        const std::string keyText = FormatPositional("%1.%2", service, method);
        Log(kLogAlways, 0, 0, "%s: Preparing service proxy request: %s", shortName_.c_str(),
            keyText.c_str());
        std::string key;
        if (answerMethod.empty()) {
            MaybeType<Failure, std::string> uuid = Request<std::string>(
                HttpMethod::kPost, kUuidEndpoint, service, method, payloadText);
            if (uuid.IsFailure()) return uuid.GetFailure().Message();
            key = std::move(uuid.Value());
        } else {
            key = FormatPositional("%1.%2", service, answerMethod);
            bool inFlight;
            {
                std::lock_guard<std::mutex> guard(serviceProxyMutex_);
                inFlight = pendingServiceProxy_.count(key) != 0;
            }
            if (inFlight) {
                Log(kLogError, 0, 0,
                    "%s: Could not invoke service proxy as request is already in flight",
                    shortName_.c_str());
                return "Request already in flight";
            }
            MaybeType<Failure, void> posted = RequestVoid(
                HttpMethod::kPost, kMethodEndpoint, service, method, answerMethod, payloadText);
            if (posted.IsFailure()) return posted.GetFailure().Message();
        }
        Log(kLogAlways, 0, 0, "%s: Started service proxy request: %s (%s)", shortName_.c_str(),
            keyText.c_str(), key.c_str());
        {
            std::lock_guard<std::mutex> guard(serviceProxyMutex_);
            pendingServiceProxy_[key] = std::move(callback);
        }
        RunServiceProxyMatching();
        return {};
    } catch (const std::exception&) {
        return "Out of memory";
    }
}

void PluginBase::HandleServiceProxyAnswer(const std::string& key,
                                          const PluginServiceProxyResponse& response) {
    {
        std::lock_guard<std::mutex> guard(serviceProxyMutex_);
        receivedServiceProxy_[key] = response;
    }
    RunServiceProxyMatching();
}

void PluginBase::RunServiceProxyMatching() {
    struct Match {
        std::string key;
        ServiceProxyHandler callback;
        PluginServiceProxyResponse response;
    };
    std::vector<Match> matches;
    {
        // Taking an answer out of both tables under the lock makes its delivery exactly-once;
        // the callbacks run after the lock is released, so they may start new requests.
        std::lock_guard<std::mutex> guard(serviceProxyMutex_);
        for (auto it = receivedServiceProxy_.begin(); it != receivedServiceProxy_.end();) {
            auto pending = pendingServiceProxy_.find(it->first);
            if (pending == pendingServiceProxy_.end()) {
                ++it;
                continue;
            }
            matches.push_back({it->first, std::move(pending->second), std::move(it->second)});
            pendingServiceProxy_.erase(pending);
            it = receivedServiceProxy_.erase(it);
        }
    }
    for (Match& match : matches) {
        if (match.callback) match.callback(match.response);
        Log(kLogAlways, 0, 0, "%s: Fulfilled service proxy request: %s", shortName_.c_str(),
            match.key.c_str());
    }
}

void PluginBase::HandleServiceProxyAsync(const PluginServiceProxyResponse& response) {
    const std::string key = FormatPositional("%1.%2", response.serviceName, response.methodName);
    ServiceProxyHandler handler;
    {
        std::lock_guard<std::mutex> guard(serviceProxyMutex_);
        auto it = asyncServiceProxyHandlers_.find(key);
        if (it != asyncServiceProxyHandlers_.end()) handler = it->second;
    }
    if (!handler) {
        Log(kLogError, 0, 0,
            "%s: Could not find registered handler for async service proxy event %s",
            shortName_.c_str(), key.c_str());
        return;
    }
    handler(response);
}

void PluginBase::RegisterServiceProxyAsyncHandler(const std::string& service,
                                                  const std::string& method,
                                                  ServiceProxyHandler handler) {
    const std::string key = FormatPositional("%1.%2", service, method);
    std::lock_guard<std::mutex> guard(serviceProxyMutex_);
    asyncServiceProxyHandlers_[key] = std::move(handler);
}

size_t PluginBase::PendingServiceProxyRequests() const {
    std::lock_guard<std::mutex> guard(serviceProxyMutex_);
    return pendingServiceProxy_.size();
}

void PluginBase::ScheduleServiceProxyFailure(const std::string& keyText, std::string error,
                                             ServiceProxyHandler callback,
                                             PluginServiceProxyResponse response) {
    // Scheduled, not called: callers may rely on their completion never running inside the
    // call that started the request.
    const uint64_t id = ScheduleCallback(
        keyText,
        [callback = std::move(callback), response = std::move(response)] { callback(response); },
        Now());
    if (id == 0) {
        Log(kLogError, 0, 0, "%s: Couldn't report the outcome of service proxy request %s: %s",
            shortName_.c_str(), keyText.c_str(), error.c_str());
    }
}

}  // namespace Vane
