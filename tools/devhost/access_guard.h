// Who may talk to the development host. It serves the player's data and lets anyone who reaches
// it change the world, so every request passes here before any handler runs:
// - the Host header must name the host itself (loopback names, the bound address, names given
//   with --allow-host) on the serving port, which defeats DNS rebinding: a page of another site
//   that resolves its own name to 127.0.0.1 still sends its own name;
// - with a token (required by --bind), the request carries it as "Authorization: Bearer" or in
//   the cookie a one-time console link sets;
// - a request that can change state and comes from a page of another origin is refused, and a
//   write whose body is one of the types a page may send without a preflight (form, plain text)
//   is refused with 415, so no page can post to it blindly;
// - CORS headers are sent only to the one origin given with --allow-origin.
// This half knows no HTTP library; http_server.cpp feeds it each request's headers.
#ifndef PYX_DEVHOST_ACCESS_GUARD_H_
#define PYX_DEVHOST_ACCESS_GUARD_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/lock.h"
#include "util/thread_annotations.h"

namespace Vane::DevHost {

// The name of the cookie that carries the token for the console.
inline constexpr std::string_view kTokenCookie = "devhost_token";

struct AccessOptions {
    // The address the server listens on; besides the loopback names, the one Host name that is
    // always allowed.
    std::string bindAddress = "127.0.0.1";
    // Further names the Host header may carry (--allow-host), with or without the port.
    std::vector<std::string> allowedHosts;
    // The one foreign origin allowed to call, with CORS (--allow-origin), e.g.
    // "http://localhost:5173".
    std::optional<std::string> allowedOrigin;
    // When set, every request must carry it (--token).
    std::optional<std::string> token;
};

// What the guard reads of a request: absent headers are nullopt.
struct GuardedRequest {
    std::string_view method;
    std::string_view path;
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> contentType;
    std::optional<std::string_view> authorization;
    std::optional<std::string_view> cookie;
    std::optional<std::string_view> preflightMethod;   // Access-Control-Request-Method
    std::optional<std::string_view> preflightHeaders;  // Access-Control-Request-Headers
    std::optional<std::string_view> oneTimeCode;       // the "code" query parameter of GET /
    bool hasBody = false;
};

struct AccessVerdict {
    // 0 lets the request through to its handler; anything else is the whole answer.
    int status = 0;
    // Why it was refused (empty when it was not, or for an answer without a body).
    std::string message;
    // Headers to add to the answer, whoever makes it (CORS headers, a cookie, a redirect).
    std::vector<std::pair<std::string, std::string>> headers;
};

class AccessGuard {
  public:
    // A guard for a server on `port` (the port Host headers must name).
    AccessGuard(AccessOptions options, int port);

    // The verdict on `request`. Thread-safe.
    AccessVerdict Check(const GuardedRequest& request);

    // A fresh one-time code for the console link "/?code=...": redeemed once, it sets the token
    // cookie. Empty without a token. Each call replaces the previous code.
    std::string NewOneTimeCode();

    const AccessOptions& Options() const { return options_; }

  private:
    bool HostAllowed(std::string_view host) const;
    bool CarriesToken(const GuardedRequest& request) const;
    bool RedeemCode(std::string_view code);

    const AccessOptions options_;
    const int port_;
    Mutex mutex_;
    std::string oneTimeCode_ GUARDED_BY(mutex_);
};

// A random token of 32 hexadecimal digits from the system's random source; empty when it has
// none.
std::string RandomToken();

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_ACCESS_GUARD_H_
