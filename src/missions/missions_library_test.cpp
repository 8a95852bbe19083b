// The plugin library as a host loads it: the version handshake, memory statistics, and routes
// the host calls before initialising it.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "log/logged_error_test_support.h"
#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

TEST(MissionsLibraryDeathTest, IncompatibleCoreEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TestHost host;
            LoadedMissionsPlugin plugin(host);
            plugin.Load(19, 0, 0);
        },
        LastLoggedErrorIs("Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: "
                          "pyx-missions which supports plugin API 18.0.0 is not compatible with "
                          "core's plugin API 19.0.0"));
}

TEST(MissionsLibraryTest, HandshakeAnswersWithThePluginsSide) {
    TestHost host;
    LoadedMissionsPlugin plugin(host);
    ASSERT_TRUE(plugin.Load(18, 3, 1));
    // The record is packed: its members are copied out before they are compared.
    const PluginLoadRecord record = plugin.Record();
    const uint32_t major = record.apiMajor, minor = record.apiMinor, patch = record.apiPatch;
    EXPECT_EQ(major, 18u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(patch, 0u);
    const char* shortName = record.shortName;
    EXPECT_STREQ(shortName, "pyx-missions");
    const HostApiTable* table = record.apiTable;
    ASSERT_NE(table, nullptr);
    const uint32_t routeCount = table->routeCount, typeCount = table->typeCount;
    EXPECT_EQ(routeCount, 5u);
    EXPECT_GT(typeCount, 0u);
}

TEST(MissionsLibraryTest, MemoryStatisticsEndWithTwoZeroWords) {
    TestHost host;
    LoadedMissionsPlugin plugin(host);
    ASSERT_TRUE(plugin.Load());
    ASSERT_TRUE(plugin.Initialise());
    // An event whose payload holds a long text: the value it becomes keeps that text in a
    // heap block of its store, which the counters must see.
    std::string subscribed;
    for (const auto& [name, subscription] : host.Subscriptions()) {
        if (subscription.flag == 0) subscribed = name;
    }
    ASSERT_FALSE(subscribed.empty());
    TestValue event;
    event.type = kHostValueStructure;
    event.members.push_back({"uri", TestValue::String("/somewhere")});
    event.members.push_back({"eventType", TestValue::String("Update")});
    event.members.push_back({"data", TestValue::String(std::string(64 * 1024, 'x'))});
    ASSERT_TRUE(host.Deliver(subscribed, event));
    uint32_t out[14];
    std::memset(out, 0xAB, sizeof out);
    plugin.MemoryStatistics(out);
    EXPECT_EQ(out[12], 0u);
    EXPECT_EQ(out[13], 0u);
    auto counter = [&](int index) {
        return static_cast<uint64_t>(out[2 * index]) | static_cast<uint64_t>(out[2 * index + 1])
                                                           << 32;
    };
    // The counters are consistent: no more freed than allocated, peak within the total.
    EXPECT_GT(counter(3), 0u);
    EXPECT_LE(counter(5), counter(3));
    EXPECT_LE(counter(4), counter(2));
    EXPECT_LE(counter(0), counter(2));
}

// What the export measured before the framework allocated anything reaches the host once,
// at initialise, as one OKAY line of "name=value" figures in a fixed order.
TEST(MissionsLibraryTest, StartupFiguresReachTheHostOnceAtInitialise) {
    static constexpr const char kPrefix[] = "pyx-missions: System at start-up: ";
    TestHost host;
    LoadedMissionsPlugin plugin(host);
    ASSERT_TRUE(plugin.Load());
    ASSERT_TRUE(plugin.Initialise());
    std::vector<HostLogLine> lines;
    for (const HostLogLine& line : host.LogLines()) {
        if (line.message.find("System at start-up") != std::string::npos) lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 0);
    ASSERT_EQ(lines[0].message.rfind(kPrefix, 0), 0u) << lines[0].message;

    struct Group {
        const char* name;
        std::vector<const char*> figures;
        const char* unit;
    };
    const Group groups[] = {
        {"processors", {"logical", "cores", "packages"}, ""},
        {"memory", {"physical", "available", "commitLimit", "commitAvailable"}, "KiB"},
        {"process", {"resident", "peak", "virtual"}, "KiB"},
    };
    std::map<std::string, uint64_t> values;
    std::string expectedShape;
    std::string rest = lines[0].message.substr(sizeof kPrefix - 1);
    for (const Group& group : groups) {
        if (!expectedShape.empty()) expectedShape += "; ";
        expectedShape += group.name;
        for (const char* figure : group.figures) {
            // Every figure is readable here; its digits are taken out to compare the shape.
            const std::string key = std::string(" ") + figure + "=";
            const size_t at = rest.find(key);
            ASSERT_NE(at, std::string::npos) << figure << " in " << rest;
            size_t end = at + key.size();
            uint64_t value = 0;
            while (end < rest.size() && std::isdigit(static_cast<unsigned char>(rest[end]))) {
                value = value * 10 + static_cast<uint64_t>(rest[end++] - '0');
            }
            ASSERT_GT(end, at + key.size()) << figure << " is not a number in " << rest;
            values[figure] = value;
            rest.erase(at + key.size(), end - at - key.size());
            expectedShape += key + group.unit;
        }
    }
    EXPECT_EQ(rest, expectedShape);
    EXPECT_GE(values["logical"], values["cores"]);
    EXPECT_GE(values["cores"], values["packages"]);
    EXPECT_GE(values["packages"], 1u);
    EXPECT_GT(values["physical"], values["available"]);
    EXPECT_GT(values["available"], 0u);
    EXPECT_GT(values["resident"], 0u);
    EXPECT_GE(values["peak"], values["resident"]);
}

// Between load and initialise the host is unknown: routes answer from what is held and touch
// no host operation.
TEST(MissionsLibraryTest, RoutesBeforeInitialiseAreAnsweredWithoutTheHost) {
    TestHost host;
    LoadedMissionsPlugin plugin(host);
    ASSERT_TRUE(plugin.Load());
    const RouteAnswer missions = plugin.CallRoute(kGet, "/pyx-missions/v1/missions");
    EXPECT_EQ(missions.error, "");
    EXPECT_EQ(missions.value.type, kHostValueCollection);
    EXPECT_TRUE(missions.value.items.empty());
    EXPECT_EQ(plugin.CallRoute(kGet, "/pyx-missions/v1/series").error, "");
    EXPECT_EQ(plugin.CallRoute(kPost, "/pyx-missions/v1/force").error, "");
    EXPECT_EQ(plugin.CallRoute(kPut, "/pyx-missions/v1/player", R"({"missionIds":["m"]})").error,
              "");
    EXPECT_EQ(plugin
                  .CallRoute(kPatch, "/pyx-missions/v1/player",
                             R"({"seriesId":"S1","optStatus":"OPT_IN"})")
                  .error,
              "");
    EXPECT_TRUE(plugin
                    .CallRoute(kPatch, "/pyx-missions/v1/player",
                               R"({"seriesId":"a/b","optStatus":"OPT_IN"})")
                    .errorFlag);
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_TRUE(host.ScheduleCalls().empty());
    EXPECT_TRUE(host.Subscriptions().empty());
    EXPECT_TRUE(host.Events().empty());
    EXPECT_TRUE(host.LogLines().empty());
    // The plugin can still be initialised afterwards.
    EXPECT_TRUE(plugin.Initialise());
}

}  // namespace
}  // namespace Vane::testing
