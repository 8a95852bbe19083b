#include "api/function_name.h"

#include "util/format.h"

namespace Vane {
namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsWordSeparator(char c) {
    switch (c) {
        case '!':
        case '+':
        case '-':
        case '.':
        case '/':
        case '_':
            return true;
        default:
            return false;
    }
}

void AppendNameOf(std::string_view text, bool& upper, std::string& name) {
    for (char c : text) {
        if (IsWordSeparator(c)) {
            upper = true;
        } else if (c == '{') {
            name += "By";
            upper = true;
        } else if (c == '}') {
            // Dropped; the flag stays as it is.
        } else {
            name.push_back(upper ? AsciiUpper(c) : c);
            upper = false;
        }
    }
}

}  // namespace

std::string MakeFunctionName(std::string_view prefix, std::string_view url) {
    std::string name;
    name.reserve(prefix.size() + url.size() + 8);
    bool upper = true;
    if (!prefix.empty()) {
        std::string rest(prefix.substr(1));
        for (char& c : rest) c = AsciiLower(c);
        AppendNameOf(FormatPositional("%1%2/", prefix[0], rest), upper, name);
    }
    AppendNameOf(url, upper, name);
    return name;
}

}  // namespace Vane
