#include "util/failure.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "util/maybe.h"

namespace Vane {
namespace {

TEST(FailureTest, BuiltFromNamedTemplate) {
    Failure f(404, "Error response for {method} {url}: {error}", "GET", "/x", "oops");
    EXPECT_EQ(f.Code(), 404);
    EXPECT_EQ(f.Message(), "Error response for GET /x: oops");
    EXPECT_EQ(f.Fields(), (TemplateFields{{"method", "GET"}, {"url", "/x"}, {"error", "oops"}}));

    std::string payload = "{\"a\":1}";
    Failure two(0, "Failed to deserialize response payload \"{payload}\" to a {type}", payload,
                std::string_view("Mission"));
    EXPECT_EQ(two.Message(), "Failed to deserialize response payload \"{\"a\":1}\" to a Mission");
    EXPECT_EQ(two.Fields().at("payload"), TemplateValue(payload));

    Failure typed(400, "{#count} of {#limit} at {ratio}", uint32_t{3}, int64_t{-2}, 0.5);
    EXPECT_EQ(typed.Message(), "3 of -2 at 0.5");
    EXPECT_EQ(
        typed.Fields(),
        (TemplateFields{{"count_int", uint64_t{3}}, {"limit_int", int64_t{-2}}, {"ratio", 0.5}}));

    Failure one(0, "Failed to convert type {type} to BindingProperty for serialization", "T");
    EXPECT_EQ(one.Message(), "Failed to convert type T to BindingProperty for serialization");
}

TEST(FailureTest, PlainMessageIsNotFormatted) {
    Failure f(500, "100% {not a hole} %1");
    EXPECT_EQ(f.Code(), 500);
    EXPECT_EQ(f.Message(), "100% {not a hole} %1");
    EXPECT_TRUE(f.Fields().empty());
    EXPECT_EQ(Failure().Code(), 0);
}

TEST(FailureTest, CallerTextInValuesIsNeverInterpreted) {
    // Values are arguments, not template text: placeholders and braces in them stay as written.
    Failure f(0, "Error response for {method} {url}: {error}", "%s%n%1$*2$d", "{x}", "%%");
    EXPECT_EQ(f.Message(), "Error response for %s%n%1$*2$d {x}: %%");
}

TEST(MaybeTypeTest, HoldsValueOrFailure) {
    MaybeType<Failure, int> value = 7;
    EXPECT_TRUE(value.HasValue());
    EXPECT_FALSE(value.IsFailure());
    EXPECT_EQ(value.Value(), 7);
    EXPECT_EQ(value.ValueOr(1), 7);

    MaybeType<Failure, int> failed = Failure(400, "bad");
    EXPECT_TRUE(failed.IsFailure());
    EXPECT_EQ(failed.GetFailure().Code(), 400);
    EXPECT_EQ(failed.ValueOr(1), 1);

    auto tagged = MaybeType<Failure, std::string>::FromFailure(Failure(1, "x"));
    EXPECT_TRUE(tagged.IsFailure());
    auto makeText = []() -> MaybeType<Failure, std::string> { return "converted"; };
    EXPECT_EQ(makeText().Value(), "converted");

    MaybeType<Failure, std::unique_ptr<int>> moveOnly = std::make_unique<int>(3);
    std::unique_ptr<int> taken = std::move(moveOnly).Value();
    EXPECT_EQ(*taken, 3);

    // When value and failure share a type only the tag picks the failure side.
    MaybeType<Failure, Failure> same = Failure(1, "value");
    EXPECT_TRUE(same.HasValue());
    MaybeType<Failure, Failure> sameFailed(kFailureTag, Failure(2, "failure"));
    EXPECT_EQ(sameFailed.GetFailure().Code(), 2);
}

TEST(MaybeTypeTest, VoidHoldsOnlyFailure) {
    MaybeType<Failure, void> ok;
    EXPECT_TRUE(ok.HasValue());
    EXPECT_FALSE(ok.IsFailure());
    MaybeType<Failure, void> failed = Failure(0, "Error {what}", "x");
    EXPECT_TRUE(failed.IsFailure());
    EXPECT_EQ(failed.GetFailure().Message(), "Error x");
    using VoidResult = MaybeType<Failure, void>;
    EXPECT_TRUE(VoidResult::FromFailure(Failure()).IsFailure());
}

TEST(MaybeTypeDeathTest, ReadingTheMissingSideAborts) {
    MaybeType<Failure, int> failed = Failure(1, "x");
    EXPECT_DEATH(failed.Value(), "");
    MaybeType<Failure, void> ok;
    EXPECT_DEATH(ok.GetFailure(), "");
}

}  // namespace
}  // namespace Vane
