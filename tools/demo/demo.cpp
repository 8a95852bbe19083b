// A tour of the framework as a host sees it: a record described once, a typed route registered
// in one line, the packed route table a host receives, and a route called through the host
// callback with a JSON body and a path capture. Also: positional and named message templates
// and the logger. Run by the README's main-job command until the development host exists.
#include <cstdio>
#include <string>
#include <vector>

#include "api/request_dispatch.h"
#include "api/route_table.h"
#include "api/typed_handler.h"
#include "codec/json_writer.h"
#include "host/host_value.h"
#include "log/logger.h"
#include "pyx/host_abi.h"
#include "util/failure.h"
#include "util/format.h"

namespace demo {

struct Progress {
    int32_t current = 0;
    int32_t total = 0;
};
struct Mission {
    std::string id;
    std::string title;
    Progress progress;
    bool viewed = false;
};

void DescribeType(Vane::RecordBuilder<Progress>& r) {
    r.Name("MissionProgressDTO");
    r.Field("currentProgress", &Progress::current);
    r.Field("totalCount", &Progress::total);
}
void DescribeType(Vane::RecordBuilder<Mission>& r) {
    r.Name("DemoMission");
    r.Field("id", &Mission::id, Vane::kFieldRequired);
    r.Field("title", &Mission::title);
    r.Field("progress", &Mission::progress);
    r.Field("viewed", &Mission::viewed);
}

}  // namespace demo

namespace {

const char* MethodWordOf(uint32_t method) {
    return method == 2 ? "GET" : "PUT";
}

void Call(const HostApiTable& table, const char* name, uint32_t method, const char* path,
          const char* body) {
    for (uint32_t index = 0; index < table.routeCount; ++index) {
        const HostRouteRecord& route = table.routes[index];
        if (std::string(route.function.name) != name) continue;
        HostRouteRequest request{};
        request.method = method;
        request.path = path;
        request.context = route.function.context;
        request.contentType = body ? "application/json" : "";
        request.body = reinterpret_cast<const uint8_t*>(body);
        request.bodyLength = body ? static_cast<uint32_t>(std::string(body).size()) : 0;
        HostRouteResponse response{};
        route.requestCallback(&response, &request);
        Vane::BindingProperty value;
        Vane::HostErrorSlot error;
        Vane::HostValueToBinding(response.value, "<response>", value, error);
        Vane::ReleaseHostError(error);
        std::printf("%s %s -> %s%s\n", MethodWordOf(method), path,
                    response.error ? response.error : "",
                    response.error ? "" : Vane::WriteJson(value).c_str());
        response.release(&response);
    }
}

}  // namespace

int main() {
    using namespace Vane;
    std::vector<demo::Mission> missions = {{"m-1", "Win 3 games", {1, 3}, false},
                                           {"m-2", "Earn 100 tokens", {100, 100}, true}};

    LocalApi api;
    MaybeType<Failure, const RouteBinding*> list =
        RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/missions",
                      [&]() -> std::vector<demo::Mission> { return missions; });
    MaybeType<Failure, const RouteBinding*> update = RegisterRoute(
        api, HttpMethod::kPut, "/pyx-missions/v1/missions/{id}",
        [&](const std::string& id, const demo::Progress& progress) -> MaybeType<Failure, void> {
            for (auto& mission : missions) {
                if (mission.id == id) {
                    mission.progress = progress;
                    return {};
                }
            }
            return Failure(404, "Unknown mission {id}", id);
        },
        {{"id", ArgumentLocation::kPath}, {"progress", ArgumentLocation::kBody}});
    for (const MaybeType<Failure, const RouteBinding*>* route : {&list, &update}) {
        if (route->IsFailure()) {
            std::fprintf(stderr, "demo: a route was not registered: %s\n",
                         route->GetFailure().Message().c_str());
            return 1;
        }
    }

    MaybeType<Failure, std::unique_ptr<HostRouteTable>> built = BuildHostRouteTable(api);
    if (built.IsFailure()) {
        std::printf("route table: %s\n", built.GetFailure().Message().c_str());
        return 1;
    }
    const HostApiTable& table = built.Value()->Table();
    std::printf("host table: %u routes, %u types, %u events\n", table.routeCount, table.typeCount,
                table.eventCount);
    for (uint32_t index = 0; index < table.routeCount; ++index)
        std::printf("  %s %s\n", table.routes[index].function.name, table.routes[index].url);

    const char* put = "PutPyxMissionsV1MissionsById";
    Call(table, put, 7, "/pyx-missions/v1/missions/m-1", R"({"currentProgress":2,"totalCount":3})");
    Call(table, put, 7, "/pyx-missions/v1/missions/m-9", R"({"currentProgress":1})");
    Call(table, put, 7, "/pyx-missions/v1/missions/m-1", R"({"currentProgress":"two"})");
    Call(table, "GetPyxMissionsV1Missions", 2, "/pyx-missions/v1/missions", nullptr);

    std::printf(
        "%s\n",
        FormatPositional("Plugin API %1 (%2 routes)", Version{18, 0, 0}, table.routeCount).c_str());
    std::fflush(stdout);
    AcquireLogger();
    Log(kLogWarn, LogCategoriesLow(kCategoryDBG), LogCategoriesHigh(kCategoryDBG),
        "%s: demo finished", "pyx-missions");
    ReleaseLogger();
    return 0;
}
