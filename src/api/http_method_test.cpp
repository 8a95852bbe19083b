#include "api/http_method.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string_view>

namespace Vane {
namespace {

TEST(HttpMethodTest, MethodWordCoversTheSevenCodesAndNothingElse) {
    struct Case {
        int32_t code;
        std::string_view word;
    };
    const Case cases[] = {
        {1, "DELETE"}, {2, "GET"},      {3, "HEAD"},     {4, "OPTIONS"}, {5, "PATCH"},
        {6, "POST"},   {7, "PUT"},      {0, ""},         {8, ""},        {9, ""},
        {-1, ""},      {INT32_MIN, ""}, {INT32_MAX, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MethodWord(c.code), c.word) << "code " << c.code;
    }
    EXPECT_EQ(MethodWord(HttpMethod::kPatch), "PATCH");
    EXPECT_EQ(MethodWord(HttpMethod::kCustom), "");
    EXPECT_EQ(MethodWord(HttpMethod::kAny), "");
}

TEST(HttpMethodTest, NormaliseHostMethodKeepsOneToEightAndZeroesTheRest) {
    for (int32_t code = 1; code <= 8; ++code) {
        EXPECT_EQ(static_cast<int32_t>(NormaliseHostMethod(code)), code);
    }
    for (int32_t code : {0, 9, -1, 256, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(NormaliseHostMethod(code), HttpMethod::kAny) << "code " << code;
    }
}

}  // namespace
}  // namespace Vane
