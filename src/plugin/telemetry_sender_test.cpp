#include "plugin/telemetry_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::JsonOf;

class TelemetrySenderTest : public testing::InitialisedPluginFixture {};

TEST_F(TelemetrySenderTest, PostsTheEventNameUnchanged) {
    host.SetRequestHook([](const testing::RecordedRequest& r, HostResponseArea* area) {
        if (r.url.rfind("/telemetry/", 0) != 0) return false;
        area->status = 204;
        return true;
    });
    BindingProperty parameters;
    ASSERT_TRUE(parameters.MakeStructure());
    ASSERT_TRUE(parameters.MemberForWrite("k")->SetString("v"));
    EXPECT_FALSE(plugin->Telemetry().PostTelemetryEvent("a/b c", parameters).get().IsFailure());
    EXPECT_FALSE(
        plugin->Telemetry().PostTelemetryEvent("plain", BindingProperty()).get().IsFailure());
    std::vector<testing::RecordedRequest> requests = host.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, "/telemetry/v1/events/a/b c");
    EXPECT_EQ(requests[0].method, 6u);
    ASSERT_EQ(requests[0].arguments.size(), 1u);
    EXPECT_EQ(JsonOf(requests[0].arguments[0].second), R"({"k":"v"})");
    EXPECT_TRUE(requests[1].arguments.empty());
    host.SetRequestHook({});
    MaybeType<Failure, void> failed =
        plugin->Telemetry().PostTelemetryEvent("x", BindingProperty()).get();
    ASSERT_TRUE(failed.IsFailure());
    EXPECT_EQ(failed.GetFailure().Code(), 404);
}

TEST(TelemetrySenderBeforeInitialiseTest, RefusesWithoutSending) {
    testing::TestHost host;
    PluginLoadRecord record{};
    record.apiMajor = 18;
    auto* plugin = new testing::TestPlugin(&host);
    LoadPlugin(plugin, &record, "pyx-test");
    MaybeType<Failure, void> refused =
        plugin->Telemetry().PostTelemetryEvent("early", BindingProperty()).get();
    ASSERT_TRUE(refused.IsFailure());
    EXPECT_EQ(refused.GetFailure().Code(), 0);
    EXPECT_EQ(refused.GetFailure().Message(), "The plugin is not initialised");
    ASSERT_NE(record.callbacks->initialise(record.plugin, host.Context()), 0);
    // Sent once initialised; the test host knows no telemetry endpoint.
    MaybeType<Failure, void> later =
        plugin->Telemetry().PostTelemetryEvent("later", BindingProperty()).get();
    ASSERT_TRUE(later.IsFailure());
    EXPECT_EQ(later.GetFailure().Code(), 404);
    EXPECT_EQ(host.Requests().size(), 1u);
    record.callbacks->shutdown(record.plugin);
}

}  // namespace
}  // namespace Vane
