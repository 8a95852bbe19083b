#include "api/route_pattern.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "util/format.h"

namespace Vane {
namespace {

constexpr int32_t kOutOfMemoryCode = 500;

Failure OutOfMemory() {
    return Failure(kOutOfMemoryCode, "Couldn't compile the route template because memory ran out.");
}

enum class HoleState { kOutside, kPlain, kRest, kHash };

bool IsEscaped(char c) {
    switch (c) {
        case '^':
        case '$':
        case '.':
        case '*':
        case '+':
        case '?':
        case '(':
        case ')':
        case '[':
        case ']':
        case '|':
        case '\\':
            return true;
        default:
            return false;
    }
}

// What one pass over a template produces: the regular expression and names, and the same
// pattern as literal pieces between holes for the matcher.
struct ParsedTemplate {
    RoutePattern pattern;
    std::string head;
    std::vector<std::pair<bool, std::string>> holes;  // (segment hole, literal after it)
};

MaybeType<Failure, ParsedTemplate> ParseTemplate(std::string_view routeTemplate) {
    ParsedTemplate parsed;
    std::string name;
    HoleState state = HoleState::kOutside;
    auto literal = [&]() -> std::string& {
        return parsed.holes.empty() ? parsed.head : parsed.holes.back().second;
    };
    for (char c : routeTemplate) {
        if (state == HoleState::kOutside) {
            if (c == '{') {
                state = HoleState::kPlain;
            } else if (c == '}') {
                return Failure(
                    0, FormatPositional("Invalid route template '%1': '}' outside a placeholder.",
                                        routeTemplate));
            } else {
                if (IsEscaped(c)) parsed.pattern.pattern.push_back('\\');
                parsed.pattern.pattern.push_back(c);
                literal().push_back(c);
            }
            continue;
        }
        if (state == HoleState::kPlain && name.empty() && (c == '+' || c == '#')) {
            state = c == '+' ? HoleState::kRest : HoleState::kHash;
        } else if (c == '{') {
            state = HoleState::kPlain;
        } else if (c == '}') {
            if (state == HoleState::kPlain) {
                parsed.pattern.pattern += "([^/]*)";
            } else if (state == HoleState::kRest) {
                parsed.pattern.pattern += "(.*)";
            } else {
                parsed.pattern.pattern += "#(.*)";
                literal().push_back('#');
            }
            parsed.holes.emplace_back(state == HoleState::kPlain, std::string());
            parsed.pattern.names.push_back(std::move(name));
            name.clear();
            state = HoleState::kOutside;
        } else {
            name.push_back(c);
        }
    }
    if (state != HoleState::kOutside) {
        return Failure(0, FormatPositional("Invalid route template '%1': unclosed placeholder.",
                                           routeTemplate));
    }
    return parsed;
}

bool Allowed(bool segment, char c) {
    return segment ? c != '/' : (c != '\n' && c != '\r');
}

// The first position at or after `from` whose byte a hole may not take (or the path's end).
size_t RunEnd(std::string_view path, size_t from, bool segment) {
    if (segment) {
        const void* slash = std::memchr(path.data() + from, '/', path.size() - from);
        return slash ? static_cast<size_t>(static_cast<const char*>(slash) - path.data())
                     : path.size();
    }
    while (from < path.size() && Allowed(false, path[from])) ++from;
    return from;
}

bool HasAt(std::string_view path, size_t at, std::string_view text) {
    return text.size() <= path.size() - at &&
           std::memcmp(path.data() + at, text.data(), text.size()) == 0;
}

// Bits over the positions 0..n of a path, one set per later hole (see MatchPattern).
class PositionSets {
  public:
    PositionSets(size_t sets, size_t positions) : words_((positions + 63) / 64) {
        const size_t total = sets * words_;
        if (total <= kInlineWords) {
            bits_ = inline_;
        } else {
            heap_.reset(new uint64_t[total]);
            bits_ = heap_.get();
        }
        std::memset(bits_, 0, total * sizeof(uint64_t));
    }
    PositionSets(const PositionSets&) = delete;
    PositionSets& operator=(const PositionSets&) = delete;

    void Set(size_t set, size_t position) {
        bits_[set * words_ + position / 64] |= uint64_t{1} << (position % 64);
    }
    bool Test(size_t set, size_t position) const {
        return (bits_[set * words_ + position / 64] >> (position % 64)) & 1;
    }

  private:
    static constexpr size_t kInlineWords = 32;

    size_t words_;
    uint64_t* bits_;
    uint64_t inline_[kInlineWords];
    std::unique_ptr<uint64_t[]> heap_;
};

}  // namespace

MaybeType<Failure, RoutePattern> BuildRoutePattern(std::string_view routeTemplate) noexcept {
    try {
        MaybeType<Failure, ParsedTemplate> parsed = ParseTemplate(routeTemplate);
        if (parsed.IsFailure()) return std::move(parsed.GetFailure());
        return std::move(parsed.Value().pattern);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

std::string NormaliseRouteUrl(std::string_view url) {
    if (url.size() > 1 && url.back() == '/') url.remove_suffix(1);
    return std::string(url);
}

MaybeType<Failure, CompiledRoute> CompiledRoute::Compile(std::string_view routeTemplate) noexcept {
    try {
        CompiledRoute route;
        route.template_ = std::string(routeTemplate);
        if (routeTemplate.find('{') == std::string_view::npos) return route;

        MaybeType<Failure, ParsedTemplate> parsed = ParseTemplate(routeTemplate);
        if (parsed.IsFailure()) return std::move(parsed.GetFailure());
        route.literal_ = false;
        route.pattern_ = std::move(parsed.Value().pattern);
        route.head_ = std::move(parsed.Value().head);
        for (auto& [segment, literal] : parsed.Value().holes) {
            route.holes_.push_back(Hole{segment, std::move(literal)});
        }
        return route;
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

bool CompiledRoute::Match(std::string_view path,
                          std::vector<RouteCapture>& captures) const noexcept {
    captures.clear();
    if (literal_) return path == template_;
    try {
        if (MatchPattern(path, captures)) return true;
    } catch (...) {
        // Out of memory for the position sets or the captures: treated as no match.
    }
    captures.clear();
    return false;
}

// The regular expression head (H1 L1) (H2 L2) ... (Hk Lk), matched the way a backtracking
// ECMAScript matcher would: the first solution it finds has the longest first hole among all
// full matches, then the longest second hole given the first, and so on. So each hole, left to
// right, takes the longest run of its allowed bytes after which the rest of the pattern can
// still match the rest of the path. "Can still match" is known beforehand: from the second hole
// on, each hole has the set of positions from which it and everything after it match the whole
// remainder, computed from the right end, one pass per hole. The last hole's end is fixed by Lk.
bool CompiledRoute::MatchPattern(std::string_view path, std::vector<RouteCapture>& captures) const {
    if (!HasAt(path, 0, head_)) return false;
    const size_t n = path.size();
    const size_t k = holes_.size();
    if (k == 0) return n == head_.size();

    // Set s (0-based) belongs to hole s + 1; the last hole's successor is the path's end.
    PositionSets sets(k - 1, k > 1 ? n + 1 : 0);
    auto followed = [&](size_t hole, size_t at) {
        const std::string& literal = holes_[hole].literal;
        if (literal.size() > n - at) return false;
        const size_t next = at + literal.size();
        const bool rest = hole + 1 == k ? next == n : sets.Test(hole, next);
        return rest && HasAt(path, at, literal);
    };
    for (size_t hole = k - 1; hole >= 1; --hole) {
        const bool segment = holes_[hole].segment;
        bool reachable = followed(hole, n);
        if (reachable) sets.Set(hole - 1, n);
        for (size_t at = n; at-- > 0;) {
            reachable = (reachable && Allowed(segment, path[at])) || followed(hole, at);
            if (reachable) sets.Set(hole - 1, at);
        }
    }

    captures.reserve(k);
    size_t at = head_.size();
    for (size_t hole = 0; hole < k; ++hole) {
        const size_t runEnd = RunEnd(path, at, holes_[hole].segment);
        size_t end = runEnd;
        if (hole + 1 == k) {
            const size_t last = holes_[hole].literal.size();
            if (last > n - at) return false;
            end = n - last;
            if (end > runEnd || !HasAt(path, end, holes_[hole].literal)) return false;
        } else {
            while (!followed(hole, end)) {
                if (end == at) return false;
                --end;
            }
        }
        captures.push_back(
            RouteCapture{pattern_.names[hole], std::string(path.substr(at, end - at))});
        at = end + holes_[hole].literal.size();
    }
    return true;
}

}  // namespace Vane
