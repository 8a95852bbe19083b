#include "api/query_string.h"

#include <cstdint>
#include <new>
#include <unordered_map>
#include <utility>

namespace Vane {
namespace {

constexpr int32_t kOutOfMemoryCode = 500;

// Below this many entries a repeated key is found by a linear search; from there on through a
// hash index, so a query of many distinct keys stays linear.
constexpr size_t kIndexFrom = 16;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<QueryEntry> ParseEntries(std::string_view path) {
    std::vector<QueryEntry> entries;
    const size_t question = path.find('?');
    if (question == std::string_view::npos) return entries;
    std::string_view query = path.substr(question + 1);

    std::unordered_map<std::string, size_t> index;
    auto find = [&](const std::string& key) -> QueryEntry* {
        if (entries.size() < kIndexFrom) {
            for (QueryEntry& entry : entries) {
                if (entry.key == key) return &entry;
            }
            return nullptr;
        }
        if (index.empty()) {
            for (size_t i = 0; i < entries.size(); ++i) index.emplace(entries[i].key, i);
        }
        auto found = index.find(key);
        return found == index.end() ? nullptr : &entries[found->second];
    };

    while (true) {
        const size_t amp = query.find('&');
        const std::string_view piece = query.substr(0, amp);
        if (!piece.empty()) {
            const size_t equals = piece.find('=');
            std::string key = UrlDecode(piece.substr(0, equals));
            std::string value = equals == std::string_view::npos
                                    ? std::string()
                                    : UrlDecode(piece.substr(equals + 1));
            if (QueryEntry* present = find(key)) {
                present->value = std::move(value);
            } else {
                if (!index.empty()) index.emplace(key, entries.size());
                entries.push_back(QueryEntry{std::move(key), std::move(value)});
            }
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return entries;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded.push_back(' ');
        } else if (c == '%' && text.size() - i > 2 && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            decoded.push_back(
                static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            decoded.push_back(c);
        }
    }
    return decoded;
}

MaybeType<Failure, std::vector<QueryEntry>> ParseQuery(std::string_view path) noexcept {
    try {
        return ParseEntries(path);
    } catch (const std::bad_alloc&) {
        return Failure(kOutOfMemoryCode, "Couldn't read the query because memory ran out.");
    }
}

}  // namespace Vane
