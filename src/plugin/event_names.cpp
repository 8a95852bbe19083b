#include "plugin/event_names.h"

#include <vector>

namespace Vane {

std::string JsonApiEventName(std::string_view path) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) pieces.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    const size_t keep = !pieces.empty() && pieces[0] == "pyx-platform-config" ? 5 : 3;
    std::string name = "OnJsonApiEvent";
    for (size_t i = 0; i < pieces.size() && i < keep; ++i) {
        name += '_';
        name += pieces[i];
    }
    return name;
}

bool WildcardMatch(std::string_view pattern, std::string_view path) noexcept {
    size_t p = 0;
    size_t s = 0;
    while (p < pattern.size() && s < path.size()) {
        if (pattern[p] == '*') {
            if (path[s] == '/') {
                ++p;  // the star ends here, the "/" is matched by what follows it
            } else {
                ++s;
                if (s == path.size()) ++p;
            }
        } else {
            if (pattern[p] != path[s]) return false;
            ++p;
            ++s;
        }
    }
    return p == pattern.size() && s == path.size();
}

}  // namespace Vane
