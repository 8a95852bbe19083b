#include "devhost/plugin_loader.h"

#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "util/shared_library.h"

namespace Vane::DevHost {
namespace {

// Keeps a library open until the process ends (see LoadedPlugin): the list is never destroyed,
// so no static destructor closes a library whose code may still run at exit.
void KeepOpenUntilExit(Platform::SharedLibrary library) {
    static std::mutex mutex;
    static auto* kept = new std::vector<Platform::SharedLibrary>();
    std::lock_guard<std::mutex> lock(mutex);
    kept->push_back(std::move(library));
}

}  // namespace

bool ParseApiVersion(std::string_view text, ApiVersion& version) {
    uint32_t parts[3] = {0, 0, 0};
    size_t part = 0;
    size_t digits = 0;
    for (char c : text) {
        if (c == '.') {
            if (digits == 0 || ++part > 2) return false;
            digits = 0;
            continue;
        }
        if (c < '0' || c > '9') return false;
        const uint64_t next = uint64_t{parts[part]} * 10 + static_cast<uint64_t>(c - '0');
        if (next > std::numeric_limits<uint32_t>::max()) return false;
        parts[part] = static_cast<uint32_t>(next);
        ++digits;
    }
    if (part != 2 || digits == 0) return false;
    version = ApiVersion{parts[0], parts[1], parts[2]};
    return true;
}

std::string ApiVersionText(const ApiVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

bool CoreSupportsPlugin(const ApiVersion& core, const ApiVersion& plugin) {
    return core.major == plugin.major &&
           (core.minor > plugin.minor ||
            (core.minor == plugin.minor && core.patch >= plugin.patch));
}

MaybeType<LoadError, std::unique_ptr<LoadedPlugin>> LoadedPlugin::Load(const std::string& path,
                                                                       const ApiVersion& core) {
    std::unique_ptr<LoadedPlugin> plugin(new LoadedPlugin());
    plugin->path_ = path;
    std::string why;
    Platform::SharedLibrary library = Platform::SharedLibrary::Open(path, &why);
    if (!library.IsOpen()) {
        return LoadError{"cannot load the plugin " + path + ": " + why};
    }
    void* symbol = library.FindFunction("load_pyx_missions");
    if (symbol == nullptr) {
        return LoadError{path + " does not export load_pyx_missions"};
    }
    PluginLoadFn load = nullptr;
    static_assert(sizeof(load) == sizeof(symbol), "a function pointer fits a data pointer");
    std::memcpy(&load, &symbol, sizeof(load));
    // From the first call on, the plugin's code may be registered with the process.
    KeepOpenUntilExit(std::move(library));

    PluginLoadRecord& record = plugin->record_;
    record.apiMajor = core.major;
    record.apiMinor = core.minor;
    record.apiPatch = core.patch;
    load(&record);

    if (record.callbacks == nullptr || record.plugin == nullptr || record.shortName == nullptr) {
        return LoadError{"load_pyx_missions of " + path +
                         " did not answer: the load record lacks its callbacks, plugin object "
                         "or short name"};
    }
    const PluginCallbacks& callbacks = *record.callbacks;
    if (callbacks.initialise == nullptr || callbacks.shutdown == nullptr ||
        callbacks.memoryStatistics == nullptr) {
        return LoadError{"load_pyx_missions of " + path + " answered an incomplete callback table"};
    }
    plugin->callbacks_ = record.callbacks;
    plugin->object_ = record.plugin;
    plugin->shortName_ = record.shortName;
    plugin->version_ = ApiVersion{record.apiMajor, record.apiMinor, record.apiPatch};
    plugin->api_ = record.apiTable;
    if (!CoreSupportsPlugin(core, plugin->version_)) {
        // The plugin took the core for compatible; the host does not. Release it properly.
        LoadError error{plugin->shortName_ + " answered plugin API " +
                        ApiVersionText(plugin->version_) + ", which core " + ApiVersionText(core) +
                        " does not support"};
        plugin->Shutdown();
        return error;
    }
    return plugin;
}

LoadedPlugin::~LoadedPlugin() = default;

bool LoadedPlugin::Initialise(const HostContext& context) {
    if (shutDown_) return false;
    return callbacks_->initialise(object_, &context) != 0;
}

void LoadedPlugin::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    callbacks_->shutdown(object_);
    object_ = nullptr;
}

std::array<uint64_t, 6> LoadedPlugin::MemoryStatistics() {
    std::array<uint64_t, 6> counters{};
    if (shutDown_) return counters;
    uint32_t words[14] = {};
    callbacks_->memoryStatistics(object_, words);
    for (size_t i = 0; i < counters.size(); ++i) {
        counters[i] = uint64_t{words[2 * i]} | (uint64_t{words[2 * i + 1]} << 32);
    }
    return counters;
}

}  // namespace Vane::DevHost
