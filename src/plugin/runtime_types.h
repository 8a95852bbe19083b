// The records and events of the plugin runtime itself, registered with every plugin's API
// under the owner "vclient".
#ifndef PYX_PLUGIN_RUNTIME_TYPES_H_
#define PYX_PLUGIN_RUNTIME_TYPES_H_

#include <string>

#include "types/record_description.h"
#include "types/type_registry.h"
#include "value/binding_property.h"

namespace Vane {

enum class PluginManagerState : int32_t { NotReady = 0, PluginsInitialized = 1 };

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : int32_t { Create = 0, Update = 1, Delete = 2 };

// One change of a resource, received or published.
struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

struct PluginLcdsEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

struct PluginLcdsResponse {
    std::string typeName;
    BindingProperty body;
};

// The answer of a service-proxy request (or an unsolicited service event).
struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

void DescribeType(RecordBuilder<PluginManagerState>& r);
void DescribeType(RecordBuilder<PluginManagerResource>& r);
void DescribeType(RecordBuilder<PluginResourceEventType>& r);
void DescribeType(RecordBuilder<PluginResourceEvent>& r);
void DescribeType(RecordBuilder<PluginLcdsEvent>& r);
void DescribeType(RecordBuilder<PluginLcdsResponse>& r);
void DescribeType(RecordBuilder<PluginServiceProxyResponse>& r);

// The owner name of the runtime's types and events.
inline constexpr const char* kRuntimeOwner = "vclient";

// Registers the runtime types and the five runtime events ("OnJsonApiEvent", "OnLcdsEvent",
// "OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent") with
// `registry`. Registering again changes nothing. False when a registration failed.
bool RegisterRuntimeTypes(TypeRegistry& registry) noexcept;

}  // namespace Vane

#endif  // PYX_PLUGIN_RUNTIME_TYPES_H_
