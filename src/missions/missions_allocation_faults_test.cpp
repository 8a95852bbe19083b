// The plugin's main paths with the framework's heap failing: for every k, the k-th allocation of
// the path fails (once, or from then on), through the library's counting hooks. Whatever
// fails, nothing crashes, the memory counters balance once the plugin is shut down, no call
// reports success with part of its data, and the plugin works once memory is back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"
#include "missions/player_update_document_test_support.h"

namespace Vane::testing {
namespace {

using FailAllocationFunction = void(PYX_CDECL*)(uint64_t nth, int32_t persistent);
using RefusedAllocationsFunction = uint64_t(PYX_CDECL*)();
using MemoryStatisticsFunction = void(PYX_CDECL*)(void*, uint32_t out[14]);

// The library's failure seam and its memory statistics; unset when the library carries no seam.
struct Seam {
    FailAllocationFunction fail = nullptr;
    RefusedAllocationsFunction refused = nullptr;
    MemoryStatisticsFunction statistics = nullptr;
    bool Usable() const { return fail && refused && statistics; }
};

const Seam& LibrarySeam() {
    static const Seam seam = [] {
        Seam found;
        // Opened again: the same handle as the export's, kept open for the process.
        static const Platform::SharedLibrary* const library =
            new Platform::SharedLibrary(Platform::SharedLibrary::Open(MissionsLibraryPath()));
        found.fail = reinterpret_cast<FailAllocationFunction>(
            library->FindFunction("pyx_missions_fail_allocation"));
        found.refused = reinterpret_cast<RefusedAllocationsFunction>(
            library->FindFunction("pyx_missions_refused_allocations"));
        TestHost host;
        LoadedMissionsPlugin plugin(host);
        if (plugin.Load()) found.statistics = plugin.Record().callbacks->memoryStatistics;
        return found;
    }();
    return seam;
}

// Blocks and bytes of the framework's heap in use now.
struct InUse {
    uint64_t blocks = 0;
    uint64_t bytes = 0;
    bool operator==(const InUse&) const = default;
};

InUse HeapInUse() {
    uint32_t out[14] = {};
    LibrarySeam().statistics(nullptr, out);
    auto counter = [&](int index) {
        return static_cast<uint64_t>(out[2 * index]) | static_cast<uint64_t>(out[2 * index + 1])
                                                           << 32;
    };
    return {counter(3) - counter(5), counter(2) - counter(4)};
}

std::string PrintInUse(const InUse& in) {
    return std::to_string(in.blocks) + " blocks, " + std::to_string(in.bytes) + " bytes";
}

// One path under failing allocations. `prepare` brings a fresh harness to where the path
// starts (memory succeeding), `run` is the path with failures armed and returns what it showed
// the host; `check` judges that against the answer of a run without failures; `recover` runs
// with memory back and must show the same as the run without failures.
struct Path {
    const char* name;
    std::function<void(MissionsHarness&)> prepare;
    std::function<std::string(MissionsHarness&)> run;
    // Empty when `shown` is acceptable after a failure; otherwise what is wrong with it.
    std::function<std::string(MissionsHarness&, const std::string& shown,
                              const std::string& reference)>
        check;
    std::function<std::string(MissionsHarness&)> recover;
};

constexpr const char* kMissions = "/pyx-missions/v1/missions";
constexpr const char* kSeries = "/pyx-missions/v1/series";
constexpr const char* kPlayer = "/pyx-missions/v1/player";

// The remote answer with 300 missions, generated once.
const std::string& LargeAnswer() {
    static const std::string answer = PlayerUpdateDocument(300);
    return answer;
}

// A route's answer as text: "error: ..." when it failed, otherwise its value as JSON.
std::string Shown(const RouteAnswer& answer) {
    if (!answer.found) return "no such route";
    if (answer.errorFlag || !answer.error.empty()) return "error: " + answer.error;
    return ToJson(answer.value);
}

bool IsError(const std::string& shown) {
    return shown.rfind("error: ", 0) == 0;
}

// What the plugin holds, as GET answers both lists.
std::string Lists(MissionsHarness& h) {
    return Shown(h.CallRoute(kGet, kMissions)) + "\n" + Shown(h.CallRoute(kGet, kSeries));
}

// What a start showed: subscriptions held and fetches sent since `fetchesBefore`.
std::string StartShown(MissionsHarness& h, size_t fetchesBefore) {
    return "started, " + std::to_string(h.host_.Subscriptions().size()) + " subscriptions, " +
           std::to_string(h.Fetches().size() - fetchesBefore) + " fetch";
}

// The harness started, with its first fetch answered by the 300 missions.
void StartedWithLargeAnswer(MissionsHarness& h) {
    h.Start();
    ASSERT_EQ(h.Fetches().size(), 1u);
    ASSERT_TRUE(h.Answer(h.Fetches().back(), LargeAnswer()));
}

// A route call that sends one remote call: what it answered and the calls it sent.
std::string RouteAndRemoteCalls(MissionsHarness& h, uint32_t method, std::string_view body,
                                const char* contentType) {
    const size_t before = h.RemoteCallsOtherThanFetches().size();
    std::string shown = Shown(h.plugin_.CallRoute(method, kPlayer, body, contentType));
    const std::vector<ProxyCall> calls = h.RemoteCallsOtherThanFetches();
    for (size_t i = before; i < calls.size(); ++i) shown += "\nsent " + calls[i].payload;
    return shown;
}

// A failed route call sent nothing; a successful one is the reference exactly.
std::string RouteFailedCleanlyOrSucceeded(MissionsHarness&, const std::string& shown,
                                          const std::string& reference) {
    if (shown == reference) return {};
    if (IsError(shown) && shown.find("\nsent ") == std::string::npos) return {};
    return "neither the full answer nor a clean failure";
}

std::vector<Path> Paths() {
    std::vector<Path> paths;
    paths.push_back({
        "load and initialise",
        [](MissionsHarness&) {},
        [](MissionsHarness& h) -> std::string {
            if (!h.plugin_.Load()) return "not loaded";
            if (!h.plugin_.Initialise()) return "not initialised";
            // A failure to send reaches the fetch's completion as a scheduled callback.
            h.host_.AdvanceTime(0);
            return StartShown(h, 0);
        },
        [](MissionsHarness& h, const std::string& shown, const std::string& reference) {
            // A start that reports success has done all of it but the fetch, which may fail on
            // its own as any fetch does: then it says so.
            if (shown == reference || shown == "not loaded" || shown == "not initialised") {
                return std::string();
            }
            if (shown == "started, 17 subscriptions, 0 fetch" &&
                !h.LogLinesWith("failed to fetch missions").empty()) {
                return std::string();
            }
            return std::string("started partly or lost its fetch silently");
        },
        [](MissionsHarness& h) -> std::string {
            // Whatever happened, the plugin is shut down and loaded anew.
            h.plugin_.ShutDown();
            const size_t fetches = h.Fetches().size();
            if (!h.plugin_.Load() || !h.plugin_.Initialise()) return "cannot start again";
            h.host_.AdvanceTime(0);
            return StartShown(h, fetches);
        },
    });
    paths.push_back({
        "fetch answer with 300 missions",
        [](MissionsHarness& h) { h.Start(); },
        [](MissionsHarness& h) -> std::string {
            if (h.Fetches().size() != 1) return "no fetch";
            return h.Answer(h.Fetches().back(), LargeAnswer()) ? "delivered" : "no subscription";
        },
        [](MissionsHarness& h, const std::string&, const std::string&) {
            // Either all 300 missions arrived or none; what was published is whole too.
            const RouteAnswer missions = h.CallRoute(kGet, kMissions);
            const size_t held = missions.value.items.size();
            if (held != 0 && held != 300) return "holds " + std::to_string(held) + " missions";
            for (const TestValue& data : h.Published(kMissions)) {
                if (data.items.size() != 0 && data.items.size() != 300) {
                    return "published " + std::to_string(data.items.size()) + " missions";
                }
            }
            return std::string();
        },
        [](MissionsHarness& h) -> std::string {
            // A forced fetch answered again brings the whole list.
            if (!h.CallRoute(kPost, "/pyx-missions/v1/force").error.empty()) return "force failed";
            if (h.Fetches().empty()) return "no fetch";
            if (!h.Answer(h.Fetches().back(), LargeAnswer())) return "no subscription";
            return Lists(h);
        },
    });
    for (const char* url : {kMissions, kSeries}) {
        paths.push_back({
            url == kMissions ? "GET missions (300)" : "GET series",
            StartedWithLargeAnswer,
            [url](MissionsHarness& h) { return Shown(h.CallRoute(kGet, url)); },
            [](MissionsHarness&, const std::string& shown, const std::string& reference) {
                return shown == reference || IsError(shown) ? std::string()
                                                            : std::string("partial answer");
            },
            [url](MissionsHarness& h) { return Shown(h.CallRoute(kGet, url)); },
        });
    }
    struct Body {
        const char* name;
        uint32_t method;
        std::string body;
        const char* contentType;
    };
    const Body bodies[] = {
        {"PUT viewed (JSON)", kPut, R"({"missionIds":["m1","m2"],"seriesIds":["s1"]})",
         "application/json"},
        {"PUT viewed (MessagePack)", kPut,
         std::string("\x82\xAAmissionIds\x92\xA2m1\xA2m2\xA9seriesIds\x91\xA2s1", 31),
         "application/x-msgpack"},
        {"PUT viewed (YAML)", kPut, "missionIds: [m1, m2]\nseriesIds:\n  - s1\n",
         "application/x-yaml"},
        {"PATCH opt (JSON)", kPatch, R"({"seriesId":"S1","optStatus":"OPT_IN"})",
         "application/json"},
    };
    for (const Body& b : bodies) {
        auto call = [b](MissionsHarness& h) {
            return RouteAndRemoteCalls(h, b.method, b.body, b.contentType);
        };
        paths.push_back(
            {b.name,
             [](MissionsHarness& h) { h.StartAnswered(AnswerJson("[" + MissionJson("m1") + "]")); },
             call, RouteFailedCleanlyOrSucceeded, call});
    }
    paths.push_back({
        "shutdown",
        StartedWithLargeAnswer,
        [](MissionsHarness& h) {
            h.plugin_.ShutDown();
            return std::to_string(h.host_.Subscriptions().size()) + " subscriptions left";
        },
        [](MissionsHarness&, const std::string& shown, const std::string& reference) {
            return shown == reference ? std::string() : "shut down partly: " + shown;
        },
        [](MissionsHarness& h) -> std::string {
            if (!h.plugin_.Load() || !h.plugin_.Initialise()) return "cannot start again";
            h.plugin_.ShutDown();
            return std::to_string(h.host_.Subscriptions().size()) + " subscriptions left";
        },
    });
    return paths;
}

// What one run of a path showed.
struct RunResult {
    uint64_t refused = 0;   // allocations the seam refused
    std::string shown;      // what the path showed
    std::string recovered;  // what the recovery showed afterwards
};

// Runs `path` once with the k-th allocation failing (k = 0: none), then its recovery with
// memory back; checks the shown result against `reference` (a run with k = 0) and the heap
// counters across the whole run, from before the load to after the shutdown.
RunResult RunOnce(const Path& path, uint64_t k, bool persistent, const RunResult& reference) {
    const Seam& seam = LibrarySeam();
    const InUse before = HeapInUse();
    RunResult result;
    {
        MissionsHarness h;
        path.prepare(h);
        if (::testing::Test::HasFatalFailure()) return result;
        seam.fail(k, persistent ? 1 : 0);
        result.shown = path.run(h);
        result.refused = seam.refused();
        seam.fail(0, 0);
        if (k != 0) {
            EXPECT_EQ(path.check(h, result.shown, reference.shown), "")
                << "shown: " << result.shown << "\nreference: " << reference.shown;
        }
        result.recovered = path.recover(h);
        if (k != 0) {
            EXPECT_EQ(result.recovered, reference.recovered) << "after: " << result.shown;
        }
    }
    EXPECT_EQ(HeapInUse(), before)
        << "before: " << PrintInUse(before) << "; after: " << PrintInUse(HeapInUse());
    return result;
}

class AllocationFaultsTest : public ::testing::TestWithParam<bool> {};

TEST_P(AllocationFaultsTest, EveryAllocationOfEveryPathMayFail) {
    if (!LibrarySeam().Usable()) GTEST_SKIP() << "the library carries no allocation-failure seam";
    const bool persistent = GetParam();
    for (const Path& path : Paths()) {
        SCOPED_TRACE(path.name);
        const auto start = std::chrono::steady_clock::now();
        // Runs without failures first: the reference, and the warm-up of what the library
        // keeps for the process.
        const RunResult reference = RunOnce(path, 0, false, {});
        ASSERT_FALSE(HasFailure());
        const RunResult again = RunOnce(path, 0, false, reference);
        ASSERT_EQ(again.shown, reference.shown);
        ASSERT_EQ(again.recovered, reference.recovered);
        uint64_t k = 1;
        for (;; ++k) {
            SCOPED_TRACE("k = " + std::to_string(k));
            const RunResult run = RunOnce(path, k, persistent, reference);
            if (run.refused == 0) {
                // The path made fewer than k allocations and ran without failures.
                EXPECT_EQ(run.shown, reference.shown);
                break;
            }
            if (HasFailure()) break;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-28s %s: allocations 1..%llu failed, %.2f s\n", path.name,
                    persistent ? "from k on" : "k-th only", static_cast<unsigned long long>(k - 1),
                    seconds);
    }
}

INSTANTIATE_TEST_SUITE_P(, AllocationFaultsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "FromKOn" : "KthOnly";
                         });

}  // namespace
}  // namespace Vane::testing
