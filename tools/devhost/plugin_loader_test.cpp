// Loading a plugin library that is missing or is no plugin: errors as values that say which
// file and why.
#include "devhost/plugin_loader.h"

#include <gtest/gtest.h>

#include "util/shared_library.h"

namespace Vane::DevHost {
namespace {

TEST(PluginLoader, MissingLibrariesAndLibrariesWithoutTheExportAreRefused) {
    const std::string missing = Platform::PathBesideExecutable("no-such-plugin.bin");
    auto notThere = LoadedPlugin::Load(missing, ApiVersion{18, 0, 0});
    ASSERT_TRUE(notThere.IsFailure());
    const std::string prefix = "cannot load the plugin " + missing + ": ";
    const std::string& message = notThere.GetFailure().message;
    EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
    EXPECT_GT(message.size(), prefix.size()) << "the system's reason follows";

    // A library every process of the platform has, and no plugin.
#ifdef _WIN32
    const std::string system = "kernel32.dll";
#else
    const std::string system = "libc.so.6";
#endif
    auto noPlugin = LoadedPlugin::Load(system, ApiVersion{18, 0, 0});
    ASSERT_TRUE(noPlugin.IsFailure());
    EXPECT_EQ(noPlugin.GetFailure().message, system + " does not export load_pyx_missions");

    auto unnamed = LoadedPlugin::Load("", ApiVersion{18, 0, 0});
    ASSERT_TRUE(unnamed.IsFailure());
    EXPECT_EQ(unnamed.GetFailure().message.rfind("cannot load the plugin : ", 0), 0u)
        << unnamed.GetFailure().message;
}

}  // namespace
}  // namespace Vane::DevHost
