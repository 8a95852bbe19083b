#include "devhost/command_line.h"

#include <gtest/gtest.h>

#include "devhost/endpoints.h"
#include "util/shared_library.h"

namespace Vane::DevHost {
namespace {

Options Parse(std::vector<std::string> arguments) {
    MaybeType<CommandLineError, Options> result = ParseCommandLine(arguments);
    EXPECT_TRUE(result.HasValue()) << (result.IsFailure() ? result.GetFailure().message : "");
    return result.HasValue() ? result.Value() : Options();
}

TEST(CommandLine, DefaultsAndEveryOption) {
    const Options defaults = Parse({});
#ifdef _WIN32
    // Beside the program, whatever the working folder, as a full path.
    EXPECT_EQ(defaults.pluginPath, Platform::PathBesideExecutable("pyx_missions.dll"));
    EXPECT_EQ(defaults.pluginPath.find(':'), 1u) << defaults.pluginPath;
#else
    EXPECT_EQ(defaults.pluginPath, "build/lib/libpyx_missions.so");
#endif
    EXPECT_EQ(defaults.port, 8080);
    EXPECT_EQ(defaults.coreVersion, (ApiVersion{18, 0, 0}));
    EXPECT_FALSE(defaults.scenarioPath.has_value());
    EXPECT_FALSE(defaults.openApi);

    const Options options = Parse({"--plugin", "p.so", "--port=0", "--scenario", "s.yaml",
                                   "--core-version", "18.3.1", "--latency", "12.5",
                                   "--http-threads=8", "--quiet", "--print-scenario", "--openapi"});
    EXPECT_EQ(options.pluginPath, "p.so");
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.scenarioPath, "s.yaml");
    EXPECT_EQ(options.coreVersion, (ApiVersion{18, 3, 1}));
    EXPECT_EQ(options.latencyMs, 12.5);
    EXPECT_EQ(options.httpThreads, 8);
    // The stream budget follows the workers unless given.
    EXPECT_EQ(StreamBudget(defaults), 32);
    EXPECT_EQ(StreamBudget(options), 4);
    EXPECT_EQ(StreamBudget(Parse({"--http-threads", "1"})), 0);
    EXPECT_EQ(StreamBudget(Parse({"--max-streams", "0"})), 0);
    EXPECT_EQ(StreamBudget(Parse({"--http-threads=4", "--max-streams=3"})), 3);
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.printScenario);
    EXPECT_TRUE(options.openApi);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_EQ(defaults.access.bindAddress, "127.0.0.1");
    EXPECT_FALSE(defaults.access.token.has_value());
    EXPECT_FALSE(defaults.randomToken);

    const Options opened = Parse({"--bind", "0.0.0.0", "--token", "--allow-host", "devbox.lan",
                                  "--allow-host=b.lan", "--allow-origin", "http://localhost:5173"});
    EXPECT_EQ(opened.access.bindAddress, "0.0.0.0");
    EXPECT_TRUE(opened.randomToken);
    EXPECT_EQ(opened.access.allowedHosts, (std::vector<std::string>{"devbox.lan", "b.lan"}));
    EXPECT_EQ(opened.access.allowedOrigin, "http://localhost:5173");
    EXPECT_EQ(Parse({"--bind=10.0.0.2", "--token=s3cret"}).access.token, "s3cret");
    // A token alone, on loopback, is allowed too.
    EXPECT_EQ(Parse({"--token=s3cret"}).access.token, "s3cret");
}

TEST(CommandLine, RefusesWhatItCannotUse) {
    const struct {
        std::vector<std::string> arguments;
        const char* error;
    } cases[] = {
        {{"--port", "65536"}, "--port takes a number from 0 to 65535, not '65536'"},
        {{"--port", "80x"}, "--port takes a number from 0 to 65535, not '80x'"},
        {{"--port"}, "--port needs a value"},
        {{"--core-version", "18.0"}, "--core-version takes MAJOR.MINOR.PATCH, not '18.0'"},
        {{"--core-version", "18.0.4294967296"},
         "--core-version takes MAJOR.MINOR.PATCH, not '18.0.4294967296'"},
        {{"--latency", "-1"}, "--latency takes milliseconds from 0 to 3600000, not '-1'"},
        {{"--latency", "nan"}, "--latency takes milliseconds from 0 to 3600000, not 'nan'"},
        {{"--http-threads", "0"}, "--http-threads takes a number from 1 to 1024, not '0'"},
        {{"--max-streams", "-1"}, "--max-streams takes a number from 0 to 1023, not '-1'"},
        // Streams may never hold every worker, whichever option comes first.
        {{"--max-streams", "64"},
         "--max-streams 64 would let event streams take every one of the 64 HTTP worker "
         "threads: keep it below --http-threads"},
        {{"--max-streams=8", "--http-threads=4"},
         "--max-streams 8 would let event streams take every one of the 4 HTTP worker "
         "threads: keep it below --http-threads"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--openapi=json"}, "--openapi takes no value"},
        {{"--plugin="}, "--plugin needs a path"},
        {{"serve"}, "unknown option 'serve'"},
        {{"--bind", "0.0.0.0"},
         "--bind 0.0.0.0 lets other machines in: it needs --token (or --token=VALUE)"},
        {{"--token="}, "--token=VALUE needs a value; --token alone makes one"},
        {{"--allow-host"}, "--allow-host needs a value"},
        {{"--allow-origin", "localhost:5173"},
         "--allow-origin takes an origin such as http://localhost:5173, not 'localhost:5173'"},
        {{"--allow-origin", "http://localhost:5173/app"},
         "--allow-origin takes an origin such as http://localhost:5173, not "
         "'http://localhost:5173/app'"},
    };
    for (const auto& c : cases) {
        MaybeType<CommandLineError, Options> result = ParseCommandLine(c.arguments);
        ASSERT_TRUE(result.IsFailure()) << c.error;
        EXPECT_EQ(result.GetFailure().message, c.error);
    }
}

TEST(CommandLine, HelpNamesEveryOptionAndEndpoint) {
    const std::string help = HelpText();
    for (const char* option :
         {"--plugin", "--port", "--scenario", "--print-scenario", "--openapi", "--core-version",
          "--latency", "--http-threads", "--max-streams", "--quiet", "--help", "--bind", "--token",
          "--allow-host", "--allow-origin"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    for (const EndpointDescription& endpoint : Endpoints()) {
        EXPECT_NE(help.find(endpoint.path), std::string::npos) << endpoint.path;
    }
#ifdef _WIN32
    EXPECT_NE(help.find("default pyx_missions.dll beside devhost.exe"), std::string::npos);
    EXPECT_NE(help.find("Ctrl-Break"), std::string::npos);
#else
    EXPECT_NE(help.find("default build/lib/libpyx_missions.so"), std::string::npos);
    EXPECT_NE(help.find("SIGTERM"), std::string::npos);
#endif
}

TEST(CoreVersion, CompatibilityFollowsMinorThenPatch) {
    const struct {
        ApiVersion core;
        ApiVersion plugin;
        bool supported;
    } cases[] = {
        {{18, 0, 0}, {18, 0, 0}, true},  {{18, 0, 5}, {18, 0, 0}, true},
        {{18, 3, 0}, {18, 0, 9}, true},  {{18, 0, 0}, {18, 0, 1}, false},
        {{18, 0, 0}, {18, 1, 0}, false}, {{19, 0, 0}, {18, 0, 0}, false},
        {{17, 9, 9}, {18, 0, 0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CoreSupportsPlugin(c.core, c.plugin), c.supported)
            << ApiVersionText(c.core) << " / " << ApiVersionText(c.plugin);
    }
}

}  // namespace
}  // namespace Vane::DevHost
