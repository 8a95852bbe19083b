// The remote class names of records exchanged with a remote service, looked up by the short
// name a record is registered under or by its type id.
#ifndef PYX_MISSIONS_REMOTE_TYPE_NAMES_H_
#define PYX_MISSIONS_REMOTE_TYPE_NAMES_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Vane {

// Two lookup tables from a registered record to the name the remote side gives its class
// ("MissionProgressDTO" -> "com.vanegames.missions.dto.MissionProgressDTO"). Filled while the
// plugin registers its types, read-only afterwards; it takes no lock, so filling must not
// overlap with lookups.
class RemoteTypeNames {
  public:
    // Enters `fullName` under `shortName` and under `typeId`. A short name or type id entered
    // before keeps its first full name (as the type registry keeps a name's first descriptor).
    // False, changing nothing, when memory ran out.
    bool Add(std::string_view shortName, uint32_t typeId, std::string_view fullName) noexcept;

    // The full name entered under the short name `shortName`, or the empty text.
    std::string_view FindByShortName(std::string_view shortName) const noexcept;
    // The full name entered under the type id `typeId`, or the empty text.
    std::string_view FindByTypeId(uint32_t typeId) const noexcept;

    // The number of short names entered.
    size_t Size() const noexcept { return byShortName_.size(); }

  private:
    std::map<std::string, std::string, std::less<>> byShortName_;
    std::unordered_map<uint32_t, std::string> byTypeId_;
};

}  // namespace Vane

#endif  // PYX_MISSIONS_REMOTE_TYPE_NAMES_H_
