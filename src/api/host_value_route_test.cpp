// Route calls whose typed handlers give their value in host form: the response must be the one
// the dynamic value and the response writer's conversion give, and be freed exactly once.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "api/dispatch_test_support.h"
#include "api/typed_handler.h"
#include "host/host_value_arena.h"
#include "types/large_document_records_test_support.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

using testing::CallOutcome;
using testing::TestRequest;
namespace records = large_document_records;

// One response read back: the outcome, the value as a dynamic value (which keeps signed and
// unsigned apart, unlike JSON), and the host type of the first text met in the value.
struct Answered {
    CallOutcome outcome;
    BindingProperty value;
    uint32_t textType = 0;
};

uint32_t FirstTextType(const HostValue& value) {
    const uint32_t type = value.type;
    if (type == kHostValueStringBorrowed || type == kHostValueStringOwned) return type;
    if (type == kHostValueCollection) {
        for (uint32_t i = 0; i < value.payload.collection.count; ++i) {
            if (uint32_t found = FirstTextType(value.payload.collection.items[i])) return found;
        }
    } else if (type == kHostValueStructure) {
        for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
            if (uint32_t found = FirstTextType(value.payload.structure.members[i].value)) {
                return found;
            }
        }
    }
    return 0;
}

// Reads and releases `response`.
Answered Read(HostRouteResponse& response) {
    Answered answered;
    answered.outcome = testing::ReadResponse(response);
    ConversionStatus value = HostValueToBinding(response.value, "<result>");
    EXPECT_TRUE(value.Ok()) << value.Error();
    EXPECT_TRUE(answered.value.MoveFrom(value.Value()));
    answered.textType = FirstTextType(response.value);
    EXPECT_NE(testing::Unpacked(response.release), nullptr);
    if (response.release) response.release(&response);
    const uint32_t type = response.value.type;
    EXPECT_EQ(type, kHostValueNone);  // release zeroes the record
    return answered;
}

// The route as the host calls it now.
Answered ThroughTheHost(const RouteBinding* binding, const std::string& path) {
    TestRequest request;
    request.path = path;
    const HostRouteRequest record = request.Build(binding);
    HostRouteResponse response{};
    HandleRequest(&response, &record);
    return Read(response);
}

// The route without the host form: the handler's dynamic value, converted by the response
// writer (what every call did before, and what callers that read Value() still get).
Answered ThroughTheValue(const RouteBinding* binding) {
    FunctionResult result;
    const uintptr_t token = binding->handler->Prepare(result, {}, 0);
    if (!result.IsFailure()) binding->handler->Invoke(result, nullptr, token, 0);
    EXPECT_EQ(result.HostValueTree(), nullptr);
    HostRouteResponse response{};
    WriteResponse(response, result, binding->function->registry);
    if (token != 0) binding->handler->Release(token);
    return Read(response);
}

records::Catalog SampleCatalog(size_t items) {
    records::Catalog catalog;
    records::Item item;
    item.id = std::string("a\0b", 3);
    item.name = "Name";
    item.position = UINT32_MAX;
    item.listedAt = UINT64_MAX;
    item.soldAt = INT64_MIN;
    item.weight = -1.5;
    item.parts.push_back({"PART", "Win", true, {1, 2, 3}, {"g1", ""}});
    item.offers.push_back({records::OfferType::kGift, "Icon", 1, true, "g1", {"u", true, ""}});
    item.offers.push_back({static_cast<records::OfferType>(77), "", 0, false, "", {}});
    item.notices.push_back({"WARN", "soon", UINT64_MAX});
    item.details.packaging.labels = {{"quantity", "2"}, {"", "empty key"}, {"z", ""}};
    catalog.items.assign(items, item);
    if (items > 1) catalog.items[1] = records::Item{};  // every field empty
    catalog.collections.push_back(records::Collection{});
    catalog.collections[0].tags = {"seasonal", ""};
    return catalog;
}

BindingProperty Nested(size_t depth) {
    BindingProperty value;
    BindingProperty* at = &value;
    for (size_t i = 0; i < depth; ++i) at = at->AppendElement();
    EXPECT_TRUE(at->SetString("bottom"));
    return value;
}

// Typed routes of every shape that matters, each called through the host and through the
// dynamic value: the same value (kinds included), failure, message and status.
TEST(HostValueRouteTest, HostFormMatchesTheValuePath) {
    LocalApi api;
    struct Route {
        const char* path;
        const RouteBinding* binding;
        bool failure;
    };
    auto add = [&](const char* path, auto function, bool failure = false) {
        auto registered = RegisterRoute(api, HttpMethod::kGet, path, std::move(function));
        EXPECT_TRUE(registered.HasValue()) << path;
        return Route{path, registered.HasValue() ? registered.Value() : nullptr, failure};
    };
    const Route routes[] = {
        add("/catalog", [] { return SampleCatalog(3); }),
        add("/items", [] { return SampleCatalog(5).items; }),
        add("/none", [] { return std::vector<records::Item>(); }),
        add("/empty-record", [] { return records::Collection{}; }),
        add("/offers",
            []() -> MaybeType<Failure, std::map<std::string, records::OfferType>> {
                return std::map<std::string, records::OfferType>{{"a", records::OfferType::kRental},
                                                                 {"b", records::OfferType(-5)}};
            }),
        add(
            "/refused",
            []() -> MaybeType<Failure, records::Catalog> {
                return Failure(409, std::string("Not now"));
            },
            true),
        add("/max", [] { return UINT64_MAX; }),
        add("/min", [] { return INT64_MIN; }),
        add("/text", [] { return std::string("x\0y", 3); }),
        add("/enum", [] { return records::OfferType::kTrade; }),
        add("/dynamic", [] { return Nested(kMaxNestingDepth); }),
        add(
            "/too-deep", [] { return Nested(kMaxNestingDepth + 1); }, true),
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.path);
        ASSERT_NE(route.binding, nullptr);
        const Answered now = ThroughTheHost(route.binding, route.path);
        const Answered before = ThroughTheValue(route.binding);
        EXPECT_EQ(now.outcome.failed, route.failure) << now.outcome.error;
        EXPECT_EQ(now.outcome.failed, before.outcome.failed);
        EXPECT_EQ(now.outcome.error, before.outcome.error);
        EXPECT_EQ(now.outcome.status, before.outcome.status);
        EXPECT_EQ(now.outcome.statusMessage, before.outcome.statusMessage);
        // Texts differ only in who owns them.
        EXPECT_EQ(now.outcome.valueType == kHostValueStringBorrowed ? kHostValueStringOwned
                                                                    : now.outcome.valueType,
                  before.outcome.valueType);
        EXPECT_EQ(now.outcome.json, before.outcome.json);
        EXPECT_TRUE(now.value == before.value);
        // The host form really was used: its texts are borrowed from the arena.
        if (before.textType != 0) {
            EXPECT_EQ(before.textType, kHostValueStringOwned);
            EXPECT_EQ(now.textType, kHostValueStringBorrowed);
        }
    }
    // Spot checks that the shapes came through at all.
    EXPECT_EQ(ThroughTheHost(routes[6].binding, "/max").outcome.json, "18446744073709551615");
    EXPECT_EQ(ThroughTheHost(routes[9].binding, "/enum").outcome.json, "\"TRADE\"");
    const Answered refused = ThroughTheHost(routes[5].binding, "/refused");
    EXPECT_EQ(refused.outcome.error, "Not now");
    const Answered deep = ThroughTheHost(routes[11].binding, "/too-deep");
    EXPECT_EQ(deep.outcome.status, 400);
    EXPECT_EQ(deep.outcome.error,
              "Couldn't convert value to the host form because it is nested deeper than 512 "
              "levels.");
}

// A handler of its own that gives a host-form value together with every other part of a
// response.
class ArenaHandler final : public FunctionHandler {
  public:
    uintptr_t Prepare(FunctionResult&, std::span<BindingProperty>, uint32_t) override { return 0; }
    void Invoke(FunctionResult& result, const RequestContext*, uintptr_t, uint32_t) override {
        sawRequest = result.HostValueRequested();
        result.status = 201;
        result.statusMessage = "Created";
        result.headers = {{"x-a", "1"}};
        result.SetValue(BindingProperty());
        HostValueArenaWriter writer(result.HostValueResolver());
        Walk(value, writer);
        result.SetHostValue(writer.Take());
        if (failAfter) result.SetFailure("changed my mind");
    }
    void Release(uintptr_t) noexcept override {}
    uint32_t ContextType() const noexcept override { return 0; }

    BindingProperty value;
    bool sawRequest = false;
    bool failAfter = false;
};

// The arena travels with the response and is freed by its release, once (ASan reports a leak or
// a second free); a failure set after the host value drops it.
TEST(HostValueRouteTest, ArenaResponsesCarryEveryPartAndReleaseOnce) {
    LocalApi api;
    auto owned = std::make_unique<ArenaHandler>();
    ArenaHandler* handler = owned.get();
    auto registered =
        RegisterRoute(api, HttpMethod::kGet, "/arena", FunctionDefinition(), std::move(owned));
    ASSERT_TRUE(registered.HasValue());
    EXPECT_TRUE(handler->value.MakeStructure());
    EXPECT_TRUE(handler->value.MemberForWrite("name")->SetString("value"));

    Answered answered = ThroughTheHost(registered.Value(), "/arena");
    EXPECT_TRUE(handler->sawRequest);
    EXPECT_FALSE(answered.outcome.failed);
    EXPECT_EQ(answered.outcome.json, R"({"name":"value"})");
    EXPECT_EQ(answered.textType, kHostValueStringBorrowed);
    EXPECT_EQ(answered.outcome.status, 201);
    EXPECT_EQ(answered.outcome.statusMessage, "Created");
    EXPECT_EQ(answered.outcome.headers,
              (std::vector<std::pair<std::string, std::string>>{{"x-a", "1"}}));

    handler->failAfter = true;
    answered = ThroughTheHost(registered.Value(), "/arena");
    EXPECT_TRUE(answered.outcome.failed);
    EXPECT_EQ(answered.outcome.error, "changed my mind");
    EXPECT_EQ(answered.outcome.valueType, kHostValueNone);
}

// Only a caller that asked gets the host form; the dynamic value and the host form replace
// each other, and a failure drops both.
TEST(HostValueRouteTest, ResultKeepsOneFormOfTheValue) {
    auto arenaOf = [](std::string_view text) {
        HostValueArenaWriter writer(nullptr);
        writer.WriteString(text);
        return writer.Take();
    };
    BindingProperty number;
    number.SetSigned(7);

    FunctionResult notAsked;
    notAsked.SetHostValue(arenaOf("ignored"));
    EXPECT_EQ(notAsked.HostValueTree(), nullptr);

    FunctionResult result;
    result.RequestHostValue(nullptr);
    ASSERT_TRUE(result.SetValue(BindingProperty(number)));
    result.SetHostValue(arenaOf("arena"));
    ASSERT_NE(result.HostValueTree(), nullptr);
    EXPECT_TRUE(result.Value().IsEmpty());
    ASSERT_TRUE(result.SetValue(BindingProperty(number)));
    EXPECT_EQ(result.HostValueTree(), nullptr);
    EXPECT_EQ(result.Value().GetSigned(), 7);

    result.SetHostValue(arenaOf("arena"));
    result.SetFailure("failed");
    EXPECT_EQ(result.HostValueTree(), nullptr);
    result.SetHostValue(arenaOf("after the failure"));
    EXPECT_EQ(result.HostValueTree(), nullptr);
    EXPECT_EQ(result.Error(), "failed");
}

}  // namespace
}  // namespace Vane
