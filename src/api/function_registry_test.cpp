#include "api/function_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api/dispatch_test_support.h"

namespace Vane {
namespace {

std::unique_ptr<FunctionHandler> Handler() {
    return std::make_unique<testing::EchoHandler>(std::vector<std::string>{});
}

FunctionDefinition Definition(std::vector<std::string> arguments = {}) {
    FunctionDefinition definition;
    for (std::string& name : arguments) {
        definition.arguments.push_back(
            ArgumentDefinition{.name = std::move(name),
                               .type = {static_cast<uint32_t>(NativeKind::kString), 0, nullptr}});
    }
    return definition;
}

TEST(FunctionRegistryTest, RoutesAreNamedFromMethodAndUrl) {
    struct Case {
        HttpMethod method;
        const char* url;
        const char* name;
        const char* storedUrl;
    };
    const Case cases[] = {
        {HttpMethod::kGet, "/pyx-missions/v1/missions", "GetPyxMissionsV1Missions",
         "/pyx-missions/v1/missions"},
        {HttpMethod::kGet, "/pyx-missions/v1/series/", "GetPyxMissionsV1Series",
         "/pyx-missions/v1/series"},
        {HttpMethod::kPatch, "/pyx-missions/v1/player", "PatchPyxMissionsV1Player",
         "/pyx-missions/v1/player"},
        {HttpMethod::kPut, "/pyx-missions/v1/player", "PutPyxMissionsV1Player",
         "/pyx-missions/v1/player"},
        {HttpMethod::kPost, "/pyx-missions/v1/force", "PostPyxMissionsV1Force",
         "/pyx-missions/v1/force"},
        {HttpMethod::kDelete, "/pyx-missions/v1/series/{seriesId}",
         "DeletePyxMissionsV1SeriesBySeriesId", "/pyx-missions/v1/series/{seriesId}"},
        {HttpMethod::kGet, "/", "Get", "/"},
    };
    LocalApi api;
    for (const Case& c : cases) {
        auto registered = RegisterRoute(api, c.method, c.url, Definition(), Handler());
        ASSERT_TRUE(registered.HasValue()) << c.url << ": " << registered.GetFailure().Message();
        const RouteBinding* binding = registered.Value();
        EXPECT_EQ(binding->function->name, c.name);
        EXPECT_EQ(binding->url, c.storedUrl);
        EXPECT_EQ(binding->method, c.method);
        EXPECT_EQ(binding->route.Template(), c.storedUrl);
        EXPECT_EQ(binding->api, &api);
        EXPECT_EQ(binding->function->registry, &api.Types());
        EXPECT_EQ(api.FindBinding(c.name), binding);
    }
    EXPECT_EQ(api.Size(), std::size(cases));
}

TEST(FunctionRegistryTest, FunctionsByNameMatchTheirName) {
    LocalApi api;
    FunctionDefinition definition = Definition({"a", "b"});
    definition.name = "Help";
    definition.options.tags = {"$builtin"};
    auto registered = RegisterFunction(api, std::move(definition), Handler());
    ASSERT_TRUE(registered.HasValue()) << registered.GetFailure().Message();
    const RouteBinding* binding = registered.Value();
    EXPECT_EQ(binding->url, "");
    EXPECT_EQ(binding->method, HttpMethod::kAny);
    EXPECT_EQ(binding->route.Template(), "Help");
    EXPECT_TRUE(binding->route.IsLiteral());
    EXPECT_EQ(binding->function->ArgumentIndex("b"), 1);
    EXPECT_EQ(binding->function->ArgumentIndex("c"), -1);
    EXPECT_EQ(binding->function->ArgumentIndex("B"), -1);
    EXPECT_EQ(binding->argumentLocations.size(), 2u);
}

TEST(FunctionRegistryTest, EveryFunctionIsDescribedInTheTypeRegistry) {
    LocalApi api;
    FunctionDefinition definition;
    definition.arguments = {ArgumentDefinition{
        .name = "ids",
        .type = {static_cast<uint32_t>(NativeKind::kVector),
                 static_cast<uint32_t>(NativeKind::kInt32), nullptr},
        .location = ArgumentLocation::kBody,
        .optional = true,
        .description = "Ids to mark.",
        .alternateType = {static_cast<uint32_t>(NativeKind::kObject), 0, nullptr}}};
    definition.returns = {static_cast<uint32_t>(NativeKind::kString), 0, nullptr};
    definition.options = FunctionOptions{.nameSpace = "ns",
                                         .description = "Marks.",
                                         .help = "Long help.",
                                         .tags = {"a", "b"},
                                         .threadSafe = true,
                                         .flag = 3,
                                         .stringGroups = {{"x", "y"}, {}}};
    auto registered =
        RegisterRoute(api, HttpMethod::kPut, "/mark", std::move(definition), Handler());
    ASSERT_TRUE(registered.HasValue()) << registered.GetFailure().Message();
    EXPECT_EQ(registered.Value()->flag, 3);
    EXPECT_EQ(registered.Value()->stringGroups,
              (std::vector<std::vector<std::string>>{{"x", "y"}, {}}));
    EXPECT_EQ(registered.Value()->bodyArgument, 0);

    auto functions = api.Types().Functions();
    ASSERT_TRUE(functions.HasValue());
    ASSERT_EQ(functions.Value().size(), 1u);
    const FunctionDescription& described = functions.Value()[0];
    EXPECT_EQ(described.name, "PutMark");
    EXPECT_EQ(described.nameSpace, "ns");
    EXPECT_EQ(described.description, "Marks.");
    EXPECT_EQ(described.help, "Long help.");
    EXPECT_EQ(described.tags, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(described.threadSafe);
    EXPECT_EQ(described.returns.kind, static_cast<uint32_t>(NativeKind::kString));
    ASSERT_EQ(described.arguments.size(), 1u);
    EXPECT_EQ(described.arguments[0].name, "ids");
    EXPECT_EQ(described.arguments[0].description, "Ids to mark.");
    EXPECT_EQ(described.arguments[0].type.elementKind, static_cast<uint32_t>(NativeKind::kInt32));
    EXPECT_EQ(described.arguments[0].alternateType.kind,
              static_cast<uint32_t>(NativeKind::kObject));
    EXPECT_TRUE(described.arguments[0].optional);
}

TEST(FunctionRegistryTest, FaultyRegistrationsRecordNothing) {
    LocalApi api;
    ASSERT_TRUE(RegisterRoute(api, HttpMethod::kGet, "/taken", Definition(), Handler()).HasValue());
    FunctionDefinition described;
    described.name = "DescribedElsewhere";
    ASSERT_TRUE(api.Types().AddFunction(FunctionDescription{.name = "DescribedElsewhere"}));

    struct Case {
        const char* label;
        MaybeType<Failure, const RouteBinding*> outcome;
        const char* message;
    };
    FunctionDefinition unnamed;
    Case cases[] = {
        {"repeated name", RegisterRoute(api, HttpMethod::kGet, "/taken/", Definition(), Handler()),
         "Function 'GetTaken' is already registered."},
        {"repeated argument",
         RegisterRoute(api, HttpMethod::kGet, "/args", Definition({"a", "b", "a"}), Handler()),
         "Argument 'a' of 'GetArgs' is declared twice."},
        {"stray brace", RegisterRoute(api, HttpMethod::kGet, "/x}/{id}", Definition(), Handler()),
         "Invalid route template '/x}/{id}': '}' outside a placeholder."},
        {"open hole", RegisterRoute(api, HttpMethod::kGet, "/x/{id", Definition(), Handler()),
         "Invalid route template '/x/{id': unclosed placeholder."},
        {"no handler", RegisterRoute(api, HttpMethod::kGet, "/none", Definition(), nullptr),
         "Function 'GetNone' has no handler."},
        {"custom method", RegisterRoute(api, HttpMethod::kCustom, "/c", Definition(), Handler()),
         "Route '/c' needs one of the methods DELETE, GET, HEAD, OPTIONS, PATCH, POST and PUT."},
        {"any method", RegisterRoute(api, HttpMethod::kAny, "/c", Definition(), Handler()),
         "Route '/c' needs one of the methods DELETE, GET, HEAD, OPTIONS, PATCH, POST and PUT."},
        {"empty name", RegisterFunction(api, std::move(unnamed), Handler()),
         "A function needs a name."},
        {"described elsewhere", RegisterFunction(api, std::move(described), Handler()),
         "Function 'DescribedElsewhere' is already described in the type registry."},
    };
    for (Case& c : cases) {
        ASSERT_TRUE(c.outcome.IsFailure()) << c.label;
        EXPECT_EQ(c.outcome.GetFailure().Message(), c.message) << c.label;
        EXPECT_EQ(c.outcome.GetFailure().Code(), kRegistrationFailureCode) << c.label;
    }
    EXPECT_EQ(api.Size(), 1u);
    EXPECT_EQ(api.FindBinding("DescribedElsewhere"), nullptr);
    auto functions = api.Types().Functions();
    ASSERT_TRUE(functions.HasValue());
    EXPECT_EQ(functions.Value().size(), 2u);  // GetTaken and the one added directly
    auto bindings = api.Bindings();
    ASSERT_TRUE(bindings.HasValue());
    ASSERT_EQ(bindings.Value().size(), 1u);
}

TEST(FunctionRegistryTest, BindingsAreListedByFunctionName) {
    LocalApi api;
    for (const char* url : {"/zeta", "/alpha", "/mid/{x}"}) {
        ASSERT_TRUE(RegisterRoute(api, HttpMethod::kGet, url, Definition(), Handler()).HasValue());
    }
    auto bindings = api.Bindings();
    ASSERT_TRUE(bindings.HasValue());
    std::vector<std::string> names;
    for (const RouteBinding* binding : bindings.Value()) names.push_back(binding->function->name);
    EXPECT_EQ(names, (std::vector<std::string>{"GetAlpha", "GetMidByX", "GetZeta"}));
}

}  // namespace
}  // namespace Vane
