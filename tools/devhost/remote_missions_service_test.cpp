#include "devhost/remote_missions_service.h"

#include <gtest/gtest.h>

#include <string>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

BindingProperty Json(const std::string& text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text << ": " << status.Error();
    return std::move(status.Value());
}

// The envelope JSON the plugin sends through the service proxy.
std::string Envelope(const std::string& method, const std::string& path, const std::string& body) {
    BindingProperty envelope;
    EXPECT_TRUE(envelope.MakeStructure());
    SetMemberString(envelope, "method", method);
    SetMemberString(envelope, "path", path);
    SetMemberString(envelope, "body", body);
    EXPECT_TRUE(envelope.MemberForWrite("headers")->MakeStructure());
    return ToJsonText(envelope);
}

const BindingProperty* FindById(const BindingProperty& list, const std::string& id) {
    for (const BindingProperty& item : list.Elements()) {
        if (ReadString(item.Member("id")).value_or("") == id) return &item;
    }
    return nullptr;
}

constexpr const char* kFetch = "/missions/v3/player/XX1/123?locale=en_US";
constexpr const char* kEligibility =
    R"({"level":30,"playerInventory":{"champions":[1],"icons":[],"skins":[],"wardSkins":[]}})";

class RemoteServiceTest : public ::testing::Test {
  protected:
    RemoteServiceTest()
        : service_(Json(R"([
              {"id": "m1", "title": "One", "isNew": true,
               "objectives": [{"progress": {"currentProgress": 2, "lastViewedProgress": 0, "totalCount": 3}}]},
              {"id": "daily", "missionType": "REPEATING", "cooldownTimeMillis": 1000,
               "completedDate": -1, "objectives": [{"progress": {"currentProgress": 0, "totalCount": 1}}]},
              {"id": "once", "missionType": "ONETIME", "cooldownTimeMillis": 0, "completedDate": 10}])"),
                   Json(R"([{"id": "s1", "status": "ACTIVE"}, {"id": "s2"}])"), 0.25,
                   [this] { return now_; }) {}

    // Fetches for `player` ("PLATFORM/ACCOUNT") and returns the answer's payload.
    BindingProperty Fetch(const std::string& player = "XX1/123") {
        const std::string path = "/missions/v3/player/" + player + "?locale=en_US";
        ProxyAnswer answer = service_.Handle("missions", Envelope("PUT", path, kEligibility));
        EXPECT_EQ(answer.status, "200") << answer.error;
        EXPECT_EQ(answer.error, "");
        return Json(answer.payload);
    }

    int64_t now_ = 1000000;
    RemoteMissionsService service_;
};

TEST_F(RemoteServiceTest, FetchAnswersEveryFieldInRemoteKeyNames) {
    const BindingProperty answer = Fetch();
    ASSERT_EQ(answer.Member("playerMissions").Size(), 3u);
    ASSERT_EQ(answer.Member("playerSeries").Size(), 2u);
    const BindingProperty& m1 = answer.Member("playerMissions").Element(0);
    // Left out by the scenario, filled with the data model's defaults.
    EXPECT_EQ(ReadInt64(m1.Member("completedDate")), -1);
    EXPECT_EQ(ReadInt64(m1.Member("cooldownTimeMillis")), -1);
    EXPECT_EQ(m1.Member("viewed").Kind(), PropertyKind::kBool);
    EXPECT_EQ(m1.Member("expiringWarnings").Kind(), PropertyKind::kCollection);
    EXPECT_EQ(ReadString(m1.Member("clientNotifyLevel")), "");
    EXPECT_EQ(m1.Members().size(), 26u);
    const BindingProperty& s2 = answer.Member("playerSeries").Element(1);
    EXPECT_EQ(s2.Members().size(), 17u);
    EXPECT_EQ(s2.Member("media").Members().size(), 4u);

    const BindingProperty snapshot = service_.Snapshot();
    EXPECT_EQ(ToJsonText(snapshot.Member("players").Member("XX1/123").Member("eligibility")),
              kEligibility);
}

TEST_F(RemoteServiceTest, ViewedChangesThatPlayersStateOnly) {
    Fetch("XX1/999");
    ProxyAnswer answer = service_.Handle(
        "missions", Envelope("PUT", "/missions/v3/player/XX1/123/viewed/",
                             R"({"missionIds":["m1","unknown"],"seriesIds":["s2"]})"));
    EXPECT_EQ(answer.status, "200") << answer.error;

    const BindingProperty after = Fetch();
    const BindingProperty* m1 = FindById(after.Member("playerMissions"), "m1");
    ASSERT_NE(m1, nullptr);
    EXPECT_TRUE(m1->Member("viewed").GetBool());
    EXPECT_FALSE(m1->Member("isNew").GetBool(true));
    EXPECT_EQ(ReadInt64(m1->Member("lastUpdatedTimestamp")), now_);
    EXPECT_EQ(
        ReadInt64(
            m1->Member("objectives").Element(0).Member("progress").Member("lastViewedProgress")),
        2);
    EXPECT_TRUE(FindById(after.Member("playerSeries"), "s2")->Member("viewed").GetBool());
    EXPECT_FALSE(FindById(after.Member("playerSeries"), "s1")->Member("viewed").GetBool());

    const BindingProperty other = Fetch("XX1/999");
    EXPECT_FALSE(FindById(other.Member("playerMissions"), "m1")->Member("viewed").GetBool());
}

TEST_F(RemoteServiceTest, OptSetsTheSeriesStatus) {
    ProxyAnswer answer = service_.Handle(
        "missions", Envelope("PUT", "/missions/v3/player/XX1/123/s1/opt/OPT_OUT", ""));
    EXPECT_EQ(answer.status, "200") << answer.error;
    EXPECT_EQ(ReadString(FindById(Fetch().Member("playerSeries"), "s1")->Member("status")),
              "OPT_OUT");

    answer = service_.Handle("missions",
                             Envelope("PUT", "/missions/v3/player/XX1/123/nope/opt/OPT_IN", ""));
    EXPECT_EQ(answer.status, "404");
    EXPECT_EQ(answer.error, "Unknown series 'nope'");
}

TEST_F(RemoteServiceTest, RepeatingMissionComesBackOnlyAfterItsCooldown) {
    Fetch();
    ASSERT_EQ(service_.CompleteMission("daily", ""), 2u);  // the template and the one player
    const int64_t completed = now_;
    auto daily = [this] { return *FindById(Fetch().Member("playerMissions"), "daily"); };

    BindingProperty state = daily();
    EXPECT_EQ(ReadInt64(state.Member("completedDate")), completed);
    EXPECT_EQ(ReadString(state.Member("status")), "COMPLETED");
    EXPECT_EQ(
        ReadInt64(
            state.Member("objectives").Element(0).Member("progress").Member("currentProgress")),
        1);

    now_ = completed + 1000;  // completed + cooldown is not yet before now
    EXPECT_EQ(ReadInt64(daily().Member("completedDate")), completed);

    now_ = completed + 1001;
    state = daily();
    EXPECT_EQ(ReadInt64(state.Member("completedDate")), -1);
    EXPECT_EQ(ReadString(state.Member("status")), "PENDING");
    EXPECT_TRUE(state.Member("isNew").GetBool());
    EXPECT_FALSE(state.Member("viewed").GetBool(true));
    EXPECT_EQ(
        ReadInt64(
            state.Member("objectives").Element(0).Member("progress").Member("currentProgress")),
        0);

    // A completed mission that does not repeat stays completed.
    EXPECT_EQ(
        ReadInt64(FindById(Fetch().Member("playerMissions"), "once")->Member("completedDate")), 10);
}

TEST_F(RemoteServiceTest, MalformedCallsAreAnsweredWithAnErrorStatus) {
    const struct {
        const char* method;
        std::string payload;
        const char* status;
        const char* error;
    } cases[] = {
        {"missions", "{not json", "400",
         "Invalid request envelope: Error: Missing a name for object member. at offset 1."},
        {"missions", R"({"method":"PUT"})", "400",
         "Invalid request envelope: expected the strings method, path and body"},
        {"missions", Envelope("GET", kFetch, ""), "405",
         "Method GET not allowed on /missions/v3/player/XX1/123"},
        {"missions", Envelope("PUT", "/missions/v3/other", ""), "404",
         "No such path: /missions/v3/other"},
        {"missions", Envelope("PUT", "/missions/v3/player/XX1/123/a/b", ""), "404",
         "No such path: /missions/v3/player/XX1/123/a/b"},
        {"missions", Envelope("PUT", kFetch, "{bad"), "400",
         "Invalid eligibility data: Error: Missing a name for object member. at offset 1."},
        {"other", Envelope("PUT", kFetch, ""), "404", "Unknown method 'other' of missions.server"},
    };
    for (const auto& c : cases) {
        ProxyAnswer answer = service_.Handle(c.method, c.payload);
        EXPECT_EQ(answer.status, c.status) << c.payload;
        EXPECT_EQ(answer.error, c.error) << c.payload;
        EXPECT_EQ(answer.payload, "") << c.payload;
    }
    EXPECT_EQ(service_.Calls().NextNumber(), 8u);
}

TEST_F(RemoteServiceTest, ReplacingMissionsChecksTheListAndReachesKnownPlayers) {
    Fetch();
    std::string error;
    EXPECT_FALSE(service_.SetMissions(Json(R"({"id":"x"})"), "", error));
    EXPECT_EQ(error, "expected a list of objects, got object");
    EXPECT_FALSE(service_.SetMissions(Json(R"([{"id":"x"},{"title":"no id"}])"), "", error));
    EXPECT_EQ(error, "[1].id: expected a non-empty string");
    EXPECT_FALSE(service_.SetMissions(Json(R"([{"id":"x"},{"id":"x"}])"), "", error));
    EXPECT_EQ(error, "[1].id: repeats id 'x'");
    EXPECT_EQ(Fetch().Member("playerMissions").Size(), 3u);

    ASSERT_TRUE(service_.SetMissions(Json(R"([{"id":"only"}])"), "XX1/5", error));
    EXPECT_EQ(Fetch().Member("playerMissions").Size(), 3u);
    EXPECT_EQ(Fetch("XX1/5").Member("playerMissions").Size(), 1u);

    ASSERT_TRUE(service_.SetMissions(Json(R"([])"), "", error));
    EXPECT_EQ(Fetch().Member("playerMissions").Size(), 0u);
    EXPECT_EQ(Fetch("XX1/6").Member("playerMissions").Size(), 0u);  // new players too
}

}  // namespace
}  // namespace Vane::DevHost
