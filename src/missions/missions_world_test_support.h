// The world the missions plugin lives in during tests and benchmarks: the paths of the other
// plugins' resources it reads, and a default world in which the feature fetches: platform
// configuration complete (both switches on by default), account 123 / summoner 456 on platform
// "XX1", locale "en_US", one owned champion with one owned skin, one owned ward skin, three
// icons, level 30.
#ifndef PYX_MISSIONS_MISSIONS_WORLD_TEST_SUPPORT_H_
#define PYX_MISSIONS_MISSIONS_WORLD_TEST_SUPPORT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "missions/test_value_json_test_support.h"
#include "plugin/test_host_test_support.h"

namespace Vane::testing {

// Host method codes.
inline constexpr uint32_t kDelete = 1;
inline constexpr uint32_t kGet = 2;
inline constexpr uint32_t kPatch = 5;
inline constexpr uint32_t kPost = 6;
inline constexpr uint32_t kPut = 7;

inline constexpr const char* kConfigurationComplete =
    "/pyx-platform-config/v1/initial-configuration-complete";
inline constexpr const char* kMissionsEnabled =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled";
inline constexpr const char* kFrontEndEnabled =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsFrontEndEnabled";
inline constexpr const char* kPollingTime =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsPollingTime";
inline constexpr const char* kCooldownPollingTime =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsCooldownPollingTime";
inline constexpr const char* kEntitlements = "/entitlements/v1/token";
inline constexpr const char* kLoginSession = "/pyx-login/v1/session";
inline constexpr const char* kPlatformId =
    "/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId";
inline constexpr const char* kGameflowSession = "/pyx-gameflow/v1/session";
inline constexpr const char* kPlayerUpdate =
    "/vane-messaging-service/v1/message/missions/v1/player";
inline constexpr const char* kRegionLocale = "/vaneclient/region-locale";
inline constexpr const char* kChampions = "/pyx-champions/v1/inventories/456/champions";
inline constexpr const char* kWardSkins = "/pyx-collections/v1/inventories/456/ward-skins";
inline constexpr const char* kSummonerIcons = "/pyx-collections/v1/inventories/456/summoner-icons";
inline constexpr const char* kSummoner = "/pyx-summoner/v1/summoners/456";
inline constexpr const char* kNotifications = "/player-notifications/v1/notifications";
inline constexpr const char* kCelebrationRegister =
    "/pyx-pre-end-of-game/v1/registration/missions-celebration/2";
inline constexpr const char* kCelebration =
    "/pyx-pre-end-of-game/v1/registration/missions-celebration";
inline constexpr const char* kMissionsUri = "/pyx-missions/v1/missions";
inline constexpr const char* kSeriesUri = "/pyx-missions/v1/series/";

// Makes a GET of `path` answer the JSON `json`.
inline void SetWorldValue(TestHost& host, const std::string& path, std::string_view json) {
    host.SetResource(path, FromJson(json));
}

// The default world described above.
inline void SetDefaultWorld(TestHost& host) {
    SetWorldValue(host, kConfigurationComplete, "true");
    SetWorldValue(host, kLoginSession, R"({"accountId":123,"summonerId":456,"platformId":"XX1"})");
    SetWorldValue(host, kPlatformId, R"("XX1")");
    SetWorldValue(host, kRegionLocale, R"({"locale":"en_US"})");
    SetWorldValue(host, kGameflowSession, R"({"phase":"Lobby"})");
    SetWorldValue(host, kChampions,
                  R"([{"id":1,"freeToPlay":false,"ownership":{"owned":true},
                      "skins":[{"championId":1,"id":1001,"ownership":{"owned":true}}]}])");
    SetWorldValue(host, kWardSkins, R"([{"id":5000000000,"ownership":{"owned":true}}])");
    SetWorldValue(host, kSummonerIcons, R"({"icons":[7,8,9]})");
    SetWorldValue(host, kSummoner, R"({"summonerLevel":30})");
}

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_MISSIONS_WORLD_TEST_SUPPORT_H_
