#include "api/query_string.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vane {
namespace {

TEST(QueryStringTest, UrlDecode) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"two+words", "two words"},
        {"a%20b", "a b"},
        {"%2f%2F%7e%7E", "//~~"},
        {"%41%42", "AB"},
        {"%e2%82%ac", "\xe2\x82\xac"},
        {"%00x", std::string_view("\0x", 2)},
        {"%FF", "\xff"},
        {"%2B+", "+ "},
        // A "%" without two hexadecimal digits after it stays, and the next character counts.
        {"a%", "a%"},
        {"a%4", "a%4"},
        {"%zz", "%zz"},
        {"%4g", "%4g"},
        {"%g4", "%g4"},
        {"%%41", "%A"},
        {"100%", "100%"},
        {"%+", "% "},
        {"%2", "%2"},
        // Decoding happens once: "%2541" is "%41", not "A".
        {"%2541", "%41"},
    };
    for (const auto& [text, decoded] : cases) {
        EXPECT_EQ(UrlDecode(text), decoded) << "'" << text << "'";
    }
}

TEST(QueryStringTest, ParseQuery) {
    using Entries = std::vector<QueryEntry>;
    const std::pair<std::string_view, Entries> cases[] = {
        {"/x", {}},
        {"/x?", {}},
        {"/x?a=1", {{"a", "1"}}},
        {"/x?a=1&b=two+words&c=%2Fd", {{"a", "1"}, {"b", "two words"}, {"c", "/d"}}},
        // No "=": the whole piece is the key; only the first "=" splits.
        {"/x?flag", {{"flag", ""}}},
        {"/x?flag&a=", {{"flag", ""}, {"a", ""}}},
        {"/x?a=b=c", {{"a", "b=c"}}},
        {"/x?=v", {{"", "v"}}},
        // Only the first "?" starts the query.
        {"/x?a=?b?", {{"a", "?b?"}}},
        // Empty pieces carry nothing.
        {"/x?a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
        {"/x?&", {}},
        // A repeated key keeps its last value, at the place of its first appearance.
        {"/x?a=1&a=2", {{"a", "2"}}},
        {"/x?b=1&a=2&b=3", {{"b", "3"}, {"a", "2"}}},
        {"/x?a=1&%61=2", {{"a", "2"}}},
        // Keys and values are decoded after splitting: encoded "&" and "=" are data.
        {"/x?k%3Dx=v%26w", {{"k=x", "v&w"}}},
        {"/x?a+b=c+d", {{"a b", "c d"}}},
        // The path part before "?" plays no role.
        {"/x=1&y=2?z=3", {{"z", "3"}}},
    };
    for (const auto& [path, entries] : cases) {
        MaybeType<Failure, Entries> parsed = ParseQuery(path);
        ASSERT_TRUE(parsed.HasValue()) << "'" << path << "'";
        EXPECT_EQ(parsed.Value(), entries) << "'" << path << "'";
    }
}

// Past the size where repeated keys are found through an index, they must still replace the
// first entry, and the order of first appearance must hold.
TEST(QueryStringTest, ManyKeysKeepOrderAndLastValues) {
    std::string path = "/x?";
    for (int round = 0; round < 3; ++round) {
        for (int key = 0; key < 100; ++key) {
            path += "k" + std::to_string(key) + "=" + std::to_string(round) + "&";
        }
    }
    path += "k7=last";
    MaybeType<Failure, std::vector<QueryEntry>> parsed = ParseQuery(path);
    ASSERT_TRUE(parsed.HasValue());
    const std::vector<QueryEntry>& entries = parsed.Value();
    ASSERT_EQ(entries.size(), 100u);
    for (int key = 0; key < 100; ++key) {
        EXPECT_EQ(entries[key].key, "k" + std::to_string(key));
        EXPECT_EQ(entries[key].value, key == 7 ? "last" : "2") << entries[key].key;
    }
}

}  // namespace
}  // namespace Vane
