// Log categories: 64 slots of three-letter names, one bit of a 64-bit mask per slot.
//
// Slots 0..7 are preset ("DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"); the others
// read "???" until a name is registered there. Registration is process-wide and permanent,
// so a bit handed out once keeps its meaning for the life of the process.
#ifndef PYX_LOG_LOG_CATEGORIES_H_
#define PYX_LOG_LOG_CATEGORIES_H_

#include <atomic>
#include <cstdint>

#include "util/lock.h"

namespace Vane {

inline constexpr int kCategorySlotCount = 64;

inline constexpr uint64_t kCategoryDBG = uint64_t{1} << 0;
inline constexpr uint64_t kCategoryGEN = uint64_t{1} << 1;
inline constexpr uint64_t kCategoryXTR = uint64_t{1} << 2;
inline constexpr uint64_t kCategoryPRF = uint64_t{1} << 3;
inline constexpr uint64_t kCategoryMEM = uint64_t{1} << 4;
inline constexpr uint64_t kCategoryDSK = uint64_t{1} << 5;
inline constexpr uint64_t kCategoryNET = uint64_t{1} << 6;
inline constexpr uint64_t kCategoryTST = uint64_t{1} << 7;

// A slot's name as a NUL-terminated text of at most three characters.
struct CategoryName {
    char text[4] = {};
};

// One table of category slots. The process uses one (see CategoryBit); tests may make their own.
class CategoryTable {
  public:
    // A table holding only the eight preset names.
    CategoryTable();
    CategoryTable(const CategoryTable&) = delete;
    CategoryTable& operator=(const CategoryTable&) = delete;

    // The bit of the slot whose name equals the first three characters of name (fewer when
    // name is shorter), registering the name in the next free slot when none does. Returns 0
    // and stores nothing for a null or empty name or when all 64 slots are taken. Names are
    // unique even when several threads register the same new name at once.
    uint64_t Bit(const char* name);

    // The name in slot ("???" when unregistered or out of range). Never blocks.
    CategoryName Name(int slot) const;

    // The highest slot index in use (7 until the first registration).
    int HighestSlot() const { return highest_.load(std::memory_order_acquire); }

  private:
    int Find(uint32_t packed) const;

    // Three characters packed in the low bytes plus a presence marker; 0 means unregistered.
    std::atomic<uint32_t> names_[kCategorySlotCount];
    std::atomic<int> highest_{7};
    Mutex registration_;
};

// The process-wide category table.
CategoryTable& ProcessCategories();

// CategoryTable::Bit on the process-wide table.
uint64_t CategoryBit(const char* name);

// CategoryTable::Name on the process-wide table.
CategoryName CategoryNameAt(int slot);

}  // namespace Vane

#endif  // PYX_LOG_LOG_CATEGORIES_H_
