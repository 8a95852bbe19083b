#include "api/route_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/dispatch_test_support.h"
#include "api/request_dispatch.h"
#include "api/typed_handler.h"
#include "types/event_builder.h"
#include "types/record_description.h"

namespace Vane {
namespace route_table_test {

struct Item {
    std::string id;
    int32_t count = 0;
};

}  // namespace route_table_test

template <>
struct TypeDescription<route_table_test::Item> {
    static void Describe(RecordBuilder<route_table_test::Item>& r) {
        r.Name("RouteTableItem").Description("An item.");
        r.Field("id", &route_table_test::Item::id);
        r.Field("count", &route_table_test::Item::count);
    }
};

namespace {

using route_table_test::Item;

// Reads a field of a packed record the way a host does: by byte offset.
template <class T>
T At(const void* record, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + offset, sizeof(T));
    return value;
}

class RouteTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto items = RegisterRoute(
            api_, HttpMethod::kGet, "/pyx/v1/items/{id}",
            [](const std::string& id, int32_t count) {
                return Item{id, count};
            },
            {{"id", ArgumentLocation::kPath}, {"count", ArgumentLocation::kAny, "How many."}});
        ASSERT_TRUE(items.HasValue()) << items.GetFailure().Message();
        items_ = items.Value();

        auto force = RegisterRoute(api_, HttpMethod::kPost, "/pyx/v1/force/", [] {});
        ASSERT_TRUE(force.HasValue()) << force.GetFailure().Message();
        force_ = force.Value();

        FunctionDefinition purge;
        purge.name = "Purge";
        purge.arguments = {ArgumentDefinition{.name = "what",
                                              .type = {static_cast<uint32_t>(NativeKind::kString)},
                                              .location = ArgumentLocation::kHeader},
                           ArgumentDefinition{.name = "odd",
                                              .type = {static_cast<uint32_t>(NativeKind::kString)},
                                              .location = static_cast<ArgumentLocation>(9)}};
        purge.options.flag = 0xA5;
        purge.options.stringGroups = {{"one", "two"}, {}, {"three"}};
        auto registered = api_.Register(
            std::move(purge),
            std::make_unique<testing::EchoHandler>(std::vector<std::string>{"what", "odd"}), "",
            HttpMethod::kCustom, "PURGE");
        ASSERT_TRUE(registered.HasValue()) << registered.GetFailure().Message();
        purge_ = registered.Value();

        BeginEvent<Item>(api_.Types(), "OnItem").Description("An item changed.");

        auto table = BuildHostRouteTable(api_);
        ASSERT_TRUE(table.HasValue()) << table.GetFailure().Message();
        table_ = std::move(table).Value();
    }

    LocalApi api_;
    const RouteBinding* items_ = nullptr;
    const RouteBinding* force_ = nullptr;
    const RouteBinding* purge_ = nullptr;
    std::unique_ptr<HostRouteTable> table_;
};

TEST_F(RouteTableTest, TableSummarisesRoutesTypesAndEvents) {
    const HostApiTable& table = table_->Table();
    const HostApiSummary& summary = table_->Description().Summary();
    ASSERT_EQ(sizeof(HostApiTable), sizeof(void*) == 4 ? 24u : 36u);
    EXPECT_EQ(At<const void*>(&table, offsetof(HostApiTable, routes)), table_->Routes().data());
    EXPECT_EQ(At<uint32_t>(&table, offsetof(HostApiTable, routeCount)), 3u);
    EXPECT_EQ(testing::Unpacked(table.types), testing::Unpacked(summary.types));
    EXPECT_EQ(testing::Unpacked(table.typeCount), testing::Unpacked(summary.typeCount));
    EXPECT_EQ(testing::Unpacked(table.events), testing::Unpacked(summary.events));
    EXPECT_EQ(testing::Unpacked(table.eventCount), 1u);
    ASSERT_GE(testing::Unpacked(table.typeCount), 1u);
    EXPECT_STREQ(table.types[0].name, "RouteTableItem");
    EXPECT_STREQ(table.events[0].name, "OnItem");
    EXPECT_STREQ(table.events[0].payloadTypeName, "RouteTableItem");
}

// Walks the records as a host does: indexed by the record size, fields read at their offsets.
TEST_F(RouteTableTest, RecordsHoldTheirBindingsInFunctionNameOrder) {
    const HostApiTable& table = table_->Table();
    const auto* base = reinterpret_cast<const uint8_t*>(table.routes);
    struct Expected {
        const char* name;
        const RouteBinding* binding;
        const char* url;
        uint32_t method;
        std::vector<uint8_t> locations;
        uint8_t flag;
        std::vector<std::vector<std::string>> groups;
        const char* customMethod;
    };
    const Expected expected[] = {
        {"GetPyxV1ItemsById", items_, "/pyx/v1/items/{id}", 2, {2, 0}, 0, {}, ""},
        {"PostPyxV1Force", force_, "/pyx/v1/force", 6, {}, 0, {}, ""},
        {"Purge", purge_, "", 8, {4, 0}, 0xA5, {{"one", "two"}, {}, {"three"}}, "PURGE"},
    };
    ASSERT_EQ(table.routeCount, std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Expected& e = expected[i];
        const uint8_t* record = base + i * sizeof(HostRouteRecord);
        const char* name = At<const char*>(record, offsetof(HostFunctionRecord, name));
        ASSERT_STREQ(name, e.name);
        EXPECT_EQ(At<const void*>(record, offsetof(HostFunctionRecord, context)), e.binding);
        EXPECT_EQ(At<HostRouteFn>(record, offsetof(HostRouteRecord, requestCallback)),
                  &HandleRequest);
        EXPECT_STREQ(At<const char*>(record, offsetof(HostRouteRecord, url)), e.url);
        EXPECT_EQ(At<uint32_t>(record, offsetof(HostRouteRecord, method)), e.method);
        EXPECT_EQ(At<uint8_t>(record, offsetof(HostRouteRecord, flag)), e.flag);
        EXPECT_STREQ(At<const char*>(record, offsetof(HostRouteRecord, customMethod)),
                     e.customMethod);

        const auto* arguments = At<const uint8_t*>(record, offsetof(HostRouteRecord, arguments));
        if (e.locations.empty()) {
            EXPECT_EQ(arguments, nullptr) << e.name;
        }
        for (size_t a = 0; a < e.locations.size(); ++a) {
            ASSERT_NE(arguments, nullptr) << e.name;
            const uint8_t* argument = arguments + a * 8;
            EXPECT_EQ(At<uint32_t>(argument, 0), 0u);
            EXPECT_EQ(argument[4], e.locations[a]) << e.name << " argument " << a;
            EXPECT_EQ(argument[5] | argument[6] | argument[7], 0);
        }

        const auto* groups = At<const uint8_t*>(record, offsetof(HostRouteRecord, stringGroups));
        const auto groupCount = At<uint32_t>(record, offsetof(HostRouteRecord, stringGroupCount));
        ASSERT_EQ(groupCount, e.groups.size()) << e.name;
        if (e.groups.empty()) {
            EXPECT_EQ(groups, nullptr);
        }
        for (size_t g = 0; g < e.groups.size(); ++g) {
            const uint8_t* group = groups + g * sizeof(HostStringGroup);
            EXPECT_EQ(At<uint32_t>(group, 0), 0u);
            const auto* texts = At<const char* const*>(group, offsetof(HostStringGroup, texts));
            ASSERT_EQ(At<uint32_t>(group, offsetof(HostStringGroup, count)), e.groups[g].size());
            for (size_t t = 0; t < e.groups[g].size(); ++t) {
                EXPECT_STREQ(texts[t], e.groups[g][t].c_str());
            }
        }
    }
}

// The first bytes of a route record are the function record of its name, context aside.
TEST_F(RouteTableTest, RecordsStartWithTheirFunctionRecord) {
    for (const HostRouteRecord& route : table_->Routes()) {
        const HostFunctionRecord* function =
            table_->Description().FindFunction(route.function.name);
        ASSERT_NE(function, nullptr) << route.function.name;
        HostFunctionRecord copy = route.function;
        EXPECT_NE(testing::Unpacked(copy.context), nullptr);
        copy.context = nullptr;
        EXPECT_EQ(std::memcmp(&copy, function, sizeof(HostFunctionRecord)), 0)
            << route.function.name;
    }
    const HostFunctionRecord& items = table_->Routes()[0].function;
    ASSERT_EQ(testing::Unpacked(items.argumentCount), 2u);
    EXPECT_STREQ(items.arguments[0].name, "id");
    EXPECT_STREQ(items.arguments[1].name, "count");
    EXPECT_STREQ(items.arguments[1].description, "How many.");
    EXPECT_EQ(testing::Unpacked(items.arguments[0].next), &items.arguments[1]);
    EXPECT_EQ(testing::Unpacked(items.returnKind), static_cast<uint32_t>(NativeKind::kStruct));
    EXPECT_STREQ(items.returnTypeName, "RouteTableItem");
    const HostFunctionRecord& force = table_->Routes()[1].function;
    EXPECT_EQ(testing::Unpacked(force.arguments), nullptr);
    EXPECT_EQ(testing::Unpacked(force.argumentCount), 0u);
    EXPECT_EQ(testing::Unpacked(force.returnKind), 0u);

    // The copied `next` links still walk the description's function list.
    size_t walked = 0;
    for (const HostFunctionRecord* at = table_->Description().Functions().data(); at;
         at = at->next) {
        ++walked;
    }
    EXPECT_EQ(walked, 3u);
}

TEST_F(RouteTableTest, HostCallsThroughTheRecord) {
    const HostRouteRecord& record = table_->Routes()[0];
    testing::TestRequest request;
    request.path = "/pyx/v1/items/abc";
    HostValue count{};
    count.type = kHostValueUnsigned;
    count.payload.u64 = 4;
    request.arguments = {HostArgument{"count", count}};
    HostRouteRequest raw = request.Build(nullptr);
    raw.context = record.function.context;
    HostRouteResponse response{};
    record.requestCallback(&response, &raw);
    const testing::CallOutcome outcome = testing::ReadResponse(response);
    response.release(&response);
    EXPECT_FALSE(outcome.failed) << outcome.error;
    EXPECT_EQ(outcome.json, R"({"count":4,"id":"abc"})");
}

TEST(RouteTableEmptyTest, AnEmptyApiGivesAnEmptyTable) {
    LocalApi api;
    auto table = BuildHostRouteTable(api);
    ASSERT_TRUE(table.HasValue());
    EXPECT_EQ(testing::Unpacked(table.Value()->Table().routes), nullptr);
    EXPECT_EQ(testing::Unpacked(table.Value()->Table().routeCount), 0u);
    EXPECT_EQ(testing::Unpacked(table.Value()->Table().typeCount), 0u);
}

}  // namespace
}  // namespace Vane
