// The runtime's trace hook. Trace lines describe the runtime's inner steps ("%s: Handling event
// %s"); they are not log lines and by default go nowhere. Tests and diagnostics may install a
// sink to see them.
#ifndef PYX_PLUGIN_TRACE_H_
#define PYX_PLUGIN_TRACE_H_

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace Vane {

using TraceSink = std::function<void(const std::string& line)>;

// Installs `sink` for the whole process (an empty one removes it). Not to be called while
// traces may be written.
void SetTraceSink(TraceSink sink);

// Formats `format` with each "%s" replaced by the next of `args` and hands the line to the
// sink; does nothing (not even formatting) without a sink.
void TraceRuntime(const char* format, std::initializer_list<std::string_view> args);

}  // namespace Vane

#endif  // PYX_PLUGIN_TRACE_H_
