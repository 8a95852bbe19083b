// Decoding the generated catalog of 300 items (large_document_test_support.h) from MessagePack,
// against reading the same content as JSON in the same run: the project's JSON reader
// (ParseJson) and RapidJSON's Document::Parse (its DOM, members unordered, no interning).
// Budget: the MessagePack reader is at least as fast as ParseJson for the same content.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/large_document_test_support.h"
#include "codec/message_pack_reader.h"
#include "codec/message_pack_test_support.h"
#include "value/binding_property.h"

namespace Vane {
namespace {

constexpr int kItems = 300;

struct Inputs {
    std::vector<uint8_t> messagePack;
    std::string json;
    bool decodesBack = false;  // the MessagePack decodes to the value the JSON reads to
};

const Inputs& GetInputs() {
    static const Inputs inputs = [] {
        Inputs made;
        made.json = large_document::LargeDocument(kItems);
        const ConversionStatus value = ParseJson(made.json);
        made.messagePack = testing::EncodeMessagePack(value.Value());
        const MessagePackResult decoded = DecodeMessagePack(made.messagePack);
        made.decodesBack = value.Ok() && decoded.status.Ok() &&
                           decoded.consumed == made.messagePack.size() &&
                           decoded.status.Value() == value.Value();
        return made;
    }();
    return inputs;
}

void BM_CatalogMessagePackReader(benchmark::State& state) {
    const Inputs& inputs = GetInputs();
    if (!inputs.decodesBack) {
        state.SkipWithError("the MessagePack does not decode to the catalog");
        return;
    }
    for (auto _ : state) {
        MessagePackResult result = DecodeMessagePack(inputs.messagePack);
        if (!result.status.Ok() || result.consumed != inputs.messagePack.size()) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(result.status.Value().Size());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(inputs.messagePack.size()));
    state.counters["input_bytes"] = double(inputs.messagePack.size());
}

void BM_CatalogParseJson(benchmark::State& state) {
    const Inputs& inputs = GetInputs();
    for (auto _ : state) {
        ConversionStatus status = ParseJson(inputs.json);
        if (!status.Ok()) {
            state.SkipWithError("parsing failed");
            break;
        }
        benchmark::DoNotOptimize(status.Value().Size());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(inputs.json.size()));
    state.counters["input_bytes"] = double(inputs.json.size());
}

void BM_CatalogRapidJsonDocument(benchmark::State& state) {
    const Inputs& inputs = GetInputs();
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(inputs.json.data(), inputs.json.size());
        if (document.HasParseError()) {
            state.SkipWithError("parsing failed");
            break;
        }
        benchmark::DoNotOptimize(document.MemberCount());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(inputs.json.size()));
    state.counters["input_bytes"] = double(inputs.json.size());
}

BENCHMARK(BM_CatalogMessagePackReader);
BENCHMARK(BM_CatalogParseJson);
BENCHMARK(BM_CatalogRapidJsonDocument);

}  // namespace
}  // namespace Vane
