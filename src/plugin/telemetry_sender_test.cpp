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
    parameters.MemberForWrite("k")->SetString("v");
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

}  // namespace
}  // namespace Vane
