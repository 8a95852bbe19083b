#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "api/dispatch_test_support.h"
#include "api/request_dispatch.h"
#include "api/route_table.h"
#include "api/typed_handler.h"

namespace Vane {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 400;

enum class Tier : int32_t { kLow = 1, kHigh = 2 };

}  // namespace

template <>
struct TypeDescription<Tier> {
    static void Describe(RecordBuilder<Tier>& r) {
        r.Name("ConcurrencyTier");
        r.Enumerator("LOW", Tier::kLow);
        r.Enumerator("HIGH", Tier::kHigh);
    }
};

namespace {

// The dispatcher keeps every request's state local and only reads the bindings, so requests on
// one route table may run on several threads at once. Each thread sends its own values and
// checks that exactly those come back.
TEST(RequestDispatchConcurrencyTest, RequestsOnSeveralThreadsStayApart) {
    LocalApi api;
    auto sum = RegisterRoute(
        api, HttpMethod::kPost, "/sum/{left}",
        [](int64_t left, const std::vector<int64_t>& right, const RequestContext& context) {
            int64_t total = left;
            for (int64_t value : right) total += value;
            return std::to_string(total) + ":" + std::string(context.headers.at("x-thread"));
        },
        {{"left", ArgumentLocation::kPath}, {"right", ArgumentLocation::kBody}});
    auto tiers = RegisterRoute(api, HttpMethod::kGet, "/tiers", [] {
        return std::vector<Tier>{Tier::kLow, Tier::kHigh, Tier::kLow};
    });
    ASSERT_TRUE(sum.HasValue() && tiers.HasValue());
    FunctionDefinition echoDefinition;
    echoDefinition.arguments = {
        ArgumentDefinition{.name = "q", .type = {static_cast<uint32_t>(NativeKind::kVector)}}};
    testing::EchoHandler* echo = nullptr;
    const RouteBinding* echoBinding = testing::RegisterEcho(api, HttpMethod::kGet, "/echo/{+rest}",
                                                            std::move(echoDefinition), &echo);
    ASSERT_NE(echoBinding, nullptr);
    // Unknown argument "rest" makes every echo call fail before Prepare; that is fine: it
    // exercises failures concurrently. Calls with "q" alone succeed through a second route.
    FunctionDefinition echoQuery;
    echoQuery.arguments = {
        ArgumentDefinition{.name = "q", .type = {static_cast<uint32_t>(NativeKind::kVector)}}};
    testing::EchoHandler* echoQueryHandler = nullptr;
    const RouteBinding* echoQueryBinding = testing::RegisterEcho(
        api, HttpMethod::kGet, "/q/{q}", std::move(echoQuery), &echoQueryHandler);
    ASSERT_NE(echoQueryBinding, nullptr);

    auto table = BuildHostRouteTable(api);
    ASSERT_TRUE(table.HasValue());
    const HostRouteRecord* routes = table.Value()->Table().routes;
    auto contextOf = [&](std::string_view name) -> void* {
        for (uint32_t i = 0; i < table.Value()->Table().routeCount; ++i) {
            if (name == routes[i].function.name) return routes[i].function.context;
        }
        return nullptr;
    };
    void* const sumContext = contextOf("PostSumByLeft");
    void* const tiersContext = contextOf("GetTiers");
    void* const echoContext = contextOf("GetEchoByRest");
    void* const queryContext = contextOf("GetQByQ");
    ASSERT_TRUE(sumContext && tiersContext && echoContext && queryContext);

    std::atomic<int> wrong{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) {
                const std::string thread = std::to_string(t);
                testing::TestRequest request;
                request.method = HttpMethod::kPost;
                request.path = "/sum/" + std::to_string(round);
                request.headers = {{"x-thread", thread}};
                request.contentType = "application/json";
                request.body = "[" + std::to_string(t) + ",1000]";
                HostRouteRequest record = request.Build(nullptr);
                record.context = sumContext;
                HostRouteResponse response{};
                HandleRequest(&response, &record);
                testing::CallOutcome outcome = testing::ReadResponse(response);
                response.release(&response);
                const std::string expected =
                    "\"" + std::to_string(round + t + 1000) + ":" + thread + "\"";
                if (outcome.failed || outcome.json != expected) ++wrong;

                testing::TestRequest get;
                get.path = "/tiers";
                record = get.Build(nullptr);
                record.context = tiersContext;
                HandleRequest(&response, &record);
                outcome = testing::ReadResponse(response);
                response.release(&response);
                if (outcome.json != R"(["LOW","HIGH","LOW"])") ++wrong;

                get.path = "/echo/" + thread;
                record = get.Build(nullptr);
                record.context = echoContext;
                HandleRequest(&response, &record);
                outcome = testing::ReadResponse(response);
                response.release(&response);
                if (outcome.error != "Unknown argument 'rest' for 'GetEchoByRest'.") ++wrong;

                get.path = "/q/[" + thread + "," + std::to_string(round) + "]";
                record = get.Build(nullptr);
                record.context = queryContext;
                HandleRequest(&response, &record);
                outcome = testing::ReadResponse(response);
                response.release(&response);
                if (outcome.json != "{\"q\":[" + thread + "," + std::to_string(round) + "]}") {
                    ++wrong;
                }
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(echo->prepared.load(), 0);
    EXPECT_EQ(echoQueryHandler->prepared.load(), kThreads * kRounds);
    EXPECT_EQ(echoQueryHandler->released.load(), kThreads * kRounds);
}

}  // namespace
}  // namespace Vane
