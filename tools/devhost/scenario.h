// The scenario: the state of the simulated world at start, read from JSON or YAML.
//
// A scenario file is laid over the built-in scenario (default_scenario.h): objects merge key by
// key, every other value (lists included) replaces what it meets. So a file that only says
// `remote: {latencyMs: 20}` keeps everything else of the built-in world. Top-level sections:
//
//   player                 accountId, summonerId (unsigned), platformId, locale, region
//                          (strings), loggedIn (bool), entitlements (list of strings)
//   gameflowPhase          one of the gameflow phase names
//   configurationComplete  bool: the platform configuration reports completion
//   config                 {namespace: {key: value}}: platform configuration values
//   inventory              summonerLevel (integer), champions and wardSkins (lists of
//                          objects), summonerIcons (list of integers)
//   remote                 latencyMs (number, 0 or more), missions and series (lists of
//                          objects in the remote service's key names)
//   notifications          list of player notification objects
//   resources              {"/path": value}: extra resources, or overrides of those built from
//                          the sections above; null removes one
//
// Unknown keys are errors, so typos don't pass silently. Syntax errors name the line and
// column; errors of content name the key path ("player.accountId").
#ifndef PYX_DEVHOST_SCENARIO_H_
#define PYX_DEVHOST_SCENARIO_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "util/maybe.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// Why a scenario could not be used; `message` is complete and ready to print.
struct ScenarioError {
    std::string message;
};

struct ScenarioPlayer {
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string platformId;
    std::string locale;
    std::string region;
    bool loggedIn = true;
    std::vector<std::string> entitlements;
};

struct Scenario {
    ScenarioPlayer player;
    std::string gameflowPhase = "None";
    bool configurationComplete = true;
    // "Namespace/Key" -> value.
    std::map<std::string, BindingProperty> config;
    int64_t summonerLevel = 1;
    BindingProperty champions;      // list
    BindingProperty wardSkins;      // list
    BindingProperty summonerIcons;  // list of integers
    double remoteLatencySeconds = 0;
    BindingProperty remoteMissions;  // list
    BindingProperty remoteSeries;    // list
    BindingProperty notifications;   // list
    // Path -> value; an empty value removes the resource.
    std::map<std::string, BindingProperty> resources;
};

// Reads `text` as one document: JSON when `sourceName` ends in ".json", YAML when it ends in
// ".yaml" or ".yml", otherwise JSON when the text starts with "{" or "[" and YAML else. A
// syntax error reads "<sourceName>:<line>:<column>: <problem>" (both counted from 1) when the
// reader gives a position, "<sourceName>: <problem>" otherwise.
MaybeType<ScenarioError, BindingProperty> ReadScenarioDocument(std::string_view text,
                                                               std::string_view sourceName);

// Lays `overlay` over `base`: when both are objects, each member of `overlay` is laid over the
// member of the same name; otherwise `base` becomes a copy of `overlay`.
void MergeScenarioDocument(BindingProperty& base, const BindingProperty& overlay);

// Checks a whole document (the built-in one with any file laid over it) and builds the
// scenario. Errors read "<sourceName>: <key path>: <problem>".
MaybeType<ScenarioError, Scenario> BuildScenario(const BindingProperty& document,
                                                 std::string_view sourceName);

// The built-in document with `fileText` (read from `sourceName`) laid over it, when given.
MaybeType<ScenarioError, BindingProperty> EffectiveScenarioDocument(const std::string* fileText,
                                                                    std::string_view sourceName);

// EffectiveScenarioDocument followed by BuildScenario.
MaybeType<ScenarioError, Scenario> LoadScenario(const std::string* fileText,
                                                std::string_view sourceName);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_SCENARIO_H_
