#include "devhost/dev_host.h"

#include <cstdio>
#include <ctime>
#include <thread>

#include "devhost/endpoints.h"
#include "devhost/openapi_document.h"
#include "devhost/system_status.h"
#include "devhost/value_access.h"
#include "host/host_value.h"

namespace Vane::DevHost {
namespace {

int64_t NowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The level names of the plugin's log lines, as its own log writes them.
const char* LevelName(int32_t level) {
    static constexpr const char* kNames[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
    return level >= 0 && level < 4 ? kNames[level] : "     ?";
}

std::string ClockText(int64_t millis) {
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);  // Windows' reentrant form, arguments the other way round
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis % 1000));
    return text;
}

// A copy of a value the plugin handed over; unreadable values become {"unreadable": why}.
BindingProperty CopyOf(const HostValue& value) {
    BindingProperty copy;
    HostErrorSlot error;
    if (!HostValueToBinding(value, "<value>", copy, error)) {
        Require(copy.MakeStructure());
        SetMemberString(copy, "unreadable", error.text != nullptr ? error.text : "");
    }
    ReleaseHostError(error);
    return copy;
}

}  // namespace

DevHost::DevHost(const Scenario& scenario, bool echoLog)
    : echoLog_(echoLog),
      fanOut_(subscriptions_,
              [this](const Subscriber& subscriber, const std::string& eventName,
                     std::shared_ptr<const BindingProperty> payload) {
                  Deliver(subscriber, eventName, std::move(payload));
              }),
      table_(*this) {
    world_ = std::make_unique<World>(
        scenario, [this](const ResourceChange& change) { fanOut_.PublishResourceChange(change); },
        [this](double delaySeconds, std::string eventName, BindingProperty payload) {
            loop_.PostAfter(delaySeconds,
                            [this, name = std::move(eventName), value = std::move(payload)] {
                                fanOut_.Publish(name, value);
                            });
        });
}

DevHost::~DevHost() {
    Stop();
}

MaybeType<LoadError, bool> DevHost::Start(const std::string& pluginPath, const ApiVersion& core) {
    auto loaded = loop_.Call([&] {
        // Read as the plugin's export reads them: the process as it is before the plugin
        // is in it.
        const SystemFigures figures = ReadSystemFigures();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            systemFigures_ = figures;
        }
        return LoadedPlugin::Load(pluginPath, core);
    });
    if (!loaded) return LoadError{"the host thread stopped before the plugin was loaded"};
    if (loaded->IsFailure()) return loaded->GetFailure();
    plugin_ = std::move(*loaded).Value();
    context_.core = table_.Core();
    context_.pluginHandle = kPluginHandle;
    alive_ = true;
    std::optional<bool> started = loop_.Call([&] {
        HostValueArena arena;
        PluginCallScope scope(arena);
        return plugin_->Initialise(context_);
    });
    if (!started) return LoadError{"the host thread stopped while the plugin was initialised"};
    return *started;
}

void DevHost::Stop() {
    if (stopped_) return;
    stopped_ = true;
    sse_.Close();
    if (plugin_ != nullptr) {
        loop_.Call([&] {
            alive_ = false;
            HostValueArena arena;
            PluginCallScope scope(arena);
            plugin_->Shutdown();
        });
    }
    alive_ = false;
    loop_.DropDelayed();
    loop_.Stop();
    subscriptions_.RemovePlugin(kPluginHandle);
    plugin_.reset();
}

HttpReply DevHost::ServeRoute(const HttpRequestData& request) {
    if (!alive_ || plugin_ == nullptr) return JsonErrorReply(503, "The plugin is not running");
    const std::string path = request.target.substr(0, request.target.find('?'));
    const RouteLookup lookup =
        FindRoute(plugin_->Api(), MethodCode(request.method), request.method, path);
    if (lookup.route == nullptr) {
        if (!lookup.pathServed) return JsonErrorReply(404, "No route serves " + path);
        HttpReply reply =
            JsonErrorReply(405, "Method " + request.method + " not allowed on " + path);
        std::string allow;
        for (const std::string& method : lookup.allowed) {
            if (!allow.empty()) allow += ", ";
            allow += method == "GET" ? "GET, HEAD" : method;
        }
        reply.headers.emplace_back("Allow", allow);
        return reply;
    }
    std::optional<HttpReply> reply = loop_.Call([&] {
        if (!alive_) return JsonErrorReply(503, "The plugin is not running");
        HostValueArena arena;
        PluginCallScope scope(arena);
        return CallRoute(*lookup.route, request);
    });
    if (!reply) return JsonErrorReply(503, "The development host is stopping");
    return std::move(*reply);
}

void DevHost::Deliver(const Subscriber& subscriber, const std::string& eventName,
                      std::shared_ptr<const BindingProperty> payload) {
    auto task = [this, subscriber, eventName, payload] {
        if (!alive_ || !subscriptions_.IsCurrent(subscriber)) return;
        HostValueArena arena;
        PluginCallScope scope(arena);
        std::string error;
        HostIncomingEvent event{};
        event.eventName = eventName.c_str();
        event.payload = arena.Build(*payload, &error);
        event.context = subscriber.context;
        if (!error.empty()) {
            std::fprintf(stderr, "devhost: event %s not delivered: %s\n", eventName.c_str(),
                         error.c_str());
            return;
        }
        subscriber.dispatch(&event);
        ++delivered_;
    };
    // Straight away only when the host thread is between calls into the plugin.
    if (loop_.OnLoopThread() && PluginCallScope::Current() == nullptr) {
        task();
    } else {
        loop_.Post(std::move(task));
    }
}

HostValueArena& DevHost::ArenaForRequest() {
    if (HostValueArena* current = PluginCallScope::Current()) return *current;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    while (!looseArenas_.empty() && now - looseArenas_.front().first > std::chrono::minutes(1)) {
        looseArenas_.pop_front();
    }
    looseArenas_.emplace_back(now, std::make_unique<HostValueArena>());
    return *looseArenas_.back().second;
}

void DevHost::Request(HostResponseArea& response, const HostRequestRecord& request) {
    const std::string url = request.url != nullptr ? request.url : "";
    BindingProperty entry;
    Require(entry.MakeStructure());
    SetMemberSigned(entry, "time", NowMillis());
    SetMemberString(entry, "method", MethodName(request.method));
    SetMemberString(entry, "url", url);
    BindingProperty* recorded = entry.MemberForWrite("arguments");
    if (recorded != nullptr) Require(recorded->MakeCollection());

    std::vector<RequestArgument> arguments;
    std::string unreadable;
    if (request.arguments == nullptr && request.argumentCount != 0) {
        unreadable = "the argument array is missing";
    }
    for (uint32_t i = 0; unreadable.empty() && i < request.argumentCount; ++i) {
        const HostArgument& argument = request.arguments[i];
        RequestArgument copy;
        copy.name = argument.name != nullptr ? argument.name : "";
        HostErrorSlot error;
        if (!HostValueToBinding(argument.value, "<argument>", copy.value, error)) {
            unreadable = error.text != nullptr ? error.text : "unreadable argument";
        }
        ReleaseHostError(error);
        if (recorded != nullptr) {
            BindingProperty* item = recorded->AppendElement();
            if (item != nullptr) {
                if (!copy.name.empty()) SetMemberString(*item, "name", copy.name);
                SetMember(*item, "value", copy.value);
            }
        }
        arguments.push_back(std::move(copy));
    }

    RequestAnswer answer;
    if (unreadable.empty()) {
        answer = world_->Answer(request.method, url, arguments);
    } else {
        answer.status = 400;
        answer.error = "Request not understood: " + unreadable;
    }
    HostValueArena& arena = ArenaForRequest();
    if (!answer.error && !answer.body.IsEmpty()) {
        std::string error;
        response.body = arena.Build(answer.body, &error);
        if (!error.empty()) {
            answer.status = 500;
            answer.error = "The answer could not be handed over: " + error;
        }
    }
    if (answer.error) response.error = arena.Text(*answer.error);
    response.status = answer.status;

    SetMemberSigned(entry, "status", answer.status);
    if (answer.error) SetMemberString(entry, "error", *answer.error);
    if (!answer.body.IsEmpty()) SetMember(entry, "response", answer.body);
    requests_.Add(std::move(entry));
}

void DevHost::FireEvent(const HostOutgoingEvent& event) {
    const std::string name = event.eventName != nullptr ? event.eventName : "";
    BindingProperty payload = CopyOf(event.payload);
    BindingProperty entry;
    Require(entry.MakeStructure());
    SetMemberSigned(entry, "time", NowMillis());
    SetMemberString(entry, "name", name);
    SetMemberUnsigned(entry, "flags", event.flags);
    SetMember(entry, "payload", payload);
    sse_.Publish(name, ToJsonText(payload));
    firedEvents_.Add(std::move(entry));
    fanOut_.Publish(name, std::move(payload));
}

void DevHost::Subscribe(const char* eventName, uint32_t pluginHandle, HostDispatchFn dispatch,
                        void* context, uint32_t flag) {
    if (dispatch == nullptr) return;
    subscriptions_.Subscribe(Subscriber{eventName, pluginHandle, dispatch, context, flag});
}

void DevHost::Unsubscribe(const char* eventName, uint32_t pluginHandle) {
    subscriptions_.Unsubscribe(eventName, pluginHandle);
}

void DevHost::Schedule(const char* name, HostScheduledFn callback, void* context,
                       double delaySeconds) {
    uint64_t id = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        id = nextCallbackId_++;
        pendingCallbacks_[id] = name;
    }
    ++scheduled_;
    const bool queued = loop_.PostAfter(delaySeconds, [this, id, callback, context] {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pendingCallbacks_.erase(id);
        }
        if (!alive_) return;
        HostValueArena arena;
        PluginCallScope scope(arena);
        callback(context);
    });
    if (!queued) {
        std::lock_guard<std::mutex> lock(mutex_);
        pendingCallbacks_.erase(id);
    }
}

void DevHost::YieldTurn() {
    // Yielding never runs other work of the plugin: it only lets time pass.
    ++yields_;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void DevHost::Label(const char* label) {
    std::lock_guard<std::mutex> lock(mutex_);
    lastLabel_ = label;
}

uint64_t DevHost::AfterYield() {
    return yields_.load();
}

void DevHost::Log(const char* message, int32_t level) {
    const int64_t now = NowMillis();
    if (echoLog_) {
        std::printf("%s %s| %s\n", ClockText(now).c_str(), LevelName(level), message);
        std::fflush(stdout);
    }
    BindingProperty entry;
    Require(entry.MakeStructure());
    SetMemberSigned(entry, "time", now);
    SetMemberSigned(entry, "level", level);
    const std::string_view name = LevelName(level);
    SetMemberString(entry, "levelName", name.substr(name.find_first_not_of(' ')));
    SetMemberString(entry, "message", message);
    logLines_.Add(std::move(entry));
}

BindingProperty DevHost::Routes() const {
    BindingProperty list;
    Require(list.MakeCollection());
    const HostApiTable* api = plugin_ != nullptr ? plugin_->Api() : nullptr;
    for (uint32_t i = 0; api != nullptr && api->routes != nullptr && i < api->routeCount; ++i) {
        const HostRouteRecord& route = api->routes[i];
        BindingProperty* item = list.AppendElement();
        if (item == nullptr) break;
        SetMemberString(*item, "method",
                        route.method == 8 && route.customMethod != nullptr
                            ? route.customMethod
                            : MethodName(route.method));
        SetMemberString(*item, "url", route.url != nullptr ? route.url : "");
        SetMemberString(*item, "name", route.function.name != nullptr ? route.function.name : "");
    }
    return list;
}

BindingProperty DevHost::OpenApi() {
    OpenApiSubject subject;
    if (plugin_ != nullptr) {
        subject.pluginName = plugin_->ShortName();
        subject.pluginVersion = ApiVersionText(plugin_->Version());
    }
    std::optional<BindingProperty> document = loop_.Call([&] {
        const HostApiTable* api = alive_ && plugin_ != nullptr ? plugin_->Api() : nullptr;
        return BuildOpenApiDocument(api, Endpoints(), subject);
    });
    if (document) return std::move(*document);
    return BuildOpenApiDocument(nullptr, Endpoints(), subject);
}

BindingProperty DevHost::Subscriptions() const {
    BindingProperty list;
    Require(list.MakeCollection());
    for (const Subscriber& subscriber : subscriptions_.All()) {
        BindingProperty* item = list.AppendElement();
        if (item == nullptr) break;
        SetMemberString(*item, "eventName", subscriber.eventName);
        SetMemberUnsigned(*item, "flag", subscriber.flag);
    }
    return list;
}

BindingProperty DevHost::Status() {
    BindingProperty status;
    Require(status.MakeStructure());
    BindingProperty* plugin = status.MemberForWrite("plugin");
    if (plugin != nullptr && plugin_ != nullptr) {
        SetMemberString(*plugin, "path", plugin_->Path());
        SetMemberString(*plugin, "shortName", plugin_->ShortName());
        SetMemberString(*plugin, "apiVersion", ApiVersionText(plugin_->Version()));
        SetMemberBool(*plugin, "running", alive_);
    }
    std::optional<std::array<uint64_t, 6>> memory = loop_.Call([&] {
        std::array<uint64_t, 6> counters{};
        if (alive_ && plugin_ != nullptr) {
            HostValueArena arena;
            PluginCallScope scope(arena);
            counters = plugin_->MemoryStatistics();
        }
        return counters;
    });
    if (memory) {
        BindingProperty* out = status.MemberForWrite("memory");
        static constexpr const char* kNames[] = {"peakBytes",   "peakBlocks", "bytesAllocated",
                                                 "allocations", "bytesFreed", "frees"};
        for (size_t i = 0; out != nullptr && i < memory->size(); ++i) {
            SetMemberUnsigned(*out, kNames[i], (*memory)[i]);
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (systemFigures_) SetMember(status, "system", SystemFiguresValue(*systemFigures_));
    }
    SetMember(status, "routes", Routes());
    SetMember(status, "subscriptions", Subscriptions());
    BindingProperty* counters = status.MemberForWrite("counters");
    if (counters != nullptr) {
        SetMemberUnsigned(*counters, "requests", requests_.NextNumber() - 1);
        SetMemberUnsigned(*counters, "eventsFired", firedEvents_.NextNumber() - 1);
        SetMemberUnsigned(*counters, "eventsDelivered", delivered_.load());
        SetMemberUnsigned(*counters, "logLines", logLines_.NextNumber() - 1);
        SetMemberUnsigned(*counters, "callbacksScheduled", scheduled_.load());
        SetMemberUnsigned(*counters, "yields", yields_.load());
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        BindingProperty* pending = status.MemberForWrite("pendingCallbacks");
        if (pending != nullptr) {
            Require(pending->MakeCollection());
            for (const auto& [id, name] : pendingCallbacks_) {
                BindingProperty* item = pending->AppendElement();
                if (item != nullptr) Require(item->SetString(name));
            }
        }
        SetMemberString(status, "lastLabel", lastLabel_);
    }
    SetMemberUnsigned(status, "eventStreamClients", sse_.ClientCount());
    return status;
}

}  // namespace Vane::DevHost
