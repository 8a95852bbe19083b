// The plugin's side of the host's operation table.
//
// `HostLink` keeps a copy of the core table pointer and the plugin handle that the host
// handed over at initialise, and offers one method per host operation. Before the host is
// known (or when the host leaves an operation empty) every method does nothing and reports
// failure, so code that runs before initialise or in tests without a host stays harmless.
#ifndef PYX_PLUGIN_HOST_LINK_H_
#define PYX_PLUGIN_HOST_LINK_H_

#include <cstdint>

#include "pyx/host_abi.h"

namespace Vane {

class HostLink {
  public:
    // A detached core: every operation is a no-op that reports failure.
    HostLink() = default;
    // Copies the table pointer and plugin handle out of the host's context; null detaches.
    explicit HostLink(const HostContext* context);

    // True when a host table is known.
    bool IsAttached() const { return core_ != nullptr; }
    // The host's table (null when detached).
    const HostCore* Table() const { return core_; }
    // The handle the host assigned to this plugin (0 when detached).
    uint32_t PluginHandle() const { return pluginHandle_; }

    // Synchronous request; true when the host was called (the response area then says
    // whether the request itself succeeded). The plugin handle is written into the record.
    bool Request(HostResponseArea* response, HostRequestRecord* request) const;
    // Fires an event; true when the host was called.
    bool FireEvent(const HostOutgoingEvent& event) const;
    // Subscribes to an event under this plugin's handle; true when the host was called.
    bool Subscribe(const char* eventName, HostDispatchFn dispatch, void* context,
                   uint32_t flag) const;
    // Unsubscribes from an event under this plugin's handle; true when the host was called.
    bool Unsubscribe(const char* eventName) const;
    // Asks the host to call callback(context) once after delaySeconds; a negative or
    // NaN delay is sent as 0. True when the host was called.
    bool Schedule(const char* name, HostScheduledFn callback, void* context,
                  double delaySeconds) const;
    // Yields to the host; true when the host was called.
    bool Yield() const;
    // Announces the label of the work that follows; true when the host was called.
    bool Label(const char* label) const;
    // The host's value read right after a yield; 0 when there is no host.
    uint64_t AfterYield() const;
    // Hands a log message and its level to the host's sink; true when the host was called.
    bool Log(const char* message, int32_t level) const;

  private:
    const HostCore* core_ = nullptr;
    uint32_t pluginHandle_ = 0;
};

}  // namespace Vane

#endif  // PYX_PLUGIN_HOST_LINK_H_
