// What the missions plugin waits for before it fetches, polls and notifies, read from the
// simulated world, so that a developer looking at an empty list sees which resource is missing
// and how to supply it.
//
// The conditions are computed from the world's resources as they are now, not from the
// plugin's memory: the plugin keeps some switches after their resource went away (a
// MissionsEnabled value stays in force once received; inventory flags stay set after a logout),
// so a world changed back and forth can read differently from what the plugin holds.
#ifndef PYX_DEVHOST_FETCH_CONDITIONS_H_
#define PYX_DEVHOST_FETCH_CONDITIONS_H_

#include <string>
#include <string_view>
#include <vector>

#include "devhost/world.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// What a missing condition holds back.
enum class ConditionGate {
    kFetch,          // no fetch is sent, so the lists stay empty
    kPolling,        // the polling and cooldown timers skip their fetches
    kNotifications,  // no new-mission notification nor celebration registration (one of the
                     // conditions with this gate is enough)
};

// "fetch", "polling" or "notifications".
std::string_view ConditionGateName(ConditionGate gate);

// A control-endpoint call that makes a condition met: `method` and `path` as the HTTP server
// takes them, `body` the JSON to send (empty for none).
struct ConditionFix {
    std::string method;
    std::string path;
    BindingProperty body;
};

struct FetchCondition {
    std::string id;
    std::string label;
    bool met = false;
    // The resources the plugin reads for it, in the order it reads them.
    std::vector<std::string> paths;
    // Why it is met or missing, and what to change when missing.
    std::string hint;
    ConditionGate gate = ConditionGate::kFetch;
    ConditionFix fix;
};

// Every condition, in a fixed order (ids: missions-enabled, account, platform, champions,
// ward-skins, summoner-icons, summoner, not-in-game, front-end-enabled, entitled). The fixes
// use the scenario's player where a value must be invented (account id, platform id) and the
// world's own inventory values for an inventory resource.
std::vector<FetchCondition> FetchConditions(World& world);

// {"fetchReady", "pollingReady", "conditions": [{"id", "label", "met", "paths", "hint", "gate",
// "fix": {"method", "path", "body"}}]}: fetchReady when every fetch condition is met,
// pollingReady when those and every polling condition are.
BindingProperty FetchConditionsValue(const std::vector<FetchCondition>& conditions);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_FETCH_CONDITIONS_H_
