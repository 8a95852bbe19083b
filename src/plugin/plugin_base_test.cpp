#include "plugin/plugin_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/event_tracing.h"
#include "log/event_tracing_test_support.h"
#include "log/log_categories.h"
#include "log/logged_error_test_support.h"
#include "log/logger.h"
#include "plugin/event_names.h"
#include "plugin/memory_accounting.h"
#include "plugin/plugin_log_target.h"
#include "plugin/plugin_test_support.h"
#include "util/memory_hooks.h"
#include "value/page_reserve.h"

namespace Vane {
namespace {

using testing::PluginFixture;
using testing::TestHost;
using testing::TestPlugin;

TEST(EventNamesTest, JsonApiEventNameKeepsThreePiecesOrFiveForPlatformConfig) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"/pyx-missions/v1/missions/abc", "OnJsonApiEvent_pyx-missions_v1_missions"},
        {"pyx-missions//v1/missions", "OnJsonApiEvent_pyx-missions_v1_missions"},
        {"/pyx-platform-config/v1/namespaces/A/B/C",
         "OnJsonApiEvent_pyx-platform-config_v1_namespaces_A_B"},
        {"/a", "OnJsonApiEvent_a"},
        {"", "OnJsonApiEvent"},
    };
    for (const Case& c : cases) EXPECT_EQ(JsonApiEventName(c.path), c.name) << c.path;
}

TEST(EventNamesTest, WildcardMatch) {
    struct Case {
        const char* pattern;
        const char* path;
        bool match;
    } cases[] = {
        {"/a/*", "/a/b", true},      {"/a/*", "/a/bc", true},    {"/a/*", "/a/", false},
        {"/a/*", "/a/b/c", false},   {"/a/*/c", "/a/b/c", true}, {"/a/*/c", "/a//c", true},
        {"/a/*x", "/a/bx", false},   {"/a/b", "/a/b", true},     {"/a/b", "/a/bb", false},
        {"/a/*/c", "/a/b/d", false}, {"*", "x", true},           {"", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.path), c.match) << c.pattern << " ~ " << c.path;
    }
}

TEST(PluginIdentityTest, FullNamePrefixByType) {
    EXPECT_EQ(GetFullNameFromShortNameAndType("pyx-missions", BackendPluginType()),
              "vcp-be-pyx-missions");
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", FrontendPluginType()), "vcp-fe-x");
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", PluginType{"backend2", ""}), "vcp-xx-x");
}

// --- Loader and callbacks ------------------------------------------------------------------

class LoaderTest : public PluginFixture {};

TEST_F(LoaderTest, FillsTheLoadRecordAndIdentity) {
    // The record is packed: its members are copied before they are compared.
    const uint32_t major = record.apiMajor, minor = record.apiMinor, patch = record.apiPatch;
    const void* pluginWord = record.plugin;
    const PluginCallbacks* callbacks = record.callbacks;
    const char* shortName = record.shortName;
    const HostApiTable* apiTable = record.apiTable;
    EXPECT_EQ(major, 18u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(patch, 0u);
    EXPECT_EQ(pluginWord, plugin);
    ASSERT_NE(callbacks, nullptr);
    EXPECT_STREQ(shortName, "pyx-test");
    ASSERT_NE(apiTable, nullptr);
    EXPECT_EQ(plugin->registerApiCalls, 1);
    EXPECT_EQ(plugin->Identity().fullName, "vcp-be-pyx-test");
    EXPECT_EQ(plugin->Identity().typeName, "backend");
    EXPECT_EQ(plugin->ApiPathPrefix(), "PyxTest");
    EXPECT_EQ(plugin->LogContext(), (std::vector<std::string>{"Plugins", "Plugin pyx-test"}));
    // The runtime's own records and events are described to the host.
    for (const char* type : {"PluginResourceEvent", "PluginServiceProxyResponse",
                             "PluginResourceEventType", "PluginManagerResource"}) {
        EXPECT_NE(plugin->Types().FindByName(type), nullptr) << type;
    }
    MaybeType<Failure, std::vector<EventDescription>> events = plugin->Types().Events();
    ASSERT_TRUE(events.HasValue());
    std::vector<std::string> names;
    for (const EventDescription& e : events.Value()) names.push_back(e.name);
    for (const char* event : {"OnJsonApiEvent", "OnLcdsEvent", "OnServiceProxyUuidEvent",
                              "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), event), names.end()) << event;
    }
    // Nothing reaches the host before initialise.
    EXPECT_TRUE(host.Requests().empty());
    EXPECT_TRUE(host.Subscriptions().empty());
}

TEST(LoaderDeathTest, IncompatibleCoreEndsTheProcessWithTheReport) {
    struct Case {
        uint32_t major, minor, patch;
        const char* coreText;
    };
    const Case cases[] = {{17, 0, 0, "17.0.0"}, {19, 2, 3, "19.2.3"}};
    for (const Case& c : cases) {
        // The report names the code and the versions, and nothing of the source it came from.
        const std::string expected =
            std::string(
                "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: pyx-test "
                "which supports plugin API 18.0.0 is not compatible with core's plugin "
                "API ") +
            c.coreText;
        EXPECT_DEATH(
            {
                // Earlier tests may have moved log lines to a host; this target writes them
                // to standard error whatever the logger went through.
                StdErrLogTarget target;
                target.Attach();
                PluginLoadRecord record{};
                record.apiMajor = c.major;
                record.apiMinor = c.minor;
                record.apiPatch = c.patch;
                LoadPlugin(new TestPlugin, &record, "pyx-test");
            },
            testing::LastLoggedErrorIs(expected))
            << c.coreText;
    }
}

TEST(LoaderTest2, NewerCoreMinorIsAcceptedAndRecordAnswered) {
    TestHost host;
    PluginLoadRecord record{};
    record.apiMajor = 18;
    record.apiMinor = 3;
    auto* plugin = new TestPlugin;
    LoadPlugin(plugin, &record, "pyx-test");
    const uint32_t answeredMinor = record.apiMinor;
    EXPECT_EQ(answeredMinor, 0u);
    EXPECT_EQ(plugin->CoreVersion().Text(), "18.3.0");
    record.callbacks->shutdown(record.plugin);
}

TEST(LoaderDiagnosticsTest, LoadRegistersTheLocCategoryInTheFirstFreeSlot) {
    for (int load = 0; load < 2; ++load) {
        PluginLoadRecord record{};
        record.apiMajor = 18;
        LoadPlugin(new TestPlugin, &record, "pyx-test");
        EXPECT_STREQ(CategoryNameAt(8).text, "LOC");
        EXPECT_EQ(CategoryBit("LOC"), uint64_t{1} << 8);
        // A second load finds the name and takes no further slot.
        EXPECT_EQ(ProcessCategories().HighestSlot(), 8);
        record.callbacks->shutdown(record.plugin);
    }
}

TEST(LoaderDiagnosticsTest, EventTracingIsRegisteredOnceByTheLoaderAndUnregisteredAtShutdown) {
    testing::FakeEventTracing tracing;
    tracing.ListenAtRegistration(1, {0, 0x1, 0});
    TestHost host;
    PluginLoadRecord record{};
    record.apiMajor = 18;
    LoadPlugin(new TestPlugin(&host), &record, "pyx-test");
    EXPECT_EQ(tracing.registrations.size(), 4u);
    ASSERT_EQ(tracing.writes.size(), 1u);
    EXPECT_EQ(tracing.writes[0].text, "Main thread");

    ASSERT_NE(record.callbacks->initialise(record.plugin, host.Context()), 0);
    EXPECT_EQ(tracing.registrations.size(), 4u);
    EXPECT_TRUE(tracing.unregistered.empty());

    record.callbacks->shutdown(record.plugin);
    ASSERT_EQ(tracing.unregistered.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(tracing.unregistered[i], tracing.registrations[i].handle);
    }
    EXPECT_FALSE(GetTraceProvider(1).IsEnabled());
    EXPECT_EQ(tracing.writes.size(), 1u);
}

TEST_F(LoaderTest, InitialiseSubscribesServiceProxyEventsAndStarts) {
    bool started = false;
    plugin->onStart = [&](TestPlugin&) { return started = true; };
    ASSERT_TRUE(Initialise());
    EXPECT_TRUE(started);
    EXPECT_EQ(plugin->UserAgent(), "VaneClient/18.0.0 (pyx-test)");
    EXPECT_EQ(plugin->PluginHandle(), TestHost::kPluginHandle);
    std::map<std::string, testing::Subscription> subscriptions = host.Subscriptions();
    for (const char* name :
         {"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
        ASSERT_EQ(subscriptions.count(name), 1u) << name;
        EXPECT_EQ(subscriptions[name].flag, 1u);
        EXPECT_EQ(subscriptions[name].pluginHandle, TestHost::kPluginHandle);
        EXPECT_EQ(subscriptions[name].context, plugin);
    }
}

TEST_F(LoaderTest, StartFailingMakesInitialiseReportZero) {
    plugin->onStart = [](TestPlugin&) { return false; };
    EXPECT_FALSE(Initialise());
}

TEST_F(LoaderTest, ShutdownUnsubscribesEverythingAndDestroysThePlugin) {
    ASSERT_TRUE(Initialise());
    plugin->Resources().Subscribe("/a/b/c");
    plugin->Timers().StartTimer("t", 1'000'000'000, [] {});
    ASSERT_EQ(host.Subscriptions().size(), 4u);
    TestPlugin* raw = plugin;
    int shutdowns = 0;
    raw->onStart = nullptr;
    ShutDown();
    (void)shutdowns;
    EXPECT_EQ(destroyedCount, 1);
    EXPECT_TRUE(host.Subscriptions().empty());
    // The timer's tick, still queued in the host, finds nothing and touches nothing.
    EXPECT_GE(host.AdvanceTime(2), 0);
}

TEST_F(LoaderTest, ShutdownGivesTheValuePoolsEmptyRegionsBack) {
    {
        // A tree big enough to fill several regions, gone before the shutdown.
        BindingProperty tree;
        ASSERT_TRUE(tree.MakeStructure());
        for (int i = 0; i < 20000; ++i) {
            EXPECT_TRUE(tree.MemberForWrite("member " + std::to_string(i))
                            ->SetString("value " + std::to_string(i)));
        }
    }
    ASSERT_GT(PageReserve::Instance().Statistics().regionsFree, 0u);
    ShutDown();
    EXPECT_EQ(PageReserve::Instance().Statistics().regionsFree, 0u);
}

TEST_F(LoaderTest, LogLinesGoToTheHostOnceInitialised) {
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(Initialise());
    Log(kLogOkay, 0, 0, "hello %d", 42);
    Log(kLogError, 0, 0, "bad");
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(stderrText, "");
    std::vector<testing::HostLogLine> lines = host.LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].message, "hello 42");
    EXPECT_EQ(lines[lines.size() - 2].level, kLogOkay);
    EXPECT_EQ(lines.back().message, "bad");
    EXPECT_EQ(lines.back().level, kLogError);
    ASSERT_NE(plugin->LogTarget(), nullptr);

    // A second plugin in the same process finds the target and doesn't make another.
    TestHost otherHost;
    PluginLoadRecord other{};
    other.apiMajor = 18;
    auto* second = new TestPlugin;
    LoadPlugin(second, &other, "pyx-other");
    ASSERT_NE(other.callbacks->initialise(second, otherHost.Context()), 0);
    EXPECT_EQ(second->LogTarget(), nullptr);
    other.callbacks->shutdown(second);
}

TEST_F(LoaderTest, MemoryStatisticsAreSixCountersAndTwoZeroWords) {
    ASSERT_TRUE(InstallCountingMemoryHooks());
    const std::array<uint64_t, 6> before = MemoryCounters();
    void* block = HookedAllocate(1000);
    HookedFree(block);
    uint32_t out[14];
    std::memset(out, 0xAB, sizeof out);
    record.callbacks->memoryStatistics(record.plugin, out);
    EXPECT_EQ(out[12], 0u);
    EXPECT_EQ(out[13], 0u);
    auto counter = [&](int i) { return uint64_t{out[2 * i]} | uint64_t{out[2 * i + 1]} << 32; };
    EXPECT_EQ(counter(kAllocations), before[kAllocations] + 1);
    EXPECT_EQ(counter(kFrees), before[kFrees] + 1);
    EXPECT_GE(counter(kBytesAllocated), before[kBytesAllocated] + 1000);
    EXPECT_EQ(counter(kBytesAllocated) - before[kBytesAllocated],
              counter(kBytesFreed) - before[kBytesFreed]);
    EXPECT_GE(counter(kPeakBytesInUse), 1000u);
}

}  // namespace
}  // namespace Vane
