// JSON text -> value -> native record -> value -> JSON text, through the type registry, for a
// nested record with vectors, maps, enums and 64-bit integers at their limits.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/large_document_test_support.h"
#include "types/large_document_records_test_support.h"
#include "types/record_description.h"

namespace Vane::round_trip {

enum class Tier { kBronze = 1, kSilver = 2, kGold = 3 };

struct Limits {
    int64_t smallest = 0;
    uint64_t largest = 0;
    int32_t negative = 0;
    double ratio = 0;
};

struct Entry {
    std::string label;
    Tier tier = Tier::kBronze;
    Limits limits;
};

struct Catalogue {
    std::vector<Entry> entries;
    std::map<std::string, Entry> byName;
    std::vector<Tier> tiers;
    std::vector<uint64_t> ids;
    bool active = false;
};

void DescribeType(RecordBuilder<Tier>& r) {
    r.Name("Tier");
    r.Enumerator("Bronze", Tier::kBronze, "");
    r.Enumerator("Silver", Tier::kSilver, "");
    r.Enumerator("Gold", Tier::kGold, "");
}
void DescribeType(RecordBuilder<Limits>& r) {
    r.Name("Limits");
    r.Field("smallest", &Limits::smallest);
    r.Field("largest", &Limits::largest);
    r.Field("negative", &Limits::negative);
    r.Field("ratio", &Limits::ratio);
}
void DescribeType(RecordBuilder<Entry>& r) {
    r.Name("Entry");
    r.Field("label", &Entry::label);
    r.Field("tier", &Entry::tier);
    r.Field("limits", &Entry::limits);
}
void DescribeType(RecordBuilder<Catalogue>& r) {
    r.Name("Catalogue");
    r.Field("entries", &Catalogue::entries);
    r.Field("byName", &Catalogue::byName);
    r.Field("tiers", &Catalogue::tiers);
    r.Field("ids", &Catalogue::ids);
    r.Field("active", &Catalogue::active);
}

namespace {

// Members come out in name order, enums by name: this text is already in written form.
constexpr const char* kText =
    R"({"active":true,"byName":{"first":{"label":"a\"b","limits":{"largest":0,"negative":-1,)"
    R"("ratio":0.1,"smallest":0},"tier":"Gold"}},"entries":[{"label":"\u00e9\u2605",)"
    R"("limits":{"largest":18446744073709551615,"negative":-2147483648,"ratio":-1e300,)"
    R"("smallest":-9223372036854775808},"tier":"Silver"},{"label":"","limits":{"largest":1,)"
    R"("negative":2147483647,"ratio":5e-324,"smallest":9223372036854775807},"tier":"Bronze"}],)"
    R"("ids":[0,18446744073709551615,9007199254740993],"tiers":["Bronze","Gold"]})";

TEST(JsonNativeRoundTripTest, NestedRecordSurvivesBothWaysUnchanged) {
    TypeRegistry registry;
    ASSERT_NE(RegisterType<Catalogue>(registry), nullptr);

    ConversionStatus parsed = ParseJson(kText);
    ASSERT_TRUE(parsed.Ok()) << parsed.Error();
    Catalogue native;
    ConversionStatus status;
    FromBinding(registry, parsed.Value(), native, status);
    ASSERT_TRUE(status.Ok()) << status.Error();

    ASSERT_EQ(native.entries.size(), 2u);
    EXPECT_EQ(native.entries[0].limits.smallest, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(native.entries[0].limits.largest, std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(native.entries[0].limits.negative, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(native.entries[1].limits.smallest, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(native.entries[1].limits.ratio, 5e-324);
    EXPECT_EQ(native.entries[0].tier, Tier::kSilver);
    EXPECT_EQ(native.entries[0].label, "\xC3\xA9\xE2\x98\x85");
    EXPECT_EQ(native.byName.at("first").tier, Tier::kGold);
    EXPECT_EQ(native.ids, (std::vector<uint64_t>{0, UINT64_MAX, 9007199254740993ull}));
    EXPECT_EQ(native.tiers, (std::vector<Tier>{Tier::kBronze, Tier::kGold}));

    ConversionStatus back = ToBinding(registry, native);
    ASSERT_TRUE(back.Ok()) << back.Error();
    // Enums are written by name through the registry, numbers exactly.
    EXPECT_EQ(WriteJson(back.Value(), &registry),
              std::string(kText).replace(std::string(kText).find("\\u00e9\\u2605"), 12,
                                         "\xC3\xA9\xE2\x98\x85"));
}

// The whole generated catalog goes JSON -> native -> JSON -> native without loss: its nulls
// (kept by the held value), optional members (omit-empty fields) and 64-bit extremes included.
TEST(JsonNativeRoundTripTest, GeneratedCatalogConvertsLosslessly) {
    using large_document_records::Catalog;
    TypeRegistry registry;
    ASSERT_NE(RegisterType<Catalog>(registry), nullptr);
    const std::string text = large_document::LargeDocument(40);

    Catalog first;
    ConversionStatus status;
    FromBinding(registry, ParseJson(text).Value(), first, status);
    ASSERT_TRUE(status.Ok()) << status.Error();
    ASSERT_EQ(first.items.size(), 40u);

    const std::string written = WriteJson(ToBinding(registry, first).Value(), &registry);
    Catalog second;
    FromBinding(registry, ParseJson(written).Value(), second, status);
    ASSERT_TRUE(status.Ok()) << status.Error();
    EXPECT_EQ(WriteJson(ToBinding(registry, second).Value(), &registry), written);
    // The text read first and the text written agree as values (member order aside).
    EXPECT_TRUE(ParseJson(written).Value() == ParseJson(text).Value());
}

}  // namespace
}  // namespace Vane::round_trip
