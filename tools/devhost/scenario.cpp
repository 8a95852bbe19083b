#include "devhost/scenario.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>

#include "codec/json_reader.h"
#include "codec/yaml_reader.h"
#include "devhost/default_scenario.h"
#include "devhost/gameflow_phase.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool StartsLikeJson(std::string_view text) {
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return c == '{' || c == '[';
    }
    return false;
}

// Reads the decimal number that starts at `position`; nothing when there is none.
std::optional<size_t> NumberAt(std::string_view text, size_t position) {
    size_t value = 0;
    size_t digits = 0;
    while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]))) {
        if (value > (std::numeric_limits<size_t>::max() - 9) / 10) return std::nullopt;
        value = value * 10 + static_cast<size_t>(text[position] - '0');
        ++position;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

std::string Located(std::string_view source, size_t line, size_t column, std::string_view what) {
    return std::string(source) + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
           std::string(what);
}

// "Error: <problem> at offset <n>." -> "<source>:<line>:<column>: <problem>".
std::string JsonErrorMessage(std::string_view source, std::string_view text,
                             std::string_view error) {
    constexpr std::string_view kPrefix = "Error: ";
    constexpr std::string_view kOffset = " at offset ";
    const size_t at = error.rfind(kOffset);
    std::optional<size_t> offset;
    if (at != std::string_view::npos) offset = NumberAt(error, at + kOffset.size());
    if (!offset) return std::string(source) + ": " + std::string(error);
    std::string_view problem = error.substr(0, at);
    if (problem.substr(0, kPrefix.size()) == kPrefix) problem.remove_prefix(kPrefix.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < *offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return Located(source, line, column, problem);
}

// "<problem> At line: <l> col: <c>" -> "<source>:<line>:<column>: <problem>". libyaml's own
// parser errors count from 0; the reader's other messages count from 1.
std::string YamlErrorMessage(std::string_view source, std::string_view error) {
    constexpr std::string_view kLine = " At line: ";
    constexpr std::string_view kColumn = " col: ";
    const size_t at = error.rfind(kLine);
    if (at == std::string_view::npos) return std::string(source) + ": " + std::string(error);
    const std::optional<size_t> line = NumberAt(error, at + kLine.size());
    const size_t columnAt = error.find(kColumn, at);
    if (!line || columnAt == std::string_view::npos) {
        return std::string(source) + ": " + std::string(error);
    }
    const std::optional<size_t> column = NumberAt(error, columnAt + kColumn.size());
    if (!column) return std::string(source) + ": " + std::string(error);
    const bool fromZero = error.substr(0, 18) == "YAML parser error:";
    return Located(source, *line + (fromZero ? 1 : 0), *column + (fromZero ? 1 : 0),
                   error.substr(0, at));
}

// Collects the first problem found while checking a document.
class Checker {
  public:
    bool Failed() const { return !problem_.empty(); }
    const std::string& Problem() const { return problem_; }

    bool Fail(const std::string& path, const std::string& what) {
        if (problem_.empty()) problem_ = (path.empty() ? std::string("(top)") : path) + ": " + what;
        return false;
    }

    static std::string Join(const std::string& path, std::string_view key) {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }
    static std::string Index(const std::string& path, size_t index) {
        return path + "[" + std::to_string(index) + "]";
    }

    // An object (a structure, or nothing at all, which reads as an empty object).
    bool Object(const BindingProperty& value, const std::string& path) {
        if (value.IsEmpty() || value.Kind() == PropertyKind::kStructure) return true;
        return Fail(path, std::string("expected an object, got ") + KindWord(value));
    }

    // Every key of the object must be one of `allowed`.
    bool Keys(const BindingProperty& object, const std::string& path,
              std::initializer_list<std::string_view> allowed) {
        for (const auto& member : object.Members()) {
            bool known = false;
            for (std::string_view name : allowed) known = known || member.name == name;
            if (known) continue;
            std::string list;
            for (std::string_view name : allowed) {
                if (!list.empty()) list += ", ";
                list += name;
            }
            return Fail(Join(path, member.name), "unknown key (expected one of: " + list + ")");
        }
        return true;
    }

    std::optional<uint64_t> Unsigned(const BindingProperty& value, const std::string& path) {
        if (std::optional<uint64_t> number = ReadUint64(value)) return number;
        Fail(path, std::string("expected a whole number of 0 or more, got ") + Describe(value));
        return std::nullopt;
    }

    std::optional<int64_t> Integer(const BindingProperty& value, const std::string& path,
                                   int64_t low, int64_t high) {
        std::optional<int64_t> number = ReadInt64(value);
        if (number && *number >= low && *number <= high) return number;
        Fail(path, "expected a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", got " + Describe(value));
        return std::nullopt;
    }

    std::optional<std::string> Text(const BindingProperty& value, const std::string& path) {
        if (std::optional<std::string> text = ReadString(value)) return text;
        Fail(path, std::string("expected a string, got ") + Describe(value));
        return std::nullopt;
    }

    std::optional<bool> Flag(const BindingProperty& value, const std::string& path) {
        if (value.Kind() == PropertyKind::kBool) return value.GetBool();
        Fail(path, std::string("expected true or false, got ") + Describe(value));
        return std::nullopt;
    }

    // A list (an absent value reads as an empty one) whose elements pass `element`.
    template <class Element>
    bool List(const BindingProperty& value, const std::string& path, Element element) {
        if (value.IsEmpty()) return true;
        if (value.Kind() != PropertyKind::kCollection) {
            return Fail(path, std::string("expected a list, got ") + KindWord(value));
        }
        const auto items = value.Elements();
        for (size_t i = 0; i < items.size(); ++i) {
            if (!element(items[i], Index(path, i))) return false;
        }
        return true;
    }

    static std::string Describe(const BindingProperty& value) {
        std::string text = KindWord(value);
        if (value.Kind() == PropertyKind::kString || ReadNumber(value)) {
            std::string shown = ToJsonText(value);
            if (shown.size() > 40) shown = shown.substr(0, 37) + "...";
            text += " " + shown;
        }
        return text;
    }

  private:
    std::string problem_;
};

BindingProperty ListOrEmpty(const BindingProperty& value) {
    BindingProperty list;
    if (value.Kind() == PropertyKind::kCollection) {
        Require(list.CopyFrom(value));
    } else {
        Require(list.MakeCollection());
    }
    return list;
}

void ReadPlayer(Checker& check, const BindingProperty& section, ScenarioPlayer& player) {
    const std::string path = "player";
    if (!check.Object(section, path) ||
        !check.Keys(section, path,
                    {"accountId", "summonerId", "platformId", "locale", "region", "loggedIn",
                     "entitlements"})) {
        return;
    }
    const auto member = [&](std::string_view key) -> const BindingProperty& {
        return section.Member(key);
    };
    if (!member("accountId").IsEmpty()) {
        if (auto v = check.Unsigned(member("accountId"), "player.accountId")) player.accountId = *v;
    }
    if (!member("summonerId").IsEmpty()) {
        if (auto v = check.Unsigned(member("summonerId"), "player.summonerId")) {
            player.summonerId = *v;
        }
    }
    const std::pair<std::string_view, std::string*> texts[] = {
        {"platformId", &player.platformId}, {"locale", &player.locale}, {"region", &player.region}};
    for (const auto& [key, target] : texts) {
        if (member(key).IsEmpty()) continue;
        if (auto v = check.Text(member(key), Checker::Join(path, key))) *target = *v;
    }
    if (!member("loggedIn").IsEmpty()) {
        if (auto v = check.Flag(member("loggedIn"), "player.loggedIn")) player.loggedIn = *v;
    }
    player.entitlements.clear();
    check.List(member("entitlements"), "player.entitlements",
               [&](const BindingProperty& item, const std::string& at) {
                   std::optional<std::string> text = check.Text(item, at);
                   if (text) player.entitlements.push_back(*text);
                   return text.has_value();
               });
}

void ReadConfig(Checker& check, const BindingProperty& section,
                std::map<std::string, BindingProperty>& config) {
    if (!check.Object(section, "config")) return;
    for (const auto& space : section.Members()) {
        const std::string spacePath = Checker::Join("config", space.name);
        if (space.name.empty() || space.name.find('/') != std::string_view::npos) {
            check.Fail(spacePath, "a namespace name must be non-empty and hold no '/'");
            return;
        }
        if (!check.Object(space.value, spacePath)) return;
        for (const auto& entry : space.value.Members()) {
            if (entry.name.empty() || entry.name.find('/') != std::string_view::npos) {
                check.Fail(Checker::Join(spacePath, entry.name),
                           "a configuration key must be non-empty and hold no '/'");
                return;
            }
            if (entry.value.IsEmpty()) continue;
            config[std::string(space.name) + "/" + std::string(entry.name)] = entry.value;
        }
    }
}

void ReadInventory(Checker& check, const BindingProperty& section, Scenario& scenario) {
    const std::string path = "inventory";
    if (!check.Object(section, path) ||
        !check.Keys(section, path, {"summonerLevel", "champions", "wardSkins", "summonerIcons"})) {
        return;
    }
    const BindingProperty& level = section.Member("summonerLevel");
    if (!level.IsEmpty()) {
        if (auto v = check.Integer(level, "inventory.summonerLevel", 0, 2147483647)) {
            scenario.summonerLevel = *v;
        }
    }
    const auto objects = [&](const BindingProperty& item, const std::string& at) {
        if (item.Kind() == PropertyKind::kStructure) return true;
        return check.Fail(at, std::string("expected an object, got ") + KindWord(item));
    };
    if (check.List(section.Member("champions"), "inventory.champions", objects)) {
        scenario.champions = ListOrEmpty(section.Member("champions"));
    }
    if (check.List(section.Member("wardSkins"), "inventory.wardSkins", objects)) {
        scenario.wardSkins = ListOrEmpty(section.Member("wardSkins"));
    }
    if (check.List(section.Member("summonerIcons"), "inventory.summonerIcons",
                   [&](const BindingProperty& item, const std::string& at) {
                       return check.Integer(item, at, -2147483648LL, 2147483647).has_value();
                   })) {
        scenario.summonerIcons = ListOrEmpty(section.Member("summonerIcons"));
    }
}

// A list of objects each carrying a non-empty string `id`, unique within the list.
bool IdentifiedObjects(Checker& check, const BindingProperty& list, const std::string& path) {
    std::map<std::string, size_t> seen;
    return check.List(list, path, [&](const BindingProperty& item, const std::string& at) {
        if (item.Kind() != PropertyKind::kStructure) {
            return check.Fail(at, std::string("expected an object, got ") + KindWord(item));
        }
        std::optional<std::string> id = check.Text(item.Member("id"), Checker::Join(at, "id"));
        if (!id) return false;
        if (id->empty()) return check.Fail(Checker::Join(at, "id"), "must not be empty");
        auto [it, fresh] = seen.emplace(*id, seen.size());
        if (!fresh) return check.Fail(Checker::Join(at, "id"), "repeats id '" + *id + "'");
        return true;
    });
}

void ReadRemote(Checker& check, const BindingProperty& section, Scenario& scenario) {
    const std::string path = "remote";
    if (!check.Object(section, path) ||
        !check.Keys(section, path, {"latencyMs", "missions", "series"})) {
        return;
    }
    const BindingProperty& latency = section.Member("latencyMs");
    if (!latency.IsEmpty()) {
        std::optional<double> ms = ReadNumber(latency);
        if (!ms || !(*ms >= 0) || *ms > 3600000) {
            check.Fail("remote.latencyMs", "expected milliseconds from 0 to 3600000, got " +
                                               Checker::Describe(latency));
            return;
        }
        scenario.remoteLatencySeconds = *ms / 1000.0;
    }
    if (IdentifiedObjects(check, section.Member("missions"), "remote.missions")) {
        scenario.remoteMissions = ListOrEmpty(section.Member("missions"));
    }
    if (IdentifiedObjects(check, section.Member("series"), "remote.series")) {
        scenario.remoteSeries = ListOrEmpty(section.Member("series"));
    }
}

void ReadResources(Checker& check, const BindingProperty& section,
                   std::map<std::string, BindingProperty>& resources) {
    if (!check.Object(section, "resources")) return;
    for (const auto& entry : section.Members()) {
        if (entry.name.empty() || entry.name.front() != '/') {
            check.Fail(Checker::Join("resources", entry.name),
                       "a resource key is a path and starts with '/'");
            return;
        }
        resources[std::string(entry.name)] = entry.value;
    }
}

}  // namespace

MaybeType<ScenarioError, BindingProperty> ReadScenarioDocument(std::string_view text,
                                                               std::string_view sourceName) {
    const bool json =
        EndsWith(sourceName, ".json") ||
        (!EndsWith(sourceName, ".yaml") && !EndsWith(sourceName, ".yml") && StartsLikeJson(text));
    ConversionStatus status = json ? ParseJson(text) : ReadYaml(text);
    if (!status.Ok()) {
        const std::string_view error = status.Error();
        return ScenarioError{json ? JsonErrorMessage(sourceName, text, error)
                                  : YamlErrorMessage(sourceName, error)};
    }
    BindingProperty document = std::move(status.Value());
    if (!document.IsEmpty() && document.Kind() != PropertyKind::kStructure) {
        return ScenarioError{std::string(sourceName) + ": a scenario is an object, not a " +
                             KindWord(document)};
    }
    return document;
}

void MergeScenarioDocument(BindingProperty& base, const BindingProperty& overlay) {
    if (base.Kind() != PropertyKind::kStructure || overlay.Kind() != PropertyKind::kStructure) {
        Require(base.CopyFrom(overlay));
        return;
    }
    for (const auto& member : overlay.Members()) {
        BindingProperty* target = base.MemberForWrite(member.name);
        if (target != nullptr) MergeScenarioDocument(*target, member.value);
    }
}

MaybeType<ScenarioError, Scenario> BuildScenario(const BindingProperty& document,
                                                 std::string_view sourceName) {
    Checker check;
    Scenario scenario;
    if (check.Object(document, "") &&
        check.Keys(document, "",
                   {"player", "gameflowPhase", "configurationComplete", "config", "inventory",
                    "remote", "notifications", "resources"})) {
        ReadPlayer(check, document.Member("player"), scenario.player);
        const BindingProperty& phase = document.Member("gameflowPhase");
        if (!check.Failed() && !phase.IsEmpty()) {
            if (std::optional<std::string> name = check.Text(phase, "gameflowPhase")) {
                if (IsGameflowPhase(*name)) {
                    scenario.gameflowPhase = *name;
                } else {
                    check.Fail("gameflowPhase", "'" + *name + "' is not a phase (one of: " +
                                                    GameflowPhaseList() + ")");
                }
            }
        }
        const BindingProperty& complete = document.Member("configurationComplete");
        if (!check.Failed() && !complete.IsEmpty()) {
            if (auto flag = check.Flag(complete, "configurationComplete")) {
                scenario.configurationComplete = *flag;
            }
        }
        if (!check.Failed()) ReadConfig(check, document.Member("config"), scenario.config);
        if (!check.Failed()) ReadInventory(check, document.Member("inventory"), scenario);
        if (!check.Failed()) ReadRemote(check, document.Member("remote"), scenario);
        if (!check.Failed() &&
            check.List(document.Member("notifications"), "notifications",
                       [&](const BindingProperty& item, const std::string& at) {
                           if (item.Kind() == PropertyKind::kStructure) return true;
                           return check.Fail(
                               at, std::string("expected an object, got ") + KindWord(item));
                       })) {
            scenario.notifications = ListOrEmpty(document.Member("notifications"));
        }
        if (!check.Failed()) ReadResources(check, document.Member("resources"), scenario.resources);
    }
    if (check.Failed()) return ScenarioError{std::string(sourceName) + ": " + check.Problem()};
    for (BindingProperty* list :
         {&scenario.champions, &scenario.wardSkins, &scenario.summonerIcons,
          &scenario.remoteMissions, &scenario.remoteSeries, &scenario.notifications}) {
        if (list->Kind() != PropertyKind::kCollection) Require(list->MakeCollection());
    }
    return scenario;
}

MaybeType<ScenarioError, BindingProperty> EffectiveScenarioDocument(const std::string* fileText,
                                                                    std::string_view sourceName) {
    MaybeType<ScenarioError, BindingProperty> base =
        ReadScenarioDocument(DefaultScenarioText(), "<built-in scenario>.yaml");
    if (base.IsFailure() || fileText == nullptr) return base;
    MaybeType<ScenarioError, BindingProperty> overlay = ReadScenarioDocument(*fileText, sourceName);
    if (overlay.IsFailure()) return overlay;
    BindingProperty document = std::move(base).Value();
    MergeScenarioDocument(document, overlay.Value());
    return document;
}

MaybeType<ScenarioError, Scenario> LoadScenario(const std::string* fileText,
                                                std::string_view sourceName) {
    MaybeType<ScenarioError, BindingProperty> document =
        EffectiveScenarioDocument(fileText, sourceName);
    if (document.IsFailure()) return document.GetFailure();
    return BuildScenario(document.Value(),
                         fileText != nullptr ? sourceName : "<built-in scenario>");
}

}  // namespace Vane::DevHost
