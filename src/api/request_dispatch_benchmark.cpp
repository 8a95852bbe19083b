// Dispatch cost per route call, through HandleRequest and the response's release, as the host
// pays it. Budgets: a literal route without arguments returning a small value under 1 us; a
// template route with one path capture under 5 us; for a 300-element list of a mission-like
// record, writing the response at most 1.5x converting the list to a BindingProperty
// (BM_MissionListToBinding is the reference of BM_MissionListWriteResponse, same run). Typed
// routes skip both for the host form (BM_MissionListToHostArena).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "api/request_dispatch.h"
#include "api/route_table.h"
#include "api/typed_handler.h"
#include "host/host_value_arena.h"
#include "types/record_description.h"

namespace Vane::bench {

enum class MissionState : int32_t { kPending = 0, kCompleted = 1, kExpired = 2 };

struct Progress {
    int32_t current = 0;
    int32_t total = 0;
    std::string lastViewed;
};

struct Reward {
    std::string kind;
    std::string itemId;
    int32_t quantity = 0;
    bool isChoice = false;
};

struct Mission {
    std::string id;
    std::string title;
    std::string description;
    std::string helperText;
    std::string iconUrl;
    std::string seriesName;
    std::string missionType;
    std::string display;
    int64_t startTime = 0;
    int64_t endTime = 0;
    int64_t completedDate = 0;
    int64_t lastUpdated = 0;
    int32_t sequence = 0;
    bool viewed = false;
    bool isNew = false;
    bool celebrated = false;
    MissionState state = MissionState::kPending;
    Progress progress;
    std::vector<Reward> rewards;
    std::vector<std::string> tags;
};

}  // namespace Vane::bench

namespace Vane {

template <>
struct TypeDescription<bench::MissionState> {
    static void Describe(RecordBuilder<bench::MissionState>& r) {
        r.Name("BenchMissionState");
        r.Enumerator("PENDING", bench::MissionState::kPending);
        r.Enumerator("COMPLETED", bench::MissionState::kCompleted);
        r.Enumerator("EXPIRED", bench::MissionState::kExpired);
    }
};

template <>
struct TypeDescription<bench::Progress> {
    static void Describe(RecordBuilder<bench::Progress>& r) {
        r.Name("BenchProgress");
        r.Field("currentProgress", &bench::Progress::current);
        r.Field("totalCount", &bench::Progress::total);
        r.Field("lastViewedProgress", &bench::Progress::lastViewed);
    }
};

template <>
struct TypeDescription<bench::Reward> {
    static void Describe(RecordBuilder<bench::Reward>& r) {
        r.Name("BenchReward");
        r.Field("rewardType", &bench::Reward::kind);
        r.Field("itemId", &bench::Reward::itemId);
        r.Field("quantity", &bench::Reward::quantity);
        r.Field("isChoice", &bench::Reward::isChoice);
    }
};

template <>
struct TypeDescription<bench::Mission> {
    static void Describe(RecordBuilder<bench::Mission>& r) {
        using bench::Mission;
        r.Name("BenchMission");
        r.Field("id", &Mission::id);
        r.Field("title", &Mission::title);
        r.Field("description", &Mission::description);
        r.Field("helperText", &Mission::helperText);
        r.Field("iconImageUrl", &Mission::iconUrl);
        r.Field("seriesName", &Mission::seriesName);
        r.Field("missionType", &Mission::missionType);
        r.Field("display", &Mission::display);
        r.Field("startTime", &Mission::startTime);
        r.Field("endTime", &Mission::endTime);
        r.Field("completedDate", &Mission::completedDate);
        r.Field("lastUpdatedTimestamp", &Mission::lastUpdated);
        r.Field("sequence", &Mission::sequence);
        r.Field("viewed", &Mission::viewed);
        r.Field("isNew", &Mission::isNew);
        r.Field("celebrated", &Mission::celebrated);
        r.Field("status", &Mission::state);
        r.Field("progress", &Mission::progress);
        r.Field("rewards", &Mission::rewards);
        r.Field("tags", &Mission::tags);
    }
};

}  // namespace Vane

namespace {

using namespace Vane;
using bench::Mission;

std::vector<Mission> MakeMissions(size_t count) {
    std::vector<Mission> missions(count);
    for (size_t i = 0; i < count; ++i) {
        Mission& m = missions[i];
        const std::string n = std::to_string(i);
        m.id = "3f1c2a9e-77d4-4c1b-9a0e-" + std::string(12 - n.size(), '0') + n;
        m.title = "Win " + n + " games in any queue";
        m.description = "Play and win games with friends to earn a reward for mission " + n;
        m.helperText = "Wins in custom games do not count.";
        m.iconUrl = "/images/missions/icons/mission-" + n + ".png";
        m.seriesName = "Season_2024_Series_" + std::to_string(i % 7);
        m.missionType = i % 2 ? "ONETIME" : "REPEATING";
        m.display = "{\"attributes\":[\"home\",\"event\"]}";
        m.startTime = 1700000000000 + static_cast<int64_t>(i);
        m.endTime = 1800000000000 + static_cast<int64_t>(i);
        m.completedDate = i % 3 ? 0 : 1750000000000;
        m.lastUpdated = 1710000000000 + static_cast<int64_t>(i) * 7;
        m.sequence = static_cast<int32_t>(i);
        m.viewed = i % 2 == 0;
        m.isNew = i % 5 == 0;
        m.celebrated = i % 3 == 0;
        m.state = static_cast<bench::MissionState>(i % 3);
        m.progress = {static_cast<int32_t>(i % 10), 10, "2024-01-01"};
        m.rewards = {{"CURRENCY", "xp-" + n, 250, false}, {"ITEM", "chest-" + n, 1, i % 4 == 0}};
        m.tags = {"daily", "ranked"};
    }
    return missions;
}

void CallAndRelease(const HostRouteRequest& request) {
    HostRouteResponse response{};
    HandleRequest(&response, &request);
    if (response.error) std::abort();
    benchmark::DoNotOptimize(response.value.payload.u64);
    response.release(&response);
}

void BM_DispatchLiteralRouteSmallValue(benchmark::State& state) {
    LocalApi api;
    auto registered =
        RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/level", [] { return int32_t{42}; });
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/pyx-missions/v1/level";
    request.context = const_cast<RouteBinding*>(registered.Value());
    request.contentType = "";
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_DispatchLiteralRouteSmallValue);

void BM_DispatchTemplateRouteOneCapture(benchmark::State& state) {
    LocalApi api;
    auto registered = RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/series/{seriesId}",
                                    [](const std::string& seriesId) { return seriesId.size(); },
                                    {{"seriesId", ArgumentLocation::kPath}});
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/pyx-missions/v1/series/Season_2024_Series_3";
    request.context = const_cast<RouteBinding*>(registered.Value());
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_DispatchTemplateRouteOneCapture);

// Reference: the list converted to a BindingProperty through the registry.
void BM_MissionListToBinding(benchmark::State& state) {
    TypeRegistry registry;
    RegisterType<Mission>(registry);
    const std::vector<Mission> missions = MakeMissions(300);
    for (auto _ : state) {
        ConversionStatus status = ToBinding(registry, missions);
        if (!status.Ok()) std::abort();
        benchmark::DoNotOptimize(status.Value().Size());
    }
}
BENCHMARK(BM_MissionListToBinding)->Unit(benchmark::kMicrosecond);

// Writing that value into the host response, and releasing it.
void BM_MissionListWriteResponse(benchmark::State& state) {
    LocalApi api;
    RegisterType<Mission>(api.Types());
    ConversionStatus status = ToBinding(api.Types(), MakeMissions(300));
    if (!status.Ok()) std::abort();
    FunctionResult result;
    result.SetValue(status.Value());
    for (auto _ : state) {
        HostRouteResponse response{};
        WriteResponse(response, result, &api.Types());
        if (response.error) std::abort();
        benchmark::DoNotOptimize(response.value.payload.collection.items);
        response.release(&response);
    }
}
BENCHMARK(BM_MissionListWriteResponse)->Unit(benchmark::kMicrosecond);

// The route's way for typed results: the list walked straight into a host-value arena, then
// freed in one go (against BM_MissionListToBinding plus BM_MissionListWriteResponse).
void BM_MissionListToHostArena(benchmark::State& state) {
    LocalApi api;
    RegisterType<Mission>(api.Types());
    const std::vector<Mission> missions = MakeMissions(300);
    for (auto _ : state) {
        HostValueArenaWriter writer(&api.Types());
        if (!WalkNative(api.Types(), missions, writer).Ok()) std::abort();
        std::unique_ptr<HostValueArena> arena = writer.Take();
        if (!arena) std::abort();
        benchmark::DoNotOptimize(arena->Root().payload.collection.items);
    }
}
BENCHMARK(BM_MissionListToHostArena)->Unit(benchmark::kMicrosecond);

// The whole route: handler copy of the list, its walk into the host form, response and release.
void BM_MissionListRoute(benchmark::State& state) {
    LocalApi api;
    const std::vector<Mission> missions = MakeMissions(300);
    auto registered =
        RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/missions", [&] { return missions; });
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/pyx-missions/v1/missions";
    request.context = const_cast<RouteBinding*>(registered.Value());
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_MissionListRoute)->Unit(benchmark::kMicrosecond);

}  // namespace
