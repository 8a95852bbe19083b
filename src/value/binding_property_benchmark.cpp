// Building and copying value trees, against RapidJSON's DOM (its pool allocator, no ordering
// of members) doing the same work in the same run.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <string>
#include <vector>

#include "value/binding_property.h"

namespace Vane {
namespace {

std::string Join(const char* prefix, int number) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%d", prefix, number);
    return text;
}

std::vector<std::string> Texts(const char* prefix, int count) {
    std::vector<std::string> texts;
    for (int index = 0; index < count; ++index) texts.push_back(Join(prefix, index));
    return texts;
}

void BM_BindingStructureOfN(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = Texts("member", count);
    const std::vector<std::string> values = Texts("value", count);
    for (auto _ : state) {
        BindingProperty value;
        for (int index = 0; index < count; ++index) {
            value.MemberForWrite(names[index])->SetString(values[index]);
        }
        benchmark::DoNotOptimize(value.Size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_RapidJsonObjectOfN(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = Texts("member", count);
    const std::vector<std::string> values = Texts("value", count);
    for (auto _ : state) {
        rapidjson::Document document;
        document.SetObject();
        auto& allocator = document.GetAllocator();
        for (int index = 0; index < count; ++index) {
            rapidjson::Value name(names[index].data(),
                                  static_cast<rapidjson::SizeType>(names[index].size()), allocator);
            rapidjson::Value text(values[index].data(),
                                  static_cast<rapidjson::SizeType>(values[index].size()),
                                  allocator);
            document.AddMember(name, text, allocator);
        }
        benchmark::DoNotOptimize(document.MemberCount());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_BindingCollectionOfN(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> values = Texts("value", count);
    for (auto _ : state) {
        BindingProperty value;
        for (int index = 0; index < count; ++index) {
            value.AppendElement()->SetString(values[index]);
        }
        benchmark::DoNotOptimize(value.Size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_RapidJsonArrayOfN(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> values = Texts("value", count);
    for (auto _ : state) {
        rapidjson::Document document;
        document.SetArray();
        auto& allocator = document.GetAllocator();
        for (int index = 0; index < count; ++index) {
            rapidjson::Value text(values[index].data(),
                                  static_cast<rapidjson::SizeType>(values[index].size()),
                                  allocator);
            document.PushBack(text, allocator);
        }
        benchmark::DoNotOptimize(document.Size());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

// Records shaped like typical service payloads: a few scalars, repeated and unique texts, a
// short list.
void BuildRecords(BindingProperty& root, int count) {
    for (int index = 0; index < count; ++index) {
        BindingProperty* record = root.AppendElement();
        record->MemberForWrite("id")->SetSigned(index);
        record->MemberForWrite("score")->SetFloat(index * 0.5);
        record->MemberForWrite("active")->SetBool(index % 2 == 0);
        record->MemberForWrite("group")->SetString(Join("group-", index % 10));
        record->MemberForWrite("name")->SetString(Join("unique-name-", index));
        BindingProperty* tags = record->MemberForWrite("tags");
        for (int tag = 0; tag < 3; ++tag) tags->AppendElement()->SetString(Join("t", tag));
    }
}

void BuildRecords(rapidjson::Document& document, int count) {
    auto& allocator = document.GetAllocator();
    document.SetArray();
    for (int index = 0; index < count; ++index) {
        rapidjson::Value record(rapidjson::kObjectType);
        record.AddMember("id", index, allocator);
        record.AddMember("score", index * 0.5, allocator);
        record.AddMember("active", index % 2 == 0, allocator);
        const std::string group = Join("group-", index % 10);
        const std::string name = Join("unique-name-", index);
        record.AddMember("group", rapidjson::Value(group.c_str(), allocator), allocator);
        record.AddMember("name", rapidjson::Value(name.c_str(), allocator), allocator);
        rapidjson::Value tags(rapidjson::kArrayType);
        for (int tag = 0; tag < 3; ++tag) {
            tags.PushBack(rapidjson::Value((Join("t", tag)).c_str(), allocator), allocator);
        }
        record.AddMember("tags", tags, allocator);
        document.PushBack(record, allocator);
    }
}

void BM_BindingCopyTree(benchmark::State& state) {
    BindingProperty source;
    BuildRecords(source, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        BindingProperty copy(source);
        benchmark::DoNotOptimize(copy.Size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RapidJsonCopyTree(benchmark::State& state) {
    rapidjson::Document source;
    BuildRecords(source, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document copy;
        copy.CopyFrom(source, copy.GetAllocator());
        benchmark::DoNotOptimize(copy.Size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A minimal reader handler building a value in place, to size the cost of the value model
// under a JSON parse (the real codec lives elsewhere; this one skips its checks).
class BuildHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, BuildHandler> {
  public:
    explicit BuildHandler(BindingProperty& root) { stack_.push_back(&root); }

    bool Null() { return Next() != nullptr; }
    bool Bool(bool value) {
        return Set([&](BindingProperty& v) { v.SetBool(value); });
    }
    bool Int(int value) {
        return Set([&](BindingProperty& v) { v.SetSigned(value); });
    }
    bool Uint(unsigned value) {
        return Set([&](BindingProperty& v) { v.SetUnsigned(value); });
    }
    bool Int64(int64_t value) {
        return Set([&](BindingProperty& v) { v.SetSigned(value); });
    }
    bool Uint64(uint64_t value) {
        return Set([&](BindingProperty& v) { v.SetUnsigned(value); });
    }
    bool Double(double value) {
        return Set([&](BindingProperty& v) { v.SetFloat(value); });
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return Set([&](BindingProperty& v) { v.SetString(std::string_view(text, length)); });
    }
    bool StartObject() {
        return Open([](BindingProperty& v) { return v.MakeStructure(); });
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        key_ = std::string_view(text, length);
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        stack_.pop_back();
        return true;
    }
    bool StartArray() {
        return Open([](BindingProperty& v) { return v.MakeCollection(); });
    }
    bool EndArray(rapidjson::SizeType) {
        stack_.pop_back();
        return true;
    }

  private:
    BindingProperty* Next() {
        if (!started_) {
            started_ = true;
            return stack_.back();
        }
        BindingProperty* parent = stack_.back();
        return parent->Kind() == PropertyKind::kStructure ? parent->MemberForWrite(key_)
                                                          : parent->AppendElement();
    }
    template <class F>
    bool Set(F set) {
        BindingProperty* target = Next();
        if (!target) return false;
        set(*target);
        return true;
    }
    template <class F>
    bool Open(F open) {
        BindingProperty* target = Next();
        if (!target || !open(*target)) return false;
        stack_.push_back(target);
        return true;
    }

    std::vector<BindingProperty*> stack_;
    std::string_view key_;
    bool started_ = false;
};

std::string RecordsJson(int count) {
    rapidjson::Document document;
    BuildRecords(document, count);
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
}

void BM_JsonReaderIntoBinding(benchmark::State& state) {
    const std::string json = RecordsJson(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        BindingProperty value;
        BuildHandler handler(value);
        rapidjson::Reader reader;
        rapidjson::StringStream stream(json.c_str());
        if (reader.Parse(stream, handler).IsError()) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(value.Size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(json.size()));
}

void BM_RapidJsonDomParse(benchmark::State& state) {
    const std::string json = RecordsJson(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(json.c_str());
        benchmark::DoNotOptimize(document.Size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(json.size()));
}

BENCHMARK(BM_BindingStructureOfN)->Arg(16)->Arg(1000)->Arg(100000);
BENCHMARK(BM_RapidJsonObjectOfN)->Arg(16)->Arg(1000)->Arg(100000);
BENCHMARK(BM_BindingCollectionOfN)->Arg(16)->Arg(1000)->Arg(100000);
BENCHMARK(BM_RapidJsonArrayOfN)->Arg(16)->Arg(1000)->Arg(100000);
BENCHMARK(BM_BindingCopyTree)->Arg(1000)->Arg(20000);
BENCHMARK(BM_RapidJsonCopyTree)->Arg(1000)->Arg(20000);
BENCHMARK(BM_JsonReaderIntoBinding)->Arg(10)->Arg(1000)->Arg(20000);
BENCHMARK(BM_RapidJsonDomParse)->Arg(10)->Arg(1000)->Arg(20000);

}  // namespace
}  // namespace Vane
