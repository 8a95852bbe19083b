#include "util/format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Vane {
namespace {

struct Case {
    const char* what;
    std::string actual;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST(FormatPositionalTest, PlaceholderForms) {
    ExpectAll({
        {"short form", FormatPositional("%1.%2.%3", 1, 2, 3), "1.2.3"},
        {"order", FormatPositional("%2 before %1", "a", "b"), "b before a"},
        {"multi-digit number", FormatPositional("%10|%1", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), "10|1"},
        // Values unlike their positions: "%10" read as "%1" then "0" would give "a0|a".
        {"multi-digit number, values unlike positions",
         FormatPositional("%10|%1", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j"), "j|a"},
        {"short form ends at digits", FormatPositional("%1d", 7), "7d"},
        {"numbered conversion", FormatPositional("%1$05d", 42), "00042"},
        {"hex", FormatPositional("%1$x", 255), "ff"},
        {"percent", FormatPositional("100%%"), "100%"},
        {"sequential", FormatPositional("%s-%s", "a", "b"), "a-b"},
        {"sequential ignores numbered", FormatPositional("%2 %s %s", "a", "b"), "b a b"},
        {"star width", FormatPositional("[%*d]", 5, 42), "[   42]"},
        {"negative star width", FormatPositional("[%*d]", -5, 42), "[42   ]"},
        {"numbered star", FormatPositional("[%1$*2$d]", 42, 4), "[  42]"},
        {"star precision", FormatPositional("[%.*f]", 2, 3.14159), "[3.14]"},
        {"negative star precision", FormatPositional("[%.*f]", -1, 0.5), "[0.500000]"},
        {"width then value", FormatPositional("[%*s|%s]", 3, "a", "b"), "[  a|b]"},
        {"no conversion at end", FormatPositional("x=%-4", 7), "x=7   "},
        {"dot alone means zero", FormatPositional("%1$.f", 2.5), "2"},
        {"literal NUL is copied", FormatPositional(std::string_view("a\0%1", 4), 5),
         std::string("a\0"
                     "5",
                     3)},
    });
}

TEST(FormatPositionalTest, ConversionsPerArgumentType) {
    ExpectAll({
        {"text refuses x", FormatPositional("%1$x", "text"), "text"},
        {"int refuses s", FormatPositional("%1$s", 42), "42"},
        {"double refuses d", FormatPositional("%1$d", 2.5), "2.5"},
        {"double default g", FormatPositional("%1", 0.1), "0.1"},
        {"int as char", FormatPositional("%1$c", 65), "A"},
        {"char default", FormatPositional("%1", 'z'), "z"},
        {"char as number", FormatPositional("%1$d", 'A'), "65"},
        {"char refuses s", FormatPositional("%1$s", 'A'), "A"},
        {"signed as unsigned", FormatPositional("%1$x", -1), "ffffffff"},
        {"unsigned as signed", FormatPositional("%1$d", 4294967295u), "-1"},
        {"int64 as unsigned", FormatPositional("%1$u", int64_t{-1}), "18446744073709551615"},
        {"ll on int32 is ignored", FormatPositional("%1$lld", -5), "-5"},
        {"l on uint64 is ignored", FormatPositional("%1$lx", UINT64_MAX), "ffffffffffffffff"},
        {"hh narrows", FormatPositional("%1$hhd", 300), "44"},
        {"h narrows int64", FormatPositional("%1$hd", int64_t{70000}), "4464"},
        {"hh unsigned", FormatPositional("%1$hhu", -1), "255"},
        {"L on double is ignored", FormatPositional("%1$Lf", 1.5), "1.500000"},
        {"n writes nothing", FormatPositional("a%1$nb", 5), "ab"},
        {"n on text", FormatPositional("a%nb", "x"), "ab"},
        {"text precision", FormatPositional("%1$.2s|%1$-4s|%1$4s", "abc"), "ab|abc | abc"},
    });
}

TEST(FormatPositionalTest, ArgumentTypes) {
    const std::string s = "str";
    const char* nullText = nullptr;
    char mutableText[] = "mut";
    ExpectAll({
        {"int8", FormatPositional("%1", int8_t{-8}), "-8"},
        {"uint8", FormatPositional("%1", uint8_t{200}), "200"},
        {"int16", FormatPositional("%1", int16_t{-16}), "-16"},
        {"uint16", FormatPositional("%1", uint16_t{65535}), "65535"},
        {"int32 min", FormatPositional("%1", INT32_MIN), "-2147483648"},
        {"uint32 max", FormatPositional("%1", UINT32_MAX), "4294967295"},
        {"int64_t min", FormatPositional("%1", INT64_MIN), "-9223372036854775808"},
        {"long long", FormatPositional("%1", -1234567890123LL), "-1234567890123"},
        {"uint64_t max", FormatPositional("%1", UINT64_MAX), "18446744073709551615"},
        {"unsigned long long", FormatPositional("%1", 18446744073709551615ULL),
         "18446744073709551615"},
        {"size_t", FormatPositional("%1", size_t{4000000000u}), "4000000000"},
        {"bool", FormatPositional("%1/%2", true, false), "1/0"},
        {"float", FormatPositional("%1", 0.5f), "0.5"},
        {"double precision", FormatPositional("%1$.3e", 12345.678), "1.235e+04"},
        {"std::string", FormatPositional("[%1]", s), "[str]"},
        {"string_view", FormatPositional("[%1]", std::string_view("view")), "[view]"},
        {"null text", FormatPositional("[%1]", nullText), "[(null)]"},
        {"char pointer", FormatPositional("[%1]", static_cast<char*>(mutableText)), "[mut]"},
        {"version", FormatPositional("v%1", Version{1, 2, 3}), "v1.2.3"},
        {"version as s with width", FormatPositional("[%1$-8s]", Version{10, 0, 7}), "[10.0.7  ]"},
        {"version refuses d", FormatPositional("%1$d", Version{1, 2, 3}), "1.2.3"},
        {"version max", FormatPositional("%1", Version{UINT32_MAX, UINT32_MAX, UINT32_MAX}),
         "4294967295.4294967295.4294967295"},
        {"no arguments", FormatPositional("plain"), "plain"},
    });
}

TEST(FormatPositionalTest, BadInputEndsTheText) {
    const std::string longFlags(56, '-');
    const std::string fitting = "ab%1$" + std::string(55, '-') + "d|";  // 59 characters
    ExpectAll({
        {"argument above count", FormatPositional("%1 and %3 here", "a", "b"), "a and "},
        {"numbered conversion above count", FormatPositional("x%3$dy", 1, 2), "x"},
        {"sequential runs out", FormatPositional("%d %d %d", 1, 2), "1 2 "},
        {"no arguments at all", FormatPositional("a%db"), "a"},
        {"lone percent at end", FormatPositional("100%"), "100"},
        {"star argument above count", FormatPositional("<%1$*5$d>", 1), "<"},
        {"sequential star runs out", FormatPositional("<%*d>", 5), "<"},
        {"placeholder of 60 characters", FormatPositional("ab%1$" + longFlags + "d|", 7), "ab"},
        {"placeholder of 59 characters", FormatPositional(fitting, 7), "ab7|"},
        {"huge argument number", FormatPositional("a%99999999999999999999b", 1), "a"},
        {"star fed by text", FormatPositional("[%1$*2$d]", 42, "wide"), "[42]"},
        {"star fed by double", FormatPositional("[%1$*2$d]", 42, 9.0), "[42]"},
        {"star fed by version", FormatPositional("[%1$*2$d]", 42, Version{9, 9, 9}), "[42]"},
        {"precision star fed by text", FormatPositional("[%1$.*2$f]", 1.5, "x"), "[1.500000]"},
    });
}

TEST(FormatPositionalTest, ResultIsCutAt4095Bytes) {
    const std::string big(5000, 'x');
    std::string viaArgument = FormatPositional("%1", big);
    EXPECT_EQ(viaArgument, big.substr(0, 4095));
    std::string viaTemplate = FormatPositional(big + "%1", 1);
    EXPECT_EQ(viaTemplate, big.substr(0, 4095));
    std::string afterPrefix = FormatPositional("ab%1", big);
    EXPECT_EQ(afterPrefix, "ab" + big.substr(0, 4093));

    char small[8];
    EXPECT_EQ(FormatPositionalTo(small, "%1-%2", 12345, 678), 7u);
    EXPECT_STREQ(small, "12345-6");
    char tiny[1];
    EXPECT_EQ(FormatPositionalTo(tiny, "%1", 1), 0u);
    EXPECT_STREQ(tiny, "");
    std::vector<char> large(10000, '?');
    EXPECT_EQ(FormatPositionalTo(large.data(), large.size(), "%1", big), 4095u);
    EXPECT_EQ(large[4095], '\0');
}

TEST(FormatPositionalTest, HugeWidthAndPrecisionAreCheap) {
    const int huge = INT_MAX;
    ExpectAll({
        {"right width", FormatPositional("%1$*2$d", 42, huge), std::string(4095, ' ')},
        {"left width", FormatPositional("%1$-*2$d", 42, huge), "42" + std::string(4093, ' ')},
        {"zero width", FormatPositional("%1$0*2$d", -42, huge), "-" + std::string(4094, '0')},
        {"int precision", FormatPositional("%1$.*2$d", 7, huge), std::string(4095, '0')},
        {"text width", FormatPositional("%1$*2$s", "t", huge), std::string(4095, ' ')},
        {"double precision", FormatPositional("%1$.*2$f", 1.5, huge),
         "1.5" + std::string(4092, '0')},
        {"double width", FormatPositional("%1$*2$g", 1.5, huge), std::string(4095, ' ')},
        {"literal width", FormatPositional("%1$2147483647d", 1), std::string(4095, ' ')},
        {"overlong literal width", FormatPositional("%1$99999999999999999999d", 1),
         std::string(4095, ' ')},
        {"INT_MIN star width", FormatPositional("%1$*2$d", 5, INT_MIN),
         "5" + std::string(4094, ' ')},
        {"uint64 star width", FormatPositional("%1$*2$d", 5, UINT64_MAX), std::string(4095, ' ')},
    });
}

// The C library is the reference for every number formatting rule. Reference output is made
// in a large buffer and cut like ours.
std::string Reference(const std::string& format, auto value) {
    static char buffer[40000];
    int n = std::snprintf(buffer, sizeof(buffer), format.c_str(), value);
    return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), 4095));
}

// The reference, except where a platform's C library departs from the C standard: on Windows
// "%#.0o" of zero writes nothing, where "#" makes the first digit of an octal number a zero.
std::string Expected(const std::string& format, auto value) {
#ifdef _WIN32
    if (value == 0 && format.rfind("%#.0", 0) == 0 && format.back() == 'o') return "0";
#endif
    return Reference(format, value);
}

// "%-05d" -> "%1$-05d"; the length modifier stays in both.
std::string Numbered(const std::string& format) {
    return "%1$" + format.substr(1);
}

TEST(FormatPositionalTest, IntegersMatchTheCLibrary) {
    const std::vector<std::string> formats = {
        "%d",       "%i",     "%u",       "%o",      "%x",      "%X",       "%7d",    "%-7d|",
        "%07d",     "%+d",    "% d",      "%+ d",    "%.3d",    "%.0d",     "%.0x",   "%#o",
        "%#.0o",    "%#x",    "%#X",      "%#08x",   "%-#10x|", "%08.3d",   "%+08d",  "%-+8d|",
        "%hhd",     "%hd",    "%hhx",     "%hu",     "%5.0d",   "%#5o",     "%-07u|", "%.20d",
        "%030.25x", "%5000d", "%-5000d|", "%.5000d", "%05000d", "%#.5000o",
    };
    const std::vector<int> signedValues = {0, 1, -1, 42, -42, 255, 65536, INT_MIN, INT_MAX};
    for (const std::string& format : formats) {
        for (int v : signedValues) {
            EXPECT_EQ(FormatPositional(Numbered(format), v), Expected(format, v))
                << format << " " << v;
            unsigned u = static_cast<unsigned>(v);
            EXPECT_EQ(FormatPositional(Numbered(format), u), Expected(format, u))
                << format << " " << u;
        }
    }
    const std::vector<long long> wideValues = {0, -1, LLONG_MIN, LLONG_MAX, 1LL << 40};
    for (std::string format : formats) {
        if (format.find('h') != std::string::npos) continue;
        format.insert(format.size() - (format.back() == '|' ? 2 : 1), "ll");
        for (long long v : wideValues) {
            EXPECT_EQ(FormatPositional(Numbered(format), v), Expected(format, v))
                << format << " " << v;
            auto u = static_cast<unsigned long long>(v);
            EXPECT_EQ(FormatPositional(Numbered(format), u), Expected(format, u))
                << format << " " << u;
        }
    }
    for (int v : {65, 0x141, 122}) {
        EXPECT_EQ(FormatPositional("%1$-3c|%1$3c", v), Reference("%-3c|", v) + Reference("%3c", v));
    }
}

TEST(FormatPositionalTest, DoublesMatchTheCLibrary) {
    const std::vector<std::string> formats = {
        "%g",          "%G",
        "%e",          "%E",
        "%f",          "%F",
        "%a",          "%A",
        "%.3g",        "%#g",
        "%#.0f",       "%.0e",
        "%12.4f",      "%-12.4e|",
        "%012.3f",     "%+g",
        "% f",         "%+012g",
        "%010a",       "%-+10.2f|",
        "%.30f",       "%5000f",
        "%-5000e|",    "%05000g",
        "%.5000f",     "%.5000e",
        "%#.5000g",    "%.5000g",
        "%.5000a",     "%6000.5000f",
        "%#08.0e",     "%.7000f",
        "%7500.7000f", "%-7500.7000e|",
        "%#.7000g",    "%09000.4500f",
    };
    const std::vector<double> values = {0.0,      -0.0,      1.5,     -2.25,        0.1,
                                        1e300,    -1e-300,   DBL_MAX, DBL_TRUE_MIN, 123456789.0,
                                        INFINITY, -INFINITY, NAN};
    for (const std::string& format : formats) {
        for (double v : values) {
            EXPECT_EQ(FormatPositional(Numbered(format), v), Reference(format, v))
                << format << " " << v;
        }
    }
}

// A type of another subsystem joins in through its own MakeFormatArg overload.
}  // namespace
}  // namespace Vane

namespace Elsewhere {
struct Temperature {
    int celsius;
};
Vane::FormatArg MakeFormatArg(const Temperature& t) {
    return Vane::FormatArg::Signed32(t.celsius);
}
}  // namespace Elsewhere

namespace Vane {
namespace {

TEST(FormatPositionalTest, OverloadsAreFoundByArgumentDependentLookup) {
    EXPECT_EQ(FormatPositional("%1 degrees, %2$+d", Elsewhere::Temperature{21},
                               Elsewhere::Temperature{-3}),
              "21 degrees, -3");
}

}  // namespace
}  // namespace Vane
