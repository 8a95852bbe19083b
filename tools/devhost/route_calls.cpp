#include "devhost/route_calls.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "codec/json_writer.h"
#include "devhost/value_access.h"
#include "host/host_value.h"

namespace Vane::DevHost {
namespace {

constexpr uint32_t kGet = 2;
constexpr uint32_t kHead = 3;
constexpr uint32_t kCustom = 8;
// A route that streams more than this is cut off with an error rather than exhausting memory.
constexpr size_t kMaxStreamBytes = size_t{256} << 20;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

enum class Token : char { kSegment = 1, kRest = 2 };

// Literal characters and holes of a route template; holes are marked by a zero byte followed
// by their kind, so a literal NUL cannot occur (route urls are C strings).
std::string Tokens(std::string_view url) {
    std::string tokens;
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '{') {
            tokens += url[i];
            continue;
        }
        const size_t close = url.find('}', i);
        if (close == std::string_view::npos) {  // not a hole after all
            tokens += url.substr(i);
            break;
        }
        const char marker = close > i + 1 ? url[i + 1] : '\0';
        if (marker == '#') tokens += '#';
        tokens += '\0';
        tokens +=
            static_cast<char>(marker == '+' || marker == '#' ? Token::kRest : Token::kSegment);
        i = close;
    }
    return tokens;
}

bool MethodAccepts(const HostRouteRecord& route, uint32_t code, std::string_view customMethod) {
    if (route.method == 0) return true;
    if (route.method != code) return false;
    if (code != kCustom) return true;
    return customMethod == (route.customMethod != nullptr ? route.customMethod : "");
}

std::string RouteMethodName(const HostRouteRecord& route) {
    if (route.method == kCustom && route.customMethod != nullptr) return route.customMethod;
    return MethodName(route.method);
}

}  // namespace

HttpReply JsonErrorReply(int status, std::string_view message) {
    BindingProperty body;
    Require(body.MakeStructure());
    SetMemberSigned(body, "httpStatus", status);
    SetMemberString(body, "message", message);
    HttpReply reply;
    reply.status = status;
    reply.contentType = "application/json";
    reply.body = ToJsonText(body);
    return reply;
}

uint32_t MethodCode(std::string_view method) {
    static constexpr std::string_view kNames[] = {"DELETE", "GET",  "HEAD", "OPTIONS",
                                                  "PATCH",  "POST", "PUT"};
    for (uint32_t i = 0; i < 7; ++i) {
        if (method == kNames[i]) return i + 1;
    }
    return method.empty() ? 0 : kCustom;
}

const char* MethodName(uint32_t code) {
    static constexpr const char* kNames[] = {"*",     "DELETE", "GET", "HEAD",  "OPTIONS",
                                             "PATCH", "POST",   "PUT", "CUSTOM"};
    return code < 9 ? kNames[code] : "?";
}

bool RouteUrlMatches(std::string_view routeUrl, std::string_view path) {
    if (routeUrl.find('{') == std::string_view::npos) return routeUrl == path;
    const std::string tokens = Tokens(routeUrl);
    // reach[p]: the tokens so far can consume exactly path[0, p).
    std::vector<char> reach(path.size() + 1, 0);
    std::vector<char> next(path.size() + 1, 0);
    reach[0] = 1;
    for (size_t t = 0; t < tokens.size(); ++t) {
        std::fill(next.begin(), next.end(), 0);
        bool any = false;
        if (tokens[t] == '\0') {
            const Token kind = static_cast<Token>(tokens[++t]);
            bool open = false;  // a reachable start lies behind, with no "/" since (segments)
            for (size_t p = 0; p <= path.size(); ++p) {
                open = open || reach[p];
                next[p] = open;
                any = any || open;
                if (kind == Token::kSegment && p < path.size() && path[p] == '/') open = false;
            }
        } else {
            for (size_t p = 0; p < path.size(); ++p) {
                if (reach[p] && path[p] == tokens[t]) {
                    next[p + 1] = 1;
                    any = true;
                }
            }
        }
        if (!any) return false;
        reach.swap(next);
    }
    return reach[path.size()] != 0;
}

RouteLookup FindRoute(const HostApiTable* table, uint32_t method, std::string_view customMethod,
                      std::string_view path) {
    RouteLookup lookup;
    if (table == nullptr || table->routes == nullptr) return lookup;
    // Route urls are kept without a trailing "/" ("/pyx-missions/v1/series/" is served as
    // "/pyx-missions/v1/series"); the plugin's own matcher ignores one the same way.
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const uint32_t wanted = method == kHead ? kGet : method;
    for (uint32_t i = 0; i < table->routeCount; ++i) {
        const HostRouteRecord& route = table->routes[i];
        if (route.url == nullptr || route.url[0] == '\0' || route.requestCallback == nullptr) {
            continue;
        }
        if (!RouteUrlMatches(route.url, path)) continue;
        lookup.pathServed = true;
        const std::string name = RouteMethodName(route);
        if (std::find(lookup.allowed.begin(), lookup.allowed.end(), name) == lookup.allowed.end()) {
            lookup.allowed.push_back(name);
        }
        if (lookup.route == nullptr && MethodAccepts(route, wanted, customMethod)) {
            lookup.route = &route;
        }
    }
    return lookup;
}

HttpReply CallRoute(const HostRouteRecord& route, const HttpRequestData& request) {
    std::vector<HostHeader> headers;
    const char* contentType = "";
    for (const auto& [name, value] : request.headers) {
        headers.push_back(HostHeader{name.c_str(), value.c_str()});
        if (EqualsIgnoringCase(name, "Content-Type")) contentType = value.c_str();
    }
    uint32_t code = MethodCode(request.method);
    if (code == kHead) code = kGet;

    HostRouteRequest call{};
    call.method = code;
    call.path = request.target.c_str();
    call.context = route.function.context;
    call.headers = headers.empty() ? nullptr : headers.data();
    call.headerCount = static_cast<uint32_t>(headers.size());
    call.contentType = contentType;
    call.body =
        request.body.empty() ? nullptr : reinterpret_cast<const uint8_t*>(request.body.data());
    call.bodyLength = static_cast<uint32_t>(request.body.size());
    call.callerToken = request.callerToken;
    call.customMethod = code == kCustom ? request.method.c_str() : nullptr;

    HostRouteResponse response{};
    route.requestCallback(&response, &call);

    HttpReply reply;
    if (response.error != nullptr || response.errorFlag != 0) {
        const int status = response.status != 0 ? response.status : 500;
        reply =
            JsonErrorReply(status, response.error != nullptr ? response.error : "Request failed");
    } else if (response.streamRead != nullptr) {
        std::string data;
        std::vector<char> buffer(64 * 1024);
        bool ok = true;
        uint8_t more = 1;
        while (more != 0) {
            uint32_t count = static_cast<uint32_t>(buffer.size());
            more = 0;
            if (response.streamRead(response.streamObject, buffer.data(), &count, &more) == 0 ||
                count > buffer.size() || data.size() + count > kMaxStreamBytes) {
                ok = false;
                break;
            }
            data.append(buffer.data(), count);
        }
        if (response.streamRelease != nullptr) response.streamRelease(response.streamObject);
        if (ok) {
            reply.status = response.status != 0 ? response.status : 200;
            reply.contentType = "application/json";
            reply.body = std::move(data);
        } else {
            reply = JsonErrorReply(500, "Stream read error");
        }
    } else if (response.value.type == kHostValueNone) {
        reply.status = response.status != 0 ? response.status : 204;
    } else {
        BindingProperty value;
        HostErrorSlot error;
        if (HostValueToBinding(response.value, "<response>", value, error)) {
            reply.status = response.status != 0 ? response.status : 200;
            reply.contentType = "application/json";
            reply.body = ToJsonText(value);
        } else {
            reply = JsonErrorReply(500, std::string("Unreadable response value: ") +
                                            (error.text != nullptr ? error.text : ""));
        }
        ReleaseHostError(error);
    }
    if (response.statusMessage != nullptr) reply.reason = response.statusMessage;
    for (uint32_t i = 0; response.headers != nullptr && i < response.headerCount; ++i) {
        const HostHeader& header = response.headers[i];
        if (header.name == nullptr || header.name[0] == '\0') continue;
        if (EqualsIgnoringCase(header.name, "Content-Type") && header.value != nullptr) {
            reply.contentType = header.value;
            continue;
        }
        reply.headers.emplace_back(header.name, header.value != nullptr ? header.value : "");
    }
    if (response.release != nullptr) response.release(&response);
    return reply;
}

}  // namespace Vane::DevHost
