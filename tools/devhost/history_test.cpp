#include "devhost/history.h"

#include <gtest/gtest.h>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

BindingProperty Json(const char* text) {
    ConversionStatus status = ParseJson(text);
    EXPECT_TRUE(status.Ok()) << text;
    return std::move(status.Value());
}

TEST(History, EntriesComeBackNumberedAsTheyWereAdded) {
    History history(3);
    EXPECT_EQ(history.Add(Json(R"({"url":"/a","arguments":[1,-2,2.5,"x",{"deep":[true,null]}]})")),
              1u);
    EXPECT_EQ(history.Add(Json(R"({"line":"two\nlines \"quoted\""})")), 2u);
    EXPECT_EQ(ToJsonText(history.Since(1)),
              R"({"dropped":0,"items":[{"arguments":[1,-2,2.5,"x",{"deep":[true,null]}],"seq":1,)"
              R"("url":"/a"},{"line":"two\nlines \"quoted\"","seq":2}],"next":3})");
    EXPECT_EQ(ToJsonText(history.Since(2, 1)),
              R"({"dropped":0,"items":[{"line":"two\nlines \"quoted\"","seq":2}],"next":3})");
    EXPECT_EQ(ToJsonText(history.Since(1, 1).Member("next")), "2");
}

TEST(History, KeepsOnlyItsCapacityAndSaysHowManyAReaderMissed) {
    History history(2);
    for (int i = 0; i < 5; ++i) (void)history.Add(Json(R"({"n":0})"));
    EXPECT_EQ(ToJsonText(history.Since(1)),
              R"({"dropped":3,"items":[{"n":0,"seq":4},{"n":0,"seq":5}],"next":6})");
    EXPECT_EQ(ToJsonText(history.Since(6)), R"({"dropped":0,"items":[],"next":6})");
    history.Clear();
    EXPECT_EQ(history.NextNumber(), 6u);
    EXPECT_EQ(ToJsonText(history.Since(1)), R"({"dropped":5,"items":[],"next":6})");
}

}  // namespace
}  // namespace Vane::DevHost
