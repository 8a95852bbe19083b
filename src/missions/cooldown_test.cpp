#include "missions/cooldown.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace Vane::Client::Missions {
namespace {

// The comparison is strict: a cooldown that ends exactly now is not over yet. The cases sit on
// the boundary, where a "<=" for "<" or an overflowing sum would show.
TEST(CooldownTest, OverOnlyOnceTheEndHasPassed) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    constexpr int64_t kCompleted = 1718000000000;
    constexpr int64_t kCooldown = 3600000;
    constexpr int64_t kEnd = kCompleted + kCooldown;
    struct Case {
        const char* what;
        int64_t completed;
        int64_t cooldown;
        int64_t now;
        bool over;
    };
    const Case cases[] = {
        {"one millisecond before the end", kCompleted, kCooldown, kEnd - 1, false},
        {"exactly at the end", kCompleted, kCooldown, kEnd, false},
        {"one millisecond after the end", kCompleted, kCooldown, kEnd + 1, true},
        {"no cooldown, completed now", kCompleted, 0, kCompleted, false},
        {"no cooldown, a millisecond later", kCompleted, 0, kCompleted + 1, true},
        {"end beyond the range", kMax - 10, 100, kMax, false},
        {"end below the range", kMin + 10, -100, kMin, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CooldownOver(c.completed, c.cooldown, c.now), c.over) << c.what;
    }
}

}  // namespace
}  // namespace Vane::Client::Missions
