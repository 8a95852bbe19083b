// The command line of the devhost program.
#ifndef PYX_DEVHOST_COMMAND_LINE_H_
#define PYX_DEVHOST_COMMAND_LINE_H_

#include <optional>
#include <string>
#include <vector>

#include "devhost/access_guard.h"
#include "devhost/plugin_loader.h"
#include "util/maybe.h"

namespace Vane::DevHost {

// The plugin library devhost loads when given none: the build tree's on Linux (devhost runs
// from the source folder), pyx_missions.dll beside devhost.exe on Windows.
std::string DefaultPluginPath();

struct Options {
    std::string pluginPath = DefaultPluginPath();
    int port = 8080;
    std::optional<std::string> scenarioPath;
    ApiVersion coreVersion{18, 0, 0};
    std::optional<double> latencyMs;
    int httpThreads = 64;
    // --max-streams: event streams open at once; half the worker threads when not given.
    std::optional<int> maxStreams;
    // Who may connect (--bind, --allow-host, --allow-origin, --token).
    AccessOptions access;
    // --token without a value: devhost makes one at start.
    bool randomToken = false;
    bool quiet = false;
    bool printScenario = false;
    bool openApi = false;
    bool help = false;
};

struct CommandLineError {
    std::string message;
};

// Reads the arguments after the program name. Options take their value as the next argument
// or after "=" ("--port 0", "--port=0").
MaybeType<CommandLineError, Options> ParseCommandLine(const std::vector<std::string>& arguments);

// How many event streams may be open at once: --max-streams, or half the worker threads.
int StreamBudget(const Options& options);

// The text --help prints: every option and every HTTP endpoint.
std::string HelpText();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_COMMAND_LINE_H_
