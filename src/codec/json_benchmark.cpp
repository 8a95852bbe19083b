// JSON text <-> BindingProperty against RapidJSON's DOM (and nlohmann::json for reading) on the
// same text in the same run. The text is the generated catalog of large_document_test_support.h:
// an object with "items" (300 or 3 000 of them, about 35 members each) and "collections", built
// from a fixed seed so every run reads the same bytes.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/large_document_test_support.h"

namespace Vane {
namespace {

using large_document::LargeDocument;

const std::string& Document(int items) {
    static std::map<int, std::string> documents;
    auto [entry, added] = documents.try_emplace(items);
    if (added) entry->second = LargeDocument(items);
    return entry->second;
}

void Describe(benchmark::State& state, const std::string& text) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["kB"] = static_cast<double>(text.size()) / 1000.0;
}

void BM_JsonReadBinding(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ConversionStatus status = ParseJson(text);
        if (!status.Ok()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(status.Value().Size());
    }
    Describe(state, text);
}

void BM_JsonReadBindingView(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ConversionStatus status = ParseJson(std::string_view(text));
        if (!status.Ok()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(status.Value().Size());
    }
    Describe(state, text);
}

void BM_JsonReadRapidJsonDocument(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(text.c_str());
        if (document.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document.MemberCount());
    }
    Describe(state, text);
}

void BM_JsonReadRapidJsonDocumentFullPrecision(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        if (document.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document.MemberCount());
    }
    Describe(state, text);
}

// The floor: RapidJSON's reader as ParseJson runs it (in place on a copy, numbers as text) with
// a handler that keeps nothing.
void BM_JsonReadRapidJsonSaxOnly(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    std::string copy;
    for (auto _ : state) {
        copy = text;
        rapidjson::BaseReaderHandler<> handler;
        rapidjson::Reader reader;
        rapidjson::InsituStringStream stream(copy.data());
        reader.Parse<rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseInsituFlag>(stream,
                                                                                          handler);
        if (reader.HasParseError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(stream.Tell());
    }
    Describe(state, text);
}

void BM_JsonReadNlohmann(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
        if (document.is_discarded()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(document.size());
    }
    Describe(state, text);
}

void BM_JsonWriteBinding(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    const ConversionStatus value = ParseJson(text);
    std::string out;
    for (auto _ : state) {
        out = WriteJson(value.Value());
        benchmark::DoNotOptimize(out.data());
    }
    Describe(state, out);
}

void BM_JsonWriteRapidJsonDocument(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
    size_t size = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        size = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_JsonWritePrettyBinding(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    const ConversionStatus value = ParseJson(text);
    std::string out;
    for (auto _ : state) {
        out = WriteJson(value.Value(), nullptr, "\n");
        benchmark::DoNotOptimize(out.data());
    }
    Describe(state, out);
}

void BM_JsonWritePrettyRapidJsonDocument(benchmark::State& state) {
    const std::string& text = Document(static_cast<int>(state.range(0)));
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
    size_t size = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
        writer.SetIndent(' ', 4);
        document.Accept(writer);
        size = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

BENCHMARK(BM_JsonReadBinding)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonReadBindingView)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonReadRapidJsonDocument)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonReadRapidJsonDocumentFullPrecision)
    ->Arg(300)
    ->Arg(3000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonReadRapidJsonSaxOnly)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonReadNlohmann)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonWriteBinding)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonWriteRapidJsonDocument)->Arg(300)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonWritePrettyBinding)->Arg(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JsonWritePrettyRapidJsonDocument)->Arg(300)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace Vane
