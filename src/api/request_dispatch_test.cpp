#include "api/request_dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/dispatch_test_support.h"
#include "api/typed_handler.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

using testing::CallOutcome;
using testing::CallRoute;
using testing::TestRequest;

ArgumentDefinition Text(std::string name, ArgumentLocation location = ArgumentLocation::kAny) {
    return ArgumentDefinition{.name = std::move(name),
                              .type = {static_cast<uint32_t>(NativeKind::kString), 0, nullptr},
                              .location = location};
}

const RouteBinding* Echo(LocalApi& api, HttpMethod method, std::string_view url,
                         std::vector<ArgumentDefinition> arguments = {}) {
    FunctionDefinition definition;
    definition.arguments = std::move(arguments);
    std::string error;
    const RouteBinding* binding =
        testing::RegisterEcho(api, method, url, std::move(definition), nullptr, &error);
    EXPECT_NE(binding, nullptr) << error;
    return binding;
}

CallOutcome Request(const RouteBinding* binding, HttpMethod method, std::string path,
                    std::string customMethod = {}) {
    TestRequest request;
    request.method = method;
    request.path = std::move(path);
    request.customMethod = std::move(customMethod);
    return CallRoute(binding, request);
}

TEST(RequestDispatchTest, PathsMatchTheirRouteOrAnswerInvalidFunction) {
    LocalApi api;
    const RouteBinding* segment = Echo(api, HttpMethod::kGet, "/x/{id}", {Text("id")});
    const RouteBinding* literal = Echo(api, HttpMethod::kGet, "/pyx/v1/missions");
    const RouteBinding* slashed = Echo(api, HttpMethod::kGet, "/a/b/");
    const RouteBinding* tail =
        Echo(api, HttpMethod::kGet, "/t/{id}", {Text("id"), Text("q", ArgumentLocation::kQuery)});
    const RouteBinding* rest = Echo(api, HttpMethod::kGet, "/files/{+path}", {Text("path")});
    ASSERT_TRUE(segment && literal && slashed && tail && rest);
    EXPECT_EQ(slashed->url, "/a/b");
    EXPECT_EQ(slashed->function->name, "GetAB");

    struct Case {
        const RouteBinding* binding;
        const char* path;
        const char* json;  // null: "Invalid function"
    };
    const Case cases[] = {
        {segment, "/x/abc", R"({"id":"abc"})"},
        {segment, "/x/%20", R"({"id":"%20"})"},  // captures are not URL-decoded
        {segment, "/x/", nullptr},  // an empty capture leaves the string argument wanting
        {segment, "/x/a/b", nullptr},
        {literal, "/pyx/v1/missions", "{}"},
        {literal, "/pyx/v1/missions/", nullptr},     // a trailing "/" misses a literal route
        {literal, "/pyx/v1/missions?x=1", nullptr},  // so does a query
        {literal, "/PYX/v1/missions", nullptr},
        {slashed, "/a/b", "{}"},
        {slashed, "/a/b/", nullptr},
        // A plain hole at the end takes the query too, which is also read as query arguments.
        {tail, "/t/1?q=2", R"({"id":"1?q=2","q":"2"})"},
        {rest, "/files/a/b/c", R"({"path":"a/b/c"})"},
        {rest, "/file/a", nullptr},
    };
    for (const Case& c : cases) {
        const CallOutcome outcome = Request(c.binding, HttpMethod::kGet, c.path);
        if (c.json) {
            EXPECT_FALSE(outcome.failed) << c.path << ": " << outcome.error;
            EXPECT_EQ(outcome.json, c.json) << c.path;
        } else if (std::string(c.path) == "/x/") {
            EXPECT_EQ(outcome.error, "Expected value for argument 'id'.");
        } else {
            EXPECT_TRUE(outcome.failed) << c.path;
            EXPECT_EQ(outcome.error, "Invalid function") << c.path;
            EXPECT_EQ(outcome.status, 404) << c.path;
        }
    }
}

TEST(RequestDispatchTest, MethodsAndCustomMethodsMustAgree) {
    LocalApi api;
    const RouteBinding* get = Echo(api, HttpMethod::kGet, "/m");
    auto handler = std::make_unique<testing::EchoHandler>(std::vector<std::string>{});
    FunctionDefinition purgeDefinition;
    purgeDefinition.name = "Purge";
    auto purge = api.Register(std::move(purgeDefinition), std::move(handler), "/m",
                              HttpMethod::kCustom, "PURGE");
    ASSERT_TRUE(purge.HasValue()) << purge.GetFailure().Message();
    auto anyHandler = std::make_unique<testing::EchoHandler>(std::vector<std::string>{});
    FunctionDefinition anyDefinition;
    anyDefinition.name = "Anything";
    auto any = RegisterFunction(api, std::move(anyDefinition), std::move(anyHandler));
    ASSERT_TRUE(any.HasValue());

    struct Case {
        const RouteBinding* binding;
        uint32_t method;
        const char* path;
        const char* custom;
        bool served;
    };
    const Case cases[] = {
        {get, 2, "/m", "", true},
        {get, 6, "/m", "", false},
        {get, 99, "/m", "", false},     // out-of-range codes read as 0, which a GET route refuses
        {get, 2, "/m", "PURGE", true},  // a custom name counts only with method 8
        {purge.Value(), 8, "/m", "PURGE", true},
        {purge.Value(), 8, "/m", "purge", false},
        {purge.Value(), 8, "/m", "", false},
        {purge.Value(), 2, "/m", "PURGE", false},
        {any.Value(), 1, "Anything", "", true},
        {any.Value(), 8, "Anything", "WHATEVER", true},
        {any.Value(), 0, "Anything", "", true},
        {any.Value(), 2, "/Anything", "", false},
    };
    for (const Case& c : cases) {
        TestRequest request;
        request.path = c.path;
        request.customMethod = c.custom;
        HostRouteRequest record = request.Build(c.binding);
        record.method = c.method;
        HostRouteResponse response{};
        HandleRequest(&response, &record);
        const CallOutcome outcome = testing::ReadResponse(response);
        response.release(&response);
        EXPECT_EQ(!outcome.failed, c.served) << c.method << " " << c.path << " " << c.custom;
    }
}

TEST(RequestDispatchTest, TieBreakPrefersShorterCaptures) {
    LocalApi api;
    const RouteBinding* wide = Echo(api, HttpMethod::kGet, "/s/{a}/{b}", {Text("a"), Text("b")});
    const RouteBinding* narrow = Echo(api, HttpMethod::kGet, "/s/x{a}/{b}", {Text("a"), Text("b")});
    const RouteBinding* same = Echo(api, HttpMethod::kGet, "/s/{b}/y{a}", {Text("a"), Text("b")});
    const RouteBinding* posted = Echo(api, HttpMethod::kPost, "/s/{a}/{b}", {Text("a"), Text("b")});
    const RouteBinding* literal = Echo(api, HttpMethod::kGet, "/s/xa/yb");
    const RouteBinding* other = Echo(api, HttpMethod::kGet, "/other/{z}", {Text("z")});
    ASSERT_TRUE(wide && narrow && same && posted && literal && other);

    RouteMatch match;
    const RouteBinding* const first[] = {wide, narrow};
    ASSERT_TRUE(MatchRoute(first, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, narrow);  // 3 captured bytes beat 4
    ASSERT_EQ(match.captures.size(), 2u);
    EXPECT_EQ(match.captures[0].text, "a");
    EXPECT_EQ(match.captures[1].text, "yb");

    const RouteBinding* const reversed[] = {narrow, wide};
    ASSERT_TRUE(MatchRoute(reversed, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, narrow);

    // Equal lengths keep the earlier candidate.
    const RouteBinding* const tied[] = {narrow, same};
    ASSERT_TRUE(MatchRoute(tied, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, narrow);
    const RouteBinding* const tiedReversed[] = {same, narrow};
    ASSERT_TRUE(MatchRoute(tiedReversed, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, same);

    // A candidate of another method never takes part.
    const RouteBinding* const methods[] = {other, posted, wide};
    ASSERT_TRUE(MatchRoute(methods, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, wide);
    ASSERT_TRUE(MatchRoute(methods, "/s/xa/yb", HttpMethod::kPost, "", match));
    EXPECT_EQ(match.binding, posted);

    // A match without captures wins and ends the search.
    const RouteBinding* const withLiteral[] = {wide, literal, narrow};
    ASSERT_TRUE(MatchRoute(withLiteral, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, literal);
    EXPECT_TRUE(match.captures.empty());

    const RouteBinding* const none[] = {other, nullptr};
    EXPECT_FALSE(MatchRoute(none, "/s/xa/yb", HttpMethod::kGet, "", match));
    EXPECT_EQ(match.binding, nullptr);
}

// A handler that sets every part of the response and records what the dispatcher gave it.
class ShapingHandler final : public FunctionHandler {
  public:
    explicit ShapingHandler(uint32_t contextType) : contextType_(contextType) {}

    uintptr_t Prepare(FunctionResult& result, std::span<BindingProperty>, uint32_t) override {
        ++prepared;
        if (failPrepare) result.SetFailure("prepare refused");
        return failPrepare ? 0 : 42;
    }
    void Invoke(FunctionResult& result, const RequestContext* context, uintptr_t token,
                uint32_t callerToken) override {
        sawContext = context != nullptr;
        sawToken = token;
        sawCaller = callerToken;
        result.options = 9;
        result.mode = mode;
        result.status = 201;
        result.statusMessage = "Created";
        result.headers = {{"x-a", "1"}, {"x-b", ""}};
        if (stream) result.SetStream(std::move(stream));
        if (deep) {
            BindingProperty value;
            BindingProperty* at = &value;
            for (size_t i = 0; i <= kMaxNestingDepth; ++i) at = at->AppendElement();
            result.SetValue(value);
        } else {
            BindingProperty value;
            EXPECT_TRUE(value.SetEnum(2, enumType));
            result.SetValue(value);
        }
        if (failInvoke) result.SetFailure("invoke refused");
        if (throwInvoke) throw std::runtime_error("thrown");
    }
    void Release(uintptr_t token) noexcept override {
        ++released;
        releasedToken = token;
    }
    uint32_t ContextType() const noexcept override { return contextType_; }

    int prepared = 0;
    int released = 0;
    uintptr_t releasedToken = 0;
    bool sawContext = false;
    uintptr_t sawToken = 0;
    uint32_t sawCaller = 0;
    uint32_t mode = 2;
    uint32_t enumType = 0;
    bool failPrepare = false;
    bool failInvoke = false;
    bool throwInvoke = false;
    bool deep = false;
    std::unique_ptr<ResponseStream> stream;

  private:
    uint32_t contextType_;
};

class TextStream final : public ResponseStream {
  public:
    TextStream(std::string text, int* destroyed) : text_(std::move(text)), destroyed_(destroyed) {}
    ~TextStream() override { ++*destroyed_; }
    bool Read(char* buffer, uint32_t& count, bool& more) noexcept override {
        const size_t n = std::min<size_t>(count, text_.size() - position_);
        std::memcpy(buffer, text_.data() + position_, n);
        position_ += n;
        count = static_cast<uint32_t>(n);
        more = position_ < text_.size();
        return true;
    }

  private:
    std::string text_;
    size_t position_ = 0;
    int* destroyed_;
};

enum class Level : int32_t { kLow = 1, kHigh = 2 };

}  // namespace

template <>
struct TypeDescription<Level> {
    static void Describe(RecordBuilder<Level>& r) {
        r.Name("DispatchTestLevel");
        r.Enumerator("LOW", Level::kLow);
        r.Enumerator("HIGH", Level::kHigh);
    }
};

namespace {

struct ShapingFixture {
    explicit ShapingFixture(uint32_t contextType = 0) {
        auto owned = std::make_unique<ShapingHandler>(contextType);
        handler = owned.get();
        FunctionDefinition definition;
        auto registered =
            RegisterRoute(api, HttpMethod::kGet, "/shape", std::move(definition), std::move(owned));
        binding = registered.HasValue() ? registered.Value() : nullptr;
        handler->enumType = RegisterType<Level>(api.Types())->typeId;
    }
    LocalApi api;
    ShapingHandler* handler = nullptr;
    const RouteBinding* binding = nullptr;
};

TEST(RequestDispatchTest, ResponseCarriesEveryPartOfTheResult) {
    ShapingFixture fixture;
    ASSERT_NE(fixture.binding, nullptr);
    TestRequest request;
    request.path = "/shape";
    request.callerToken = 31;
    const CallOutcome outcome = CallRoute(fixture.binding, request);
    EXPECT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(outcome.json, "\"HIGH\"");  // enums by name through the owning registry
    EXPECT_EQ(outcome.status, 201);
    EXPECT_EQ(outcome.statusMessage, "Created");
    EXPECT_EQ(outcome.options, 9);
    EXPECT_EQ(outcome.mode, 2u);
    EXPECT_EQ(outcome.headers,
              (std::vector<std::pair<std::string, std::string>>{{"x-a", "1"}, {"x-b", ""}}));
    EXPECT_FALSE(fixture.handler->sawContext);
    EXPECT_EQ(fixture.handler->sawToken, 42u);
    EXPECT_EQ(fixture.handler->sawCaller, 31u);
    // Release runs after the response is written, with the token Prepare gave.
    EXPECT_EQ(fixture.handler->released, 1);
    EXPECT_EQ(fixture.handler->releasedToken, 42u);

    for (uint32_t mode : {0u, 1u, 3u, 4u, 0xFFFFFFFFu}) {
        fixture.handler->mode = mode;
        EXPECT_EQ(CallRoute(fixture.binding, request).mode, mode <= 3 ? mode : 0u) << mode;
    }
}

TEST(RequestDispatchTest, ContextOnlyForRequestContextTypes) {
    for (uint32_t type : {kRequestContextTypeId, kRequestContextAlternateTypeId, 0u, 0x12345678u}) {
        ShapingFixture fixture(type);
        TestRequest request;
        request.path = "/shape";
        CallRoute(fixture.binding, request);
        EXPECT_EQ(fixture.handler->sawContext, IsRequestContextType(type)) << type;
    }
}

TEST(RequestDispatchTest, FailuresStopTheCallAndStillRelease) {
    {
        ShapingFixture fixture;
        fixture.handler->failPrepare = true;
        TestRequest request;
        request.path = "/shape";
        const CallOutcome outcome = CallRoute(fixture.binding, request);
        EXPECT_EQ(outcome.error, "prepare refused");
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.valueType, kHostValueNone);
        EXPECT_EQ(fixture.handler->sawToken, 0u);  // Invoke never ran
        EXPECT_EQ(fixture.handler->released, 0);   // token 0: nothing to release
    }
    {
        ShapingFixture fixture;
        fixture.handler->failInvoke = true;
        int destroyed = 0;
        fixture.handler->stream = std::make_unique<TextStream>("abc", &destroyed);
        TestRequest request;
        request.path = "/shape";
        const HostRouteRequest record = request.Build(fixture.binding);
        HostRouteResponse response{};
        HandleRequest(&response, &record);
        EXPECT_STREQ(response.error, "invoke refused");
        EXPECT_EQ(testing::Unpacked(response.errorFlag), 1);
        EXPECT_EQ(testing::Unpacked(response.value.type), kHostValueNone);
        EXPECT_EQ(testing::Unpacked(response.streamObject),
                  nullptr);  // a failure discards the stream
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(testing::Unpacked(response.status), 201);  // what the handler set stays
        response.release(&response);
        EXPECT_EQ(fixture.handler->released, 1);
    }
    {
        ShapingFixture fixture;
        fixture.handler->throwInvoke = true;
        TestRequest request;
        request.path = "/shape";
        const CallOutcome outcome = CallRoute(fixture.binding, request);
        EXPECT_EQ(outcome.error, "Function 'GetShape' failed: thrown");
        EXPECT_EQ(outcome.status, 500);
        EXPECT_EQ(fixture.handler->released, 1);
    }
}

// A value the host form cannot hold is not answered as an empty success.
TEST(RequestDispatchTest, UnwritableValueFailsWithStatus400) {
    ShapingFixture fixture;
    fixture.handler->deep = true;
    TestRequest request;
    request.path = "/shape";
    const CallOutcome outcome = CallRoute(fixture.binding, request);
    EXPECT_TRUE(outcome.failed);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(outcome.status, 400);
    EXPECT_EQ(outcome.valueType, kHostValueNone);
}

TEST(RequestDispatchTest, StreamsMoveIntoTheResponse) {
    ShapingFixture fixture;
    int destroyed = 0;
    fixture.handler->stream = std::make_unique<TextStream>("streamed body", &destroyed);
    TestRequest request;
    request.path = "/shape";
    const HostRouteRequest record = request.Build(fixture.binding);
    HostRouteResponse response{};
    HandleRequest(&response, &record);
    ASSERT_NE(testing::Unpacked(response.streamObject), nullptr);
    ASSERT_NE(testing::Unpacked(response.streamRead), nullptr);
    ASSERT_NE(testing::Unpacked(response.streamRelease), nullptr);
    std::string body;
    uint8_t more = 1;
    while (more) {
        char buffer[4];
        uint32_t count = sizeof(buffer);
        ASSERT_EQ(response.streamRead(response.streamObject, buffer, &count, &more), 1);
        body.append(buffer, count);
    }
    EXPECT_EQ(body, "streamed body");
    response.streamRelease(response.streamObject);
    EXPECT_EQ(destroyed, 1);
    response.release(&response);
    EXPECT_EQ(destroyed, 1);  // release leaves the stream to whoever drained it
}

TEST(RequestDispatchTest, ReleaseFreesAndZeroesTheResponse) {
    ShapingFixture fixture;
    TestRequest request;
    request.path = "/shape";
    const HostRouteRequest record = request.Build(fixture.binding);
    HostRouteResponse response{};
    HandleRequest(&response, &record);
    ASSERT_NE(testing::Unpacked(response.release), nullptr);
    ASSERT_NE(testing::Unpacked(response.headers), nullptr);
    response.release(&response);  // under ASan, anything left allocated is reported
    HostRouteResponse zero{};
    EXPECT_EQ(std::memcmp(&response, &zero, sizeof(zero)), 0);
    ReleaseRouteResponse(nullptr);

    // "Invalid function" answers are released the same way.
    request.path = "/elsewhere";
    const HostRouteRequest missed = request.Build(fixture.binding);
    HandleRequest(&response, &missed);
    EXPECT_STREQ(response.error, "Invalid function");
    EXPECT_STREQ(response.statusMessage, "");
    response.release(&response);
    EXPECT_EQ(std::memcmp(&response, &zero, sizeof(zero)), 0);
}

TEST(RequestDispatchTest, NullPointersInTheRequestNeverCrash) {
    LocalApi api;
    const RouteBinding* binding =
        Echo(api, HttpMethod::kPost, "/n/{a}",
             {Text("a"), {.name = "body", .location = ArgumentLocation::kBody}});
    ASSERT_NE(binding, nullptr);
    TestRequest request;
    request.method = HttpMethod::kPost;
    request.path = "/n/1";
    HostRouteRequest record = request.Build(binding);

    HostRouteResponse response{};
    HandleRequest(nullptr, &record);  // nowhere to answer: ignored
    HandleRequest(&response, nullptr);
    EXPECT_STREQ(response.error, "Invalid function");
    response.release(&response);

    HostRouteRequest noContext = record;
    noContext.context = nullptr;
    HandleRequest(&response, &noContext);
    EXPECT_STREQ(response.error, "Invalid function");
    response.release(&response);

    HostRouteRequest noPath = record;
    noPath.path = nullptr;
    HandleRequest(&response, &noPath);
    EXPECT_STREQ(response.error, "Invalid function");
    response.release(&response);

    HostRouteRequest nulls = record;
    nulls.customMethod = nullptr;
    nulls.contentType = nullptr;
    nulls.headers = nullptr;
    nulls.headerCount = 5;
    nulls.arguments = nullptr;
    nulls.argumentCount = 3;
    HandleRequest(&response, &nulls);
    EXPECT_EQ(testing::Unpacked(response.error), nullptr);
    response.release(&response);

    const uint8_t body[] = {'{', '}'};
    nulls.body = body;
    nulls.bodyLength = 2;
    HandleRequest(&response, &nulls);
    EXPECT_STREQ(response.error, "Unsupported body content type");
    response.release(&response);

    nulls.method = 8;
    HandleRequest(&response, &nulls);
    EXPECT_STREQ(response.error, "Invalid function");  // a POST route refuses method 8
    response.release(&response);

    HostValue value{};
    value.type = kHostValueBool;
    value.payload.boolean = 1;
    const HostArgument positional[] = {{nullptr, value}};
    HostRouteRequest withArguments = record;
    withArguments.arguments = positional;
    withArguments.argumentCount = 1;
    HandleRequest(&response, &withArguments);
    EXPECT_EQ(testing::Unpacked(response.error), nullptr);
    const CallOutcome outcome = testing::ReadResponse(response);
    response.release(&response);
    // One capture: the first positional entry binds to the second argument.
    EXPECT_EQ(outcome.json, R"({"a":"1","body":true})");
}

}  // namespace
}  // namespace Vane
