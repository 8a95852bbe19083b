// The log target that hands every log line to the host once the host is known.
#ifndef PYX_PLUGIN_PLUGIN_LOG_TARGET_H_
#define PYX_PLUGIN_PLUGIN_LOG_TARGET_H_

#include <memory>

#include "log/log_target.h"
#include "plugin/host_link.h"

namespace Vane {

class PluginLogTarget : public LogTarget {
  public:
    // A detached target writing to `host`'s log operation.
    explicit PluginLogTarget(const HostLink& host) : host_(host) {}
    ~PluginLogTarget() override;

    // "PluginLogTarget".
    const char* GetClassName() const override;
    // Hands the record's message and level to the host as they are (no line format of its
    // own); always true.
    bool Write(const LogRecord& record) override;

  private:
    HostLink host_;
};

// Sends the process's log lines to `host` instead of the consoles, once per process: when no
// target named "PluginLogTarget" is attached yet, detaches the three console targets, sets
// the logger's minimum level to 0 and its excluded categories to "XTR" alone, and returns a
// new attached PluginLogTarget configured with the logger's minimum level, no category
// filters and the pattern "#D| #L| #G| #M". Returns null when forwarding is already set up.
std::unique_ptr<PluginLogTarget> SetUpLogForwarding(const HostLink& host);

}  // namespace Vane

#endif  // PYX_PLUGIN_PLUGIN_LOG_TARGET_H_
