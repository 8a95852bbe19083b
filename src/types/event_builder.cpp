#include "types/event_builder.h"

#include <exception>

namespace Vane {

EventBuilder::EventBuilder(TypeRegistry& registry) noexcept
    : registry_(&registry), lock_(registry.Mutex()) {}

EventBuilder::EventBuilder(EventBuilder&& other) noexcept
    : registry_(other.registry_),
      lock_(std::move(other.lock_)),
      event_(other.event_),
      alreadyRegistered_(other.alreadyRegistered_),
      failed_(other.failed_) {
    other.event_ = nullptr;
}

EventBuilder::~EventBuilder() {
    if (event_ && failed_ && !alreadyRegistered_) registry_->RemoveEvent(event_);
}

EventBuilder& EventBuilder::Description(std::string_view text) noexcept {
    if (!Writable()) return *this;
    try {
        event_->description.assign(text);
    } catch (const std::exception&) {
        failed_ = true;
    }
    return *this;
}

EventBuilder& EventBuilder::Tag(std::string_view text) noexcept {
    if (!Writable()) return *this;
    try {
        event_->tags.emplace_back(text);
    } catch (const std::exception&) {
        failed_ = true;
    }
    return *this;
}

EventBuilder BeginEvent(TypeRegistry& registry, std::string_view name,
                        const TypeDescriptor* payload) noexcept {
    EventBuilder builder(registry);
    if (EventDescription* present = registry.FindEventLocked(name)) {
        builder.event_ = present;
        builder.alreadyRegistered_ = true;
    } else {
        builder.event_ = registry.CreateEvent(name, payload);
    }
    return builder;
}

EventBuilder BeginEvent(TypeRegistry& registry, std::string_view name,
                        const TypeInfo& payload) noexcept {
    // The lock is recursive: the lookup and the insertion happen under one holding.
    std::lock_guard lock(registry.Mutex());
    return BeginEvent(registry, name, registry.FindById(payload.id));
}

}  // namespace Vane
