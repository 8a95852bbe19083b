#include "api/function_name.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace Vane {
namespace {

TEST(FunctionNameTest, MakesNamesFromMethodWordAndUrl) {
    struct Case {
        std::string_view prefix;
        std::string_view url;
        std::string_view name;
    };
    const Case cases[] = {
        {"GET", "/pyx-missions/v1/series/{seriesId}", "GetPyxMissionsV1SeriesBySeriesId"},
        {"GET", "/pyx-missions/v1/missions", "GetPyxMissionsV1Missions"},
        {"DELETE", "/a", "DeleteA"},
        {"PATCH", "/pyx-missions/v1/player", "PatchPyxMissionsV1Player"},
        {"", "pyx-missions", "PyxMissions"},
        // Every separator upper-cases the next kept character; runs of them act as one.
        {"", "a!b+c-d.e/f_g", "ABCDEFG"},
        {"", "a//__b", "AB"},
        // "{" adds "By" even inside a word; "}" is dropped without touching the flag.
        {"", "x{id}", "XById"},
        {"POST", "/files/{+path}", "PostFilesByPath"},
        {"", "a}b", "Ab"},
        {"", "/{a}/b", "ByAB"},
        // Letters after a kept character keep their case, digits clear the flag too.
        {"", "/v1x/mixedCASE", "V1xMixedCASE"},
        // Only the first character of the prefix keeps its case.
        {"gET", "/x", "GetX"},
        {"p", "", "P"},
        {"", "", ""},
        // Bytes that are not ASCII letters are kept as they are.
        {"", "/\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeFunctionName(c.prefix, c.url), c.name)
            << "prefix '" << c.prefix << "' url '" << c.url << "'";
    }
}

// The message formatter caps its output; a long url must still reach the name in full.
TEST(FunctionNameTest, LongUrlsAreNotCut) {
    const std::string url = "/" + std::string(6000, 'a') + "/{id}";
    const std::string name = MakeFunctionName("GET", url);
    EXPECT_EQ(name, "GetA" + std::string(5999, 'a') + "ById");
}

}  // namespace
}  // namespace Vane
