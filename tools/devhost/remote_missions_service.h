// The remote missions service behind the login plugin's service proxy, simulated.
//
// It keeps missions and series per player ("PLATFORM/ACCOUNT"), each player starting from a
// copy of the template the scenario gave. Every call arrives as the JSON of an envelope record
// {"method", "headers", "path", "body"} and is routed on method and path:
//
//   PUT /missions/v3/player/{platform}/{account}?locale=...      fetch: body is the player's
//       eligibility data; answers {"playerMissions": [...], "playerSeries": [...]}
//   PUT /missions/v3/player/{platform}/{account}/viewed/         body {"missionIds": [...],
//       "seriesIds": [...]}: marks those viewed (missions also stop being new)
//   PUT /missions/v3/player/{platform}/{account}/{series}/opt/{status}   sets the series'
//       status to the given text
//
// A repeating mission ("missionType": "REPEATING") whose completion time plus cooldown lies in
// the past is brought back (not completed, new, not viewed, progress 0) at the next fetch.
// Missions and series are answered in the remote key names, every field present: fields the
// scenario left out get the defaults of the data model (texts empty, lists empty, flags false,
// times 0, "completedDate" and "cooldownTimeMillis" -1).
#ifndef PYX_DEVHOST_REMOTE_MISSIONS_SERVICE_H_
#define PYX_DEVHOST_REMOTE_MISSIONS_SERVICE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "devhost/history.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// What the service answers to one call; `status` is a decimal HTTP status as text.
struct ProxyAnswer {
    std::string status;
    std::string payload;
    std::string error;
};

// Thread-safe.
class RemoteMissionsService {
  public:
    // Milliseconds since the Unix epoch.
    using Clock = std::function<int64_t()>;

    static constexpr std::string_view kServiceName = "missions.server";

    // A service whose template holds `missions` and `series` (lists of objects with a string
    // "id"), answering after `latencySeconds`. An empty `clock` reads the system clock.
    RemoteMissionsService(const BindingProperty& missions, const BindingProperty& series,
                          double latencySeconds, Clock clock = {});

    // Handles one call of the service's method `methodName` with the envelope JSON `payload`.
    ProxyAnswer Handle(std::string_view methodName, std::string_view payload);

    // How long answers take to arrive.
    double LatencySeconds() const;
    void SetLatencySeconds(double seconds);

    // Replaces the missions (or series) of player `player` ("PLATFORM/ACCOUNT"), or, when
    // `player` is empty, of the template and of every player known so far. `list` must be a
    // list of objects each with a non-empty string "id"; otherwise `error` says why and
    // nothing changes.
    bool SetMissions(const BindingProperty& list, std::string_view player, std::string& error);
    bool SetSeries(const BindingProperty& list, std::string_view player, std::string& error);

    // Completes mission `id` now for `player` (or every player and the template when empty):
    // completion time now, status "COMPLETED", progress full, rewards fulfilled, not new.
    // Returns how many copies changed.
    size_t CompleteMission(std::string_view id, std::string_view player);

    // The missions and series of `player` as a fetch would answer them now, without applying
    // cooldowns; nothing when the player never called.
    std::optional<BindingProperty> PlayerState(std::string_view player) const;

    // {"latencyMs", "template": {"missions", "series"}, "players": {key: {"missions",
    // "series", "eligibility"}}}.
    BindingProperty Snapshot() const;

    // The calls received: {"time", "method", "path", "body", "status", "error"}.
    const History& Calls() const { return calls_; }

  private:
    struct Player {
        BindingProperty missions;
        BindingProperty series;
        BindingProperty eligibility;
    };

    Player& PlayerFor(const std::string& key);
    ProxyAnswer Route(std::string_view method, std::string_view path, std::string_view body);
    ProxyAnswer Fetch(const std::string& key, std::string_view body);
    ProxyAnswer MarkViewed(const std::string& key, std::string_view body);
    ProxyAnswer Opt(const std::string& key, std::string_view series, std::string_view status);
    void BringBackRepeating(Player& player, int64_t now);
    std::string StateJson(const Player& player) const;
    int64_t Now() const;

    mutable std::mutex mutex_;
    Clock clock_;
    double latencySeconds_;
    BindingProperty templateMissions_;
    BindingProperty templateSeries_;
    std::map<std::string, Player, std::less<>> players_;
    History calls_{2000};
};

// A copy of `mission` with every field of the remote mission record present.
BindingProperty NormaliseMission(const BindingProperty& mission);
// A copy of `series` with every field of the remote series record present.
BindingProperty NormaliseSeries(const BindingProperty& series);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_REMOTE_MISSIONS_SERVICE_H_
