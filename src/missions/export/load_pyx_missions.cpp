// The library's only export: builds the missions plugin and hands it to the runtime's loader.
#include <exception>
#include <new>

#include "missions/missions_plugin.h"
#include "plugin/memory_accounting.h"
#include "pyx/host_abi.h"

// Counts the framework's heap blocks from the first one on, then loads the plugin under its
// short name. An incompatible core ends the process in the loader; when memory runs out the
// load record is left as the host wrote it.
extern "C" PYX_EXPORT void PYX_CDECL load_pyx_missions(PluginLoadRecord* record) {
    if (!record) return;
    Vane::InstallCountingMemoryHooks();
    try {
        Vane::LoadPlugin(new Vane::Client::Missions::MissionsPlugin, record, "pyx-missions");
    } catch (const std::exception&) {
        // Nothing may cross into the host; the plugin simply did not load.
    }
}
