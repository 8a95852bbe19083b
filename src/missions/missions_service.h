// The state of the missions feature: the player's missions and series as the remote missions
// service last sent them, the eligibility data sent with every fetch, and the fetch state.
// Fetches, their answers, the routes and the inventory reports all go through it.
//
// Not locked: the host runs the feature's handlers, timer ticks, completions and routes one at
// a time (route GETs may overlap each other; they only read).
#ifndef PYX_MISSIONS_MISSIONS_SERVICE_H_
#define PYX_MISSIONS_MISSIONS_SERVICE_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "missions/eligibility.h"
#include "missions/missions_records.h"
#include "missions/service_target.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane::Client::Missions {

class MissionsPlugin;

// A fetch whose answer has not come after this long counts as failed (nanoseconds).
inline constexpr int64_t kFetchTimeoutNanoseconds = 60'000'000'000;

inline constexpr const char* kMissionsResourceUri = "/pyx-missions/v1/missions";
inline constexpr const char* kSeriesResourceUri = "/pyx-missions/v1/series/";

class MissionsService : public std::enable_shared_from_this<MissionsService> {
  public:
    // A service with empty lists, level -1 and no inventory reported, owned by `owner`.
    explicit MissionsService(MissionsPlugin& owner);
    MissionsService(const MissionsService&) = delete;
    MissionsService& operator=(const MissionsService&) = delete;

    // Sets where remote calls go (the plugin's start); until then nothing is sent.
    void SetServiceTarget(std::shared_ptr<const ServiceTarget> target);

    // --- Fetching -----------------------------------------------------------------------

    // Asks the remote service for the player's missions and series, when the feature is on,
    // the player known and every inventory source reported; otherwise does nothing. While a
    // fetch is in flight the request is kept as one pending fetch, sent when the answer (or
    // the timeout) arrives.
    void RequestFetch();
    // The envelope a fetch sends now: PUT to the fetch path with the eligibility data as body.
    // Fails when the body cannot be written (memory ran out): a fetch without it would be
    // answered for a player with nothing.
    MaybeType<Failure, LCDS::MissionRequestPayloadDTO> BuildFetchPayload() const;
    // Handles the answer of the fetch in flight: starts the pending fetch if any; on success
    // replaces both lists, publishes both resources and, when the list held before was empty,
    // notifies the player of new missions; on failure logs "failed to fetch missions: %s".
    void HandleFetchResult(const MaybeType<Failure, Api::PlayerUpdateResponse>& result);

    // The polling timer's tick: a fetch, unless in game.
    void OnPollTimer();
    // The cooldown timer's tick: a fetch when a repeating mission's cooldown ran out, unless
    // in game.
    void OnCooldownTimer();

    // --- Held lists ---------------------------------------------------------------------

    // The missions of the last answer, in its order (empty before any answer): the missions
    // route. Concurrent readers are fine, a writer is not.
    const std::vector<Api::Mission>& Missions() const { return missions_; }
    // The series of the last answer: the series route.
    const std::vector<Api::Series>& SeriesList() const { return series_; }
    // Forgets the missions (the series stay) and the icons report, so the next fetch waits for
    // a fresh one: the feature was switched off or the player logged out.
    void ClearMissions();

    // --- Routes -------------------------------------------------------------------------

    // Tells the remote service the player saw `ids`; does not wait for its answer. Nothing is
    // sent while the feature is off or the player unknown.
    // Fails, sending nothing, when the request cannot be written or sent (memory ran out).
    MaybeType<Failure, void> MarkViewed(const Api::Ids& ids);
    // The force route: RequestFetch.
    void Force();
    // Opts the player in or out of a series; does not wait for the answer. Fails, sending
    // nothing, when `seriesId` or `optStatus` would change the remote path (CheckPathSegment).
    // Nothing is sent while the feature is off or the player unknown.
    MaybeType<Failure, void> Opt(const Api::SeriesOpt& opt);

    // --- Inventory reports (each may request a fetch) -----------------------------------

    void OnChampions(const std::vector<Api::CollectionsChampion>& champions);
    void OnWardSkins(const std::vector<Api::CollectionsWardSkin>& wardSkins);
    void OnSummonerIcons(const Api::CollectionsSummonerIcons& icons);
    void OnSummoner(const Api::CollectionsSummoner& summoner);

    // Whether all five inventory sources have reported.
    bool InventoryComplete() const;

  private:
    // Whether calls to the remote service may go out: the feature on and the player known.
    bool RemoteCallsAllowed() const;
    void StartFetch();
    void OnFetchAnswer(uint64_t fetch, const MaybeType<Failure, Api::PlayerUpdateResponse>& result);
    void OnFetchTimeout(uint64_t fetch);
    // Publishes `list` as an update of the resource `uri`.
    template <class List>
    void Publish(const char* uri, const List& list);
    // Sends `payload` to the remote service without waiting for an answer; fails when it
    // could not be sent.
    MaybeType<Failure, void> SendWithoutAnswer(const LCDS::MissionRequestPayloadDTO& payload);

    std::shared_ptr<const ServiceTarget> target_;
    std::vector<Api::Mission> missions_;
    std::vector<Api::Series> series_;
    Api::PlayerMissionEligibilityData eligibility_;
    SkinsByChampion skinsByChampion_;
    MissionsPlugin& owner_;
    bool iconsReceived_ = false;
    bool wardSkinsReceived_ = false;
    bool championsReceived_ = false;
    bool skinsReceived_ = false;
    bool summonerReceived_ = false;
    bool fetchInFlight_ = false;
    bool fetchPending_ = false;
    // Numbers the fetches: an answer or timeout of any fetch but the one in flight is stale.
    uint64_t fetchNumber_ = 0;
    // The number of the fetch whose answer the lists hold.
    uint64_t appliedFetch_ = 0;
};

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_MISSIONS_SERVICE_H_
