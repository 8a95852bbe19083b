#include "types/static_type.h"

#include <gtest/gtest.h>

namespace Vane::testing_types {
struct Record {};
enum class Colour { kRed };
namespace inner {
struct Nested {};
}  // namespace inner
}  // namespace Vane::testing_types

namespace Vane {
namespace {

using testing_types::Colour;
using testing_types::Record;

// Names must not depend on the compiler's own spelling of built-in types ("long int" vs
// "long"), nor on the standard library's inline namespaces.
static_assert(StaticType::Name<int32_t>() == "int32_t");
static_assert(StaticType::Name<int64_t>() == "int64_t");
static_assert(StaticType::Name<long long>() == "int64_t");
// `unsigned long` is 64 bits on 64-bit Linux and 32 bits on Windows: named by its width.
static_assert(StaticType::Name<unsigned long>() ==
              (sizeof(unsigned long) == 8 ? "uint64_t" : "uint32_t"));
static_assert(StaticType::Name<uint8_t>() == "uint8_t");
static_assert(StaticType::Name<bool>() == "bool");
static_assert(StaticType::Name<double>() == "double");
static_assert(StaticType::Name<std::string>() == "std::string");
static_assert(StaticType::Name<const std::string>() == "std::string");
static_assert(StaticType::Name<Record>() == "Vane::testing_types::Record");
static_assert(StaticType::Name<Colour>() == "Vane::testing_types::Colour");
static_assert(StaticType::Name<testing_types::inner::Nested>() ==
              "Vane::testing_types::inner::Nested");
static_assert(StaticType::Name<std::vector<Record>>() ==
              "std::vector<Vane::testing_types::Record>");
static_assert(StaticType::Name<std::map<std::string, std::vector<uint32_t>>>() ==
              "std::map<std::string, std::vector<uint32_t>>");

TEST(StaticTypeTest, IdIsFnv1aOfTheName) {
    // Known FNV-1a vectors.
    EXPECT_EQ(Fnv1a32(""), 0x811C9DC5u);
    EXPECT_EQ(Fnv1a32("a"), 0xE40C292Cu);
    EXPECT_EQ(Fnv1a32("foobar"), 0xBF9CF968u);
    EXPECT_EQ(StaticType::Id<Record>(), Fnv1a32("Vane::testing_types::Record"));
    constexpr uint32_t id = StaticType::Id<Colour>();  // usable at build time
    EXPECT_NE(id, kPlaceholderTypeId);
}

TEST(StaticTypeTest, DistinctTypesGetDistinctIds) {
    const uint32_t ids[] = {
        StaticType::Id<Record>(),      StaticType::Id<Colour>(),
        StaticType::Id<int32_t>(),     StaticType::Id<uint32_t>(),
        StaticType::Id<std::string>(), StaticType::Id<std::vector<Record>>(),
    };
    for (size_t i = 0; i < std::size(ids); ++i)
        for (size_t j = i + 1; j < std::size(ids); ++j) EXPECT_NE(ids[i], ids[j]) << i << "," << j;
}

}  // namespace
}  // namespace Vane
