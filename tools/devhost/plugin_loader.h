// Loading the plugin library and the handshake through its one export.
#ifndef PYX_DEVHOST_PLUGIN_LOADER_H_
#define PYX_DEVHOST_PLUGIN_LOADER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "pyx/host_abi.h"
#include "util/maybe.h"

namespace Vane::DevHost {

struct ApiVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;

    friend bool operator==(const ApiVersion&, const ApiVersion&) = default;
};

// "X.Y.Z" with three decimal numbers that fit 32 bits; nothing else is accepted.
bool ParseApiVersion(std::string_view text, ApiVersion& version);

// "X.Y.Z".
std::string ApiVersionText(const ApiVersion& version);

// Whether a core at `core` can run a plugin of `plugin`: same major, and a greater minor, or
// the same minor and a patch at least the plugin's.
bool CoreSupportsPlugin(const ApiVersion& core, const ApiVersion& plugin);

struct LoadError {
    std::string message;
};

// A plugin library, opened and answered. The library stays mapped until the process ends, even
// after the object is gone: its static destructors then run at exit like the host's own, and
// nothing the plugin registered with the process (exit handlers, thread-local destructors) is
// left pointing into unmapped code. The owner must have called Shutdown when the plugin was
// started.
class LoadedPlugin {
  public:
    // Opens `path` (dlopen or LoadLibrary), finds "load_pyx_missions", calls it with `core` in
    // the load record and checks the answer: callbacks, plugin object and short name present,
    // and a plugin API version the core supports. Must run on the thread that makes every call
    // into the plugin.
    static MaybeType<LoadError, std::unique_ptr<LoadedPlugin>> Load(const std::string& path,
                                                                    const ApiVersion& core);

    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    // The initialise callback; true when the plugin started.
    bool Initialise(const HostContext& context);
    // The shut-down callback, at most once; the plugin object is gone afterwards.
    void Shutdown();
    // The memory statistics callback: six counters (peak bytes, peak blocks, bytes allocated,
    // allocations, bytes freed, frees); zeros after shutdown.
    std::array<uint64_t, 6> MemoryStatistics();

    const std::string& Path() const { return path_; }
    const std::string& ShortName() const { return shortName_; }
    const ApiVersion& Version() const { return version_; }
    // The plugin's API table; null when it gave none, or after shutdown.
    const HostApiTable* Api() const { return shutDown_ ? nullptr : api_; }
    bool IsShutDown() const { return shutDown_; }

  private:
    LoadedPlugin() = default;

    std::string path_;
    PluginLoadRecord record_{};
    const PluginCallbacks* callbacks_ = nullptr;
    void* object_ = nullptr;
    std::string shortName_;
    ApiVersion version_;
    const HostApiTable* api_ = nullptr;
    bool shutDown_ = false;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_PLUGIN_LOADER_H_
