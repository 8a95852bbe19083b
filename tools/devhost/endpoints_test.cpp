#include "devhost/endpoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "devhost/endpoint_example_test_support.h"

namespace Vane::DevHost {
namespace {

using testing::ExamplePath;

bool Serves(const EndpointDescription& endpoint, HttpMethod method) {
    const std::vector<HttpMethod> methods = ServedMethods(endpoint);
    return std::find(methods.begin(), methods.end(), method) != methods.end();
}

// The server hands a request to the first endpoint, in matching order, that serves its method
// and whose pattern matches the whole path (as httplib does, with std::regex). A listed path
// another endpoint's pattern catches first, or its own pattern misses, cannot be reached.
TEST(Endpoints, EachListedPathReachesItsOwnEndpoint) {
    const std::vector<const EndpointDescription*> order = EndpointsInMatchingOrder();
    for (const EndpointDescription& endpoint : Endpoints()) {
        EXPECT_EQ(std::count(order.begin(), order.end(), &endpoint), 1) << endpoint.path;
        const std::string path = ExamplePath(endpoint);
        for (HttpMethod method : ServedMethods(endpoint)) {
            SCOPED_TRACE(std::string(HttpMethodName(method)) + " " + path);
            const auto first = std::find_if(order.begin(), order.end(), [&](auto* candidate) {
                return Serves(*candidate, method) &&
                       std::regex_match(path, std::regex(std::string(candidate->pattern)));
            });
            ASSERT_NE(first, order.end());
            EXPECT_EQ((*first)->id, endpoint.id) << "caught by " << (*first)->path;
        }
    }
}

TEST(Endpoints, AnswerSingleMethodsAndListTheirNames) {
    for (const EndpointDescription& endpoint : Endpoints()) {
        EXPECT_FALSE(HttpMethodName(endpoint.method).empty()) << endpoint.path;
        EXPECT_NE(endpoint.alsoMethod, endpoint.method) << endpoint.path;
        for (HttpMethod method : ServedMethods(endpoint)) {
            EXPECT_NE(method, HttpMethod::kNone) << endpoint.path;
            EXPECT_NE(method, HttpMethod::kAny) << endpoint.path;
        }
    }
}

}  // namespace
}  // namespace Vane::DevHost
