// devhost: the development host program (see HelpText in command_line.cpp).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codec/json_writer.h"
#include "devhost/command_line.h"
#include "devhost/dev_host.h"
#include "devhost/http_server.h"
#include "devhost/scenario.h"
#include "devhost/stop_request.h"

namespace {

using namespace Vane::DevHost;

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

// Loads the plugin as serving would, prints the document GET /devhost/openapi.json answers and
// shuts the plugin down; stdout carries the document only (the plugin's log lines are not
// echoed). 0 once printed, 1 when the plugin cannot be loaded.
int PrintOpenApi(const Scenario& scenario, const Options& options) {
    DevHost host(scenario, false);
    Vane::MaybeType<LoadError, bool> started = host.Start(options.pluginPath, options.coreVersion);
    if (started.IsFailure()) {
        std::fprintf(stderr, "devhost: %s\n", started.GetFailure().message.c_str());
        return 1;
    }
    if (!started.Value()) {
        std::fprintf(stderr, "devhost: the plugin did not start (its initialise answered 0)\n");
    }
    const std::string text = Vane::WriteJson(host.OpenApi(), nullptr, "\n");
    host.Stop();
    std::printf("%s\n", text.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Run(int argc, char** argv) {
    Vane::MaybeType<CommandLineError, Options> parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.IsFailure()) {
        std::fprintf(stderr, "devhost: %s\nTry 'devhost --help'.\n",
                     parsed.GetFailure().message.c_str());
        return 2;
    }
    const Options& options = parsed.Value();
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }

    std::string fileText;
    if (options.scenarioPath && !ReadFile(*options.scenarioPath, fileText)) {
        std::fprintf(stderr, "devhost: cannot read the scenario %s: %s\n",
                     options.scenarioPath->c_str(), std::strerror(errno));
        return 2;
    }
    const std::string* file = options.scenarioPath ? &fileText : nullptr;
    const std::string source = options.scenarioPath.value_or("<built-in scenario>");
    if (options.printScenario) {
        auto document = EffectiveScenarioDocument(file, source);
        auto checked = document.HasValue()
                           ? BuildScenario(document.Value(), source)
                           : Vane::MaybeType<ScenarioError, Scenario>(document.GetFailure());
        if (checked.IsFailure()) {
            std::fprintf(stderr, "devhost: %s\n", checked.GetFailure().message.c_str());
            return 2;
        }
        std::printf("%s\n", Vane::WriteJson(document.Value(), nullptr, "\n").c_str());
        return 0;
    }
    Vane::MaybeType<ScenarioError, Scenario> scenario = LoadScenario(file, source);
    if (scenario.IsFailure()) {
        std::fprintf(stderr, "devhost: %s\n", scenario.GetFailure().message.c_str());
        return 2;
    }
    if (options.latencyMs) scenario.Value().remoteLatencySeconds = *options.latencyMs / 1000.0;
    if (options.openApi) return PrintOpenApi(scenario.Value(), options);

    // Stop requests are taken by WaitForStop below, so this comes before any thread starts.
    if (!InstallStopHandling()) {
        std::fprintf(stderr, "devhost: cannot take over the stop requests\n");
        return 1;
    }

#ifndef _WIN32
    // (Windows' C library has no line buffering; every line that matters is flushed anyway.)
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
#endif
    DevHost host(scenario.Value(), !options.quiet);
    AccessOptions access = options.access;
    if (options.randomToken) {
        access.token = RandomToken();
        if (access.token->empty()) {
            std::fprintf(stderr,
                         "devhost: no random source to make a token; give one with "
                         "--token=VALUE\n");
            return 1;
        }
    }
    // An IPv6 address goes between brackets in a URL.
    const std::string address = access.bindAddress.find(':') == std::string::npos
                                    ? access.bindAddress
                                    : "[" + access.bindAddress + "]";
    HttpServer server(host, HttpLimits{options.httpThreads, StreamBudget(options)}, access);
    const int port = server.Bind(options.port);
    if (port < 0) {
        std::fprintf(stderr, "devhost: cannot listen on %s:%d\n", address.c_str(), options.port);
        return 1;
    }
    Vane::MaybeType<LoadError, bool> started = host.Start(options.pluginPath, options.coreVersion);
    if (started.IsFailure()) {
        std::fprintf(stderr, "devhost: %s\n", started.GetFailure().message.c_str());
        return 1;
    }
    if (!started.Value()) {
        std::fprintf(stderr,
                     "devhost: the plugin did not start (its initialise answered 0); "
                     "serving it anyway\n");
    }
    std::thread serving([&server] {
        if (!server.Serve()) {
            std::fprintf(stderr, "devhost: the HTTP server stopped unexpectedly\n");
            RequestStop();
        }
    });
    std::printf("devhost listening on http://%s:%d\n", address.c_str(), port);
    if (access.token) {
        std::printf(
            "devhost: every request needs the token %s (Authorization: Bearer TOKEN)\n"
            "devhost: console, one-time link: http://%s:%d/?code=%s\n",
            access.token->c_str(), address.c_str(), port, server.NewConsoleCode().c_str());
    }
    std::fflush(stdout);

    const std::string request = WaitForStop();
    std::printf("devhost: %s received, stopping\n", request.c_str());
    std::fflush(stdout);
    server.Stop();
    serving.join();
    host.Stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "devhost: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "devhost: unexpected failure\n");
    }
    return 1;
}
