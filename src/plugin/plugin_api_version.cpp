#include "plugin/plugin_api_version.h"

#include <utility>

namespace Vane {

PluginApiVersion::PluginApiVersion() : PluginApiVersion(0, 0, 0) {}

PluginApiVersion::PluginApiVersion(uint32_t major, uint32_t minor, uint32_t patch,
                                   std::string preRelease, std::string build)
    : major_(major),
      minor_(minor),
      patch_(patch),
      preRelease_(std::move(preRelease)),
      build_(std::move(build)) {
    text_ = FormatPositional("%1.%2.%3", major_, minor_, patch_);
    if (!preRelease_.empty()) text_ += "-" + preRelease_;
    if (!build_.empty()) text_ += "+" + build_;
}

const PluginApiVersion& OwnPluginApiVersion() {
    static const PluginApiVersion version(18, 0, 0);
    return version;
}

bool IsCompatiblePluginApi(const PluginApiVersion& core, const PluginApiVersion& plugin) {
    if (core.Major() != plugin.Major()) return false;
    if (core.Minor() != plugin.Minor()) return core.Minor() > plugin.Minor();
    return core.Patch() >= plugin.Patch();
}

}  // namespace Vane
