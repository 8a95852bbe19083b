#include "log/event_tracing.h"

#include <gtest/gtest.h>

namespace Vane {
namespace {

TEST(EventTracingTest, EventWantedByLevelAndKeywords) {
    struct Case {
        uint8_t providerLevel;
        uint64_t any, all;
        uint8_t eventLevel;
        uint64_t eventKeyword;
        bool wanted;
    };
    const Case cases[] = {
        {0, 0x1, 0, 5, 0x1, true},     // level 0 takes every level
        {4, 0x1, 0, 4, 0x1, true},     // equal level
        {3, 0x1, 0, 4, 0x1, false},    // event more verbose than the listener
        {5, 0x1, 0, 4, 0x1, true},     //
        {5, 0x2, 0, 4, 0x1, false},    // keyword not among any-keywords
        {5, 0x3, 0x3, 4, 0x1, false},  // keyword lacks an all-keyword bit
        {5, 0x3, 0x3, 4, 0x7, true},   //
        {5, 0, 0, 4, 0, true},         // keyword 0 always passes
        {3, 0, 0xFF, 4, 0, false},     // but the level still counts
        {5, 0, 0, 4, 0x1, false},      // no any-keywords: keyworded events are off
    };
    for (const Case& c : cases) {
        TraceEventDescriptor event = {1, 0, 0, c.eventLevel, 0, 0, c.eventKeyword};
        EXPECT_EQ(TraceEventWanted(c.providerLevel, c.any, c.all, event), c.wanted)
            << int(c.providerLevel) << " " << c.any << " " << c.all << " " << int(c.eventLevel)
            << " " << c.eventKeyword;
    }
}

TEST(EventTracingTest, ProviderFollowsEnableAndDisableNotifications) {
    const TraceEventDescriptor events[] = {kThreadNameEvent, {7, 0, 0, 5, 0, 0, 0x4}};
    TraceProvider provider(events, 2);
    EXPECT_FALSE(provider.IsEnabled());
    EXPECT_FALSE(provider.IsEventEnabled(0));

    provider.OnEnableCallback(1, 4, 0x1, 0);
    EXPECT_TRUE(provider.IsEnabled());
    EXPECT_EQ(provider.GetLevel(), 4);
    EXPECT_EQ(provider.GetAnyKeyword(), 0x1u);
    EXPECT_TRUE(provider.IsEventEnabled(0));
    EXPECT_FALSE(provider.IsEventEnabled(1));
    EXPECT_FALSE(provider.IsEventEnabled(2));

    provider.OnEnableCallback(1, 0, 0x5, 0x4);
    EXPECT_FALSE(provider.IsEventEnabled(0));
    EXPECT_TRUE(provider.IsEventEnabled(1));

    provider.OnEnableCallback(2, 0, 0, 0);  // A state capture request changes nothing.
    EXPECT_TRUE(provider.IsEnabled());
    EXPECT_TRUE(provider.IsEventEnabled(1));

    provider.OnEnableCallback(0, 0, 0, 0);
    EXPECT_FALSE(provider.IsEnabled());
    EXPECT_FALSE(provider.IsEventEnabled(0));
    EXPECT_FALSE(provider.IsEventEnabled(1));
}

TEST(EventTracingTest, SecondProviderCarriesTheThreadNameEvent) {
    TraceProvider& second = GetTraceProvider(1);
    EXPECT_FALSE(second.IsEventEnabled(0));
    EXPECT_EQ(kThreadNameEvent.id, 103);
    EXPECT_EQ(kThreadNameEvent.opcode, 14);
    EXPECT_EQ(kThreadNameEvent.task, 2);
    EXPECT_EQ(kThreadNameEvent.keyword, 0x1u);
#ifndef _WIN32
    // No event tracing here: registration is skipped and unregistering is harmless.
    EXPECT_FALSE(RegisterEventTracing());
    UnregisterEventTracing();
    EXPECT_FALSE(second.IsEnabled());
#endif
}

}  // namespace
}  // namespace Vane
