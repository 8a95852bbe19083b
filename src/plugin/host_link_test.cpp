#include "plugin/host_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "plugin/test_host_test_support.h"

namespace Vane {
namespace {

using testing::TestHost;
using testing::TestValue;

void NoCallback(void*) {}
void NoDispatch(const HostIncomingEvent*) {}

// Runs every operation once; true for each one that reached a host.
std::vector<bool> CallEverything(const HostLink& core) {
    HostResponseArea response{};
    HostRequestRecord request{};
    request.method = 2;
    request.url = "/x";
    HostOutgoingEvent event{};
    event.eventName = "OnX";
    return {core.Request(&response, &request),
            core.FireEvent(event),
            core.Subscribe("OnX", &NoDispatch, nullptr, 0),
            core.Unsubscribe("OnX"),
            core.Schedule("s", &NoCallback, nullptr, 1.0),
            core.Yield(),
            core.Label("l"),
            core.Log("m", 1)};
}

TEST(HostLinkTest, WithoutAHostEveryOperationIsAHarmlessFailure) {
    const HostContext noCore{nullptr, 9};
    const HostCore emptyTable{};
    const HostContext emptyEntries{&emptyTable, 9};
    struct Case {
        const char* name;
        HostLink core;
        bool attached;
    } cases[] = {
        {"default", HostLink(), false},
        {"null context", HostLink(nullptr), false},
        {"context without core", HostLink(&noCore), false},
        {"table with empty entries", HostLink(&emptyEntries), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.core.IsAttached(), c.attached);
        for (bool called : CallEverything(c.core)) EXPECT_FALSE(called);
        EXPECT_EQ(c.core.AfterYield(), 0u);
    }
    EXPECT_EQ(HostLink(&noCore).PluginHandle(), 0u);
    EXPECT_EQ(HostLink(&emptyEntries).PluginHandle(), 9u);
}

TEST(HostLinkTest, OperationsReachTheHostWithThePluginHandle) {
    TestHost host;
    host.SetResource("/x", TestValue::String("body"));
    host.SetAfterYieldValue(0x1234567890ull);
    const HostLink core(host.Context());
    ASSERT_TRUE(core.IsAttached());
    EXPECT_EQ(core.PluginHandle(), TestHost::kPluginHandle);

    for (bool called : CallEverything(core)) EXPECT_TRUE(called);
    EXPECT_EQ(core.AfterYield(), 0x1234567890ull);

    ASSERT_EQ(host.Requests().size(), 1u);
    EXPECT_EQ(host.Requests()[0].url, "/x");
    EXPECT_EQ(host.Requests()[0].pluginHandle, TestHost::kPluginHandle);
    ASSERT_EQ(host.Events().size(), 1u);
    EXPECT_EQ(host.Events()[0].name, "OnX");
    EXPECT_TRUE(host.Subscriptions().empty());  // subscribed, then unsubscribed
    ASSERT_EQ(host.ScheduleCalls().size(), 1u);
    EXPECT_EQ(host.ScheduleCalls()[0].first, "s");
    EXPECT_EQ(host.YieldCount(), 1);
    EXPECT_EQ(host.Labels(), std::vector<std::string>{"l"});
    ASSERT_EQ(host.LogLines().size(), 1u);
    EXPECT_EQ(host.LogLines()[0].message, "m");
    EXPECT_EQ(host.LogLines()[0].level, 1);
}

TEST(HostLinkTest, RequestFillsTheResponseArea) {
    TestHost host;
    host.SetResource("/known", TestValue::String("value"));
    const HostLink core(host.Context());
    struct Case {
        const char* url;
        bool ok;
    } cases[] = {{"/known", true}, {"/unknown", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        HostResponseArea response{};
        HostRequestRecord request{};
        request.method = 2;
        request.url = c.url;
        ASSERT_TRUE(core.Request(&response, &request));
        EXPECT_EQ(response.error == nullptr, c.ok);
        if (c.ok) {
            EXPECT_EQ(TestValue::Copy(response.body).text, "value");
        } else {
            const int32_t status = response.status;  // packed field: no reference to it
            EXPECT_EQ(status, 404);
        }
    }
}

TEST(HostLinkTest, SubscriptionKeepsDispatchAndContext) {
    TestHost host;
    const HostLink core(host.Context());
    int context = 0;
    ASSERT_TRUE(core.Subscribe("OnServiceProxyUuidEvent", &NoDispatch, &context, 1));
    auto subscriptions = host.Subscriptions();
    ASSERT_EQ(subscriptions.count("OnServiceProxyUuidEvent"), 1u);
    const testing::Subscription& s = subscriptions["OnServiceProxyUuidEvent"];
    EXPECT_EQ(s.pluginHandle, TestHost::kPluginHandle);
    EXPECT_EQ(s.dispatch, &NoDispatch);
    EXPECT_EQ(s.context, &context);
    EXPECT_EQ(s.flag, 1u);
}

TEST(HostLinkTest, ScheduleNeverSendsANegativeDelay) {
    struct Case {
        double given;
        double sent;
    } cases[] = {
        {2.5, 2.5},        {0, 0}, {-1, 0}, {-std::numeric_limits<double>::infinity(), 0},
        {std::nan(""), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        TestHost host;
        ASSERT_TRUE(HostLink(host.Context()).Schedule("s", &NoCallback, nullptr, c.given));
        ASSERT_EQ(host.ScheduleCalls().size(), 1u);
        EXPECT_EQ(host.ScheduleCalls()[0].second, c.sent);
    }
}

}  // namespace
}  // namespace Vane
