#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "api/route_pattern.h"

namespace Vane {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 300;

CompiledRoute CompileOrDie(std::string_view routeTemplate) {
    MaybeType<Failure, CompiledRoute> route = CompiledRoute::Compile(routeTemplate);
    if (route.IsFailure()) {
        ADD_FAILURE() << route.GetFailure().Message();
        return CompiledRoute();
    }
    return std::move(route).Value();
}

// Routes are compiled once per binding and then shared by every request thread: matching must
// only read them. Each thread uses its own paths so a mixed-up capture shows up as a wrong text.
TEST(RoutePatternConcurrencyTest, OneCompiledRouteServesManyThreads) {
    const CompiledRoute segment = CompileOrDie("/pyx-missions/v1/series/{seriesId}");
    const CompiledRoute twoHoles = CompileOrDie("/a/{+prefix}/b/{rest}");
    const CompiledRoute literal = CompileOrDie("/pyx-missions/v1/missions");
    // Long enough that the position sets of the two-hole route live on the heap.
    const std::string filler(3000, 'x');

    std::atomic<int> wrong{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            std::vector<RouteCapture> captures;
            for (int round = 0; round < kRounds; ++round) {
                const std::string id = std::to_string(t) + "-" + std::to_string(round);
                if (!segment.Match("/pyx-missions/v1/series/" + id, captures) ||
                    captures.size() != 1 || captures[0].name != "seriesId" ||
                    captures[0].text != id) {
                    ++wrong;
                }
                const std::string prefix = id + "/" + (round % 2 ? filler : "short");
                if (!twoHoles.Match("/a/" + prefix + "/b/" + id, captures) ||
                    captures.size() != 2 || captures[0].text != prefix || captures[1].text != id) {
                    ++wrong;
                }
                if (twoHoles.Match("/a/" + prefix + "/c/" + id, captures) || !captures.empty()) {
                    ++wrong;
                }
                if (!literal.Match("/pyx-missions/v1/missions", captures) ||
                    literal.Match("/pyx-missions/v1/missions/" + id, captures)) {
                    ++wrong;
                }
            }
        });
    }
    go.store(true);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace Vane
