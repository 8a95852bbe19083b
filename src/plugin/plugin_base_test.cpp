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
#include "plugin/trace.h"
#include "util/memory_hooks.h"
#include "value/page_reserve.h"

namespace Vane {
namespace {

using testing::JsonOf;
using testing::JsonValue;
using testing::PluginFixture;
using testing::TestHost;
using testing::TestPlugin;
using testing::TestValue;

// Collects trace lines while alive.
class TraceRecorder {
  public:
    TraceRecorder() {
        SetTraceSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~TraceRecorder() { SetTraceSink({}); }
    std::vector<std::string> lines;
};

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
    plugin->Subscribe("/a/b/c");
    plugin->StartTimer("t", 1'000'000'000, [] {});
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

// --- Events and resources ----------------------------------------------------------------

struct Level {
    int32_t value = 0;
    std::string name;
};
void DescribeType(RecordBuilder<Level>& r) {
    r.Name("TestLevel");
    r.Field("value", &Level::value);
    r.Field("name", &Level::name);
}

class EventsTest : public PluginFixture {
  protected:
    void SetUp() override {
        PluginFixture::SetUp();
        plugin->onRegisterApi = nullptr;
        RegisterType<Level>(plugin->Types());
        ASSERT_TRUE(Initialise());
    }
    TestValue ResourceEvent(const std::string& uri, const char* type, const char* dataJson) {
        TestValue event = JsonValue(std::string("{\"uri\":\"") + uri + "\",\"eventType\":\"" +
                                    type + "\",\"data\":" + dataJson + "}");
        return event;
    }
};

TEST_F(EventsTest, SubscriptionsAreCountedPerEventName) {
    const std::string name = "OnJsonApiEvent_x_v1_a";
    plugin->Subscribe("/x/v1/a/one");
    plugin->Subscribe("/x/v1/a/two");
    EXPECT_EQ(plugin->SubscriptionCount(name), 2u);
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
    EXPECT_EQ(host.Subscriptions()[name].flag, 0u);
    plugin->Unsubscribe("/x/v1/a/one");
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
    plugin->Unsubscribe("/x/v1/a/two");
    EXPECT_EQ(host.Subscriptions().count(name), 0u);
    // Unbalanced: ignored, the count doesn't wrap.
    plugin->Unsubscribe("/x/v1/a/two");
    EXPECT_EQ(plugin->SubscriptionCount(name), 0u);
    plugin->Subscribe("/x/v1/a");
    EXPECT_EQ(host.Subscriptions().count(name), 1u);
}

TEST_F(EventsTest, ExactObserverGetsTheCurrentValueThenChangesAndDeletes) {
    host.SetResource("/x/v1/level", JsonValue(R"({"value":3,"name":"three"})"));
    std::vector<std::string> seen;
    plugin->ObserveResource<Level>("/x/v1/level", [&](const std::string& uri,
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

TEST_F(EventsTest, FailedInitialReadReportsNothingAndWildcardsAreNotRead) {
    int calls = 0;
    plugin->ObserveResource<Level>(
        "/x/v1/missing", [&](const std::string&, const std::optional<Level>&) { ++calls; });
    plugin->ObserveResource<Level>(
        "/x/v1/items/*", [&](const std::string&, const std::optional<Level>&) { ++calls; });
    EXPECT_EQ(calls, 0);
    size_t gets = 0;
    for (const auto& r : host.Requests()) gets += r.method == 2;
    EXPECT_EQ(gets, 1u);  // only the exact pattern was read
}

TEST_F(EventsTest, DispatcherCallsExactThenEveryMatchingWildcardInOrder) {
    std::vector<std::string> order;
    auto observer = [&](std::string tag) {
        return [&order, tag](const std::string& uri, const std::optional<Level>&) {
            order.push_back(tag + ":" + uri);
        };
    };
    plugin->ObserveResource<Level>("/x/v1/items/*", observer("w1"));
    plugin->ObserveResource<Level>("/x/v1/items/a", observer("exact"));
    plugin->ObserveResource<Level>("/x/v1/*/a", observer("w2"));
    plugin->ObserveResource<Level>("/x/v1/items/*/deeper", observer("w3"));
    ASSERT_TRUE(host.Deliver("OnJsonApiEvent_x_v1_items",
                             ResourceEvent("/x/v1/items/a", "Create", R"({"value":1})")));
    EXPECT_EQ(order, (std::vector<std::string>{"exact:/x/v1/items/a", "w1:/x/v1/items/a",
                                               "w2:/x/v1/items/a"}));
}

TEST_F(EventsTest, UnknownEventsAndUndecodablePayloadsAreDropped) {
    int calls = 0;
    plugin->RegisterResourceEventHandler(
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

TEST_F(EventsTest, PublishFiresTheResourceEvent) {
    Level level{5, "five"};
    ASSERT_FALSE(
        plugin->PublishResource("/pyx-test/v1/level/", PluginResourceEventType::Update, level)
            .IsFailure());
    std::vector<testing::FiredEvent> events = host.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "OnJsonApiEvent_pyx-test_v1_level");
    EXPECT_EQ(events[0].flags, 0u);
    EXPECT_EQ(
        JsonOf(events[0].payload),
        R"({"data":{"name":"five","value":5},"eventType":"Update","uri":"/pyx-test/v1/level/"})");
}

// --- Requests --------------------------------------------------------------------------

struct NeverRegistered {
    int32_t x = 0;
};
void DescribeType(RecordBuilder<NeverRegistered>& r) {
    r.Name("NeverRegistered");
    r.Field("x", &NeverRegistered::x);
}

// A host stream handing out fixed chunks.
struct FakeStream {
    std::vector<std::string> chunks;
    std::vector<bool> more;
    size_t next = 0;
    bool failAt = false;
    size_t failIndex = 0;
    int closes = 0;

    static uint8_t Read(void* context, char* buffer, uint32_t* count, uint8_t* more) {
        auto* s = static_cast<FakeStream*>(context);
        if (s->failAt && s->next == s->failIndex) return 0;
        if (s->next >= s->chunks.size()) {
            *count = 0;
            *more = 0;
            return 1;
        }
        const std::string& chunk = s->chunks[s->next];
        EXPECT_EQ(*count, 4096u);
        std::memcpy(buffer, chunk.data(), chunk.size());
        *count = static_cast<uint32_t>(chunk.size());
        *more = s->more[s->next] ? 1 : 0;
        ++s->next;
        return 1;
    }
    static void Close(void* context) { ++static_cast<FakeStream*>(context)->closes; }
};

class RequestsTest : public EventsTest {
  protected:
    void ServeStream(FakeStream& stream) {
        host.SetRequestHook([&stream](const testing::RecordedRequest& r, HostResponseArea* area) {
            if (r.url != "/stream") return false;
            area->streamRead = &FakeStream::Read;
            area->streamClose = &FakeStream::Close;
            area->streamContext = &stream;
            area->expectedStreamSize = 8200;
            area->status = 200;
            return true;
        });
    }
    static std::string Text(size_t size, char fill) { return std::string(size, fill); }
};

TEST_F(RequestsTest, UnconvertibleArgumentFailsWith400AndSendsNothing) {
    MaybeType<Failure, void> sent =
        plugin->RequestVoid(HttpMethod::kPost, "/x/v1/thing", std::string("ok"), NeverRegistered{});
    ASSERT_TRUE(sent.IsFailure());
    EXPECT_EQ(sent.GetFailure().Code(), 400);
    EXPECT_EQ(sent.GetFailure().Message().rfind(
                  "Request not sent: Error converting parameters for POST /x/v1/thing: ", 0),
              0u)
        << sent.GetFailure().Message();
    EXPECT_TRUE(host.Requests().empty());
}

TEST_F(RequestsTest, ErrorResponseCarriesTheStatus) {
    MaybeType<Failure, Level> got = plugin->Request<Level>(HttpMethod::kGet, "/nowhere");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(got.GetFailure().Code(), 404);
    EXPECT_EQ(got.GetFailure().Message(), "Error response for GET /nowhere: Not found: /nowhere");
}

TEST_F(RequestsTest, ArgumentsAndResultAreConverted) {
    host.SetResource("/x/v1/level", JsonValue(R"({"value":9,"name":"nine"})"));
    MaybeType<Failure, Level> got = plugin->Request<Level>(HttpMethod::kGet, "/x/v1/level");
    ASSERT_TRUE(got.HasValue()) << got.GetFailure().Message();
    EXPECT_EQ(got.Value().value, 9);
    ASSERT_FALSE(plugin->RequestVoid(HttpMethod::kGet, "/x/v1/level", Level{1, "a"}, uint32_t{7})
                     .IsFailure());
    testing::RecordedRequest last = host.Requests().back();
    EXPECT_EQ(last.method, 2u);
    EXPECT_EQ(last.pluginHandle, TestHost::kPluginHandle);
    ASSERT_EQ(last.arguments.size(), 2u);
    EXPECT_EQ(last.arguments[0].first, "");
    EXPECT_EQ(JsonOf(last.arguments[0].second), R"({"name":"a","value":1})");
    EXPECT_EQ(JsonOf(last.arguments[1].second), "7");
    // A result that doesn't convert.
    MaybeType<Failure, std::vector<int32_t>> wrong =
        plugin->Request<std::vector<int32_t>>(HttpMethod::kGet, "/x/v1/level");
    ASSERT_TRUE(wrong.IsFailure());
    EXPECT_EQ(wrong.GetFailure().Code(), 0);
    EXPECT_EQ(
        wrong.GetFailure().Message().rfind("Error converting response for GET /x/v1/level: ", 0),
        0u);
}

TEST_F(RequestsTest, StreamedBodyInFullChunksNeedsNoWait) {
    FakeStream stream;
    const std::string body = "[\"" + Text(4094, 'a') + Text(4096 + 8, 'b') + "\"]";
    stream.chunks = {body.substr(0, 4096), body.substr(4096, 4096), body.substr(8192)};
    ASSERT_EQ(stream.chunks[2].size(), 10u);
    stream.more = {true, true, false};
    ServeStream(stream);
    MaybeType<Failure, std::vector<std::string>> got =
        plugin->Request<std::vector<std::string>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.HasValue()) << got.GetFailure().Message();
    ASSERT_EQ(got.Value().size(), 1u);
    EXPECT_EQ(got.Value()[0].size(), 4094u + 4104u);
    EXPECT_EQ(host.YieldCount(), 0);
    EXPECT_EQ(stream.closes, 1);
}

TEST_F(RequestsTest, ShortChunkWithMoreWaitsOnce) {
    FakeStream stream;
    stream.chunks = {"[1,", "2]"};
    stream.more = {true, false};
    ServeStream(stream);
    MaybeType<Failure, std::vector<int32_t>> got =
        plugin->Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.HasValue()) << got.GetFailure().Message();
    EXPECT_EQ(got.Value(), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(host.YieldCount(), 1);
    EXPECT_EQ(host.Labels(), std::vector<std::string>{"Wait: yield"});
}

TEST_F(RequestsTest, StreamFailures) {
    FakeStream bad;
    bad.chunks = {"[1,", "2"};
    bad.more = {true, false};
    ServeStream(bad);
    MaybeType<Failure, std::vector<int32_t>> got =
        plugin->Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(
        got.GetFailure().Message().rfind("Error converting response for GET /stream: Error: ", 0),
        0u)
        << got.GetFailure().Message();
    EXPECT_EQ(bad.closes, 1);

    FakeStream failing;
    failing.chunks = {"[1,", "2]"};
    failing.more = {true, true};
    failing.failAt = true;
    failing.failIndex = 1;
    ServeStream(failing);
    got = plugin->Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(got.GetFailure().Message(),
              "Error reading streamed response for GET /stream: Stream read error");
    EXPECT_EQ(failing.closes, 1);
}

TEST_F(RequestsTest, TelemetryPostsTheEventNameUnchanged) {
    host.SetRequestHook([](const testing::RecordedRequest& r, HostResponseArea* area) {
        if (r.url.rfind("/telemetry/", 0) != 0) return false;
        area->status = 204;
        return true;
    });
    BindingProperty parameters;
    ASSERT_TRUE(parameters.MakeStructure());
    EXPECT_TRUE(parameters.MemberForWrite("k")->SetString("v"));
    EXPECT_FALSE(plugin->PostTelemetryEvent("a/b c", parameters).get().IsFailure());
    EXPECT_FALSE(plugin->PostTelemetryEvent("plain", BindingProperty()).get().IsFailure());
    std::vector<testing::RecordedRequest> requests = host.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, "/telemetry/v1/events/a/b c");
    EXPECT_EQ(requests[0].method, 6u);
    ASSERT_EQ(requests[0].arguments.size(), 1u);
    EXPECT_EQ(JsonOf(requests[0].arguments[0].second), R"({"k":"v"})");
    EXPECT_TRUE(requests[1].arguments.empty());
    host.SetRequestHook({});
    MaybeType<Failure, void> failed = plugin->PostTelemetryEvent("x", BindingProperty()).get();
    ASSERT_TRUE(failed.IsFailure());
    EXPECT_EQ(failed.GetFailure().Code(), 404);
}

}  // namespace
}  // namespace Vane
