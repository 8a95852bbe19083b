#include "devhost/route_calls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace Vane::DevHost {
namespace {

TEST(RouteCalls, UrlTemplatesMatchSegmentsRestAndLiterals) {
    const struct {
        const char* url;
        const char* path;
        bool matches;
    } cases[] = {
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/missions", true},
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/missions/", false},
        {"/pyx-missions/v1/series", "/pyx-missions/v1/series", true},
        {"/items/{id}", "/items/42", true},
        {"/items/{id}", "/items/", true},  // a segment may be empty
        {"/items/{id}", "/items/4/2", false},
        {"/items/{id}/opt/{status}", "/items/a/opt/OPT_IN", true},
        {"/items/{id}.json", "/items/a.b.json", true},  // needs the segment to give back
        {"/files/{+path}", "/files/a/b/c", true},
        {"/files/{+path}/end", "/files/a/b/end", true},
        {"/doc{#frag}", "/doc#x/y", true},
        {"/doc{#frag}", "/docx", false},
        {"/a/{x}/{y}", "/a/b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RouteUrlMatches(c.url, c.path), c.matches) << c.url << " " << c.path;
    }
    // Long paths cost linear time per template piece, never backtracking.
    const std::string longPath = "/items/" + std::string(200000, 'a') + "x";
    EXPECT_FALSE(RouteUrlMatches("/items/{a}{b}{c}y", longPath));
}

int releases = 0;
void PYX_CDECL Release(HostRouteResponse* response) {
    ++releases;
    std::free(const_cast<char*>(response->error));
    std::memset(response, 0, sizeof(*response));
}
void PYX_CDECL Failing(HostRouteResponse* response, const HostRouteRequest* request) {
    response->error = strdup(request->path);
    response->errorFlag = 1;
    response->release = &Release;
}
void PYX_CDECL Empty(HostRouteResponse* response, const HostRouteRequest*) {
    response->release = &Release;
}

TEST(RouteCalls, FindsTheRouteAndReleasesEveryResponseOnce) {
    HostRouteRecord routes[3] = {};
    routes[0].url = "/a/{id}";
    routes[0].method = 2;
    routes[0].requestCallback = &Failing;
    routes[1].url = "/a/{id}";
    routes[1].method = 7;
    routes[1].requestCallback = &Empty;
    routes[2].url = "";  // a function without a url is not served over HTTP
    routes[2].requestCallback = &Empty;
    HostApiTable table{};
    table.routes = routes;
    table.routeCount = 3;

    RouteLookup lookup = FindRoute(&table, MethodCode("HEAD"), "", "/a/1");
    EXPECT_EQ(lookup.route, &routes[0]);
    // One trailing "/" is ignored, as the plugin's own matcher does.
    EXPECT_EQ(FindRoute(&table, MethodCode("GET"), "", "/a/1/").route, &routes[0]);
    EXPECT_FALSE(FindRoute(&table, MethodCode("GET"), "", "/a/1//").pathServed);
    lookup = FindRoute(&table, MethodCode("POST"), "", "/a/1");
    EXPECT_EQ(lookup.route, nullptr);
    EXPECT_TRUE(lookup.pathServed);
    EXPECT_EQ(lookup.allowed, (std::vector<std::string>{"GET", "PUT"}));
    EXPECT_FALSE(FindRoute(&table, MethodCode("GET"), "", "").pathServed);
    EXPECT_FALSE(FindRoute(nullptr, MethodCode("GET"), "", "/a/1").pathServed);

    releases = 0;
    HttpRequestData request;
    request.method = "GET";
    request.target = "/a/1?q=2";
    HttpReply reply = CallRoute(routes[0], request);
    EXPECT_EQ(reply.status, 500);  // an error without a status
    EXPECT_EQ(reply.body, R"({"httpStatus":500,"message":"/a/1?q=2"})");
    request.method = "PUT";
    reply = CallRoute(routes[1], request);
    EXPECT_EQ(reply.status, 204);
    EXPECT_EQ(reply.body, "");
    EXPECT_EQ(releases, 2);
}

}  // namespace
}  // namespace Vane::DevHost
