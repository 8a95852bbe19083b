#include "devhost/accept_encoding.h"

namespace Vane::DevHost {
namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether the entry's coding holds "br" in any case.
bool NamesBrotli(std::string_view entry) {
    const std::string_view coding = entry.substr(0, entry.find(';'));
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (size_t i = 0; i + 1 < coding.size(); ++i) {
        if (lower(coding[i]) == 'b' && lower(coding[i + 1]) == 'r') return true;
    }
    return false;
}

}  // namespace

std::string WithoutBrotli(std::string_view header) {
    std::string kept;
    while (true) {
        const size_t comma = header.find(',');
        const std::string_view entry = Trimmed(header.substr(0, comma));
        if (!entry.empty() && !NamesBrotli(entry)) {
            if (!kept.empty()) kept += ", ";
            kept += entry;
        }
        if (comma == std::string_view::npos) break;
        header.remove_prefix(comma + 1);
    }
    return kept;
}

}  // namespace Vane::DevHost
