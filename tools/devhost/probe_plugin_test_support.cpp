// A small plugin for the development host's own tests: it speaks the host ABI like the missions
// plugin does (export, callbacks, route table, subscriptions, requests, scheduled callbacks,
// fired events, log lines) and reports what it saw through its route GET /probe/v1/state, so
// the host can be tested without the missions plugin.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "pyx/host_abi.h"

namespace {

// ---- Host values built by the plugin (malloc'ed, released by the plugin) ----

HostValue Text(const std::string& text) {
    HostValue value{};
    value.type = kHostValueStringOwned;
    char* chars = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(chars, text.c_str(), text.size() + 1);
    value.payload.string = {chars, static_cast<uint32_t>(text.size())};
    return value;
}

HostValue Number(int64_t number) {
    HostValue value{};
    value.type = kHostValueSigned;
    value.payload.i64 = number;
    return value;
}

HostValue Flag(bool flag) {
    HostValue value{};
    value.type = kHostValueBool;
    value.payload.boolean = flag ? 1 : 0;
    return value;
}

HostValue List(const std::vector<HostValue>& items) {
    HostValue value{};
    value.type = kHostValueCollection;
    auto* array = static_cast<HostValue*>(std::calloc(items.size() + 1, sizeof(HostValue)));
    for (size_t i = 0; i < items.size(); ++i) array[i] = items[i];
    value.payload.collection = {array, static_cast<uint32_t>(items.size())};
    return value;
}

HostValue Object(const std::vector<std::pair<std::string, HostValue>>& members) {
    HostValue value{};
    value.type = kHostValueStructure;
    auto* array = static_cast<HostMember*>(std::calloc(members.size() + 1, sizeof(HostMember)));
    for (size_t i = 0; i < members.size(); ++i) {
        char* name = static_cast<char*>(std::malloc(members[i].first.size() + 1));
        std::memcpy(name, members[i].first.c_str(), members[i].first.size() + 1);
        array[i].name = name;
        array[i].value = members[i].second;
        array[i].ownsName = 1;
    }
    value.payload.structure = {array, static_cast<uint32_t>(members.size())};
    return value;
}

void Release(HostValue& value) {
    switch (value.type) {
        case kHostValueStringOwned:
            std::free(const_cast<char*>(value.payload.string.chars));
            break;
        case kHostValueCollection:
            for (uint32_t i = 0; i < value.payload.collection.count; ++i) {
                Release(value.payload.collection.items[i]);
            }
            std::free(value.payload.collection.items);
            break;
        case kHostValueStructure:
            for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
                HostMember& member = value.payload.structure.members[i];
                if (member.ownsName) std::free(const_cast<char*>(member.name));
                Release(member.value);
            }
            std::free(value.payload.structure.members);
            break;
        default:
            break;
    }
    value = HostValue{};
}

// ---- Reading host values (valid only during the call) ----

const HostValue* Member(const HostValue& value, const char* name) {
    if (value.type != kHostValueStructure) return nullptr;
    for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
        const HostMember& member = value.payload.structure.members[i];
        if (member.name != nullptr && std::strcmp(member.name, name) == 0) return &member.value;
    }
    return nullptr;
}

std::string TextOf(const HostValue* value) {
    if (value == nullptr ||
        (value->type != kHostValueStringBorrowed && value->type != kHostValueStringOwned)) {
        return "";
    }
    return std::string(value->payload.string.chars, value->payload.string.length);
}

int64_t NumberOf(const HostValue* value) {
    if (value == nullptr) return -1;
    if (value->type == kHostValueUnsigned) return static_cast<int64_t>(value->payload.u64);
    if (value->type == kHostValueSigned) return value->payload.i64;
    return -1;
}

// ---- The probe ----

struct Probe {
    std::mutex mutex;
    HostContext context{};
    std::thread::id thread;
    bool oneThread = true;
    int64_t sessionAccountId = -1;
    std::string uuid;
    std::string answerUuid;
    std::string answerStatus;
    std::vector<std::string> events;
    int64_t timerFired = 0;
    int64_t routeCalls = 0;
    int64_t releases = 0;
    bool badContext = false;
};

Probe probe;
int probeObject = 0;  // the plugin object the host hands back

void Enter() {
    std::lock_guard<std::mutex> lock(probe.mutex);
    if (probe.thread == std::thread::id()) probe.thread = std::this_thread::get_id();
    if (probe.thread != std::this_thread::get_id()) probe.oneThread = false;
}

const HostCore& Core() {
    return *probe.context.core;
}

void Log(const char* message, int32_t level) {
    Core().log(&Core(), message, level);
}

void Fire(const char* name, HostValue payload) {
    HostOutgoingEvent event{};
    event.eventName = name;
    event.payload = payload;
    Core().fireEvent(&Core(), &event);
    Release(event.payload);
}

// Records the event; a resource event is also answered by firing "OnProbeSaw" {"uri"}.
void PYX_CDECL OnEvent(const HostIncomingEvent* event) {
    Enter();
    const std::string name = event->eventName;
    const std::string uri = TextOf(Member(event->payload, "uri"));
    {
        std::lock_guard<std::mutex> lock(probe.mutex);
        if (event->context != &probe) probe.badContext = true;
        if (name == "OnServiceProxyUuidEvent") {
            probe.answerUuid = TextOf(Member(event->payload, "uuid"));
            probe.answerStatus = TextOf(Member(event->payload, "status"));
        }
        probe.events.push_back(name + " " + uri + " " +
                               TextOf(Member(event->payload, "eventType")));
    }
    if (name.rfind("OnJsonApiEvent", 0) == 0) Fire("OnProbeSaw", Object({{"uri", Text(uri)}}));
}

void PYX_CDECL OnTimer(void* context) {
    Enter();
    int64_t fired = 0;
    {
        std::lock_guard<std::mutex> lock(probe.mutex);
        if (context != &probe) probe.badContext = true;
        fired = ++probe.timerFired;
    }
    Fire("OnProbeTimer", Object({{"fired", Number(fired)}}));
    if (fired < 3) Core().schedule(&Core(), "probe-timer", &OnTimer, &probe, 0.05, 0);
}

// ---- Routes ----

enum RouteId { kState, kFail, kEcho, kStream };
int routeIds[] = {kState, kFail, kEcho, kStream};

struct Stream {
    std::string data;
    size_t offset = 0;
};

uint8_t PYX_CDECL ReadStream(void* context, char* buffer, uint32_t* count, uint8_t* more) {
    auto* stream = static_cast<Stream*>(context);
    const size_t n = std::min<size_t>(*count, stream->data.size() - stream->offset);
    std::memcpy(buffer, stream->data.data() + stream->offset, n);
    stream->offset += n;
    *count = static_cast<uint32_t>(n);
    *more = stream->offset < stream->data.size() ? 1 : 0;
    return 1;
}

void PYX_CDECL ReleaseStream(void* context) {
    delete static_cast<Stream*>(context);
}

void PYX_CDECL ReleaseResponse(HostRouteResponse* response) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex);
        ++probe.releases;
    }
    Release(response->value);
    std::free(const_cast<char*>(response->error));
    std::memset(response, 0, sizeof(*response));
}

char* Duplicate(const char* text) {
    char* copy = static_cast<char*>(std::malloc(std::strlen(text) + 1));
    std::strcpy(copy, text);
    return copy;
}

void PYX_CDECL OnRoute(HostRouteResponse* response, const HostRouteRequest* request) {
    Enter();
    response->release = &ReleaseResponse;
    std::lock_guard<std::mutex> lock(probe.mutex);
    ++probe.routeCalls;
    switch (*static_cast<int*>(request->context)) {
        case kState: {
            std::vector<HostValue> events;
            for (const std::string& event : probe.events) events.push_back(Text(event));
            response->value = Object({{"sessionAccountId", Number(probe.sessionAccountId)},
                                      {"uuid", Text(probe.uuid)},
                                      {"answerUuid", Text(probe.answerUuid)},
                                      {"answerStatus", Text(probe.answerStatus)},
                                      {"timerFired", Number(probe.timerFired)},
                                      {"routeCalls", Number(probe.routeCalls)},
                                      {"releases", Number(probe.releases)},
                                      {"oneThread", Flag(probe.oneThread)},
                                      {"badContext", Flag(probe.badContext)},
                                      {"events", List(events)}});
            break;
        }
        case kFail:
            response->error = Duplicate("Probe failure");
            response->errorFlag = 1;
            response->status = 418;
            break;
        case kEcho:
            response->value =
                Object({{"path", Text(request->path)},
                        {"method", Number(request->method)},
                        {"contentType", Text(request->contentType ? request->contentType : "")},
                        {"body", Text(std::string(reinterpret_cast<const char*>(request->body),
                                                  request->body ? request->bodyLength : 0))}});
            break;
        case kStream: {
            auto* stream = new Stream();
            stream->data = "[";
            for (int i = 0; i < 30000; ++i) stream->data += "7,";
            stream->data += "7]";
            response->streamObject = stream;
            response->streamRead = &ReadStream;
            response->streamRelease = &ReleaseStream;
            break;
        }
    }
}

HostRouteRecord routes[4];
HostApiTable api;

void BuildRoutes() {
    const struct {
        const char* name;
        const char* url;
        uint32_t method;
    } table[] = {{"GetProbeV1State", "/probe/v1/state", 2},
                 {"PostProbeV1Fail", "/probe/v1/fail", 6},
                 {"PutProbeV1EchoById", "/probe/v1/echo/{id}", 7},
                 {"GetProbeV1Stream", "/probe/v1/stream", 2}};
    for (int i = 0; i < 4; ++i) {
        routes[i] = HostRouteRecord{};
        routes[i].function.name = table[i].name;
        routes[i].function.context = &routeIds[i];
        routes[i].requestCallback = &OnRoute;
        routes[i].url = table[i].url;
        routes[i].method = table[i].method;
    }
    api = HostApiTable{};
    api.routes = routes;
    api.routeCount = 4;
}

// ---- Callbacks ----

uint8_t PYX_CDECL Initialise(void* plugin, const HostContext* context) {
    Enter();
    if (plugin != &probeObject) return 0;
    probe.context = *context;
    const HostCore& core = Core();
    core.subscribe(&core, "OnJsonApiEvent_pyx-login_v1_session", context->pluginHandle, &OnEvent,
                   &probe, 0);
    core.subscribe(&core, "OnServiceProxyUuidEvent", context->pluginHandle, &OnEvent, &probe, 1);

    HostRequestRecord request{};
    request.method = 2;
    request.url = "/pyx-login/v1/session";
    request.pluginHandle = context->pluginHandle;
    HostResponseArea response{};
    core.request(&core, &response, &request);
    if (response.error == nullptr) {
        probe.sessionAccountId = NumberOf(Member(response.body, "accountId"));
    }

    HostValue envelope = Text(
        R"({"body":"{}","headers":{},"method":"PUT","path":"/missions/v3/player/XX1/1?locale="})");
    HostArgument arguments[3] = {
        {nullptr, Text("missions.server")}, {nullptr, Text("missions")}, {nullptr, envelope}};
    request = HostRequestRecord{};
    request.method = 6;
    request.url = "/pyx-login/v1/service-proxy-uuid-requests";
    request.arguments = arguments;
    request.argumentCount = 3;
    request.pluginHandle = context->pluginHandle;
    response = HostResponseArea{};
    core.request(&core, &response, &request);
    probe.uuid = response.error == nullptr ? TextOf(&response.body) : "";
    for (HostArgument& argument : arguments) Release(argument.value);

    core.schedule(&core, "probe-timer", &OnTimer, &probe, 0.05, 0);
    core.label(&core, "Wait: yield", 0);
    core.yield(&core);
    Log("probe: started", 1);
    return 1;
}

void PYX_CDECL Shutdown(void* plugin) {
    Enter();
    if (plugin != &probeObject) return;
    const HostCore& core = Core();
    core.unsubscribe(&core, "OnJsonApiEvent_pyx-login_v1_session", probe.context.pluginHandle);
    core.unsubscribe(&core, "OnServiceProxyUuidEvent", probe.context.pluginHandle);
    Log("probe: shut down", 3);
}

void PYX_CDECL MemoryStatistics(void*, uint32_t out[14]) {
    for (int i = 0; i < 14; ++i) out[i] = 0;
    out[4] = 1234;  // counter 2, bytes allocated in total: low word
}

const PluginCallbacks callbacks = {&Initialise, &Shutdown, &MemoryStatistics};

}  // namespace

extern "C" PYX_EXPORT void PYX_CDECL load_pyx_missions(PluginLoadRecord* record) {
    if (record->apiMajor != 18) std::abort();  // as the real plugin ends an incompatible core
    BuildRoutes();
    record->apiMajor = 18;
    record->apiMinor = 0;
    record->apiPatch = 0;
    record->callbacks = &callbacks;
    record->plugin = &probeObject;
    record->shortName = "probe";
    record->apiTable = &api;
}
