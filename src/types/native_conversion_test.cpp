#include "types/native_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "types/record_description.h"

namespace Vane::conversion_test {
enum class Format : uint8_t { kFull = 1, kEpytext = 2 };
}  // namespace Vane::conversion_test

namespace Vane {

using conversion_test::Format;

template <>
struct TypeDescription<Format> {
    static void Describe(RecordBuilder<Format>& r) {
        r.Name("BindingHelpFormat");
        r.Enumerator("Full", Format::kFull, "Native help format");
        r.Enumerator("Epytext", Format::kEpytext, "Python epytext format");
    }
};

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

BindingProperty Empty() {
    return BindingProperty();
}
BindingProperty Bool(bool v) {
    BindingProperty value;
    value.SetBool(v);
    return value;
}
BindingProperty Signed(int64_t v) {
    BindingProperty value;
    value.SetSigned(v);
    return value;
}
BindingProperty Unsigned(uint64_t v) {
    BindingProperty value;
    value.SetUnsigned(v);
    return value;
}
BindingProperty Float(double v) {
    BindingProperty value;
    value.SetFloat(v);
    return value;
}
BindingProperty Text(std::string_view v) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString(v));
    return value;
}
BindingProperty Enum(int32_t v, uint32_t typeId = StaticType::Id<Format>()) {
    BindingProperty value;
    EXPECT_TRUE(value.SetEnum(v, typeId));
    return value;
}
BindingProperty Blob() {
    BindingProperty value;
    const uint8_t bytes[] = {1, 2};
    EXPECT_TRUE(value.SetBlob(bytes));
    return value;
}
BindingProperty Collection() {
    BindingProperty value;
    EXPECT_TRUE(value.MakeCollection());
    return value;
}
BindingProperty Structure() {
    BindingProperty value;
    EXPECT_TRUE(value.MakeStructure());
    return value;
}

// One input and what reading it as a T gives: `value`, or the failure `error` when not "".
template <class T>
struct Case {
    BindingProperty input;
    T value{};
    std::string error;
};

class NativeConversionTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(RegisterType<Format>(registry_), nullptr); }

    template <class T>
    void Check(const std::vector<Case<T>>& cases) {
        for (const Case<T>& c : cases) {
            SCOPED_TRACE(KindName(c.input.Kind()) + std::string(" ") + c.input.AsText());
            MaybeType<Failure, T> result = ConvertTo<T>(registry_, c.input);
            if (c.error.empty()) {
                ASSERT_TRUE(result.HasValue()) << result.GetFailure().Message();
                EXPECT_EQ(result.Value(), c.value);
            } else {
                ASSERT_TRUE(result.IsFailure());
                EXPECT_EQ(result.GetFailure().Message(), c.error);
            }
        }
    }

    TypeRegistry registry_;
};

std::string Required() {
    return "A value for '<value>' is required.";
}
std::string Format3(const char* tmpl, std::string_view input, const char* type) {
    return FormatPositional(tmpl, input, "<value>", type);
}
std::string OutOfRange(std::string_view input, const char* type) {
    return Format3("Value %1 for '%2' of type %3 is out of range", input, type);
}
std::string BadFormat(std::string_view input, const char* type) {
    return Format3("Value %1 for '%2' of type %3 is in an incorrect format", input, type);
}
std::string InvalidType(const char* type, const char* kind) {
    return FormatPositional(
        "Couldn't assign value to '<value>' of type %1 because the input is of an invalid type "
        "%2.",
        type, kind);
}

TEST_F(NativeConversionTest, Bool) {
    Check<bool>({
        {Bool(true), true},
        {Text("true"), true},
        {Text("1"), true},
        {Text("false"), false},
        {Text("0"), false},
        {Text("TRUE"),
         {},
         "Value TRUE for '<value>' of type bool is in an incorrect format. Options are \"true\", "
         "\"false\", \"1\", \"0\"."},
        {Text(""),
         {},
         "Value  for '<value>' of type bool is in an incorrect format. Options are \"true\", "
         "\"false\", \"1\", \"0\"."},
        {Empty(), {}, Required()},
        {Signed(1), {}, InvalidType("bool", "signed")},
        {Structure(), {}, InvalidType("bool", "structure")},
    });
}

TEST_F(NativeConversionTest, Int32) {
    Check<int32_t>({
        {Signed(-5), -5},
        {Unsigned(2147483647), 2147483647},
        {Signed(2147483648), {}, OutOfRange("2147483648", "int32")},
        {Signed(-2147483649), {}, OutOfRange("-2147483649", "int32")},
        {Unsigned(9223372036854775808u), {}, OutOfRange("9223372036854775808", "int32")},
        {Text("0x10"), 16},
        {Text("010"), 8},
        {Text(" \t-7"), -7},
        {Text("+7"), 7},
        {Text(""), 0},
        {Text("12abc"), {}, BadFormat("12abc", "int32")},
        {Text("7 "), {}, BadFormat("7 ", "int32")},
        {Text(" "), {}, BadFormat(" ", "int32")},
        {Text(std::string_view("1\0"
                               "2",
                               3)),
         {},
         BadFormat(std::string_view("1\0"
                                    "2",
                                    3),
                   "int32")},
        {Text("2147483648"), {}, OutOfRange("2147483648", "int32")},
        {Text("99999999999999999999"), {}, OutOfRange("99999999999999999999", "int32")},
        {Float(3.9), 3},
        {Float(-3.9), -3},
        {Float(2147483647.0), 2147483647},
        {Float(2147483647.5), {}, OutOfRange("2.14748e+09", "int32")},
        {Float(-2147483648.0), -2147483648},
        {Float(kNaN), {}, OutOfRange("nan", "int32")},
        {Float(kInfinity), {}, OutOfRange("inf", "int32")},
        {Enum(2), 2},
        {Empty(), {}, Required()},
        {Bool(true), {}, InvalidType("int32", "bool")},
        {Blob(), {}, InvalidType("int32", "blob")},
        {Collection(), {}, InvalidType("int32", "collection")},
    });
}

TEST_F(NativeConversionTest, SixtyFourBitLimits) {
    Check<int64_t>({
        {Text("9223372036854775807"), INT64_MAX},
        {Text("-9223372036854775808"), INT64_MIN},
        {Text("9223372036854775808"), {}, OutOfRange("9223372036854775808", "int64")},
        {Unsigned(UINT64_MAX), {}, OutOfRange("18446744073709551615", "int64")},
        // 2^63 passes a plain "<= max" test as a double, but doesn't fit.
        {Float(9223372036854775808.0), {}, OutOfRange("9.22337e+18", "int64")},
        {Float(-9223372036854775808.0), INT64_MIN},
    });
    Check<uint64_t>({
        {Unsigned(UINT64_MAX), UINT64_MAX},
        {Text("18446744073709551615"), UINT64_MAX},
        {Text("0xFFFFFFFFFFFFFFFF"), UINT64_MAX},
        {Text("18446744073709551616"), {}, OutOfRange("18446744073709551616", "uint64")},
        {Text("-1"), {}, OutOfRange("-1", "uint64")},
        {Text(" -0"), {}, OutOfRange(" -0", "uint64")},
        {Text("1-"), {}, BadFormat("1-", "uint64")},
        {Signed(-1), {}, OutOfRange("-1", "uint64")},
        {Float(18446744073709551616.0), {}, OutOfRange("1.84467e+19", "uint64")},
        {Float(1e19), 10000000000000000000u},
    });
}

TEST_F(NativeConversionTest, NarrowWidths) {
    Check<int8_t>({
        {Signed(-128), -128},
        {Signed(128), {}, OutOfRange("128", "int8")},
        {Text("-129"), {}, OutOfRange("-129", "int8")},
        {Enum(200, 1), {}, OutOfRange("200", "int8")},
    });
    Check<uint8_t>({
        {Text("0xff"), 255},
        {Text("0x100"), {}, OutOfRange("0x100", "uint8")},
        {Float(255.0), 255},
        {Float(255.5), {}, OutOfRange("255.5", "uint8")},  // compared before truncation
    });
    Check<uint16_t>({{Float(-0.0), 0}, {Text("65536"), {}, OutOfRange("65536", "uint16")}});
    Check<uint32_t>({
        {Float(-0.5), {}, OutOfRange("-0.5", "uint32")},
        {Float(4294967295.0), 4294967295u},
        {Enum(-1), {}, OutOfRange("-1", "uint32")},
        {Bool(false), {}, InvalidType("uint32", "bool")},
    });
    // long long and int64_t are one native kind.
    Check<long long>({{Text("-0x10"), -16}});
}

TEST_F(NativeConversionTest, Floating) {
    Check<double>({
        {Text("1.5"), 1.5},
        {Text(" -2e3"), -2000.0},
        {Text("1e-400"), 0.0},  // underflow is a value, not an error
        {Text("1e999"), {}, OutOfRange("1e999", "double")},
        {Text("inf"), {}, OutOfRange("inf", "double")},
        {Text("1.5x"), {}, BadFormat("1.5x", "double")},
        {Text(""), 0.0},
        {Signed(-3), -3.0},
        {Unsigned(UINT64_MAX), 18446744073709551615.0},
        {Enum(2), 2.0},
        {Float(kInfinity), {}, OutOfRange("inf", "double")},
        {Empty(), {}, Required()},
        {Bool(true), {}, InvalidType("double", "bool")},
        {Collection(), {}, InvalidType("double", "collection")},
    });
    Check<float>({
        {Float(0.25), 0.25f},
        {Text("3.5"), 3.5f},
        {Float(1e39), {}, OutOfRange("1e+39", "float")},
        {Text("-1e39"), {}, OutOfRange("-1e39", "float")},
    });
    // NaN is a value a floating destination can hold.
    MaybeType<Failure, double> nan = ConvertTo<double>(registry_, Float(kNaN));
    ASSERT_TRUE(nan.HasValue());
    EXPECT_TRUE(std::isnan(nan.Value()));
}

TEST_F(NativeConversionTest, String) {
    const std::string notString =
        "Couldn't assign value to '<value>' because the input is not a string.";
    Check<std::string>({
        {Text("abc"), "abc"},
        {Text(""), ""},
        {Enum(2), "Epytext"},
        {Enum(5), {}, "5 is not a valid enumeration value for '<value>'."},
        {Enum(1, 12345), {}, "1 is not a valid enumeration value for '<value>'."},
        {Empty(), {}, Required()},
        {Signed(1), {}, notString},
        {Float(1.0), {}, notString},
        {Blob(), {}, notString},
    });
}

TEST_F(NativeConversionTest, Enum) {
    const std::string invalidType =
        "Couldn't assign value to '<value>' of enum type because the input is of an invalid type ";
    Check<Format>({
        {Text("Full"), Format::kFull},
        {Text("2"), Format::kEpytext},
        {Text("0x2"), Format::kEpytext},
        {Text("full"),
         {},
         "full is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Text("3"), {}, "3 is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Text("4294967297"),
         {},
         "4294967297 is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Signed(1), Format::kFull},
        {Unsigned(2), Format::kEpytext},
        {Signed(-1), {}, "-1 is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Unsigned(4294967297u),
         {},
         "4294967297 is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Enum(2, 999), Format::kEpytext},
        {Enum(0), {}, "0 is not a valid BindingHelpFormat enumeration value for '<value>'."},
        {Empty(), {}, Required()},
        {Float(1.0), {}, invalidType + "float."},
        {Bool(true), {}, invalidType + "bool."},
        {Structure(), {}, invalidType + "structure."},
    });

    // Without a registered enumeration there is nothing to check values against.
    TypeRegistry empty;
    EXPECT_EQ(ConvertTo<Format>(empty, Text("Full")).GetFailure().Message(),
              "Couldn't assign value to '<value>' because its enumeration type is not "
              "registered.");
    // Writing needs no registration: the value and the type id.
    EXPECT_EQ(ToBinding(empty, Format::kEpytext).Value().GetEnum(),
              (EnumRecord{2, StaticType::Id<Format>()}));
}

TEST_F(NativeConversionTest, BlobAndObject) {
    Check<BindingBlob>({
        {Blob(), BindingBlob{{1, 2}}},
        {Empty(), {}, Required()},
        {Text("ab"),
         {},
         "Couldn't assign value to '<value>' of type blob because the input is of an invalid "
         "type string."},
    });
    // std::vector<uint8_t> is a vector of numbers, not a blob.
    BindingProperty numbers;
    numbers.ElementAt(0)->SetSigned(7);
    EXPECT_EQ(ConvertTo<std::vector<uint8_t>>(registry_, numbers).Value(), std::vector<uint8_t>{7});
    BindingProperty written;
    written.ElementAt(0)->SetUnsigned(7);
    EXPECT_EQ(ToBinding(registry_, std::vector<uint8_t>{7}).Value(), written);

    BindingProperty tree;
    EXPECT_TRUE(tree.MemberForWrite("a")->ElementAt(1)->SetString("x"));
    for (const BindingProperty& input : {Empty(), Signed(3), tree}) {
        MaybeType<Failure, BindingProperty> copy = ConvertTo<BindingProperty>(registry_, input);
        ASSERT_TRUE(copy.HasValue());
        EXPECT_EQ(copy.Value(), input);
        EXPECT_EQ(ToBinding(registry_, input).Value(), input);
    }
}

TEST_F(NativeConversionTest, ScalarsToBinding) {
    EXPECT_EQ(ToBinding(registry_, int8_t{-1}).Value(), Signed(-1));
    EXPECT_EQ(ToBinding(registry_, uint8_t{255}).Value(), Unsigned(255));
    EXPECT_EQ(ToBinding(registry_, INT64_MIN).Value(), Signed(INT64_MIN));
    EXPECT_EQ(ToBinding(registry_, UINT64_MAX).Value(), Unsigned(UINT64_MAX));
    EXPECT_EQ(ToBinding(registry_, 0.5f).Value(), Float(0.5));
    EXPECT_EQ(ToBinding(registry_, false).Value(), Bool(false));
    EXPECT_EQ(ToBinding(registry_, std::string("t")).Value(), Text("t"));
    EXPECT_EQ(ToBinding(registry_, BindingBlob{{1, 2}}).Value(), Blob());
    BindingProperty map;
    EXPECT_TRUE(map.MemberForWrite("k")->SetString("v"));
    EXPECT_EQ(ToBinding(registry_, std::map<std::string, std::string>{{"k", "v"}}).Value(), map);
}

}  // namespace
}  // namespace Vane
