#include "types/type_info.h"

#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <new>

#include "util/lock.h"

namespace Vane {
namespace {

const char* const kNativeKindNames[] = {
    "",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
    "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
    "blob",   "vector", "enum",   "struct", "callback", "map",
};

// A placeholder info owning its generated name.
struct PlaceholderEntry {
    TypeInfo info;
    char name[10];  // "#" + 8 hex digits + NUL
};

void FillName(PlaceholderEntry& entry, uint32_t id) noexcept {
    std::snprintf(entry.name, sizeof entry.name, "#%08X", static_cast<unsigned>(id));
    entry.info.id = id;
    entry.info.name = entry.name;
}

const PlaceholderEntry& NameOnlyEntry() noexcept {
    static const PlaceholderEntry entry = [] {
        PlaceholderEntry made{};
        FillName(made, kPlaceholderTypeId);
        return made;
    }();
    return entry;
}

}  // namespace

const char* NativeKindName(uint32_t code) noexcept {
    return code < std::size(kNativeKindNames) ? kNativeKindNames[code] : "";
}

const TypeInfo& PlaceholderTypeInfo(uint32_t id) noexcept {
    if (id == kPlaceholderTypeId) return NameOnlyEntry().info;
    // Entries are never freed: type infos must outlive every registry that refers to them.
    static Mutex mutex;
    static auto* entries = new (std::nothrow) std::map<uint32_t, std::unique_ptr<PlaceholderEntry>>;
    MutexLock lock(mutex);
    if (!entries) return NameOnlyEntry().info;
    try {
        auto [slot, inserted] = entries->try_emplace(id);
        if (inserted) {
            slot->second.reset(new (std::nothrow) PlaceholderEntry{});
            if (!slot->second) {
                entries->erase(slot);
                return NameOnlyEntry().info;
            }
            FillName(*slot->second, id);
        }
        return slot->second->info;
    } catch (const std::exception&) {
        return NameOnlyEntry().info;
    }
}

}  // namespace Vane
