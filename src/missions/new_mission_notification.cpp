#include "missions/new_mission_notification.h"

#include <string>

#include "log/logger.h"

namespace Vane::Client::Missions {
namespace {

bool Qualifies(const Api::Mission& mission) {
    return mission.isNew && mission.displayType == "ALWAYS" &&
           mission.clientNotifyLevel == "ALWAYS";
}

}  // namespace

std::optional<Api::MissionsNotificationResource> BuildNewMissionNotification(
    const std::vector<Api::Mission>& missions) {
    size_t count = 0;
    const Api::Mission* only = nullptr;
    for (const Api::Mission& mission : missions) {
        if (!Qualifies(mission)) continue;
        if (++count == 1) only = &mission;
    }
    if (count == 0) return std::nullopt;
    const bool single = count == 1;
    Api::MissionsNotificationResource notification;
    notification.source = "missions";
    notification.type = "new_mission";
    notification.iconUrl = "/fe/pyx-missions/RewardIcons_Mission.png";
    notification.titleKey = single ? "new_mission_title" : "new_mission_title_multi";
    notification.detailKey = single ? "new_mission_details" : "new_mission_details_multi";
    notification.data["quantity"] = std::to_string(count);
    notification.data["mission_title"] = single ? only->title : std::string();
    return notification;
}

std::optional<Api::MissionsNotificationResource> NotificationToPost(
    const std::vector<Api::MissionsNotificationResource>& existing,
    const Api::MissionsNotificationResource& fresh) {
    for (const Api::MissionsNotificationResource& held : existing) {
        if (held.source != fresh.source || held.type != fresh.type) continue;
        if (held.data == fresh.data) return std::nullopt;
        Api::MissionsNotificationResource refreshed = held;
        refreshed.data = fresh.data;
        refreshed.titleKey = fresh.titleKey;
        refreshed.detailKey = fresh.detailKey;
        refreshed.state = "unread";
        return refreshed;
    }
    return fresh;
}

void PostNotification(PluginBase& plugin, const Api::MissionsNotificationResource& notification) {
    MaybeType<Failure, std::vector<Api::MissionsNotificationResource>> existing =
        plugin.Requests().Request<std::vector<Api::MissionsNotificationResource>>(
            HttpMethod::kGet, kNotificationsPath);
    if (existing.IsFailure()) {
        Log(kLogError, 1, 0, "Failed to look up player notifications");
        return;
    }
    std::optional<Api::MissionsNotificationResource> post =
        NotificationToPost(existing.Value(), notification);
    if (!post) return;
    // Whether the post succeeded changes nothing here: the next fetch notifies afresh.
    static_cast<void>(plugin.Requests().RequestVoid(HttpMethod::kPost, kNotificationsPath, *post));
}

void NotifyNewMissions(PluginBase& plugin, const std::vector<Api::Mission>& missions) {
    std::optional<Api::MissionsNotificationResource> notification =
        BuildNewMissionNotification(missions);
    if (notification) PostNotification(plugin, *notification);
}

}  // namespace Vane::Client::Missions
