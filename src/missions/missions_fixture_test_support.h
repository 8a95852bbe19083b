// The fixture of the end-to-end tests: a TestHost with the default world (see
// missions_world_test_support.h), the real plugin library loaded into it, and helpers to push
// resource changes, answer service-proxy calls, call routes and read what the plugin sent.
// Starting the plugin sends one fetch (with an empty locale: the locale arrives after the
// platform id), which no test has answered yet.
#ifndef PYX_MISSIONS_MISSIONS_FIXTURE_TEST_SUPPORT_H_
#define PYX_MISSIONS_MISSIONS_FIXTURE_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "missions/missions_world_test_support.h"
#include "missions/plugin_library_test_support.h"
#include "missions/test_value_json_test_support.h"

namespace Vane::testing {

// One call the plugin made through the service proxy.
struct ProxyCall {
    std::string service;
    std::string method;
    std::string payload;  // the envelope's JSON text
    std::string uuid;     // what the login plugin answered
    TestValue envelope;   // the payload parsed
    std::string Path() const {
        const TestValue* path = FindMember(envelope, "path");
        return path ? path->text : std::string();
    }
    std::string Body() const {
        const TestValue* body = FindMember(envelope, "body");
        return body ? body->text : std::string();
    }
    bool IsFetch() const { return Path().find("?locale=") != std::string::npos; }
};

// A mission of the remote service's answer with the fields tests look at.
inline std::string MissionJson(std::string_view id, std::string_view extra = {}) {
    std::string json =
        "{\"id\":\"" + std::string(id) + "\",\"title\":\"Title " + std::string(id) + "\"";
    if (!extra.empty()) json += "," + std::string(extra);
    return json + "}";
}

// The remote service's answer with the missions and series JSON arrays given.
inline std::string AnswerJson(std::string_view missions = "[]", std::string_view series = "[]") {
    return "{\"playerMissions\":" + std::string(missions) +
           ",\"playerSeries\":" + std::string(series) + "}";
}

// The host, its world and the plugin loaded into it; one per test (or per case of a table).
class MissionsHarness {
  public:
    MissionsHarness() {
        SetDefaultWorld(host_);
        host_.SetServiceProxyHook([this](const std::string& service, const std::string& method,
                                         const std::string& payload) {
            ProxyCall call{
                service, method, payload, "uuid-" + std::to_string(calls_.size() + 1), {}};
            try {
                call.envelope = FromJson(payload);
            } catch (const std::exception&) {
                ADD_FAILURE() << "payload is not JSON: " << payload;
            }
            calls_.push_back(call);
            return call.uuid;
        });
    }

    // The answer to a GET of `path` (JSON).
    void SetWorld(const std::string& path, std::string_view json) {
        host_.SetResource(path, FromJson(json));
    }

    // Loads and initialises the plugin.
    void Start() {
        ASSERT_TRUE(plugin_.Load()) << "cannot load " << MissionsLibraryPath();
        ASSERT_TRUE(plugin_.Initialise());
    }

    // Starts the plugin and answers its first fetch with `answer`.
    void StartAnswered(const std::string& answer = AnswerJson()) {
        Start();
        ASSERT_EQ(Fetches().size(), 1u);
        Answer(Fetches().back(), answer);
    }

    // Delivers a change of the resource `path` (data as JSON; none for "null").
    bool Push(const std::string& path, std::string_view json,
              std::string_view eventType = "Update") {
        TestValue event;
        event.type = kHostValueStructure;
        event.members.push_back({"uri", TestValue::String(path)});
        event.members.push_back({"eventType", TestValue::String(std::string(eventType))});
        event.members.push_back({"data", FromJson(json)});
        return host_.Deliver(ResourceEventName(path), event);
    }
    bool PushDelete(const std::string& path) { return Push(path, "null", "Delete"); }

    // Delivers the login plugin's answer to `call`.
    bool Answer(const ProxyCall& call, const std::string& payload) {
        TestValue answer;
        answer.type = kHostValueStructure;
        answer.members.push_back({"uuid", TestValue::String(call.uuid)});
        answer.members.push_back({"serviceName", TestValue::String(call.service)});
        answer.members.push_back({"methodName", TestValue::String(call.method)});
        answer.members.push_back({"payload", TestValue::String(payload)});
        answer.members.push_back({"status", TestValue::String("200")});
        answer.members.push_back({"error", TestValue::String("")});
        return host_.Deliver("OnServiceProxyUuidEvent", answer);
    }

    const std::vector<ProxyCall>& ProxyCalls() const { return calls_; }
    std::vector<ProxyCall> Fetches() const {
        std::vector<ProxyCall> fetches;
        for (const ProxyCall& call : calls_) {
            if (call.IsFetch()) fetches.push_back(call);
        }
        return fetches;
    }
    std::vector<ProxyCall> RemoteCallsOtherThanFetches() const {
        std::vector<ProxyCall> others;
        for (const ProxyCall& call : calls_) {
            if (!call.IsFetch()) others.push_back(call);
        }
        return others;
    }

    // The data of every update the plugin published for the resource `uri`, in order.
    std::vector<TestValue> Published(std::string_view uri) const {
        std::vector<TestValue> data;
        for (const FiredEvent& event : host_.Events()) {
            const TestValue* eventUri = FindMember(event.payload, "uri");
            if (event.name != ResourceEventName(uri) || !eventUri || eventUri->text != uri) {
                continue;
            }
            const TestValue* payload = FindMember(event.payload, "data");
            data.push_back(payload ? *payload : TestValue{});
        }
        return data;
    }

    // The requests of `method` to `url` the plugin made.
    std::vector<RecordedRequest> RequestsTo(uint32_t method, std::string_view url) const {
        std::vector<RecordedRequest> found;
        for (const RecordedRequest& request : host_.Requests()) {
            if (request.method == method && request.url == url) found.push_back(request);
        }
        return found;
    }

    // The log lines that reached the host holding `text`.
    std::vector<HostLogLine> LogLinesWith(std::string_view text) const {
        std::vector<HostLogLine> found;
        for (const HostLogLine& line : host_.LogLines()) {
            if (line.message.find(text) != std::string::npos) found.push_back(line);
        }
        return found;
    }

    RouteAnswer CallRoute(uint32_t method, const std::string& url, std::string_view body = {}) {
        return plugin_.CallRoute(method, url, body);
    }

    std::vector<ProxyCall> calls_;
    TestHost host_;
    LoadedMissionsPlugin plugin_{host_};
};

class MissionsFixture : public ::testing::Test, public MissionsHarness {};

// The ids of a published or returned mission list.
inline std::vector<std::string> Ids(const TestValue& list) {
    std::vector<std::string> ids;
    for (const TestValue& item : list.items) {
        const TestValue* id = FindMember(item, "id");
        ids.push_back(id ? id->text : "?");
    }
    return ids;
}

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_MISSIONS_FIXTURE_TEST_SUPPORT_H_
