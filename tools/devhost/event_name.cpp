#include "devhost/event_name.h"

#include <algorithm>

namespace Vane::DevHost {

std::string ResourceEventName(std::string_view path) {
    std::string name = "OnJsonApiEvent";
    size_t kept = 0;
    size_t limit = 3;
    size_t position = 0;
    while (position < path.size() && kept < limit) {
        const size_t end = std::min(path.find('/', position), path.size());
        if (end > position) {
            const std::string_view piece = path.substr(position, end - position);
            if (kept == 0 && piece == "pyx-platform-config") limit = 5;
            name += '_';
            name += piece;
            ++kept;
        }
        position = end + 1;
    }
    return name;
}

}  // namespace Vane::DevHost
