// Who a plugin is: its type and the names derived from its short name.
#ifndef PYX_PLUGIN_PLUGIN_IDENTITY_H_
#define PYX_PLUGIN_PLUGIN_IDENTITY_H_

#include <string>
#include <string_view>

namespace Vane {

// A plugin type: a name and a variant.
struct PluginType {
    std::string name;
    std::string variant;
};

// "backend" with an empty variant; every plugin of this library is one.
const PluginType& BackendPluginType();
// "frontend" with an empty variant.
const PluginType& FrontendPluginType();

struct PluginIdentity {
    std::string fullName;
    std::string shortName;
    std::string typeName;
    std::string typeVariant;
};

// The full name of a plugin: "vcp-be-" + shortName for a type named exactly "backend",
// "vcp-fe-" for "frontend", and "vcp-xx-" for any other type, which is also logged at level
// ERROR as a fault of the caller.
std::string GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type);

// The identity of the plugin `shortName` of `type`.
PluginIdentity MakePluginIdentity(std::string_view shortName, const PluginType& type);

}  // namespace Vane

#endif  // PYX_PLUGIN_PLUGIN_IDENTITY_H_
