#include "plugin/resource_watcher.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::JsonOf;
using testing::JsonValue;
using testing::Level;
using testing::TestValue;
using testing::TraceRecorder;

class ResourceWatcherTest : public testing::InitialisedPluginFixture {
  protected:
    ResourceWatcher& Resources() { return plugin->Resources(); }
    TestValue ResourceEvent(const std::string& uri, const char* type, const char* dataJson) {
        TestValue event = JsonValue(std::string("{\"uri\":\"") + uri + "\",\"eventType\":\"" +
                                    type + "\",\"data\":" + dataJson + "}");
        return event;
    }
};

TEST_F(ResourceWatcherTest, SubscriptionsAreCountedPerEventName) {
    const std::string name = "OnJsonApiEvent_x_v1_a";
    Resources().Subscribe("/x/v1/a/one");
    Resources().Subscribe("/x/v1/a/two");
    EXPECT_EQ(Resources().SubscriptionCount(name), 2u);
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
    EXPECT_EQ(host.Subscriptions()[name].flag, 0u);
    Resources().Unsubscribe("/x/v1/a/one");
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
    Resources().Unsubscribe("/x/v1/a/two");
    EXPECT_EQ(host.Subscriptions().count(name), 0u);
    // Unbalanced: ignored, the count doesn't wrap.
    Resources().Unsubscribe("/x/v1/a/two");
    EXPECT_EQ(Resources().SubscriptionCount(name), 0u);
    Resources().Subscribe("/x/v1/a");
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
}

TEST_F(ResourceWatcherTest, ExactObserverGetsTheCurrentValueThenChangesAndDeletes) {
    host.SetResource("/x/v1/level", JsonValue(R"({"value":3,"name":"three"})"));
    std::vector<std::string> seen;
    Resources().Observe<Level>("/x/v1/level", [&](const std::string& uri,
                                                  const std::optional<Level>& level) {
        seen.push_back(uri + "=" + (level ? std::to_string(level->value) + level->name : "none"));
    });
    ASSERT_EQ(seen, std::vector<std::string>{"/x/v1/level=3three"});
    const std::string name = "OnJsonApiEvent_x_v1_level";
    // A uri without its leading "/" still reaches the handler of "/" + uri.
    ASSERT_TRUE(host.Deliver(name, ResourceEvent("x/v1/level", "Update", R"({"value":4})")));
    // Data that doesn't convert is traced and not reported...
    TraceRecorder traces;
    ASSERT_TRUE(host.Deliver(name, ResourceEvent("/x/v1/level", "Update", R"({"value":"no"})")));
    // ...but a deletion is reported whatever its data.
    ASSERT_TRUE(host.Deliver(name, ResourceEvent("/x/v1/level", "Delete", R"("junk")")));
    EXPECT_EQ(seen,
              (std::vector<std::string>{"/x/v1/level=3three", "x/v1/level=4", "/x/v1/level=none"}));
    bool traced = false;
    for (const std::string& line : traces.lines) {
        traced |= line.rfind("Couldn't convert resource ", 0) == 0 &&
                  line.find("while handling update for URL: /x/v1/level") != std::string::npos;
    }
    EXPECT_TRUE(traced);
}

TEST_F(ResourceWatcherTest, FailedInitialReadReportsNothingAndWildcardsAreNotRead) {
    int calls = 0;
    Resources().Observe<Level>("/x/v1/missing",
                               [&](const std::string&, const std::optional<Level>&) { ++calls; });
    Resources().Observe<Level>("/x/v1/items/*",
                               [&](const std::string&, const std::optional<Level>&) { ++calls; });
    EXPECT_EQ(calls, 0);
    size_t gets = 0;
    for (const auto& r : host.Requests()) gets += r.method == 2;
    EXPECT_EQ(gets, 1u);  // only the exact pattern was read
}

TEST_F(ResourceWatcherTest, DispatcherCallsExactThenEveryMatchingWildcardInOrder) {
    std::vector<std::string> order;
    auto observer = [&](std::string tag) {
        return [&order, tag](const std::string& uri, const std::optional<Level>&) {
            order.push_back(tag + ":" + uri);
        };
    };
    Resources().Observe<Level>("/x/v1/items/*", observer("w1"));
    Resources().Observe<Level>("/x/v1/items/a", observer("exact"));
    Resources().Observe<Level>("/x/v1/*/a", observer("w2"));
    Resources().Observe<Level>("/x/v1/items/*/deeper", observer("w3"));
    ASSERT_TRUE(host.Deliver("OnJsonApiEvent_x_v1_items",
                             ResourceEvent("/x/v1/items/a", "Create", R"({"value":1})")));
    EXPECT_EQ(order, (std::vector<std::string>{"exact:/x/v1/items/a", "w1:/x/v1/items/a",
                                               "w2:/x/v1/items/a"}));
}

TEST_F(ResourceWatcherTest, PublishFiresTheResourceEvent) {
    Level level{5, "five"};
    ASSERT_FALSE(Resources()
                     .Publish("/pyx-test/v1/level/", PluginResourceEventType::Update, level)
                     .IsFailure());
    std::vector<testing::FiredEvent> events = host.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "OnJsonApiEvent_pyx-test_v1_level");
    EXPECT_EQ(events[0].flags, 0u);
    EXPECT_EQ(
        JsonOf(events[0].payload),
        R"({"data":{"name":"five","value":5},"eventType":"Update","uri":"/pyx-test/v1/level/"})");
}

}  // namespace
}  // namespace Vane
