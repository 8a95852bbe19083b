// The paths of the calls to the remote missions service, and the check that keeps texts from
// the front end from changing a path's structure.
#ifndef PYX_MISSIONS_REMOTE_PATHS_H_
#define PYX_MISSIONS_REMOTE_PATHS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "util/failure.h"
#include "util/maybe.h"

namespace Vane::Client::Missions {

// Status code of the failure CheckPathSegment returns.
inline constexpr int32_t kBadPathSegmentCode = 400;

// "/missions/v3/player/<platformId>/<accountId>?locale=<locale>", the account id in plain
// decimal. The texts go in as they are; nothing is cut.
std::string FetchPath(std::string_view platformId, uint64_t accountId, std::string_view locale);

// "/missions/v3/player/<platformId>/<accountId>/viewed/".
std::string ViewedPath(std::string_view platformId, uint64_t accountId);

// "/missions/v3/player/<platformId>/<accountId>/<seriesId>/opt/<optStatus>". The caller checks
// seriesId and optStatus with CheckPathSegment first.
std::string OptPath(std::string_view platformId, uint64_t accountId, std::string_view seriesId,
                    std::string_view optStatus);

// Whether `text` can stand as one segment of a remote path unchanged: fails (code
// kBadPathSegmentCode, naming `name`) for the empty text, "." and "..", and for a text holding
// "/", "?", "#" or a control character (below 0x20, or 0x7F), any of which would move the
// request elsewhere on the remote side. Every other text passes, unescaped.
MaybeType<Failure, void> CheckPathSegment(std::string_view name, std::string_view text);

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_REMOTE_PATHS_H_
