#include "log/log_categories.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace Vane {
namespace {

TEST(CategoryTableTest, PresetsAndUnregisteredSlots) {
    CategoryTable table;
    const char* presets[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_STREQ(table.Name(slot).text, presets[slot]);
        EXPECT_EQ(table.Bit(presets[slot]), uint64_t{1} << slot);
    }
    for (int slot : {8, 63, -1, 64, 1000}) EXPECT_STREQ(table.Name(slot).text, "???") << slot;
    EXPECT_EQ(table.HighestSlot(), 7);
}

TEST(CategoryTableTest, RegistrationComparesTheFirstThreeCharacters) {
    CategoryTable table;
    EXPECT_EQ(table.Bit("LOC"), uint64_t{1} << 8);
    EXPECT_EQ(table.Bit("LOC"), uint64_t{1} << 8);
    EXPECT_EQ(table.Bit("LOCALE"), uint64_t{1} << 8);
    EXPECT_EQ(table.Bit("DBGX"), kCategoryDBG);
    EXPECT_STREQ(table.Name(8).text, "LOC");
    // Shorter names are names of their own, not prefixes of longer ones.
    EXPECT_EQ(table.Bit("LO"), uint64_t{1} << 9);
    EXPECT_STREQ(table.Name(9).text, "LO");
    EXPECT_EQ(table.Bit("loc"), uint64_t{1} << 10);
    EXPECT_EQ(table.HighestSlot(), 10);
    EXPECT_EQ(table.Bit(nullptr), 0u);
    EXPECT_EQ(table.Bit(""), 0u);
    EXPECT_EQ(table.HighestSlot(), 10);
}

TEST(CategoryTableTest, SlotsBeyondSixtyFourGiveAnEmptyMaskAndStoreNothing) {
    CategoryTable table;
    std::set<uint64_t> bits;
    for (int i = 8; i < kCategorySlotCount; ++i) {
        std::string name = "C" + std::to_string(i);
        uint64_t bit = table.Bit(name.c_str());
        EXPECT_EQ(bit, uint64_t{1} << i) << name;
        bits.insert(bit);
    }
    EXPECT_EQ(bits.size(), 56u);
    EXPECT_EQ(table.Bit("ZZZ"), 0u);
    EXPECT_EQ(table.Bit("ZZZ"), 0u);
    EXPECT_EQ(table.HighestSlot(), 63);
    EXPECT_STREQ(table.Name(63).text, "C63");
    // Known names still resolve when the table is full.
    EXPECT_EQ(table.Bit("C40"), uint64_t{1} << 40);
    EXPECT_EQ(table.Bit("NET"), kCategoryNET);
}

TEST(CategoryTableTest, ProcessTableKeepsRegisteredNames) {
    uint64_t bit = CategoryBit("LOC");
    ASSERT_NE(bit, 0u);
    EXPECT_EQ(CategoryBit("LOCATION"), bit);
    EXPECT_STREQ(CategoryNameAt(__builtin_ctzll(bit)).text, "LOC");
    EXPECT_EQ(CategoryBit("GEN"), kCategoryGEN);
}

}  // namespace
}  // namespace Vane
