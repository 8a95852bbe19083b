// What of the player's collections counts for missions: the champions, skins and ward skins the
// player may use, read from the inventory records of other plugins.
#ifndef PYX_MISSIONS_ELIGIBILITY_H_
#define PYX_MISSIONS_ELIGIBILITY_H_

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "missions/missions_records.h"

namespace Vane::Client::Missions {

// Champion id to the ids of that champion's eligible skins.
using SkinsByChampion = std::unordered_map<int32_t, std::unordered_set<int32_t>>;

// An empty per-champion map as the service starts with one: 8 buckets, load factor 1.0.
SkinsByChampion MakeSkinsByChampion();

// Whether an item is usable: owned, rented, or a free-to-play reward.
bool IsEligible(const Api::CollectionsOwnership& ownership) noexcept;

// The eligible champions and skins of one champion report, each list in report order.
struct ChampionInventory {
    std::vector<int32_t> champions;
    std::vector<int32_t> skins;
    SkinsByChampion skinsByChampion = MakeSkinsByChampion();
};

// Walks `champions` in order: an eligible champion (IsEligible, or free to play) is listed,
// then each eligible skin of it; skins of champions that are not eligible are not looked at.
ChampionInventory CollectChampions(const std::vector<Api::CollectionsChampion>& champions);

// The ids of the eligible ward skins, in order.
std::vector<int64_t> CollectWardSkins(const std::vector<Api::CollectionsWardSkin>& wardSkins);

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_ELIGIBILITY_H_
