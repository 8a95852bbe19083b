// The host's table of event subscriptions made by plugins.
#ifndef PYX_DEVHOST_SUBSCRIPTIONS_H_
#define PYX_DEVHOST_SUBSCRIPTIONS_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pyx/host_abi.h"

namespace Vane::DevHost {

// One subscription: who receives events of `eventName`, through what, with which context.
struct Subscriber {
    std::string eventName;
    uint32_t pluginHandle = 0;
    HostDispatchFn dispatch = nullptr;
    void* context = nullptr;
    uint32_t flag = 0;  // 0 resource events, 1 service-proxy events
};

// Keyed by (event name, plugin handle): subscribing again replaces the earlier entry, so a
// plugin that re-registers a handler is not called twice. Thread-safe.
class SubscriptionTable {
  public:
    // Adds or replaces the subscription of (subscriber.eventName, subscriber.pluginHandle).
    void Subscribe(Subscriber subscriber);
    // Removes it; false when there was none.
    bool Unsubscribe(std::string_view eventName, uint32_t pluginHandle);
    // The subscriptions whose event name equals `eventName` exactly.
    std::vector<Subscriber> Matching(std::string_view eventName) const;
    // True while `subscriber` is still subscribed with the same dispatch function and context,
    // so an event queued before an unsubscribe is not delivered after it.
    bool IsCurrent(const Subscriber& subscriber) const;
    // Every subscription, ordered by event name.
    std::vector<Subscriber> All() const;
    // Removes every subscription of `pluginHandle`.
    void RemovePlugin(uint32_t pluginHandle);

  private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, uint32_t>, Subscriber, std::less<>> entries_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_SUBSCRIPTIONS_H_
