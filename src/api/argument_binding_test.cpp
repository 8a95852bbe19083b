#include "api/argument_binding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/dispatch_test_support.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/message_pack_reader.h"
#include "codec/yaml_reader.h"

namespace Vane {
namespace {

using testing::CallOutcome;
using testing::CallRoute;
using testing::TestRequest;

constexpr uint32_t kKindBool = 1;
constexpr uint32_t kKindInt32 = 6;
constexpr uint32_t kKindString = 12;
constexpr uint32_t kKindObject = 13;
constexpr uint32_t kKindVector = 15;
constexpr uint32_t kKindStruct = 17;

ArgumentDefinition Arg(std::string name, uint32_t kind,
                       ArgumentLocation location = ArgumentLocation::kAny, bool optional = false) {
    return ArgumentDefinition{.name = std::move(name),
                              .type = {kind, 0, nullptr},
                              .location = location,
                              .optional = optional};
}

// One function with an argument of every interesting kind and location, answered by the echo
// handler, so each test reads back exactly what binding made of the request.
class ArgumentBindingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FunctionDefinition definition;
        definition.arguments = {Arg("filter", kKindStruct),
                                Arg("list", kKindVector),
                                Arg("name", kKindString),
                                Arg("count", kKindInt32),
                                Arg("flag", kKindBool),
                                Arg("maybe", kKindBool, ArgumentLocation::kAny, true),
                                Arg("obj", kKindObject),
                                Arg("token", kKindString, ArgumentLocation::kHeader),
                                Arg("Auth", kKindString, ArgumentLocation::kHeader),
                                Arg("seg", kKindString, ArgumentLocation::kPath),
                                Arg("body", kKindStruct, ArgumentLocation::kBody),
                                Arg("q", kKindString, ArgumentLocation::kQuery),
                                Arg("odd", kKindString, static_cast<ArgumentLocation>(3))};
        std::string error;
        binding_ = testing::RegisterEcho(api_, HttpMethod::kGet, "/t/{seg}", std::move(definition),
                                         &echo_, &error);
        ASSERT_NE(binding_, nullptr) << error;
        ASSERT_EQ(binding_->function->name, "GetTBySeg");
    }

    CallOutcome Get(std::string query, TestRequest request = {}) {
        request.method = HttpMethod::kGet;
        request.path = "/t/s" + (query.empty() ? std::string() : "?" + query);
        return CallRoute(binding_, request);
    }

    // The JSON of argument `name` in an echo answer.
    static std::string Member(const CallOutcome& outcome, std::string_view name) {
        ConversionStatus echo = ParseJson(outcome.json);
        if (!echo.Ok()) return "<no echo: " + outcome.error + ">";
        const BindingProperty* member = echo.Value().FindMember(name);
        if (!member) return "<missing>";
        return member->IsEmpty() ? "null" : WriteJson(*member);
    }

    LocalApi api_;
    const RouteBinding* binding_ = nullptr;
    testing::EchoHandler* echo_ = nullptr;
};

TEST_F(ArgumentBindingTest, QueryValuesReachTheirArguments) {
    struct Case {
        const char* query;
        const char* argument;
        const char* json;
    };
    const Case cases[] = {
        {"name=a%20b+c", "name", "\"a b c\""},         // URL-decoded
        {"name=1&name=2", "name", "\"2\""},            // a repeated key keeps its last value
        {"count=12", "count", "\"12\""},               // converted to int32 later, by Prepare
        {"list=[1,2]", "list", "[1,2]"},               // a container argument parses JSON...
        {"name=[1,2]", "name", "\"[1,2]\""},           // ...any other keeps the text
        {"list=++[3]", "list", "[3]"},                 // leading spaces before the bracket
        {"list=%92%01%02", "list", "[1,2]"},           // MessagePack probe: array format byte
        {"filter=%81%A1a%01", "filter", "{\"a\":1}"},  // MessagePack probe: map format byte
        {"list=---+[4,+5]", "list", "[4,5]"},          // YAML probe
        {"filter={\"a\":{\"b\":true}}", "filter", "{\"a\":{\"b\":true}}"},
        {"obj=[true]", "obj", "[true]"},
        {"list=x,y", "list", "\"x,y\""},  // no probe matches: the text stays, Prepare decides
        {"flag", "flag", "true"},         // a key alone makes a bool true
        {"list", "list", "[]"},           // ...a vector empty
        {"filter", "filter", "{}"},       // ...a struct or object an empty structure
        {"obj", "obj", "{}"},
        {"q=x", "q", "\"x\""},
    };
    for (const Case& c : cases) {
        const CallOutcome outcome = Get(c.query);
        EXPECT_FALSE(outcome.failed) << c.query << ": " << outcome.error;
        EXPECT_EQ(Member(outcome, c.argument), c.json) << c.query;
    }
}

TEST_F(ArgumentBindingTest, BoolsDefaultToFalseUnlessOptional) {
    const CallOutcome outcome = Get("");
    ASSERT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(Member(outcome, "flag"), "false");
    EXPECT_EQ(Member(outcome, "maybe"), "null");
    EXPECT_EQ(Member(outcome, "count"), "null");
    EXPECT_EQ(Member(outcome, "seg"), "\"s\"");
}

TEST_F(ArgumentBindingTest, IndexPathsBuildNestedValues) {
    struct Case {
        const char* query;
        const char* argument;
        const char* json;
    };
    const Case cases[] = {
        {"filter.items.2.name=x", "filter", "{\"items\":[null,null,{\"name\":\"x\"}]}"},
        {"filter.x1=v", "filter", "{\"x1\":\"v\"}"},  // a member, not an index
        {"list.0x3=v", "list", "[null,null,null,\"v\"]"},
        {"list.010=v", "list", "[null,null,null,null,null,null,null,null,\"v\"]"},  // octal
        {"list.1=a&list.0=b", "list", "[\"b\",\"a\"]"},
        {"list.0=[1]", "list", "[\"[1]\"]"},  // a leaf keeps its text, never parsed
        {"filter.a=1&filter.a.b=2", "filter", "{\"a\":{\"b\":\"2\"}}"},  // re-typed in place
        {"list=[1,2,3]&list.1=x", "list", "[1,\"x\",3]"},  // into a decoded collection
        {"filter.=e", "filter", "{\"\":\"e\"}"},
        {"count.0=1", "count", "[\"1\"]"},  // paths ignore the declared kind
    };
    for (const Case& c : cases) {
        const CallOutcome outcome = Get(c.query);
        EXPECT_FALSE(outcome.failed) << c.query << ": " << outcome.error;
        EXPECT_EQ(Member(outcome, c.argument), c.json) << c.query;
    }
    // 0x10 is element 16.
    const CallOutcome hex = Get("list.0x10=v");
    ConversionStatus echo = ParseJson(hex.json);
    ASSERT_TRUE(echo.Ok()) << hex.error;
    EXPECT_EQ(echo.Value().Member("list").Size(), 17u);
    EXPECT_EQ(echo.Value().Member("list").Element(16).GetString(), "v");
}

TEST_F(ArgumentBindingTest, EveryBindingFailureHasItsMessage) {
    const std::string badJson = std::string(ParseJson(std::string_view("[1,")).Error());
    const std::string badYaml = std::string(ReadYaml(std::string_view("--- [1,")).Error());
    const uint8_t truncated[] = {0x92, 0x01};
    const std::string badPack = std::string(DecodeMessagePack(truncated, 2).status.Error());
    struct Case {
        std::string query;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"nope=1", "Unknown argument 'nope' for 'GetTBySeg'."},
        {"nope.1=1", "Unknown argument 'nope' for 'GetTBySeg'."},
        {"token=1", "Argument 'token' for 'GetTBySeg' was specified in an invalid location."},
        {"seg=1", "Argument 'seg' for 'GetTBySeg' was specified in an invalid location."},
        {"body=1", "Argument 'body' for 'GetTBySeg' was specified in an invalid location."},
        {"odd=1", "Argument 'odd' for 'GetTBySeg' was specified in an invalid location."},
        {"count", "Expected value for argument 'count'."},
        {"name=", "Expected value for argument 'name'."},
        {"filter.1x=v", "Index 1x is in an incorrect format"},
        {"list.08=v", "Index 08 is in an incorrect format"},
        {"list.0x=v", "Index 0x is in an incorrect format"},
        {"list.2147483648=v", "Index 2147483648 is out of range"},
        {"list.99999999999999999999999=v", "Index 99999999999999999999999 is out of range"},
        {"list.0x80000000=v", "Index 0x80000000 is out of range"},
        {"list=[1,",
         "Couldn't deserialize JSON value for parameter 'list' of 'GetTBySeg': " + badJson},
        {"filter=---+[1,",
         "Couldn't deserialize YAML value for parameter 'filter' of 'GetTBySeg': " + badYaml},
        {"list=%92%01",
         "Couldn't deserialize MessagePack value for parameter 'list' of "
         "'GetTBySeg': " +
             badPack},
        // The first failure ends binding: the unknown key after it is never looked at.
        {"count&nope=1", "Expected value for argument 'count'."},
    };
    for (const Case& c : cases) {
        const CallOutcome outcome = Get(c.query);
        EXPECT_TRUE(outcome.failed) << c.query;
        EXPECT_EQ(outcome.error, c.error) << c.query;
        EXPECT_EQ(outcome.status, 0) << c.query;
    }
    EXPECT_EQ(echo_->prepared.load(), 0);  // no handler runs after a binding failure
}

// Index paths may extend collections, but one request can't make the process allocate without
// bound, neither with one huge index nor with many moderate ones.
TEST_F(ArgumentBindingTest, IndexPathsAllocateWithinABudget) {
    const CallOutcome largest = Get("list.65535=v");
    ASSERT_FALSE(largest.failed) << largest.error;
    const CallOutcome beyond = Get("list.65536=v");
    EXPECT_EQ(beyond.error, "Index 65536 is out of range");
    const CallOutcome huge = Get("list.2147483647=v");
    EXPECT_EQ(huge.error, "Index 2147483647 is out of range");
    // The budget is per request and counts what every key added.
    const CallOutcome many = Get("list.0.40000=a&list.1.40000=b");
    EXPECT_EQ(many.error, "Index 40000 is out of range");
    // Writing inside what exists costs nothing.
    std::string rewrites = "list.999=x";
    for (int i = 0; i < 200; ++i) rewrites += "&list." + std::to_string(i * 5) + "=y";
    EXPECT_FALSE(Get(rewrites).failed);
}

TEST_F(ArgumentBindingTest, IndexPathsAreBoundedInDepth) {
    // Key "filter" then 512 segments: 512 nested values, the most any reader builds.
    std::string key = "filter";
    for (size_t i = 0; i < 512; ++i) key += i % 2 ? ".a" : ".0";
    std::vector<BindingProperty> arguments(binding_->function->arguments.size());
    FunctionResult result;
    ArgumentBinder binder(result, arguments, *binding_);
    EXPECT_TRUE(binder.BindOne(key, "x", ArgumentLocation::kQuery)) << result.Error();
    EXPECT_FALSE(binder.BindOne(key + ".a", "x", ArgumentLocation::kQuery));
    EXPECT_EQ(result.Error(),
              "Argument 'filter' for 'GetTBySeg' is nested deeper than 512 levels.");
    EXPECT_EQ(Get(key + ".a=x").error,
              "Argument 'filter' for 'GetTBySeg' is nested deeper than 512 levels.");
}

TEST_F(ArgumentBindingTest, HeadersMatchLowerCasedArgumentNames) {
    TestRequest request;
    request.headers = {{"token", "first"}, {"auth", "a1"}, {"token", "second"}, {"name", "n"}};
    const CallOutcome outcome = Get("", request);
    ASSERT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(Member(outcome, "token"), "\"second\"");  // the last of a repeated name
    EXPECT_EQ(Member(outcome, "Auth"), "\"a1\"");       // argument "Auth" looked up as "auth"
    EXPECT_EQ(Member(outcome, "name"), "\"n\"");        // location kAny takes headers too

    TestRequest upper;
    upper.headers = {{"Token", "x"}, {"AUTH", "y"}, {"Auth", "z"}};
    const CallOutcome missed = Get("", upper);
    ASSERT_FALSE(missed.failed) << missed.error;
    EXPECT_EQ(Member(missed, "token"), "null");
    EXPECT_EQ(Member(missed, "Auth"), "null");

    TestRequest nulls;
    nulls.path = "/t/s";
    HostRouteRequest record = nulls.Build(binding_);
    HostHeader headers[] = {{nullptr, "v"}, {nullptr, nullptr}, {"token", "t"}, {"auth", nullptr}};
    record.headers = headers;
    record.headerCount = 4;
    HostRouteResponse response{};
    HandleRequest(&response, &record);
    const CallOutcome withNulls = testing::ReadResponse(response);
    response.release(&response);
    // Null names are skipped; a null value reads as empty, which a string argument refuses.
    EXPECT_EQ(withNulls.error, "Expected value for argument 'Auth'.");

    headers[3].value = "a";
    record.headerCount = 4;
    response = HostRouteResponse{};
    HandleRequest(&response, &record);
    const CallOutcome named = testing::ReadResponse(response);
    response.release(&response);
    ASSERT_FALSE(named.failed) << named.error;
    EXPECT_EQ(Member(named, "token"), "\"t\"");

    // A null header array with a count is no headers at all.
    record.headers = nullptr;
    response = HostRouteResponse{};
    HandleRequest(&response, &record);
    const CallOutcome none = testing::ReadResponse(response);
    response.release(&response);
    EXPECT_FALSE(none.failed) << none.error;
}

TEST_F(ArgumentBindingTest, HeadersBindBeforeCapturesAndQuery) {
    TestRequest request;
    request.headers = {{"name", "from-header"}};
    const CallOutcome outcome = Get("name=from-query", request);
    EXPECT_EQ(Member(outcome, "name"), "\"from-query\"");
}

TEST_F(ArgumentBindingTest, BodiesDecodeByContentType) {
    struct Case {
        const char* contentType;  // null: none given
        std::string body;
        const char* json;   // expected body argument, or null when an error is expected
        const char* error;  // expected error text
    };
    const std::string pack =
        "\x81\xA1"
        "a\x01";
    const std::string cutPack = "\x81\xA1";
    const std::string cutPackError = std::string(
        DecodeMessagePack(reinterpret_cast<const uint8_t*>(cutPack.data()), cutPack.size())
            .status.Error());
    const std::string cutJsonError = std::string(ParseJson(std::string_view("{\"a\":")).Error());
    const std::vector<Case> cases = {
        {"application/json", "{\"a\":1}", "{\"a\":1}", ""},
        {"APPLICATION/JSON; charset=UTF-8", "{\"a\":1}", "{\"a\":1}", ""},
        {"application/vnd.api+json", "{\"a\":2}", "{\"a\":2}", ""},
        {"application/x-yaml", "a: 3", "{\"a\":3}", ""},
        {"application/x-msgpack", pack, "{\"a\":1}", ""},
        {"application/x-msgpack-ext", pack, "{\"a\":1}", ""},
        {"application/x-msgpack", pack + "\x01", nullptr, "Extra MessgePack data found in body"},
        {"application/x-msgpack", cutPack, nullptr, cutPackError.c_str()},
        {"text/plain", "{}", nullptr, "Unsupported body content type"},
        {"text/x-yaml", "a: 1", nullptr, "Unsupported body content type"},
        {nullptr, "{}", nullptr, "Unsupported body content type"},
        {"", "{}", nullptr, "Unsupported body content type"},
        {"application/json", "", "null", ""},
        {"application/json", "{\"a\":", nullptr, cutJsonError.c_str()},
    };
    for (const Case& c : cases) {
        TestRequest request;
        if (c.contentType) request.contentType = c.contentType;
        request.body = c.body;
        const CallOutcome outcome = Get("", request);
        if (c.json) {
            EXPECT_FALSE(outcome.failed) << c.contentType << ": " << outcome.error;
            EXPECT_EQ(Member(outcome, "body"), c.json) << c.contentType;
        } else {
            EXPECT_EQ(outcome.error, c.error) << (c.contentType ? c.contentType : "null");
        }
    }
}

// The host does not terminate bodies: the readers must stop at the length.
TEST_F(ArgumentBindingTest, BodiesAreReadByLengthOnly) {
    struct Case {
        const char* contentType;
        std::string buffer;
        uint32_t length;
        const char* json;
    };
    const Case cases[] = {
        {"application/json", "[1,2]]]]", 5, "[1,2]"},
        {"application/json", "{\"a\":1}xyz", 7, "{\"a\":1}"},
        {"application/x-yaml", "a: 1\nb: [", 4, "{\"a\":1}"},
    };
    for (const Case& c : cases) {
        TestRequest request;
        request.path = "/t/s";
        request.contentType = c.contentType;
        HostRouteRequest record = request.Build(binding_);
        // A heap buffer exactly as long as the body: reading past it is caught by ASan.
        std::vector<uint8_t> exact(c.buffer.begin(), c.buffer.begin() + c.length);
        record.body = exact.data();
        record.bodyLength = c.length;
        HostRouteResponse response{};
        HandleRequest(&response, &record);
        const CallOutcome outcome = testing::ReadResponse(response);
        response.release(&response);
        EXPECT_FALSE(outcome.failed) << c.buffer << ": " << outcome.error;
        EXPECT_EQ(Member(outcome, "body"), c.json) << c.buffer;
    }
}

TEST(ArgumentBindingBodyTest, BodyWithoutBodyArgumentIsIgnored) {
    LocalApi api;
    FunctionDefinition definition;
    definition.arguments = {Arg("name", kKindString)};
    const RouteBinding* binding =
        testing::RegisterEcho(api, HttpMethod::kPost, "/plain/{name}", std::move(definition));
    ASSERT_NE(binding, nullptr);
    for (const char* contentType : {"application/json", "text/plain"}) {
        TestRequest request;
        request.method = HttpMethod::kPost;
        request.path = "/plain/x";
        request.contentType = contentType;
        request.body = "not json at all";
        const CallOutcome outcome = CallRoute(binding, request);
        EXPECT_FALSE(outcome.failed) << contentType << ": " << outcome.error;
        EXPECT_EQ(outcome.json, "{\"name\":\"x\"}");
    }
}

TEST_F(ArgumentBindingTest, NamedHostArgumentsBindByNameOrPosition) {
    HostValue text{};
    text.type = kHostValueStringBorrowed;
    text.payload.string = {"hello", 5};
    HostValue number{};
    number.type = kHostValueSigned;
    number.payload.i64 = 7;
    {
        TestRequest request;
        request.arguments = {HostArgument{"name", text}, HostArgument{"count", number}};
        const CallOutcome outcome = Get("name=query", request);
        ASSERT_FALSE(outcome.failed) << outcome.error;
        EXPECT_EQ(Member(outcome, "name"), "\"hello\"");  // host arguments come after the query
        EXPECT_EQ(Member(outcome, "count"), "7");
    }
    {
        // One path capture: the first positional entry binds to argument 1, "list".
        TestRequest request;
        request.arguments = {HostArgument{nullptr, text}, HostArgument{nullptr, number}};
        const CallOutcome outcome = Get("", request);
        ASSERT_FALSE(outcome.failed) << outcome.error;
        EXPECT_EQ(Member(outcome, "list"), "\"hello\"");
        EXPECT_EQ(Member(outcome, "name"), "7");
    }
    struct Case {
        std::vector<HostArgument> arguments;
        std::string error;
    };
    HostValue broken{};
    broken.type = 99;
    HostValue nullText{};
    nullText.type = kHostValueStringBorrowed;
    nullText.payload.string = {nullptr, 3};
    std::vector<HostArgument> tooMany(13, HostArgument{nullptr, number});
    const std::vector<Case> cases = {
        {{HostArgument{"zz", text}}, "Unknown argument 'zz' for 'GetTBySeg'."},
        {tooMany, "Unknown argument '13' for 'GetTBySeg'."},
        {{HostArgument{"count", broken}},
         "Couldn't assign value to 'count' of type object because the input is of an "
         "incompatible type ''."},
        {{HostArgument{"name", nullText}},
         "Couldn't assign value to 'name' because the input string has a null pointer with a "
         "length of 3."},
    };
    for (const Case& c : cases) {
        TestRequest request;
        request.arguments = c.arguments;
        EXPECT_EQ(Get("", request).error, c.error);
    }
}

TEST(DecodeValueTest, ContentTypesAndProbes) {
    struct Case {
        std::string text;
        const char* contentType;
        bool container;
        PropertyKind kind;
        const char* json;
    };
    const std::vector<Case> cases = {
        {"[1]", "", true, PropertyKind::kCollection, "[1]"},
        {"[1]", "", false, PropertyKind::kString, "\"[1]\""},
        {"  {\"a\":1}", "", true, PropertyKind::kStructure, "{\"a\":1}"},
        {"\t[1]", "", true, PropertyKind::kString, "\"\\t[1]\""},  // only spaces are skipped
        {"[1]", "Application/Json", false, PropertyKind::kCollection, "[1]"},
        {"a: 1", "TEXT/X-YAML", false, PropertyKind::kStructure, "{\"a\":1}"},
        {"--- 5", "", true, PropertyKind::kUnsigned, "5"},
        {"\x91\x05", "application/x-msgpack", false, PropertyKind::kCollection, "[5]"},
        {std::string("\xDC\x00\x01\x07", 4), "", true, PropertyKind::kCollection, "[7]"},
        {"abc", "application/octet-stream", true, PropertyKind::kBlob, "\"abc\""},
        {"[1]", "text/plain", true, PropertyKind::kString, "\"[1]\""},
    };
    for (const Case& c : cases) {
        FunctionResult result;
        BindingProperty target;
        ASSERT_TRUE(DecodeValue(result, target, c.text, c.contentType, c.container, "arg", "Fn"))
            << c.text << ": " << result.Error();
        EXPECT_EQ(target.Kind(), c.kind) << c.text;
        EXPECT_EQ(WriteJson(target), c.json) << c.text;
    }
}

}  // namespace
}  // namespace Vane
