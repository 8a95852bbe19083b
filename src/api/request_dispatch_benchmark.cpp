// Dispatch cost per route call, through HandleRequest and the response's release, as the host
// pays it. Budgets: a literal route without arguments returning a small value under 1 us; a
// template route with one path capture under 5 us; for the 300 items of the generated catalog
// (codec/large_document_test_support.h, records of types/large_document_records_test_support.h),
// writing the response at most 1.5x converting the list to a BindingProperty
// (BM_ItemListToBinding is the reference of BM_ItemListWriteResponse, same run). Typed routes
// skip both for the host form (BM_ItemListToHostArena).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "api/request_dispatch.h"
#include "api/route_table.h"
#include "api/typed_handler.h"
#include "codec/json_reader.h"
#include "codec/large_document_test_support.h"
#include "host/host_value_arena.h"
#include "types/large_document_records_test_support.h"
#include "types/record_description.h"

namespace {

using namespace Vane;
using large_document_records::Catalog;
using large_document_records::Item;

constexpr int kItems = 300;

const std::vector<Item>& Items() {
    static const std::vector<Item> items = [] {
        TypeRegistry registry;
        RegisterType<Catalog>(registry);
        Catalog catalog;
        ConversionStatus status;
        FromBinding(registry, ParseJson(large_document::LargeDocument(kItems)).Value(), catalog,
                    status);
        if (!status.Ok() || catalog.items.size() != kItems) std::abort();
        return std::move(catalog.items);
    }();
    return items;
}

void CallAndRelease(const HostRouteRequest& request) {
    HostRouteResponse response{};
    HandleRequest(&response, &request);
    if (response.error) std::abort();
    benchmark::DoNotOptimize(response.value.payload.u64);
    response.release(&response);
}

void BM_DispatchLiteralRouteSmallValue(benchmark::State& state) {
    LocalApi api;
    auto registered =
        RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/level", [] { return int32_t{42}; });
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/pyx-missions/v1/level";
    request.context = const_cast<RouteBinding*>(registered.Value());
    request.contentType = "";
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_DispatchLiteralRouteSmallValue);

void BM_DispatchTemplateRouteOneCapture(benchmark::State& state) {
    LocalApi api;
    auto registered = RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/series/{seriesId}",
                                    [](const std::string& seriesId) { return seriesId.size(); },
                                    {{"seriesId", ArgumentLocation::kPath}});
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/pyx-missions/v1/series/Season_2024_Series_3";
    request.context = const_cast<RouteBinding*>(registered.Value());
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_DispatchTemplateRouteOneCapture);

// Reference: the list converted to a BindingProperty through the registry.
void BM_ItemListToBinding(benchmark::State& state) {
    TypeRegistry registry;
    RegisterType<Item>(registry);
    const std::vector<Item>& items = Items();
    for (auto _ : state) {
        ConversionStatus status = ToBinding(registry, items);
        if (!status.Ok()) std::abort();
        benchmark::DoNotOptimize(status.Value().Size());
    }
}
BENCHMARK(BM_ItemListToBinding)->Unit(benchmark::kMicrosecond);

// Writing that value into the host response, and releasing it.
void BM_ItemListWriteResponse(benchmark::State& state) {
    LocalApi api;
    RegisterType<Item>(api.Types());
    ConversionStatus status = ToBinding(api.Types(), Items());
    if (!status.Ok()) std::abort();
    FunctionResult result;
    result.SetValue(status.Value());
    for (auto _ : state) {
        HostRouteResponse response{};
        WriteResponse(response, result, &api.Types());
        if (response.error) std::abort();
        benchmark::DoNotOptimize(response.value.payload.collection.items);
        response.release(&response);
    }
}
BENCHMARK(BM_ItemListWriteResponse)->Unit(benchmark::kMicrosecond);

// The route's way for typed results: the list walked straight into a host-value arena, then
// freed in one go (against BM_ItemListToBinding plus BM_ItemListWriteResponse).
void BM_ItemListToHostArena(benchmark::State& state) {
    LocalApi api;
    RegisterType<Item>(api.Types());
    const std::vector<Item>& items = Items();
    for (auto _ : state) {
        HostValueArenaWriter writer(&api.Types());
        if (!WalkNative(api.Types(), items, writer).Ok()) std::abort();
        std::unique_ptr<HostValueArena> arena = writer.Take();
        if (!arena) std::abort();
        benchmark::DoNotOptimize(arena->Root().payload.collection.items);
    }
}
BENCHMARK(BM_ItemListToHostArena)->Unit(benchmark::kMicrosecond);

// The whole route: handler copy of the list, its walk into the host form, response and release.
void BM_ItemListRoute(benchmark::State& state) {
    LocalApi api;
    const std::vector<Item>& items = Items();
    auto registered =
        RegisterRoute(api, HttpMethod::kGet, "/catalog/v1/items", [&] { return items; });
    if (registered.IsFailure()) std::abort();
    HostRouteRequest request{};
    request.method = static_cast<uint32_t>(HttpMethod::kGet);
    request.path = "/catalog/v1/items";
    request.context = const_cast<RouteBinding*>(registered.Value());
    for (auto _ : state) CallAndRelease(request);
}
BENCHMARK(BM_ItemListRoute)->Unit(benchmark::kMicrosecond);

}  // namespace
