#include "codec/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "value/nesting_limit.h"

namespace Vane {
namespace {

using namespace std::string_view_literals;

std::vector<std::string> MemberNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const auto [name, member] : value.Members()) names.emplace_back(name);
    return names;
}

// Parses `text` from a heap buffer of exactly its size, so that AddressSanitizer catches any
// read past the end.
ConversionStatus ParseExact(std::string_view text) {
    std::unique_ptr<char[]> copy(new char[text.size() ? text.size() : 1]);
    std::memcpy(copy.get(), text.data(), text.size());
    return ParseJson(std::string_view(copy.get(), text.size()));
}

std::string Nested(char open, char close, size_t depth) {
    return std::string(depth, open) + std::string(depth, close);
}

TEST(JsonReaderTest, EmptyAndBlankDocumentsAreEmptyValues) {
    for (const char* text : {"", "   ", " \t\r\n ", "null", "  null  "}) {
        SCOPED_TRACE(testing::Message() << '"' << text << '"');
        const ConversionStatus status = ParseJson(text);
        EXPECT_TRUE(status.Ok()) << status.Error();
        EXPECT_TRUE(status.Value().IsEmpty());
        const ConversionStatus exact = ParseExact(text);
        EXPECT_TRUE(exact.Ok());
        EXPECT_TRUE(exact.Value().IsEmpty());
    }
    const ConversionStatus null = ParseJson(static_cast<const char*>(nullptr));
    EXPECT_TRUE(null.Ok());
    EXPECT_TRUE(null.Value().IsEmpty());
}

// Number typing: integers that fit 64 bits keep their sign as the kind; everything else is a
// double.
struct NumberCase {
    const char* text;
    PropertyKind kind;
    int64_t signedValue;
    uint64_t unsignedValue;
    double floatValue;
};

TEST(JsonReaderTest, NumbersAreTypedBySignAndForm) {
    const double kTwo64 = 18446744073709551616.0;
    const NumberCase cases[] = {
        {"5", PropertyKind::kUnsigned, 0, 5, 0},
        {"-5", PropertyKind::kSigned, -5, 0, 0},
        {"0", PropertyKind::kUnsigned, 0, 0, 0},
        {"-0", PropertyKind::kSigned, 0, 0, 0},
        {"4294967295", PropertyKind::kUnsigned, 0, 4294967295u, 0},
        {"4294967296", PropertyKind::kUnsigned, 0, 4294967296u, 0},
        {"-2147483648", PropertyKind::kSigned, -2147483648LL, 0, 0},
        {"-2147483649", PropertyKind::kSigned, -2147483649LL, 0, 0},
        {"18446744073709551615", PropertyKind::kUnsigned, 0, UINT64_MAX, 0},
        {"18446744073709551616", PropertyKind::kFloat, 0, 0, kTwo64},
        {"-9223372036854775808", PropertyKind::kSigned, INT64_MIN, 0, 0},
        {"-9223372036854775809", PropertyKind::kFloat, 0, 0, -9223372036854775808.0},
        {"1.5", PropertyKind::kFloat, 0, 0, 1.5},
        {"1e2", PropertyKind::kFloat, 0, 0, 100.0},
        {"1E+2", PropertyKind::kFloat, 0, 0, 100.0},
        {"-2.5e-3", PropertyKind::kFloat, 0, 0, -0.0025},
        {"5.0", PropertyKind::kFloat, 0, 0, 5.0},
        {"0.1", PropertyKind::kFloat, 0, 0, 0.1},
        {"1e300", PropertyKind::kFloat, 0, 0, 1e300},
        {"5e-324", PropertyKind::kFloat, 0, 0, 5e-324},
        {"1e-400", PropertyKind::kFloat, 0, 0, 0.0},
        {"-1e-400", PropertyKind::kFloat, 0, 0, -0.0},
        {"0.0000001e315", PropertyKind::kFloat, 0, 0, 1e308},
        {"2.4703282292062327e-324", PropertyKind::kFloat, 0, 0, 0.0},
        {"2.4703282292062328e-324", PropertyKind::kFloat, 0, 0, 5e-324},
        {"100000000000000000000000", PropertyKind::kFloat, 0, 0, 1e23},
        {"-123456789012345678901234567890", PropertyKind::kFloat, 0, 0,
         -123456789012345678901234567890.0},
        {"2.2250738585072014e-308", PropertyKind::kFloat, 0, 0, 2.2250738585072014e-308},
        {"1.7976931348623157e308", PropertyKind::kFloat, 0, 0, 1.7976931348623157e308},
        // Misread by one ulp by RapidJSON's default (fast) number path.
        {"110.83427282976325", PropertyKind::kFloat, 0, 0, 110.83427282976325},
        {"7.8519514217950504e+176", PropertyKind::kFloat, 0, 0, 7.8519514217950504e+176},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.text);
        const ConversionStatus status = ParseJson(c.text);
        ASSERT_TRUE(status.Ok()) << status.Error();
        const BindingProperty& value = status.Value();
        ASSERT_EQ(value.Kind(), c.kind);
        EXPECT_EQ(value.GetSigned(), c.signedValue);
        EXPECT_EQ(value.GetUnsigned(), c.unsignedValue);
        const double read = value.GetFloat();
        EXPECT_EQ(std::memcmp(&read, &c.floatValue, sizeof read), 0) << read;
    }
    const ConversionStatus negativeZero = ParseJson("-0.0");
    ASSERT_EQ(negativeZero.Value().Kind(), PropertyKind::kFloat);
    EXPECT_TRUE(std::signbit(negativeZero.Value().GetFloat()));
}

TEST(JsonReaderTest, ArrayOfMixedNumbers) {
    const ConversionStatus status = ParseJson("[1, -1, 1.5, 1e2]");
    ASSERT_TRUE(status.Ok());
    const BindingProperty& value = status.Value();
    ASSERT_EQ(value.Kind(), PropertyKind::kCollection);
    ASSERT_EQ(value.Size(), 4u);
    EXPECT_EQ(value.Element(0).Kind(), PropertyKind::kUnsigned);
    EXPECT_EQ(value.Element(0).GetUnsigned(), 1u);
    EXPECT_EQ(value.Element(1).Kind(), PropertyKind::kSigned);
    EXPECT_EQ(value.Element(1).GetSigned(), -1);
    EXPECT_EQ(value.Element(2).Kind(), PropertyKind::kFloat);
    EXPECT_EQ(value.Element(2).GetFloat(), 1.5);
    EXPECT_EQ(value.Element(3).Kind(), PropertyKind::kFloat);
    EXPECT_EQ(value.Element(3).GetFloat(), 100.0);
}

TEST(JsonReaderTest, ScalarsNestingAndMemberOrder) {
    const ConversionStatus status = ParseJson(
        R"( {"b": true, "a": [false, null, "x", {}, []], "c": {"d": {"e": null}}, "": 0} )");
    ASSERT_TRUE(status.Ok()) << status.Error();
    const BindingProperty& value = status.Value();
    EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"", "a", "b", "c"}));
    EXPECT_EQ(value.Member("b").Kind(), PropertyKind::kBool);
    EXPECT_TRUE(value.Member("b").GetBool(false));
    const BindingProperty& list = value.Member("a");
    ASSERT_EQ(list.Size(), 5u);
    EXPECT_EQ(list.Element(0).Kind(), PropertyKind::kBool);
    EXPECT_FALSE(list.Element(0).GetBool(true));
    EXPECT_TRUE(list.Element(1).IsEmpty());
    EXPECT_EQ(list.Element(2).GetString(), "x");
    EXPECT_EQ(list.Element(3).Kind(), PropertyKind::kStructure);
    EXPECT_EQ(list.Element(3).Size(), 0u);
    EXPECT_EQ(list.Element(4).Kind(), PropertyKind::kCollection);
    EXPECT_EQ(list.Element(4).Size(), 0u);
    // A member whose value is null exists and is empty.
    const BindingProperty* e = value.Member("c").Member("d").FindMember("e");
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->IsEmpty());
    EXPECT_EQ(value.Member("").GetUnsigned(9), 0u);
}

// A repeated key selects the same member: scalars replace, null keeps, arrays append and
// objects merge.
TEST(JsonReaderTest, RepeatedKeysSelectTheSameMember) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {R"({"a":1,"a":2})", R"({"a":2})"},
        {R"({"a":1,"a":null})", R"({"a":1})"},
        {R"({"a":"x","a":false})", R"({"a":false})"},
        {R"({"a":[1],"a":[2,3]})", R"({"a":[1,2,3]})"},
        {R"({"a":{"x":1,"y":1},"a":{"y":2,"z":2}})", R"({"a":{"x":1,"y":2,"z":2}})"},
        {R"({"a":[1],"a":3})", R"({"a":3})"},
        {R"({"a":1,"a":{"b":2}})", R"({"a":{"b":2}})"},
        {R"({"a":{"b":1},"a":[2]})", R"({"a":[2]})"},
        {R"({"a":{"b":[1]},"a":{"b":[2]}})", R"({"a":{"b":[1,2]}})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConversionStatus status = ParseJson(c.text);
        ASSERT_TRUE(status.Ok()) << status.Error();
        const ConversionStatus expected = ParseJson(c.expected);
        ASSERT_TRUE(expected.Ok());
        EXPECT_TRUE(status.Value() == expected.Value());
        EXPECT_EQ(status.Value().Size(), 1u);
    }
}

TEST(JsonReaderTest, StringsDecodeEscapesAndKeepBytes) {
    struct Case {
        const char* text;
        std::string_view expected;
    };
    const Case cases[] = {
        {R"("plain")", "plain"},
        {R"("")", ""},
        {R"("q\"b\\s\/b\bf\fn\nr\rt\t")", "q\"b\\s/b\bf\fn\nr\rt\t"},
        {R"("\u00e9\u00E9")", "\xC3\xA9\xC3\xA9"},
        {R"("\u20AC")", "\xE2\x82\xAC"},
        {R"("\uD83D\uDE00")", "\xF0\x9F\x98\x80"},
        {R"("a\u0000b")", "a\0b"sv},
        {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\xC3\xA9\xF0\x9F\x98\x80"},
        // Bytes that are not valid UTF-8 are kept as they are.
        {"\"\xFF\xC3\"", "\xFF\xC3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ConversionStatus status = ParseJson(c.text);
        ASSERT_TRUE(status.Ok()) << status.Error();
        ASSERT_EQ(status.Value().Kind(), PropertyKind::kString);
        EXPECT_EQ(status.Value().GetString(), c.expected);
    }
    const ConversionStatus keys = ParseJson(R"({"\u00e9":1,"a\u0000b":2,"a":3})");
    ASSERT_TRUE(keys.Ok());
    EXPECT_EQ(MemberNames(keys.Value()),
              (std::vector<std::string>{"a", std::string("a\0b", 3), "\xC3\xA9"}));
}

struct ErrorCase {
    std::string_view text;
    const char* message;
};

// Every failure is "Error: <text> at offset <n>." and leaves only {"error": message}.
void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "input: " << std::string(c.text));
        const ConversionStatus status = ParseExact(c.text);
        EXPECT_FALSE(status.Ok());
        EXPECT_EQ(status.Error(), c.message);
        EXPECT_EQ(MemberNames(status.Value()), std::vector<std::string>{"error"});
        // The std::string form reads the same bytes, NULs included.
        const ConversionStatus owned = ParseJson(std::string(c.text));
        EXPECT_EQ(owned.Error(), c.message);
        if (c.text.find('\0') == std::string_view::npos) {
            EXPECT_EQ(ParseJson(std::string(c.text).c_str()).Error(), c.message);
        }
    }
}

TEST(JsonReaderTest, SyntaxErrorsNameTheProblemAndItsOffset) {
    ExpectErrors({
        {"{} x", "Error: The document root must not be followed by other values. at offset 3."},
        {"1 2", "Error: The document root must not be followed by other values. at offset 2."},
        {"[1,]", "Error: Invalid value. at offset 3."},
        {"nul", "Error: Invalid value. at offset 3."},
        {"tru", "Error: Invalid value. at offset 3."},
        {"NaN", "Error: Invalid value. at offset 0."},
        {"Infinity", "Error: Invalid value. at offset 0."},
        {"'a'", "Error: Invalid value. at offset 0."},
        {"// c\n1", "Error: Invalid value. at offset 0."},
        {"+1", "Error: Invalid value. at offset 0."},
        {"{1:2}", "Error: Missing a name for object member. at offset 1."},
        {R"({"a":1,})", "Error: Missing a name for object member. at offset 7."},
        {R"({"a" 1})", "Error: Missing a colon after a name of object member. at offset 5."},
        {R"({"a":1 "b":2})", "Error: Missing a comma or '}' after an object member. at offset 7."},
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
        {R"("\u00G0")", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {R"("\uD800")", "Error: The surrogate pair in string is invalid. at offset 1."},
        {R"("\uD800\u0041")", "Error: The surrogate pair in string is invalid. at offset 1."},
        {R"("\x")", "Error: Invalid escape character in string. at offset 1."},
        {"\"a\tb\"", "Error: Invalid escape character in string. at offset 2."},
        {"\"abc", "Error: Missing a closing quotation mark in string. at offset 4."},
        {"1e400", "Error: Number too big to be stored in double. at offset 0."},
        {"[0, 10e308]", "Error: Number too big to be stored in double. at offset 4."},
        {"-1.8e308", "Error: Number too big to be stored in double. at offset 0."},
        {"{\"a\": 1.7976931348623159e308}",
         "Error: Number too big to be stored in double. at offset 6."},
        {"1.", "Error: Miss fraction part in number. at offset 2."},
        {"1.e5", "Error: Miss fraction part in number. at offset 2."},
        {"1e", "Error: Miss exponent in number. at offset 2."},
        {"1e+", "Error: Miss exponent in number. at offset 3."},
        {"01", "Error: The document root must not be followed by other values. at offset 1."},
    });
}

TEST(JsonReaderTest, TruncatedTextFailsAtItsEnd) {
    ExpectErrors({
        {"[1,", "Error: Invalid value. at offset 3."},
        {"[1", "Error: Missing a comma or ']' after an array element. at offset 2."},
        {"{\"a\"", "Error: Missing a colon after a name of object member. at offset 4."},
        {"{\"a\":", "Error: Invalid value. at offset 5."},
        {"{", "Error: Missing a name for object member. at offset 1."},
        {"\"ab", "Error: Missing a closing quotation mark in string. at offset 3."},
        {"\"\\u12", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {"-", "Error: Invalid value. at offset 1."},
    });
}

// A NUL byte reads as the end of the input where it stands; the length still bounds the read.
TEST(JsonReaderTest, NulBytesAndLengthsBoundTheInput) {
    ExpectErrors({
        {"{}\0x"sv, "Error: The document root must not be followed by other values. at offset 2."},
        {"1 \0"sv, "Error: The document root must not be followed by other values. at offset 2."},
        {"[1,\0]"sv, "Error: Invalid value. at offset 3."},
        {"\0"sv, "Error: Invalid value. at offset 0."},
        {" \0 1"sv, "Error: Invalid value. at offset 1."},
        {"\"a\0b\""sv, "Error: Missing a closing quotation mark in string. at offset 2."},
    });
    // A view of the first bytes of a longer text reads only those bytes.
    const std::string_view text = "[1,2]";
    EXPECT_EQ(ParseJson(text.substr(0, 3)).Error(), "Error: Invalid value. at offset 3.");
    const ConversionStatus head = ParseJson(std::string_view("12345", 2));
    ASSERT_TRUE(head.Ok());
    EXPECT_EQ(head.Value().GetUnsigned(), 12u);
    // The C-string form stops at the first NUL.
    const ConversionStatus terminated = ParseJson("[1]\0garbage");
    ASSERT_TRUE(terminated.Ok());
    EXPECT_EQ(terminated.Value().Size(), 1u);
}

TEST(JsonReaderTest, NestingIsLimited) {
    const size_t limit = kMaxNestingDepth;
    const ConversionStatus deepest = ParseJson(Nested('[', ']', limit));
    ASSERT_TRUE(deepest.Ok()) << deepest.Error();
    const BindingProperty* inner = &deepest.Value();
    size_t depth = 0;
    while (inner->Kind() == PropertyKind::kCollection) {
        ++depth;
        inner = &inner->Element(0);
    }
    EXPECT_EQ(depth, limit);
    ExpectErrors({
        {Nested('[', ']', limit + 1), "Error: Nesting deeper than 512 levels. at offset 512."},
        {Nested('[', ']', 100000), "Error: Nesting deeper than 512 levels. at offset 512."},
    });
    // Objects count too, mixed with arrays; the offset is the bracket's.
    std::string objects;
    for (size_t level = 0; level < limit; ++level) objects += level % 2 ? "[" : "{\"k\":";
    const size_t bracket = objects.size();
    objects += "{}";
    const ConversionStatus status = ParseJson(objects);
    EXPECT_EQ(status.Error(),
              "Error: Nesting deeper than 512 levels. at offset " + std::to_string(bracket) + ".");
    std::string deepObjects;
    for (size_t level = 0; level < 100000; ++level) deepObjects += "{\"a\":";
    EXPECT_EQ(ParseJson(deepObjects).Error(), "Error: Nesting deeper than 512 levels. at offset " +
                                                  std::to_string(5 * limit) + ".");
}

TEST(JsonReaderTest, ErrorTextsCoverEveryCode) {
    const char* expected[] = {
        "No error.",
        "The document is empty.",
        "The document root must not be followed by other values.",
        "Invalid value.",
        "Missing a name for object member.",
        "Missing a colon after a name of object member.",
        "Missing a comma or '}' after an object member.",
        "Missing a comma or ']' after an array element.",
        "Incorrect hex digit after \\u escape in string.",
        "The surrogate pair in string is invalid.",
        "Invalid escape character in string.",
        "Missing a closing quotation mark in string.",
        "Invalid encoding in string.",
        "Number too big to be stored in double.",
        "Miss fraction part in number.",
        "Miss exponent in number.",
        "Terminate parsing due to Handler error.",
        "Unspecific syntax error.",
    };
    for (unsigned code = 0; code < std::size(expected); ++code) {
        EXPECT_STREQ(JsonErrorText(code), expected[code]) << code;
    }
    EXPECT_STREQ(JsonErrorText(18), "Unknown error.");
    EXPECT_STREQ(JsonErrorText(0xFFFFFFFF), "Unknown error.");
}

TEST(JsonReaderTest, LooksLikeJsonSkipsOnlySpaces) {
    struct Case {
        std::string_view text;
        bool expected;
    };
    const Case cases[] = {
        {"{}", true},    {"[1]", true},   {"   {", true},   {"  [", true},    {"", false},
        {"   ", false},  {"\t{}", false}, {"\n[]", false},  {"\"{\"", false}, {"1", false},
        {"null", false}, {"x{", false},   {"\0{"sv, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LooksLikeJson(c.text), c.expected) << std::string(c.text);
    }
}

}  // namespace
}  // namespace Vane
