// The records of the missions feature: what the remote missions service sends and receives,
// what the plugin reads from and posts to other plugins, and what its routes exchange. Each is
// a plain value described once for the type registry (DescribeType below); every conversion to
// and from BindingProperty and JSON is the registry's generic one, driven by those descriptions.
//
// Serialized keys are the field names of the descriptions, letter for letter. No field is
// required on input (an absent or null member keeps the record's default) and none is left out
// of output when empty.
#ifndef PYX_MISSIONS_MISSIONS_RECORDS_H_
#define PYX_MISSIONS_MISSIONS_RECORDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "missions/remote_type_names.h"
#include "types/record_description.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane::Client::Missions::Api {

// A mission's `completedDate` while it is not completed (all bits set). Any other value, 0
// included, is a completion time in milliseconds since the Unix epoch.
inline constexpr int64_t kNotCompleted = -1;

// ---- Records of the remote missions service ----

struct MissionProgressDTO {
    int32_t lastViewedProgress = 0;
    int32_t currentProgress = 0;
    int32_t totalCount = 0;

    bool operator==(const MissionProgressDTO&) const = default;
};

struct PlayerMissionObjectiveDTO {
    std::string type;
    std::string description;
    MissionProgressDTO progress;
    int32_t sequence = 0;

    bool operator==(const PlayerMissionObjectiveDTO&) const = default;
};

struct MissionRewardMediaItemDTO {
    std::string sound;
    std::string video;

    bool operator==(const MissionRewardMediaItemDTO&) const = default;
};

struct MissionRewardMediaDTO {
    MissionRewardMediaItemDTO intro;
    MissionRewardMediaItemDTO loop;
    MissionRewardMediaItemDTO outro;

    bool operator==(const MissionRewardMediaDTO&) const = default;
};

struct PlayerMissionRewardDTO {
    std::string rewardType;
    std::string description;
    bool rewardFulfilled = false;
    MissionRewardMediaDTO media;
    std::string iconUrl;
    std::string itemId;

    bool operator==(const PlayerMissionRewardDTO&) const = default;
};

struct MissionAlertDTO {
    std::string type;
    std::string message;
    int64_t alertTime = 0;

    bool operator==(const MissionAlertDTO&) const = default;
};

// Registered for the remote side's sake; a mission's `requirements` are plain texts.
struct MissionRequirementDTO {
    std::string expression;

    bool operator==(const MissionRequirementDTO&) const = default;
};

// One mission of the player, as the remote service sends it and as the plugin keeps and
// publishes it. Times are passed through, except `completedDate` and `cooldownTimeMillis`
// (milliseconds), which decide when a repeating mission is due again.
struct Mission {
    std::string id;
    std::string title;
    std::string helperText;
    std::string description;
    std::string backgroundImageUrl;
    std::string iconImageUrl;
    std::string seriesName;
    std::string locale;
    int64_t startTime = 0;
    int64_t endTime = 0;
    int64_t lastUpdatedTimestamp = 0;
    std::vector<PlayerMissionObjectiveDTO> objectives;
    std::vector<PlayerMissionRewardDTO> rewards;
    std::vector<MissionAlertDTO> expiringWarnings;
    std::vector<std::string> requirements;
    std::string completionExpression;
    bool viewed = false;
    bool isNew = false;
    std::string status;
    std::string missionType;  // "REPEATING" comes back after its cooldown
    std::string displayType;  // "ALWAYS", "CELEBRATION_ONLY", ...
    int64_t completedDate = kNotCompleted;
    int64_t cooldownTimeMillis = -1;
    std::string celebrationType;
    std::string clientNotifyLevel;  // "ALWAYS", ...
    std::string internalName;

    bool operator==(const Mission&) const = default;
};

struct SeriesMediaDTO {
    std::string backgroundUrl;
    std::string backgroundImageLargeUrl;
    std::string backgroundImageSmallUrl;
    std::string accentColor;

    bool operator==(const SeriesMediaDTO&) const = default;
};

struct AlertDTO {
    int64_t alertTime = 0;

    bool operator==(const AlertDTO&) const = default;
};

// One mission series of the player.
struct Series {
    std::string id;
    std::string internalName;
    std::string parentName;
    std::string type;
    std::string title;
    std::string description;
    std::string optInButtonText;
    std::string optOutButtonText;
    std::string status;
    int64_t startDate = 0;
    int64_t endDate = 0;
    int64_t createdDate = 0;
    int64_t lastUpdatedTimestamp = 0;
    bool viewed = false;
    SeriesMediaDTO media;
    std::vector<std::string> tags;
    std::vector<AlertDTO> warnings;

    bool operator==(const Series&) const = default;
};

// Missions and series the player has seen (the body of the viewed route).
struct Ids {
    std::vector<std::string> missionIds;
    std::vector<std::string> seriesIds;

    bool operator==(const Ids&) const = default;
};

// Ward skins carry 64-bit identifiers, the other inventories 32-bit ones.
struct PlayerInventory {
    std::vector<int64_t> wardSkins;
    std::vector<int32_t> champions;
    std::vector<int32_t> skins;
    std::vector<int32_t> icons;

    bool operator==(const PlayerInventory&) const = default;
};

// What the remote service decides the player's missions by; sent with every fetch.
struct PlayerMissionEligibilityData {
    int32_t level = -1;  // the summoner level; -1 until known
    PlayerInventory playerInventory;

    bool operator==(const PlayerMissionEligibilityData&) const = default;
};

// ---- Records of other plugins and of the plugin's own routes ----

struct LoginSession {
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string platformId;

    bool operator==(const LoginSession&) const = default;
};

struct CollectionsRental {
    bool rented = false;

    bool operator==(const CollectionsRental&) const = default;
};

struct CollectionsOwnership {
    bool freeToPlayReward = false;
    bool owned = false;
    CollectionsRental rental;

    bool operator==(const CollectionsOwnership&) const = default;
};

struct CollectionsChampionSkin {
    int32_t championId = 0;
    int32_t id = 0;
    CollectionsOwnership ownership;

    bool operator==(const CollectionsChampionSkin&) const = default;
};

struct CollectionsChampion {
    int32_t id = 0;
    bool freeToPlay = false;
    CollectionsOwnership ownership;
    std::vector<CollectionsChampionSkin> skins;

    bool operator==(const CollectionsChampion&) const = default;
};

struct CollectionsWardSkin {
    int64_t id = 0;
    CollectionsOwnership ownership;

    bool operator==(const CollectionsWardSkin&) const = default;
};

struct CollectionsSummonerIcons {
    std::vector<int32_t> icons;

    bool operator==(const CollectionsSummonerIcons&) const = default;
};

struct CollectionsSummoner {
    int32_t summonerLevel = 0;

    bool operator==(const CollectionsSummoner&) const = default;
};

// A player notification. One the plugin builds for posting has `id` 0; one it refreshes keeps
// the `id` it was read with.
struct MissionsNotificationResource {
    std::string backgroundUrl;
    std::string created;
    bool critical = false;
    std::unordered_map<std::string, std::string> data;
    std::string detailKey;
    std::string expires;
    std::string iconUrl;
    uint64_t id = 0;
    std::string source;
    std::string state;
    std::string titleKey;
    std::string type;

    bool operator==(const MissionsNotificationResource&) const = default;
};

// The payload of the region and locale event.
struct PluginRegionLocaleChangedEvent {
    std::string locale;

    bool operator==(const PluginRegionLocaleChangedEvent&) const = default;
};

// The entitlements token; the plugin looks for the missions entitlement in `entitlements`.
struct EntitlementsTokenResource {
    std::vector<std::string> entitlements;

    bool operator==(const EntitlementsTokenResource&) const = default;
};

// The phase of the game flow; travels as its name.
enum class GameflowPhase : int32_t {
    None = 0,
    Lobby = 1,
    Matchmaking = 2,
    CheckedIntoTournament = 3,
    ReadyCheck = 4,
    ChampSelect = 5,
    GameStart = 6,
    FailedToLaunch = 7,
    InProgress = 8,
    Reconnect = 9,
    WaitingForStats = 10,
    PreEndOfGame = 11,
    EndOfGame = 12,
    TerminatedInError = 13,
};

struct GameflowSession {
    GameflowPhase phase = GameflowPhase::None;

    bool operator==(const GameflowSession&) const = default;
};

// The remote service's answer to a fetch: the player's whole mission and series lists.
struct PlayerUpdateResponse {
    std::vector<Mission> playerMissions;
    std::vector<Series> playerSeries;

    bool operator==(const PlayerUpdateResponse&) const = default;
};

// The body of the opt route: opt the player in or out of a series.
struct SeriesOpt {
    std::string seriesId;
    std::string optStatus;

    bool operator==(const SeriesOpt&) const = default;
};

// Descriptions for the type registry (found by argument-dependent lookup).
void DescribeType(RecordBuilder<MissionProgressDTO>& r);
void DescribeType(RecordBuilder<PlayerMissionObjectiveDTO>& r);
void DescribeType(RecordBuilder<MissionRewardMediaItemDTO>& r);
void DescribeType(RecordBuilder<MissionRewardMediaDTO>& r);
void DescribeType(RecordBuilder<PlayerMissionRewardDTO>& r);
void DescribeType(RecordBuilder<MissionAlertDTO>& r);
void DescribeType(RecordBuilder<MissionRequirementDTO>& r);
void DescribeType(RecordBuilder<Mission>& r);
void DescribeType(RecordBuilder<SeriesMediaDTO>& r);
void DescribeType(RecordBuilder<AlertDTO>& r);
void DescribeType(RecordBuilder<Series>& r);
void DescribeType(RecordBuilder<Ids>& r);
void DescribeType(RecordBuilder<PlayerInventory>& r);
void DescribeType(RecordBuilder<PlayerMissionEligibilityData>& r);
void DescribeType(RecordBuilder<LoginSession>& r);
void DescribeType(RecordBuilder<CollectionsRental>& r);
void DescribeType(RecordBuilder<CollectionsOwnership>& r);
void DescribeType(RecordBuilder<CollectionsChampionSkin>& r);
void DescribeType(RecordBuilder<CollectionsChampion>& r);
void DescribeType(RecordBuilder<CollectionsWardSkin>& r);
void DescribeType(RecordBuilder<CollectionsSummonerIcons>& r);
void DescribeType(RecordBuilder<CollectionsSummoner>& r);
void DescribeType(RecordBuilder<MissionsNotificationResource>& r);
void DescribeType(RecordBuilder<PluginRegionLocaleChangedEvent>& r);
void DescribeType(RecordBuilder<EntitlementsTokenResource>& r);
void DescribeType(RecordBuilder<GameflowPhase>& r);
void DescribeType(RecordBuilder<GameflowSession>& r);
void DescribeType(RecordBuilder<PlayerUpdateResponse>& r);
void DescribeType(RecordBuilder<SeriesOpt>& r);

}  // namespace Vane::Client::Missions::Api

namespace Vane::Client::Missions::LCDS {

// The envelope of every call to the remote missions service.
struct MissionRequestPayloadDTO {
    std::string method;                                    // always "PUT"
    std::unordered_map<std::string, std::string> headers;  // always empty as sent
    std::string path;                                      // remote path with its query
    std::string body;                                      // JSON text, or empty

    bool operator==(const MissionRequestPayloadDTO&) const = default;
};

void DescribeType(RecordBuilder<MissionRequestPayloadDTO>& r);

}  // namespace Vane::Client::Missions::LCDS

namespace Vane::Client::Missions {

// What the names of the records posted to and read from other plugins begin with: the
// plugin's short name "pyx-missions" made into a name as function names are.
inline constexpr std::string_view kApiTypePrefix = "PyxMissions";

// The event whose payload is PluginRegionLocaleChangedEvent, under the prefixed record name.
inline constexpr std::string_view kRegionLocaleChangedEventName =
    "PyxMissionsPluginRegionLocaleChangedEvent";

// Status code of the failure RegisterMissionsTypes returns.
inline constexpr int32_t kRegistrationFailureCode = 500;

// Registers every record of the missions feature with `registry`, in the order the host's
// description of the API lists them: the remote service's records, the other plugins'
// records, the inventory and eligibility records, the notification, event, entitlement,
// game-flow, answer and opt records, and last the remote call envelope. Each record of the
// remote service gets its full remote class name entered in `remoteNames`, by short name and
// by type id. Registering again changes nothing. On failure (memory ran out, or a record's name
// is taken by another type) the failure names the record ("Couldn't register the missions
// type {type}."); the records registered before it stay.
MaybeType<Failure, void> RegisterMissionsTypes(TypeRegistry& registry,
                                               RemoteTypeNames& remoteNames) noexcept;

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_MISSIONS_RECORDS_H_
