#include "missions/eligibility.h"

namespace Vane::Client::Missions {

SkinsByChampion MakeSkinsByChampion() {
    SkinsByChampion map(8);
    map.max_load_factor(1.0f);
    return map;
}

bool IsEligible(const Api::CollectionsOwnership& ownership) noexcept {
    return ownership.owned || ownership.rental.rented || ownership.freeToPlayReward;
}

ChampionInventory CollectChampions(const std::vector<Api::CollectionsChampion>& champions) {
    ChampionInventory inventory;
    for (const Api::CollectionsChampion& champion : champions) {
        if (!champion.freeToPlay && !IsEligible(champion.ownership)) continue;
        inventory.champions.push_back(champion.id);
        std::unordered_set<int32_t>& skinSet = inventory.skinsByChampion[champion.id];
        for (const Api::CollectionsChampionSkin& skin : champion.skins) {
            if (!IsEligible(skin.ownership)) continue;
            inventory.skins.push_back(skin.id);
            skinSet.insert(skin.id);
        }
    }
    return inventory;
}

std::vector<int64_t> CollectWardSkins(const std::vector<Api::CollectionsWardSkin>& wardSkins) {
    std::vector<int64_t> ids;
    for (const Api::CollectionsWardSkin& wardSkin : wardSkins) {
        if (IsEligible(wardSkin.ownership)) ids.push_back(wardSkin.id);
    }
    return ids;
}

}  // namespace Vane::Client::Missions
