// The simulated world around the plugin: the other plugins it talks to, as the host answers
// them, and the actions a developer takes on them.
//
// Requests the plugin makes (host operation 0) are answered synchronously by Answer:
//   GET <resource path>                                   the resource's value, 404 if absent
//   POST /player-notifications/v1/notifications           stores one notification (argument 1,
//        a structure); id 0 or absent gets a new id, a known id replaces that notification
//   POST /pyx-pre-end-of-game/v1/registration/<name>[/<priority>]   registers <name>
//   DELETE /pyx-pre-end-of-game/v1/registration/<name>    unregisters it (404 if absent)
//   POST /telemetry/v1/events/<name>                      kept by the telemetry sink
//   POST /pyx-login/v1/service-proxy-uuid-requests        (service, method, payload): answers
//        a new uuid; the service's answer follows as "OnServiceProxyUuidEvent"
//   POST /pyx-login/v1/service-proxy-method-requests      (service, method, answer method,
//        payload): no body; the answer follows as "OnServiceProxyMethodEvent"
// Anything else answers 404 with an error text. The player notifications list is itself the
// resource "/player-notifications/v1/notifications", so its changes reach subscribers.
#ifndef PYX_DEVHOST_WORLD_H_
#define PYX_DEVHOST_WORLD_H_

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/history.h"
#include "devhost/remote_missions_service.h"
#include "devhost/resource_store.h"
#include "devhost/scenario.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// Paths of the resources the world keeps up to date.
inline constexpr std::string_view kSessionPath = "/pyx-login/v1/session";
inline constexpr std::string_view kGameflowSessionPath = "/pyx-gameflow/v1/session";
inline constexpr std::string_view kPlayerUpdatePath =
    "/vane-messaging-service/v1/message/missions/v1/player";
inline constexpr std::string_view kNotificationsPath = "/player-notifications/v1/notifications";
inline constexpr std::string_view kConfigPrefix = "/pyx-platform-config/v1/namespaces/";
inline constexpr std::string_view kPlatformIdPath =
    "/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId";

// An argument of a request; an empty name means positional.
struct RequestArgument {
    std::string name;
    BindingProperty value;
};

// The answer to a request: a status, a body, and an error text when it failed.
struct RequestAnswer {
    int32_t status = 200;
    BindingProperty body;
    std::optional<std::string> error;
};

// Who logs in; what is left out is taken from the current session, else from the scenario.
struct LoginRequest {
    std::optional<uint64_t> accountId;
    std::optional<uint64_t> summonerId;
    std::optional<std::string> platformId;
};

// Thread-safe.
class World {
  public:
    // Receives an event the world wants delivered after `delaySeconds` (service-proxy answers).
    using DeferredEvent =
        std::function<void(double delaySeconds, std::string eventName, BindingProperty payload)>;
    // Milliseconds since the Unix epoch.
    using Clock = std::function<int64_t()>;

    // A world in the state `scenario` describes. Resource changes go to `listener` (see
    // ResourceStore); the initial resources are set before it is attached, so they are not
    // reported. An empty `clock` reads the system clock.
    World(const Scenario& scenario, ResourceStore::Listener listener, DeferredEvent deferred,
          Clock clock = {});

    // Answers one request of the plugin (see the header comment). `method` is the wire code
    // (1 DELETE, 2 GET, 3 HEAD, 4 OPTIONS, 5 PATCH, 6 POST, 7 PUT).
    RequestAnswer Answer(uint32_t method, std::string_view url,
                         const std::vector<RequestArgument>& arguments);

    ResourceStore& Resources() { return resources_; }
    // The player the scenario describes, whatever has logged in since.
    const ScenarioPlayer& StartingPlayer() const { return player_; }
    RemoteMissionsService& Remote() { return remote_; }

    // Logs a player in: the platform id configuration (when it changes), the four inventory
    // resources of the summoner (when absent), then the login session. Returns the session.
    BindingProperty Login(const LoginRequest& request);
    // Deletes the login session; false when nobody was logged in.
    bool Logout();
    // Sets the gameflow session's phase; false (and nothing changes) for an unknown phase name.
    bool SetGameflowPhase(std::string_view phase);
    // Changes the pushed player-update resource; an empty `data` sends {"timestamp": now}.
    ResourceEventType PushPlayerUpdate(const BindingProperty& data);

    // The current registrations with the pre-end-of-game plugin: {name: priority}.
    BindingProperty Registrations() const;
    // The telemetry events received: {"time", "name", "parameters"}.
    const History& Telemetry() const { return telemetry_; }

    // The inventory resources of `summonerId` as the scenario fills them, path -> value.
    std::map<std::string, BindingProperty> InventoryResources(uint64_t summonerId,
                                                              uint64_t accountId) const;

  private:
    RequestAnswer ServiceProxy(bool uuidBased, const std::vector<RequestArgument>& arguments);
    RequestAnswer PostNotification(const std::vector<RequestArgument>& arguments);
    RequestAnswer Registration(uint32_t method, std::string_view rest);
    std::string NewUuid();
    int64_t Now() const;
    BindingProperty SessionValue(uint64_t accountId, uint64_t summonerId,
                                 const std::string& platformId) const;

    Clock clock_;
    DeferredEvent deferred_;
    ScenarioPlayer player_;
    int64_t summonerLevel_;
    BindingProperty champions_;
    BindingProperty wardSkins_;
    BindingProperty summonerIcons_;
    ResourceStore resources_;
    RemoteMissionsService remote_;
    History telemetry_{2000};

    mutable std::mutex mutex_;  // guards what follows
    std::map<std::string, int64_t> registrations_;
    std::mt19937_64 random_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_WORLD_H_
