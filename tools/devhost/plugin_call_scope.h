// Ownership of what the host hands to the plugin during one call into it.
//
// Values, error texts and event names the host gives the plugin stay the host's and must stay
// valid until the call into the plugin during which they were handed over returns. The host
// opens a PluginCallScope around every call into the plugin; whatever it builds for the plugin
// meanwhile goes into the scope's arena and is released when the scope ends.
#ifndef PYX_DEVHOST_PLUGIN_CALL_SCOPE_H_
#define PYX_DEVHOST_PLUGIN_CALL_SCOPE_H_

#include <deque>
#include <string>
#include <vector>

#include "pyx/host_abi.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// Not thread-safe: one arena belongs to one call.
class HostValueArena {
  public:
    HostValueArena() = default;
    // Releases every value and text it holds.
    ~HostValueArena();
    HostValueArena(const HostValueArena&) = delete;
    HostValueArena& operator=(const HostValueArena&) = delete;

    // A host value holding a copy of `value`, valid while the arena lives. When the value cannot
    // be built (memory ran out, or a text too long for 32-bit lengths), `error` receives why and
    // the result is the empty value.
    HostValue Build(const BindingProperty& value, std::string* error = nullptr);

    // A NUL-terminated copy of `text`, valid while the arena lives.
    const char* Text(std::string text);

  private:
    std::vector<HostValue> values_;
    std::deque<std::string> texts_;
};

// Marks the current thread as inside a call into the plugin, with `arena` receiving what the
// host hands over. Scopes nest: the innermost one is current.
class PluginCallScope {
  public:
    explicit PluginCallScope(HostValueArena& arena);
    ~PluginCallScope();
    PluginCallScope(const PluginCallScope&) = delete;
    PluginCallScope& operator=(const PluginCallScope&) = delete;

    // The arena of the innermost scope of this thread, or null outside any call into the
    // plugin.
    static HostValueArena* Current();

  private:
    HostValueArena* previous_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_PLUGIN_CALL_SCOPE_H_
