#include "log/log_categories.h"

namespace Vane {

namespace {

constexpr uint32_t kPresent = uint32_t{1} << 24;

uint32_t Pack(const char* name) {
    uint32_t packed = kPresent;
    for (int i = 0; i < 3 && name[i] != '\0'; ++i) {
        packed |= static_cast<uint32_t>(static_cast<unsigned char>(name[i])) << (8 * i);
    }
    return packed;
}

}  // namespace

CategoryTable::CategoryTable() {
    static const char* const kPresets[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
    for (int slot = 0; slot < kCategorySlotCount; ++slot) {
        names_[slot].store(slot < 8 ? Pack(kPresets[slot]) : 0, std::memory_order_relaxed);
    }
}

int CategoryTable::Find(uint32_t packed) const {
    int highest = highest_.load(std::memory_order_acquire);
    for (int slot = 0; slot <= highest; ++slot) {
        if (names_[slot].load(std::memory_order_acquire) == packed) return slot;
    }
    return -1;
}

uint64_t CategoryTable::Bit(const char* name) {
    if (name == nullptr || name[0] == '\0') return 0;
    uint32_t packed = Pack(name);
    int slot = Find(packed);
    if (slot < 0) {
        // Registration is rare; the mutex keeps two threads from claiming two slots for one
        // name, while lookups and Name() stay lock-free.
        MutexLock guard(registration_);
        slot = Find(packed);
        if (slot < 0) {
            int next = highest_.load(std::memory_order_relaxed) + 1;
            if (next >= kCategorySlotCount) return 0;
            names_[next].store(packed, std::memory_order_release);
            highest_.store(next, std::memory_order_release);
            slot = next;
        }
    }
    return uint64_t{1} << slot;
}

CategoryName CategoryTable::Name(int slot) const {
    CategoryName result;
    uint32_t packed =
        slot >= 0 && slot < kCategorySlotCount ? names_[slot].load(std::memory_order_acquire) : 0;
    if (packed == 0) {
        result.text[0] = result.text[1] = result.text[2] = '?';
        return result;
    }
    for (int i = 0; i < 3; ++i) result.text[i] = static_cast<char>((packed >> (8 * i)) & 0xFF);
    return result;
}

CategoryTable& ProcessCategories() {
    // Never destroyed: categories stay usable while other static objects shut down.
    static CategoryTable* const table = new CategoryTable();
    return *table;
}

uint64_t CategoryBit(const char* name) {
    return ProcessCategories().Bit(name);
}

CategoryName CategoryNameAt(int slot) {
    return ProcessCategories().Name(slot);
}

}  // namespace Vane
