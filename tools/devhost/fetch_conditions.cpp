#include "devhost/fetch_conditions.h"

#include <array>
#include <optional>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr std::string_view kConfigCompletePath =
    "/pyx-platform-config/v1/initial-configuration-complete";
constexpr std::string_view kMissionsEnabledPath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled";
constexpr std::string_view kFrontEndEnabledPath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsFrontEndEnabled";
constexpr std::string_view kEntitlementsPath = "/entitlements/v1/token";
constexpr std::string_view kMissionsEntitlement = "urn:entitlement:globalvane.missions.enabled";
constexpr std::string_view kResourcesEndpoint = "/devhost/resources";

// The phases in which the plugin counts the player as in a game.
constexpr std::array<std::string_view, 4> kInGamePhases = {"GameStart", "FailedToLaunch",
                                                           "InProgress", "Reconnect"};

BindingProperty BoolValue(bool flag) {
    BindingProperty value;
    value.SetBool(flag);
    return value;
}

BindingProperty ObjectValue() {
    BindingProperty value;
    Require(value.MakeStructure());
    return value;
}

// A configuration switch as the plugin reads one: a boolean is itself, anything else is true.
bool SwitchValue(const BindingProperty& value) {
    return value.Kind() == PropertyKind::kBool ? value.GetBool() : true;
}

ConditionFix SetResource(std::string_view path, BindingProperty body) {
    return ConditionFix{"PUT", std::string(kResourcesEndpoint) + std::string(path),
                        std::move(body)};
}

// A configuration switch (MissionsEnabled or MissionsFrontEndEnabled): its own value when the
// world holds one, otherwise on once the platform configuration reports completion.
FetchCondition Switch(World& world, std::string id, std::string label, std::string_view path,
                      std::string_view name, ConditionGate gate) {
    FetchCondition condition{std::move(id), std::move(label)};
    condition.paths = {std::string(path), std::string(kConfigCompletePath)};
    condition.gate = gate;
    condition.fix = SetResource(path, BoolValue(true));
    const std::string key(name);
    if (std::optional<BindingProperty> value = world.Resources().Get(path)) {
        condition.met = SwitchValue(*value);
        condition.hint = condition.met ? key + " is on" : key + " is false: set it to true";
        return condition;
    }
    std::optional<BindingProperty> complete = world.Resources().Get(kConfigCompletePath);
    condition.met = complete && SwitchValue(*complete);
    condition.hint = condition.met
                         ? "No " + key + " value; on because the platform configuration is complete"
                         : "No " + key +
                               " value and the platform configuration is not complete: set " + key +
                               " (or initial-configuration-complete) to true";
    return condition;
}

// The session's account and summoner ids; zeros when nobody is logged in.
struct SessionIds {
    bool present = false;
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
};

SessionIds ReadSession(World& world) {
    SessionIds ids;
    std::optional<BindingProperty> session = world.Resources().Get(kSessionPath);
    if (!session || session->Kind() != PropertyKind::kStructure) return ids;
    ids.present = true;
    ids.accountId = ReadUint64(session->Member("accountId")).value_or(0);
    ids.summonerId = ReadUint64(session->Member("summonerId")).value_or(0);
    return ids;
}

ConditionFix LogIn(const ScenarioPlayer& player) {
    BindingProperty body = ObjectValue();
    SetMemberUnsigned(body, "accountId", player.accountId != 0 ? player.accountId : 1);
    if (player.summonerId != 0) SetMemberUnsigned(body, "summonerId", player.summonerId);
    return ConditionFix{"POST", "/devhost/login", std::move(body)};
}

FetchCondition Account(World& world, const SessionIds& session) {
    FetchCondition condition{"account", "Logged in with an account"};
    condition.paths = {std::string(kSessionPath)};
    condition.fix = LogIn(world.StartingPlayer());
    condition.met = session.accountId != 0;
    if (!session.present) {
        condition.hint = "Nobody is logged in: log in";
    } else if (!condition.met) {
        condition.hint =
            "The login session's accountId is 0, which the plugin ignores: log in "
            "with an account";
    } else {
        condition.hint = "Account " + std::to_string(session.accountId) + " is logged in";
    }
    return condition;
}

FetchCondition Platform(World& world) {
    FetchCondition condition{"platform", "Platform known"};
    condition.paths = {std::string(kPlatformIdPath)};
    const std::string& platform = world.StartingPlayer().platformId;
    condition.fix = SetResource(kPlatformIdPath, StringValue(platform.empty() ? "XX1" : platform));
    std::optional<BindingProperty> value = world.Resources().Get(kPlatformIdPath);
    const std::optional<std::string> text = value ? ReadString(*value) : std::nullopt;
    condition.met = text && !text->empty();
    if (!value) {
        condition.hint = "No platform id: set LoginDataPacket/platformId";
    } else if (!text) {
        condition.hint = std::string("The platform id is a ") + KindWord(*value) +
                         ", not a string: set it to the platform's name";
    } else if (text->empty()) {
        condition.hint = "The platform id is empty: set it to the platform's name";
    } else {
        condition.hint = "Platform " + *text;
    }
    return condition;
}

// True for a champion, skin or ward skin the player may use: owned, rented or a free-to-play
// reward.
bool Usable(const BindingProperty& item) {
    const BindingProperty& ownership = item.Member("ownership");
    return ownership.Member("owned").GetBool() ||
           ownership.Member("rental").Member("rented").GetBool() ||
           ownership.Member("freeToPlayReward").GetBool();
}

// Whether the plugin takes an inventory report with this value, and if not, why.
bool InventoryUsable(std::string_view id, const BindingProperty& value, std::string& why) {
    if (id == "champions") {
        if (value.Kind() != PropertyKind::kCollection) {
            why = std::string("is a ") + KindWord(value) + ", not a list of champions";
            return false;
        }
        for (const BindingProperty& champion : value.Elements()) {
            if (champion.Member("freeToPlay").GetBool() || Usable(champion)) return true;
        }
        why =
            "holds no champion the player may use (owned, rented, free to play or a "
            "free-to-play reward), and the plugin ignores such a report";
        return false;
    }
    const bool wantsList = id == "ward-skins";
    const PropertyKind wanted = wantsList ? PropertyKind::kCollection : PropertyKind::kStructure;
    if (value.Kind() != wanted) {
        why = std::string("is a ") + KindWord(value) + ", not " +
              (wantsList ? "a list" : "an object");
        return false;
    }
    return true;
}

struct InventorySource {
    std::string_view id;
    std::string_view label;
    std::string_view prefix;  // the summoner id follows
    std::string_view suffix;
};

constexpr std::array<InventorySource, 4> kInventorySources = {{
    {"champions", "Champions and skins reported", "/pyx-champions/v1/inventories/", "/champions"},
    {"ward-skins", "Ward skins reported", "/pyx-collections/v1/inventories/", "/ward-skins"},
    {"summoner-icons", "Summoner icons reported", "/pyx-collections/v1/inventories/",
     "/summoner-icons"},
    {"summoner", "Summoner level reported", "/pyx-summoner/v1/summoners/", ""},
}};

FetchCondition Inventory(World& world, const SessionIds& session, const InventorySource& source) {
    FetchCondition condition{std::string(source.id), std::string(source.label)};
    const std::string summoner =
        session.summonerId != 0 ? std::to_string(session.summonerId) : "<summonerId>";
    const std::string path = std::string(source.prefix) + summoner + std::string(source.suffix);
    condition.paths = {path};
    if (session.summonerId == 0) {
        condition.hint =
            "Read for the logged-in summoner, and nobody with a summoner id is "
            "logged in: log in";
        condition.fix = LogIn(world.StartingPlayer());
        return condition;
    }
    const std::map<std::string, BindingProperty> defaults =
        world.InventoryResources(session.summonerId, session.accountId);
    BindingProperty usable;
    if (const auto found = defaults.find(path); found != defaults.end()) {
        Require(usable.CopyFrom(found->second));
    }
    condition.fix = SetResource(path, std::move(usable));
    std::optional<BindingProperty> value = world.Resources().Get(path);
    if (!value) {
        condition.hint = "No resource for summoner " + summoner + ": set it";
        return condition;
    }
    std::string why;
    condition.met = InventoryUsable(source.id, *value, why);
    condition.hint = condition.met ? "Reported for summoner " + summoner
                                   : "The resource " + why + ": set it to a usable value";
    return condition;
}

FetchCondition NotInGame(World& world) {
    FetchCondition condition{"not-in-game", "Not in a game"};
    condition.paths = {std::string(kGameflowSessionPath)};
    condition.gate = ConditionGate::kPolling;
    BindingProperty lobby = ObjectValue();
    SetMemberString(lobby, "phase", "Lobby");
    condition.fix = ConditionFix{"PUT", "/devhost/gameflow", std::move(lobby)};
    std::optional<BindingProperty> session = world.Resources().Get(kGameflowSessionPath);
    const std::string phase =
        session ? ReadString(session->Member("phase")).value_or("") : std::string();
    condition.met = true;
    for (std::string_view inGame : kInGamePhases) condition.met &= phase != inGame;
    if (!session) {
        condition.hint = "No gameflow session: not in a game";
    } else {
        condition.hint = "Gameflow phase " + (phase.empty() ? std::string("(none)") : phase) +
                         (condition.met ? "" : ": the timers skip their fetches until it ends");
    }
    return condition;
}

FetchCondition Entitled(World& world) {
    FetchCondition condition{"entitled", "Missions entitlement held"};
    condition.paths = {std::string(kEntitlementsPath)};
    condition.gate = ConditionGate::kNotifications;
    std::optional<BindingProperty> token = world.Resources().Get(kEntitlementsPath);
    // The fix keeps whatever else the token holds.
    BindingProperty fixed = ObjectValue();
    if (token && token->Kind() == PropertyKind::kStructure) Require(fixed.CopyFrom(*token));
    const BindingProperty& list = fixed.Member("entitlements");
    if (list.Kind() == PropertyKind::kCollection) {
        for (const BindingProperty& entitlement : list.Elements()) {
            condition.met |= ReadString(entitlement) == kMissionsEntitlement;
        }
    }
    if (list.Kind() != PropertyKind::kCollection) {
        BindingProperty fresh;
        Require(fresh.MakeCollection());
        SetMember(fixed, "entitlements", fresh);
    }
    if (!condition.met) {
        BindingProperty* entitlements = fixed.MemberForWrite("entitlements");
        BindingProperty* added = entitlements != nullptr ? entitlements->AppendElement() : nullptr;
        if (added != nullptr) Require(added->SetString(kMissionsEntitlement));
    }
    condition.fix = SetResource(kEntitlementsPath, std::move(fixed));
    const std::string entitlement(kMissionsEntitlement);
    condition.hint = condition.met ? "The token holds " + entitlement
                     : token       ? "The token does not hold " + entitlement + ": add it"
                                   : "No entitlements token: set one holding " + entitlement;
    return condition;
}

}  // namespace

std::string_view ConditionGateName(ConditionGate gate) {
    switch (gate) {
        case ConditionGate::kFetch:
            return "fetch";
        case ConditionGate::kPolling:
            return "polling";
        case ConditionGate::kNotifications:
            return "notifications";
    }
    return "";
}

std::vector<FetchCondition> FetchConditions(World& world) {
    const SessionIds session = ReadSession(world);
    std::vector<FetchCondition> conditions;
    conditions.push_back(Switch(world, "missions-enabled", "Missions feature enabled",
                                kMissionsEnabledPath, "MissionsEnabled", ConditionGate::kFetch));
    conditions.push_back(Account(world, session));
    conditions.push_back(Platform(world));
    for (const InventorySource& source : kInventorySources) {
        conditions.push_back(Inventory(world, session, source));
    }
    conditions.push_back(NotInGame(world));
    conditions.push_back(Switch(world, "front-end-enabled", "Missions front end enabled",
                                kFrontEndEnabledPath, "MissionsFrontEndEnabled",
                                ConditionGate::kNotifications));
    conditions.push_back(Entitled(world));
    return conditions;
}

BindingProperty FetchConditionsValue(const std::vector<FetchCondition>& conditions) {
    bool fetchReady = true;
    bool pollingReady = true;
    BindingProperty list;
    Require(list.MakeCollection());
    for (const FetchCondition& condition : conditions) {
        if (!condition.met && condition.gate == ConditionGate::kFetch) fetchReady = false;
        if (!condition.met && condition.gate != ConditionGate::kNotifications) pollingReady = false;
        BindingProperty* item = list.AppendElement();
        if (item == nullptr) break;
        SetMemberString(*item, "id", condition.id);
        SetMemberString(*item, "label", condition.label);
        SetMemberBool(*item, "met", condition.met);
        BindingProperty paths;
        Require(paths.MakeCollection());
        for (const std::string& path : condition.paths) {
            BindingProperty* entry = paths.AppendElement();
            if (entry != nullptr) Require(entry->SetString(path));
        }
        SetMember(*item, "paths", paths);
        SetMemberString(*item, "hint", condition.hint);
        SetMemberString(*item, "gate", ConditionGateName(condition.gate));
        BindingProperty fix = ObjectValue();
        SetMemberString(fix, "method", condition.fix.method);
        SetMemberString(fix, "path", condition.fix.path);
        if (!condition.fix.body.IsEmpty()) SetMember(fix, "body", condition.fix.body);
        SetMember(*item, "fix", fix);
    }
    BindingProperty value = ObjectValue();
    SetMemberBool(value, "fetchReady", fetchReady);
    SetMemberBool(value, "pollingReady", pollingReady);
    SetMember(value, "conditions", list);
    return value;
}

}  // namespace Vane::DevHost
