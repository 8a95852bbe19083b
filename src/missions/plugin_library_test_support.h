// The missions plugin as a host sees it: the real shared library opened at run time, its one
// export, the load record, the three plugin callbacks, the route table and the route callback.
// Used with the in-process TestHost by the tests and the benchmark.
#ifndef PYX_MISSIONS_PLUGIN_LIBRARY_TEST_SUPPORT_H_
#define PYX_MISSIONS_PLUGIN_LIBRARY_TEST_SUPPORT_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/test_host_test_support.h"
#include "pyx/host_abi.h"
#include "util/shared_library.h"

#ifndef PYX_MISSIONS_LIBRARY
#error "PYX_MISSIONS_LIBRARY must name the plugin library"
#endif

namespace Vane::testing {

using LoadPluginFunction = void(PYX_CDECL*)(PluginLoadRecord*);

// The path of the plugin library under test (on Windows it lies beside the test program).
inline const char* MissionsLibraryPath() {
#ifdef _WIN32
    static const std::string path = Platform::PathBesideExecutable(PYX_MISSIONS_LIBRARY);
    return path.c_str();
#else
    return PYX_MISSIONS_LIBRARY;
#endif
}

// The library's export, the library opened once per process (null when it cannot be opened).
// It stays open until the process ends, as in a client host: closing it at exit would unmap
// the plugin's globals while what they point at is still held, which the leak checker then
// reports.
inline LoadPluginFunction MissionsLibraryExport() {
    static const Platform::SharedLibrary* const library =
        new Platform::SharedLibrary(Platform::SharedLibrary::Open(MissionsLibraryPath()));
    static const LoadPluginFunction function =
        reinterpret_cast<LoadPluginFunction>(library->FindFunction("load_pyx_missions"));
    return function;
}

// The name under which a host delivers changes of the resource at `path`: "OnJsonApiEvent"
// and the first three pieces of the path joined by "_" (five for platform configuration).
inline std::string ResourceEventName(std::string_view path) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    const size_t wanted = !pieces.empty() && pieces[0] == "pyx-platform-config" ? 5 : 3;
    std::string name = "OnJsonApiEvent";
    for (size_t i = 0; i < pieces.size() && i < wanted; ++i) {
        name += "_";
        name += pieces[i];
    }
    return name;
}

// What a route call answered.
struct RouteAnswer {
    bool found = false;  // a route of that method and url exists
    TestValue value;
    std::string error;  // empty when the call succeeded
    bool errorFlag = false;
    int32_t status = 0;
};

// One loaded plugin object driven through its callbacks.
class LoadedMissionsPlugin {
  public:
    explicit LoadedMissionsPlugin(TestHost& host) : host_(host) {}
    ~LoadedMissionsPlugin() { ShutDown(); }
    LoadedMissionsPlugin(const LoadedMissionsPlugin&) = delete;
    LoadedMissionsPlugin& operator=(const LoadedMissionsPlugin&) = delete;

    // Calls the export with a core of version major.minor.patch; true when the record came
    // back filled.
    bool Load(uint32_t major = 18, uint32_t minor = 0, uint32_t patch = 0) {
        LoadPluginFunction load = MissionsLibraryExport();
        if (!load) return false;
        record_ = PluginLoadRecord{};
        record_.apiMajor = major;
        record_.apiMinor = minor;
        record_.apiPatch = patch;
        load(&record_);
        return record_.plugin != nullptr && record_.callbacks != nullptr;
    }

    // The initialise callback with the test host's context; its result.
    bool Initialise() {
        if (!record_.plugin) return false;
        return record_.callbacks->initialise(record_.plugin, host_.Context()) != 0;
    }

    // The shut-down callback (once).
    void ShutDown() {
        if (!record_.plugin) return;
        record_.callbacks->shutdown(record_.plugin);
        record_.plugin = nullptr;
    }

    const PluginLoadRecord& Record() const { return record_; }
    const HostApiTable* ApiTable() const { return record_.apiTable; }

    void MemoryStatistics(uint32_t out[14]) const {
        record_.callbacks->memoryStatistics(record_.plugin, out);
    }

    // The route record of `method` (host method code) and `url`, or null.
    const HostRouteRecord* FindRoute(uint32_t method, std::string_view url) const {
        const HostApiTable* table = record_.apiTable;
        for (uint32_t i = 0; table != nullptr && i < table->routeCount; ++i) {
            const HostRouteRecord& route = table->routes[i];
            if (route.method == method && route.url != nullptr && url == route.url) return &route;
        }
        return nullptr;
    }

    // Calls the route of `method` and `url` through its record's request callback, with `body`
    // of `contentType` (no body when empty), and releases the response as a host does.
    RouteAnswer CallRoute(uint32_t method, const std::string& url, std::string_view body = {},
                          const char* contentType = "application/json") const {
        RouteAnswer answer;
        const HostRouteRecord* route = FindRoute(method, url);
        if (!route) return answer;
        answer.found = true;
        HostRouteRequest request{};
        request.method = method;
        request.path = url.c_str();
        request.context = route->function.context;
        request.contentType = body.empty() ? "" : contentType;
        request.body = body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(body.data());
        request.bodyLength = static_cast<uint32_t>(body.size());
        HostRouteResponse response{};
        route->requestCallback(&response, &request);
        answer.value = TestValue::Copy(response.value);
        answer.error = response.error ? response.error : "";
        answer.errorFlag = response.errorFlag != 0;
        answer.status = response.status;
        if (response.release) response.release(&response);
        return answer;
    }

  private:
    TestHost& host_;
    PluginLoadRecord record_{};
};

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_PLUGIN_LIBRARY_TEST_SUPPORT_H_
