// Record conversions through the type registry, for a 300-element vector of a 20-field record,
// against references measured in the same run: RapidJSON's DOM parse of the same data as JSON
// text (the budget of the JSON -> native path is a multiple of it), and a conversion written
// by hand against BindingProperty's readers (the floor of value -> native).
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "types/record_description.h"

namespace Vane::benchmark_types {

enum class Rank : int32_t { kBronze = 1, kSilver = 2, kGold = 3 };

struct Record {
    int32_t id = 0;
    int64_t bigId = 0;
    uint32_t count = 0;
    uint64_t mask = 0;
    bool active = false;
    bool hidden = false;
    double score = 0.0;
    float ratio = 0.0f;
    std::string name;
    std::string description;
    std::string category;
    Rank rank = Rank::kBronze;
    Rank bestRank = Rank::kBronze;
    int16_t level = 0;
    uint8_t flags = 0;
    int32_t current = 0;
    int32_t total = 0;
    std::vector<int32_t> values;
    std::vector<std::string> tags;
    std::map<std::string, int64_t> counters;
};

}  // namespace Vane::benchmark_types

namespace Vane {

using benchmark_types::Rank;
using benchmark_types::Record;

template <>
struct TypeDescription<Rank> {
    static void Describe(RecordBuilder<Rank>& r) {
        r.Name("Rank");
        r.Enumerator("Bronze", Rank::kBronze);
        r.Enumerator("Silver", Rank::kSilver);
        r.Enumerator("Gold", Rank::kGold);
    }
};

template <>
struct TypeDescription<Record> {
    static void Describe(RecordBuilder<Record>& r) {
        r.Name("BenchmarkRecordDTO");
        r.Field("id", &Record::id);
        r.Field("bigId", &Record::bigId);
        r.Field("count", &Record::count);
        r.Field("mask", &Record::mask);
        r.Field("active", &Record::active);
        r.Field("hidden", &Record::hidden);
        r.Field("score", &Record::score);
        r.Field("ratio", &Record::ratio);
        r.Field("name", &Record::name);
        r.Field("description", &Record::description);
        r.Field("category", &Record::category);
        r.Field("rank", &Record::rank);
        r.Field("bestRank", &Record::bestRank);
        r.Field("level", &Record::level);
        r.Field("flags", &Record::flags);
        r.Field("current", &Record::current);
        r.Field("total", &Record::total);
        r.Field("values", &Record::values);
        r.Field("tags", &Record::tags);
        r.Field("counters", &Record::counters);
    }
};

namespace {

constexpr int kRecords = 300;

std::vector<Record> MakeRecords() {
    std::vector<Record> records;
    for (int index = 0; index < kRecords; ++index) {
        Record r;
        r.id = index;
        r.bigId = 9000000000LL + index;
        r.count = static_cast<uint32_t>(index * 7);
        r.mask = 0xFFFF0000u + static_cast<uint64_t>(index);
        r.active = index % 2 == 0;
        r.hidden = index % 3 == 0;
        r.score = index * 1.25;
        r.ratio = 0.5f;
        r.name = "mission-" + std::to_string(index);
        r.description = "Win " + std::to_string(index % 5 + 1) + " games with any champion";
        r.category = index % 2 ? "DAILY" : "WEEKLY";
        r.rank = static_cast<Rank>(index % 3 + 1);
        r.bestRank = Rank::kGold;
        r.level = static_cast<int16_t>(index % 30);
        r.flags = static_cast<uint8_t>(index % 256);
        r.current = index % 10;
        r.total = 10;
        r.values = {index, index + 1, index + 2};
        r.tags = {"missions", "season"};
        r.counters = {{"kills", index}, {"wins", index / 2}};
        records.push_back(std::move(r));
    }
    return records;
}

struct Fixture {
    Fixture() {
        RegisterType<Record>(registry);
        records = MakeRecords();
        ConversionStatus status = ToBinding(registry, records);
        value = std::move(status.Value());
        json = WriteJson(value, &registry);
    }
    TypeRegistry registry;
    std::vector<Record> records;
    BindingProperty value;
    std::string json;
};

const Fixture& Data() {
    static const Fixture fixture;
    return fixture;
}

// What a programmer would write by hand for one record, without the registry.
void ReadByHand(const BindingProperty& in, Record& r) {
    r.id = static_cast<int32_t>(in.Member("id").GetSigned());
    r.bigId = in.Member("bigId").GetSigned();
    r.count = static_cast<uint32_t>(in.Member("count").GetSigned());
    r.mask = in.Member("mask").GetSigned();
    r.active = in.Member("active").GetBool();
    r.hidden = in.Member("hidden").GetBool();
    r.score = in.Member("score").GetFloat();
    r.ratio = static_cast<float>(in.Member("ratio").GetFloat());
    r.name = in.Member("name").GetString();
    r.description = in.Member("description").GetString();
    r.category = in.Member("category").GetString();
    r.rank = in.Member("rank").GetString() == "Gold" ? Rank::kGold : Rank::kSilver;
    r.bestRank = in.Member("bestRank").GetString() == "Gold" ? Rank::kGold : Rank::kSilver;
    r.level = static_cast<int16_t>(in.Member("level").GetSigned());
    r.flags = static_cast<uint8_t>(in.Member("flags").GetSigned());
    r.current = static_cast<int32_t>(in.Member("current").GetSigned());
    r.total = static_cast<int32_t>(in.Member("total").GetSigned());
    for (const BindingProperty& v : in.Member("values").Elements()) {
        r.values.push_back(static_cast<int32_t>(v.GetSigned()));
    }
    for (const BindingProperty& v : in.Member("tags").Elements()) {
        r.tags.emplace_back(v.GetString());
    }
    for (const auto [key, v] : in.Member("counters").Members()) {
        r.counters.emplace(std::string(key), v.GetSigned());
    }
}

void BM_RecordsRapidJsonDomParse(benchmark::State& state) {
    const std::string& json = Data().json;
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(json.c_str(), json.size());
        benchmark::DoNotOptimize(document.Size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// The value as the JSON reader gives it: enums as their names.
const BindingProperty& JsonValue() {
    static const ConversionStatus parsed = ParseJson(Data().json);
    return parsed.Value();
}

void BM_RecordsValueToNative(benchmark::State& state) {
    const Fixture& data = Data();
    const BindingProperty& value = JsonValue();
    for (auto _ : state) {
        std::vector<Record> records;
        ConversionStatus status;
        FromBinding(data.registry, value, records, status);
        if (!status.Ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_RecordsHandWrittenValueToNative(benchmark::State& state) {
    const BindingProperty& value = JsonValue();
    for (auto _ : state) {
        std::vector<Record> records(value.Size());
        for (size_t index = 0; index < records.size(); ++index) {
            ReadByHand(value.Element(index), records[index]);
        }
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_RecordsNativeToValue(benchmark::State& state) {
    const Fixture& data = Data();
    for (auto _ : state) {
        ConversionStatus status = ToBinding(data.registry, data.records);
        if (!status.Ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(status.Value().Size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// The whole input path: JSON text -> value -> records.
void BM_RecordsJsonTextToNative(benchmark::State& state) {
    const Fixture& data = Data();
    for (auto _ : state) {
        ConversionStatus parsed = ParseJson(data.json);
        std::vector<Record> records;
        FromBinding(data.registry, parsed.Value(), records, parsed);
        if (!parsed.Ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_RecordsRapidJsonDomParse);
BENCHMARK(BM_RecordsValueToNative);
BENCHMARK(BM_RecordsHandWrittenValueToNative);
BENCHMARK(BM_RecordsNativeToValue);
BENCHMARK(BM_RecordsJsonTextToNative);

}  // namespace
}  // namespace Vane
