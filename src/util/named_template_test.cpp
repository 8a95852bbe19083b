#include "util/named_template.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Vane {
namespace {

struct Case {
    const char* tmpl;
    std::vector<TemplateValue> values;
    std::string numbered;
    std::string message;
    TemplateFields fields;
};

TEST(ConvertNamedTemplateTest, Table) {
    const std::vector<Case> cases = {
        {"Error response for {method} {url}: {error}",
         {"GET", "/x", "oops"},
         "Error response for %1 %2: %3",
         "Error response for GET /x: oops",
         {{"method", "GET"}, {"url", "/x"}, {"error", "oops"}}},
        // Numbering follows appearance, not names; the last value of a name wins.
        {"{x} {x}", {1, 2}, "%1 %2", "1 2", {{"x", 2}}},
        {"{#count}", {5u}, "%1", "5", {{"count_int", 5u}}},
        {"{#count_int}", {5u}, "%1", "5", {{"count_int", 5u}}},
        {"{#on}{#ratio}{#s}{#at_time}",
         {true, 0.5, "t", int64_t{7}},
         "%1%2%3%4",
         "10.5t7",
         {{"on_bool", true}, {"ratio_float", 0.5}, {"s_str", "t"}, {"at_time", int64_t{7}}}},
        {"{#}", {1}, "%1", "1", {}},
        {"{n?none}", {0}, "none", "none", {}},
        {"{n?none}", {5}, "%1", "5", {{"n", 5}}},
        {"{b?no}/{s?empty}/{d?zero}", {false, "", 0.0}, "no/empty/zero", "no/empty/zero", {}},
        {"{n?100%}", {0}, "100%%", "100%", {}},
        {"{{literal}}", {}, "{literal}", "{literal}", {}},
        {"a } b }} c", {}, "a } b } c", "a } b } c", {}},
        {"100%% {p}", {"x"}, "100%% %1", "100% x", {{"p", "x"}}},
        {"a  {x!}, b", {9}, "a, b", "a, b", {{"x", 9}}},
        {"{n:05d}", {42}, "%1$05d", "00042", {{"n", 42}}},
        {"{n:5} items", {7}, "%1$5d items", "    7 items", {{"n", 7}}},
        {"[{n:-6.2f}]", {3.14159}, "[%1$-6.2f]", "[3.14  ]", {{"n", 3.14159}}},
        {"{v@hex}", {255}, "%1", "00000000000000FF", {{"v", "00000000000000FF"}}},
        {"{v@hex}", {-1}, "%1", "FFFFFFFFFFFFFFFF", {{"v", "FFFFFFFFFFFFFFFF"}}},
        {"{v@hex}", {"text"}, "%1", "text", {{"v", "text"}}},
        {"{b@str} {i@str} {u@str} {d@str}",
         {true, -3, UINT64_MAX, 1.5},
         "%1 %2 %3 %4",
         "true -3 18446744073709551615 1.500000",
         {{"b", "true"}, {"i", "-3"}, {"u", "18446744073709551615"}, {"d", "1.500000"}}},
        {"{#v@str}", {12}, "%1", "12", {{"v_str", "12"}}},
        {"{a\\}b} {c\\?d} {e{f}",
         {1, 2, 3},
         "%1 %2 %3",
         "1 2 3",
         {{"a}b", 1}, {"c?d", 2}, {"ef", 3}}},
        // A printf placeholder outside holes is kept and takes a hole number.
        {"%s {a}", {"x", "y"}, "%s %2", "x y", {{"a", "y"}}},
        {"%1$-3d| {a}", {1, 2}, "%1$-3d| %2", "1  | 2", {{"a", 2}}},
        // Holes above the value count write and record nothing.
        {"{a} {b} end", {"x"}, "%1  end", "x  end", {{"a", "x"}}},
        {"{a}", {}, "", "", {}},
        // Unterminated holes are copied literally.
        {"oops {name", {1}, "oops {name", "oops {name", {}},
        {"{a} {b:%", {1, 2}, "%1 {b:%%", "1 {b:%", {{"a", 1}}},
        {"{a\\", {1}, "{a\\", "{a\\", {}},
        // A digit after a short placeholder must not extend its number.
        {"{n}0 items", {5}, "%1$d0 items", "50 items", {{"n", 5}}},
        {"{a} {b!}1", {"x", "y"}, "%1$s1", "x1", {{"a", "x"}, {"b", "y"}}},
        {"{a}{b?0}", {7u, 0}, "%1$u0", "70", {{"a", 7u}}},
    };
    for (const Case& c : cases) {
        std::vector<TemplateValue> values = c.values;
        TemplateFields fields;
        std::string numbered = ConvertNamedTemplate(c.tmpl, values.data(), values.size(), &fields);
        EXPECT_EQ(numbered, c.numbered) << c.tmpl;
        EXPECT_EQ(fields, c.fields) << c.tmpl;
        std::vector<TemplateValue> again = c.values;
        EXPECT_EQ(FormatNamedTemplate(c.tmpl, again.data(), again.size(), nullptr), c.message)
            << c.tmpl;
    }
}

TEST(TemplateValueTest, TypesAndFormattingArguments) {
    struct Expect {
        TemplateValue value;
        TemplateValueType type;
        std::string formatted;
    };
    const std::vector<Expect> cases = {
        {true, TemplateValueType::kBool, "1"},
        {int8_t{-5}, TemplateValueType::kSigned, "-5"},
        {INT64_MIN, TemplateValueType::kSigned, "-9223372036854775808"},
        {uint16_t{7}, TemplateValueType::kUnsigned, "7"},
        {UINT64_MAX, TemplateValueType::kUnsigned, "18446744073709551615"},
        {0.25f, TemplateValueType::kDouble, "0.25"},
        {"text", TemplateValueType::kString, "text"},
        {std::string("s"), TemplateValueType::kString, "s"},
        {std::string_view("v"), TemplateValueType::kString, "v"},
        {static_cast<const char*>(nullptr), TemplateValueType::kString, "(null)"},
        {TemplateValue(), TemplateValueType::kString, ""},
    };
    for (const Expect& c : cases) {
        EXPECT_EQ(c.value.Type(), c.type) << c.formatted;
        EXPECT_EQ(FormatTemplateValues("%1", &c.value, 1), c.formatted);
        EXPECT_EQ(FormatPositional("%1", c.value), c.formatted);
    }
    // Reading a value as another type gives the empty value, never garbage.
    EXPECT_EQ(TemplateValue("x").AsSigned(), 0);
    EXPECT_EQ(TemplateValue(3).AsString(), "");
}

TEST(FormatTemplateValuesTest, ManyValues) {
    std::vector<TemplateValue> values;
    for (int k = 1; k <= 12; ++k) values.emplace_back(k);
    EXPECT_EQ(FormatTemplateValues("%12 %1 %9", values.data(), values.size()), "12 1 9");
}

}  // namespace
}  // namespace Vane
