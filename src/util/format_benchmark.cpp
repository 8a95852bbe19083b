// FormatPositional against snprintf with the equivalent printf format, in the same run.
// Budget: FormatPositional within 2x of snprintf.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "util/format.h"

namespace {

struct Inputs {
    std::string mission = "Daily Quest";
    uint32_t series = 3;
    int objectives = 5;
};

void BM_SnprintfToBuffer(benchmark::State& state) {
    Inputs in;
    char buffer[Vane::kFormatBufferSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        int n = std::snprintf(buffer, sizeof(buffer), "Mission %s of %u has %d objectives",
                              in.mission.c_str(), in.series, in.objectives);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_SnprintfToBuffer);

void BM_FormatPositionalToBuffer(benchmark::State& state) {
    Inputs in;
    char buffer[Vane::kFormatBufferSize];
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        size_t n = Vane::FormatPositionalTo(buffer, "Mission %1 of %2 has %3 objectives",
                                            in.mission, in.series, in.objectives);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_FormatPositionalToBuffer);

void BM_SnprintfToString(benchmark::State& state) {
    Inputs in;
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        char buffer[Vane::kFormatBufferSize];
        int n = std::snprintf(buffer, sizeof(buffer), "Mission %s of %u has %d objectives",
                              in.mission.c_str(), in.series, in.objectives);
        std::string s(buffer, static_cast<size_t>(n));
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SnprintfToString);

void BM_FormatPositionalToString(benchmark::State& state) {
    Inputs in;
    for (auto _ : state) {
        benchmark::DoNotOptimize(in);
        std::string s = Vane::FormatPositional("Mission %1 of %2 has %3 objectives", in.mission,
                                               in.series, in.objectives);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_FormatPositionalToString);

}  // namespace
