// Publishes a change of one of the plugin's resources straight from the native records.
#ifndef PYX_MISSIONS_RESOURCE_UPDATE_H_
#define PYX_MISSIONS_RESOURCE_UPDATE_H_

#include <string>

#include "host/host_value_arena.h"
#include "plugin/plugin_base.h"
#include "types/record_description.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane::Client::Missions {

// Fires the event of `writer`'s walked value: "OnJsonApiEvent" for the resource `uri`, payload
// {data, eventType "Update", uri}. The writer must hold a complete value.
void FireResourceUpdate(PluginBase& plugin, const std::string& uri,
                        HostValueArenaWriter& payload) noexcept;

// Publishes `data` as an "Update" of the resource `uri`: the event Resources().Publish sends for
// ToBinding(data), built without the intermediate values (the host copies what it keeps
// during the call). Fails, sending nothing, when `data` does not convert or memory ran out.
template <class T>
MaybeType<Failure, void> PublishUpdate(PluginBase& plugin, const std::string& uri,
                                       const T& data) noexcept {
    HostValueArenaWriter writer(&plugin.Types());
    writer.BeginStructure(3);
    writer.MemberName("data");
    ConversionStatus status = WalkNative(plugin.Types(), data, writer);
    writer.EndMember();
    writer.MemberName("eventType");
    writer.WriteString("Update");
    writer.EndMember();
    writer.MemberName("uri");
    writer.WriteString(uri);
    writer.EndMember();
    writer.EndStructure();
    if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
    if (!writer.Ok()) {
        return Failure(0, std::string("Couldn't publish the resource because memory ran out."));
    }
    FireResourceUpdate(plugin, uri, writer);
    return {};
}

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_RESOURCE_UPDATE_H_
