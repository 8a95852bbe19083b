#include "devhost/access_guard.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace Vane::DevHost {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Methods a browser page may use without asking first, and which change nothing here.
bool IsReadOnly(std::string_view method) {
    return method == "GET" || method == "HEAD" || method == "OPTIONS";
}

// Splits a Host header into its name and port; a bracketed IPv6 name keeps its brackets.
// nullopt when the port is not a number.
std::optional<std::pair<std::string, std::optional<int>>> SplitHost(std::string_view host) {
    size_t colon = std::string_view::npos;
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') return std::nullopt;
            colon = close + 1;
        }
    } else {
        colon = host.rfind(':');
    }
    if (colon == std::string_view::npos) {
        return std::make_pair(Lower(host), std::optional<int>());
    }
    const std::string_view digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    return std::make_pair(Lower(host.substr(0, colon)), std::optional<int>(port));
}

// The media type of a Content-Type value: before any parameter, trimmed, lower case.
std::string MediaType(std::string_view contentType) {
    return Lower(Trimmed(contentType.substr(0, contentType.find(';'))));
}

// The types a page may send cross-site without a preflight.
bool IsSimpleBodyType(std::string_view mediaType) {
    return mediaType == "application/x-www-form-urlencoded" || mediaType == "multipart/form-data" ||
           mediaType == "text/plain";
}

// Whether `a` equals `b`, taking as long whatever differs, so a wrong token tells nothing of
// how much of it was right.
bool SameSecret(std::string_view a, std::string_view b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    }
    return difference == 0;
}

// The value of cookie `name` in a Cookie header.
std::optional<std::string_view> CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const size_t end = header.find(';');
        std::string_view pair = Trimmed(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return pair.substr(equals + 1);
        }
    }
    return std::nullopt;
}

// Whether `list` is a comma-separated list of header names (what a preflight may ask for).
bool IsHeaderNameList(std::string_view list) {
    for (char c : list) {
        const bool allowed = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                             c == ',' || c == ' ';
        if (!allowed) return false;
    }
    return true;
}

}  // namespace

AccessGuard::AccessGuard(AccessOptions options, int port)
    : options_(std::move(options)), port_(port) {}

bool AccessGuard::HostAllowed(std::string_view host) const {
    const auto split = SplitHost(host);
    if (!split) return false;
    const auto& [name, port] = *split;
    // Without a port the Host names port 80, the only one a browser leaves out.
    if (port.value_or(80) != port_) return false;
    if (name == "localhost" || name == "127.0.0.1" || name == "[::1]") return true;
    const std::string bound = Lower(options_.bindAddress);
    if (name == bound || name == "[" + bound + "]") return true;
    for (const std::string& allowed : options_.allowedHosts) {
        const auto given = SplitHost(allowed);
        if (!given) continue;
        if (given->first == name && given->second.value_or(port_) == port_) return true;
    }
    return false;
}

bool AccessGuard::CarriesToken(const GuardedRequest& request) const {
    const std::string& token = *options_.token;
    if (request.authorization) {
        const std::string_view value = Trimmed(*request.authorization);
        constexpr std::string_view kBearer = "Bearer ";
        if (value.size() > kBearer.size() && Lower(value.substr(0, kBearer.size())) == "bearer " &&
            SameSecret(Trimmed(value.substr(kBearer.size())), token)) {
            return true;
        }
    }
    if (request.cookie) {
        const std::optional<std::string_view> value = CookieValue(*request.cookie, kTokenCookie);
        if (value && SameSecret(*value, token)) return true;
    }
    return false;
}

bool AccessGuard::RedeemCode(std::string_view code) {
    MutexLock lock(mutex_);
    if (oneTimeCode_.empty() || !SameSecret(code, oneTimeCode_)) return false;
    oneTimeCode_.clear();
    return true;
}

std::string AccessGuard::NewOneTimeCode() {
    if (!options_.token) return {};
    std::string code = RandomToken();
    MutexLock lock(mutex_);
    oneTimeCode_ = code;
    return code;
}

AccessVerdict AccessGuard::Check(const GuardedRequest& request) {
    AccessVerdict verdict;
    if (!request.host) {
        verdict.status = 400;
        verdict.message = "The request has no Host header";
        return verdict;
    }
    if (!HostAllowed(*request.host)) {
        verdict.status = 403;
        verdict.message = "Host '" + std::string(*request.host) +
                          "' is not allowed: devhost answers to localhost, 127.0.0.1 and [::1] "
                          "on port " +
                          std::to_string(port_) +
                          "; start it with --allow-host NAME to answer to another name";
        return verdict;
    }

    const bool preflight = request.method == "OPTIONS" && request.origin.has_value() &&
                           request.preflightMethod.has_value();
    const bool sameOrigin =
        request.origin && *request.origin == "http://" + std::string(*request.host);
    const bool allowedOrigin =
        request.origin && options_.allowedOrigin && *request.origin == *options_.allowedOrigin;
    if (allowedOrigin) {
        verdict.headers = {{"Access-Control-Allow-Origin", *options_.allowedOrigin},
                           {"Vary", "Origin"}};
        if (preflight) {
            // A preflight carries no credentials; the request it announces must.
            verdict.status = 204;
            verdict.headers.emplace_back("Access-Control-Allow-Methods",
                                         "GET, HEAD, POST, PUT, PATCH, DELETE, OPTIONS");
            if (request.preflightHeaders && IsHeaderNameList(*request.preflightHeaders)) {
                verdict.headers.emplace_back("Access-Control-Allow-Headers",
                                             std::string(*request.preflightHeaders));
            }
            verdict.headers.emplace_back("Access-Control-Max-Age", "600");
            return verdict;
        }
    }

    if (options_.token) {
        if (request.method == "GET" && request.path == "/" && request.oneTimeCode &&
            RedeemCode(*request.oneTimeCode)) {
            // The console link: the cookie takes the token's place from now on, and the code
            // leaves the address bar.
            verdict.status = 303;
            verdict.headers.emplace_back("Set-Cookie", std::string(kTokenCookie) + "=" +
                                                           *options_.token +
                                                           "; Path=/; HttpOnly; SameSite=Strict");
            verdict.headers.emplace_back("Location", "/");
            return verdict;
        }
        if (!CarriesToken(request)) {
            verdict.status = 401;
            verdict.message =
                "This devhost requires its token: send \"Authorization: Bearer TOKEN\" or open "
                "the console link it printed at start";
            verdict.headers.emplace_back("WWW-Authenticate", "Bearer");
            return verdict;
        }
    }

    if (request.origin && !sameOrigin && !allowedOrigin) {
        if (preflight || !IsReadOnly(request.method)) {
            verdict.status = 403;
            verdict.message = "Requests that change state are refused from origin '" +
                              std::string(*request.origin) +
                              "'; start devhost with --allow-origin ORIGIN to let one origin in";
            return verdict;
        }
    }

    if (!IsReadOnly(request.method) && request.hasBody && request.contentType &&
        IsSimpleBodyType(MediaType(*request.contentType))) {
        verdict.status = 415;
        verdict.message = "A body of type '" + MediaType(*request.contentType) +
                          "' is refused: send it as application/json (curl: -H "
                          "'Content-Type: application/json')";
        return verdict;
    }
    return verdict;
}

std::string RandomToken() {
    std::string token;
    constexpr char kDigits[] = "0123456789abcdef";
    try {
        std::random_device source;
        while (token.size() < 32) {
            const unsigned word = source();
            for (int shift = 0; shift < 32 && token.size() < 32; shift += 4) {
                token += kDigits[(word >> shift) & 0xF];
            }
        }
    } catch (...) {
        // No random source: no token rather than a guessable one.
        return {};
    }
    return token;
}

}  // namespace Vane::DevHost
