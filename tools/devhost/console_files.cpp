#include "devhost/console_files.h"

namespace Vane::DevHost {
namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

const EmbeddedFile* FindConsoleFile(std::string_view name) {
    for (const EmbeddedFile& file : ConsoleFiles()) {
        if (file.name == name) return &file;
    }
    return nullptr;
}

bool IfNoneMatchNames(std::string_view header, std::string_view etag) {
    if (Trimmed(header) == "*") return true;
    const auto opaque = [](std::string_view tag) {
        return tag.substr(0, 2) == "W/" ? tag.substr(2) : tag;
    };
    while (!header.empty()) {
        const size_t comma = header.find(',');
        const std::string_view tag = Trimmed(header.substr(0, comma));
        if (!tag.empty() && opaque(tag) == opaque(etag)) return true;
        if (comma == std::string_view::npos) break;
        header.remove_prefix(comma + 1);
    }
    return false;
}

ConsoleReply AnswerConsoleRequest(std::string_view name, std::string_view ifNoneMatch) {
    ConsoleReply reply;
    reply.file = FindConsoleFile(name);
    if (reply.file == nullptr) return reply;
    reply.status =
        !ifNoneMatch.empty() && IfNoneMatchNames(ifNoneMatch, reply.file->etag) ? 304 : 200;
    return reply;
}

}  // namespace Vane::DevHost
