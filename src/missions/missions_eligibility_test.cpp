// The eligibility data sent with every fetch, as the inventory reports build it, end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "missions/missions_fixture_test_support.h"

namespace Vane::testing {
namespace {

using MissionsEligibilityTest = MissionsFixture;

// The eligibility body of the next fetch, forced once the first fetch was answered.
std::string NextFetchBody(MissionsHarness& h) {
    h.CallRoute(kPost, "/pyx-missions/v1/force");
    const std::vector<ProxyCall> fetches = h.Fetches();
    if (fetches.empty()) return "";
    h.Answer(fetches.back(), AnswerJson());
    return fetches.back().Body();
}

TEST_F(MissionsEligibilityTest, OnlyUsableItemsAreSent) {
    SetWorld(kChampions, R"([
        {"id":1,"ownership":{"owned":true},"skins":[
            {"id":101,"ownership":{"owned":true}},
            {"id":102,"ownership":{"rental":{"rented":true}}},
            {"id":103,"ownership":{"freeToPlayReward":true}},
            {"id":104,"ownership":{}}]},
        {"id":2,"ownership":{},"skins":[{"id":201,"ownership":{"owned":true}}]},
        {"id":3,"freeToPlay":true,"ownership":{}},
        {"id":4,"ownership":{"rental":{"rented":true}}},
        {"id":5,"ownership":{"freeToPlayReward":true},"skins":[{"id":501,"ownership":{}}]}])");
    SetWorld(kWardSkins, R"([{"id":4294967296,"ownership":{"owned":true}},
                             {"id":9,"ownership":{}},
                             {"id":-3,"ownership":{"rental":{"rented":true}}}])");
    SetWorld(kSummonerIcons, R"({"icons":[3,1,2]})");
    StartAnswered();
    EXPECT_EQ(NextFetchBody(*this),
              R"({"level":30,"playerInventory":{"champions":[1,3,4,5],"icons":[3,1,2],)"
              R"("skins":[101,102,103],"wardSkins":[4294967296,-3]}})");
}

TEST_F(MissionsEligibilityTest, ReportsUpdateTheDataAndFetchWhenTheyChangeIt) {
    StartAnswered();
    struct Case {
        const char* name;
        const char* path;
        const char* report;
        bool fetches;
        const char* bodyPart;  // what the next body holds
    };
    const Case cases[] = {
        {"level up", kSummoner, R"({"summonerLevel":31})", true, R"("level":31)"},
        {"same level", kSummoner, R"({"summonerLevel":31})", false, R"("level":31)"},
        {"more icons", kSummonerIcons, R"({"icons":[7,8,9,10]})", true, R"("icons":[7,8,9,10])"},
        {"as many icons, other ids", kSummonerIcons, R"({"icons":[1,2,3,4]})", false,
         R"("icons":[7,8,9,10])"},
        {"ward skins, none owned", kWardSkins, R"([{"id":1,"ownership":{}}])", true,
         R"("wardSkins":[])"},
        {"champions replaced", kChampions, R"([{"id":9,"ownership":{"owned":true}}])", true,
         R"("champions":[9],"icons")"},
        {"no eligible champion: ignored", kChampions, R"([{"id":8,"ownership":{}}])", false,
         R"("champions":[9],"icons")"},
        {"deletion: ignored", kSummoner, "", false, R"("level":31)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = Fetches().size();
        if (*c.report) {
            Push(c.path, c.report);
        } else {
            PushDelete(c.path);
        }
        ASSERT_EQ(Fetches().size(), before + (c.fetches ? 1 : 0));
        if (c.fetches) Answer(Fetches().back(), AnswerJson());
        const std::string body = NextFetchBody(*this);
        EXPECT_NE(body.find(c.bodyPart), std::string::npos) << body;
    }
}

}  // namespace
}  // namespace Vane::testing
