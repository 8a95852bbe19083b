#include "plugin/request_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::JsonOf;
using testing::JsonValue;
using testing::Level;
using testing::TestHost;

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
    // Claims one byte more than the buffer holds at `failIndex` (writing none of them).
    bool overrunAt = false;
    int closes = 0;

    static uint8_t Read(void* context, char* buffer, uint32_t* count, uint8_t* more) {
        auto* s = static_cast<FakeStream*>(context);
        if (s->failAt && s->next == s->failIndex) return 0;
        if (s->overrunAt && s->next == s->failIndex) {
            *count += 1;
            *more = 1;
            ++s->next;
            return 1;
        }
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

BindingProperty JsonValueOf(std::string_view json) {
    ConversionStatus parsed = ParseJson(json);
    EXPECT_TRUE(parsed.Ok()) << json;
    return parsed.Ok() ? std::move(parsed.Value()) : BindingProperty();
}

class RequestsTest : public testing::InitialisedPluginFixture {
  protected:
    RequestClient& Requests() { return plugin->Requests(); }
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
    MaybeType<Failure, void> sent = Requests().RequestVoid(HttpMethod::kPost, "/x/v1/thing",
                                                           std::string("ok"), NeverRegistered{});
    ASSERT_TRUE(sent.IsFailure());
    EXPECT_EQ(sent.GetFailure().Code(), 400);
    EXPECT_EQ(sent.GetFailure().Message().rfind(
                  "Request not sent: Error converting parameters for POST /x/v1/thing: ", 0),
              0u)
        << sent.GetFailure().Message();
    EXPECT_TRUE(host.Requests().empty());
}

TEST_F(RequestsTest, ErrorResponseCarriesTheStatus) {
    MaybeType<Failure, Level> got = Requests().Request<Level>(HttpMethod::kGet, "/nowhere");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(got.GetFailure().Code(), 404);
    EXPECT_EQ(got.GetFailure().Message(), "Error response for GET /nowhere: Not found: /nowhere");
}

TEST_F(RequestsTest, ArgumentsAndResultAreConverted) {
    host.SetResource("/x/v1/level", JsonValue(R"({"value":9,"name":"nine"})"));
    MaybeType<Failure, Level> got = Requests().Request<Level>(HttpMethod::kGet, "/x/v1/level");
    ASSERT_TRUE(got.HasValue()) << got.GetFailure().Message();
    EXPECT_EQ(got.Value().value, 9);
    ASSERT_FALSE(Requests()
                     .RequestVoid(HttpMethod::kGet, "/x/v1/level", Level{1, "a"}, uint32_t{7})
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
        Requests().Request<std::vector<int32_t>>(HttpMethod::kGet, "/x/v1/level");
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
        Requests().Request<std::vector<std::string>>(HttpMethod::kGet, "/stream");
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
        Requests().Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
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
        Requests().Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
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
    got = Requests().Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(got.GetFailure().Message(),
              "Error reading streamed response for GET /stream: Stream read error");
    EXPECT_EQ(failing.closes, 1);
}

TEST_F(RequestsTest, AChunkLargerThanTheBufferIsAHostFaultNotData) {
    FakeStream overrun;
    overrun.chunks = {"[1,", "2]"};
    overrun.more = {true, false};
    overrun.overrunAt = true;
    overrun.failIndex = 1;
    ServeStream(overrun);
    MaybeType<Failure, std::vector<int32_t>> got =
        Requests().Request<std::vector<int32_t>>(HttpMethod::kGet, "/stream");
    ASSERT_TRUE(got.IsFailure());
    EXPECT_EQ(got.GetFailure().Message(),
              "Error reading streamed response for GET /stream: Stream read error");
    EXPECT_EQ(overrun.closes, 1);
}

TEST_F(RequestsTest, NamedParametersGoAsOneStructure) {
    host.SetRequestHook([](const testing::RecordedRequest&, HostResponseArea* area) {
        area->status = 204;
        return true;
    });
    RequestResponse response;
    MaybeType<Failure, void> sent =
        Requests().SendNamed(HttpMethod::kPut, "/x/v1/named",
                             {{"b", JsonValueOf(R"("two")")}, {"a", JsonValueOf("1")}}, response);
    ASSERT_FALSE(sent.IsFailure()) << sent.GetFailure().Message();
    testing::RecordedRequest last = host.Requests().back();
    EXPECT_EQ(last.method, 7u);
    ASSERT_EQ(last.arguments.size(), 1u);
    EXPECT_EQ(last.arguments[0].first, "");
    EXPECT_EQ(JsonOf(last.arguments[0].second), R"({"a":1,"b":"two"})");
}

TEST_F(RequestsTest, AHostWithoutARequestOperationGetsNothingSent) {
    host.RemoveOperation(&HostCore::request);
    MaybeType<Failure, void> sent = Requests().RequestVoid(HttpMethod::kGet, "/x/v1/level");
    ASSERT_TRUE(sent.IsFailure());
    EXPECT_EQ(sent.GetFailure().Code(), 0);
    EXPECT_EQ(sent.GetFailure().Message(),
              "Error response for GET /x/v1/level: The plugin is not connected to a host");
    EXPECT_TRUE(host.Requests().empty());
}

}  // namespace
}  // namespace Vane
