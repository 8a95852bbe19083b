// JSON text <-> native records through the type registry, on the generated catalog.
// BM_JsonToNative and BM_NativeToJson go through a value; BM_JsonToNativeDirect reads the text
// straight into the records and BM_NativeToJsonDirect walks the records straight into the
// writer.
// References in the same binary: BM_JsonReadRapidJsonDocument, BM_JsonReadNlohmann and
// BM_JsonWriteRapidJsonDocument (json_benchmark.cpp) run on the same text.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/large_document_test_support.h"
#include "types/large_document_records_test_support.h"
#include "types/native_json.h"
#include "types/native_json_reader.h"

namespace Vane {
namespace {

using large_document_records::Catalog;

TypeRegistry& Registry() {
    static TypeRegistry* registry = [] {
        auto* r = new TypeRegistry();
        RegisterType<Catalog>(*r);
        return r;
    }();
    return *registry;
}

const std::string& Text(int items) {
    static std::map<int, std::string> texts;
    auto [entry, added] = texts.try_emplace(items);
    if (added) entry->second = large_document::LargeDocument(items);
    return entry->second;
}

const Catalog& Native(int items) {
    static std::map<int, Catalog> catalogs;
    auto [entry, added] = catalogs.try_emplace(items);
    if (added) {
        ConversionStatus status;
        FromBinding(Registry(), ParseJson(Text(items)).Value(), entry->second, status);
    }
    return entry->second;
}

void BM_JsonToNative(benchmark::State& state) {
    const std::string& text = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Catalog catalog;
        ConversionStatus parsed = ParseJson(text);
        ConversionStatus status;
        FromBinding(Registry(), parsed.Value(), catalog, status);
        if (!parsed.Ok() || !status.Ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(catalog.items.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The direct path: RapidJSON's events written straight into the records, no value built.
void BM_JsonToNativeDirect(benchmark::State& state) {
    const std::string& text = Text(static_cast<int>(state.range(0)));
    {
        Catalog catalog;
        if (!ReadJsonNativeDirect(Registry(), text, &catalog, HandlerOf<Catalog>(),
                                  DescriptorOf<Catalog>(Registry()), kTopLevelValueName) ||
            WriteJson(Registry(), catalog) !=
                WriteJson(Registry(), Native(static_cast<int>(state.range(0))))) {
            state.SkipWithError("the direct path gave up or read another record");
            return;
        }
    }
    for (auto _ : state) {
        Catalog catalog;
        ConversionStatus status = ReadJsonNative(Registry(), text, catalog);
        if (!status.Ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(catalog.items.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_NativeToJson(benchmark::State& state) {
    const Catalog& catalog = Native(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ConversionStatus value = ToBinding(Registry(), catalog);
        std::string text = WriteJson(value.Value(), &Registry());
        benchmark::DoNotOptimize(text.data());
    }
}

// The direct path: the record walked straight into the JSON writer, no value built.
void BM_NativeToJsonDirect(benchmark::State& state) {
    const Catalog& catalog = Native(static_cast<int>(state.range(0)));
    const std::string expected = WriteJson(ToBinding(Registry(), catalog).Value(), &Registry());
    if (WriteJson(Registry(), catalog) != expected) {
        state.SkipWithError("the direct path wrote another text");
        return;
    }
    for (auto _ : state) {
        std::string text = WriteJson(Registry(), catalog);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * expected.size()));
}

void BM_NativeToValue(benchmark::State& state) {
    const Catalog& catalog = Native(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ConversionStatus value = ToBinding(Registry(), catalog);
        benchmark::DoNotOptimize(value.Value().Size());
    }
}

BENCHMARK(BM_JsonToNative)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonToNativeDirect)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NativeToJson)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NativeToJsonDirect)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NativeToValue)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace Vane
