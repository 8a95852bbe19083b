#include "devhost/subscriptions.h"

namespace Vane::DevHost {

void SubscriptionTable::Subscribe(Subscriber subscriber) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto key = std::make_pair(subscriber.eventName, subscriber.pluginHandle);
    entries_[std::move(key)] = std::move(subscriber);
}

bool SubscriptionTable::Unsubscribe(std::string_view eventName, uint32_t pluginHandle) {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.erase(std::make_pair(std::string(eventName), pluginHandle)) > 0;
}

std::vector<Subscriber> SubscriptionTable::Matching(std::string_view eventName) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Subscriber> found;
    for (auto it = entries_.lower_bound(std::make_pair(std::string(eventName), uint32_t{0}));
         it != entries_.end() && it->first.first == eventName; ++it) {
        found.push_back(it->second);
    }
    return found;
}

bool SubscriptionTable::IsCurrent(const Subscriber& subscriber) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(std::make_pair(subscriber.eventName, subscriber.pluginHandle));
    return it != entries_.end() && it->second.dispatch == subscriber.dispatch &&
           it->second.context == subscriber.context;
}

std::vector<Subscriber> SubscriptionTable::All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Subscriber> all;
    for (const auto& [key, subscriber] : entries_) all.push_back(subscriber);
    return all;
}

void SubscriptionTable::RemovePlugin(uint32_t pluginHandle) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        it = it->first.second == pluginHandle ? entries_.erase(it) : std::next(it);
    }
}

}  // namespace Vane::DevHost
