#include "codec/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codec/json_reader.h"
#include "value/binding_writer.h"

namespace Vane {
namespace {

using namespace std::string_view_literals;

std::span<const uint8_t> Bytes(std::string_view text) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Names value 2 of enumeration 7 "Epytext" and nothing else.
class OneNameResolver : public EnumNameResolver {
  public:
    const char* EnumName(uint32_t typeId, int32_t value) const override {
        return typeId == 7 && value == 2 ? "Epytext" : nullptr;
    }
};

// Fails every lookup by throwing.
class ThrowingResolver : public EnumNameResolver {
  public:
    const char* EnumName(uint32_t, int32_t) const override { throw std::runtime_error("lookup"); }
};

struct ScalarCase {
    const char* label;
    std::function<void(BindingProperty&)> build;
    std::string_view expected;
};

TEST(JsonWriterTest, ScalarsAtTheTop) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ScalarCase cases[] = {
        {"empty", [](BindingProperty&) {}, ""},
        {"true", [](BindingProperty& v) { v.SetBool(true); }, "true"},
        {"false", [](BindingProperty& v) { v.SetBool(false); }, "false"},
        {"signed", [](BindingProperty& v) { v.SetSigned(-5); }, "-5"},
        {"signed 0", [](BindingProperty& v) { v.SetSigned(0); }, "0"},
        {"int64 min", [](BindingProperty& v) { v.SetSigned(INT64_MIN); }, "-9223372036854775808"},
        {"int64 max", [](BindingProperty& v) { v.SetSigned(INT64_MAX); }, "9223372036854775807"},
        {"uint64 max", [](BindingProperty& v) { v.SetUnsigned(UINT64_MAX); },
         "18446744073709551615"},
        {"0.0", [](BindingProperty& v) { v.SetFloat(0.0); }, "0.0"},
        {"-0.0", [](BindingProperty& v) { v.SetFloat(-0.0); }, "-0.0"},
        {"3.0", [](BindingProperty& v) { v.SetFloat(3.0); }, "3.0"},
        {"0.1", [](BindingProperty& v) { v.SetFloat(0.1); }, "0.1"},
        {"1.5", [](BindingProperty& v) { v.SetFloat(-1.5); }, "-1.5"},
        {"1e300", [](BindingProperty& v) { v.SetFloat(1e300); }, "1e300"},
        {"5e-324", [](BindingProperty& v) { v.SetFloat(5e-324); }, "5e-324"},
        {"1e21", [](BindingProperty& v) { v.SetFloat(1e21); }, "1e21"},
        {"max", [](BindingProperty& v) { v.SetFloat(1.7976931348623157e308); },
         "1.7976931348623157e308"},
        {"nan", [nan](BindingProperty& v) { v.SetFloat(nan); }, "null"},
        {"inf", [inf](BindingProperty& v) { v.SetFloat(inf); }, "null"},
        {"-inf", [inf](BindingProperty& v) { v.SetFloat(-inf); }, "null"},
        {"string", [](BindingProperty& v) { EXPECT_TRUE(v.SetString("text")); }, "\"text\""},
        {"empty string", [](BindingProperty& v) { EXPECT_TRUE(v.SetString("")); }, "\"\""},
        {"blob", [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob(Bytes("a\"b\0c"sv))); },
         R"("a\"b\u0000c")"},
        {"empty blob", [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob({})); }, "\"\""},
        {"enum", [](BindingProperty& v) { EXPECT_TRUE(v.SetEnum(2, 7)); }, "2"},
        {"collection", [](BindingProperty& v) { EXPECT_TRUE(v.MakeCollection()); }, "[]"},
        {"structure", [](BindingProperty& v) { EXPECT_TRUE(v.MakeStructure()); }, "{}"},
    };
    for (const ScalarCase& c : cases) {
        SCOPED_TRACE(c.label);
        BindingProperty value;
        c.build(value);
        EXPECT_EQ(WriteJson(value), c.expected);
        // The pretty layout writes a lone scalar the same way.
        EXPECT_EQ(WriteJson(value, nullptr, "\n"), c.expected);
        std::string out = "old";
        EXPECT_TRUE(WriteJsonTo(value, nullptr, {}, out));
        EXPECT_EQ(out, c.expected);
    }
}

TEST(JsonWriterTest, NonFiniteFloatsInsideContainersStayValid) {
    BindingProperty value;
    value.MemberForWrite("a")->SetFloat(std::numeric_limits<double>::quiet_NaN());
    BindingProperty* list = value.MemberForWrite("b");
    list->AppendElement()->SetFloat(-std::numeric_limits<double>::infinity());
    list->AppendElement()->SetFloat(1.0);
    list->AppendElement()->SetFloat(std::numeric_limits<double>::infinity());
    const std::string text = WriteJson(value);
    EXPECT_EQ(text, R"({"a":null,"b":[null,1.0,null]})");
    EXPECT_TRUE(ParseJson(text).Ok());
    EXPECT_EQ(WriteJson(value, nullptr, "\n"),
              "{\n    \"a\": null,\n    \"b\": [\n        null,\n"
              "        1.0,\n        null\n    ]\n}");
}

TEST(JsonWriterTest, StringsEscapeQuotesBackslashesAndControlCharacters) {
    struct Case {
        std::string_view text;
        std::string_view expected;
    };
    const Case cases[] = {
        {"plain", R"("plain")"},
        {"q\"b\\s/", R"("q\"b\\s/")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {"\x01\x1f\x0b\x7f", "\"\\u0001\\u001F\\u000B\x7f\""},
        {"a\0b"sv, R"("a\u0000b")"},
        {"\0"sv, R"("\u0000")"},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"\xFF\xFE", "\"\xFF\xFE\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.expected));
        BindingProperty value;
        EXPECT_TRUE(value.SetString(c.text));
        EXPECT_EQ(WriteJson(value), c.expected);
        BindingProperty blob;
        EXPECT_TRUE(blob.SetBlob(Bytes(c.text)));
        EXPECT_EQ(WriteJson(blob), c.expected);
        // Member names are escaped the same way.
        BindingProperty structure;
        structure.MemberForWrite(c.text)->SetBool(true);
        EXPECT_EQ(WriteJson(structure), std::string("{").append(c.expected).append(":true}"));
        // And read back to the same bytes.
        const ConversionStatus back = ParseJson(std::string(c.expected));
        ASSERT_TRUE(back.Ok()) << back.Error();
        EXPECT_EQ(back.Value().GetString(), c.text);
    }
}

TEST(JsonWriterTest, EnumsByNameOnlyWithAResolverThatNamesThem) {
    const OneNameResolver resolver;
    BindingProperty value;
    EXPECT_TRUE(value.AppendElement()->SetEnum(2, 7));
    EXPECT_TRUE(value.AppendElement()->SetEnum(3, 7));
    EXPECT_TRUE(value.AppendElement()->SetEnum(2, 8));
    EXPECT_TRUE(value.AppendElement()->SetEnum(-3, 7));
    EXPECT_EQ(WriteJson(value, &resolver), R"(["Epytext",3,2,-3])");
    EXPECT_EQ(WriteJson(value), "[2,3,2,-3]");
    // A resolver that throws is treated as one that has no name.
    const ThrowingResolver throwing;
    EXPECT_EQ(WriteJson(value, &throwing), "[2,3,2,-3]");
}

TEST(JsonWriterTest, StructureMembersInNameOrderAndEmptyMembersAsNull) {
    BindingProperty value;
    value.MemberForWrite("b")->SetUnsigned(1);
    value.MemberForWrite("a")->SetUnsigned(2);
    EXPECT_TRUE(value.MemberForWrite("B"));
    EXPECT_TRUE(value.MemberForWrite("ab")->AppendElement());
    EXPECT_EQ(WriteJson(value), R"({"B":null,"a":2,"ab":[null],"b":1})");
}

TEST(JsonWriterTest, PrettyLayoutIndentsByFourAndUsesTheNewlineText) {
    BindingProperty value;
    EXPECT_TRUE(value.MemberForWrite("b")->SetString("x\ny"));
    BindingProperty* list = value.MemberForWrite("a");
    list->AppendElement()->SetUnsigned(1);
    list->AppendElement()->MemberForWrite("c")->SetBool(false);
    EXPECT_TRUE(list->AppendElement()->MakeCollection());
    EXPECT_TRUE(value.MemberForWrite("d")->MakeStructure());

    const std::string lf = WriteJson(value, nullptr, "\n");
    EXPECT_EQ(lf,
              "{\n"
              "    \"a\": [\n"
              "        1,\n"
              "        {\n"
              "            \"c\": false\n"
              "        },\n"
              "        []\n"
              "    ],\n"
              "    \"b\": \"x\\ny\",\n"
              "    \"d\": {}\n"
              "}");
    std::string crlf = lf;
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) {
        crlf.replace(at, 1, "\r\n");
    }
    EXPECT_EQ(WriteJson(value, nullptr, "\r\n"), crlf);
    EXPECT_EQ(WriteJson(value), R"({"a":[1,{"c":false},[]],"b":"x\ny","d":{}})");
    // Any other non-empty newline text is used as given.
    EXPECT_EQ(WriteJson(value, nullptr, "<br>").find("{<br>    \"a\": [<br>"), 0u);
}

// Values survive writing and reading back, bit for bit.
TEST(JsonWriterTest, RoundTripKeepsLimitsDoublesAndText) {
    BindingProperty value;
    BindingProperty* numbers = value.MemberForWrite("numbers");
    numbers->AppendElement()->SetSigned(INT64_MIN);
    numbers->AppendElement()->SetSigned(-1);
    numbers->AppendElement()->SetUnsigned(UINT64_MAX);
    numbers->AppendElement()->SetUnsigned(0);
    const double doubles[] = {0.1,      1e300,   5e-324,  -0.0,  2.2250738585072014e-308,
                              1.0 / 3., 123.456, 1e-7,    1e22,  1.7976931348623157e308,
                              -2.5,     1e16,    4.35e-5, 100.0, 110.83427282976325};
    BindingProperty* floats = value.MemberForWrite("floats");
    for (double d : doubles) floats->AppendElement()->SetFloat(d);
    EXPECT_TRUE(value.MemberForWrite("text")->SetString(
        "a\"\\\b\f\n\r\t\x01\0\xC3\xA9 \xF0\x9F\x98\x80"sv));
    value.MemberForWrite("nested")->MemberForWrite("deeper")->AppendElement()->SetBool(true);

    for (std::string_view newline : {""sv, "\n"sv, "\r\n"sv}) {
        const std::string text = WriteJson(value, nullptr, newline);
        const ConversionStatus back = ParseJson(text);
        ASSERT_TRUE(back.Ok()) << back.Error();
        EXPECT_TRUE(back.Value() == value) << text;
        const BindingProperty& readFloats = back.Value().Member("floats");
        for (size_t index = 0; index < std::size(doubles); ++index) {
            const double read = readFloats.Element(index).GetFloat();
            EXPECT_EQ(std::memcmp(&read, &doubles[index], sizeof read), 0) << doubles[index];
        }
    }
    // Canonical compact text reads and writes back unchanged.
    const char* canonical =
        R"({"a":[-9223372036854775808,18446744073709551615,0.1,5e-324,"\u0000"],"b":{}})";
    EXPECT_EQ(WriteJson(ParseJson(canonical).Value()), canonical);
}

// Records the slots a walk calls.
class RecordingWriter : public BindingWriter {
  public:
    std::vector<std::string> events;

    void WriteEmpty() noexcept override { Add("empty"); }
    void WriteBool(bool v) noexcept override { Add(v ? "true" : "false"); }
    void WriteSigned(int64_t v) noexcept override { Add("i", std::to_string(v)); }
    void WriteUnsigned(uint64_t v) noexcept override { Add("u", std::to_string(v)); }
    void WriteFloat(double v) noexcept override { Add("f", std::to_string(v)); }
    void WriteString(std::string_view v) noexcept override { Add("s", v); }
    void WriteBlob(std::span<const uint8_t> v) noexcept override {
        Add("b", std::to_string(v.size()));
    }
    void WriteEnum(const EnumRecord& v) noexcept override {
        Add("e", std::to_string(v.value).append("/").append(std::to_string(v.typeId)));
    }
    void BeginCollection(size_t n) noexcept override { Add("[", std::to_string(n)); }
    void BeginElement() noexcept override { Add("<"); }
    void EndElement() noexcept override { Add(">"); }
    void EndCollection() noexcept override { Add("]"); }
    void BeginStructure(size_t n) noexcept override { Add("{", std::to_string(n)); }
    void MemberName(std::string_view name) noexcept override { Add(".", name); }
    void EndMember() noexcept override { Add(";"); }
    void EndStructure() noexcept override { Add("}"); }

  private:
    void Add(std::string_view what, std::string_view detail = {}) {
        events.emplace_back(what).append(detail);
    }
};

TEST(WalkTest, CallsTheSlotsInOrder) {
    BindingProperty value;
    EXPECT_TRUE(value.MemberForWrite("z")->SetEnum(4, 9));
    BindingProperty* list = value.MemberForWrite("m");
    list->AppendElement()->SetSigned(-1);
    EXPECT_TRUE(list->AppendElement());
    EXPECT_TRUE(list->AppendElement()->SetBlob(Bytes("xy")));
    value.MemberForWrite("a")->SetFloat(0.5);
    EXPECT_TRUE(value.MemberForWrite("b")->MakeStructure());
    EXPECT_TRUE(value.MemberForWrite("c")->SetString("t"));
    value.MemberForWrite("d")->SetUnsigned(3);
    value.MemberForWrite("e")->SetBool(false);

    RecordingWriter recorder;
    Walk(value, recorder);
    const std::vector<std::string> expected = {
        "{7", ".a", "f0.500000", ";",     ".b", "{0", "}",  ";",    ".c",  "st", ";", ".d",
        "u3", ";",  ".e",        "false", ";",  ".m", "[3", "<",    "i-1", ">",  "<", "empty",
        ">",  "<",  "b2",        ">",     "]",  ";",  ".z", "e4/9", ";",   "}"};
    EXPECT_EQ(recorder.events, expected);
}

TEST(JsonWriterTest, DrivenDirectlyItRefusesSlotsOutOfOrder) {
    struct Case {
        const char* label;
        std::function<void(JsonWriter&)> drive;
        bool ok;
        std::string_view expected;
    };
    const Case cases[] = {
        {"well formed",
         [](JsonWriter& w) {
             w.BeginStructure(1);
             w.MemberName("k");
             w.BeginCollection(2);
             w.BeginElement();
             w.WriteUnsigned(1);
             w.EndElement();
             w.BeginElement();
             w.WriteFloat(std::numeric_limits<double>::quiet_NaN());
             w.EndElement();
             w.EndCollection();
             w.EndMember();
             w.EndStructure();
         },
         true, R"({"k":[1,null]})"},
        {"nothing", [](JsonWriter&) {}, false, ""},
        {"two roots",
         [](JsonWriter& w) {
             w.WriteBool(true);
             w.WriteBool(false);
         },
         false, ""},
        {"unclosed", [](JsonWriter& w) { w.BeginCollection(0); }, false, ""},
        {"name in a collection",
         [](JsonWriter& w) {
             w.BeginCollection(1);
             w.MemberName("k");
             w.EndCollection();
         },
         false, ""},
        {"value without a name",
         [](JsonWriter& w) {
             w.BeginStructure(1);
             w.WriteSigned(1);
             w.EndStructure();
         },
         false, ""},
        {"end of the wrong kind",
         [](JsonWriter& w) {
             w.BeginStructure(0);
             w.EndCollection();
             w.EndStructure();
         },
         false, ""},
        {"end without begin", [](JsonWriter& w) { w.EndStructure(); }, false, ""},
        {"name without value",
         [](JsonWriter& w) {
             w.BeginStructure(1);
             w.MemberName("k");
             w.EndStructure();
         },
         false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::unique_ptr<JsonWriter> writer = JsonWriter::Create(nullptr, {});
        ASSERT_NE(writer, nullptr);
        c.drive(*writer);
        std::string out = "old";
        EXPECT_EQ(writer->Finish(out), c.ok);
        EXPECT_EQ(out, c.expected);
    }
    std::unique_ptr<JsonWriter> pretty = JsonWriter::Create(nullptr, "\r\n");
    ASSERT_NE(pretty, nullptr);
    pretty->BeginCollection(1);
    pretty->BeginElement();
    pretty->WriteEmpty();
    pretty->EndElement();
    pretty->EndCollection();
    std::string out;
    EXPECT_TRUE(pretty->Finish(out));
    EXPECT_EQ(out, "[\r\n    null\r\n]");
}

}  // namespace
}  // namespace Vane
