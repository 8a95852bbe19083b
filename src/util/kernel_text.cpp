#include "util/kernel_text.h"

namespace Vane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the decimal number at the start of `text` into `value` and drops it from `text`; false
// when there is no digit or the number exceeds `limit`.
bool TakeNumber(std::string_view& text, uint64_t limit, uint64_t& value) {
    size_t used = 0;
    value = 0;
    while (used < text.size() && IsDigit(text[used])) {
        const uint64_t digit = static_cast<uint64_t>(text[used] - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
        ++used;
    }
    text.remove_prefix(used);
    return used > 0;
}

void TrimBlanks(std::string_view& text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\n')) text.remove_suffix(1);
}

// The number of kilobytes in the rest of a line, "<blanks><digits> kB".
std::optional<uint64_t> KilobyteValue(std::string_view rest) {
    TrimBlanks(rest);
    uint64_t kilobytes = 0;
    if (!TakeNumber(rest, UINT64_MAX / 1024, kilobytes)) return std::nullopt;
    TrimBlanks(rest);
    if (rest != "kB") return std::nullopt;
    return kilobytes * 1024;
}

}  // namespace

std::optional<uint64_t> FindKilobyteField(std::string_view text, std::string_view name) noexcept {
    if (name.empty()) return std::nullopt;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > name.size() && line.substr(0, name.size()) == name &&
            line[name.size()] == ':') {
            return KilobyteValue(line.substr(name.size() + 1));
        }
    }
    return std::nullopt;
}

SystemMemory SystemMemoryFromMeminfo(std::string_view text) noexcept {
    SystemMemory memory;
    memory.totalPhysicalBytes = FindKilobyteField(text, "MemTotal");
    memory.availablePhysicalBytes = FindKilobyteField(text, "MemAvailable");
    memory.commitLimitBytes = FindKilobyteField(text, "CommitLimit");
    const std::optional<uint64_t> committed = FindKilobyteField(text, "Committed_AS");
    if (memory.commitLimitBytes && committed) {
        memory.commitAvailableBytes =
            *memory.commitLimitBytes > *committed ? *memory.commitLimitBytes - *committed : 0;
    }
    return memory;
}

ProcessMemory ProcessMemoryFromStatus(std::string_view text) noexcept {
    ProcessMemory memory;
    memory.residentBytes = FindKilobyteField(text, "VmRSS");
    memory.peakResidentBytes = FindKilobyteField(text, "VmHWM");
    memory.virtualBytes = FindKilobyteField(text, "VmSize");
    return memory;
}

std::optional<size_t> ParseCpuList(std::string_view text, CpuRange* ranges,
                                   size_t capacity) noexcept {
    TrimBlanks(text);
    if (text.empty()) return std::nullopt;
    size_t count = 0;
    while (true) {
        uint64_t first = 0;
        uint64_t last = 0;
        if (!TakeNumber(text, UINT32_MAX, first)) return std::nullopt;
        last = first;
        if (!text.empty() && text.front() == '-') {
            text.remove_prefix(1);
            if (!TakeNumber(text, UINT32_MAX, last) || last < first) return std::nullopt;
        }
        if (count == capacity) return std::nullopt;
        ranges[count++] = {static_cast<uint32_t>(first), static_cast<uint32_t>(last)};
        if (text.empty()) return count;
        if (text.front() != ',') return std::nullopt;
        text.remove_prefix(1);
    }
}

}  // namespace Vane
