#include "missions/remote_paths.h"

namespace Vane::Client::Missions {
namespace {

constexpr std::string_view kPlayerPrefix = "/missions/v3/player/";

// "/missions/v3/player/<platformId>/<accountId>", the stem every remote path shares.
std::string PlayerStem(std::string_view platformId, uint64_t accountId, size_t extra) {
    const std::string account = std::to_string(accountId);
    std::string path;
    path.reserve(kPlayerPrefix.size() + platformId.size() + 1 + account.size() + extra);
    path.append(kPlayerPrefix).append(platformId).append("/").append(account);
    return path;
}

}  // namespace

std::string FetchPath(std::string_view platformId, uint64_t accountId, std::string_view locale) {
    std::string path = PlayerStem(platformId, accountId, 8 + locale.size());
    path.append("?locale=").append(locale);
    return path;
}

std::string ViewedPath(std::string_view platformId, uint64_t accountId) {
    std::string path = PlayerStem(platformId, accountId, 8);
    path.append("/viewed/");
    return path;
}

std::string OptPath(std::string_view platformId, uint64_t accountId, std::string_view seriesId,
                    std::string_view optStatus) {
    std::string path = PlayerStem(platformId, accountId, seriesId.size() + 6 + optStatus.size());
    path.append("/").append(seriesId).append("/opt/").append(optStatus);
    return path;
}

MaybeType<Failure, void> CheckPathSegment(std::string_view name, std::string_view text) {
    const char* reason = nullptr;
    if (text.empty()) {
        reason = "is empty";
    } else if (text == "." || text == "..") {
        reason = "is a dot segment";
    } else {
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '/' || c == '?' || c == '#') {
                reason = "holds \"/\", \"?\" or \"#\"";
                break;
            }
            if (byte < 0x20 || byte == 0x7F) {
                reason = "holds a control character";
                break;
            }
        }
    }
    if (!reason) return {};
    return Failure(kBadPathSegmentCode,
                   "The {name} can't be sent to the missions service: it {reason}.", name,
                   std::string_view(reason));
}

}  // namespace Vane::Client::Missions
