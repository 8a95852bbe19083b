// When a repeating mission comes back: its cooldown, counted from its completion, has run out.
#ifndef PYX_MISSIONS_COOLDOWN_H_
#define PYX_MISSIONS_COOLDOWN_H_

#include <cstdint>
#include <vector>

#include "missions/missions_records.h"

namespace Vane::Client::Missions {

// Whether `completedDate` + `cooldownMillis` < `nowMillis`, computed without overflow: a sum
// beyond the 64-bit range counts as "not yet" when it is too large and as "due" when it is
// too small, as the exact sum would.
bool CooldownOver(int64_t completedDate, int64_t cooldownMillis, int64_t nowMillis) noexcept;

// Whether some mission is due again at `nowMillis` (milliseconds since the Unix epoch): its
// `missionType` is "REPEATING", it is completed (`completedDate` not -1) and its cooldown is
// over.
bool AnyRepeatingMissionDue(const std::vector<Api::Mission>& missions, int64_t nowMillis) noexcept;

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_COOLDOWN_H_
