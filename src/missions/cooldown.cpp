#include "missions/cooldown.h"

#include <limits>

namespace Vane::Client::Missions {

bool CooldownOver(int64_t completedDate, int64_t cooldownMillis, int64_t nowMillis) noexcept {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    // The remote service sends both numbers; their sum may leave the range either way.
    if (cooldownMillis > 0 && completedDate > kMax - cooldownMillis) return false;
    if (cooldownMillis < 0 && completedDate < kMin - cooldownMillis) return true;
    return completedDate + cooldownMillis < nowMillis;
}

bool AnyRepeatingMissionDue(const std::vector<Api::Mission>& missions, int64_t nowMillis) noexcept {
    for (const Api::Mission& mission : missions) {
        if (mission.missionType == "REPEATING" && mission.completedDate != Api::kNotCompleted &&
            CooldownOver(mission.completedDate, mission.cooldownTimeMillis, nowMillis)) {
            return true;
        }
    }
    return false;
}

}  // namespace Vane::Client::Missions
