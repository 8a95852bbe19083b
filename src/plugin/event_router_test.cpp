#include "plugin/event_router.h"

#include <gtest/gtest.h>

#include <string>

#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::JsonValue;
using testing::TraceRecorder;

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
