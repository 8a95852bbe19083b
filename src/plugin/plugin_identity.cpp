#include "plugin/plugin_identity.h"

#include "log/log_categories.h"
#include "log/logger.h"
#include "util/format.h"

namespace Vane {

const PluginType& BackendPluginType() {
    static const PluginType type{"backend", ""};
    return type;
}

const PluginType& FrontendPluginType() {
    static const PluginType type{"frontend", ""};
    return type;
}

std::string GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type) {
    std::string prefix;
    if (type.name == "backend") {
        prefix = "vcp-be-";
    } else if (type.name == "frontend") {
        prefix = "vcp-fe-";
    } else {
        prefix = "vcp-xx-";
        const std::string message = FormatPositional(
            "GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
            shortName, type.name);
        Log(kLogError, 0, 0, "            Plugin Manager| %s", message.c_str());
    }
    return prefix.append(shortName);
}

PluginIdentity MakePluginIdentity(std::string_view shortName, const PluginType& type) {
    return PluginIdentity{GetFullNameFromShortNameAndType(shortName, type), std::string(shortName),
                          type.name, type.variant};
}

}  // namespace Vane
