// The library's only export: builds the missions plugin and hands it to the runtime's loader.
#include <exception>
#include <new>

#include "missions/missions_plugin.h"
#include "plugin/memory_accounting.h"
#include "plugin/startup_figures.h"
#include "pyx/host_abi.h"
#include "util/system_info.h"

// Reads the system's and the process's figures as the host left them, counts the framework's
// heap blocks from the first one on, then loads the plugin under its short name; its
// initialise callback logs the figures once log lines reach the host. An incompatible core
// ends the process in the loader; when memory runs out the load record is left as the host
// wrote it.
extern "C" PYX_EXPORT void PYX_CDECL load_pyx_missions(PluginLoadRecord* record) {
    if (!record) return;
    // First of all: nothing of the framework has allocated yet, and neither reading does.
    Vane::RecordStartupFigures(Vane::ReadSystemFigures());
    Vane::InstallCountingMemoryHooks();
    try {
        Vane::LoadPlugin(new Vane::Client::Missions::MissionsPlugin, record, "pyx-missions");
    } catch (const std::exception&) {
        // Nothing may cross into the host; the plugin simply did not load.
    }
}
