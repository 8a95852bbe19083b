#include "devhost/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "devhost/endpoints.h"
#include "util/shared_library.h"

namespace Vane::DevHost {
namespace {

std::optional<long long> WholeNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return std::nullopt;
    return value;
}

#ifdef _WIN32
constexpr const char* kStopText =
    "Stop it with Ctrl-C, Ctrl-Break or by closing its console: the plugin is shut down and\n"
    "devhost exits 0.\n";
constexpr const char* kPluginText =
    "  --plugin PATH         plugin library (default pyx_missions.dll beside devhost.exe)\n";
#else
constexpr const char* kStopText =
    "Stop it with Ctrl-C (SIGINT) or SIGTERM: the plugin is shut down and devhost exits 0.\n";
constexpr const char* kPluginText =
    "  --plugin PATH         plugin library (default build/lib/libpyx_missions.so)\n";
#endif

// `text` as lines of at most 90 columns, each indented by 11.
std::string Wrapped(std::string_view text) {
    const std::string indent(11, ' ');
    std::string lines;
    std::string row = indent;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(start, end - start);
        if (row.size() + word.size() + 1 > 90 && row.size() > indent.size()) {
            lines += row + "\n";
            row = indent;
        }
        if (row.size() > indent.size()) row += ' ';
        row += word;
        start = end + 1;
    }
    return lines + row + "\n";
}

// Each endpoint's method and path, its description wrapped under the path.
std::string EndpointHelp() {
    std::string text;
    for (const EndpointDescription& endpoint : Endpoints()) {
        std::string line = "  " + std::string(HttpMethodName(endpoint.method));
        line.resize(9, ' ');
        text += line + std::string(endpoint.path) + "\n" + Wrapped(endpoint.description);
    }
    return text;
}

}  // namespace

std::string DefaultPluginPath() {
#ifdef _WIN32
    return Platform::PathBesideExecutable("pyx_missions.dll");
#else
    return "build/lib/libpyx_missions.so";
#endif
}

MaybeType<CommandLineError, Options> ParseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        const auto flag = [&]() -> bool { return !inlineValue.has_value(); };

        if (name == "--help" || name == "-h") {
            if (!flag()) return CommandLineError{name + " takes no value"};
            options.help = true;
        } else if (name == "--quiet") {
            if (!flag()) return CommandLineError{name + " takes no value"};
            options.quiet = true;
        } else if (name == "--print-scenario") {
            if (!flag()) return CommandLineError{name + " takes no value"};
            options.printScenario = true;
        } else if (name == "--openapi") {
            if (!flag()) return CommandLineError{name + " takes no value"};
            options.openApi = true;
        } else if (name == "--token") {
            if (!inlineValue) {
                options.randomToken = true;
            } else if (inlineValue->empty()) {
                return CommandLineError{"--token=VALUE needs a value; --token alone makes one"};
            } else {
                options.access.token = *inlineValue;
            }
        } else if (name == "--bind" || name == "--allow-host" || name == "--allow-origin") {
            std::optional<std::string> text = value();
            if (!text || text->empty()) return CommandLineError{name + " needs a value"};
            if (name == "--bind") {
                options.access.bindAddress = *text;
            } else if (name == "--allow-host") {
                options.access.allowedHosts.push_back(*text);
            } else {
                // An origin is a scheme, a host and maybe a port: what a browser sends.
                const size_t scheme = text->find("://");
                if (scheme == std::string::npos || scheme == 0 ||
                    text->find('/', scheme + 3) != std::string::npos ||
                    scheme + 3 == text->size()) {
                    return CommandLineError{
                        "--allow-origin takes an origin such as "
                        "http://localhost:5173, not '" +
                        *text + "'"};
                }
                options.access.allowedOrigin = *text;
            }
        } else if (name == "--plugin" || name == "--scenario" || name == "--port" ||
                   name == "--core-version" || name == "--latency" || name == "--http-threads" ||
                   name == "--max-streams") {
            std::optional<std::string> text = value();
            if (!text) return CommandLineError{name + " needs a value"};
            if (name == "--plugin") {
                if (text->empty()) return CommandLineError{"--plugin needs a path"};
                options.pluginPath = *text;
            } else if (name == "--scenario") {
                if (text->empty()) return CommandLineError{"--scenario needs a path"};
                options.scenarioPath = *text;
            } else if (name == "--port") {
                std::optional<long long> port = WholeNumber(*text);
                if (!port || *port < 0 || *port > 65535) {
                    return CommandLineError{"--port takes a number from 0 to 65535, not '" + *text +
                                            "'"};
                }
                options.port = static_cast<int>(*port);
            } else if (name == "--core-version") {
                if (!ParseApiVersion(*text, options.coreVersion)) {
                    return CommandLineError{"--core-version takes MAJOR.MINOR.PATCH, not '" +
                                            *text + "'"};
                }
            } else if (name == "--latency") {
                char* end = nullptr;
                const double ms = std::strtod(text->c_str(), &end);
                if (text->empty() || *end != '\0' || !std::isfinite(ms) || ms < 0 || ms > 3600000) {
                    return CommandLineError{
                        "--latency takes milliseconds from 0 to 3600000, not '" + *text + "'"};
                }
                options.latencyMs = ms;
            } else if (name == "--max-streams") {
                std::optional<long long> streams = WholeNumber(*text);
                if (!streams || *streams < 0 || *streams > 1023) {
                    return CommandLineError{"--max-streams takes a number from 0 to 1023, not '" +
                                            *text + "'"};
                }
                options.maxStreams = static_cast<int>(*streams);
            } else {
                std::optional<long long> threads = WholeNumber(*text);
                if (!threads || *threads < 1 || *threads > 1024) {
                    return CommandLineError{"--http-threads takes a number from 1 to 1024, not '" +
                                            *text + "'"};
                }
                options.httpThreads = static_cast<int>(*threads);
            }
        } else {
            return CommandLineError{"unknown option '" + arguments[i] + "'"};
        }
    }
    if (options.maxStreams && *options.maxStreams >= options.httpThreads) {
        return CommandLineError{"--max-streams " + std::to_string(*options.maxStreams) +
                                " would let event streams take every one of the " +
                                std::to_string(options.httpThreads) +
                                " HTTP worker threads: keep it below --http-threads"};
    }
    const std::string& bind = options.access.bindAddress;
    const bool loopback = bind == "127.0.0.1" || bind == "localhost" || bind == "::1";
    if (!loopback && !options.randomToken && !options.access.token) {
        return CommandLineError{"--bind " + bind +
                                " lets other machines in: it needs --token (or --token=VALUE)"};
    }
    return options;
}

int StreamBudget(const Options& options) {
    return options.maxStreams.value_or(options.httpThreads / 2);
}

std::string HelpText() {
    std::string text =
        "Usage: devhost [options]\n"
        "\n"
        "A development host for the missions plugin: loads the plugin library, gives it a\n"
        "simulated world (configuration, login, inventories, gameflow, notifications and a remote\n"
        "missions service behind the service proxy) and serves it over HTTP on 127.0.0.1.\n";
    text += kStopText;
    text +=
        "\n"
        "Options:\n";
    text += kPluginText;
    text +=
        "  --port N              port on 127.0.0.1 (default 8080); 0 picks a free port. Once\n"
        "                        serving, devhost prints \"devhost listening on "
        "http://ADDRESS:PORT\"\n"
        "  --bind ADDRESS        listen on ADDRESS instead of 127.0.0.1 (0.0.0.0: every\n"
        "                        interface); only together with --token\n"
        "  --token[=VALUE]       every request must carry the token, as \"Authorization: Bearer\n"
        "                        TOKEN\" or in the cookie the printed one-time console link\n"
        "                        sets; without VALUE devhost makes a random one and prints it\n"
        "  --allow-host NAME     also answer requests whose Host is NAME (repeatable)\n"
        "  --allow-origin ORIGIN let pages of ORIGIN (e.g. http://localhost:5173) call devhost,\n"
        "                        with CORS headers for that origin only\n"
        "  --scenario FILE       JSON or YAML scenario laid over the built-in one (objects merge\n"
        "                        key by key, lists and values replace); sections: player,\n"
        "                        gameflowPhase, configurationComplete, config, inventory, remote,\n"
        "                        notifications, resources\n"
        "  --print-scenario      print the effective scenario as JSON and exit\n"
        "  --openapi             load the plugin, print the OpenAPI document of its routes and of\n"
        "                        the endpoints below (as GET /devhost/openapi.json answers it)\n"
        "                        and exit\n"
        "  --core-version X.Y.Z  plugin API version the core announces (default 18.0.0)\n"
        "  --latency MS          answer latency of the remote missions service (overrides the\n"
        "                        scenario's remote.latencyMs)\n"
        "  --http-threads N      HTTP worker threads (default 64); each open connection, event\n"
        "                        streams included, holds one\n"
        "  --max-streams N       event streams (GET /events) open at once, below --http-threads\n"
        "                        (default: half of them); past it a new stream gets 503 with\n"
        "                        Retry-After, and every other request is still served\n"
        "  --quiet               do not print the plugin's log lines on stdout\n"
        "  --help                this text\n"
        "\n"
        "HTTP endpoints (JSON in and out; read-outs with ?since=N answer {\"next\", \"dropped\",\n"
        "\"items\"}, pass \"next\" back to read only what is new):\n";
    text += EndpointHelp();
    text +=
        "\n"
        "Who may connect: devhost listens on 127.0.0.1 and answers only requests whose Host is\n"
        "localhost, 127.0.0.1 or [::1] on its port (403 otherwise, so a page of another site\n"
        "cannot reach it by pointing its own name at 127.0.0.1). A request that can change state\n"
        "(any method but GET, HEAD and OPTIONS) from a page of another origin gets 403, and a\n"
        "body sent as a form or as text/plain gets 415: send JSON as application/json. No CORS\n"
        "headers are sent. Open it up on purpose with --allow-host, --allow-origin, and --bind\n"
        "with --token.\n"
        "\n"
        "Limits: a body of more than 16 MiB gets 413, headers of more than 32 KiB 431, a body\n"
        "sent with Transfer-Encoding 411 (send a Content-Length) and a body on GET, HEAD or\n"
        "OPTIONS 400, each without reading the rest, and the connection is closed; a request\n"
        "line of more than 8 KiB gets 414. A connection that sends nothing is closed after\n"
        "1 s, one that stops within a request or does not read its answer after 5 s.\n"
        "\n"
        "Exit status: 0 after a clean stop, 1 when the plugin cannot be loaded or the port\n"
        "cannot be bound, 2 for a bad command line or scenario.\n";
    return text;
}

}  // namespace Vane::DevHost
