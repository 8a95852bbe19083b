// The five routes end to end: called through the route records and request callback of the
// plugin's API table, as a host calls them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsRoutesTest = MissionsFixture;

TEST_F(MissionsRoutesTest, TheFiveRoutesAreInTheApiTable) {
    Start();
    EXPECT_NE(plugin_.FindRoute(kGet, "/pyx-missions/v1/missions"), nullptr);
    EXPECT_NE(plugin_.FindRoute(kGet, "/pyx-missions/v1/series"), nullptr);
    EXPECT_NE(plugin_.FindRoute(kPut, "/pyx-missions/v1/player"), nullptr);
    EXPECT_NE(plugin_.FindRoute(kPost, "/pyx-missions/v1/force"), nullptr);
    EXPECT_NE(plugin_.FindRoute(kPatch, "/pyx-missions/v1/player"), nullptr);
    const uint32_t routeCount = plugin_.ApiTable()->routeCount;
    EXPECT_EQ(routeCount, 5u);
}

TEST_F(MissionsRoutesTest, GetBeforeAnyAnswerIsAnEmptyList) {
    Start();
    for (const char* url : {"/pyx-missions/v1/missions", "/pyx-missions/v1/series"}) {
        const RouteAnswer answer = CallRoute(kGet, url);
        ASSERT_TRUE(answer.found) << url;
        EXPECT_EQ(answer.error, "") << url;
        EXPECT_EQ(answer.value.type, kHostValueCollection) << url;
        EXPECT_TRUE(answer.value.items.empty()) << url;
    }
}

TEST_F(MissionsRoutesTest, MarkViewedSendsTheIdsToTheViewedPath) {
    StartAnswered();
    struct Case {
        const char* body;
        const char* sentBody;
    };
    const Case cases[] = {
        {R"({"missionIds":["m1","m2"],"seriesIds":["s1"]})",
         R"({"missionIds":["m1","m2"],"seriesIds":["s1"]})"},
        {R"({"missionIds":[],"seriesIds":[]})", R"({"missionIds":[],"seriesIds":[]})"},
        {R"({"seriesIds":["only"]})", R"({"missionIds":[],"seriesIds":["only"]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const size_t before = RemoteCallsOtherThanFetches().size();
        const RouteAnswer answer = CallRoute(kPut, "/pyx-missions/v1/player", c.body);
        EXPECT_EQ(answer.error, "");
        const std::vector<ProxyCall> calls = RemoteCallsOtherThanFetches();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().service, "missions.server");
        EXPECT_EQ(calls.back().method, "missions");
        const TestValue expected = FromJson(
            std::string(R"({"body":)") + ToJson(TestValue::String(c.sentBody)) +
            R"(,"headers":{},"method":"PUT","path":"/missions/v3/player/XX1/123/viewed/"})");
        EXPECT_EQ(calls.back().payload, ToJson(expected));
    }
    // The answer is not awaited: when it comes it is dropped without a trace.
    const size_t events = host_.Events().size();
    Answer(RemoteCallsOtherThanFetches().back(), "whatever it says");
    EXPECT_EQ(host_.Events().size(), events);
    EXPECT_TRUE(LogLinesWith("failed").empty());
}

TEST_F(MissionsRoutesTest, OptSendsSeriesAndStatusInThePath) {
    StartAnswered();
    const RouteAnswer answer =
        CallRoute(kPatch, "/pyx-missions/v1/player", R"({"seriesId":"S1","optStatus":"OPT_IN"})");
    EXPECT_EQ(answer.error, "");
    const std::vector<ProxyCall> calls = RemoteCallsOtherThanFetches();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(
        calls[0].payload,
        R"({"body":"","headers":{},"method":"PUT","path":"/missions/v3/player/XX1/123/S1/opt/OPT_IN"})");
}

// Texts that would change the structure of the remote path fail the route and send nothing;
// any other text goes into the path unchanged.
TEST_F(MissionsRoutesTest, OptRefusesTextsThatWouldChangeTheRemotePath) {
    StartAnswered();
    struct Case {
        std::string seriesId;
        std::string optStatus;
        const char* refusedField;  // null: sent
    };
    const Case cases[] = {
        {"a/b", "OPT_IN", "seriesId"},
        {"S1", "OPT_IN?x=1", "optStatus"},
        {"S1#frag", "OPT_IN", "seriesId"},
        {"..", "OPT_IN", "seriesId"},
        {".", "OPT_IN", "seriesId"},
        {"", "OPT_IN", "seriesId"},
        {"S1", "", "optStatus"},
        {"S1", "OPT\nIN", "optStatus"},
        {std::string("S\0"
                     "1",
                     3),
         "OPT_IN", "seriesId"},
        {"S1", "OPT\x7F", "optStatus"},
        {"S 1", "OPT_IN", nullptr},
        {"a..b", "%2F", nullptr},
        {"\xC3\xBC"
         "ber",
         "opt-in", nullptr},
        {"S1&x=1", "OPT_OUT", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seriesId + " / " + c.optStatus);
        TestValue body;
        body.type = kHostValueStructure;
        body.members.push_back({"seriesId", TestValue::String(c.seriesId)});
        body.members.push_back({"optStatus", TestValue::String(c.optStatus)});
        const size_t before = RemoteCallsOtherThanFetches().size();
        const RouteAnswer answer = CallRoute(kPatch, "/pyx-missions/v1/player", ToJson(body));
        const std::vector<ProxyCall> calls = RemoteCallsOtherThanFetches();
        if (c.refusedField) {
            EXPECT_TRUE(answer.errorFlag);
            EXPECT_NE(answer.error.find(c.refusedField), std::string::npos) << answer.error;
            EXPECT_NE(answer.error.find("can't be sent to the missions service"), std::string::npos)
                << answer.error;
            EXPECT_EQ(calls.size(), before);
        } else {
            EXPECT_EQ(answer.error, "");
            ASSERT_EQ(calls.size(), before + 1);
            EXPECT_EQ(calls.back().Path(),
                      "/missions/v3/player/XX1/123/" + c.seriesId + "/opt/" + c.optStatus);
        }
    }
}

// With the feature off or the player unknown, the calls that would reach the remote service
// complete without error and send nothing.
TEST_F(MissionsRoutesTest, GatedOffRoutesSendNothing) {
    struct Case {
        const char* name;
        const char* path;
        const char* value;
    };
    const Case cases[] = {
        {"feature disabled", kMissionsEnabled, "false"},
        {"account id 0", kLoginSession, R"({"accountId":0,"summonerId":456,"platformId":"XX1"})"},
        {"platform id empty", kPlatformId, R"("")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionsHarness h;
        h.SetWorld(c.path, c.value);
        h.Start();
        const RouteAnswer viewed =
            h.CallRoute(kPut, "/pyx-missions/v1/player", R"({"missionIds":["m1"]})");
        const RouteAnswer opt = h.CallRoute(kPatch, "/pyx-missions/v1/player",
                                            R"({"seriesId":"S1","optStatus":"OPT_IN"})");
        const RouteAnswer force = h.CallRoute(kPost, "/pyx-missions/v1/force");
        for (const RouteAnswer* answer : {&viewed, &opt, &force}) {
            EXPECT_TRUE(answer->found);
            EXPECT_EQ(answer->error, "");
        }
        EXPECT_TRUE(h.ProxyCalls().empty());
    }
}

TEST_F(MissionsRoutesTest, ForceFetchesOrQueuesBehindTheFetchInFlight) {
    Start();
    ASSERT_EQ(Fetches().size(), 1u);
    EXPECT_EQ(CallRoute(kPost, "/pyx-missions/v1/force").error, "");
    EXPECT_EQ(CallRoute(kPost, "/pyx-missions/v1/force").error, "");
    EXPECT_EQ(Fetches().size(), 1u);
    Answer(Fetches()[0], AnswerJson());
    EXPECT_EQ(Fetches().size(), 2u);
}

TEST_F(MissionsRoutesTest, BadBodiesFailTheRouteAndSendNothing) {
    StartAnswered();
    for (const char* body : {"{", R"({"missionIds":"m1"})", "[1,2]"}) {
        SCOPED_TRACE(body);
        const RouteAnswer answer = CallRoute(kPut, "/pyx-missions/v1/player", body);
        EXPECT_TRUE(answer.errorFlag);
        EXPECT_FALSE(answer.error.empty());
    }
    EXPECT_TRUE(RemoteCallsOtherThanFetches().empty());
}

}  // namespace
}  // namespace Vane::testing
