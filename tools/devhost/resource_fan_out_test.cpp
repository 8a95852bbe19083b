#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "devhost/event_fan_out.h"
#include "devhost/resource_store.h"
#include "devhost/subscriptions.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

void PYX_CDECL DispatchA(const HostIncomingEvent*) {}
void PYX_CDECL DispatchB(const HostIncomingEvent*) {}

struct Delivered {
    uint32_t handle;
    std::string eventName;
    std::string payload;  // JSON
};

BindingProperty Json(const char* text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text;
    return std::move(status.Value());
}

// A store whose changes fan out to the subscription table, as the host wires them.
class FanOutTest : public ::testing::Test {
  protected:
    FanOutTest()
        : fanOut_(table_,
                  [this](const Subscriber& s, const std::string& name,
                         std::shared_ptr<const BindingProperty> payload) {
                      delivered_.push_back({s.pluginHandle, name, ToJsonText(*payload)});
                  }),
          store_([this](const ResourceChange& change) { fanOut_.PublishResourceChange(change); }) {}

    void Subscribe(const std::string& name, uint32_t handle, HostDispatchFn dispatch = DispatchA,
                   void* context = nullptr) {
        table_.Subscribe(Subscriber{name, handle, dispatch, context, 0});
    }

    SubscriptionTable table_;
    std::vector<Delivered> delivered_;
    EventFanOut fanOut_;
    ResourceStore store_;
};

TEST_F(FanOutTest, DeliversToSubscribersOfTheFullEventNameOnly) {
    Subscribe("OnJsonApiEvent_pyx-collections_v1_inventories", 1);
    Subscribe("OnJsonApiEvent_pyx-champions_v1_inventories", 2);
    Subscribe("OnJsonApiEvent_pyx-collections_v1", 3);  // a prefix is not a match

    store_.Set("/pyx-collections/v1/inventories/9/ward-skins", Json("[{\"id\":1}]"));
    store_.Set("/pyx-collections/v1/inventories/9/summoner-icons", Json("{\"icons\":[1]}"));
    store_.Set("/pyx-collections/v1/inventories/9/ward-skins", Json("[]"));

    ASSERT_EQ(delivered_.size(), 3u);
    for (const Delivered& d : delivered_) {
        EXPECT_EQ(d.handle, 1u);
        EXPECT_EQ(d.eventName, "OnJsonApiEvent_pyx-collections_v1_inventories");
    }
    EXPECT_EQ(
        delivered_[0].payload,
        R"({"data":[{"id":1}],"eventType":"Create","uri":"/pyx-collections/v1/inventories/9/ward-skins"})");
    EXPECT_EQ(
        delivered_[1].payload,
        R"({"data":{"icons":[1]},"eventType":"Create","uri":"/pyx-collections/v1/inventories/9/summoner-icons"})");
    EXPECT_EQ(
        delivered_[2].payload,
        R"({"data":[],"eventType":"Update","uri":"/pyx-collections/v1/inventories/9/ward-skins"})");
}

TEST_F(FanOutTest, PlatformConfigEventsAreNamedAfterFivePieces) {
    Subscribe("OnJsonApiEvent_pyx-platform-config_v1_namespaces_Missions_MissionsEnabled", 1);
    Subscribe("OnJsonApiEvent_pyx-platform-config_v1_namespaces_Missions", 2);

    store_.Set("/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled", Json("false"));
    store_.Set("/pyx-platform-config/v1/namespaces/Missions/MissionsPollingTime", Json("30"));

    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(delivered_[0].handle, 1u);
    EXPECT_EQ(
        delivered_[0].payload,
        R"({"data":false,"eventType":"Create","uri":"/pyx-platform-config/v1/namespaces/Missions/MissionsEnabled"})");
}

TEST_F(FanOutTest, DeleteCarriesNoDataAndAbsentPathsReportNothing) {
    Subscribe("OnJsonApiEvent_pyx-login_v1_session", 1);
    store_.Set("/pyx-login/v1/session", Json("{\"accountId\":5}"));

    EXPECT_TRUE(store_.Delete("/pyx-login/v1/session"));
    EXPECT_FALSE(store_.Delete("/pyx-login/v1/session"));
    EXPECT_FALSE(store_.Get("/pyx-login/v1/session").has_value());

    ASSERT_EQ(delivered_.size(), 2u);
    EXPECT_EQ(delivered_[1].payload,
              R"({"data":null,"eventType":"Delete","uri":"/pyx-login/v1/session"})");
}

TEST_F(FanOutTest, EditReportsOnlyWhenSomethingChanged) {
    Subscribe("OnJsonApiEvent_player-notifications_v1_notifications", 1);
    EXPECT_FALSE(store_.Edit("/player-notifications/v1/notifications",
                             [](BindingProperty&) { return false; }));
    EXPECT_TRUE(delivered_.empty());
    EXPECT_FALSE(store_.Get("/player-notifications/v1/notifications").has_value());

    EXPECT_TRUE(store_.Edit("/player-notifications/v1/notifications", [](BindingProperty& list) {
        EXPECT_TRUE(list.MakeCollection());
        list.AppendElement()->SetUnsigned(1);
        return true;
    }));
    ASSERT_EQ(delivered_.size(), 1u);
    EXPECT_EQ(
        delivered_[0].payload,
        R"({"data":[1],"eventType":"Create","uri":"/player-notifications/v1/notifications"})");
}

TEST_F(FanOutTest, ResubscribingReplacesAndUnsubscribingStops) {
    int context = 0;
    Subscribe("OnJsonApiEvent_pyx-gameflow_v1_session", 1, DispatchA);
    Subscribe("OnJsonApiEvent_pyx-gameflow_v1_session", 1, DispatchB, &context);
    Subscribe("OnJsonApiEvent_pyx-gameflow_v1_session", 2);

    const std::vector<Subscriber> matching =
        table_.Matching("OnJsonApiEvent_pyx-gameflow_v1_session");
    ASSERT_EQ(matching.size(), 2u);
    EXPECT_EQ(matching[0].dispatch, &DispatchB);
    EXPECT_TRUE(table_.IsCurrent(matching[0]));
    Subscriber stale = matching[0];
    stale.dispatch = &DispatchA;
    EXPECT_FALSE(table_.IsCurrent(stale));

    store_.Set("/pyx-gameflow/v1/session", Json("{\"phase\":\"Lobby\"}"));
    EXPECT_EQ(delivered_.size(), 2u);  // once per plugin, not per subscribe call

    EXPECT_TRUE(table_.Unsubscribe("OnJsonApiEvent_pyx-gameflow_v1_session", 1));
    EXPECT_FALSE(table_.Unsubscribe("OnJsonApiEvent_pyx-gameflow_v1_session", 1));
    EXPECT_FALSE(table_.IsCurrent(matching[0]));
    store_.Set("/pyx-gameflow/v1/session", Json("{\"phase\":\"InProgress\"}"));
    ASSERT_EQ(delivered_.size(), 3u);
    EXPECT_EQ(delivered_[2].handle, 2u);

    table_.RemovePlugin(2);
    EXPECT_TRUE(table_.All().empty());
}

}  // namespace
}  // namespace Vane::DevHost
