#include "missions/resource_update.h"

#include <exception>

#include "plugin/event_names.h"

namespace Vane::Client::Missions {

void FireResourceUpdate(PluginBase& plugin, const std::string& uri,
                        HostValueArenaWriter& payload) noexcept {
    try {
        const std::string name = JsonApiEventName(uri);
        HostOutgoingEvent event{};
        event.eventName = name.c_str();
        event.payload = payload.Root();
        event.flags = 0;
        event.zero = 0;
        plugin.Host().FireEvent(event);
    } catch (const std::exception&) {
        // No memory for the event name: the update is not sent.
    }
}

}  // namespace Vane::Client::Missions
