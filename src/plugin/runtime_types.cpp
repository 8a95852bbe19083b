#include "plugin/runtime_types.h"

namespace Vane {

void DescribeType(RecordBuilder<PluginManagerState>& r) {
    r.Name("PluginManagerState").Tag(kRuntimeOwner);
    r.Enumerator("NotReady", PluginManagerState::NotReady);
    r.Enumerator("PluginsInitialized", PluginManagerState::PluginsInitialized);
}

void DescribeType(RecordBuilder<PluginManagerResource>& r) {
    r.Name("PluginManagerResource").Tag(kRuntimeOwner);
    r.Field("state", &PluginManagerResource::state);
}

void DescribeType(RecordBuilder<PluginResourceEventType>& r) {
    r.Name("PluginResourceEventType").Tag(kRuntimeOwner);
    r.Enumerator("Create", PluginResourceEventType::Create);
    r.Enumerator("Update", PluginResourceEventType::Update);
    r.Enumerator("Delete", PluginResourceEventType::Delete);
}

void DescribeType(RecordBuilder<PluginResourceEvent>& r) {
    r.Name("PluginResourceEvent").Tag(kRuntimeOwner);
    r.Field("uri", &PluginResourceEvent::uri);
    r.Field("eventType", &PluginResourceEvent::eventType);
    r.Field("data", &PluginResourceEvent::data);
}

void DescribeType(RecordBuilder<PluginLcdsEvent>& r) {
    r.Name("PluginLcdsEvent").Tag(kRuntimeOwner);
    r.Field("clientId", &PluginLcdsEvent::clientId);
    r.Field("subtopic", &PluginLcdsEvent::subtopic);
    r.Field("typeName", &PluginLcdsEvent::typeName);
    r.Field("body", &PluginLcdsEvent::body);
}

void DescribeType(RecordBuilder<PluginLcdsResponse>& r) {
    r.Name("PluginLcdsResponse").Tag(kRuntimeOwner);
    r.Field("typeName", &PluginLcdsResponse::typeName);
    r.Field("body", &PluginLcdsResponse::body);
}

void DescribeType(RecordBuilder<PluginServiceProxyResponse>& r) {
    r.Name("PluginServiceProxyResponse").Tag(kRuntimeOwner);
    r.Field("uuid", &PluginServiceProxyResponse::uuid);
    r.Field("serviceName", &PluginServiceProxyResponse::serviceName);
    r.Field("methodName", &PluginServiceProxyResponse::methodName);
    r.Field("payload", &PluginServiceProxyResponse::payload);
    r.Field("status", &PluginServiceProxyResponse::status);
    r.Field("error", &PluginServiceProxyResponse::error);
}

namespace {

template <class Payload>
bool RegisterEvent(TypeRegistry& registry, std::string_view name, std::string_view description) {
    EventBuilder event = BeginEvent<Payload>(registry, name);
    if (!event.Ok()) return false;
    if (!event.AlreadyRegistered()) event.Description(description).Tag(kRuntimeOwner);
    return event.Ok();
}

}  // namespace

bool RegisterRuntimeTypes(TypeRegistry& registry) noexcept {
    bool ok = RegisterType<PluginManagerState>(registry) != nullptr;
    ok = RegisterType<PluginManagerResource>(registry) != nullptr && ok;
    ok = RegisterType<PluginResourceEventType>(registry) != nullptr && ok;
    ok = RegisterType<PluginResourceEvent>(registry) != nullptr && ok;
    ok = RegisterType<PluginLcdsEvent>(registry) != nullptr && ok;
    ok = RegisterType<PluginLcdsResponse>(registry) != nullptr && ok;
    ok = RegisterType<PluginServiceProxyResponse>(registry) != nullptr && ok;
    ok = RegisterEvent<PluginResourceEvent>(registry, "OnJsonApiEvent",
                                            "Fired when a resource is changed.") &&
         ok;
    ok = RegisterEvent<PluginLcdsEvent>(
             registry, "OnLcdsEvent",
             "Fired when a message is received over the LCDS connection.") &&
         ok;
    ok = RegisterEvent<PluginServiceProxyResponse>(
             registry, "OnServiceProxyUuidEvent",
             "Fired when a uuid-based service proxy message is received.") &&
         ok;
    ok = RegisterEvent<PluginServiceProxyResponse>(
             registry, "OnServiceProxyMethodEvent",
             "Fired when a method-based service proxy message is received.") &&
         ok;
    ok = RegisterEvent<PluginServiceProxyResponse>(
             registry, "OnServiceProxyAsyncEvent",
             "Fired when an async service proxy message is received.") &&
         ok;
    return ok;
}

}  // namespace Vane
