#include "devhost/access_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace Vane::DevHost {
namespace {

constexpr int kPort = 18090;

// A same-host request with nothing else set.
GuardedRequest Plain(std::string_view method, std::string_view host = "127.0.0.1:18090") {
    GuardedRequest request;
    request.method = method;
    request.path = "/pyx-missions/v1/missions";
    request.host = host;
    return request;
}

std::string Header(const AccessVerdict& verdict, std::string_view name) {
    for (const auto& [key, value] : verdict.headers) {
        if (key == name) return value;
    }
    return {};
}

TEST(AccessGuardTest, HostMustNameThisServer) {
    AccessOptions options;
    options.allowedHosts = {"devbox.lan", "Other.Example:9000"};
    AccessGuard guard(options, kPort);
    struct Case {
        std::string_view host;
        int status;
    };
    const Case cases[] = {
        {"127.0.0.1:18090", 0},
        {"localhost:18090", 0},
        {"LOCALHOST:18090", 0},
        {"[::1]:18090", 0},
        {"devbox.lan:18090", 0},
        {"attacker.example:18090", 403},
        {"attacker.example", 403},
        {"127.0.0.1:18091", 403},  // another port: another server
        {"127.0.0.1", 403},        // port 80 implied
        {"localhost.attacker.example:18090", 403},
        {"127.0.0.1:18090:18090", 403},
        {"[::1:18090", 403},
        {"[::1]x18090", 403},
        {"127.0.0.1:", 403},
        {"127.0.0.1:-1", 403},
        {"other.example:9000", 403},  // allowed only on the port it names
        {"", 403},
    };
    for (const Case& c : cases) {
        AccessVerdict verdict = guard.Check(Plain("GET", c.host));
        EXPECT_EQ(verdict.status, c.status) << c.host;
        if (c.status == 403) {
            EXPECT_NE(verdict.message.find("--allow-host"), std::string::npos) << c.host;
        }
    }
    GuardedRequest noHost = Plain("GET");
    noHost.host.reset();
    EXPECT_EQ(guard.Check(noHost).status, 400);

    AccessGuard onPort9000(options, 9000);
    EXPECT_EQ(onPort9000.Check(Plain("GET", "other.example:9000")).status, 0);
}

TEST(AccessGuardTest, BoundAddressIsAllowedAsHost) {
    AccessOptions options;
    options.bindAddress = "192.168.1.20";
    options.token = "secret";
    AccessGuard guard(options, kPort);
    GuardedRequest request = Plain("GET", "192.168.1.20:18090");
    request.authorization = "Bearer secret";
    EXPECT_EQ(guard.Check(request).status, 0);
}

TEST(AccessGuardTest, WritesFromAnotherOriginAreRefused) {
    AccessGuard guard(AccessOptions{}, kPort);
    struct Case {
        std::string_view method;
        std::optional<std::string_view> origin;
        int status;
    };
    const Case cases[] = {
        {"POST", "http://attacker.example", 403},
        {"PUT", "http://attacker.example", 403},
        {"PATCH", "http://attacker.example", 403},
        {"DELETE", "http://attacker.example", 403},
        {"POST", "null", 403},                    // sandboxed frames and files
        {"POST", "http://127.0.0.1:18091", 403},  // another port is another origin
        {"POST", "https://127.0.0.1:18090", 403},
        {"POST", "http://127.0.0.1:18090", 0},  // the console itself
        {"POST", std::nullopt, 0},              // curl and other tools send none
        {"GET", "http://attacker.example", 0},  // reads: the page cannot see the answer
        {"HEAD", "http://attacker.example", 0},
    };
    for (const Case& c : cases) {
        GuardedRequest request = Plain(c.method);
        request.origin = c.origin;
        const AccessVerdict verdict = guard.Check(request);
        EXPECT_EQ(verdict.status, c.status) << c.method << " " << c.origin.value_or("(none)");
        EXPECT_EQ(Header(verdict, "Access-Control-Allow-Origin"), "");
    }
}

TEST(AccessGuardTest, SimpleBodyTypesAreRefusedOnWrites) {
    AccessGuard guard(AccessOptions{}, kPort);
    struct Case {
        std::string_view method;
        std::string_view contentType;
        bool hasBody;
        int status;
    };
    const Case cases[] = {
        {"POST", "text/plain", true, 415},
        {"PUT", "text/plain;charset=UTF-8", true, 415},
        {"PATCH", " Application/X-WWW-Form-Urlencoded ", true, 415},
        {"POST", "multipart/form-data; boundary=x", true, 415},
        {"POST", "application/json", true, 0},
        {"POST", "application/x-msgpack", true, 0},
        {"POST", "application/x-yaml", true, 0},
        // curl -d "" names a form type for an empty body: nothing to misread.
        {"POST", "application/x-www-form-urlencoded", false, 0},
        {"GET", "text/plain", true, 0},
    };
    for (const Case& c : cases) {
        GuardedRequest request = Plain(c.method);
        request.contentType = c.contentType;
        request.hasBody = c.hasBody;
        const AccessVerdict verdict = guard.Check(request);
        EXPECT_EQ(verdict.status, c.status) << c.method << " " << c.contentType;
        if (c.status == 415) {
            EXPECT_NE(verdict.message.find("application/json"), std::string::npos);
        }
    }
}

TEST(AccessGuardTest, OnlyTheAllowedOriginGetsCorsHeadersAndPreflights) {
    AccessOptions options;
    options.allowedOrigin = "http://localhost:5173";
    AccessGuard guard(options, kPort);

    GuardedRequest preflight = Plain("OPTIONS");
    preflight.origin = "http://localhost:5173";
    preflight.preflightMethod = "PUT";
    preflight.preflightHeaders = "content-type";
    AccessVerdict verdict = guard.Check(preflight);
    EXPECT_EQ(verdict.status, 204);
    EXPECT_EQ(Header(verdict, "Access-Control-Allow-Origin"), "http://localhost:5173");
    EXPECT_NE(Header(verdict, "Access-Control-Allow-Methods").find("PUT"), std::string::npos);
    EXPECT_EQ(Header(verdict, "Access-Control-Allow-Headers"), "content-type");

    preflight.preflightHeaders = "content-type\r\nSet-Cookie: x";  // never echoed
    EXPECT_EQ(Header(guard.Check(preflight), "Access-Control-Allow-Headers"), "");

    GuardedRequest write = Plain("PUT");
    write.origin = "http://localhost:5173";
    write.contentType = "application/json";
    write.hasBody = true;
    verdict = guard.Check(write);
    EXPECT_EQ(verdict.status, 0);
    EXPECT_EQ(Header(verdict, "Access-Control-Allow-Origin"), "http://localhost:5173");

    for (std::string_view origin : {"http://localhost:5174", "http://attacker.example"}) {
        GuardedRequest foreign = preflight;
        foreign.origin = origin;
        verdict = guard.Check(foreign);
        EXPECT_EQ(verdict.status, 403) << origin;
        EXPECT_EQ(Header(verdict, "Access-Control-Allow-Origin"), "") << origin;
        GuardedRequest read = Plain("GET");
        read.origin = origin;
        EXPECT_EQ(Header(guard.Check(read), "Access-Control-Allow-Origin"), "") << origin;
    }
}

TEST(AccessGuardTest, TokenIsRequiredByHeaderOrCookieWhenSet) {
    AccessOptions options;
    options.token = "0123456789abcdef";
    AccessGuard guard(options, kPort);
    struct Case {
        std::optional<std::string_view> authorization;
        std::optional<std::string_view> cookie;
        int status;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, 401},
        {"Bearer 0123456789abcdef", std::nullopt, 0},
        {"bearer 0123456789abcdef ", std::nullopt, 0},
        {"Bearer 0123456789abcde", std::nullopt, 401},
        {"Bearer 0123456789abcdef0", std::nullopt, 401},
        {"Basic 0123456789abcdef", std::nullopt, 401},
        {"Bearer ", std::nullopt, 401},
        {std::nullopt, "devhost_token=0123456789abcdef", 0},
        {std::nullopt, "theme=dark; devhost_token=0123456789abcdef; x=1", 0},
        {std::nullopt, "devhost_token=wrong", 401},
        {std::nullopt, "other_devhost_token=0123456789abcdef", 401},
    };
    for (const Case& c : cases) {
        GuardedRequest request = Plain("GET");
        request.authorization = c.authorization;
        request.cookie = c.cookie;
        const AccessVerdict verdict = guard.Check(request);
        EXPECT_EQ(verdict.status, c.status)
            << c.authorization.value_or("-") << " / " << c.cookie.value_or("-");
        if (c.status == 401) {
            EXPECT_EQ(Header(verdict, "WWW-Authenticate"), "Bearer");
        }
    }
}

TEST(AccessGuardTest, ConsoleLinkCodeSetsTheCookieOnce) {
    AccessOptions options;
    options.token = "0123456789abcdef";
    AccessGuard guard(options, kPort);
    const std::string code = guard.NewOneTimeCode();
    ASSERT_EQ(code.size(), 32u);

    GuardedRequest link = Plain("GET");
    link.path = "/";
    link.oneTimeCode = code;
    AccessVerdict verdict = guard.Check(link);
    EXPECT_EQ(verdict.status, 303);
    EXPECT_EQ(Header(verdict, "Location"), "/");
    const std::string cookie = Header(verdict, "Set-Cookie");
    EXPECT_EQ(cookie.rfind("devhost_token=0123456789abcdef;", 0), 0u) << cookie;
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);

    // Used once, the link is worthless.
    EXPECT_EQ(guard.Check(link).status, 401);
    link.oneTimeCode = "";
    EXPECT_EQ(guard.Check(link).status, 401);

    AccessGuard withoutToken(AccessOptions{}, kPort);
    EXPECT_EQ(withoutToken.NewOneTimeCode(), "");
}

TEST(AccessGuardTest, RandomTokensDiffer) {
    const std::string a = RandomToken();
    const std::string b = RandomToken();
    ASSERT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
}

}  // namespace
}  // namespace Vane::DevHost
