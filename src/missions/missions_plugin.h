// The plugin object of the missions feature: what it registers with the host, what it watches
// once started, and the rules by which configuration, entitlement, login, platform, locale and
// game-flow changes switch the feature on and off. The feature's lists and fetches live in its
// MissionsService.
#ifndef PYX_MISSIONS_MISSIONS_PLUGIN_H_
#define PYX_MISSIONS_MISSIONS_PLUGIN_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "missions/missions_records.h"
#include "missions/missions_service.h"
#include "missions/remote_type_names.h"
#include "missions/service_target.h"
#include "plugin/plugin_base.h"

namespace Vane::Client::Missions {

inline constexpr const char* kPollTimerName = "missionsPoll";
inline constexpr const char* kCooldownTimerName = "missionsCooldownPoll";
// Polling times of this many seconds or fewer leave their timer stopped.
inline constexpr double kShortestPollingSeconds = 10.0;

class MissionsPlugin final : public PluginBase {
  public:
    // A plugin with the feature off, no player and its MissionsService created.
    MissionsPlugin();
    ~MissionsPlugin() override;

    // Registers the missions records, then the five routes.
    void RegisterApi() override;
    // Creates the service target and subscribes to the eleven resources the feature follows;
    // always true.
    bool Start() override;
    // The runtime's shutdown, then stops the polling timer.
    void Shutdown() override;

    // --- State the service reads --------------------------------------------------------

    const std::string& PlatformId() const { return platformId_; }
    const std::string& Locale() const { return locale_; }
    uint64_t AccountId() const { return accountId_; }
    bool MissionsEnabled() const { return missionsEnabled_; }
    bool FrontEndEnabled() const { return frontEndEnabled_; }
    bool Entitled() const { return entitled_; }
    bool InGame() const { return inGame_; }

  private:
    // --- Rules of the watched resources (a value for a creation or update, none for a
    // deletion) ---------------------------------------------------------------------------
    void OnConfigurationComplete(const std::optional<BindingProperty>& value);
    void OnMissionsEnabled(const std::optional<BindingProperty>& value);
    void OnFrontEndEnabled(const std::optional<BindingProperty>& value);
    void OnPollingTime(const std::optional<BindingProperty>& value);
    void OnCooldownPollingTime(const std::optional<BindingProperty>& value);
    void OnEntitlements(const std::optional<Api::EntitlementsTokenResource>& token);
    void OnLoginSession(const std::optional<Api::LoginSession>& session);
    void OnPlatformId(const std::optional<BindingProperty>& value);
    void OnGameflowSession(const std::optional<Api::GameflowSession>& session);
    void OnRegionLocale(const std::optional<BindingProperty>& value);

    // Switches the feature on (subscribing the inventory) or off (forgetting the missions and
    // unsubscribing the inventory), then re-evaluates the celebration registration.
    void SetMissionsEnabled(bool enabled);
    // (Re)starts the timer `name` for a polling time of `seconds`, or leaves it stopped.
    void ApplyPollingTime(const char* name, double seconds, void (MissionsService::*tick)());

    // Watches the four inventory sources of the current summoner, when the feature is on, the
    // summoner known and they are not watched yet.
    void SubscribeInventorySources();
    // Stops watching the inventory sources; the held inventory stays.
    void UnsubscribeInventorySources();
    // Whether a report from the sources of `summonerId` is still wanted.
    bool WatchingInventoryOf(uint64_t summonerId) const;

    // Registers or unregisters the end-of-game celebration as the switches now want it: one
    // request per change.
    void UpdateCelebrationRegistration();

    std::string platformId_;
    std::string locale_;
    uint64_t accountId_ = 0;
    uint64_t summonerId_ = 0;
    bool missionsEnabled_ = false;
    bool missionsEnabledReceived_ = false;
    bool frontEndEnabled_ = false;
    bool frontEndEnabledReceived_ = false;
    bool inventorySourcesSubscribed_ = false;
    bool celebrationRegistered_ = false;
    bool entitled_ = false;
    bool inGame_ = false;
    double pollingTime_ = 0;
    double cooldownPollingTime_ = 0;
    const std::string pollTimerName_ = kPollTimerName;
    const std::string cooldownTimerName_ = kCooldownTimerName;
    std::shared_ptr<MissionsService> service_;
    std::shared_ptr<ServiceTarget> serviceTarget_;
    // The summoner whose inventory sources are watched (valid while subscribed).
    uint64_t inventorySummonerId_ = 0;
    RemoteTypeNames remoteNames_;
};

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_MISSIONS_PLUGIN_H_
