#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_line.h"
#include "plugin/plugin_base.h"
#include "plugin/plugin_test_support.h"

// Records of a named namespace: their names appear in messages.
namespace Vane::service_proxy_test {

struct Echo {
    std::string text;
    uint64_t big = 0;
};
void DescribeType(RecordBuilder<Echo>& r) {
    r.Name("TestEcho");
    r.Field("text", &Echo::text);
    r.Field("big", &Echo::big);
}

struct Unregistered {
    int32_t x = 0;
};
void DescribeType(RecordBuilder<Unregistered>& r) {
    r.Name("TestUnregistered");
    r.Field("x", &Unregistered::x);
}

}  // namespace Vane::service_proxy_test

namespace Vane {
namespace {

using service_proxy_test::Echo;
using service_proxy_test::Unregistered;
using testing::JsonOf;
using testing::JsonValue;
using testing::PluginFixture;
using testing::TestHost;
using testing::TestValue;
TestValue Answer(const std::string& uuid, const std::string& payload,
                 const std::string& service = "svc", const std::string& method = "m") {
    TestValue v;
    v.type = kHostValueStructure;
    for (const auto& [k, text] :
         std::vector<std::pair<std::string, std::string>>{{"uuid", uuid},
                                                          {"serviceName", service},
                                                          {"methodName", method},
                                                          {"payload", payload},
                                                          {"status", "200"},
                                                          {"error", ""}}) {
        v.members.push_back({k, TestValue::String(text)});
    }
    return v;
}

class ServiceProxyTest : public PluginFixture {
  protected:
    void SetUp() override {
        PluginFixture::SetUp();
        RegisterType<Echo>(plugin->Types());
        ASSERT_TRUE(Initialise());
        host.SetServiceProxyHook([this](const std::string& service, const std::string& method,
                                        const std::string& payload) {
            posts.push_back(service + "|" + method + "|" + payload);
            if (onPost) onPost();
            return "uuid-" + std::to_string(posts.size());
        });
    }

    std::vector<std::string> posts;
    std::function<void()> onPost;
};

TEST_F(ServiceProxyTest, UuidRequestIsPostedAndItsAnswerDeliveredOnce) {
    std::vector<std::string> answers;
    plugin->ServiceProxy().InvokeTyped<Echo>(
        "svc", "m", Echo{"hi", UINT64_MAX}, "", [&](const MaybeType<Failure, Echo>& answer) {
            answers.push_back(answer.HasValue() ? answer.Value().text
                                                : answer.GetFailure().Message());
        });
    ASSERT_EQ(posts,
              std::vector<std::string>{"svc|m|{\"big\":18446744073709551615,\"text\":\"hi\"}"});
    testing::RecordedRequest post = host.Requests().back();
    EXPECT_EQ(post.url, "/pyx-login/v1/service-proxy-uuid-requests");
    EXPECT_EQ(post.arguments.size(), 3u);
    EXPECT_EQ(plugin->ServiceProxy().PendingRequests(), 1u);
    ASSERT_TRUE(host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", R"({"text":"back"})")));
    ASSERT_TRUE(host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", R"({"text":"again"})")));
    EXPECT_EQ(answers, std::vector<std::string>{"back"});
    EXPECT_EQ(plugin->ServiceProxy().PendingRequests(), 0u);
    // Level 3 lines for the start and the fulfilment reach the host.
    std::vector<std::string> levelThree;
    for (const auto& line : host.LogLines()) {
        if (line.level == kLogAlways) levelThree.push_back(line.message);
    }
    EXPECT_EQ(levelThree,
              (std::vector<std::string>{"pyx-test: Preparing service proxy request: svc.m",
                                        "pyx-test: Started service proxy request: svc.m (uuid-1)",
                                        "pyx-test: Fulfilled service proxy request: uuid-1"}));
}

TEST_F(ServiceProxyTest, AnswersArrivingBeforeRegistrationWaitAndTheLastOneWins) {
    onPost = [&] {
        host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", R"({"text":"first"})"));
        host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", R"({"text":"second"})"));
    };
    std::vector<std::string> answers;
    const std::string error = plugin->ServiceProxy().Invoke(
        "svc", "m", Echo{}, "",
        [&](const PluginServiceProxyResponse& r) { answers.push_back(r.payload); });
    EXPECT_EQ(error, "");
    EXPECT_EQ(answers, std::vector<std::string>{R"({"text":"second"})"});
}

TEST_F(ServiceProxyTest, TypedCompletionOfAnAnswerThatWasWaitingRunsAfterTheCall) {
    onPost = [&] {
        host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", R"({"text":"early"})"));
    };
    std::vector<std::string> answers;
    plugin->ServiceProxy().InvokeTyped<Echo>(
        "svc", "m", Echo{}, "",
        [&](const MaybeType<Failure, Echo>& answer) { answers.push_back(answer.Value().text); });
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(plugin->ServiceProxy().PendingRequests(), 0u);
    host.AdvanceTime(0);
    EXPECT_EQ(answers, std::vector<std::string>{"early"});
}

TEST_F(ServiceProxyTest, MethodRequestsAreOneAtATimePerAnswerMethod) {
    int methodPosts = 0;
    host.SetRequestHook([&](const testing::RecordedRequest& r, HostResponseArea* area) {
        if (r.url != "/pyx-login/v1/service-proxy-method-requests") return false;
        ++methodPosts;
        EXPECT_EQ(r.arguments.size(), 4u);
        EXPECT_EQ(r.arguments[2].second.text, "answer");
        area->status = 200;
        return true;
    });
    int calls = 0;
    auto callback = [&](const PluginServiceProxyResponse&) { ++calls; };
    EXPECT_EQ(plugin->ServiceProxy().Invoke("svc", "m", Echo{}, "answer", callback), "");
    EXPECT_EQ(plugin->ServiceProxy().Invoke("svc", "m", Echo{}, "answer", callback),
              "Request already in flight");
    EXPECT_EQ(methodPosts, 1);
    EXPECT_EQ(host.LogLines().back().message,
              "pyx-test: Could not invoke service proxy as request is already in flight");
    EXPECT_EQ(host.LogLines().back().level, kLogError);
    ASSERT_TRUE(host.Deliver("OnServiceProxyMethodEvent", Answer("", "{}", "svc", "answer")));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(plugin->ServiceProxy().Invoke("svc", "m", Echo{}, "answer", callback), "");
    EXPECT_EQ(methodPosts, 2);
    // The first answer was used up: the new request waits for an answer of its own.
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(host.Deliver("OnServiceProxyMethodEvent", Answer("", "{}", "svc", "answer")));
    EXPECT_EQ(calls, 2);
}

TEST_F(ServiceProxyTest, FailuresToStartReachTheTypedCompletionLaterOnce) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string expected;
    };
    std::vector<std::string> got;
    auto completion = [&](const MaybeType<Failure, Echo>& answer) {
        got.push_back(answer.IsFailure() ? answer.GetFailure().Message() : "value");
    };
    // The login plugin refuses the post.
    host.SetServiceProxyHook({});
    plugin->ServiceProxy().InvokeTyped<Echo>("svc", "m", Echo{}, "", completion);
    // The payload can't be converted.
    plugin->ServiceProxy().InvokeTyped<Echo>("svc", "m", Unregistered{}, "", completion);
    EXPECT_TRUE(got.empty());  // never before the call returned
    host.AdvanceTime(0);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0],
              "Error response for POST /pyx-login/v1/service-proxy-uuid-requests: Not found: "
              "/pyx-login/v1/service-proxy-uuid-requests");
    EXPECT_EQ(got[1],
              "Failed to convert type Vane::service_proxy_test::Unregistered to "
              "BindingProperty for serialization");
    host.AdvanceTime(1);
    EXPECT_EQ(got.size(), 2u);
}

TEST_F(ServiceProxyTest, AFailureToStartThatCannotBeScheduledIsLoggedInstead) {
    host.SetServiceProxyHook({});
    host.RemoveOperation(&HostCore::schedule);
    int calls = 0;
    plugin->ServiceProxy().InvokeTyped<Echo>("svc", "m", Echo{}, "",
                                             [&](const MaybeType<Failure, Echo>&) { ++calls; });
    const testing::HostLogLine last = host.LogLines().back();
    EXPECT_EQ(last.message,
              "pyx-test: Couldn't report the outcome of service proxy request svc.m: Error "
              "response for POST /pyx-login/v1/service-proxy-uuid-requests: Not found: "
              "/pyx-login/v1/service-proxy-uuid-requests");
    EXPECT_EQ(last.level, kLogError);
    host.AdvanceTime(1);
    EXPECT_EQ(calls, 0);
}

TEST_F(ServiceProxyTest, UndecodableAnswerIsAFailureNamingPayloadAndType) {
    std::string message;
    plugin->ServiceProxy().InvokeTyped<Echo>(
        "svc", "m", Echo{}, "",
        [&](const MaybeType<Failure, Echo>& answer) { message = answer.GetFailure().Message(); });
    ASSERT_TRUE(host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-1", "not json")));
    EXPECT_EQ(message,
              "Failed to deserialize response payload \"not json\" to a "
              "Vane::service_proxy_test::Echo");
}

TEST_F(ServiceProxyTest, ACompletionMayStartTheNextRequest) {
    int answered = 0;
    std::function<void(const MaybeType<Failure, Echo>&)> again =
        [&](const MaybeType<Failure, Echo>&) {
            if (++answered < 3)
                plugin->ServiceProxy().InvokeTyped<Echo>("svc", "m", Echo{}, "", again);
        };
    plugin->ServiceProxy().InvokeTyped<Echo>("svc", "m", Echo{}, "", again);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(
            host.Deliver("OnServiceProxyUuidEvent", Answer("uuid-" + std::to_string(i), "{}")));
    }
    EXPECT_EQ(answered, 3);
    EXPECT_EQ(posts.size(), 3u);
}

TEST_F(ServiceProxyTest, AsyncEventsGoToTheirHandlerOrAreLogged) {
    std::vector<std::string> seen;
    plugin->ServiceProxy().RegisterAsyncHandler(
        "svc", "push", [&](const PluginServiceProxyResponse& r) { seen.push_back(r.payload); });
    ASSERT_TRUE(host.Deliver("OnServiceProxyAsyncEvent", Answer("", "p1", "svc", "push")));
    ASSERT_TRUE(host.Deliver("OnServiceProxyAsyncEvent", Answer("", "p2", "svc", "other")));
    EXPECT_EQ(seen, std::vector<std::string>{"p1"});
    EXPECT_EQ(
        host.LogLines().back().message,
        "pyx-test: Could not find registered handler for async service proxy event svc.other");
    EXPECT_EQ(host.LogLines().back().level, kLogError);
}

TEST_F(ServiceProxyTest, StoppingRefusesAndShutdownDropsPendingCallbacks) {
    int calls = 0;
    EXPECT_EQ(plugin->ServiceProxy().Invoke("svc", "m", Echo{}, "",
                                            [&](const PluginServiceProxyResponse&) { ++calls; }),
              "");
    plugin->Shutdown();
    EXPECT_EQ(plugin->ServiceProxy().PendingRequests(), 0u);
    ShutDown();
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace Vane
