#include "api/typed_handler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/dispatch_test_support.h"
#include "types/record_description.h"

namespace Vane {
namespace typed_test {

enum class Shade : int32_t { kLight = 1, kDark = 2 };

struct Query {
    std::string text;
    std::vector<int32_t> ids;
    Shade shade = Shade::kLight;
};

struct Answer {
    std::string echo;
    int32_t total = 0;
    Shade shade = Shade::kLight;
};

}  // namespace typed_test

template <>
struct TypeDescription<typed_test::Shade> {
    static void Describe(RecordBuilder<typed_test::Shade>& r) {
        r.Name("TypedTestShade");
        r.Enumerator("LIGHT", typed_test::Shade::kLight);
        r.Enumerator("DARK", typed_test::Shade::kDark);
    }
};

template <>
struct TypeDescription<typed_test::Query> {
    static void Describe(RecordBuilder<typed_test::Query>& r) {
        r.Name("TypedTestQuery");
        r.Field("text", &typed_test::Query::text, kFieldRequired);
        r.Field("ids", &typed_test::Query::ids);
        r.Field("shade", &typed_test::Query::shade);
    }
};

template <>
struct TypeDescription<typed_test::Answer> {
    static void Describe(RecordBuilder<typed_test::Answer>& r) {
        r.Name("TypedTestAnswer");
        r.Field("echo", &typed_test::Answer::echo);
        r.Field("total", &typed_test::Answer::total);
        r.Field("shade", &typed_test::Answer::shade);
    }
};

namespace {

using testing::CallOutcome;
using testing::CallRoute;
using testing::TestRequest;
using typed_test::Answer;
using typed_test::Query;
using typed_test::Shade;

const RouteBinding* Registered(MaybeType<Failure, const RouteBinding*> registered) {
    if (registered.IsFailure()) {
        ADD_FAILURE() << registered.GetFailure().Message();
        return nullptr;
    }
    return registered.Value();
}

HostValue Text(const char* text) {
    HostValue value{};
    value.type = kHostValueStringBorrowed;
    value.payload.string = {text, static_cast<uint32_t>(std::strlen(text))};
    return value;
}

HostValue Bool(bool flag) {
    HostValue value{};
    value.type = kHostValueBool;
    value.payload.boolean = flag ? 1 : 0;
    return value;
}

CallOutcome Call(const RouteBinding* binding, HttpMethod method, std::string path,
                 TestRequest request = {}) {
    request.method = method;
    request.path = std::move(path);
    return CallRoute(binding, request);
}

TEST(TypedHandlerTest, ArgumentsAndResultsConvertThroughTheRegistry) {
    LocalApi api;
    const RouteBinding* binding =
        Registered(RegisterRoute(api, HttpMethod::kPost, "/answers/{shade}/{factor}",
                                 [](const Query& query, Shade shade, int32_t factor) {
                                     int32_t total = 0;
                                     for (int32_t id : query.ids) total += id * factor;
                                     return Answer{query.text, total, shade};
                                 },
                                 {{"query", ArgumentLocation::kBody},
                                  {"shade", ArgumentLocation::kPath},
                                  {"factor", ArgumentLocation::kPath}}));
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->function->name, "PostAnswersByShadeByFactor");

    TestRequest request;
    request.contentType = "application/json";
    request.body = R"({"text":"hi","ids":[1,2,3],"shade":"DARK"})";
    const CallOutcome outcome = Call(binding, HttpMethod::kPost, "/answers/DARK/0x10", request);
    ASSERT_FALSE(outcome.failed) << outcome.error;
    // Enumerations in the result are written by name through the API's registry.
    EXPECT_EQ(outcome.json, R"({"echo":"hi","shade":"DARK","total":96})");

    struct Case {
        std::string path;
        std::string body;
        std::string error;
    };
    const std::vector<Case> failures = {
        {"/answers/DARK/12abc", R"({"text":"x"})",
         "Value 12abc for 'factor' of type int32 is in an incorrect format"},
        {"/answers/GREY/1", R"({"text":"x"})",
         "GREY is not a valid TypedTestShade enumeration value for 'shade'."},
        {"/answers/DARK/1", R"({"ids":[1]})",
         "Couldn't assign value to 'query' of type TypedTestQuery because the input structure "
         "doesn't have required field 'text'."},
    };
    for (const Case& c : failures) {
        TestRequest bad;
        bad.contentType = "application/json";
        bad.body = c.body;
        const CallOutcome failed = Call(binding, HttpMethod::kPost, c.path, bad);
        EXPECT_TRUE(failed.failed) << c.path;
        EXPECT_EQ(failed.error, c.error) << c.path;
    }
}

TEST(TypedHandlerTest, RegistrationDescribesTheFunction) {
    LocalApi api;
    ASSERT_NE(Registered(RegisterRoute(
                  api, HttpMethod::kGet, "/answers/",
                  [](const RequestContext&, std::vector<Shade>, bool) { return Answer{}; },
                  {{"shades", ArgumentLocation::kQuery, "Shades wanted."},
                   {"all", ArgumentLocation::kAny, "", true}},
                  FunctionOptions{.description = "Lists answers.", .tags = {"t1"}})),
              nullptr);
    // The records a handler uses are registered with the API's registry.
    EXPECT_NE(api.Types().FindByName("TypedTestAnswer"), nullptr);
    EXPECT_NE(api.Types().FindByName("TypedTestShade"), nullptr);

    auto functions = api.Types().Functions();
    ASSERT_TRUE(functions.HasValue());
    ASSERT_EQ(functions.Value().size(), 1u);
    const FunctionDescription& function = functions.Value()[0];
    EXPECT_EQ(function.name, "GetAnswers");
    EXPECT_EQ(function.description, "Lists answers.");
    EXPECT_EQ(function.tags, std::vector<std::string>{"t1"});
    EXPECT_EQ(function.returns.kind, static_cast<uint32_t>(NativeKind::kStruct));
    ASSERT_NE(function.returns.descriptor, nullptr);
    EXPECT_EQ(function.returns.descriptor->name, "TypedTestAnswer");
    // The request context is no argument.
    ASSERT_EQ(function.arguments.size(), 2u);
    EXPECT_EQ(function.arguments[0].name, "shades");
    EXPECT_EQ(function.arguments[0].description, "Shades wanted.");
    EXPECT_EQ(function.arguments[0].type.kind, static_cast<uint32_t>(NativeKind::kVector));
    EXPECT_EQ(function.arguments[0].type.elementKind, static_cast<uint32_t>(NativeKind::kEnum));
    EXPECT_EQ(function.arguments[0].type.descriptor, api.Types().FindByName("TypedTestShade"));
    EXPECT_EQ(function.arguments[1].type.kind, static_cast<uint32_t>(NativeKind::kBool));
    EXPECT_TRUE(function.arguments[1].optional);

    const RouteBinding* binding = api.FindBinding("GetAnswers");
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->url, "/answers");
    EXPECT_EQ(binding->argumentLocations,
              (std::vector<ArgumentLocation>{ArgumentLocation::kQuery, ArgumentLocation::kAny}));
}

TEST(TypedHandlerTest, RegistrationRefusesMismatchedDeclarations) {
    LocalApi api;
    auto missing = RegisterRoute(api, HttpMethod::kGet, "/x", [](int32_t, int32_t) {}, {{"only"}});
    ASSERT_TRUE(missing.IsFailure());
    EXPECT_EQ(missing.GetFailure().Message(), "'/x' declares 1 arguments but its handler takes 2.");
    auto twice =
        RegisterRoute(api, HttpMethod::kGet, "/x", [](int32_t, int32_t) {}, {{"a"}, {"a"}});
    ASSERT_TRUE(twice.IsFailure());
    EXPECT_EQ(twice.GetFailure().Message(), "Argument 'a' of 'GetX' is declared twice.");
    EXPECT_EQ(api.Size(), 0u);
}

TEST(TypedHandlerTest, ResultsOfEveryShape) {
    LocalApi api;
    int calls = 0;
    const RouteBinding* plain = Registered(
        RegisterRoute(api, HttpMethod::kGet, "/plain", [] { return std::string("text"); }));
    const RouteBinding* nothing =
        Registered(RegisterRoute(api, HttpMethod::kPost, "/nothing", [&] { ++calls; }));
    const RouteBinding* maybeValue =
        Registered(RegisterRoute(api, HttpMethod::kGet, "/maybe/{fail}",
                                 [](bool fail) -> MaybeType<Failure, std::vector<int32_t>> {
                                     if (fail) return Failure(404, std::string("Nothing here"));
                                     return std::vector<int32_t>{4, 5};
                                 },
                                 {{"fail", ArgumentLocation::kPath}}));
    const RouteBinding* maybeVoid =
        Registered(RegisterRoute(api, HttpMethod::kPut, "/maybe-void",
                                 [](bool fail) -> MaybeType<Failure, void> {
                                     if (fail) return Failure(500, std::string("Refused"));
                                     return {};
                                 },
                                 {{"fail"}}));

    CallOutcome outcome = Call(plain, HttpMethod::kGet, "/plain");
    EXPECT_EQ(outcome.json, "\"text\"");
    outcome = Call(nothing, HttpMethod::kPost, "/nothing");
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.valueType, kHostValueNone);
    EXPECT_EQ(calls, 1);
    outcome = Call(maybeValue, HttpMethod::kGet, "/maybe/false");
    EXPECT_EQ(outcome.json, "[4,5]");
    outcome = Call(maybeValue, HttpMethod::kGet, "/maybe/true");
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error, "Nothing here");
    EXPECT_EQ(outcome.status, 0);  // the host picks the status of a failed call
    outcome = Call(maybeVoid, HttpMethod::kPut, "/maybe-void");
    EXPECT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(outcome.valueType, kHostValueNone);
    TestRequest failing;
    failing.arguments = {HostArgument{"fail", Bool(true)}};
    outcome = Call(maybeVoid, HttpMethod::kPut, "/maybe-void", failing);
    EXPECT_EQ(outcome.error, "Refused");
}

TEST(TypedHandlerTest, OptionalArgumentsKeepTheirDefaults) {
    LocalApi api;
    const RouteBinding* binding = Registered(RegisterRoute(
        api, HttpMethod::kGet, "/opt",
        [](int32_t required, int32_t optional, std::string label) {
            return std::to_string(required) + "/" + std::to_string(optional) + "/" + label;
        },
        {{"required"},
         {"optional", ArgumentLocation::kAny, "", true},
         {"label", ArgumentLocation::kAny, "", true}}));
    // A literal route never matches a path with a query: these come as named host arguments.
    TestRequest request;
    request.arguments = {HostArgument{"required", Text("3")}};
    EXPECT_EQ(Call(binding, HttpMethod::kGet, "/opt", request).json, "\"3/0/\"");
    request.arguments = {HostArgument{"required", Text("3")}, HostArgument{"optional", Text("4")},
                         HostArgument{"label", Text("x")}};
    EXPECT_EQ(Call(binding, HttpMethod::kGet, "/opt", request).json, "\"3/4/x\"");
    request.arguments = {HostArgument{"optional", Text("4")}};
    EXPECT_EQ(Call(binding, HttpMethod::kGet, "/opt", request).error,
              "A value for 'required' is required.");
}

TEST(TypedHandlerTest, RequestContextDescribesTheRequest) {
    LocalApi api;
    std::string seen;
    const RouteBinding* binding = Registered(RegisterRoute(
        api, HttpMethod::kPatch, "/ctx/{before}/{after}",
        [&](int32_t before, const RequestContext& context, int32_t after) {
            const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count() *
                             10;
            const auto header = context.headers.find("x-id");
            seen = std::string(context.path) + "|" +
                   std::to_string(static_cast<int>(context.method)) + "|" +
                   std::to_string(context.callerToken) + "|" +
                   (header == context.headers.end() ? "-" : std::string(header->second)) + "|" +
                   std::to_string(before + after) + "|" +
                   (context.registry == &api.Types() ? "registry" : "other");
            EXPECT_LE(context.receiveTime, now);
            EXPECT_GT(context.receiveTime, now - 600'000'000);  // within a minute
        },
        {{"before"}, {"after"}}));
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->handler->ContextType(), kRequestContextTypeId);
    TestRequest request;
    request.callerToken = 77;
    request.headers = {{"x-id", "abc"}, {"X-Other", "1"}};
    const CallOutcome outcome = Call(binding, HttpMethod::kPatch, "/ctx/1/2", request);
    ASSERT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(seen, "/ctx/1/2|5|77|abc|3|registry");
}

class Counter {
  public:
    int32_t Add(int32_t step) { return value_ += step; }
    int32_t Value() const { return value_; }

  private:
    int32_t value_ = 0;
};

TEST(TypedHandlerTest, MemberFunctionsOnSharedOrPlainObjects) {
    LocalApi api;
    auto shared = std::make_shared<Counter>();
    Counter plain;
    const RouteBinding* add = Registered(
        RegisterRoute(api, HttpMethod::kPost, "/add/{step}", &Counter::Add, shared, {{"step"}}));
    const RouteBinding* read =
        Registered(RegisterRoute(api, HttpMethod::kGet, "/value", &Counter::Value, &plain));
    const RouteBinding* named =
        Registered(RegisterFunction(api, "AddPlain", &Counter::Add, &plain, {{"step"}}));
    ASSERT_TRUE(add && read && named);
    EXPECT_EQ(Call(add, HttpMethod::kPost, "/add/5").json, "5");
    EXPECT_EQ(Call(add, HttpMethod::kPost, "/add/2").json, "7");
    EXPECT_EQ(shared->Value(), 7);
    // A function registered by name is reached by its name, with any method.
    TestRequest request;
    request.arguments = {HostArgument{nullptr, Text("3")}};
    EXPECT_EQ(Call(named, HttpMethod::kDelete, "AddPlain", request).json, "3");
    EXPECT_EQ(Call(read, HttpMethod::kGet, "/value").json, "3");
}

TEST(TypedHandlerTest, ExceptionsBecomeFailures) {
    LocalApi api;
    const RouteBinding* throwing = Registered(RegisterRoute(
        api, HttpMethod::kGet, "/throw", []() -> int32_t { throw std::runtime_error("boom"); }));
    const RouteBinding* throwingOther = Registered(
        RegisterRoute(api, HttpMethod::kGet, "/throw-int", []() -> int32_t { throw 5; }));
    CallOutcome outcome = Call(throwing, HttpMethod::kGet, "/throw");
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error, "Function 'GetThrow' failed: boom");
    EXPECT_EQ(outcome.status, 500);
    outcome = Call(throwingOther, HttpMethod::kGet, "/throw-int");
    EXPECT_EQ(outcome.error, "Function 'GetThrowInt' failed.");
    EXPECT_EQ(outcome.status, 500);
}

}  // namespace
}  // namespace Vane
