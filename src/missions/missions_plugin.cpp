#include "missions/missions_plugin.h"

#include <exception>

#include "api/typed_handler.h"
#include "log/logger.h"

namespace Vane::Client::Missions {
namespace {

constexpr const char* kMissionsRoute = "/pyx-missions/v1/missions";
constexpr const char* kSeriesRoute = "/pyx-missions/v1/series/";
constexpr const char* kPlayerRoute = "/pyx-missions/v1/player";
constexpr const char* kForceRoute = "/pyx-missions/v1/force";

// The resources the feature follows, in the order Start subscribes to them.
constexpr const char* kConfigurationCompletePath =
    "/pyx-platform-config/v1/initial-configuration-complete";
constexpr const char* kMissionsEnabledPath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled";
constexpr const char* kFrontEndEnabledPath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsFrontEndEnabled";
constexpr const char* kPollingTimePath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsPollingTime";
constexpr const char* kCooldownPollingTimePath =
    "/pyx-platform-config/v1/namespaces/Missions/MissionsCooldownPollingTime";
constexpr const char* kEntitlementsPath = "/entitlements/v1/token";
constexpr const char* kLoginSessionPath = "/pyx-login/v1/session";
constexpr const char* kPlatformIdPath =
    "/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId";
constexpr const char* kGameflowSessionPath = "/pyx-gameflow/v1/session";
constexpr const char* kPlayerUpdatePath = "/vane-messaging-service/v1/message/missions/v1/player";
constexpr const char* kRegionLocalePath = "/vaneclient/region-locale";

}  // namespace

MissionsPlugin::MissionsPlugin() : service_(std::make_shared<MissionsService>(*this)) {}

MissionsPlugin::~MissionsPlugin() = default;

void MissionsPlugin::RegisterApi() {
    MaybeType<Failure, void> types = RegisterMissionsTypes(Types(), remoteNames_);
    if (types.IsFailure()) {
        Log(kLogError, 1, 0, "%s: %s", ShortName().c_str(), types.GetFailure().Message().c_str());
    }
    LocalApi& api = Api();
    const MaybeType<Failure, const RouteBinding*> routes[] = {
        RegisterRoute(api, HttpMethod::kGet, kMissionsRoute, &MissionsService::Missions, service_),
        RegisterRoute(api, HttpMethod::kGet, kSeriesRoute, &MissionsService::SeriesList, service_),
        RegisterRoute(api, HttpMethod::kPut, kPlayerRoute, &MissionsService::MarkViewed, service_,
                      {{"ids", ArgumentLocation::kBody}}),
        RegisterRoute(api, HttpMethod::kPost, kForceRoute, &MissionsService::Force, service_),
        RegisterRoute(api, HttpMethod::kPatch, kPlayerRoute, &MissionsService::Opt, service_,
                      {{"series", ArgumentLocation::kBody}}),
    };
    for (const auto& route : routes) {
        if (route.IsFailure()) {
            Log(kLogError, 1, 0, "%s: %s", ShortName().c_str(),
                route.GetFailure().Message().c_str());
        }
    }
}

bool MissionsPlugin::Start() {
    serviceTarget_ = std::make_shared<ServiceTarget>(
        ServiceTarget{this, kMissionsServiceName, kMissionsMethodName});
    service_->SetServiceTarget(serviceTarget_);

    using Value = std::optional<BindingProperty>;
    auto rule = [this](void (MissionsPlugin::*member)(const Value&)) {
        return ResourceWatcher::Observer<BindingProperty>(
            [this, member](const std::string&, const Value& value) { (this->*member)(value); });
    };
    Resources().Observe<BindingProperty>(kConfigurationCompletePath,
                                         rule(&MissionsPlugin::OnConfigurationComplete));
    Resources().Observe<BindingProperty>(kMissionsEnabledPath,
                                         rule(&MissionsPlugin::OnMissionsEnabled));
    Resources().Observe<BindingProperty>(kFrontEndEnabledPath,
                                         rule(&MissionsPlugin::OnFrontEndEnabled));
    Resources().Observe<BindingProperty>(kPollingTimePath, rule(&MissionsPlugin::OnPollingTime));
    Resources().Observe<BindingProperty>(kCooldownPollingTimePath,
                                         rule(&MissionsPlugin::OnCooldownPollingTime));
    Resources().Observe<Api::EntitlementsTokenResource>(
        kEntitlementsPath,
        [this](const std::string&, const std::optional<Api::EntitlementsTokenResource>& token) {
            OnEntitlements(token);
        });
    Resources().Observe<Api::LoginSession>(
        kLoginSessionPath,
        [this](const std::string&, const std::optional<Api::LoginSession>& session) {
            OnLoginSession(session);
        });
    Resources().Observe<BindingProperty>(kPlatformIdPath, rule(&MissionsPlugin::OnPlatformId));
    Resources().Observe<Api::GameflowSession>(
        kGameflowSessionPath,
        [this](const std::string&, const std::optional<Api::GameflowSession>& session) {
            OnGameflowSession(session);
        });
    // A pushed update is only a trigger: whatever it carries, deletions included, fetches.
    Resources().Observe<BindingProperty>(
        kPlayerUpdatePath,
        [service = service_](const std::string&, const Value&) { service->RequestFetch(); });
    Resources().Observe<BindingProperty>(kRegionLocalePath, rule(&MissionsPlugin::OnRegionLocale));
    return true;
}

void MissionsPlugin::Shutdown() {
    PluginBase::Shutdown();
    Timers().StopTimer(pollTimerName_);
}

}  // namespace Vane::Client::Missions
