// Where the feature's remote calls go: the plugin that sends them through its service proxy,
// and the remote service and method that receive them.
#ifndef PYX_MISSIONS_SERVICE_TARGET_H_
#define PYX_MISSIONS_SERVICE_TARGET_H_

#include <string>

#include "plugin/plugin_base.h"

namespace Vane::Client::Missions {

struct ServiceTarget {
    PluginBase* plugin = nullptr;
    std::string serviceName;
    std::string methodName;
};

// The remote missions service every call of the feature goes to.
inline constexpr const char* kMissionsServiceName = "missions.server";
inline constexpr const char* kMissionsMethodName = "missions";

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_SERVICE_TARGET_H_
