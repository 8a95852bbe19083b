#include "devhost/event_name.h"

#include <gtest/gtest.h>

namespace Vane::DevHost {
namespace {

TEST(ResourceEventName, KeepsThreePiecesOrFiveForPlatformConfig) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/pyx-missions/v1/missions/abc", "OnJsonApiEvent_pyx-missions_v1_missions"},
        {"/pyx-platform-config/v1/namespaces/A/B",
         "OnJsonApiEvent_pyx-platform-config_v1_namespaces_A_B"},
        {"/pyx-platform-config/v1/namespaces/A/B/C",
         "OnJsonApiEvent_pyx-platform-config_v1_namespaces_A_B"},
        {"/pyx-platform-config/v1/initial-configuration-complete",
         "OnJsonApiEvent_pyx-platform-config_v1_initial-configuration-complete"},
        // Only the first piece selects the longer form.
        {"/x/pyx-platform-config/a/b/c", "OnJsonApiEvent_x_pyx-platform-config_a"},
        {"/pyx-collections/v1/inventories/7/ward-skins",
         "OnJsonApiEvent_pyx-collections_v1_inventories"},
        {"/vane-messaging-service/v1/message/missions/v1/player",
         "OnJsonApiEvent_vane-messaging-service_v1_message"},
        {"/vaneclient/region-locale", "OnJsonApiEvent_vaneclient_region-locale"},
        // Empty pieces are dropped, a missing leading slash changes nothing.
        {"//pyx-login//v1/session/", "OnJsonApiEvent_pyx-login_v1_session"},
        {"pyx-login/v1/session", "OnJsonApiEvent_pyx-login_v1_session"},
        {"", "OnJsonApiEvent"},
        {"///", "OnJsonApiEvent"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResourceEventName(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace Vane::DevHost
