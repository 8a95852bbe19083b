// Decoding a missions document of 300 missions from MessagePack, against reading the same
// content as JSON in the same run: the project's JSON reader (ParseJson) and RapidJSON's
// Document::Parse (its DOM, members unordered, no interning). Budget: the MessagePack reader is
// at least as fast as ParseJson for the same content.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codec/json_reader.h"
#include "codec/message_pack_reader.h"
#include "codec/message_pack_test_support.h"
#include "value/binding_property.h"

namespace Vane {
namespace {

constexpr int kMissions = 300;

std::string Numbered(const char* prefix, int number) {
    char text[128];
    std::snprintf(text, sizeof text, "%s%d", prefix, number);
    return text;
}

void SetText(BindingProperty& parent, const char* name, const std::string& text) {
    parent.MemberForWrite(name)->SetString(text);
}

// One mission as the remote service sends it: 28 fields, nested objects and arrays, texts,
// 64-bit timestamps, floats and bools.
void BuildMission(BindingProperty& mission, int index) {
    const int64_t start = 1700000000000 + int64_t{index} * 3600000;
    SetText(mission, "id", Numbered("5c3f0a1e-9b7d-4e2a-8f61-", 100000000 + index));
    SetText(mission, "internalName", Numbered("weekly_missions_set_", index));
    SetText(mission, "title", Numbered("Win games in the weekly rotation #", index));
    SetText(mission, "description",
            Numbered("Place in the top four of any ranked or normal game. Step ", index % 7));
    SetText(mission, "helperText", "Progress counts in every queue except practice.");
    SetText(mission, "iconImageUrl", Numbered("/assets/missions/icons/", index));
    SetText(mission, "seriesName", Numbered("Series_", index % 12));
    SetText(mission, "missionType", index % 3 == 0 ? "ONETIME" : "REPEATING");
    SetText(mission, "displayType", "MINOR");
    SetText(mission, "status", index % 5 == 0 ? "COMPLETED" : "PENDING");
    SetText(mission, "locale", "en_US");
    mission.MemberForWrite("sequence")->SetSigned(index % 40);
    mission.MemberForWrite("startTime")->SetSigned(start);
    mission.MemberForWrite("endTime")->SetSigned(start + 604800000);
    mission.MemberForWrite("lastUpdatedTimestamp")->SetSigned(start + 12345);
    mission.MemberForWrite("completedDate")->SetSigned(index % 5 == 0 ? start + 99999 : -1);
    mission.MemberForWrite("earnedDate")->SetSigned(-1);
    mission.MemberForWrite("cooldownTimeMillis")->SetSigned(index % 3 == 0 ? 0 : 86400000);
    mission.MemberForWrite("viewed")->SetBool(index % 2 == 0);
    mission.MemberForWrite("isNew")->SetBool(index % 4 == 1);
    mission.MemberForWrite("progressRatio")->SetFloat(0.125 * (index % 8));

    BindingProperty* requirements = mission.MemberForWrite("requirements");
    requirements->MakeCollection();
    requirements->AppendElement()->SetString("ACCOUNT_LEVEL_10");
    requirements->AppendElement()->SetString(Numbered("OWNS_ITEM_", index % 50));

    BindingProperty* warnings = mission.MemberForWrite("expiringWarnings");
    warnings->MakeCollection();
    BindingProperty* warning = warnings->AppendElement();
    warning->MemberForWrite("alertTime")->SetSigned(start + 518400000);
    SetText(*warning, "message", "Expires in one day");
    SetText(*warning, "type", "1_DAY");

    BindingProperty* objectives = mission.MemberForWrite("objectives");
    objectives->MakeCollection();
    for (int step = 0; step < 2; ++step) {
        BindingProperty* objective = objectives->AppendElement();
        SetText(*objective, "description", Numbered("Finish in the top four, part ", step));
        SetText(*objective, "type", "PLACEMENT");
        objective->MemberForWrite("sequence")->SetSigned(step);
        objective->MemberForWrite("hasObjectiveBasedReward")->SetBool(step == 1);
        BindingProperty* progress = objective->MemberForWrite("progress");
        progress->MemberForWrite("currentProgress")->SetSigned(index % 4);
        progress->MemberForWrite("totalCount")->SetSigned(4);
        progress->MemberForWrite("lastViewedProgress")->SetSigned(index % 3);
        BindingProperty* groups = objective->MemberForWrite("rewardGroups");
        groups->MakeCollection();
        groups->AppendElement()->SetString(Numbered("group_", step));
    }

    BindingProperty* rewards = mission.MemberForWrite("rewards");
    rewards->MakeCollection();
    for (int slot = 0; slot < 2; ++slot) {
        BindingProperty* reward = rewards->AppendElement();
        SetText(*reward, "rewardGroup", Numbered("group_", slot));
        SetText(*reward, "description", Numbered("Reward capsule tier ", slot + 1));
        SetText(*reward, "iconUrl", Numbered("/assets/rewards/capsule_", slot));
        SetText(*reward, "rewardType", "LOOT");
        reward->MemberForWrite("quantity")->SetSigned(slot + 1);
        reward->MemberForWrite("isObjectiveBasedReward")->SetBool(slot == 1);
        reward->MemberForWrite("rewardFulfilled")->SetBool(false);
        reward->MemberForWrite("rewardGroupSelected")->SetBool(true);
        BindingProperty* media = reward->MemberForWrite("media");
        SetText(*media, "introVideo", "");
        SetText(*media, "loopVideo", Numbered("/assets/video/loop_", slot));
    }

    BindingProperty* strategy = mission.MemberForWrite("rewardStrategy");
    SetText(*strategy, "groupStrategy", "ALL_GROUPS");
    strategy->MemberForWrite("selectMaxGroupCount")->SetSigned(2);
    strategy->MemberForWrite("selectMinGroupCount")->SetSigned(1);

    BindingProperty* metadata = mission.MemberForWrite("metadata");
    metadata->MemberForWrite("weight")->SetFloat(1.0 + index / 1024.0);
    BindingProperty* tutorial = metadata->MemberForWrite("tutorial");
    tutorial->MemberForWrite("queueId")->SetSigned(7);
    tutorial->MemberForWrite("stepNumber")->SetSigned(index % 6);
    tutorial->MemberForWrite("useChosenChampion")->SetBool(false);
    tutorial->MemberForWrite("displayRewards")->MakeStructure();

    BindingProperty* display = mission.MemberForWrite("display");
    display->MemberForWrite("attributes")->MakeCollection();
    BindingProperty* locations = display->MemberForWrite("locations");
    locations->MakeCollection();
    locations->AppendElement()->SetString("EVENT_HUB");
    locations->AppendElement()->SetString("PROFILE");
}

BindingProperty BuildDocument() {
    BindingProperty document;
    BindingProperty* missions = document.MemberForWrite("missions");
    missions->MakeCollection();
    for (int index = 0; index < kMissions; ++index) BuildMission(*missions->AppendElement(), index);
    BindingProperty* series = document.MemberForWrite("series");
    series->MakeCollection();
    SetText(document, "playerId", "b7c1d2e3-0000-4a4a-9e9e-123456789abc");
    return document;
}

// The same content as JSON text, written by RapidJSON (shortest round-trip doubles).
void WriteJson(const BindingProperty& value, rapidjson::Writer<rapidjson::StringBuffer>& writer) {
    switch (value.Kind()) {
        case PropertyKind::kBool:
            writer.Bool(value.GetBool());
            return;
        case PropertyKind::kSigned:
            writer.Int64(value.GetSigned());
            return;
        case PropertyKind::kUnsigned:
            writer.Uint64(value.GetUnsigned());
            return;
        case PropertyKind::kFloat:
            writer.Double(value.GetFloat());
            return;
        case PropertyKind::kString: {
            const std::string_view text = value.GetString();
            writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
            return;
        }
        case PropertyKind::kCollection:
            writer.StartArray();
            for (const BindingProperty& element : value.Elements()) WriteJson(element, writer);
            writer.EndArray();
            return;
        case PropertyKind::kStructure:
            writer.StartObject();
            for (const auto& member : value.Members()) {
                writer.Key(member.name.data(),
                           static_cast<rapidjson::SizeType>(member.name.size()));
                WriteJson(member.value, writer);
            }
            writer.EndObject();
            return;
        default:
            writer.Null();
            return;
    }
}

struct Inputs {
    std::vector<uint8_t> messagePack;
    std::string json;
};

const Inputs& GetInputs() {
    static const Inputs inputs = [] {
        const BindingProperty document = BuildDocument();
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        WriteJson(document, writer);
        return Inputs{testing::EncodeMessagePack(document), buffer.GetString()};
    }();
    return inputs;
}

void BM_MissionsMessagePackReader(benchmark::State& state) {
    const Inputs& inputs = GetInputs();
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

void BM_MissionsParseJson(benchmark::State& state) {
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

void BM_MissionsRapidJsonDocument(benchmark::State& state) {
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

BENCHMARK(BM_MissionsMessagePackReader);
BENCHMARK(BM_MissionsParseJson);
BENCHMARK(BM_MissionsRapidJsonDocument);

}  // namespace
}  // namespace Vane
