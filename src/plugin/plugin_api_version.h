// The plugin API version that plugin and core exchange in the handshake.
#ifndef PYX_PLUGIN_PLUGIN_API_VERSION_H_
#define PYX_PLUGIN_PLUGIN_API_VERSION_H_

#include <cstdint>
#include <string>

#include "util/format.h"

namespace Vane {

// A semantic version: major, minor, patch, pre-release label and build label. It is an
// immutable value, so its text form is made once and can be lent to the formatter.
class PluginApiVersion {
  public:
    // 0.0.0 without labels.
    PluginApiVersion();
    // The given numbers and labels (labels may be empty).
    PluginApiVersion(uint32_t major, uint32_t minor, uint32_t patch, std::string preRelease = {},
                     std::string build = {});

    uint32_t Major() const { return major_; }
    uint32_t Minor() const { return minor_; }
    uint32_t Patch() const { return patch_; }
    const std::string& PreRelease() const { return preRelease_; }
    const std::string& Build() const { return build_; }

    // "major.minor.patch", then "-" and the pre-release label when it is not empty, then "+"
    // and the build label when it is not empty.
    const std::string& Text() const { return text_; }

    // All five fields equal.
    friend bool operator==(const PluginApiVersion& a, const PluginApiVersion& b) {
        return a.major_ == b.major_ && a.minor_ == b.minor_ && a.patch_ == b.patch_ &&
               a.preRelease_ == b.preRelease_ && a.build_ == b.build_;
    }

  private:
    uint32_t major_;
    uint32_t minor_;
    uint32_t patch_;
    std::string preRelease_;
    std::string build_;
    std::string text_;
};

// The version this plugin implements: 18.0.0 without labels.
const PluginApiVersion& OwnPluginApiVersion();

// Whether a core announcing `core` can load a plugin built for `plugin`: the majors are
// equal and either the core's minor is greater, or the minors are equal and the core's
// patch is at least the plugin's. Labels take no part.
bool IsCompatiblePluginApi(const PluginApiVersion& core, const PluginApiVersion& plugin);

// Formats as its text form ("%1" and "%1$s"). The text is borrowed from `version`, which
// outlives the formatting call.
inline FormatArg MakeFormatArg(const PluginApiVersion& version) {
    return FormatArg::Text(version.Text());
}

}  // namespace Vane

#endif  // PYX_PLUGIN_PLUGIN_API_VERSION_H_
