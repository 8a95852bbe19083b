#include "value/conversion_status.h"

#include <gtest/gtest.h>

namespace Vane {
namespace {

TEST(ConversionStatusTest, StartsOkWithAnEmptyValue) {
    ConversionStatus status;
    EXPECT_TRUE(status.Ok());
    EXPECT_TRUE(status.Value().IsEmpty());
    EXPECT_EQ(status.Error(), "");
}

TEST(ConversionStatusTest, FailLeavesOnlyTheErrorStructure) {
    ConversionStatus status;
    status.Value().MemberForWrite("partial")->SetSigned(1);
    status.Fail("Something went wrong.");
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(status.Error(), "Something went wrong.");
    const BindingProperty& value = status.Value();
    ASSERT_EQ(value.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.Member("error").GetString(), "Something went wrong.");

    // Failing again with the status's own text, or a part of it, is safe.
    status.Fail(status.Error());
    EXPECT_EQ(status.Error(), "Something went wrong.");
    status.Fail(status.Error().substr(10, 4));
    EXPECT_EQ(status.Error(), "went");
}

TEST(ConversionStatusTest, ErrorIsEmptyUnlessFailedWithAStringError) {
    ConversionStatus ok;
    EXPECT_TRUE(ok.Value().MemberForWrite("error")->SetString("not a failure"));
    EXPECT_EQ(ok.Error(), "");

    ConversionStatus failed;
    failed.Fail("");
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(failed.Error(), "");
    failed.Value().MemberForWrite("error")->SetSigned(5);
    EXPECT_EQ(failed.Error(), "");
}

}  // namespace
}  // namespace Vane
