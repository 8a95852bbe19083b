// devhost_soak: drives one running devhost on 127.0.0.1 with every kind of client at once for a
// long run, in cycles: a churn of logins and logouts, gameflow changes, player-update pushes,
// remote mission edits and the plugin's viewed and opt calls, readers of the missions route and
// event-stream clients that connect and drop. After each cycle the world is put back as it was
// and the plugin left to settle; the run fails on an unexpected answer, on plugin memory that
// does not come back to where it stood before the first cycle, or on a host whose resident
// memory grows past a stated bound.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace {

using Vane::BindingProperty;
using Vane::PropertyKind;
using Clock = std::chrono::steady_clock;

struct Settings {
    int port = 8080;
    long pid = 0;
    double minutes = 30;
    double cycleSeconds = 10;
    int readers = 50;
    int streams = 20;
    // The read-out histories (requests, log lines, fired events, remote calls) fill up to their
    // capacity in the first minutes, some 45 MiB of the host's memory; past that, a run of 30
    // minutes makes over 20 million requests, so a leak of even a few bytes each crosses this.
    double rssGrowthMiB = 64;
};

const char* kUsage =
    "Usage: devhost_soak --port N [--pid PID] [--minutes M] [--cycle-seconds S] [--readers N]\n"
    "                    [--streams N] [--rss-growth-mib B]\n"
    "  --port N              the running devhost's port on 127.0.0.1\n"
    "  --pid PID             its process, for its resident memory (read from /proc; without\n"
    "                        it, or where there is no /proc, resident memory is not checked)\n"
    "  --minutes M           how long to run (default 30)\n"
    "  --cycle-seconds S     length of one cycle of load (default 10)\n"
    "  --readers N           concurrent readers of the missions route (default 50)\n"
    "  --streams N           event-stream clients that connect and drop (default 20)\n"
    "  --rss-growth-mib B    how far the host's resident memory may grow past its figure after\n"
    "                        the first cycle (default 64: room for the read-out histories\n"
    "                        to fill up, about 45 MiB)\n"
    "Prints per cycle the requests, errors, the plugin's live memory and the host's resident\n"
    "memory, then a summary; exits 1 on an unexpected answer, plugin memory that does not\n"
    "return to its figure before the first cycle, or resident memory past the bound.\n";

bool ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || i + 1 >= argc) return false;
        const std::string value = argv[++i];
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(number >= 0)) return false;
        if (name == "--port" && number >= 1 && number <= 65535) {
            settings.port = static_cast<int>(number);
        } else if (name == "--pid" && number >= 1) {
            settings.pid = static_cast<long>(number);
        } else if (name == "--minutes" && number > 0 && number <= 24 * 60) {
            settings.minutes = number;
        } else if (name == "--cycle-seconds" && number >= 1 && number <= 3600) {
            settings.cycleSeconds = number;
        } else if (name == "--readers" && number <= 500) {
            settings.readers = static_cast<int>(number);
        } else if (name == "--streams" && number <= 500) {
            settings.streams = static_cast<int>(number);
        } else if (name == "--rss-growth-mib" && number > 0) {
            settings.rssGrowthMiB = number;
        } else {
            return false;
        }
    }
    return settings.port != 0;
}

// What one cycle counted, from every client thread.
struct Tally {
    std::atomic<uint64_t> requests{0};
    std::atomic<uint64_t> errors{0};
    std::atomic<uint64_t> streamsOpened{0};
    std::atomic<uint64_t> streamsRefused{0};
    std::mutex mutex;
    std::vector<std::string> firstErrors;

    void Error(const std::string& what) {
        ++errors;
        std::lock_guard<std::mutex> lock(mutex);
        if (firstErrors.size() < 5) firstErrors.push_back(what);
    }
};

std::unique_ptr<httplib::Client> NewClient(int port) {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port);
    client->set_keep_alive(true);
    client->set_read_timeout(std::chrono::seconds(20));
    return client;
}

// Sends one request and counts it; an answer other than `expected` is an error.
bool Call(httplib::Client& client, Tally& tally, const std::string& method, const std::string& path,
          const std::string& body = "", int expected = 200) {
    httplib::Request request;
    request.method = method;
    request.path = path;
    request.body = body;
    if (!body.empty()) request.set_header("Content-Type", "application/json");
    httplib::Result result = client.send(request);
    ++tally.requests;
    if (result && result->status == expected) return true;
    tally.Error(method + " " + path + " " + body.substr(0, 60) + " -> " +
                (result ? std::to_string(result->status) + " " + result->body.substr(0, 200)
                        : "no answer (" + httplib::to_string(result.error()) + ")"));
    return false;
}

std::optional<BindingProperty> GetJson(httplib::Client& client, const std::string& path) {
    httplib::Result result = client.Get(path);
    if (!result || result->status != 200) return std::nullopt;
    Vane::ConversionStatus json = Vane::ParseJson(result->body);
    if (!json.Ok()) return std::nullopt;
    return std::move(json.Value());
}

// The plugin's live memory: bytes and blocks allocated and not yet freed.
struct PluginMemory {
    int64_t bytes = 0;
    int64_t blocks = 0;
    bool operator==(const PluginMemory&) const = default;
};

std::optional<PluginMemory> ReadPluginMemory(httplib::Client& client) {
    std::optional<BindingProperty> status = GetJson(client, "/devhost/status");
    if (!status) return std::nullopt;
    const BindingProperty& memory = status->Member("memory");
    const auto figure = [&](const char* name) {
        return static_cast<int64_t>(Vane::DevHost::ReadUint64(memory.Member(name)).value_or(0));
    };
    return PluginMemory{figure("bytesAllocated") - figure("bytesFreed"),
                        figure("allocations") - figure("frees")};
}

// The host's resident memory in bytes, where the system shows it.
std::optional<double> ResidentBytes(long pid) {
    if (pid == 0) return std::nullopt;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) * 1024;
    }
    return std::nullopt;
}

constexpr const char* kMissions = "/pyx-missions/v1/missions";
constexpr const char* kPlayer = "/pyx-missions/v1/player";

// The world as every cycle leaves it: logged in, in the lobby, the remote service's missions as
// they were at the start.
bool PutBack(httplib::Client& client, Tally& tally, const std::string& missions) {
    return Call(client, tally, "POST", "/devhost/login", "{}") &&
           Call(client, tally, "PUT", "/devhost/gameflow", R"({"phase":"Lobby"})", 204) &&
           Call(client, tally, "PUT", "/devhost/remote/missions", missions, 204);
}

// Waits until the plugin's live memory holds still: the same figure over a second, after the
// remote service's answers have come in. Nothing when devhost does not answer.
std::optional<PluginMemory> SettledPluginMemory(httplib::Client& client) {
    std::optional<PluginMemory> last;
    int still = 0;
    const auto end = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < end && still < 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::optional<PluginMemory> now = ReadPluginMemory(client);
        if (!now) return std::nullopt;
        still = last && *now == *last ? still + 1 : 0;
        last = now;
    }
    return last;
}

// The remote missions of the start with each title edited: what a developer does in the
// console's remote editor.
std::string EditedMissions(const BindingProperty& missions, uint64_t round) {
    BindingProperty edited;
    if (!edited.CopyFrom(missions)) return "[]";
    for (BindingProperty& mission : edited.Elements()) {
        const std::string title =
            Vane::DevHost::ReadString(mission.Member("title")).value_or("Mission");
        Vane::DevHost::SetMemberString(mission, "title", title + " #" + std::to_string(round));
    }
    return Vane::DevHost::ToJsonText(edited);
}

void Churn(int port, const std::atomic<bool>& stop, Tally& tally, const BindingProperty& missions,
           uint64_t seed) {
    auto client = NewClient(port);
    static constexpr const char* kPhases[] = {"Lobby", "ChampSelect", "InProgress", "EndOfGame"};
    for (uint64_t round = seed; !stop; ++round) {
        Call(*client, tally, "POST", "/devhost/logout", "", 204);
        Call(*client, tally, "GET", kMissions);
        Call(*client, tally, "POST", "/devhost/login", "{}");
        for (const char* phase : kPhases) {
            Call(*client, tally, "PUT", "/devhost/gameflow",
                 std::string(R"({"phase":")") + phase + "\"}", 204);
        }
        Call(*client, tally, "POST", "/devhost/player-update", "{}");
        Call(*client, tally, "PUT", "/devhost/remote/missions", EditedMissions(missions, round),
             204);
        Call(*client, tally, "POST", "/devhost/remote/missions/mission-daily/complete");
        Call(*client, tally, "PUT", kPlayer,
             R"({"missionIds":["mission-first-win"],"seriesIds":[]})", 204);
        Call(*client, tally, "PATCH", kPlayer,
             std::string(R"({"seriesId":"series-event","optStatus":")") +
                 (round % 2 == 0 ? "OPT_IN" : "OPT_OUT") + "\"}",
             204);
        Call(*client, tally, "POST", "/pyx-missions/v1/force", "", 204);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Reader(int port, const std::atomic<bool>& stop, Tally& tally) {
    auto client = NewClient(port);
    while (!stop) Call(*client, tally, "GET", kMissions);
}

// Connects to the event stream, reads it for a while and drops it, again and again.
void StreamClient(int port, const std::atomic<bool>& stop, Tally& tally, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> holdMs(200, 2000);
    while (!stop) {
        httplib::Client client("127.0.0.1", port);
        // A stream is read only when something arrives; a quiet one ends by this timeout, which
        // is this client dropping it, as much as when it stops reading after an event. (Its
        // answer may wait that long for a worker while the readers' connections hold them.)
        client.set_read_timeout(std::chrono::seconds(5));
        const auto until = Clock::now() + std::chrono::milliseconds(holdMs(random));
        int status = 0;
        httplib::Result result = client.Get(
            "/events",
            [&](const httplib::Response& response) {
                status = response.status;
                return true;
            },
            [&](const char*, size_t) { return Clock::now() < until && !stop; });
        ++tally.requests;
        if (status == 200) {
            ++tally.streamsOpened;
        } else if (status == 503) {
            // Places of streams that just dropped come back within a second; refusals are
            // counted, and the client waits as it was told.
            ++tally.streamsRefused;
            std::this_thread::sleep_for(std::chrono::seconds(1));
        } else {
            tally.Error("GET /events -> " + (status != 0 ? std::to_string(status)
                                                         : httplib::to_string(result.error())));
        }
    }
}

double MiB(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseArguments(argc, argv, settings)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    auto control = NewClient(settings.port);
    std::optional<BindingProperty> remote = GetJson(*control, "/devhost/remote");
    if (!remote ||
        remote->Member("template").Member("missions").Kind() != PropertyKind::kCollection) {
        std::fprintf(stderr, "devhost_soak: no devhost answers on 127.0.0.1:%d\n", settings.port);
        return 1;
    }
    BindingProperty missions;
    Vane::DevHost::Require(missions.CopyFrom(remote->Member("template").Member("missions")));
    const std::string originalMissions = Vane::DevHost::ToJsonText(missions);

    Tally setup;
    if (!PutBack(*control, setup, originalMissions)) {
        std::fprintf(stderr, "devhost_soak: cannot set the world up: %s\n",
                     setup.firstErrors.empty() ? "" : setup.firstErrors[0].c_str());
        return 1;
    }
    const std::optional<PluginMemory> baseline = SettledPluginMemory(*control);
    if (!baseline) {
        std::fprintf(stderr, "devhost_soak: GET /devhost/status does not answer\n");
        return 1;
    }
    std::printf(
        "soak: %.1f min in cycles of %.0f s, %d readers, %d stream clients; plugin live memory "
        "before the first cycle %lld B in %lld blocks, which every cycle must return to; host "
        "resident memory may grow at most %.0f MiB past its figure after cycle 1\n",
        settings.minutes, settings.cycleSeconds, settings.readers, settings.streams,
        static_cast<long long>(baseline->bytes), static_cast<long long>(baseline->blocks),
        settings.rssGrowthMiB);
    std::fflush(stdout);

    const auto runEnd = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(settings.minutes * 60));
    uint64_t totalRequests = 0;
    uint64_t totalErrors = 0;
    uint64_t totalOpened = 0;
    uint64_t totalRefused = 0;
    std::optional<double> firstRss;
    double peakRss = 0;
    int cycles = 0;
    bool failed = false;
    while (!failed && Clock::now() < runEnd) {
        ++cycles;
        Tally tally;
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads;
        threads.emplace_back(Churn, settings.port, std::cref(stop), std::ref(tally),
                             std::cref(missions), static_cast<uint64_t>(cycles) * 1000);
        for (int i = 0; i < settings.readers; ++i) {
            threads.emplace_back(Reader, settings.port, std::cref(stop), std::ref(tally));
        }
        for (int i = 0; i < settings.streams; ++i) {
            threads.emplace_back(StreamClient, settings.port, std::cref(stop), std::ref(tally),
                                 static_cast<uint32_t>(cycles * 100 + i));
        }
        const auto cycleStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(settings.cycleSeconds));
        stop = true;
        for (std::thread& thread : threads) thread.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - cycleStart).count();

        const bool putBack = PutBack(*control, tally, originalMissions);
        const std::optional<PluginMemory> memory = SettledPluginMemory(*control);
        const std::optional<double> rss = ResidentBytes(settings.pid);
        if (rss && !firstRss) firstRss = rss;
        if (rss) peakRss = std::max(peakRss, *rss);

        char rssText[32] = "n/a";
        if (rss) std::snprintf(rssText, sizeof rssText, "%.1f MiB", MiB(*rss));
        std::printf(
            "cycle %3d  %7llu requests (%5.0f/s)  %llu errors  streams %llu opened, %llu "
            "refused  plugin live %lld B / %lld blocks  host RSS %s\n",
            cycles, static_cast<unsigned long long>(tally.requests.load()),
            static_cast<double>(tally.requests.load()) / seconds,
            static_cast<unsigned long long>(tally.errors.load()),
            static_cast<unsigned long long>(tally.streamsOpened.load()),
            static_cast<unsigned long long>(tally.streamsRefused.load()),
            static_cast<long long>(memory ? memory->bytes : -1),
            static_cast<long long>(memory ? memory->blocks : -1), rssText);
        for (const std::string& error : tally.firstErrors)
            std::printf("  error: %s\n", error.c_str());
        totalRequests += tally.requests;
        totalErrors += tally.errors;
        totalOpened += tally.streamsOpened;
        totalRefused += tally.streamsRefused;

        if (tally.errors > 0 || !putBack) {
            std::printf("FAIL: unexpected answers in cycle %d\n", cycles);
            failed = true;
        }
        if (!memory || !(*memory == *baseline)) {
            std::printf("FAIL: the plugin's live memory did not return to %lld B / %lld blocks\n",
                        static_cast<long long>(baseline->bytes),
                        static_cast<long long>(baseline->blocks));
            failed = true;
        }
        if (rss && firstRss && *rss > *firstRss + settings.rssGrowthMiB * 1024 * 1024) {
            std::printf("FAIL: host RSS %.1f MiB grew more than %.0f MiB past cycle 1's %.1f MiB\n",
                        MiB(*rss), settings.rssGrowthMiB, MiB(*firstRss));
            failed = true;
        }
        std::fflush(stdout);
    }
    std::printf(
        "summary: %d cycles, %llu requests, %llu errors, %llu streams opened and dropped (%llu "
        "refused while full), host RSS after cycle 1 %.1f MiB, peak %.1f MiB: %s\n",
        cycles, static_cast<unsigned long long>(totalRequests),
        static_cast<unsigned long long>(totalErrors), static_cast<unsigned long long>(totalOpened),
        static_cast<unsigned long long>(totalRefused), firstRss ? MiB(*firstRss) : 0.0,
        MiB(peakRss), failed ? "FAILED" : "passed");
    return failed ? 1 : 0;
}
