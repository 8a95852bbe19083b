#include "missions/missions_service.h"

#include <chrono>
#include <exception>
#include <string>
#include <utility>

#include "log/logger.h"
#include "missions/cooldown.h"
#include "missions/missions_plugin.h"
#include "missions/new_mission_notification.h"
#include "missions/remote_paths.h"
#include "missions/resource_update.h"
#include "plugin/trace.h"
#include "types/native_json.h"
#include "types/static_type.h"

namespace Vane::Client::Missions {
namespace {

// Milliseconds since the Unix epoch, in whole seconds, as the remote service counts them.
int64_t WallClockMillis() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count() * 1000;
}

// The envelope of a remote call: PUT, no headers.
LCDS::MissionRequestPayloadDTO Envelope(std::string path, std::string body) {
    LCDS::MissionRequestPayloadDTO payload;
    payload.method = "PUT";
    payload.path = std::move(path);
    payload.body = std::move(body);
    return payload;
}

}  // namespace

MissionsService::MissionsService(MissionsPlugin& owner)
    : skinsByChampion_(MakeSkinsByChampion()), owner_(owner) {}

void MissionsService::SetServiceTarget(std::shared_ptr<const ServiceTarget> target) {
    target_ = std::move(target);
}

bool MissionsService::RemoteCallsAllowed() const {
    return target_ && target_->plugin && owner_.MissionsEnabled() && owner_.AccountId() != 0 &&
           !owner_.PlatformId().empty();
}

bool MissionsService::InventoryComplete() const {
    return iconsReceived_ && skinsReceived_ && championsReceived_ && wardSkinsReceived_ &&
           summonerReceived_;
}

// --- Fetching ----------------------------------------------------------------------------

void MissionsService::RequestFetch() {
    if (!RemoteCallsAllowed() || !InventoryComplete()) return;
    if (fetchInFlight_) {
        fetchPending_ = true;
        return;
    }
    StartFetch();
}

MaybeType<Failure, LCDS::MissionRequestPayloadDTO> MissionsService::BuildFetchPayload() const {
    std::string body;
    if (!WriteJsonTo(owner_.Types(), eligibility_, "", body)) {
        return Failure(0, std::string("Out of memory writing the eligibility data"));
    }
    return Envelope(FetchPath(owner_.PlatformId(), owner_.AccountId(), owner_.Locale()),
                    std::move(body));
}

void MissionsService::StartFetch() {
    fetchInFlight_ = true;
    const uint64_t fetch = ++fetchNumber_;
    MaybeType<Failure, LCDS::MissionRequestPayloadDTO> payload = BuildFetchPayload();
    if (payload.IsFailure()) {
        // Failed like a fetch without answer: logged, and the feature free to fetch again.
        HandleFetchResult(payload.GetFailure());
        return;
    }
    std::weak_ptr<MissionsService> weak = weak_from_this();
    // An answer that never comes must not hold the feature forever: the timeout fails the
    // fetch, and the answer, should it come after all, finds a newer fetch number.
    target_->plugin->Timers().Schedule(
        "missionsFetchTimeout",
        [weak, fetch] {
            if (auto self = weak.lock()) self->OnFetchTimeout(fetch);
        },
        target_->plugin->Timers().Now() + kFetchTimeoutNanoseconds);
    // The answer may be delivered before this call returns (when it came in first), so nothing
    // of the fetch state is touched after it.
    target_->plugin->ServiceProxy().InvokeTyped<Api::PlayerUpdateResponse>(
        target_->serviceName, target_->methodName, payload.Value(), std::string(),
        [weak, fetch](const MaybeType<Failure, Api::PlayerUpdateResponse>& result) {
            if (auto self = weak.lock()) self->OnFetchAnswer(fetch, result);
        });
}

void MissionsService::OnFetchAnswer(uint64_t fetch,
                                    const MaybeType<Failure, Api::PlayerUpdateResponse>& result) {
    if (!fetchInFlight_ || fetch != fetchNumber_) return;
    HandleFetchResult(result);
}

void MissionsService::OnFetchTimeout(uint64_t fetch) {
    if (!fetchInFlight_ || fetch != fetchNumber_) return;
    HandleFetchResult(Failure(0, std::string("The missions service did not answer within 60 "
                                             "seconds; the fetch was given up.")));
}

void MissionsService::HandleFetchResult(
    const MaybeType<Failure, Api::PlayerUpdateResponse>& result) {
    const uint64_t answered = fetchNumber_;
    fetchInFlight_ = false;
    if (fetchPending_) {
        fetchPending_ = false;
        RequestFetch();
    }
    if (result.IsFailure()) {
        Log(kLogError, 1, 0, "failed to fetch missions: %s", result.GetFailure().Message().c_str());
        return;
    }
    // The fetch just started may have been answered already, inside the call that sent it (its
    // answer came in first): the older answer in hand must not overwrite that newer one.
    if (appliedFetch_ > answered) return;
    appliedFetch_ = answered;
    const size_t oldCount = missions_.size();
    missions_ = result.Value().playerMissions;
    Publish(kMissionsResourceUri, missions_);
    series_ = result.Value().playerSeries;
    Publish(kSeriesResourceUri, series_);
    if (oldCount == 0 && (owner_.FrontEndEnabled() || owner_.Entitled())) {
        NotifyNewMissions(owner_, missions_);
    }
}

template <class List>
void MissionsService::Publish(const char* uri, const List& list) {
    if (PublishUpdate(owner_, uri, list).HasValue()) return;
    TraceRuntime("%s: Couldn't convert resource %s for event uri \"%s\"",
                 {owner_.ShortName(), StaticType::Name<List>(), uri});
}

void MissionsService::OnPollTimer() {
    if (owner_.InGame()) return;
    RequestFetch();
}

void MissionsService::OnCooldownTimer() {
    if (owner_.InGame()) return;
    if (AnyRepeatingMissionDue(missions_, WallClockMillis())) RequestFetch();
}

void MissionsService::ClearMissions() {
    missions_.clear();
    iconsReceived_ = false;
}

// --- Routes ------------------------------------------------------------------------------

MaybeType<Failure, void> MissionsService::SendWithoutAnswer(
    const LCDS::MissionRequestPayloadDTO& payload) {
    const std::string error =
        target_->plugin->ServiceProxy().Invoke(target_->serviceName, target_->methodName, payload,
                                               std::string(), ServiceProxyClient::Handler());
    if (error.empty()) return {};
    return Failure(0, "Couldn't send the request to the missions service: {error}", error);
}

MaybeType<Failure, void> MissionsService::MarkViewed(const Api::Ids& ids) {
    if (!RemoteCallsAllowed()) return {};
    std::string body;
    if (!WriteJsonTo(owner_.Types(), ids, "", body)) {
        return Failure(0, std::string("Out of memory writing the viewed ids"));
    }
    return SendWithoutAnswer(
        Envelope(ViewedPath(owner_.PlatformId(), owner_.AccountId()), std::move(body)));
}

void MissionsService::Force() {
    RequestFetch();
}

MaybeType<Failure, void> MissionsService::Opt(const Api::SeriesOpt& opt) {
    MaybeType<Failure, void> checked = CheckPathSegment("seriesId", opt.seriesId);
    if (checked.HasValue()) checked = CheckPathSegment("optStatus", opt.optStatus);
    if (checked.IsFailure()) return checked;
    if (!RemoteCallsAllowed()) return {};
    return SendWithoutAnswer(Envelope(
        OptPath(owner_.PlatformId(), owner_.AccountId(), opt.seriesId, opt.optStatus), {}));
}

}  // namespace Vane::Client::Missions
