#include "missions/missions_records.h"

#include <exception>
#include <mutex>
#include <optional>
#include <utility>

#include "types/static_type.h"

namespace Vane::Client::Missions::Api {

void DescribeType(RecordBuilder<MissionProgressDTO>& r) {
    r.Name("MissionProgressDTO");
    r.Field("lastViewedProgress", &MissionProgressDTO::lastViewedProgress);
    r.Field("currentProgress", &MissionProgressDTO::currentProgress);
    r.Field("totalCount", &MissionProgressDTO::totalCount);
}

void DescribeType(RecordBuilder<PlayerMissionObjectiveDTO>& r) {
    r.Name("PlayerMissionObjectiveDTO");
    r.Field("type", &PlayerMissionObjectiveDTO::type);
    r.Field("description", &PlayerMissionObjectiveDTO::description);
    r.Field("progress", &PlayerMissionObjectiveDTO::progress);
    r.Field("sequence", &PlayerMissionObjectiveDTO::sequence);
}

void DescribeType(RecordBuilder<MissionRewardMediaItemDTO>& r) {
    r.Name("MissionRewardMediaItemDTO");
    r.Field("sound", &MissionRewardMediaItemDTO::sound);
    r.Field("video", &MissionRewardMediaItemDTO::video);
}

void DescribeType(RecordBuilder<MissionRewardMediaDTO>& r) {
    r.Name("MissionRewardMediaDTO");
    r.Field("intro", &MissionRewardMediaDTO::intro);
    r.Field("loop", &MissionRewardMediaDTO::loop);
    r.Field("outro", &MissionRewardMediaDTO::outro);
}

void DescribeType(RecordBuilder<PlayerMissionRewardDTO>& r) {
    r.Name("PlayerMissionRewardDTO");
    r.Field("rewardType", &PlayerMissionRewardDTO::rewardType);
    r.Field("description", &PlayerMissionRewardDTO::description);
    r.Field("rewardFulfilled", &PlayerMissionRewardDTO::rewardFulfilled);
    r.Field("media", &PlayerMissionRewardDTO::media);
    r.Field("iconUrl", &PlayerMissionRewardDTO::iconUrl);
    r.Field("itemId", &PlayerMissionRewardDTO::itemId);
}

void DescribeType(RecordBuilder<MissionAlertDTO>& r) {
    r.Name("MissionAlertDTO");
    r.Field("type", &MissionAlertDTO::type);
    r.Field("message", &MissionAlertDTO::message);
    r.Field("alertTime", &MissionAlertDTO::alertTime);
}

void DescribeType(RecordBuilder<MissionRequirementDTO>& r) {
    r.Name("MissionRequirementDTO");
    r.Field("expression", &MissionRequirementDTO::expression);
}

void DescribeType(RecordBuilder<Mission>& r) {
    r.Name("PlayerMissionDTO");
    r.Field("id", &Mission::id);
    r.Field("title", &Mission::title);
    r.Field("helperText", &Mission::helperText);
    r.Field("description", &Mission::description);
    r.Field("backgroundImageUrl", &Mission::backgroundImageUrl);
    r.Field("iconImageUrl", &Mission::iconImageUrl);
    r.Field("seriesName", &Mission::seriesName);
    r.Field("locale", &Mission::locale);
    r.Field("startTime", &Mission::startTime);
    r.Field("endTime", &Mission::endTime);
    r.Field("lastUpdatedTimestamp", &Mission::lastUpdatedTimestamp);
    r.Field("objectives", &Mission::objectives);
    r.Field("rewards", &Mission::rewards);
    r.Field("expiringWarnings", &Mission::expiringWarnings);
    r.Field("requirements", &Mission::requirements);
    r.Field("completionExpression", &Mission::completionExpression);
    r.Field("viewed", &Mission::viewed);
    r.Field("isNew", &Mission::isNew);
    r.Field("status", &Mission::status);
    r.Field("missionType", &Mission::missionType);
    r.Field("displayType", &Mission::displayType);
    r.Field("completedDate", &Mission::completedDate);
    r.Field("cooldownTimeMillis", &Mission::cooldownTimeMillis);
    r.Field("celebrationType", &Mission::celebrationType);
    r.Field("clientNotifyLevel", &Mission::clientNotifyLevel);
    r.Field("internalName", &Mission::internalName);
}

void DescribeType(RecordBuilder<SeriesMediaDTO>& r) {
    r.Name("SeriesMediaDTO");
    r.Field("backgroundUrl", &SeriesMediaDTO::backgroundUrl);
    r.Field("backgroundImageLargeUrl", &SeriesMediaDTO::backgroundImageLargeUrl);
    r.Field("backgroundImageSmallUrl", &SeriesMediaDTO::backgroundImageSmallUrl);
    r.Field("accentColor", &SeriesMediaDTO::accentColor);
}

void DescribeType(RecordBuilder<AlertDTO>& r) {
    r.Name("AlertDTO");
    r.Field("alertTime", &AlertDTO::alertTime);
}

void DescribeType(RecordBuilder<Series>& r) {
    r.Name("SeriesDTO");
    r.Field("id", &Series::id);
    r.Field("internalName", &Series::internalName);
    r.Field("parentName", &Series::parentName);
    r.Field("type", &Series::type);
    r.Field("title", &Series::title);
    r.Field("description", &Series::description);
    r.Field("optInButtonText", &Series::optInButtonText);
    r.Field("optOutButtonText", &Series::optOutButtonText);
    r.Field("status", &Series::status);
    r.Field("startDate", &Series::startDate);
    r.Field("endDate", &Series::endDate);
    r.Field("createdDate", &Series::createdDate);
    r.Field("lastUpdatedTimestamp", &Series::lastUpdatedTimestamp);
    r.Field("viewed", &Series::viewed);
    r.Field("media", &Series::media);
    r.Field("tags", &Series::tags);
    r.Field("warnings", &Series::warnings);
}

void DescribeType(RecordBuilder<Ids>& r) {
    r.Name("IdsDTO");
    r.Field("missionIds", &Ids::missionIds);
    r.Field("seriesIds", &Ids::seriesIds);
}

void DescribeType(RecordBuilder<PlayerInventory>& r) {
    r.Name("PlayerInventory");
    r.Field("wardSkins", &PlayerInventory::wardSkins);
    r.Field("champions", &PlayerInventory::champions);
    r.Field("skins", &PlayerInventory::skins);
    r.Field("icons", &PlayerInventory::icons);
}

void DescribeType(RecordBuilder<PlayerMissionEligibilityData>& r) {
    r.Name("PlayerMissionEligibilityData");
    r.Field("level", &PlayerMissionEligibilityData::level);
    r.Field("playerInventory", &PlayerMissionEligibilityData::playerInventory);
}

// The records below are registered under the API prefix (kApiTypePrefix) and have no remote
// name.

void DescribeType(RecordBuilder<LoginSession>& r) {
    r.Name("PyxMissionsLoginSession");
    r.Field("accountId", &LoginSession::accountId);
    r.Field("summonerId", &LoginSession::summonerId);
    r.Field("platformId", &LoginSession::platformId);
}

void DescribeType(RecordBuilder<CollectionsRental>& r) {
    r.Name("PyxMissionsCollectionsRental");
    r.Field("rented", &CollectionsRental::rented);
}

void DescribeType(RecordBuilder<CollectionsOwnership>& r) {
    r.Name("PyxMissionsCollectionsOwnership");
    r.Field("freeToPlayReward", &CollectionsOwnership::freeToPlayReward);
    r.Field("owned", &CollectionsOwnership::owned);
    r.Field("rental", &CollectionsOwnership::rental);
}

void DescribeType(RecordBuilder<CollectionsChampionSkin>& r) {
    r.Name("PyxMissionsCollectionsChampionSkin");
    r.Field("championId", &CollectionsChampionSkin::championId);
    r.Field("id", &CollectionsChampionSkin::id);
    r.Field("ownership", &CollectionsChampionSkin::ownership);
}

void DescribeType(RecordBuilder<CollectionsChampion>& r) {
    r.Name("PyxMissionsCollectionsChampion");
    r.Field("id", &CollectionsChampion::id);
    r.Field("freeToPlay", &CollectionsChampion::freeToPlay);
    r.Field("ownership", &CollectionsChampion::ownership);
    r.Field("skins", &CollectionsChampion::skins);
}

void DescribeType(RecordBuilder<CollectionsWardSkin>& r) {
    r.Name("PyxMissionsCollectionsWardSkin");
    r.Field("id", &CollectionsWardSkin::id);
    r.Field("ownership", &CollectionsWardSkin::ownership);
}

void DescribeType(RecordBuilder<CollectionsSummonerIcons>& r) {
    r.Name("PyxMissionsCollectionsSummonerIcons");
    r.Field("icons", &CollectionsSummonerIcons::icons);
}

void DescribeType(RecordBuilder<CollectionsSummoner>& r) {
    r.Name("PyxMissionsCollectionsSummoner");
    r.Field("summonerLevel", &CollectionsSummoner::summonerLevel);
}

void DescribeType(RecordBuilder<MissionsNotificationResource>& r) {
    r.Name("PyxMissionsMissionsNotificationResource");
    r.Field("backgroundUrl", &MissionsNotificationResource::backgroundUrl);
    r.Field("created", &MissionsNotificationResource::created);
    r.Field("critical", &MissionsNotificationResource::critical);
    r.Field("data", &MissionsNotificationResource::data);
    r.Field("detailKey", &MissionsNotificationResource::detailKey);
    r.Field("expires", &MissionsNotificationResource::expires);
    r.Field("iconUrl", &MissionsNotificationResource::iconUrl);
    r.Field("id", &MissionsNotificationResource::id);
    r.Field("source", &MissionsNotificationResource::source);
    r.Field("state", &MissionsNotificationResource::state);
    r.Field("titleKey", &MissionsNotificationResource::titleKey);
    r.Field("type", &MissionsNotificationResource::type);
}

void DescribeType(RecordBuilder<PluginRegionLocaleChangedEvent>& r) {
    r.Name("PyxMissionsPluginRegionLocaleChangedEvent");
    r.Field("locale", &PluginRegionLocaleChangedEvent::locale);
}

void DescribeType(RecordBuilder<EntitlementsTokenResource>& r) {
    r.Name("PyxMissionsEntitlementsToken");
    r.Field("entitlements", &EntitlementsTokenResource::entitlements);
}

void DescribeType(RecordBuilder<GameflowPhase>& r) {
    r.Name("PyxMissionsGameflowPhase");
    r.Enumerator("None", GameflowPhase::None);
    r.Enumerator("Lobby", GameflowPhase::Lobby);
    r.Enumerator("Matchmaking", GameflowPhase::Matchmaking);
    r.Enumerator("CheckedIntoTournament", GameflowPhase::CheckedIntoTournament);
    r.Enumerator("ReadyCheck", GameflowPhase::ReadyCheck);
    r.Enumerator("ChampSelect", GameflowPhase::ChampSelect);
    r.Enumerator("GameStart", GameflowPhase::GameStart);
    r.Enumerator("FailedToLaunch", GameflowPhase::FailedToLaunch);
    r.Enumerator("InProgress", GameflowPhase::InProgress);
    r.Enumerator("Reconnect", GameflowPhase::Reconnect);
    r.Enumerator("WaitingForStats", GameflowPhase::WaitingForStats);
    r.Enumerator("PreEndOfGame", GameflowPhase::PreEndOfGame);
    r.Enumerator("EndOfGame", GameflowPhase::EndOfGame);
    r.Enumerator("TerminatedInError", GameflowPhase::TerminatedInError);
}

void DescribeType(RecordBuilder<GameflowSession>& r) {
    r.Name("PyxMissionsGameflowSession");
    r.Field("phase", &GameflowSession::phase);
}

void DescribeType(RecordBuilder<PlayerUpdateResponse>& r) {
    r.Name("PyxMissionsPlayerUpdateResponse");
    r.Field("playerMissions", &PlayerUpdateResponse::playerMissions);
    r.Field("playerSeries", &PlayerUpdateResponse::playerSeries);
}

void DescribeType(RecordBuilder<SeriesOpt>& r) {
    r.Name("PyxMissionsSeriesOpt");
    r.Field("seriesId", &SeriesOpt::seriesId);
    r.Field("optStatus", &SeriesOpt::optStatus);
}

}  // namespace Vane::Client::Missions::Api

namespace Vane::Client::Missions::LCDS {

void DescribeType(RecordBuilder<MissionRequestPayloadDTO>& r) {
    r.Name("LcdsPayloadDto");
    r.Field("method", &MissionRequestPayloadDTO::method);
    r.Field("headers", &MissionRequestPayloadDTO::headers);
    r.Field("path", &MissionRequestPayloadDTO::path);
    r.Field("body", &MissionRequestPayloadDTO::body);
}

}  // namespace Vane::Client::Missions::LCDS

namespace Vane::Client::Missions {
namespace {

using namespace Api;
using LCDS::MissionRequestPayloadDTO;

// Registers records one after the other and remembers the first that failed; once one
// failed, the later calls do nothing.
class Registrar {
  public:
    Registrar(TypeRegistry& registry, RemoteTypeNames& remoteNames) noexcept
        : registry_(registry), remoteNames_(remoteNames) {}

    // Registers T under the name its description gives.
    template <class T>
    const TypeDescriptor* Record() noexcept {
        if (failedType_) return nullptr;
        const TypeDescriptor* descriptor = RegisterType<T>(registry_);
        if (!descriptor) failedType_ = StaticType::Name<T>();
        return descriptor;
    }

    // Registers T and enters `fullName`, the remote side's name of its class, under T's short
    // name and type id.
    template <class T>
    void Remote(std::string_view fullName) noexcept {
        const TypeDescriptor* descriptor = Record<T>();
        if (descriptor && !remoteNames_.Add(descriptor->name, descriptor->typeId, fullName)) {
            failedType_ = StaticType::Name<T>();
        }
    }

    // Registers T and the event `name` whose payload it is.
    template <class T>
    void Event(std::string_view name) noexcept {
        if (!Record<T>()) return;
        EventBuilder event = BeginEvent<T>(registry_, name);
        if (!event.Ok()) failedType_ = StaticType::Name<T>();
    }

    // Success, or the failure naming the first record that could not be registered.
    MaybeType<Failure, void> Result() const noexcept {
        if (!failedType_) return {};
        try {
            return Failure(kRegistrationFailureCode, "Couldn't register the missions type {type}.",
                           *failedType_);
        } catch (const std::exception&) {
            return MaybeType<Failure, void>(kFailureTag, Failure());
        }
    }

  private:
    TypeRegistry& registry_;
    RemoteTypeNames& remoteNames_;
    std::optional<std::string_view> failedType_;
};

}  // namespace

MaybeType<Failure, void> RegisterMissionsTypes(TypeRegistry& registry,
                                               RemoteTypeNames& remoteNames) noexcept {
    // Held across every registration so that nobody sees the family half registered.
    std::lock_guard lock(registry.Mutex());
    Registrar r(registry, remoteNames);

    r.Remote<MissionProgressDTO>("com.vanegames.missions.dto.MissionProgressDTO");
    r.Remote<PlayerMissionObjectiveDTO>("com.vanegames.missions.dto.PlayerMissionObjectiveDTO");
    r.Remote<MissionRewardMediaItemDTO>("com.vanegames.missions.dto.MissionRewardMediaItemDTO");
    r.Remote<MissionRewardMediaDTO>("com.vanegames.missions.dto.MissionRewardMediaDTO");
    r.Remote<PlayerMissionRewardDTO>("com.vanegames.missions.dto.PlayerMissionRewardDTO");
    r.Remote<MissionAlertDTO>("com.vanegames.missions.dto.MissionAlertDTO");
    r.Remote<MissionRequirementDTO>("com.vanegames.missions.dto.MissionRequirementDTO");
    r.Remote<Mission>("com.vanegames.missions.dto.PlayerMissionDTO");
    r.Remote<SeriesMediaDTO>("com.vanegames.missions.dto.SeriesMediaDTO");
    r.Remote<AlertDTO>("com.vanegames.missions.dto.AlertDTO");
    r.Remote<Series>("com.vanegames.missions.dto.SeriesDTO");
    r.Remote<Ids>("com.vanegames.missions.dto.IdsDTO");

    r.Record<LoginSession>();
    r.Record<CollectionsRental>();
    r.Record<CollectionsOwnership>();
    r.Record<CollectionsChampionSkin>();
    r.Record<CollectionsChampion>();
    r.Record<CollectionsWardSkin>();
    r.Record<CollectionsSummonerIcons>();
    r.Record<CollectionsSummoner>();

    r.Remote<PlayerInventory>("com.vanegames.missions.common.domain.player.PlayerInventory");
    r.Remote<PlayerMissionEligibilityData>(
        "com.vanegames.missions.common.domain.player.PlayerMissionEligibilityData");

    r.Record<MissionsNotificationResource>();
    r.Event<PluginRegionLocaleChangedEvent>(kRegionLocaleChangedEventName);
    r.Record<EntitlementsTokenResource>();
    r.Record<GameflowPhase>();
    r.Record<GameflowSession>();
    r.Record<PlayerUpdateResponse>();
    r.Record<SeriesOpt>();

    // The envelope of the remote calls comes last, after everything it may carry.
    r.Remote<MissionRequestPayloadDTO>("com.vanegames.missions.service.handlers.LcdsPayloadDto");
    return r.Result();
}

}  // namespace Vane::Client::Missions
