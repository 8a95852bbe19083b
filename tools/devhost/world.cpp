#include "devhost/world.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "devhost/gameflow_phase.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr std::string_view kUuidRequestPath = "/pyx-login/v1/service-proxy-uuid-requests";
constexpr std::string_view kMethodRequestPath = "/pyx-login/v1/service-proxy-method-requests";
constexpr std::string_view kRegistrationPrefix = "/pyx-pre-end-of-game/v1/registration/";
constexpr std::string_view kTelemetryPrefix = "/telemetry/v1/events/";

constexpr uint32_t kDelete = 1;
constexpr uint32_t kGet = 2;
constexpr uint32_t kPost = 6;

const char* MethodText(uint32_t method) {
    static constexpr const char* kNames[] = {"?",     "DELETE", "GET", "HEAD",  "OPTIONS",
                                             "PATCH", "POST",   "PUT", "CUSTOM"};
    return method < 9 ? kNames[method] : "?";
}

RequestAnswer Failed(int32_t status, std::string text) {
    RequestAnswer answer;
    answer.status = status;
    answer.error = std::move(text);
    return answer;
}

RequestAnswer NotFound(uint32_t method, std::string_view url) {
    return Failed(404, std::string("Not found: ") + MethodText(method) + " " + std::string(url));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

BindingProperty ObjectValue() {
    BindingProperty value;
    Require(value.MakeStructure());
    return value;
}

}  // namespace

World::World(const Scenario& scenario, ResourceStore::Listener listener, DeferredEvent deferred,
             Clock clock)
    : clock_(std::move(clock)),
      deferred_(std::move(deferred)),
      player_(scenario.player),
      summonerLevel_(scenario.summonerLevel),
      remote_(scenario.remoteMissions, scenario.remoteSeries, scenario.remoteLatencySeconds,
              clock_),
      random_(std::random_device{}()) {
    Require(champions_.CopyFrom(scenario.champions));
    Require(wardSkins_.CopyFrom(scenario.wardSkins));
    Require(summonerIcons_.CopyFrom(scenario.summonerIcons));

    std::map<std::string, BindingProperty> start;
    for (const auto& [key, value] : scenario.config) {
        start[std::string(kConfigPrefix) + key] = value;
    }
    if (start.count(std::string(kPlatformIdPath)) == 0) {
        start[std::string(kPlatformIdPath)] = StringValue(player_.platformId);
    }
    BindingProperty complete;
    complete.SetBool(scenario.configurationComplete);
    start["/pyx-platform-config/v1/initial-configuration-complete"] = complete;

    BindingProperty token = ObjectValue();
    SetMemberString(token, "accessToken", "devhost-access-token");
    SetMemberString(token, "token", "devhost-entitlements-token");
    SetMemberString(token, "subject", std::to_string(player_.accountId));
    BindingProperty* entitlements = token.MemberForWrite("entitlements");
    if (entitlements != nullptr) {
        Require(entitlements->MakeCollection());
        for (const std::string& entitlement : player_.entitlements) {
            BindingProperty* item = entitlements->AppendElement();
            if (item != nullptr) Require(item->SetString(entitlement));
        }
    }
    start["/entitlements/v1/token"] = token;

    BindingProperty regionLocale = ObjectValue();
    SetMemberString(regionLocale, "locale", player_.locale);
    SetMemberString(regionLocale, "region", player_.region);
    start["/vaneclient/region-locale"] = regionLocale;

    BindingProperty gameflow = ObjectValue();
    SetMemberString(gameflow, "phase", scenario.gameflowPhase);
    start[std::string(kGameflowSessionPath)] = gameflow;

    start[std::string(kNotificationsPath)] = scenario.notifications;
    if (player_.loggedIn) {
        for (auto& [path, value] : InventoryResources(player_.summonerId, player_.accountId)) {
            start[path] = std::move(value);
        }
        start[std::string(kSessionPath)] =
            SessionValue(player_.accountId, player_.summonerId, player_.platformId);
    }
    for (const auto& [path, value] : scenario.resources) {
        if (value.IsEmpty()) {
            start.erase(path);
        } else {
            start[path] = value;
        }
    }
    for (const auto& [path, value] : start) resources_.Set(path, value);
    resources_.SetListener(std::move(listener));
}

int64_t World::Now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

BindingProperty World::SessionValue(uint64_t accountId, uint64_t summonerId,
                                    const std::string& platformId) const {
    BindingProperty session = ObjectValue();
    SetMemberUnsigned(session, "accountId", accountId);
    SetMemberUnsigned(session, "summonerId", summonerId);
    SetMemberString(session, "platformId", platformId);
    SetMemberString(session, "state", "SUCCEEDED");
    SetMemberBool(session, "connected", true);
    return session;
}

std::map<std::string, BindingProperty> World::InventoryResources(uint64_t summonerId,
                                                                 uint64_t accountId) const {
    const std::string id = std::to_string(summonerId);
    std::map<std::string, BindingProperty> out;
    Require(out["/pyx-champions/v1/inventories/" + id + "/champions"].CopyFrom(champions_));
    Require(out["/pyx-collections/v1/inventories/" + id + "/ward-skins"].CopyFrom(wardSkins_));
    BindingProperty icons = ObjectValue();
    SetMemberUnsigned(icons, "summonerId", summonerId);
    SetMember(icons, "icons", summonerIcons_);
    out["/pyx-collections/v1/inventories/" + id + "/summoner-icons"] = std::move(icons);
    BindingProperty summoner = ObjectValue();
    SetMemberUnsigned(summoner, "summonerId", summonerId);
    SetMemberUnsigned(summoner, "accountId", accountId);
    SetMemberSigned(summoner, "summonerLevel", summonerLevel_);
    SetMemberString(summoner, "displayName", "Player " + id);
    out["/pyx-summoner/v1/summoners/" + id] = std::move(summoner);
    return out;
}

RequestAnswer World::Answer(uint32_t method, std::string_view url,
                            const std::vector<RequestArgument>& arguments) {
    const std::string_view path = url.substr(0, url.find('?'));
    if (method == kPost && path == kUuidRequestPath) return ServiceProxy(true, arguments);
    if (method == kPost && path == kMethodRequestPath) return ServiceProxy(false, arguments);
    if (method == kPost && path == kNotificationsPath) return PostNotification(arguments);
    if ((method == kPost || method == kDelete) && StartsWith(path, kRegistrationPrefix)) {
        return Registration(method, path.substr(kRegistrationPrefix.size()));
    }
    if (method == kPost && StartsWith(path, kTelemetryPrefix) &&
        path.size() > kTelemetryPrefix.size()) {
        BindingProperty entry = ObjectValue();
        SetMemberSigned(entry, "time", Now());
        SetMemberString(entry, "name", path.substr(kTelemetryPrefix.size()));
        BindingProperty* parameters = entry.MemberForWrite("parameters");
        if (parameters != nullptr && !arguments.empty())
            Require(parameters->CopyFrom(arguments[0].value));
        telemetry_.Add(std::move(entry));
        RequestAnswer answer;
        answer.status = 204;
        return answer;
    }
    if (method == kGet) {
        std::optional<BindingProperty> value = resources_.Get(path);
        if (!value) return Failed(404, "Resource not found: " + std::string(path));
        RequestAnswer answer;
        answer.body = std::move(*value);
        return answer;
    }
    return NotFound(method, url);
}

RequestAnswer World::ServiceProxy(bool uuidBased, const std::vector<RequestArgument>& arguments) {
    const size_t expected = uuidBased ? 3 : 4;
    std::vector<std::string> texts;
    for (const RequestArgument& argument : arguments) {
        std::optional<std::string> text = ReadString(argument.value);
        if (!text || !argument.name.empty()) break;
        texts.push_back(*text);
    }
    if (texts.size() != expected || arguments.size() != expected) {
        return Failed(400, uuidBased ? "Expected three positional strings: service name, method "
                                       "name, payload"
                                     : "Expected four positional strings: service name, method "
                                       "name, answer method name, payload");
    }
    const std::string& service = texts[0];
    const std::string& method = texts[1];
    const std::string& payload = texts[uuidBased ? 2 : 3];
    ProxyAnswer reply;
    if (service == RemoteMissionsService::kServiceName) {
        reply = remote_.Handle(method, payload);
    } else {
        reply = ProxyAnswer{"404", "", "Unknown service '" + service + "'"};
    }
    RequestAnswer answer;
    std::string uuid;
    if (uuidBased) {
        std::lock_guard<std::mutex> lock(mutex_);
        uuid = NewUuid();
        answer.body = StringValue(uuid);
    }
    BindingProperty event = ObjectValue();
    SetMemberString(event, "uuid", uuid);
    SetMemberString(event, "serviceName", service);
    SetMemberString(event, "methodName", uuidBased ? method : texts[2]);
    SetMemberString(event, "payload", reply.payload);
    SetMemberString(event, "status", reply.status);
    SetMemberString(event, "error", reply.error);
    if (deferred_) {
        deferred_(remote_.LatencySeconds(),
                  uuidBased ? "OnServiceProxyUuidEvent" : "OnServiceProxyMethodEvent",
                  std::move(event));
    }
    return answer;
}

RequestAnswer World::PostNotification(const std::vector<RequestArgument>& arguments) {
    if (arguments.size() != 1 || arguments[0].value.Kind() != PropertyKind::kStructure) {
        return Failed(400, "Expected one notification object");
    }
    BindingProperty stored;
    resources_.Edit(std::string(kNotificationsPath), [&](BindingProperty& list) {
        if (list.Kind() != PropertyKind::kCollection) Require(list.MakeCollection());
        uint64_t highest = 0;
        for (const BindingProperty& item : list.Elements()) {
            highest = std::max(highest, ReadUint64(item.Member("id")).value_or(0));
        }
        BindingProperty notification;
        Require(notification.CopyFrom(arguments[0].value));
        const uint64_t id = ReadUint64(notification.Member("id")).value_or(0);
        if (id != 0) {
            for (BindingProperty& item : list.Elements()) {
                if (ReadUint64(item.Member("id")).value_or(0) != id) continue;
                Require(item.CopyFrom(notification));
                Require(stored.CopyFrom(notification));
                return true;
            }
        } else {
            SetMemberUnsigned(notification, "id", highest + 1);
        }
        BindingProperty* slot = list.AppendElement();
        if (slot == nullptr) return false;
        Require(slot->CopyFrom(notification));
        Require(stored.CopyFrom(notification));
        return true;
    });
    RequestAnswer answer;
    answer.body = std::move(stored);
    return answer;
}

RequestAnswer World::Registration(uint32_t method, std::string_view rest) {
    const size_t slash = rest.find('/');
    const std::string name(rest.substr(0, slash));
    if (name.empty()) return Failed(400, "Missing registration name");
    int64_t priority = 0;
    if (slash != std::string_view::npos) {
        const std::string text(rest.substr(slash + 1));
        char* end = nullptr;
        priority = std::strtoll(text.c_str(), &end, 10);
        if (method != kPost || text.empty() || end == nullptr || *end != '\0') {
            return Failed(404, std::string("Not found: ") + MethodText(method) + " " +
                                   std::string(kRegistrationPrefix) + std::string(rest));
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    RequestAnswer answer;
    answer.status = 204;
    if (method == kPost) {
        registrations_[name] = priority;
    } else if (registrations_.erase(name) == 0) {
        return Failed(404, "Not registered: " + name);
    }
    return answer;
}

std::string World::NewUuid() {
    const uint64_t high = (random_() & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;
    const uint64_t low = (random_() & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;
    char text[40];
    std::snprintf(text, sizeof(text), "%08x-%04x-%04x-%04x-%012llx",
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

BindingProperty World::Login(const LoginRequest& request) {
    uint64_t accountId = player_.accountId;
    uint64_t summonerId = player_.summonerId;
    std::string platformId = player_.platformId;
    if (std::optional<BindingProperty> session = resources_.Get(kSessionPath)) {
        accountId = ReadUint64(session->Member("accountId")).value_or(accountId);
        summonerId = ReadUint64(session->Member("summonerId")).value_or(summonerId);
        platformId = ReadString(session->Member("platformId")).value_or(platformId);
    }
    if (request.accountId) accountId = *request.accountId;
    if (request.summonerId) summonerId = *request.summonerId;
    if (request.platformId) platformId = *request.platformId;

    std::optional<BindingProperty> platform = resources_.Get(kPlatformIdPath);
    if (!platform || ReadString(*platform).value_or("") != platformId) {
        resources_.Set(std::string(kPlatformIdPath), StringValue(platformId));
    }
    for (const auto& [path, value] : InventoryResources(summonerId, accountId)) {
        if (!resources_.Get(path)) resources_.Set(path, value);
    }
    BindingProperty session = SessionValue(accountId, summonerId, platformId);
    resources_.Set(std::string(kSessionPath), session);
    return session;
}

bool World::Logout() {
    return resources_.Delete(kSessionPath);
}

bool World::SetGameflowPhase(std::string_view phase) {
    if (!IsGameflowPhase(phase)) return false;
    BindingProperty session = ObjectValue();
    SetMemberString(session, "phase", phase);
    resources_.Set(std::string(kGameflowSessionPath), session);
    return true;
}

ResourceEventType World::PushPlayerUpdate(const BindingProperty& data) {
    BindingProperty message;
    if (data.IsEmpty()) {
        message = ObjectValue();
        SetMemberSigned(message, "timestamp", Now());
    } else {
        Require(message.CopyFrom(data));
    }
    return resources_.Set(std::string(kPlayerUpdatePath), message);
}

BindingProperty World::Registrations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    BindingProperty result = ObjectValue();
    for (const auto& [name, priority] : registrations_) SetMemberSigned(result, name, priority);
    return result;
}

}  // namespace Vane::DevHost
