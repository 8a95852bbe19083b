// The one player notification that tells the player about new missions: built from a mission
// list, and created or refreshed in the player-notifications plugin.
#ifndef PYX_MISSIONS_NEW_MISSION_NOTIFICATION_H_
#define PYX_MISSIONS_NEW_MISSION_NOTIFICATION_H_

#include <optional>
#include <vector>

#include "missions/missions_records.h"
#include "plugin/plugin_base.h"

namespace Vane::Client::Missions {

inline constexpr const char* kNotificationsPath = "/player-notifications/v1/notifications";

// The notification for the missions of `missions` that are new and shown and notified always
// (`isNew`, `displayType` "ALWAYS", `clientNotifyLevel` "ALWAYS"): its quantity is their
// number and its mission title the title of the only one. None when no mission qualifies.
std::optional<Api::MissionsNotificationResource> BuildNewMissionNotification(
    const std::vector<Api::Mission>& missions);

// What to post for `fresh` given the player's `existing` notifications: `fresh` itself when
// none has the same source and type; nothing when the first such one already carries the same
// data; otherwise a copy of that one with the data and keys of `fresh`, marked "unread".
std::optional<Api::MissionsNotificationResource> NotificationToPost(
    const std::vector<Api::MissionsNotificationResource>& existing,
    const Api::MissionsNotificationResource& fresh);

// Reads the player's notifications and posts what NotificationToPost says. A failed read (or
// an answer that is not a list of notifications) logs "Failed to look up player notifications"
// and posts nothing; the post's own result is not looked at. Blocks for both requests.
void PostNotification(PluginBase& plugin, const Api::MissionsNotificationResource& notification);

// BuildNewMissionNotification, then PostNotification when there is one.
void NotifyNewMissions(PluginBase& plugin, const std::vector<Api::Mission>& missions);

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_NEW_MISSION_NOTIFICATION_H_
