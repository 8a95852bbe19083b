#include "plugin/event_router.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/async_model.h"
#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::JsonValue;
using testing::TestHost;
using testing::TestValue;
using testing::TraceRecorder;

// A router on its own over the test host. The context it hands the host is this fixture, as
// the plugin hands its own address, and the dispatch functions find the router through it.
class EventRouterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterBuiltins(types));
        ASSERT_TRUE(RegisterRuntimeTypes(types));
    }

    template <class Payload>
    static void PYX_CDECL Dispatch(const HostIncomingEvent* event) {
        static_cast<EventRouterTest*>(event->context)->router.Deliver<Payload>(*event);
    }

    TestHost host;
    HostLink link{host.Context()};
    const std::string shortName = "pyx-router";
    TypeRegistry types;
    EventRouter router{link, shortName, types,
                       EventRouter::HostEntry{this, &Dispatch<PluginResourceEvent>,
                                              &Dispatch<PluginServiceProxyResponse>}};
};

TestValue ResourcePayload(const char* uri) {
    return JsonValue(std::string(R"({"eventType":"Update","uri":")") + uri + "\"}");
}

TEST_F(EventRouterTest, EachKindOfHandlerIsSubscribedWithItsOwnDispatchFunction) {
    router.RegisterResourceHandler(
        "OnResource", [](const PluginResourceEvent&) {}, 0);
    router.RegisterServiceProxyHandler(
        "OnAnswer", [](const PluginServiceProxyResponse&) {}, 1);
    std::map<std::string, testing::Subscription> subscriptions = host.Subscriptions();
    ASSERT_EQ(subscriptions.size(), 2u);
    EXPECT_EQ(subscriptions["OnResource"].dispatch, &Dispatch<PluginResourceEvent>);
    EXPECT_EQ(subscriptions["OnResource"].flag, 0u);
    EXPECT_EQ(subscriptions["OnAnswer"].dispatch, &Dispatch<PluginServiceProxyResponse>);
    EXPECT_EQ(subscriptions["OnAnswer"].flag, 1u);
    for (const auto& [name, subscription] : subscriptions) {
        EXPECT_EQ(subscription.context, this) << name;
        EXPECT_EQ(subscription.pluginHandle, TestHost::kPluginHandle) << name;
    }
}

TEST_F(EventRouterTest, AnEventReachesOnlyAHandlerOfItsPayloadKind) {
    std::vector<std::string> seen;
    router.RegisterServiceProxyHandler(
        "OnAnswer",
        [&](const PluginServiceProxyResponse& r) { seen.push_back("answer " + r.uuid); }, 1);
    HostIncomingEvent event{};
    event.eventName = "OnAnswer";
    event.context = this;
    // Delivered as a resource change, the answer finds a handler of the other kind.
    router.Deliver<PluginResourceEvent>(event);
    EXPECT_TRUE(seen.empty());
    ASSERT_TRUE(host.Deliver("OnAnswer", JsonValue(R"({"uuid":"u1"})")));
    EXPECT_EQ(seen, std::vector<std::string>{"answer u1"});
}

TEST_F(EventRouterTest, NamelessAndUnknownEventsAreIgnoredWithoutATrace) {
    int calls = 0;
    router.RegisterResourceHandler(
        "OnThing", [&](const PluginResourceEvent&) { ++calls; }, 0);
    TraceRecorder traces;
    HostIncomingEvent nameless{};
    nameless.context = this;
    router.Deliver<PluginResourceEvent>(nameless);
    HostIncomingEvent unknown{};
    unknown.eventName = "OnOther";
    router.Deliver<PluginResourceEvent>(unknown);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(traces.lines.empty());
}

TEST_F(EventRouterTest, AHandlerMayReplaceOrDropItsOwnRegistrationWhileItRuns) {
    std::vector<std::string> seen;
    // Each handler reads what it captured after its registration is gone: the router must keep
    // it alive for the call.
    const std::string first = "first";
    router.RegisterResourceHandler(
        "OnThing",
        [&, first](const PluginResourceEvent& event) {
            router.RegisterResourceHandler(
                "OnThing", [&](const PluginResourceEvent& e) { seen.push_back("second " + e.uri); },
                0);
            seen.push_back(first + " " + event.uri);
        },
        0);
    ASSERT_TRUE(host.Deliver("OnThing", ResourcePayload("/a")));
    ASSERT_TRUE(host.Deliver("OnThing", ResourcePayload("/b")));
    const std::string last = "dropped";
    router.RegisterResourceHandler(
        "OnThing",
        [&, last](const PluginResourceEvent& event) {
            router.Unregister("OnThing");
            seen.push_back(last + " " + event.uri);
        },
        0);
    ASSERT_TRUE(host.Deliver("OnThing", ResourcePayload("/c")));
    EXPECT_FALSE(host.Deliver("OnThing", ResourcePayload("/d")));
    EXPECT_EQ(seen, (std::vector<std::string>{"first /a", "second /b", "dropped /c"}));
}

TEST_F(EventRouterTest, UnregisterAllLeavesTheHostWithoutSubscriptionsAndCallsNothing) {
    int calls = 0;
    router.RegisterResourceHandler(
        "OnA", [&](const PluginResourceEvent&) { ++calls; }, 0);
    router.RegisterServiceProxyHandler(
        "OnB", [&](const PluginServiceProxyResponse&) { ++calls; }, 1);
    router.UnregisterAll();
    EXPECT_TRUE(host.Subscriptions().empty());
    // An event the host had already started delivering finds no handler.
    HostIncomingEvent late{};
    late.eventName = "OnA";
    router.Deliver<PluginResourceEvent>(late);
    EXPECT_EQ(calls, 0);
}

// Through a loaded plugin: the host's dispatch reaches the router by way of the plugin.
class EventRouterPluginTest : public testing::InitialisedPluginFixture {};

TEST_F(EventRouterPluginTest, UnknownEventsAndUndecodablePayloadsAreDropped) {
    int calls = 0;
    plugin->Events().RegisterResourceHandler(
        "OnThing", [&](const PluginResourceEvent&) { ++calls; }, 0);
    TraceRecorder traces;
    // A payload whose eventType is no enumerator.
    ASSERT_TRUE(host.Deliver("OnThing", JsonValue(R"({"uri":"/a","eventType":"Explode"})")));
    EXPECT_EQ(calls, 0);
    ASSERT_FALSE(traces.lines.empty());
    EXPECT_EQ(traces.lines.back().rfind("pyx-test: Couldn't convert payload ", 0), 0u)
        << traces.lines.back();
    ASSERT_TRUE(host.Deliver("OnThing", JsonValue(R"({"uri":"/a","eventType":"Update"})")));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(traces.lines.back(), "pyx-test: Handling event OnThing");
}

}  // namespace
}  // namespace Vane
