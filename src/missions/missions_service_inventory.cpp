// The inventory reports that make up the eligibility data sent with every fetch.
#include "missions/missions_service.h"

#include <utility>

namespace Vane::Client::Missions {

void MissionsService::OnChampions(const std::vector<Api::CollectionsChampion>& champions) {
    ChampionInventory inventory = CollectChampions(champions);
    // A report without a single usable champion is taken for an incomplete one.
    if (inventory.champions.empty()) return;
    championsReceived_ = true;
    skinsReceived_ = true;
    eligibility_.playerInventory.champions = std::move(inventory.champions);
    eligibility_.playerInventory.skins = std::move(inventory.skins);
    skinsByChampion_ = std::move(inventory.skinsByChampion);
    RequestFetch();
}

void MissionsService::OnWardSkins(const std::vector<Api::CollectionsWardSkin>& wardSkins) {
    wardSkinsReceived_ = true;
    eligibility_.playerInventory.wardSkins = CollectWardSkins(wardSkins);
    RequestFetch();
}

void MissionsService::OnSummonerIcons(const Api::CollectionsSummonerIcons& icons) {
    const bool first = !iconsReceived_;
    iconsReceived_ = true;
    const bool changed = icons.icons.size() != eligibility_.playerInventory.icons.size();
    if (changed) eligibility_.playerInventory.icons = icons.icons;
    // The first report after a logout or a switch-off completes the inventory again, even when
    // it counts as many icons as before: the fetch that was waiting for it goes out now.
    if (changed || first) RequestFetch();
}

void MissionsService::OnSummoner(const Api::CollectionsSummoner& summoner) {
    summonerReceived_ = true;
    if (summoner.summonerLevel == eligibility_.level) return;
    eligibility_.level = summoner.summonerLevel;
    RequestFetch();
}

}  // namespace Vane::Client::Missions
