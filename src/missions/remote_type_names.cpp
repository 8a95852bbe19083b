#include "missions/remote_type_names.h"

#include <exception>

namespace Vane {

bool RemoteTypeNames::Add(std::string_view shortName, uint32_t typeId,
                          std::string_view fullName) noexcept {
    try {
        // Both entries or neither: the short-name entry is withdrawn when the id entry fails.
        auto [byName, nameInserted] =
            byShortName_.try_emplace(std::string(shortName), std::string(fullName));
        try {
            byTypeId_.try_emplace(typeId, std::string(fullName));
        } catch (const std::exception&) {
            if (nameInserted) byShortName_.erase(byName);
            return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string_view RemoteTypeNames::FindByShortName(std::string_view shortName) const noexcept {
    auto found = byShortName_.find(shortName);
    return found == byShortName_.end() ? std::string_view() : std::string_view(found->second);
}

std::string_view RemoteTypeNames::FindByTypeId(uint32_t typeId) const noexcept {
    auto found = byTypeId_.find(typeId);
    return found == byTypeId_.end() ? std::string_view() : std::string_view(found->second);
}

}  // namespace Vane
