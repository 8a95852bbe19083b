#include "missions/missions_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "api/function_name.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "types/native_json.h"
#include "types/static_type.h"

namespace Vane::Client::Missions {
namespace {

using namespace Api;
using LCDS::MissionRequestPayloadDTO;

// A type of someone else's that took the name the mission record needs.
struct Squatter {
    std::string id;
};
void DescribeType(RecordBuilder<Squatter>& r) {
    r.Name("PlayerMissionDTO");
    r.Field("id", &Squatter::id);
}

class MissionsRecordsTest : public ::testing::Test {
  public:
    void SetUp() override {
        MaybeType<Failure, void> registered = RegisterMissionsTypes(registry_, remoteNames_);
        ASSERT_FALSE(registered.IsFailure()) << registered.GetFailure().Message();
    }

    // `json` read as a T through the registry.
    template <class T>
    MaybeType<Failure, T> Read(std::string_view json) {
        ConversionStatus parsed = ParseJson(json);
        if (!parsed.Ok()) return Failure(0, std::string(parsed.Error()));
        return ConvertTo<T>(registry_, parsed.Value());
    }

    // The error message of reading `json` as a T ("" when it reads).
    template <class T>
    std::string ReadError(std::string_view json) {
        MaybeType<Failure, T> read = Read<T>(json);
        return read.IsFailure() ? read.GetFailure().Message() : std::string();
    }

    TypeRegistry registry_;
    RemoteTypeNames remoteNames_;
};

// What the registry lists, in order: the registered name, the C++ type name and the remote
// class name (empty for records without one).
struct ExpectedType {
    const char* name;
    const char* typeName;
    const char* remoteName;
};

constexpr ExpectedType kExpectedTypes[] = {
    {"MissionProgressDTO", "Vane::Client::Missions::Api::MissionProgressDTO",
     "com.vanegames.missions.dto.MissionProgressDTO"},
    {"PlayerMissionObjectiveDTO", "Vane::Client::Missions::Api::PlayerMissionObjectiveDTO",
     "com.vanegames.missions.dto.PlayerMissionObjectiveDTO"},
    {"MissionRewardMediaItemDTO", "Vane::Client::Missions::Api::MissionRewardMediaItemDTO",
     "com.vanegames.missions.dto.MissionRewardMediaItemDTO"},
    {"MissionRewardMediaDTO", "Vane::Client::Missions::Api::MissionRewardMediaDTO",
     "com.vanegames.missions.dto.MissionRewardMediaDTO"},
    {"PlayerMissionRewardDTO", "Vane::Client::Missions::Api::PlayerMissionRewardDTO",
     "com.vanegames.missions.dto.PlayerMissionRewardDTO"},
    {"MissionAlertDTO", "Vane::Client::Missions::Api::MissionAlertDTO",
     "com.vanegames.missions.dto.MissionAlertDTO"},
    {"MissionRequirementDTO", "Vane::Client::Missions::Api::MissionRequirementDTO",
     "com.vanegames.missions.dto.MissionRequirementDTO"},
    {"PlayerMissionDTO", "Vane::Client::Missions::Api::Mission",
     "com.vanegames.missions.dto.PlayerMissionDTO"},
    {"SeriesMediaDTO", "Vane::Client::Missions::Api::SeriesMediaDTO",
     "com.vanegames.missions.dto.SeriesMediaDTO"},
    {"AlertDTO", "Vane::Client::Missions::Api::AlertDTO", "com.vanegames.missions.dto.AlertDTO"},
    {"SeriesDTO", "Vane::Client::Missions::Api::Series", "com.vanegames.missions.dto.SeriesDTO"},
    {"IdsDTO", "Vane::Client::Missions::Api::Ids", "com.vanegames.missions.dto.IdsDTO"},
    {"PyxMissionsLoginSession", "Vane::Client::Missions::Api::LoginSession", ""},
    {"PyxMissionsCollectionsRental", "Vane::Client::Missions::Api::CollectionsRental", ""},
    {"PyxMissionsCollectionsOwnership", "Vane::Client::Missions::Api::CollectionsOwnership", ""},
    {"PyxMissionsCollectionsChampionSkin", "Vane::Client::Missions::Api::CollectionsChampionSkin",
     ""},
    {"PyxMissionsCollectionsChampion", "Vane::Client::Missions::Api::CollectionsChampion", ""},
    {"PyxMissionsCollectionsWardSkin", "Vane::Client::Missions::Api::CollectionsWardSkin", ""},
    {"PyxMissionsCollectionsSummonerIcons", "Vane::Client::Missions::Api::CollectionsSummonerIcons",
     ""},
    {"PyxMissionsCollectionsSummoner", "Vane::Client::Missions::Api::CollectionsSummoner", ""},
    {"PlayerInventory", "Vane::Client::Missions::Api::PlayerInventory",
     "com.vanegames.missions.common.domain.player.PlayerInventory"},
    {"PlayerMissionEligibilityData", "Vane::Client::Missions::Api::PlayerMissionEligibilityData",
     "com.vanegames.missions.common.domain.player.PlayerMissionEligibilityData"},
    {"PyxMissionsMissionsNotificationResource",
     "Vane::Client::Missions::Api::MissionsNotificationResource", ""},
    {"PyxMissionsPluginRegionLocaleChangedEvent",
     "Vane::Client::Missions::Api::PluginRegionLocaleChangedEvent", ""},
    {"PyxMissionsEntitlementsToken", "Vane::Client::Missions::Api::EntitlementsTokenResource", ""},
    {"PyxMissionsGameflowPhase", "Vane::Client::Missions::Api::GameflowPhase", ""},
    {"PyxMissionsGameflowSession", "Vane::Client::Missions::Api::GameflowSession", ""},
    {"PyxMissionsPlayerUpdateResponse", "Vane::Client::Missions::Api::PlayerUpdateResponse", ""},
    {"PyxMissionsSeriesOpt", "Vane::Client::Missions::Api::SeriesOpt", ""},
    {"LcdsPayloadDto", "Vane::Client::Missions::LCDS::MissionRequestPayloadDTO",
     "com.vanegames.missions.service.handlers.LcdsPayloadDto"},
};

TEST_F(MissionsRecordsTest, RegistersEveryRecordInOrderWithItsNames) {
    auto types = registry_.Types();
    ASSERT_TRUE(types.HasValue());
    ASSERT_EQ(types.Value().size(), std::size(kExpectedTypes));
    size_t remoteCount = 0;
    for (size_t index = 0; index < std::size(kExpectedTypes); ++index) {
        const ExpectedType& expected = kExpectedTypes[index];
        const TypeDescriptor* type = types.Value()[index];
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(type->name, expected.name);
        EXPECT_EQ(type->typeInfo->Name(), expected.typeName);
        EXPECT_EQ(type->typeId, Fnv1a32(expected.typeName));
        EXPECT_EQ(registry_.FindById(type->typeId), type);
        EXPECT_EQ(remoteNames_.FindByShortName(expected.name), expected.remoteName);
        EXPECT_EQ(remoteNames_.FindByTypeId(type->typeId), expected.remoteName);
        if (*expected.remoteName == '\0') {
            EXPECT_EQ(type->name.rfind(kApiTypePrefix, 0), 0u) << "records without a remote "
                                                                  "name carry the API prefix";
        } else {
            ++remoteCount;
        }
    }
    EXPECT_EQ(remoteNames_.Size(), remoteCount);
    EXPECT_EQ(kApiTypePrefix, MakeFunctionName("", "pyx-missions"));

    // The records the other parts of the plugin convert are the ones registered.
    EXPECT_EQ(registry_.FindById(StaticType::Id<Mission>())->name, "PlayerMissionDTO");
    EXPECT_EQ(registry_.FindById(StaticType::Id<MissionRequestPayloadDTO>())->name,
              "LcdsPayloadDto");

    auto events = registry_.Events();
    ASSERT_TRUE(events.HasValue());
    ASSERT_EQ(events.Value().size(), 1u);
    EXPECT_EQ(events.Value()[0].name, kRegionLocaleChangedEventName);
    EXPECT_EQ(events.Value()[0].payload,
              registry_.FindByName("PyxMissionsPluginRegionLocaleChangedEvent"));
}

TEST_F(MissionsRecordsTest, RegisteringAgainChangesNothing) {
    const TypeDescriptor* mission = registry_.FindByName("PlayerMissionDTO");
    MaybeType<Failure, void> again = RegisterMissionsTypes(registry_, remoteNames_);
    ASSERT_FALSE(again.IsFailure()) << again.GetFailure().Message();
    EXPECT_EQ(registry_.Types().Value().size(), std::size(kExpectedTypes));
    EXPECT_EQ(registry_.Events().Value().size(), 1u);
    EXPECT_EQ(registry_.FindByName("PlayerMissionDTO"), mission);
    EXPECT_EQ(mission->fields.size(), 26u);
    EXPECT_EQ(remoteNames_.Size(), 15u);
}

TEST(MissionsRegistrationTest, ANameTakenByAnotherTypeFailsNamingTheRecord) {
    TypeRegistry registry;
    RemoteTypeNames remoteNames;
    ASSERT_NE(RegisterType<Squatter>(registry), nullptr);
    MaybeType<Failure, void> registered = RegisterMissionsTypes(registry, remoteNames);
    ASSERT_TRUE(registered.IsFailure());
    EXPECT_EQ(registered.GetFailure().Code(), kRegistrationFailureCode);
    EXPECT_EQ(registered.GetFailure().Message(),
              "Couldn't register the missions type Vane::Client::Missions::Api::Mission.");
    // What came before stays; nothing after the failure is registered, and the taken name is
    // neither given the mission's fields nor entered as a remote name.
    EXPECT_NE(registry.FindByName("MissionRequirementDTO"), nullptr);
    EXPECT_EQ(registry.FindByName("SeriesDTO"), nullptr);
    EXPECT_EQ(registry.FindByName("PlayerMissionDTO")->fields.size(), 1u);
    EXPECT_EQ(remoteNames.FindByShortName("PlayerMissionDTO"), "");
    EXPECT_EQ(remoteNames.Size(), 7u);
    // The mission record converts only through its own description, which is missing.
    EXPECT_TRUE(ToBinding(registry, Mission{}).Value().FindMember("error"));
}

// A field as "key kind", where kind is the native kind's name, or the registered name of a
// record or enumeration, and vectors and maps show their element: "objectives
// vector<PlayerMissionObjectiveDTO>", "champions vector<int32>".
std::string Describe(const FieldRecord& field) {
    auto element = [](uint32_t kind, const TypeDescriptor* descriptor) {
        if (kind == static_cast<uint32_t>(NativeKind::kStruct) ||
            kind == static_cast<uint32_t>(NativeKind::kEnum)) {
            return descriptor ? descriptor->name : std::string("(missing)");
        }
        return std::string(NativeKindName(kind));
    };
    const TypeIdentifier& type = field.type;
    std::string text = field.name + " ";
    if (type.kind == static_cast<uint32_t>(NativeKind::kVector) ||
        type.kind == static_cast<uint32_t>(NativeKind::kMap)) {
        text += NativeKindName(type.kind);
        text += "<" + element(type.elementKind, type.descriptor) + ">";
    } else {
        text += element(type.kind, type.descriptor);
    }
    return text;
}

struct ExpectedFields {
    const char* record;
    std::vector<std::string> fields;
};

TEST_F(MissionsRecordsTest, FieldsHaveTheirKeysKindsAndOrder) {
    const ExpectedFields expected[] = {
        {"MissionProgressDTO",
         {"lastViewedProgress int32", "currentProgress int32", "totalCount int32"}},
        {"PlayerMissionObjectiveDTO",
         {"type string", "description string", "progress MissionProgressDTO", "sequence int32"}},
        {"MissionRewardMediaItemDTO", {"sound string", "video string"}},
        {"MissionRewardMediaDTO",
         {"intro MissionRewardMediaItemDTO", "loop MissionRewardMediaItemDTO",
          "outro MissionRewardMediaItemDTO"}},
        {"PlayerMissionRewardDTO",
         {"rewardType string", "description string", "rewardFulfilled bool",
          "media MissionRewardMediaDTO", "iconUrl string", "itemId string"}},
        {"MissionAlertDTO", {"type string", "message string", "alertTime int64"}},
        {"MissionRequirementDTO", {"expression string"}},
        {"PlayerMissionDTO",
         {"id string",
          "title string",
          "helperText string",
          "description string",
          "backgroundImageUrl string",
          "iconImageUrl string",
          "seriesName string",
          "locale string",
          "startTime int64",
          "endTime int64",
          "lastUpdatedTimestamp int64",
          "objectives vector<PlayerMissionObjectiveDTO>",
          "rewards vector<PlayerMissionRewardDTO>",
          "expiringWarnings vector<MissionAlertDTO>",
          "requirements vector<string>",
          "completionExpression string",
          "viewed bool",
          "isNew bool",
          "status string",
          "missionType string",
          "displayType string",
          "completedDate int64",
          "cooldownTimeMillis int64",
          "celebrationType string",
          "clientNotifyLevel string",
          "internalName string"}},
        {"SeriesMediaDTO",
         {"backgroundUrl string", "backgroundImageLargeUrl string",
          "backgroundImageSmallUrl string", "accentColor string"}},
        {"AlertDTO", {"alertTime int64"}},
        {"SeriesDTO",
         {"id string", "internalName string", "parentName string", "type string", "title string",
          "description string", "optInButtonText string", "optOutButtonText string",
          "status string", "startDate int64", "endDate int64", "createdDate int64",
          "lastUpdatedTimestamp int64", "viewed bool", "media SeriesMediaDTO",
          "tags vector<string>", "warnings vector<AlertDTO>"}},
        {"IdsDTO", {"missionIds vector<string>", "seriesIds vector<string>"}},
        {"PlayerInventory",
         {"wardSkins vector<int64>", "champions vector<int32>", "skins vector<int32>",
          "icons vector<int32>"}},
        {"PlayerMissionEligibilityData", {"level int32", "playerInventory PlayerInventory"}},
        {"LcdsPayloadDto", {"method string", "headers map<string>", "path string", "body string"}},
        {"PyxMissionsLoginSession", {"accountId uint64", "summonerId uint64", "platformId string"}},
        {"PyxMissionsCollectionsRental", {"rented bool"}},
        {"PyxMissionsCollectionsOwnership",
         {"freeToPlayReward bool", "owned bool", "rental PyxMissionsCollectionsRental"}},
        {"PyxMissionsCollectionsChampionSkin",
         {"championId int32", "id int32", "ownership PyxMissionsCollectionsOwnership"}},
        {"PyxMissionsCollectionsChampion",
         {"id int32", "freeToPlay bool", "ownership PyxMissionsCollectionsOwnership",
          "skins vector<PyxMissionsCollectionsChampionSkin>"}},
        {"PyxMissionsCollectionsWardSkin",
         {"id int64", "ownership PyxMissionsCollectionsOwnership"}},
        {"PyxMissionsCollectionsSummonerIcons", {"icons vector<int32>"}},
        {"PyxMissionsCollectionsSummoner", {"summonerLevel int32"}},
        {"PyxMissionsMissionsNotificationResource",
         {"backgroundUrl string", "created string", "critical bool", "data map<string>",
          "detailKey string", "expires string", "iconUrl string", "id uint64", "source string",
          "state string", "titleKey string", "type string"}},
        {"PyxMissionsPluginRegionLocaleChangedEvent", {"locale string"}},
        {"PyxMissionsEntitlementsToken", {"entitlements vector<string>"}},
        {"PyxMissionsGameflowSession", {"phase PyxMissionsGameflowPhase"}},
        {"PyxMissionsPlayerUpdateResponse",
         {"playerMissions vector<PlayerMissionDTO>", "playerSeries vector<SeriesDTO>"}},
        {"PyxMissionsSeriesOpt", {"seriesId string", "optStatus string"}},
    };
    for (const ExpectedFields& record : expected) {
        SCOPED_TRACE(record.record);
        const TypeDescriptor* type = registry_.FindByName(record.record);
        ASSERT_NE(type, nullptr);
        EXPECT_FALSE(type->isEnum);
        std::vector<std::string> fields;
        for (const FieldRecord& field : type->fields) {
            fields.push_back(Describe(field));
            EXPECT_EQ(field.flags, 0u) << field.name;
            EXPECT_EQ(field.description, "") << field.name;
            EXPECT_FALSE(field.optional) << field.name;
        }
        EXPECT_EQ(fields, record.fields);
    }
}

// One answer of the remote service as it arrives: every key of the records, values of every
// kind, a repeating mission that was completed and one that was not.
constexpr std::string_view kAnswer = R"({
  "playerMissions": [
    {
      "id": "9f1c2a4e-0b7d-4d6e-a1f3-3c5e8b2d7a90",
      "title": "Win 3 games",
      "helperText": "Any queue counts",
      "description": "Win three games on any map",
      "backgroundImageUrl": "/fe/missions/bg/weekly.jpg",
      "iconImageUrl": "/fe/missions/icons/trophy.png",
      "seriesName": "Weekly_Series_2024_W12",
      "locale": "en_US",
      "startTime": 1710720000000,
      "endTime": 1711324800000,
      "lastUpdatedTimestamp": 1710891234567,
      "objectives": [
        {
          "type": "WIN_GAMES",
          "description": "Win games",
          "progress": {"lastViewedProgress": 1, "currentProgress": 2, "totalCount": 3},
          "sequence": 1
        }
      ],
      "rewards": [
        {
          "rewardType": "CURRENCY",
          "description": "250 essence",
          "rewardFulfilled": false,
          "media": {
            "intro": {"sound": "/fe/sounds/intro.ogg", "video": "/fe/videos/intro.webm"},
            "loop": {"sound": "", "video": "/fe/videos/loop.webm"},
            "outro": {"sound": "/fe/sounds/outro.ogg", "video": ""}
          },
          "iconUrl": "/fe/rewards/essence.png",
          "itemId": "currency_essence_250"
        }
      ],
      "expiringWarnings": [
        {"type": "EXPIRING_SOON", "message": "Ends in 1 day", "alertTime": 1711238400000}
      ],
      "requirements": ["level >= 10", "owns:champion:103"],
      "completionExpression": "objective[1].complete",
      "viewed": false,
      "isNew": true,
      "status": "PENDING",
      "missionType": "REPEATING",
      "displayType": "ALWAYS",
      "completedDate": 1710800000000,
      "cooldownTimeMillis": 86400000,
      "celebrationType": "TOAST",
      "clientNotifyLevel": "ALWAYS",
      "internalName": "weekly_win_3"
    },
    {
      "id": "m-2",
      "title": "Play a game",
      "helperText": "",
      "description": "",
      "backgroundImageUrl": "",
      "iconImageUrl": "",
      "seriesName": "",
      "locale": "en_US",
      "startTime": 0,
      "endTime": 0,
      "lastUpdatedTimestamp": 0,
      "objectives": [],
      "rewards": [],
      "expiringWarnings": [],
      "requirements": [],
      "completionExpression": "",
      "viewed": true,
      "isNew": false,
      "status": "COMPLETED",
      "missionType": "ONETIME",
      "displayType": "CELEBRATION_ONLY",
      "completedDate": -1,
      "cooldownTimeMillis": 0,
      "celebrationType": "NONE",
      "clientNotifyLevel": "NEVER",
      "internalName": "play_one"
    }
  ],
  "playerSeries": [
    {
      "id": "s-1",
      "internalName": "Weekly_Series_2024_W12",
      "parentName": "",
      "type": "WEEKLY",
      "title": "Week 12",
      "description": "This week's missions",
      "optInButtonText": "Join",
      "optOutButtonText": "Leave",
      "status": "ACTIVE",
      "startDate": 1710720000000,
      "endDate": 1711324800000,
      "createdDate": 1700000000000,
      "lastUpdatedTimestamp": 1710891234567,
      "viewed": false,
      "media": {
        "backgroundUrl": "/fe/series/bg.jpg",
        "backgroundImageLargeUrl": "/fe/series/bg-large.jpg",
        "backgroundImageSmallUrl": "/fe/series/bg-small.jpg",
        "accentColor": "#C8AA6E"
      },
      "tags": ["weekly", "featured"],
      "warnings": [{"alertTime": 1711238400000}]
    }
  ]
})";

TEST_F(MissionsRecordsTest, AnswerOfTheRemoteServiceRoundTrips) {
    ConversionStatus parsed = ParseJson(kAnswer);
    ASSERT_TRUE(parsed.Ok()) << parsed.Error();
    MaybeType<Failure, PlayerUpdateResponse> read =
        ConvertTo<PlayerUpdateResponse>(registry_, parsed.Value());
    ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
    const PlayerUpdateResponse& answer = read.Value();

    ASSERT_EQ(answer.playerMissions.size(), 2u);
    const Mission& weekly = answer.playerMissions[0];
    EXPECT_EQ(weekly.id, "9f1c2a4e-0b7d-4d6e-a1f3-3c5e8b2d7a90");
    EXPECT_EQ(weekly.startTime, 1710720000000);
    EXPECT_EQ(weekly.completedDate, 1710800000000);
    EXPECT_EQ(weekly.cooldownTimeMillis, 86400000);
    EXPECT_EQ(weekly.missionType, "REPEATING");
    EXPECT_TRUE(weekly.isNew);
    ASSERT_EQ(weekly.objectives.size(), 1u);
    EXPECT_EQ(weekly.objectives[0].progress, (MissionProgressDTO{1, 2, 3}));
    ASSERT_EQ(weekly.rewards.size(), 1u);
    EXPECT_EQ(weekly.rewards[0].media.intro.video, "/fe/videos/intro.webm");
    EXPECT_EQ(weekly.rewards[0].media.outro.sound, "/fe/sounds/outro.ogg");
    EXPECT_EQ(weekly.rewards[0].itemId, "currency_essence_250");
    ASSERT_EQ(weekly.expiringWarnings.size(), 1u);
    EXPECT_EQ(weekly.expiringWarnings[0].alertTime, 1711238400000);
    EXPECT_EQ(weekly.requirements, (std::vector<std::string>{"level >= 10", "owns:champion:103"}));
    EXPECT_EQ(answer.playerMissions[1].completedDate, kNotCompleted);
    EXPECT_TRUE(answer.playerMissions[1].viewed);
    ASSERT_EQ(answer.playerSeries.size(), 1u);
    EXPECT_EQ(answer.playerSeries[0].media.accentColor, "#C8AA6E");
    EXPECT_EQ(answer.playerSeries[0].tags, (std::vector<std::string>{"weekly", "featured"}));
    ASSERT_EQ(answer.playerSeries[0].warnings.size(), 1u);
    EXPECT_EQ(answer.playerSeries[0].warnings[0].alertTime, 1711238400000);

    // Written back, the answer is the text it came from, key for key and value for value.
    EXPECT_EQ(WriteJson(registry_, answer), WriteJson(parsed.Value()));
    // The mission list is published through the value path; it reads back as it was.
    ConversionStatus published = ToBinding(registry_, answer.playerMissions);
    ASSERT_TRUE(published.Ok()) << published.Error();
    auto again = ConvertTo<std::vector<Mission>>(registry_, published.Value());
    ASSERT_TRUE(again.HasValue()) << again.GetFailure().Message();
    EXPECT_EQ(again.Value(), answer.playerMissions);
}

TEST_F(MissionsRecordsTest, AbsentUnknownAndNullMembersLeaveDefaults) {
    // The service may leave keys out, send null, or send keys this plugin does not know.
    MaybeType<Failure, PlayerUpdateResponse> read = Read<PlayerUpdateResponse>(R"({
        "playerMissions": [{}, {"id": "m", "completedDate": null, "cooldownTimeMillis": null,
                                "metadata": {"weekNum": 12}, "sequence": 4, "rewards": null}],
        "playerSeries": null, "version": 3})");
    ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
    ASSERT_EQ(read.Value().playerMissions.size(), 2u);
    const Mission& bare = read.Value().playerMissions[0];
    EXPECT_EQ(bare, Mission{});
    EXPECT_EQ(bare.completedDate, -1);
    EXPECT_EQ(bare.cooldownTimeMillis, -1);
    EXPECT_EQ(bare.startTime, 0);
    EXPECT_FALSE(bare.viewed);
    EXPECT_FALSE(bare.isNew);
    Mission expected;
    expected.id = "m";
    EXPECT_EQ(read.Value().playerMissions[1], expected);
    EXPECT_TRUE(read.Value().playerSeries.empty());

    // A completion at the epoch is a completion, not the "not completed" mark.
    EXPECT_EQ(Read<Mission>(R"({"completedDate": 0})").Value().completedDate, 0);

    MaybeType<Failure, PlayerMissionEligibilityData> eligibility =
        Read<PlayerMissionEligibilityData>("{}");
    ASSERT_TRUE(eligibility.HasValue());
    EXPECT_EQ(eligibility.Value().level, -1);
    EXPECT_EQ(Read<MissionsNotificationResource>("{}").Value(), MissionsNotificationResource{});

    // Nothing is left out of the output, empty or not: a default mission shows all 26 keys.
    ConversionStatus written = ToBinding(registry_, Mission{});
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(written.Value().Size(), 26u);
    EXPECT_EQ(written.Value().Member("completedDate").GetSigned(), -1);
    EXPECT_EQ(written.Value().Member("objectives").Size(), 0u);
}

TEST_F(MissionsRecordsTest, AFieldMissingFromInputKeepsTheRecordsValue) {
    // How a notification read from the other plugin is refreshed: its id and dates stay.
    MissionsNotificationResource existing;
    existing.id = 42;
    existing.created = "2024-03-20T10:00:00Z";
    existing.data = {{"quantity", "1"}};
    ConversionStatus input = ParseJson(R"({"state": "unread", "data": {"quantity": "2"}})");
    ASSERT_TRUE(input.Ok());
    ConversionStatus status;
    FromBinding(registry_, input.Value(), existing, status);
    ASSERT_TRUE(status.Ok()) << status.Error();
    EXPECT_EQ(existing.id, 42u);
    EXPECT_EQ(existing.created, "2024-03-20T10:00:00Z");
    EXPECT_EQ(existing.state, "unread");
    EXPECT_EQ(existing.data, (std::unordered_map<std::string, std::string>{{"quantity", "2"}}));
}

TEST_F(MissionsRecordsTest, GameflowPhasesTravelByName) {
    struct Phase {
        const char* name;
        GameflowPhase value;
    };
    const Phase phases[] = {
        {"None", GameflowPhase::None},
        {"Lobby", GameflowPhase::Lobby},
        {"Matchmaking", GameflowPhase::Matchmaking},
        {"CheckedIntoTournament", GameflowPhase::CheckedIntoTournament},
        {"ReadyCheck", GameflowPhase::ReadyCheck},
        {"ChampSelect", GameflowPhase::ChampSelect},
        {"GameStart", GameflowPhase::GameStart},
        {"FailedToLaunch", GameflowPhase::FailedToLaunch},
        {"InProgress", GameflowPhase::InProgress},
        {"Reconnect", GameflowPhase::Reconnect},
        {"WaitingForStats", GameflowPhase::WaitingForStats},
        {"PreEndOfGame", GameflowPhase::PreEndOfGame},
        {"EndOfGame", GameflowPhase::EndOfGame},
        {"TerminatedInError", GameflowPhase::TerminatedInError},
    };
    const TypeDescriptor* type = registry_.FindByName("PyxMissionsGameflowPhase");
    ASSERT_NE(type, nullptr);
    EXPECT_TRUE(type->isEnum);
    EXPECT_EQ(type->enumerators.size(), std::size(phases));
    for (int32_t value = 0; value < static_cast<int32_t>(std::size(phases)); ++value) {
        const Phase& phase = phases[value];
        SCOPED_TRACE(phase.name);
        EXPECT_EQ(static_cast<int32_t>(phase.value), value);
        const std::string json = std::string(R"({"phase":")") + phase.name + "\"}";
        MaybeType<Failure, GameflowSession> read = Read<GameflowSession>(json);
        ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
        EXPECT_EQ(read.Value().phase, phase.value);
        EXPECT_EQ(WriteJson(registry_, read.Value()), json);
    }
    // The session as the game-flow plugin sends it carries more than the phase.
    EXPECT_EQ(Read<GameflowSession>(R"({"phase":"InProgress","gameData":{"queue":{"id":420}}})")
                  .Value()
                  .phase,
              GameflowPhase::InProgress);
}

struct BadInput {
    const char* label;
    std::string (*read)(MissionsRecordsTest&, std::string_view);
    const char* json;
    const char* error;
};

TEST_F(MissionsRecordsTest, InputOfTheWrongShapeFailsWithTheRegistrysMessage) {
    auto session = [](MissionsRecordsTest& t, std::string_view json) {
        return t.ReadError<GameflowSession>(json);
    };
    auto answer = [](MissionsRecordsTest& t, std::string_view json) {
        return t.ReadError<PlayerUpdateResponse>(json);
    };
    auto eligibility = [](MissionsRecordsTest& t, std::string_view json) {
        return t.ReadError<PlayerMissionEligibilityData>(json);
    };
    auto notification = [](MissionsRecordsTest& t, std::string_view json) {
        return t.ReadError<MissionsNotificationResource>(json);
    };
    const BadInput cases[] = {
        {"unknown phase name (names are case-sensitive)", session, R"({"phase":"Champselect"})",
         "Champselect is not a valid PyxMissionsGameflowPhase enumeration value for 'phase'."},
        {"phase number out of the enumeration", session, R"({"phase":14})",
         "14 is not a valid PyxMissionsGameflowPhase enumeration value for 'phase'."},
        {"phase of the wrong kind", session, R"({"phase":true})",
         "Couldn't assign value to 'phase' of enum type because the input is of an invalid type "
         "bool."},
        {"answer that is not a structure", answer, R"([])",
         "Couldn't assign value to '<value>' of type PyxMissionsPlayerUpdateResponse because the "
         "input not a structure."},
        {"mission list that is not a list", answer, R"({"playerMissions":{}})",
         "Couldn't assign value to 'playerMissions' of type vector because the input not a "
         "collection."},
        {"mission that is not a structure", answer, R"({"playerMissions":["m-1"]})",
         "Couldn't assign value to 'playerMissions' of type PlayerMissionDTO because the input "
         "not a structure."},
        {"flag in words", answer, R"({"playerMissions":[{"viewed":"yes"}]})",
         "Value yes for 'viewed' of type bool is in an incorrect format. Options are \"true\", "
         "\"false\", \"1\", \"0\"."},
        {"progress as text", answer,
         R"({"playerMissions":[{"objectives":[{"progress":{"currentProgress":"2 of 3"}}]}]})",
         "Value 2 of 3 for 'currentProgress' of type int32 is in an incorrect format"},
        {"series title as a number", answer, R"({"playerSeries":[{"title":12}]})",
         "Couldn't assign value to 'title' because the input is not a string."},
        {"champion id beyond 32 bits", eligibility,
         R"({"playerInventory":{"champions":[1, 2147483648]}})",
         "Value 2147483648 for 'champions' of type int32 is out of range"},
        {"negative notification id", notification, R"({"id":-1})",
         "Value -1 for 'id' of type uint64 is out of range"},
        {"notification data that is not a map", notification, R"({"data":["quantity"]})",
         "Couldn't assign value to 'data' of type map because the input not a structure."},
    };
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.read(*this, c.json), c.error);
    }
}

TEST_F(MissionsRecordsTest, IdentifiersKeepTheirFullWidth) {
    MaybeType<Failure, PlayerMissionEligibilityData> eligibility =
        Read<PlayerMissionEligibilityData>(R"({"level":30,"playerInventory":{
            "wardSkins":[2147483648, 9007199254740993, -9223372036854775808],
            "champions":[2147483647, -2147483648], "skins":[103001], "icons":[]}})");
    ASSERT_TRUE(eligibility.HasValue()) << eligibility.GetFailure().Message();
    EXPECT_EQ(eligibility.Value().playerInventory.wardSkins,
              (std::vector<int64_t>{2147483648LL, 9007199254740993LL,
                                    std::numeric_limits<int64_t>::min()}));
    EXPECT_EQ(eligibility.Value().playerInventory.champions,
              (std::vector<int32_t>{2147483647, std::numeric_limits<int32_t>::min()}));

    MaybeType<Failure, LoginSession> session = Read<LoginSession>(
        R"({"accountId":18446744073709551615,"summonerId":2415919104,"platformId":"XX1",
            "connected":true})");
    ASSERT_TRUE(session.HasValue()) << session.GetFailure().Message();
    EXPECT_EQ(session.Value().accountId, std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(session.Value().summonerId, 2415919104u);
    EXPECT_EQ(WriteJson(registry_, session.Value()),
              R"({"accountId":18446744073709551615,"platformId":"XX1","summonerId":2415919104})");

    MaybeType<Failure, MissionsNotificationResource> notification =
        Read<MissionsNotificationResource>(R"({"id":18446744073709551615})");
    ASSERT_TRUE(notification.HasValue());
    EXPECT_EQ(notification.Value().id, std::numeric_limits<uint64_t>::max());
}

TEST_F(MissionsRecordsTest, BodiesSentToTheRemoteService) {
    // The fetch: the eligibility data as compact JSON inside the envelope, itself JSON.
    PlayerMissionEligibilityData eligibility;
    eligibility.level = 30;
    eligibility.playerInventory.wardSkins = {4294967296LL};
    eligibility.playerInventory.champions = {1, 103};
    eligibility.playerInventory.skins = {103001};
    const std::string body = WriteJson(registry_, eligibility);
    EXPECT_EQ(body,
              R"({"level":30,"playerInventory":{"champions":[1,103],"icons":[],"skins":[103001],)"
              R"("wardSkins":[4294967296]}})");

    MissionRequestPayloadDTO payload;
    payload.method = "PUT";
    payload.path = "/missions/v3/player/XX1/123?locale=en_US";
    payload.body = body;
    const std::string sent = WriteJson(registry_, payload);
    EXPECT_EQ(sent,
              R"({"body":"{\"level\":30,\"playerInventory\":{\"champions\":[1,103],\"icons\":[],)"
              R"(\"skins\":[103001],\"wardSkins\":[4294967296]}}","headers":{},"method":"PUT",)"
              R"("path":"/missions/v3/player/XX1/123?locale=en_US"})");
    // The remote side reads the envelope and its body back to the same records.
    MaybeType<Failure, MissionRequestPayloadDTO> received = Read<MissionRequestPayloadDTO>(sent);
    ASSERT_TRUE(received.HasValue()) << received.GetFailure().Message();
    EXPECT_EQ(received.Value(), payload);
    EXPECT_EQ(Read<PlayerMissionEligibilityData>(received.Value().body).Value(), eligibility);

    // Viewed: empty lists are still sent as lists.
    EXPECT_EQ(WriteJson(registry_, Ids{}), R"({"missionIds":[],"seriesIds":[]})");
    // A default eligibility record (nothing known yet) still converts.
    EXPECT_EQ(WriteJson(registry_, PlayerMissionEligibilityData{}),
              R"({"level":-1,"playerInventory":{"champions":[],"icons":[],"skins":[],)"
              R"("wardSkins":[]}})");
}

TEST_F(MissionsRecordsTest, RecordsOfOtherPluginsAndRoutesRead) {
    MaybeType<Failure, std::vector<CollectionsChampion>> champions =
        Read<std::vector<CollectionsChampion>>(R"([
        {"id":103,"name":"Ahri","freeToPlay":false,
         "ownership":{"freeToPlayReward":false,"owned":true,"rental":{"rented":false}},
         "skins":[{"championId":103,"id":103001,"isBase":false,
                   "ownership":{"owned":false,"rental":{"rented":true}}}]},
        {"id":1,"freeToPlay":true,"ownership":{"owned":false},"skins":[]}])");
    ASSERT_TRUE(champions.HasValue()) << champions.GetFailure().Message();
    ASSERT_EQ(champions.Value().size(), 2u);
    EXPECT_TRUE(champions.Value()[0].ownership.owned);
    ASSERT_EQ(champions.Value()[0].skins.size(), 1u);
    EXPECT_EQ(champions.Value()[0].skins[0],
              (CollectionsChampionSkin{103, 103001, {false, false, {true}}}));
    EXPECT_TRUE(champions.Value()[1].freeToPlay);

    MaybeType<Failure, std::vector<CollectionsWardSkin>> wards =
        Read<std::vector<CollectionsWardSkin>>(
            R"([{"id":5000000000,"ownership":{"freeToPlayReward":true}}])");
    ASSERT_TRUE(wards.HasValue()) << wards.GetFailure().Message();
    EXPECT_EQ(wards.Value()[0], (CollectionsWardSkin{5000000000LL, {true, false, {false}}}));

    EXPECT_EQ(Read<CollectionsSummonerIcons>(R"({"icons":[1,29,4568]})").Value().icons,
              (std::vector<int32_t>{1, 29, 4568}));
    EXPECT_EQ(
        Read<CollectionsSummoner>(R"({"summonerLevel":31,"puuid":"p"})").Value().summonerLevel, 31);
    EXPECT_EQ(
        Read<EntitlementsTokenResource>(
            R"({"accessToken":"t","entitlements":["urn:entitlement:globalvane.missions.enabled"]})")
            .Value()
            .entitlements,
        std::vector<std::string>{"urn:entitlement:globalvane.missions.enabled"});
    EXPECT_EQ(
        Read<PluginRegionLocaleChangedEvent>(R"({"locale":"de_DE","region":"EUW"})").Value().locale,
        "de_DE");
    EXPECT_EQ(Read<SeriesOpt>(R"({"seriesId":"S1","optStatus":"OPT_IN"})").Value(),
              (SeriesOpt{"S1", "OPT_IN"}));
    EXPECT_EQ(Read<Ids>(R"({"missionIds":["m-1"],"seriesIds":["s-1"]})").Value(),
              (Ids{{"m-1"}, {"s-1"}}));

    // A notification written for posting, with its map.
    MissionsNotificationResource posted;
    posted.source = "missions";
    posted.type = "new_mission";
    posted.data = {{"quantity", "2"}, {"mission_title", ""}};
    EXPECT_EQ(WriteJson(registry_, posted),
              R"({"backgroundUrl":"","created":"","critical":false,)"
              R"("data":{"mission_title":"","quantity":"2"},"detailKey":"","expires":"",)"
              R"("iconUrl":"","id":0,"source":"missions","state":"","titleKey":"",)"
              R"("type":"new_mission"})");
}

TEST(RemoteTypeNamesTest, LooksUpByShortNameAndTypeIdKeepingTheFirst) {
    RemoteTypeNames names;
    EXPECT_EQ(names.FindByShortName("SeriesDTO"), "");
    EXPECT_EQ(names.FindByTypeId(7), "");
    ASSERT_TRUE(names.Add("SeriesDTO", 7, "com.vanegames.missions.dto.SeriesDTO"));
    ASSERT_TRUE(names.Add("SeriesDTO", 8, "other"));
    ASSERT_TRUE(names.Add("IdsDTO", 7, "other"));
    EXPECT_EQ(names.FindByShortName("SeriesDTO"), "com.vanegames.missions.dto.SeriesDTO");
    EXPECT_EQ(names.FindByTypeId(7), "com.vanegames.missions.dto.SeriesDTO");
    EXPECT_EQ(names.FindByTypeId(8), "other");
    EXPECT_EQ(names.FindByShortName("IdsDTO"), "other");
    EXPECT_EQ(names.FindByShortName("seriesdto"), "");
    EXPECT_EQ(names.Size(), 2u);
}

}  // namespace
}  // namespace Vane::Client::Missions
