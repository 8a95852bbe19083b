// The system figures a library measures before its plugin exists, shown once in the log as
// soon as log lines reach the host.
//
// The export reads them first thing (see util/system_info.h), before the framework's heap
// blocks are counted or allocated, and leaves them here; the plugin's initialise callback logs
// them right after it has moved log lines to the host.
#ifndef PYX_PLUGIN_STARTUP_FIGURES_H_
#define PYX_PLUGIN_STARTUP_FIGURES_H_

#include <string>

#include "util/system_info.h"

namespace Vane {

// Keeps `figures` for the next LogStartupFigures, replacing figures not logged yet. Never
// allocates; any thread.
void RecordStartupFigures(const SystemFigures& figures) noexcept;

// When figures are waiting, logs them once at level OKAY in category DBG as
// "<shortName>: System at start-up: <FormatSystemFigures text>" and forgets them; true then.
// False when nothing was waiting.
bool LogStartupFigures(const std::string& shortName);

}  // namespace Vane

#endif  // PYX_PLUGIN_STARTUP_FIGURES_H_
