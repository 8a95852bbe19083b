// The feature's two heavy paths through the real plugin library, each against a RapidJSON DOM
// reference measured in the same run:
//   - a fetch answer of 300 missions, from the host's event call to both resources published,
//     against a DOM parse of the same payload text (budget: at most 5x);
//   - GET /pyx-missions/v1/missions with 300 missions held, through the route callback and the
//     response's release, against a DOM write of the same list (budget: at most 2x).
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <string>

#include "missions/missions_world_test_support.h"
#include "missions/player_update_document_test_support.h"
#include "missions/plugin_library_test_support.h"
#include "missions/test_value_json_test_support.h"

namespace Vane::testing {
namespace {

constexpr int kMissions = 300;

const std::string& Payload() {
    static const std::string payload = PlayerUpdateDocument(kMissions);
    return payload;
}

// The plugin in the default world, every fetch answered under one uuid, and the two events
// the benchmarks deliver prepared once.
class BenchPlugin {
  public:
    BenchPlugin() {
        SetDefaultWorld(host_);
        host_.SetServiceProxyHook(
            [](const std::string&, const std::string&, const std::string&) { return "bench"; });
        ok_ = plugin_.Load() && plugin_.Initialise();
        host_.SetRecordEvents(false);
        const auto subscriptions = host_.Subscriptions();
        auto answerSubscription = subscriptions.find("OnServiceProxyUuidEvent");
        auto pushSubscription = subscriptions.find(ResourceEventName(kPlayerUpdate));
        if (answerSubscription == subscriptions.end() || pushSubscription == subscriptions.end()) {
            ok_ = false;
            return;
        }
        TestValue answer = FromJson(R"({"uuid":"bench","serviceName":"missions.server",)"
                                    R"("methodName":"missions","status":"200","error":""})");
        answer.members.push_back({"payload", TestValue::String(Payload())});
        answer_ = Prepare(answerSubscription->second, "OnServiceProxyUuidEvent", answer);
        push_ =
            Prepare(pushSubscription->second, ResourceEventName(kPlayerUpdate),
                    FromJson(R"({"uri":"/vane-messaging-service/v1/message/missions/v1/player",)"
                             R"("eventType":"Update","data":{}})"));
    }

    bool Ok() const { return ok_; }
    // Delivers the 300-mission answer of the fetch in flight.
    void Answer() { answer_.dispatch(&answer_.event); }
    // Delivers a pushed player update: the next fetch goes out.
    void Push() { push_.dispatch(&push_.event); }
    size_t Published() const { return host_.FiredEventCount(); }
    const LoadedMissionsPlugin& Plugin() const { return plugin_; }

  private:
    struct Prepared {
        HostDispatchFn dispatch = nullptr;
        HostIncomingEvent event{};
    };
    Prepared Prepare(const Subscription& subscription, const std::string& name,
                     const TestValue& payload) {
        Prepared prepared;
        prepared.dispatch = subscription.dispatch;
        prepared.event.eventName = host_.KeepText(name);
        prepared.event.payload = host_.BuildValue(payload);
        prepared.event.context = subscription.context;
        return prepared;
    }

    TestHost host_;
    LoadedMissionsPlugin plugin_{host_};
    bool ok_ = false;
    Prepared answer_;
    Prepared push_;
};

void BM_AnswerPath300(benchmark::State& state) {
    BenchPlugin bench;
    if (!bench.Ok()) {
        state.SkipWithError("the plugin did not start");
        return;
    }
    // The first answer after start also raises the new-mission notification: not measured.
    bench.Answer();
    bench.Push();
    const size_t before = bench.Published();
    int64_t answers = 0;
    for (auto _ : state) {
        bench.Answer();
        ++answers;
        state.PauseTiming();
        bench.Push();
        state.ResumeTiming();
    }
    if (bench.Published() - before != static_cast<size_t>(2 * answers)) {
        state.SkipWithError("an answer did not publish both resources");
    }
    state.SetBytesProcessed(static_cast<int64_t>(Payload().size()) * answers);
}
BENCHMARK(BM_AnswerPath300)->Unit(benchmark::kMicrosecond);

void BM_DomParse300(benchmark::State& state) {
    const std::string& payload = Payload();
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(payload.data(), payload.size());
        benchmark::DoNotOptimize(document.IsObject());
    }
    state.SetBytesProcessed(static_cast<int64_t>(payload.size()) * state.iterations());
}
BENCHMARK(BM_DomParse300)->Unit(benchmark::kMicrosecond);

// The held list, as the route returns it, in JSON (for the write reference).
std::string HeldListJson(const BenchPlugin& bench) {
    RouteAnswer answer = bench.Plugin().CallRoute(2, "/pyx-missions/v1/missions");
    return answer.value.items.size() == kMissions ? ToJson(answer.value) : std::string();
}

void BM_GetMissions300(benchmark::State& state) {
    BenchPlugin bench;
    if (!bench.Ok()) {
        state.SkipWithError("the plugin did not start");
        return;
    }
    bench.Answer();
    const HostRouteRecord* route = bench.Plugin().FindRoute(2, "/pyx-missions/v1/missions");
    if (!route || HeldListJson(bench).empty()) {
        state.SkipWithError("the route does not return the 300 missions");
        return;
    }
    HostRouteRequest request{};
    request.method = 2;
    request.path = "/pyx-missions/v1/missions";
    request.context = route->function.context;
    for (auto _ : state) {
        HostRouteResponse response{};
        route->requestCallback(&response, &request);
        const uint32_t count = response.value.payload.collection.count;
        benchmark::DoNotOptimize(count);
        response.release(&response);
    }
}
BENCHMARK(BM_GetMissions300)->Unit(benchmark::kMicrosecond);

void BM_DomWrite300(benchmark::State& state) {
    BenchPlugin bench;
    if (!bench.Ok()) {
        state.SkipWithError("the plugin did not start");
        return;
    }
    bench.Answer();
    const std::string list = HeldListJson(bench);
    rapidjson::Document document;
    document.Parse(list.data(), list.size());
    if (list.empty() || !document.IsArray()) {
        state.SkipWithError("no list to write");
        return;
    }
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(list.size()) * state.iterations());
}
BENCHMARK(BM_DomWrite300)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace Vane::testing
