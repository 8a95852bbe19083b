#include "codec/yaml_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "codec/block_yaml_test_support.h"
#include "codec/json_reader.h"
#include "codec/large_document_test_support.h"
#include "value/binding_property_test_support.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

using namespace test_values;

// A readable form of a value for failure messages: kind and payload, recursively.
std::string Describe(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kString:
            return "\"" + std::string(value.GetString()) + "\"";
        case PropertyKind::kFloat: {
            char text[64];
            std::snprintf(text, sizeof text, "float %.17g", value.GetFloat());
            return text;
        }
        case PropertyKind::kCollection: {
            std::string text = "[";
            for (const BindingProperty& element : value.Elements()) {
                text += Describe(element) + ", ";
            }
            return text + "]";
        }
        case PropertyKind::kStructure: {
            std::string text = "{";
            for (const auto& member : value.Members()) {
                text += std::string(member.name) + ": " + Describe(member.value) + ", ";
            }
            return text + "}";
        }
        default:
            return std::string(KindName(value.Kind())) + " " + value.AsText();
    }
}

// Reads `text` and expects success with `expected`.
void ExpectValue(std::string_view text, const BindingProperty& expected) {
    const ConversionStatus status = ReadYaml(text);
    ASSERT_TRUE(status.Ok()) << text << "\n -> " << status.Error();
    EXPECT_EQ(status.Value(), expected)
        << text << "\n -> " << Describe(status.Value()) << "\n expected " << Describe(expected);
}

// Reads `text` and expects the failure `message`, alone in the status's value.
void ExpectError(std::string_view text, std::string_view message) {
    const ConversionStatus status = ReadYaml(text);
    ASSERT_FALSE(status.Ok()) << text << "\n -> " << Describe(status.Value());
    EXPECT_EQ(status.Error(), message) << text;
    EXPECT_EQ(status.Value().Size(), 1u) << text;
}

// `count` nested flow sequences around `inner`.
std::string Nested(size_t count, std::string_view inner = "") {
    return std::string(count, '[') + std::string(inner) + std::string(count, ']');
}

struct ValueCase {
    const char* text;
    BindingProperty expected;
};

TEST(YamlReaderTest, PlainScalarsAreTypedByTheWordTablesAndStrtod) {
    const ValueCase cases[] = {
        // Null words.
        {"~", Empty()},
        {"null", Empty()},
        {"Null", Empty()},
        {"NULL", Empty()},
        {"nULL", String("nULL")},
        // Numbers: integral values are integers, whatever their spelling.
        {"0", Unsigned(0)},
        {"42", Unsigned(42)},
        {"+42", Unsigned(42)},
        {"-2", Signed(-2)},
        {"-0", Unsigned(0)},
        {"010", Unsigned(10)},
        {"1.0", Unsigned(1)},
        {"1e3", Unsigned(1000)},
        {"-1e3", Signed(-1000)},
        {"0x10", Unsigned(16)},
        {"-0x10", Signed(-16)},
        {"0x1p3", Unsigned(8)},
        {"1.5", Float(1.5)},
        {"-0.25", Float(-0.25)},
        {".5", Float(0.5)},
        {"1e-3", Float(0.001)},
        // Exact 64-bit integers: no detour through a double.
        {"9007199254740993", Unsigned(9007199254740993ull)},
        {"-9007199254740993", Signed(-9007199254740993ll)},
        {"18446744073709551615", Unsigned(18446744073709551615ull)},
        {"0xFFFFFFFFFFFFFFFF", Unsigned(18446744073709551615ull)},
        {"-9223372036854775808", Signed(std::numeric_limits<int64_t>::min())},
        {"9223372036854775808", Unsigned(9223372036854775808ull)},
        // Integral values beyond 64 bits stay floats.
        {"18446744073709551616", Float(18446744073709551616.0)},
        {"-9223372036854775809", Float(-9223372036854775809.0)},
        {"1e30", Float(1e30)},
        {"-1e30", Float(-1e30)},
        {"0x10000000000000000", Float(18446744073709551616.0)},
        // Infinities are not numbers.
        {"inf", String("inf")},
        {"+inf", String("+inf")},
        {"-inf", String("-inf")},
        {"Infinity", String("Infinity")},
        {".inf", String(".inf")},
        {"1e400", String("1e400")},
        {"-1e400", String("-1e400")},
        // Booleans.
        {"true", Bool(true)},
        {"True", Bool(true)},
        {"TRUE", Bool(true)},
        {"y", Bool(true)},
        {"Y", Bool(true)},
        {"yes", Bool(true)},
        {"Yes", Bool(true)},
        {"YES", Bool(true)},
        {"on", Bool(true)},
        {"On", Bool(true)},
        {"ON", Bool(true)},
        {"false", Bool(false)},
        {"False", Bool(false)},
        {"FALSE", Bool(false)},
        {"n", Bool(false)},
        {"N", Bool(false)},
        {"no", Bool(false)},
        {"No", Bool(false)},
        {"NO", Bool(false)},
        {"off", Bool(false)},
        {"Off", Bool(false)},
        {"OFF", Bool(false)},
        {"tRUE", String("tRUE")},
        {"yess", String("yess")},
        // Everything else.
        {"hello world", String("hello world")},
        {"12abc", String("12abc")},
        {"1.2.3", String("1.2.3")},
        {"0x", String("0x")},
        {"-x", String("-x")},
        {"+", String("+")},
        {"nothing", String("nothing")},
    };
    for (const ValueCase& c : cases) {
        // The same text as the root, as a sequence element and as a member value.
        ExpectValue(c.text, c.expected);
        ExpectValue("[" + std::string(c.text) + "]", Collection({c.expected}));
        ExpectValue("key: " + std::string(c.text), Structure({{"key", c.expected}}));
    }
}

TEST(YamlReaderTest, NanIsAFloat) {
    for (const char* text : {"nan", "NaN", "-nan"}) {
        const ConversionStatus status = ReadYaml(text);
        ASSERT_TRUE(status.Ok()) << text;
        ASSERT_EQ(status.Value().Kind(), PropertyKind::kFloat) << text;
        EXPECT_TRUE(std::isnan(status.Value().GetFloat())) << text;
    }
}

TEST(YamlReaderTest, ScalarStylesDecideWhetherTextIsTyped) {
    const ValueCase cases[] = {
        {"'yes'", String("yes")},
        {"\"yes\"", String("yes")},
        {"'12'", String("12")},
        {"\"~\"", String("~")},
        {"''", String("")},
        {"\"a\\tb\"", String("a\tb")},
        {"\"a\\0b\"", String(std::string_view("a\0b", 3))},
        // Literal and folded scalars are typed like plain ones.
        {"|\n  12", Unsigned(12)},
        {">\n  1.5", Float(1.5)},
        {"|\n  yes", Bool(true)},
        {"|2\n   12", Unsigned(12)},
        // Clipped literal text keeps its line break, which no number accepts.
        {"|\n  12\n", String("12\n")},
        {"|\n  a\n  b", String("a\nb")},
        {">\n  a\n  b", String("a b")},
    };
    for (const ValueCase& c : cases) ExpectValue(c.text, c.expected);
}

TEST(YamlReaderTest, TaggedScalarsFollowTheRegistryRules) {
    const ValueCase cases[] = {
        {"!!str 12", String("12")},
        {"!!str yes", String("yes")},
        {"!!str", String("")},
        {"!<tag:yaml.org,2002:str> ~", String("~")},
        {"!!int 12", Unsigned(12)},
        {"!!int '12'", Unsigned(12)},
        {"!!int 0x1F", Unsigned(31)},
        {"!!int 017", Unsigned(15)},
        {"!!int -12", Signed(-12)},
        {"!!int -0", Signed(0)},
        {"!!int 18446744073709551615", Unsigned(18446744073709551615ull)},
        {"!!int -9223372036854775808", Signed(std::numeric_limits<int64_t>::min())},
        {"!!int ''", Unsigned(0)},
        {"!!float 1.5", Float(1.5)},
        {"!!float 3", Float(3.0)},
        {"!!float -1e308", Float(-1e308)},
        {"!!bool yes", Bool(true)},
        {"!!bool OFF", Bool(false)},
        {"!!bool '1'", Empty()},
        {"!!bool maybe", Empty()},
    };
    for (const ValueCase& c : cases) {
        ExpectValue(c.text, c.expected);
        ExpectValue("k: " + std::string(c.text), Structure({{"k", c.expected}}));
    }

    // Tags on sequences and mappings are ignored.
    ExpectValue("!!set {a: 1}", Structure({{"a", Unsigned(1)}}));
    ExpectValue("!custom [!!str 1]", Collection({String("1")}));

    struct ErrorCase {
        const char* text;
        const char* message;
    };
    const ErrorCase errors[] = {
        {"!!int 12abc", "Value 12abc for 'yaml' of type uint64_t is in an incorrect format"},
        {"!!int -12abc", "Value -12abc for 'yaml' of type int64_t is in an incorrect format"},
        {"!!int 1.5", "Value 1.5 for 'yaml' of type uint64_t is in an incorrect format"},
        {"!!int 18446744073709551616",
         "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
        {"!!int -9223372036854775809",
         "Value -9223372036854775809 for 'yaml' of type int64_t is out of range"},
        {"!!int ' -1'", "Value  -1 for 'yaml' of type uint64_t is out of range"},
        {"!!float abc", "Value abc for 'yaml' of type double is in an incorrect format"},
        {"!!int 5%1x", "Value 5%1x for 'yaml' of type uint64_t is in an incorrect format"},
        {"!!float 100%", "Value 100% for 'yaml' of type double is in an incorrect format"},
        {"!!float 1e400", "Value 1e400 for 'yaml' of type double is out of range"},
        {"!!float .inf", "Value .inf for 'yaml' of type double is in an incorrect format"},
        {"!!binary aGVsbG8=", "Unsupported YAML tag 'tag:yaml.org,2002:binary'."},
        {"!!null ~", "Unsupported YAML tag 'tag:yaml.org,2002:null'."},
        {"!custom x", "Unsupported YAML tag '!custom'."},
        {"a: [1, !!int x]", "Value x for 'yaml' of type uint64_t is in an incorrect format"},
    };
    for (const ErrorCase& c : errors) ExpectError(c.text, c.message);
}

TEST(YamlReaderTest, BuildsNestedDocuments) {
    ExpectValue(
        "mission:\n"
        "  id: m-1\n"
        "  sequence: 3\n"
        "  viewed: no\n"
        "  ratio: 0.5\n"
        "  rewards:\n"
        "    - group: g1\n"
        "      quantity: 2\n"
        "    - {group: g2, quantity: -1}\n"
        "  tags: [a, 'b', ~]\n"
        "  empty: {}\n"
        "  none: []\n"
        "  missing:\n"
        "top: last\n",
        Structure({
            {"mission",
             Structure({
                 {"id", String("m-1")},
                 {"sequence", Unsigned(3)},
                 {"viewed", Bool(false)},
                 {"ratio", Float(0.5)},
                 {"rewards",
                  Collection({Structure({{"group", String("g1")}, {"quantity", Unsigned(2)}}),
                              Structure({{"group", String("g2")}, {"quantity", Signed(-1)}})})},
                 {"tags", Collection({String("a"), String("b"), Empty()})},
                 {"empty", Structure({})},
                 {"none", Collection({})},
                 {"missing", Empty()},
             })},
            {"top", String("last")},
        }));
    ExpectValue("- - 1\n  - 2\n- []\n-\n- x", Collection({Collection({Unsigned(1), Unsigned(2)}),
                                                          Collection({}), Empty(), String("x")}));
}

// A large document in every form block_yaml_test_support.h writes (plain, literal and
// double-quoted texts with escapes and non-ASCII characters, flow and block collections, nulls,
// both spellings of booleans, tagged floats, integers over the whole 64-bit ranges) reads to
// the value its JSON reads to.
TEST(YamlReaderTest, GeneratedCatalogReadsToTheValueOfItsJson) {
    const ConversionStatus json = ParseJson(large_document::LargeDocument(60));
    ASSERT_TRUE(json.Ok()) << json.Error();
    const std::string yaml = testing::BlockYaml(json.Value());
    // Each form occurs, so the comparison below covers it.
    for (const char* form : {": en_US\n", ": |-\n", ": \"", "\n  - ", ": [", ": {", ": ~\n",
                             ": yes\n", ": false\n", "!!float "}) {
        EXPECT_NE(yaml.find(form), std::string::npos) << form;
    }
    const ConversionStatus read = ReadYaml(yaml);
    ASSERT_TRUE(read.Ok()) << read.Error();
    if (read.Value() == json.Value()) return;
    // Name the first item that differs rather than print both documents.
    const BindingProperty& expected = json.Value().Member("items");
    const BindingProperty& got = read.Value().Member("items");
    ASSERT_EQ(got.Size(), expected.Size());
    for (size_t index = 0; index < expected.Size(); ++index) {
        ASSERT_TRUE(got.Element(index) == expected.Element(index))
            << "item " << index << ":\n"
            << Describe(got.Element(index)) << "\n expected " << Describe(expected.Element(index));
    }
    FAIL() << "the items agree, the collections do not";
}

TEST(YamlReaderTest, KeysAreNeverTyped) {
    ExpectValue("1: a\nnull: b\nyes: c\n~: d\n\"q\": e\n!!str 2: f\n? \n: g\n",
                Structure({{"1", String("a")},
                           {"null", String("b")},
                           {"yes", String("c")},
                           {"~", String("d")},
                           {"q", String("e")},
                           {"2", String("f")},
                           {"", String("g")}}));
}

TEST(YamlReaderTest, ARepeatedKeyReplacesTheEarlierValueWhateverItsKind) {
    ExpectValue("a: [1, 2]\na: [3]", Structure({{"a", Collection({Unsigned(3)})}}));
    ExpectValue("a: {x: 1}\na: {y: 2}", Structure({{"a", Structure({{"y", Unsigned(2)}})}}));
    ExpectValue("a: 1\na:", Structure({{"a", Empty()}}));
    ExpectValue("a: 1\nb: 2\na: x", Structure({{"a", String("x")}, {"b", Unsigned(2)}}));
}

TEST(YamlReaderTest, EmptyInputsAndDocuments) {
    ExpectValue("", Empty());
    ExpectValue("   \n\n", Empty());
    ExpectValue("# only a comment\n", Empty());
    ExpectValue("---\n...\n", Empty());
    // An empty first document is followed by the next one.
    ExpectValue("---\n--- 2\n", Unsigned(2));
    ExpectValue("--- ~\n--- [1]\n", Collection({Unsigned(1)}));
    ExpectValue("a: 1\n...\n", Structure({{"a", Unsigned(1)}}));
    ExpectError("--- 1\n--- 2\n", "Multi-document YAML is not supported.");
    ExpectError("--- {}\n--- ~\n", "Multi-document YAML is not supported.");
    ExpectError("---\n--- a\n--- b\n", "Multi-document YAML is not supported.");

    // A null text reads as empty; only the given length is read.
    const ConversionStatus null = ReadYaml(nullptr, 10);
    EXPECT_TRUE(null.Ok());
    EXPECT_TRUE(null.Value().IsEmpty());
    const char buffer[] = "123";
    ExpectValue(std::string_view(buffer, 2), Unsigned(12));
}

TEST(YamlReaderTest, AliasesCopyTheAnchoredValue) {
    ExpectValue(
        "a: &x {b: 1, c: [2]}\nd: *x\n",
        Structure({{"a", Structure({{"b", Unsigned(1)}, {"c", Collection({Unsigned(2)})}})},
                   {"d", Structure({{"b", Unsigned(1)}, {"c", Collection({Unsigned(2)})}})}}));
    ExpectValue("[&s text, *s, *s]", Collection({String("text"), String("text"), String("text")}));
    ExpectValue("- &n 7\n- &m [*n, *n]\n- *m",
                Collection({Unsigned(7), Collection({Unsigned(7), Unsigned(7)}),
                            Collection({Unsigned(7), Unsigned(7)})}));
    ExpectValue("&root [1, 2]", Collection({Unsigned(1), Unsigned(2)}));
    ExpectValue("a: &e\nb: *e", Structure({{"a", Empty()}, {"b", Empty()}}));

    // The alias receives the node as it ended, however the document changes afterwards.
    ExpectValue("a: &x {b: 1}\na: 2\nc: *x",
                Structure({{"a", Unsigned(2)}, {"c", Structure({{"b", Unsigned(1)}})}}));
    std::string many = "[&first head";
    for (int index = 0; index < 200; ++index) many += ", " + std::to_string(index);
    many += ", *first]";
    const ConversionStatus status = ReadYaml(many);
    ASSERT_TRUE(status.Ok()) << status.Error();
    ASSERT_EQ(status.Value().Size(), 202u);
    EXPECT_EQ(status.Value().Element(201), String("head"));
}

struct ErrorCase {
    const char* text;
    const char* message;
};

TEST(YamlReaderTest, MisplacedNodesFailWithTheirPositions) {
    const ErrorCase cases[] = {
        {"[a]: 1", "Unexpected start of sequence. At line: 1 col: 1"},
        {"a:\n  - 1\n  - [x]: 2", "Unexpected start of sequence. At line: 3 col: 5"},
        {"? [a]\n: 1", "Unexpected start of sequence. At line: 1 col: 3"},
        {"{a: 1, {b: 2}: 3}", "Unexpected start of mapping. At line: 1 col: 8"},
        {"? {a: 1}\n: 2", "Unexpected start of mapping. At line: 1 col: 3"},
        {"a: 1\n!!int 2: x",
         "Invalid mapping key. Only string scalar keys are allowed. At line: 2 "
         "col: 1"},
        {"!!bool true: x",
         "Invalid mapping key. Only string scalar keys are allowed. At line: 1 "
         "col: 1"},
        // An alias is never a key.
        {"a: &k key\n*k : 2",
         "Invalid mapping key. Only string scalar keys are allowed. At line: "
         "2 col: 1"},
    };
    for (const ErrorCase& c : cases) ExpectError(c.text, c.message);
}

TEST(YamlReaderTest, AnchorAndAliasFailuresNameTheAnchor) {
    const ErrorCase cases[] = {
        {"a: &x [1, *x]", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
        {"list:\n  - &anc\n    k: *anc",
         "Cannot deserialize cyclic aliases. Alias \"anc\". At line: 3 col: 8"},
        {"&r {a: [{b: *r}]}", "Cannot deserialize cyclic aliases. Alias \"r\". At line: 1 col: 13"},
        {"a: *b", "Undefined alias encountered: \"b\". At line: 1 col: 4"},
        {"- *later\n- &later 1", "Undefined alias encountered: \"later\". At line: 1 col: 3"},
        {"a: &a 1\nb: &a 2", "Duplicate occurrence of anchor \"a\". At line: 2 col: 4"},
        {"x:\n  y: &a\n    - 1\n    - &a z",
         "Duplicate occurrence of anchor \"a\". At line: 4 col: 7"},
        // An anchor on a key marks no node.
        {"&k a: 1\nb: *k", "Undefined alias encountered: \"k\". At line: 2 col: 4"},
        // Anchors belong to their document.
        {"--- &a\n--- *a", "Undefined alias encountered: \"a\". At line: 2 col: 5"},
    };
    for (const ErrorCase& c : cases) ExpectError(c.text, c.message);
}

TEST(YamlReaderTest, ParserErrorsKeepLibyamlsZeroBasedPositions) {
    const ErrorCase cases[] = {
        // At the end of the text libyaml moves to the start of a new line.
        {"a: [", "YAML parser error: did not find expected node content. At line: 1 col: 0"},
        {"a: [1,\n  2\n", "YAML parser error: did not find expected ',' or ']'. At line: 2 col: 0"},
        {"a: 1\n- b", "YAML parser error: did not find expected key. At line: 1 col: 0"},
        {"a:\n\tb",
         "YAML parser error: found character that cannot start any token. At line: 1 "
         "col: 0"},
        {"a: \"x\xffy\"", "YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0"},
        {"a: 'open", "YAML parser error: found unexpected end of stream. At line: 0 col: 8"},
    };
    for (const ErrorCase& c : cases) ExpectError(c.text, c.message);
    // A NUL byte is a control character, not the end of the text.
    ExpectError(std::string_view("a: 1\0b", 6),
                "YAML parser error: control characters are not allowed. At line: 0 col: 0");
}

TEST(YamlReaderTest, NestingIsBoundedAtTheLimit) {
    static_assert(kMaxNestingDepth == 512, "the messages below spell out the limit");
    const ConversionStatus deepest = ReadYaml(Nested(kMaxNestingDepth, "x"));
    ASSERT_TRUE(deepest.Ok()) << deepest.Error();
    const BindingProperty* inner = &deepest.Value();
    for (size_t level = 0; level < kMaxNestingDepth; ++level) inner = &inner->Element(0);
    EXPECT_EQ(*inner, String("x"));

    ExpectError(Nested(kMaxNestingDepth + 1),
                "Nesting deeper than 512 levels. At line: 1 col: 513");
    ExpectError(std::string(100000, '['), "Nesting deeper than 512 levels. At line: 1 col: 513");
    std::string mappings;
    for (size_t level = 0; level <= kMaxNestingDepth; ++level) mappings += "{a: ";
    ExpectError(mappings, "Nesting deeper than 512 levels. At line: 1 col: 2049");

    // An alias counts the depth of what it copies: 1 mapping + 211 sequences + 300 copied.
    const std::string anchored = "a: &a " + Nested(300) + "\nb: ";
    const ConversionStatus fits = ReadYaml(anchored + Nested(211, "*a"));
    EXPECT_TRUE(fits.Ok()) << fits.Error();
    ExpectError(anchored + Nested(212, "*a"),
                "Nesting deeper than 512 levels. At line: 2 col: 216");
}

// The classic alias bomb: each line copies the previous one ten times.
std::string AliasBomb(int levels) {
    std::string text = "l0: &l0 [x, x, x, x, x, x, x, x, x, x]\n";
    for (int level = 1; level < levels; ++level) {
        const std::string previous = "*l" + std::to_string(level - 1);
        const std::string name = "l" + std::to_string(level);
        text += name + ": &" + name + " [" + previous;
        for (int copy = 1; copy < 10; ++copy) text += ", " + previous;
        text += "]\n";
    }
    return text;
}

TEST(YamlReaderTest, AliasExpansionIsBounded) {
    // Nine levels would make 10^9 nodes; the budget stops at the seventh alias of line 6.
    ExpectError(AliasBomb(9),
                "Alias expansion exceeds 1000000 nodes. Alias \"l4\". At line: 6 col: 40");

    // Exactly at the budget: a kept copy (3 nodes) and two aliases (3 each).
    const std::string text = "a: &a [1, 2]\nb: *a\nc: *a";
    YamlReader atBudget(text.data(), text.size(), 9);
    EXPECT_TRUE(atBudget.Read()) << atBudget.Result().Error();
    YamlReader overAlias(text.data(), text.size(), 8);
    EXPECT_FALSE(overAlias.Read());
    EXPECT_EQ(overAlias.Result().Error(),
              "Alias expansion exceeds 8 nodes. Alias \"a\". At line: 3 col: 4");
    YamlReader overAnchor(text.data(), text.size(), 2);
    EXPECT_FALSE(overAnchor.Read());
    EXPECT_EQ(overAnchor.Result().Error(),
              "Alias expansion exceeds 2 nodes. Anchor \"a\". At line: 1 col: 4");
    // Reading again gives the same answer without reading again.
    EXPECT_FALSE(overAnchor.Read());
    EXPECT_EQ(overAnchor.Result().Error(),
              "Alias expansion exceeds 2 nodes. Anchor \"a\". At line: 1 col: 4");

    // Documents without anchors are not limited by the budget.
    std::string plain = "[";
    for (int index = 0; index < 100; ++index) plain += "{a: [1, 2]}, ";
    plain += "]";
    YamlReader unlimited(plain.data(), plain.size(), 1);
    EXPECT_TRUE(unlimited.Read()) << unlimited.Result().Error();
    EXPECT_EQ(unlimited.Result().Value().Size(), 100u);
}

TEST(YamlReaderTest, LooksLikeYamlNeedsThreeDashesAfterSpaces) {
    const std::pair<const char*, bool> cases[] = {
        {"---", true},   {"--- a: 1", true}, {"   ---\n", true},
        {"--", false},   {"\t---", false},   {"\n---", false},
        {"a: 1", false}, {"", false},        {"- - -", false},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(LooksLikeYaml(text), expected) << text;
}

}  // namespace
}  // namespace Vane
