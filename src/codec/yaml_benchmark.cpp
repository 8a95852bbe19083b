// Reading a missions document of 300 missions from YAML, against a bare libyaml event loop over
// the same text in the same run (parse and delete every event, nothing else). Budget: the
// reader takes at most 1.5 times the bare loop's time.
#include <benchmark/benchmark.h>
#include <yaml.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "codec/yaml_reader.h"

namespace Vane {
namespace {

constexpr int kMissions = 300;

// Appends printf-formatted text (a line of the document, well below 256 bytes).
__attribute__((format(printf, 2, 3))) void Append(std::string& out, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length > 0) out.append(line, static_cast<size_t>(length));
}

// One mission as the remote service sends it, in block style: 27 fields, nested mappings and
// sequences (block and flow), texts (plain, quoted and literal), 64-bit timestamps, floats,
// bools and nulls.
void AppendMission(std::string& out, int index) {
    const long long start = 1700000000000LL + index * 3600000LL;
    Append(out, "  - id: 5c3f0a1e-9b7d-4e2a-8f61-%d\n", 100000000 + index);
    Append(out, "    internalName: weekly_missions_set_%d\n", index);
    Append(out, "    title: \"Win games in the weekly rotation #%d\"\n", index);
    Append(out,
           "    description: |\n      Place in the top four of any ranked game.\n"
           "      Step %d of the weekly set.\n",
           index % 7);
    Append(out, "    helperText: 'Progress counts in every queue except practice.'\n");
    Append(out, "    iconImageUrl: /assets/missions/icons/%d.png\n", index);
    Append(out, "    seriesName: Series_%d\n", index % 12);
    Append(out, "    missionType: %s\n", index % 3 == 0 ? "ONETIME" : "REPEATING");
    Append(out, "    displayType: MINOR\n");
    Append(out, "    status: %s\n", index % 5 == 0 ? "COMPLETED" : "PENDING");
    Append(out, "    locale: en_US\n");
    Append(out, "    sequence: %d\n", index % 40);
    Append(out, "    startTime: %lld\n", start);
    Append(out, "    endTime: %lld\n", start + 604800000LL);
    Append(out, "    lastUpdatedTimestamp: %lld\n", start + 12345);
    Append(out, "    completedDate: %lld\n", index % 5 == 0 ? start + 99999 : -1LL);
    Append(out, "    cooldownTimeMillis: %d\n", index % 3 == 0 ? 0 : 86400000);
    Append(out, "    viewed: %s\n", index % 2 == 0 ? "true" : "false");
    Append(out, "    isNew: %s\n", index % 4 == 1 ? "yes" : "no");
    Append(out, "    progressRatio: %g\n", 0.125 * (index % 8) + 0.0625);
    Append(out, "    earnedDate: ~\n");
    Append(out, "    requirements: [ACCOUNT_LEVEL_10, OWNS_ITEM_%d]\n", index % 50);
    Append(out, "    objectives:\n");
    for (int step = 0; step < 2; ++step) {
        Append(out, "      - description: Finish in the top four, part %d\n", step);
        Append(out, "        type: PLACEMENT\n");
        Append(out, "        sequence: %d\n", step);
        Append(out,
               "        progress: {currentProgress: %d, totalCount: 4, "
               "lastViewedProgress: %d}\n",
               index % 4, index % 3);
        Append(out, "        rewardGroups:\n          - group_%d\n", step);
    }
    Append(out, "    rewards:\n");
    for (int slot = 0; slot < 2; ++slot) {
        Append(out, "      - rewardGroup: group_%d\n", slot);
        Append(out, "        description: Reward capsule tier %d\n", slot + 1);
        Append(out, "        quantity: %d\n", slot + 1);
        Append(out, "        rewardFulfilled: false\n");
        Append(out, "        media:\n          introVideo: ''\n");
        Append(out, "          loopVideo: /assets/video/loop_%d.webm\n", slot);
    }
    Append(out,
           "    rewardStrategy:\n      groupStrategy: ALL_GROUPS\n"
           "      selectMaxGroupCount: 2\n      selectMinGroupCount: 1\n");
    Append(out,
           "    metadata:\n      weight: %g\n      tutorial:\n        queueId: 7\n"
           "        stepNumber: %d\n        displayRewards: {}\n",
           1.0 + index / 1024.0, index % 6);
    Append(out,
           "    display:\n      attributes: []\n      locations:\n"
           "        - EVENT_HUB\n        - PROFILE\n");
}

const std::string& MissionsDocument() {
    static const std::string text = [] {
        std::string out = "playerId: b7c1d2e3-0000-4a4a-9e9e-123456789abc\nseries: []\nmissions:\n";
        for (int index = 0; index < kMissions; ++index) AppendMission(out, index);
        return out;
    }();
    return text;
}

void BM_MissionsYamlReader(benchmark::State& state) {
    const std::string& text = MissionsDocument();
    for (auto _ : state) {
        ConversionStatus status = ReadYaml(text);
        if (!status.Ok() || status.Value().Member("missions").Size() != kMissions) {
            state.SkipWithError("reading failed");
            break;
        }
        benchmark::DoNotOptimize(status.Value().Member("missions").Element(0).Size());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
    state.counters["input_bytes"] = double(text.size());
}

// The reference: libyaml alone, every event parsed and deleted.
void BM_MissionsLibyamlEventLoop(benchmark::State& state) {
    const std::string& text = MissionsDocument();
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

BENCHMARK(BM_MissionsYamlReader);
BENCHMARK(BM_MissionsLibyamlEventLoop);

}  // namespace
}  // namespace Vane
