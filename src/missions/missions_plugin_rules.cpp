// How the watched resources switch the feature: configuration, entitlement, login, platform,
// locale and game flow; the inventory sources and the celebration registration follow them.
#include <string>
#include <utility>
#include <vector>

#include "missions/configuration_value.h"
#include "missions/missions_plugin.h"
#include "plugin/trace.h"
#include "types/record_description.h"

namespace Vane::Client::Missions {
namespace {

constexpr std::string_view kMissionsEntitlement = "urn:entitlement:globalvane.missions.enabled";
constexpr const char* kCelebrationRegisterPath =
    "/pyx-pre-end-of-game/v1/registration/missions-celebration/2";
constexpr const char* kCelebrationPath =
    "/pyx-pre-end-of-game/v1/registration/missions-celebration";

std::string ChampionsPath(uint64_t summonerId) {
    return "/pyx-champions/v1/inventories/" + std::to_string(summonerId) + "/champions";
}
std::string WardSkinsPath(uint64_t summonerId) {
    return "/pyx-collections/v1/inventories/" + std::to_string(summonerId) + "/ward-skins";
}
std::string SummonerIconsPath(uint64_t summonerId) {
    return "/pyx-collections/v1/inventories/" + std::to_string(summonerId) + "/summoner-icons";
}
std::string SummonerPath(uint64_t summonerId) {
    return "/pyx-summoner/v1/summoners/" + std::to_string(summonerId);
}

bool IsInGame(Api::GameflowPhase phase) {
    using Api::GameflowPhase;
    return phase == GameflowPhase::GameStart || phase == GameflowPhase::FailedToLaunch ||
           phase == GameflowPhase::InProgress || phase == GameflowPhase::Reconnect;
}

}  // namespace

// --- Configuration ---------------------------------------------------------------------------

void MissionsPlugin::OnConfigurationComplete(const std::optional<BindingProperty>& value) {
    if (!value || value->Kind() != PropertyKind::kBool || !value->GetBool()) return;
    // Both switches default to on once the configuration is complete without them.
    if (!missionsEnabledReceived_) {
        missionsEnabledReceived_ = true;
        missionsEnabled_ = true;
        SubscribeInventorySources();
        UpdateCelebrationRegistration();
    }
    if (!frontEndEnabledReceived_) {
        frontEndEnabledReceived_ = true;
        frontEndEnabled_ = true;
        UpdateCelebrationRegistration();
    }
}

void MissionsPlugin::OnMissionsEnabled(const std::optional<BindingProperty>& value) {
    if (!value) return;
    missionsEnabledReceived_ = true;
    SetMissionsEnabled(ConfigurationSwitch(*value));
}

void MissionsPlugin::SetMissionsEnabled(bool enabled) {
    missionsEnabled_ = enabled;
    if (enabled) {
        SubscribeInventorySources();
    } else {
        service_->ClearMissions();
        UnsubscribeInventorySources();
    }
    UpdateCelebrationRegistration();
}

void MissionsPlugin::OnFrontEndEnabled(const std::optional<BindingProperty>& value) {
    if (!value) return;
    frontEndEnabledReceived_ = true;
    frontEndEnabled_ = ConfigurationSwitch(*value);
    UpdateCelebrationRegistration();
}

void MissionsPlugin::OnPollingTime(const std::optional<BindingProperty>& value) {
    if (!value) return;
    pollingTime_ = ConfigurationSeconds(Types(), *value);
    ApplyPollingTime(kPollTimerName, pollingTime_, &MissionsService::OnPollTimer);
}

void MissionsPlugin::OnCooldownPollingTime(const std::optional<BindingProperty>& value) {
    if (!value) return;
    cooldownPollingTime_ = ConfigurationSeconds(Types(), *value);
    ApplyPollingTime(kCooldownTimerName, cooldownPollingTime_, &MissionsService::OnCooldownTimer);
}

void MissionsPlugin::ApplyPollingTime(const char* name, double seconds,
                                      void (MissionsService::*tick)()) {
    Timers().StopTimer(name);
    if (!(seconds > kShortestPollingSeconds)) return;
    Timers().StartTimer(name, IntervalNanoseconds(seconds),
                        [service = service_, tick] { ((*service).*tick)(); });
}

// --- Player ----------------------------------------------------------------------------------

void MissionsPlugin::OnEntitlements(const std::optional<Api::EntitlementsTokenResource>& token) {
    if (!token) return;
    entitled_ = false;
    for (const std::string& entitlement : token->entitlements) {
        if (entitlement == kMissionsEntitlement) {
            entitled_ = true;
            break;
        }
    }
    UpdateCelebrationRegistration();
}

void MissionsPlugin::OnLoginSession(const std::optional<Api::LoginSession>& session) {
    if (!session) {
        UnsubscribeInventorySources();
        Timers().StopTimer(pollTimerName_);
        accountId_ = 0;
        summonerId_ = 0;
        service_->ClearMissions();
        return;
    }
    if (session->accountId == 0) return;
    accountId_ = session->accountId;
    summonerId_ = session->summonerId;
    // Another summoner's sources must not go on feeding this player's eligibility data.
    if (inventorySourcesSubscribed_ && inventorySummonerId_ != summonerId_) {
        UnsubscribeInventorySources();
    }
    SubscribeInventorySources();
}

void MissionsPlugin::OnPlatformId(const std::optional<BindingProperty>& value) {
    if (!value) return;
    platformId_ = value->AsText();
    service_->RequestFetch();
}

void MissionsPlugin::OnGameflowSession(const std::optional<Api::GameflowSession>& session) {
    inGame_ = session && IsInGame(session->phase);
}

void MissionsPlugin::OnRegionLocale(const std::optional<BindingProperty>& value) {
    // Whatever the event carries: without a locale (a deletion among others) it is empty.
    locale_.clear();
    if (!value) return;
    MaybeType<Failure, Api::PluginRegionLocaleChangedEvent> event =
        ConvertTo<Api::PluginRegionLocaleChangedEvent>(Types(), *value);
    if (event.HasValue()) locale_ = std::move(event.Value().locale);
}

// --- Inventory sources -------------------------------------------------------------------------

bool MissionsPlugin::WatchingInventoryOf(uint64_t summonerId) const {
    return inventorySourcesSubscribed_ && inventorySummonerId_ == summonerId;
}

void MissionsPlugin::SubscribeInventorySources() {
    if (!missionsEnabled_ || inventorySourcesSubscribed_ || summonerId_ == 0) return;
    inventorySourcesSubscribed_ = true;
    const uint64_t id = summonerId_;
    inventorySummonerId_ = id;
    // Each observer checks that its summoner is still the one watched: the runtime keeps an
    // observer after its subscription is dropped.
    Resources().Observe<std::vector<Api::CollectionsChampion>>(
        ChampionsPath(id),
        [this, id](const std::string&,
                   const std::optional<std::vector<Api::CollectionsChampion>>& champions) {
            if (champions && WatchingInventoryOf(id)) service_->OnChampions(*champions);
        });
    Resources().Observe<std::vector<Api::CollectionsWardSkin>>(
        WardSkinsPath(id),
        [this, id](const std::string&,
                   const std::optional<std::vector<Api::CollectionsWardSkin>>& wardSkins) {
            if (wardSkins && WatchingInventoryOf(id)) service_->OnWardSkins(*wardSkins);
        });
    Resources().Observe<Api::CollectionsSummonerIcons>(
        SummonerIconsPath(id),
        [this, id](const std::string&, const std::optional<Api::CollectionsSummonerIcons>& icons) {
            if (icons && WatchingInventoryOf(id)) service_->OnSummonerIcons(*icons);
        });
    Resources().Observe<Api::CollectionsSummoner>(
        SummonerPath(id),
        [this, id](const std::string&, const std::optional<Api::CollectionsSummoner>& summoner) {
            if (summoner && WatchingInventoryOf(id)) service_->OnSummoner(*summoner);
        });
}

void MissionsPlugin::UnsubscribeInventorySources() {
    if (!inventorySourcesSubscribed_ || inventorySummonerId_ == 0) return;
    const uint64_t id = inventorySummonerId_;
    Resources().Unsubscribe(ChampionsPath(id));
    Resources().Unsubscribe(WardSkinsPath(id));
    Resources().Unsubscribe(SummonerIconsPath(id));
    Resources().Unsubscribe(SummonerPath(id));
    inventorySourcesSubscribed_ = false;
}

// --- Celebration -------------------------------------------------------------------------------

void MissionsPlugin::UpdateCelebrationRegistration() {
    const bool wanted = missionsEnabled_ && (frontEndEnabled_ || entitled_);
    if (wanted == celebrationRegistered_) return;
    // The flag follows the wish whatever the request's outcome: a failure is not retried.
    celebrationRegistered_ = wanted;
    if (wanted) {
        MaybeType<Failure, void> sent =
            Requests().RequestVoid(HttpMethod::kPost, kCelebrationRegisterPath);
        if (sent.IsFailure()) {
            TraceRuntime("Failed to post enablement to pre-end-of-game plugin: %s",
                         {sent.GetFailure().Message()});
        }
    } else {
        MaybeType<Failure, void> sent =
            Requests().RequestVoid(HttpMethod::kDelete, kCelebrationPath);
        if (sent.IsFailure()) {
            TraceRuntime("Failed to post disablement to pre-end-of-game plugin: %s",
                         {sent.GetFailure().Message()});
        }
    }
}

}  // namespace Vane::Client::Missions
