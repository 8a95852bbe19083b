// The devhost program driven over HTTP with the probe plugin (probe_plugin_test_support.cpp):
// loading, the host thread, host operations, event delivery, routes and a clean stop.
#include <gtest/gtest.h>

#include "codec/json_reader.h"
#include "devhost/devhost_process_test_support.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

using testing::BuiltFile;
using testing::DevHostProcess;
using testing::EventStreamListener;
using testing::Eventually;
using testing::StopWith;

BindingProperty Json(const std::string& text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text;
    return std::move(status.Value());
}

bool Contains(const BindingProperty& list, const std::string& text) {
    for (const BindingProperty& item : list.Elements()) {
        if (item.GetString() == text) return true;
    }
    return false;
}

class ProbeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        process_ =
            DevHostProcess::Start(BuiltFile(DEVHOST_BINARY),
                                  {"--plugin", BuiltFile(PROBE_PLUGIN), "--latency", "30"}, error);
        ASSERT_NE(process_, nullptr) << error;
        client_ = process_->Client();
    }

    BindingProperty State() {
        httplib::Result result = client_->Get("/probe/v1/state");
        EXPECT_TRUE(result);
        if (!result) return BindingProperty();
        EXPECT_EQ(result->status, 200) << result->body;
        return Json(result->body);
    }

    std::unique_ptr<DevHostProcess> process_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(ProbeTest, InitialiseReachesTheWorldAndEveryCallRunsOnOneThread) {
    BindingProperty state = State();
    EXPECT_EQ(ReadInt64(state.Member("sessionAccountId")), 2400001);  // the built-in player
    const std::string uuid = ReadString(state.Member("uuid")).value_or("");
    EXPECT_EQ(uuid.size(), 36u);

    // The service-proxy answer comes later, as an event, for the same uuid.
    ASSERT_TRUE(Eventually([&] { return !ReadString(State().Member("answerUuid"))->empty(); }));
    state = State();
    EXPECT_EQ(ReadString(state.Member("answerUuid")), uuid);
    EXPECT_EQ(ReadString(state.Member("answerStatus")), "200");

    // Scheduled callbacks fire after their delay and reschedule themselves; each fires an event.
    ASSERT_TRUE(Eventually([&] { return ReadInt64(State().Member("timerFired")) == 3; }));
    httplib::Result fired = client_->Get("/devhost/events");
    ASSERT_TRUE(fired);
    const BindingProperty events = Json(fired->body).Member("items");
    ASSERT_EQ(events.Size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadString(events.Element(i).Member("name")), "OnProbeTimer");
        EXPECT_EQ(ReadInt64(events.Element(i).Member("payload").Member("fired")),
                  static_cast<int64_t>(i + 1));
    }

    state = State();
    EXPECT_TRUE(state.Member("oneThread").GetBool());
    EXPECT_FALSE(state.Member("badContext").GetBool(true));
    // Every earlier route response was released exactly once; this one is still being read.
    EXPECT_EQ(ReadInt64(state.Member("releases")),
              ReadInt64(state.Member("routeCalls")).value() - 1);

    httplib::Result log = client_->Get("/devhost/log");
    ASSERT_TRUE(log);
    const BindingProperty lines = Json(log->body).Member("items");
    ASSERT_GE(lines.Size(), 1u);
    EXPECT_EQ(ReadString(lines.Element(0).Member("message")), "probe: started");
    EXPECT_EQ(ReadString(lines.Element(0).Member("levelName")), "WARN");
}

TEST_F(ProbeTest, ResourceChangesReachTheSubscriberAndStopEndsCleanly) {
    EventStreamListener stream(process_->Port());
    ASSERT_TRUE(stream.WaitConnected());
    httplib::Result put = client_->Put("/devhost/resources/pyx-login/v1/session",
                                       R"({"accountId": 9, "summonerId": 9})", "application/json");
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 200) << put->body;
    EXPECT_EQ(ReadString(Json(put->body).Member("eventType")), "Update");
    httplib::Result gone = client_->Delete("/devhost/resources/pyx-login/v1/session");
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->status, 204);
    EXPECT_EQ(client_->Delete("/devhost/resources/pyx-login/v1/session")->status, 404);
    // Another event name: not delivered to the probe.
    client_->Put("/devhost/resources/pyx-gameflow/v1/session", R"({"phase":"Lobby"})",
                 "application/json");
    ASSERT_TRUE(Eventually([&] {
        return Contains(State().Member("events"),
                        "OnJsonApiEvent_pyx-login_v1_session /pyx-login/v1/session Delete");
    }));
    const BindingProperty events = State().Member("events");
    EXPECT_TRUE(
        Contains(events, "OnJsonApiEvent_pyx-login_v1_session /pyx-login/v1/session Update"));
    for (const BindingProperty& event : events.Elements()) {
        EXPECT_EQ(event.GetString().find("gameflow"), std::string_view::npos);
    }

    // The requests the plugin made, with the answers it got.
    httplib::Result requests = client_->Get("/devhost/requests?since=1");
    ASSERT_TRUE(requests);
    const BindingProperty items = Json(requests->body).Member("items");
    ASSERT_GE(items.Size(), 2u);
    EXPECT_EQ(ReadString(items.Element(0).Member("url")), "/pyx-login/v1/session");
    EXPECT_EQ(ReadString(items.Element(1).Member("method")), "POST");
    EXPECT_EQ(items.Element(1).Member("arguments").Size(), 3u);

    // The probe answers each resource event with an event of its own, streamed to the client.
    ASSERT_TRUE(Eventually([&] { return stream.Count("OnProbeSaw") == 2; }));
    for (const auto& event : stream.Events()) {
        if (event.name == "OnProbeSaw") {
            EXPECT_EQ(event.data, R"({"uri":"/pyx-login/v1/session"})");
        }
    }

    // An open event stream does not hold the stop up.
    EXPECT_EQ(process_->Stop(StopWith::kTerminate, std::chrono::seconds(5)), 0);
    EXPECT_NE(process_->Output().find("ALWAYS| probe: shut down"), std::string::npos)
        << process_->Output();
}

TEST_F(ProbeTest, ClosingTheConsoleEndsCleanly) {
#ifndef _WIN32
    GTEST_SKIP() << "consoles that close exist on Windows; Linux's stop signals are tested above";
#endif
    // The system ends the process once the handler returns; the plugin must be shut down first.
    ASSERT_TRUE(Eventually([&] { return ReadInt64(State().Member("timerFired")) >= 1; }));
    EXPECT_EQ(process_->Stop(StopWith::kConsoleClose, std::chrono::seconds(5)), 0);
    const std::string output = process_->Output();
    EXPECT_NE(output.find("devhost: console close received, stopping"), std::string::npos)
        << output;
    EXPECT_NE(output.find("ALWAYS| probe: shut down"), std::string::npos) << output;
}

TEST_F(ProbeTest, RoutesPassStatusErrorsPathsBodiesAndStreams) {
    httplib::Result failed = client_->Post("/probe/v1/fail", "", "application/json");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 418);
    EXPECT_EQ(failed->body, R"({"httpStatus":418,"message":"Probe failure"})");

    httplib::Result echo =
        client_->Put("/probe/v1/echo/a%20b?x=1&y=2", R"({"k":[1,2]})", "application/json");
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->status, 200) << echo->body;
    const BindingProperty echoed = Json(echo->body);
    EXPECT_EQ(ReadString(echoed.Member("path")), "/probe/v1/echo/a%20b?x=1&y=2");
    EXPECT_EQ(ReadString(echoed.Member("body")), R"({"k":[1,2]})");
    EXPECT_EQ(ReadString(echoed.Member("contentType")), "application/json");
    EXPECT_EQ(ReadInt64(echoed.Member("method")), 7);

    httplib::Result stream = client_->Get("/probe/v1/stream");
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->status, 200);
    EXPECT_EQ(stream->body.size(), 60003u);  // read in several chunks
    EXPECT_EQ(Json(stream->body).Size(), 30001u);

    httplib::Result unknown = client_->Get("/probe/v1/nothing");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    httplib::Result wrongMethod = client_->Delete("/probe/v1/state");
    ASSERT_TRUE(wrongMethod);
    EXPECT_EQ(wrongMethod->status, 405);
    EXPECT_EQ(wrongMethod->get_header_value("Allow"), "GET, HEAD");
    httplib::Result control = client_->Get("/devhost/nothing");
    ASSERT_TRUE(control);
    EXPECT_EQ(control->status, 404);

    httplib::Result status = client_->Get("/devhost/status");
    ASSERT_TRUE(status);
    const BindingProperty report = Json(status->body);
    EXPECT_EQ(ReadString(report.Member("plugin").Member("shortName")), "probe");
    EXPECT_EQ(ReadInt64(report.Member("memory").Member("bytesAllocated")), 1234);
    // The machine and the host process as devhost found them before loading the plugin.
    const BindingProperty& system = report.Member("system");
    const std::optional<uint64_t> logical =
        ReadUint64(system.Member("processors").Member("logical"));
    const std::optional<uint64_t> cores = ReadUint64(system.Member("processors").Member("cores"));
    const std::optional<uint64_t> packages =
        ReadUint64(system.Member("processors").Member("packages"));
    ASSERT_TRUE(logical && cores && packages) << ToJsonText(system);
    EXPECT_GE(*logical, *cores);
    EXPECT_GE(*cores, *packages);
    EXPECT_GE(*packages, 1u);
    const BindingProperty& memory = system.Member("memory");
    const std::optional<uint64_t> total = ReadUint64(memory.Member("totalPhysicalBytes"));
    const std::optional<uint64_t> available = ReadUint64(memory.Member("availablePhysicalBytes"));
    ASSERT_TRUE(total && available) << ToJsonText(system);
    EXPECT_GT(*total, *available);
    EXPECT_GT(*available, 0u);
    for (const char* figure : {"commitLimitBytes", "commitAvailableBytes"}) {
        EXPECT_TRUE(ReadUint64(memory.Member(figure))) << figure << " " << ToJsonText(system);
    }
    const BindingProperty& process = system.Member("process");
    const std::optional<uint64_t> resident = ReadUint64(process.Member("residentBytes"));
    const std::optional<uint64_t> peak = ReadUint64(process.Member("peakResidentBytes"));
    const std::optional<uint64_t> addressSpace = ReadUint64(process.Member("virtualBytes"));
    ASSERT_TRUE(resident && peak && addressSpace) << ToJsonText(system);
    EXPECT_GT(*resident, 0u);
    EXPECT_GE(*peak, *resident);
    EXPECT_GE(*addressSpace, *resident);
    EXPECT_LT(*resident, *total);
    EXPECT_EQ(report.Member("routes").Size(), 4u);
    EXPECT_EQ(ReadString(report.Member("lastLabel")), "Wait: yield");
    EXPECT_EQ(ReadInt64(report.Member("counters").Member("yields")), 1);
}

}  // namespace
}  // namespace Vane::DevHost
