// Reading the generated catalog of 300 items (large_document_test_support.h) written as block
// YAML (block_yaml_test_support.h), against a bare libyaml event loop over the same text in the
// same run (parse and delete every event, nothing else). Budget: the reader takes at most 1.5
// times the bare loop's time.
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <string>

#include "codec/block_yaml_test_support.h"
#include "codec/json_reader.h"
#include "codec/large_document_test_support.h"
#include "codec/yaml_reader.h"

namespace Vane {
namespace {

constexpr int kItems = 300;

struct Input {
    std::string text;
    bool readsBack = false;  // the reader gives the value the document's JSON gives
};

const Input& Document() {
    static const Input input = [] {
        const ConversionStatus json = ParseJson(large_document::LargeDocument(kItems));
        Input made{testing::BlockYaml(json.Value())};
        const ConversionStatus yaml = ReadYaml(made.text);
        made.readsBack = json.Ok() && yaml.Ok() && yaml.Value() == json.Value();
        return made;
    }();
    return input;
}

void BM_CatalogYamlReader(benchmark::State& state) {
    if (!Document().readsBack) {
        state.SkipWithError("the YAML text does not read back to the catalog");
        return;
    }
    const std::string& text = Document().text;
    for (auto _ : state) {
        ConversionStatus status = ReadYaml(text);
        if (!status.Ok() || status.Value().Member("items").Size() != kItems) {
            state.SkipWithError("reading failed");
            break;
        }
        benchmark::DoNotOptimize(status.Value().Member("items").Element(0).Size());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
    state.counters["input_bytes"] = double(text.size());
}

// The reference: libyaml alone, every event parsed and deleted.
void BM_CatalogLibyamlEventLoop(benchmark::State& state) {
    const std::string& text = Document().text;
    for (auto _ : state) {
        yaml_parser_t parser;
        if (!yaml_parser_initialize(&parser)) {
            state.SkipWithError("no parser");
            break;
        }
        yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                                     text.size());
        size_t events = 0;
        bool done = false;
        while (!done) {
            yaml_event_t event;
            if (!yaml_parser_parse(&parser, &event)) break;
            done = event.type == YAML_STREAM_END_EVENT;
            ++events;
            yaml_event_delete(&event);
        }
        yaml_parser_delete(&parser);
        if (!done) {
            state.SkipWithError("parsing failed");
            break;
        }
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
    state.counters["input_bytes"] = double(text.size());
}

BENCHMARK(BM_CatalogYamlReader);
BENCHMARK(BM_CatalogLibyamlEventLoop);

}  // namespace
}  // namespace Vane
