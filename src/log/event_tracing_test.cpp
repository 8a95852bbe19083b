#include "log/event_tracing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "log/event_tracing_test_support.h"
#include "util/platform.h"

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
}

TEST(EventTracingTest, WithoutReplacementThePlatformDecides) {
#ifdef _WIN32
    // Advapi32 is part of every Windows (and of Wine): the four providers register.
    EXPECT_TRUE(RegisterEventTracing());
    UnregisterEventTracing();
#else
    // No event tracing here: registration is skipped and unregistering is harmless.
    EXPECT_FALSE(RegisterEventTracing());
    UnregisterEventTracing();
    EXPECT_FALSE(AnnounceThreadName("Main thread"));
#endif
    EXPECT_FALSE(GetTraceProvider(1).IsEnabled());
}

TEST(EventTracingTest, RegistersFourProvidersOnceAndUnregistersExactlyThose) {
    testing::FakeEventTracing fake;
    ASSERT_TRUE(RegisterEventTracing());
    ASSERT_EQ(fake.registrations.size(), 4u);
    for (int i = 0; i < kTraceProviderCount; ++i) {
        EXPECT_EQ(fake.registrations[i].provider, i);
        for (int j = 0; j < i; ++j) {
            EXPECT_NE(std::memcmp(&fake.registrations[i].id, &fake.registrations[j].id,
                                  sizeof(TraceProviderId)),
                      0)
                << "providers " << j << " and " << i << " share an identity";
        }
    }
    EXPECT_TRUE(RegisterEventTracing());
    EXPECT_EQ(fake.registrations.size(), 4u);  // already registered: nothing more
    EXPECT_TRUE(fake.unregistered.empty());

    UnregisterEventTracing();
    std::vector<uint64_t> handles;
    for (const auto& r : fake.registrations) handles.push_back(r.handle);
    EXPECT_EQ(fake.unregistered, handles);
    UnregisterEventTracing();
    EXPECT_EQ(fake.unregistered.size(), 4u);

    // Registering after an unregistration starts over.
    EXPECT_TRUE(RegisterEventTracing());
    EXPECT_EQ(fake.registrations.size(), 8u);
}

TEST(EventTracingTest, RefusedProviderIsNeitherCountedNorUnregistered) {
    testing::FakeEventTracing fake;
    fake.Refuse(2);
    EXPECT_FALSE(RegisterEventTracing());
    EXPECT_EQ(fake.registrations.size(), 3u);
    EXPECT_FALSE(RegisterEventTracing());  // the same answer, no second attempt
    EXPECT_EQ(fake.registrations.size(), 3u);
    UnregisterEventTracing();
    ASSERT_EQ(fake.unregistered.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(fake.unregistered[i], fake.registrations[i].handle);
}

TEST(EventTracingTest, EnableNotificationsAreKeptPerProviderUntilUnregistered) {
    const testing::TraceSession sessions[kTraceProviderCount] = {
        {5, 0x10, 0}, {0, 0x1, 0}, {2, 0xF0, 0x30}, {4, 0x3, 0x1}};
    testing::FakeEventTracing fake;
    for (int i = 0; i < kTraceProviderCount; ++i) fake.ListenAtRegistration(i, sessions[i]);
    ASSERT_TRUE(RegisterEventTracing());
    for (int i = 0; i < kTraceProviderCount; ++i) {
        const TraceProvider& provider = GetTraceProvider(i);
        EXPECT_TRUE(provider.IsEnabled()) << i;
        EXPECT_EQ(provider.GetLevel(), sessions[i].level) << i;
        EXPECT_EQ(provider.GetAnyKeyword(), sessions[i].anyKeyword) << i;
        EXPECT_EQ(provider.GetAllKeyword(), sessions[i].allKeyword) << i;
    }
    UnregisterEventTracing();
    for (int i = 0; i < kTraceProviderCount; ++i) {
        EXPECT_FALSE(GetTraceProvider(i).IsEnabled()) << i;
        EXPECT_FALSE(GetTraceProvider(i).IsEventEnabled(0)) << i;
    }
}

TEST(EventTracingTest, MainThreadIsWrittenOnceWhenTheSecondProvidersEventIsWanted) {
    struct Case {
        const char* what;
        int listened;  // provider a session listens to, -1 for none
        testing::TraceSession session;
        size_t writes;
    };
    const Case cases[] = {
        {"second provider, every level", 1, {0, 0x1, 0}, 1},
        {"second provider, verbose level", 1, {5, 0x1, 0}, 1},
        {"second provider, all-keyword met", 1, {4, 0x3, 0x1}, 1},
        {"second provider, other keyword", 1, {0, 0x2, 0}, 0},
        {"second provider, all-keyword not met", 1, {0, 0x1, 0x3}, 0},
        {"first provider only", 0, {0, 0x1, 0}, 0},
        {"fourth provider only", 3, {0, 0x1, 0}, 0},
        {"nobody listens", -1, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::FakeEventTracing fake;
        if (c.listened >= 0) fake.ListenAtRegistration(c.listened, c.session);
        ASSERT_TRUE(RegisterEventTracing());
        ASSERT_EQ(fake.writes.size(), c.writes);
        if (c.writes == 0) continue;
        const testing::FakeEventTracing::Written& written = fake.writes[0];
        EXPECT_EQ(written.handle, fake.registrations[1].handle);
        EXPECT_EQ(written.event.id, kThreadNameEvent.id);
        EXPECT_EQ(written.event.opcode, kThreadNameEvent.opcode);
        EXPECT_EQ(written.event.task, kThreadNameEvent.task);
        EXPECT_EQ(written.event.keyword, kThreadNameEvent.keyword);
        EXPECT_EQ(written.fieldSizes, (std::vector<uint32_t>{4, 12}));
        EXPECT_EQ(written.threadId, Platform::CurrentThreadId());
        EXPECT_EQ(written.text, "Main thread");
        EXPECT_TRUE(written.terminated);
    }
}

TEST(EventTracingTest, ThreadNamesAreWrittenOnlyWhileRegisteredAndNullReadsNULL) {
    testing::FakeEventTracing fake;
    fake.ListenAtRegistration(1, {0, 0x1, 0});
    EXPECT_FALSE(AnnounceThreadName("early"));
    ASSERT_TRUE(RegisterEventTracing());
    ASSERT_EQ(fake.writes.size(), 1u);
    EXPECT_TRUE(AnnounceThreadName(nullptr));
    EXPECT_TRUE(AnnounceThreadName("worker"));
    ASSERT_EQ(fake.writes.size(), 3u);
    EXPECT_EQ(fake.writes[1].text, "NULL");
    EXPECT_EQ(fake.writes[1].fieldSizes, (std::vector<uint32_t>{4, 5}));
    EXPECT_TRUE(fake.writes[1].terminated);
    EXPECT_EQ(fake.writes[2].text, "worker");
    UnregisterEventTracing();
    EXPECT_FALSE(AnnounceThreadName("late"));
    EXPECT_EQ(fake.writes.size(), 3u);
}

}  // namespace
}  // namespace Vane
