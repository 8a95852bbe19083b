#include "devhost/remote_missions_service.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr std::string_view kPlayerPrefix = "/missions/v3/player/";

enum class Default { kText, kZero, kMinusOne, kFalse, kList, kSeriesMedia };

struct Field {
    std::string_view name;
    Default value;
};

constexpr Field kMissionFields[] = {
    {"id", Default::kText},
    {"title", Default::kText},
    {"helperText", Default::kText},
    {"description", Default::kText},
    {"backgroundImageUrl", Default::kText},
    {"iconImageUrl", Default::kText},
    {"seriesName", Default::kText},
    {"locale", Default::kText},
    {"startTime", Default::kZero},
    {"endTime", Default::kZero},
    {"lastUpdatedTimestamp", Default::kZero},
    {"objectives", Default::kList},
    {"rewards", Default::kList},
    {"expiringWarnings", Default::kList},
    {"requirements", Default::kList},
    {"completionExpression", Default::kText},
    {"viewed", Default::kFalse},
    {"isNew", Default::kFalse},
    {"status", Default::kText},
    {"missionType", Default::kText},
    {"displayType", Default::kText},
    {"completedDate", Default::kMinusOne},
    {"cooldownTimeMillis", Default::kMinusOne},
    {"celebrationType", Default::kText},
    {"clientNotifyLevel", Default::kText},
    {"internalName", Default::kText},
};

constexpr Field kSeriesFields[] = {
    {"id", Default::kText},
    {"internalName", Default::kText},
    {"parentName", Default::kText},
    {"type", Default::kText},
    {"title", Default::kText},
    {"description", Default::kText},
    {"optInButtonText", Default::kText},
    {"optOutButtonText", Default::kText},
    {"status", Default::kText},
    {"startDate", Default::kZero},
    {"endDate", Default::kZero},
    {"createdDate", Default::kZero},
    {"lastUpdatedTimestamp", Default::kZero},
    {"viewed", Default::kFalse},
    {"media", Default::kSeriesMedia},
    {"tags", Default::kList},
    {"warnings", Default::kList},
};

void FillDefault(BindingProperty& target, Default value) {
    switch (value) {
        case Default::kText:
            Require(target.SetString(""));
            break;
        case Default::kZero:
            target.SetSigned(0);
            break;
        case Default::kMinusOne:
            target.SetSigned(-1);
            break;
        case Default::kFalse:
            target.SetBool(false);
            break;
        case Default::kList:
            Require(target.MakeCollection());
            break;
        case Default::kSeriesMedia:
            Require(target.MakeStructure());
            for (std::string_view name : {"backgroundUrl", "backgroundImageLargeUrl",
                                          "backgroundImageSmallUrl", "accentColor"}) {
                SetMemberString(target, name, "");
            }
            break;
    }
}

BindingProperty Normalise(const BindingProperty& record, std::span<const Field> fields) {
    BindingProperty copy;
    Require(copy.CopyFrom(record));
    if (copy.Kind() != PropertyKind::kStructure) Require(copy.MakeStructure());
    for (const Field& field : fields) {
        BindingProperty* member = copy.MemberForWrite(field.name);
        if (member != nullptr && member->IsEmpty()) FillDefault(*member, field.value);
    }
    return copy;
}

// Checks a list of records with unique non-empty string ids and normalises each.
bool NormaliseList(const BindingProperty& list, std::span<const Field> fields, BindingProperty& out,
                   std::string& error) {
    if (list.Kind() != PropertyKind::kCollection) {
        error = std::string("expected a list of objects, got ") + KindWord(list);
        return false;
    }
    BindingProperty result;
    Require(result.MakeCollection());
    std::map<std::string, bool, std::less<>> seen;
    const auto items = list.Elements();
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string at = "[" + std::to_string(i) + "]";
        if (items[i].Kind() != PropertyKind::kStructure) {
            error = at + ": expected an object, got " + KindWord(items[i]);
            return false;
        }
        std::optional<std::string> id = ReadString(items[i].Member("id"));
        if (!id || id->empty()) {
            error = at + ".id: expected a non-empty string";
            return false;
        }
        if (!seen.emplace(*id, true).second) {
            error = at + ".id: repeats id '" + *id + "'";
            return false;
        }
        BindingProperty* slot = result.AppendElement();
        if (slot == nullptr) {
            error = "memory ran out";
            return false;
        }
        Require(slot->CopyFrom(Normalise(items[i], fields)));
    }
    out = std::move(result);
    return true;
}

int64_t ReadTime(const BindingProperty& record, std::string_view name, int64_t fallback) {
    return ReadInt64(record.Member(name)).value_or(fallback);
}

// Calls `f` with the progress record of every objective of `mission`.
void ForEachProgress(BindingProperty& mission, const std::function<void(BindingProperty&)>& f) {
    BindingProperty* objectives = mission.FindMember("objectives");
    if (objectives == nullptr) return;
    for (BindingProperty& objective : objectives->Elements()) {
        BindingProperty* progress = objective.FindMember("progress");
        if (progress != nullptr && progress->Kind() == PropertyKind::kStructure) f(*progress);
    }
}

std::vector<std::string_view> Segments(std::string_view rest) {
    std::vector<std::string_view> pieces;
    size_t position = 0;
    while (position <= rest.size()) {
        const size_t end = std::min(rest.find('/', position), rest.size());
        pieces.push_back(rest.substr(position, end - position));
        position = end + 1;
    }
    if (pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();
    return pieces;
}

ProxyAnswer Error(int status, std::string text) {
    return ProxyAnswer{std::to_string(status), "", std::move(text)};
}

bool ContainsText(const BindingProperty& list, std::string_view text) {
    for (const BindingProperty& item : list.Elements()) {
        if (item.Kind() == PropertyKind::kString && item.GetString() == text) return true;
    }
    return false;
}

}  // namespace

BindingProperty NormaliseMission(const BindingProperty& mission) {
    return Normalise(mission, kMissionFields);
}

BindingProperty NormaliseSeries(const BindingProperty& series) {
    return Normalise(series, kSeriesFields);
}

RemoteMissionsService::RemoteMissionsService(const BindingProperty& missions,
                                             const BindingProperty& series, double latencySeconds,
                                             Clock clock)
    : clock_(std::move(clock)), latencySeconds_(latencySeconds) {
    std::string error;
    BindingProperty empty;
    Require(empty.MakeCollection());
    if (!NormaliseList(missions.IsEmpty() ? empty : missions, kMissionFields, templateMissions_,
                       error)) {
        Require(templateMissions_.MakeCollection());
    }
    if (!NormaliseList(series.IsEmpty() ? empty : series, kSeriesFields, templateSeries_, error)) {
        Require(templateSeries_.MakeCollection());
    }
}

int64_t RemoteMissionsService::Now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double RemoteMissionsService::LatencySeconds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latencySeconds_;
}

void RemoteMissionsService::SetLatencySeconds(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    latencySeconds_ = seconds < 0 ? 0 : seconds;
}

RemoteMissionsService::Player& RemoteMissionsService::PlayerFor(const std::string& key) {
    auto it = players_.find(key);
    if (it != players_.end()) return it->second;
    Player& player = players_[key];
    Require(player.missions.CopyFrom(templateMissions_));
    Require(player.series.CopyFrom(templateSeries_));
    return player;
}

ProxyAnswer RemoteMissionsService::Handle(std::string_view methodName, std::string_view payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    BindingProperty call;
    Require(call.MakeStructure());
    SetMemberSigned(call, "time", Now());
    ProxyAnswer answer;
    ConversionStatus envelope = ParseJson(payload);
    if (methodName != "missions") {
        answer = Error(404, "Unknown method '" + std::string(methodName) + "' of " +
                                std::string(kServiceName));
    } else if (!envelope.Ok()) {
        answer = Error(400, "Invalid request envelope: " + std::string(envelope.Error()));
    } else {
        const BindingProperty& value = envelope.Value();
        std::optional<std::string> method = ReadString(value.Member("method"));
        std::optional<std::string> path = ReadString(value.Member("path"));
        const BindingProperty& bodyValue = value.Member("body");
        std::optional<std::string> body =
            bodyValue.IsEmpty() ? std::optional<std::string>("") : ReadString(bodyValue);
        if (!method || !path || !body) {
            answer =
                Error(400, "Invalid request envelope: expected the strings method, path and body");
        } else {
            SetMemberString(call, "method", *method);
            SetMemberString(call, "path", *path);
            SetMemberString(call, "body", *body);
            answer = Route(*method, *path, *body);
        }
    }
    SetMemberString(call, "status", answer.status);
    SetMemberString(call, "error", answer.error);
    calls_.Add(std::move(call));
    return answer;
}

ProxyAnswer RemoteMissionsService::Route(std::string_view method, std::string_view path,
                                         std::string_view body) {
    const std::string_view route = path.substr(0, path.find('?'));
    if (route.substr(0, kPlayerPrefix.size()) != kPlayerPrefix) {
        return Error(404, "No such path: " + std::string(route));
    }
    const std::vector<std::string_view> pieces = Segments(route.substr(kPlayerPrefix.size()));
    const bool fetch = pieces.size() == 2;
    const bool viewed = pieces.size() == 3 && pieces[2] == "viewed";
    const bool opt = pieces.size() == 5 && pieces[3] == "opt";
    if (!fetch && !viewed && !opt) return Error(404, "No such path: " + std::string(route));
    if (method != "PUT") {
        return Error(405,
                     "Method " + std::string(method) + " not allowed on " + std::string(route));
    }
    if (pieces[0].empty() || pieces[1].empty()) {
        return Error(400, "Missing platform or account in " + std::string(route));
    }
    const std::string key = std::string(pieces[0]) + "/" + std::string(pieces[1]);
    if (fetch) return Fetch(key, body);
    if (viewed) return MarkViewed(key, body);
    return Opt(key, pieces[2], pieces[4]);
}

ProxyAnswer RemoteMissionsService::Fetch(const std::string& key, std::string_view body) {
    ConversionStatus eligibility = ParseJson(body);
    if (!eligibility.Ok()) {
        return Error(400, "Invalid eligibility data: " + std::string(eligibility.Error()));
    }
    Player& player = PlayerFor(key);
    player.eligibility = std::move(eligibility.Value());
    BringBackRepeating(player, Now());
    return ProxyAnswer{"200", StateJson(player), ""};
}

ProxyAnswer RemoteMissionsService::MarkViewed(const std::string& key, std::string_view body) {
    ConversionStatus ids = ParseJson(body);
    if (!ids.Ok() || (!ids.Value().IsEmpty() && ids.Value().Kind() != PropertyKind::kStructure)) {
        return Error(400,
                     "Invalid ids: " + std::string(ids.Ok() ? "expected an object" : ids.Error()));
    }
    const BindingProperty& missionIds = ids.Value().Member("missionIds");
    const BindingProperty& seriesIds = ids.Value().Member("seriesIds");
    Player& player = PlayerFor(key);
    const int64_t now = Now();
    for (BindingProperty& mission : player.missions.Elements()) {
        std::optional<std::string> id = ReadString(mission.Member("id"));
        if (!id || !ContainsText(missionIds, *id)) continue;
        SetMemberBool(mission, "viewed", true);
        SetMemberBool(mission, "isNew", false);
        SetMemberSigned(mission, "lastUpdatedTimestamp", now);
        ForEachProgress(mission, [](BindingProperty& progress) {
            const BindingProperty* current = progress.FindMember("currentProgress");
            if (current != nullptr) SetMember(progress, "lastViewedProgress", *current);
        });
    }
    for (BindingProperty& series : player.series.Elements()) {
        std::optional<std::string> id = ReadString(series.Member("id"));
        if (!id || !ContainsText(seriesIds, *id)) continue;
        SetMemberBool(series, "viewed", true);
        SetMemberSigned(series, "lastUpdatedTimestamp", now);
    }
    return ProxyAnswer{"200", StateJson(player), ""};
}

ProxyAnswer RemoteMissionsService::Opt(const std::string& key, std::string_view seriesId,
                                       std::string_view status) {
    Player& player = PlayerFor(key);
    for (BindingProperty& series : player.series.Elements()) {
        if (ReadString(series.Member("id")).value_or("") != seriesId) continue;
        SetMemberString(series, "status", status);
        SetMemberSigned(series, "lastUpdatedTimestamp", Now());
        return ProxyAnswer{"200", StateJson(player), ""};
    }
    return Error(404, "Unknown series '" + std::string(seriesId) + "'");
}

void RemoteMissionsService::BringBackRepeating(Player& player, int64_t now) {
    for (BindingProperty& mission : player.missions.Elements()) {
        if (ReadString(mission.Member("missionType")).value_or("") != "REPEATING") continue;
        const int64_t completed = ReadTime(mission, "completedDate", -1);
        if (completed == -1) continue;
        const int64_t cooldown = ReadTime(mission, "cooldownTimeMillis", -1);
        // The same test the client applies, without overflowing.
        const bool overflow =
            (cooldown > 0 && completed > std::numeric_limits<int64_t>::max() - cooldown) ||
            (cooldown < 0 && completed < std::numeric_limits<int64_t>::min() - cooldown);
        if (overflow || completed + cooldown >= now) continue;
        SetMemberSigned(mission, "completedDate", -1);
        SetMemberString(mission, "status", "PENDING");
        SetMemberBool(mission, "isNew", true);
        SetMemberBool(mission, "viewed", false);
        SetMemberSigned(mission, "lastUpdatedTimestamp", now);
        ForEachProgress(mission, [](BindingProperty& progress) {
            SetMemberSigned(progress, "currentProgress", 0);
            SetMemberSigned(progress, "lastViewedProgress", 0);
        });
        BindingProperty* rewards = mission.FindMember("rewards");
        if (rewards != nullptr) {
            for (BindingProperty& reward : rewards->Elements()) {
                if (reward.Kind() == PropertyKind::kStructure) {
                    SetMemberBool(reward, "rewardFulfilled", false);
                }
            }
        }
    }
}

std::string RemoteMissionsService::StateJson(const Player& player) const {
    BindingProperty response;
    Require(response.MakeStructure());
    SetMember(response, "playerMissions", player.missions);
    SetMember(response, "playerSeries", player.series);
    return ToJsonText(response);
}

bool RemoteMissionsService::SetMissions(const BindingProperty& list, std::string_view player,
                                        std::string& error) {
    BindingProperty normalised;
    if (!NormaliseList(list, kMissionFields, normalised, error)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!player.empty()) {
        PlayerFor(std::string(player)).missions = std::move(normalised);
        return true;
    }
    Require(templateMissions_.CopyFrom(normalised));
    for (auto& [key, state] : players_) Require(state.missions.CopyFrom(normalised));
    return true;
}

bool RemoteMissionsService::SetSeries(const BindingProperty& list, std::string_view player,
                                      std::string& error) {
    BindingProperty normalised;
    if (!NormaliseList(list, kSeriesFields, normalised, error)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!player.empty()) {
        PlayerFor(std::string(player)).series = std::move(normalised);
        return true;
    }
    Require(templateSeries_.CopyFrom(normalised));
    for (auto& [key, state] : players_) Require(state.series.CopyFrom(normalised));
    return true;
}

size_t RemoteMissionsService::CompleteMission(std::string_view id, std::string_view player) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int64_t now = Now();
    size_t changed = 0;
    const auto complete = [&](BindingProperty& missions) {
        for (BindingProperty& mission : missions.Elements()) {
            if (ReadString(mission.Member("id")).value_or("") != id) continue;
            SetMemberSigned(mission, "completedDate", now);
            SetMemberString(mission, "status", "COMPLETED");
            SetMemberBool(mission, "isNew", false);
            SetMemberSigned(mission, "lastUpdatedTimestamp", now);
            ForEachProgress(mission, [](BindingProperty& progress) {
                const BindingProperty* total = progress.FindMember("totalCount");
                if (total != nullptr) SetMember(progress, "currentProgress", *total);
            });
            BindingProperty* rewards = mission.FindMember("rewards");
            if (rewards != nullptr) {
                for (BindingProperty& reward : rewards->Elements()) {
                    if (reward.Kind() == PropertyKind::kStructure) {
                        SetMemberBool(reward, "rewardFulfilled", true);
                    }
                }
            }
            ++changed;
        }
    };
    if (!player.empty()) {
        complete(PlayerFor(std::string(player)).missions);
        return changed;
    }
    complete(templateMissions_);
    for (auto& [key, state] : players_) complete(state.missions);
    return changed;
}

std::optional<BindingProperty> RemoteMissionsService::PlayerState(std::string_view player) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = players_.find(player);
    if (it == players_.end()) return std::nullopt;
    BindingProperty state;
    Require(state.MakeStructure());
    SetMember(state, "playerMissions", it->second.missions);
    SetMember(state, "playerSeries", it->second.series);
    return state;
}

BindingProperty RemoteMissionsService::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    BindingProperty snapshot;
    Require(snapshot.MakeStructure());
    BindingProperty* latency = snapshot.MemberForWrite("latencyMs");
    if (latency != nullptr) latency->SetFloat(latencySeconds_ * 1000.0);
    BindingProperty* templ = snapshot.MemberForWrite("template");
    if (templ != nullptr) {
        SetMember(*templ, "missions", templateMissions_);
        SetMember(*templ, "series", templateSeries_);
    }
    BindingProperty* players = snapshot.MemberForWrite("players");
    if (players != nullptr) {
        Require(players->MakeStructure());
        for (const auto& [key, state] : players_) {
            BindingProperty* entry = players->MemberForWrite(key);
            if (entry == nullptr) continue;
            SetMember(*entry, "missions", state.missions);
            SetMember(*entry, "series", state.series);
            SetMember(*entry, "eligibility", state.eligibility);
        }
    }
    return snapshot;
}

}  // namespace Vane::DevHost
