#include "types/record_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace Vane::record_test {

enum class Colour : int32_t { kNone = 0, kRed = 1, kGreen = 2, kBlue = 3 };

struct Progress {
    int32_t current = 0;
    int32_t total = 0;
    std::string lastViewed;

    bool operator==(const Progress&) const = default;
};

// Described through DescribeType, found by argument-dependent lookup.
struct Limits {
    int64_t smallest = 0;
    int64_t largest = 0;
    uint64_t biggest = 0;
    int8_t tiny = 0;
    uint16_t port = 0;
    double ratio = 0.0;
    float weight = 0.0f;
    bool flag = false;

    bool operator==(const Limits&) const = default;
};

void DescribeType(RecordBuilder<Limits>& r) {
    r.Name("LimitsDTO");
    r.Field("smallest", &Limits::smallest);
    r.Field("largest", &Limits::largest);
    r.Field("biggest", &Limits::biggest);
    r.Field("tiny", &Limits::tiny);
    r.Field("port", &Limits::port);
    r.Field("ratio", &Limits::ratio);
    r.Field("weight", &Limits::weight);
    r.Field("flag", &Limits::flag);
}

struct Mission {
    std::string id;
    Colour colour = Colour::kNone;
    Progress progress;
    std::vector<Progress> history;
    std::vector<int64_t> counts;
    std::vector<Colour> palette;
    std::vector<bool> bits;
    std::map<std::string, int64_t> scores;
    std::unordered_map<std::string, Progress> byName;
    Limits limits;
    BindingProperty extra;
    BindingBlob payload;

    bool operator==(const Mission&) const = default;
};

// A record that refers to itself.
struct Node {
    std::string name;
    std::vector<Node> children;

    bool operator==(const Node&) const = default;
};

// Fields registered in an order other than their names' order.
struct Ordered {
    int32_t zeta = 0;
    int32_t alpha = 0;
};

// Same registered name as Progress, different layout.
struct Impostor {
    std::string text;
};

// A record with a fixed id and no name of its own.
struct Token {
    uint32_t asyncToken = 0;
};

}  // namespace Vane::record_test

namespace Vane {

using record_test::Colour;
using record_test::Impostor;
using record_test::Mission;
using record_test::Node;
using record_test::Ordered;
using record_test::Progress;
using record_test::Token;

template <>
struct TypeDescription<Colour> {
    static void Describe(RecordBuilder<Colour>& r) {
        r.Name("ColourEnum").Description("A colour.");
        r.Enumerator("None", Colour::kNone);
        r.Enumerator("Red", Colour::kRed, "Warm");
        r.Enumerator("Green", Colour::kGreen);
        r.Enumerator("Blue", Colour::kBlue, "Cold");
    }
};

template <>
struct TypeDescription<Progress> {
    static void Describe(RecordBuilder<Progress>& r) {
        r.Name("ProgressDTO").Description("Progress of a mission.").Tag("missions");
        r.Field("currentProgress", &Progress::current, "Steps done");
        r.Field("totalCount", &Progress::total, kFieldRequired);
        r.Field("lastViewedProgress", &Progress::lastViewed, kFieldOmitEmpty);
    }
};

template <>
struct TypeDescription<Mission> {
    static void Describe(RecordBuilder<Mission>& r) {
        r.Name("MissionDTO");
        r.Field("id", &Mission::id);
        r.Field("colour", &Mission::colour);
        r.Field("progress", &Mission::progress);
        r.Field("history", &Mission::history);
        r.Field("counts", &Mission::counts);
        r.Field("palette", &Mission::palette);
        r.Field("bits", &Mission::bits);
        r.Field("scores", &Mission::scores);
        r.Field("byName", &Mission::byName);
        r.Field("limits", &Mission::limits);
        r.Field("extra", &Mission::extra,
                FieldOptions{.description = "Anything", .optional = true});
        r.Field("payload", &Mission::payload);
    }
};

template <>
struct TypeDescription<Node> {
    static void Describe(RecordBuilder<Node>& r) {
        r.Name("Node");
        r.Field("name", &Node::name);
        r.Field("children", &Node::children);
    }
};

template <>
struct TypeDescription<Ordered> {
    static void Describe(RecordBuilder<Ordered>& r) {
        r.Name("Ordered");
        r.Field("zeta", &Ordered::zeta);
        r.Field("alpha", &Ordered::alpha);
    }
};

template <>
struct TypeDescription<Impostor> {
    static void Describe(RecordBuilder<Impostor>& r) {
        r.Name("ProgressDTO");
        r.Field("text", &Impostor::text);
    }
};

template <>
struct TypeDescription<Token> {
    static constexpr uint32_t kTypeId = 0x2A500213;
    static void Describe(RecordBuilder<Token>& r) { r.Field("asyncToken", &Token::asyncToken); }
};

namespace {

BindingProperty Text(std::string_view text) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString(text));
    return value;
}

void SetProgress(BindingProperty& out, int64_t current, int64_t total, std::string_view viewed) {
    out.MemberForWrite("currentProgress")->SetSigned(current);
    out.MemberForWrite("totalCount")->SetSigned(total);
    if (!viewed.empty()) {
        EXPECT_TRUE(out.MemberForWrite("lastViewedProgress")->SetString(viewed));
    }
}

class RecordDescriptionTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(RegisterType<Mission>(registry_), nullptr); }

    uint32_t ColourId() const { return registry_.TypeIdOf("ColourEnum"); }

    // The canonical value of a mission, in exactly the form ToBinding produces.
    BindingProperty MissionValue() const {
        BindingProperty value;
        EXPECT_TRUE(value.MemberForWrite("id")->SetString("m-1"));
        EXPECT_TRUE(value.MemberForWrite("colour")->SetEnum(2, ColourId()));
        SetProgress(*value.MemberForWrite("progress"), 3, 10, "2");
        BindingProperty& history = *value.MemberForWrite("history");
        SetProgress(*history.ElementAt(0), 1, 2, "");
        SetProgress(*history.ElementAt(1), 0, 5, "seen");
        BindingProperty& counts = *value.MemberForWrite("counts");
        counts.ElementAt(0)->SetSigned(std::numeric_limits<int64_t>::min());
        counts.ElementAt(1)->SetSigned(std::numeric_limits<int64_t>::max());
        counts.ElementAt(2)->SetSigned(0);
        BindingProperty& palette = *value.MemberForWrite("palette");
        EXPECT_TRUE(palette.ElementAt(0)->SetEnum(3, ColourId()));
        EXPECT_TRUE(palette.ElementAt(1)->SetEnum(1, ColourId()));
        BindingProperty& bits = *value.MemberForWrite("bits");
        bits.ElementAt(0)->SetBool(true);
        bits.ElementAt(1)->SetBool(false);
        value.MemberForWrite("scores")->MemberForWrite("b")->SetSigned(-2);
        value.MemberForWrite("scores")->MemberForWrite("a")->SetSigned(1);
        SetProgress(*value.MemberForWrite("byName")->MemberForWrite("x"), 4, 4, "");
        BindingProperty& limits = *value.MemberForWrite("limits");
        limits.MemberForWrite("smallest")->SetSigned(std::numeric_limits<int64_t>::min());
        limits.MemberForWrite("largest")->SetSigned(std::numeric_limits<int64_t>::max());
        limits.MemberForWrite("biggest")->SetUnsigned(std::numeric_limits<uint64_t>::max());
        limits.MemberForWrite("tiny")->SetSigned(-128);
        limits.MemberForWrite("port")->SetUnsigned(65535);
        limits.MemberForWrite("ratio")->SetFloat(-0.25);
        limits.MemberForWrite("weight")->SetFloat(1.5);
        limits.MemberForWrite("flag")->SetBool(true);
        BindingProperty& extra = *value.MemberForWrite("extra");
        EXPECT_TRUE(extra.ElementAt(0)->SetString("any"));
        extra.ElementAt(1)->MemberForWrite("k")->SetFloat(2.0);
        const uint8_t bytes[] = {0, 1, 255};
        EXPECT_TRUE(value.MemberForWrite("payload")->SetBlob(bytes));
        return value;
    }

    TypeRegistry registry_;
};

TEST_F(RecordDescriptionTest, RoundTripsANestedRecordAtTheLimits) {
    const BindingProperty original = MissionValue();
    MaybeType<Failure, Mission> read = ConvertTo<Mission>(registry_, original);
    ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
    const Mission& mission = read.Value();

    EXPECT_EQ(mission.id, "m-1");
    EXPECT_EQ(mission.colour, Colour::kGreen);
    EXPECT_EQ(mission.progress, (Progress{3, 10, "2"}));
    EXPECT_EQ(mission.history, (std::vector<Progress>{{1, 2, ""}, {0, 5, "seen"}}));
    EXPECT_EQ(mission.counts, (std::vector<int64_t>{INT64_MIN, INT64_MAX, 0}));
    EXPECT_EQ(mission.palette, (std::vector<Colour>{Colour::kBlue, Colour::kRed}));
    EXPECT_EQ(mission.bits, (std::vector<bool>{true, false}));
    EXPECT_EQ(mission.scores, (std::map<std::string, int64_t>{{"a", 1}, {"b", -2}}));
    ASSERT_EQ(mission.byName.size(), 1u);
    EXPECT_EQ(mission.byName.at("x"), (Progress{4, 4, ""}));
    EXPECT_EQ(mission.limits, (record_test::Limits{INT64_MIN, INT64_MAX, UINT64_MAX, -128, 65535,
                                                   -0.25, 1.5f, true}));
    EXPECT_EQ(mission.extra, original.Member("extra"));
    EXPECT_EQ(mission.payload.bytes, (std::vector<uint8_t>{0, 1, 255}));

    const ConversionStatus written = ToBinding(registry_, mission);
    ASSERT_TRUE(written.Ok()) << written.Error();
    EXPECT_EQ(written.Value(), original);

    // And native -> value -> native.
    MaybeType<Failure, Mission> again = ConvertTo<Mission>(registry_, written.Value());
    ASSERT_TRUE(again.HasValue());
    EXPECT_EQ(again.Value(), mission);
}

TEST_F(RecordDescriptionTest, RecordsDerivedFromMemberPointers) {
    const TypeDescriptor* progress = registry_.FindByName("ProgressDTO");
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->size, sizeof(Progress));
    EXPECT_FALSE(progress->isEnum);
    EXPECT_EQ(progress->typeId, StaticType::Id<Progress>());
    EXPECT_EQ(progress->typeInfo->Name(), "Vane::record_test::Progress");
    EXPECT_EQ(progress->description, "Progress of a mission.");
    EXPECT_EQ(progress->tags, std::vector<std::string>{"missions"});
    ASSERT_EQ(progress->fields.size(), 3u);
    const FieldRecord& viewed = progress->fields[2];
    EXPECT_EQ(viewed.name, "lastViewedProgress");
    EXPECT_EQ(viewed.nameHash, Fnv1a32("lastViewedProgress"));
    EXPECT_EQ(viewed.offset, offsetof(Progress, lastViewed));
    EXPECT_EQ(viewed.flags, kFieldOmitEmpty);
    EXPECT_EQ(viewed.type, (TypeIdentifier{12, 0, nullptr}));
    EXPECT_EQ(viewed.owner, progress);
    EXPECT_EQ(progress->fields[0].description, "Steps done");
    EXPECT_EQ(progress->fields[1].flags, kFieldRequired);

    const TypeDescriptor* mission = registry_.FindById(StaticType::Id<Mission>());
    ASSERT_NE(mission, nullptr);
    const TypeDescriptor* colour = registry_.FindByName("ColourEnum");
    ASSERT_NE(colour, nullptr);
    EXPECT_TRUE(colour->isEnum);
    EXPECT_EQ(colour->size, sizeof(Colour));
    struct Expected {
        const char* name;
        TypeIdentifier type;
    };
    const Expected expected[] = {
        {"id", {12, 0, nullptr}},        {"colour", {16, 0, colour}},
        {"progress", {17, 0, progress}}, {"history", {15, 17, progress}},
        {"counts", {15, 8, nullptr}},    {"palette", {15, 16, colour}},
        {"bits", {15, 1, nullptr}},      {"scores", {19, 8, nullptr}},
        {"byName", {19, 17, progress}},  {"limits", {17, 0, registry_.FindByName("LimitsDTO")}},
        {"extra", {13, 0, nullptr}},     {"payload", {14, 0, nullptr}},
    };
    ASSERT_EQ(mission->fields.size(), std::size(expected));
    for (size_t index = 0; index < std::size(expected); ++index) {
        SCOPED_TRACE(expected[index].name);
        EXPECT_EQ(mission->fields[index].name, expected[index].name);
        EXPECT_EQ(mission->fields[index].type, expected[index].type);
    }
    EXPECT_TRUE(mission->fields[10].optional);
    EXPECT_EQ(mission->fields[10].description, "Anything");
    EXPECT_EQ(mission->fields[3].typeInfo->Name(), "std::vector<Vane::record_test::Progress>");
    // A record is entered when its registration begins, so before the types it holds.
    auto types = registry_.Types();
    ASSERT_TRUE(types.HasValue());
    ASSERT_EQ(types.Value().size(), 4u);
    EXPECT_EQ(types.Value()[0], mission);
}

TEST_F(RecordDescriptionTest, RegisteringAgainKeepsTheFirstDescriptor) {
    const TypeDescriptor* first = registry_.FindByName("ProgressDTO");
    EXPECT_EQ(RegisterType<Progress>(registry_), first);
    EXPECT_EQ(RegisterType<Mission>(registry_), registry_.FindByName("MissionDTO"));
    EXPECT_EQ(first->fields.size(), 3u);

    // Another type under a taken name is refused rather than sharing a wrong layout, and stays
    // unknown to the typed conversions.
    EXPECT_EQ(RegisterType<Impostor>(registry_), nullptr);
    EXPECT_EQ(registry_.FindByName("ProgressDTO"), first);
    EXPECT_EQ(first->fields.size(), 3u);
    ConversionStatus status = ToBinding(registry_, Impostor{"x"});
    EXPECT_EQ(status.Error(),
              "Couldn't convert native value because it's an unregistered structure.");
    auto read = ConvertTo<Impostor>(registry_, MissionValue());
    ASSERT_TRUE(read.IsFailure());
    EXPECT_EQ(read.GetFailure().Message(),
              "Couldn't assign value to '<value>' because the input is an unregistered structure "
              "or not a structure at all.");
    EXPECT_EQ(read.GetFailure().Code(), kConversionFailureCode);
}

// Each case reads `input` into a record prefilled with `before` and expects `error` ("" for
// success) and the record afterwards.
struct ReadCase {
    const char* label;
    std::function<void(BindingProperty&)> input;
    std::string error;
    std::function<void(const Mission&)> check;
};

TEST_F(RecordDescriptionTest, ReadingRecords) {
    const ReadCase cases[] = {
        {"required field missing",
         [](BindingProperty& v) {
             EXPECT_TRUE(v.MemberForWrite("progress")->MemberForWrite("currentProgress"));
         },
         "Couldn't assign value to 'progress' of type ProgressDTO because the input structure "
         "doesn't have required field 'totalCount'.",
         nullptr},
        {"required field present but empty counts as missing",
         [](BindingProperty& v) {
             v.MemberForWrite("progress")->MemberForWrite("totalCount")->Clear();
         },
         "Couldn't assign value to 'progress' of type ProgressDTO because the input structure "
         "doesn't have required field 'totalCount'.",
         nullptr},
        {"missing fields keep their values",
         [](BindingProperty& v) {
             v.MemberForWrite("progress")->MemberForWrite("totalCount")->SetSigned(9);
         },
         "",
         [](const Mission& m) {
             EXPECT_EQ(m.progress, (Progress{7, 9, "old"}));
             EXPECT_EQ(m.id, "before");
             EXPECT_EQ(m.counts, (std::vector<int64_t>{5}));
         }},
        {"empty members keep their values",
         [](BindingProperty& v) {
             EXPECT_TRUE(v.MemberForWrite("id"));
             EXPECT_TRUE(v.MemberForWrite("counts"));
         },
         "",
         [](const Mission& m) {
             EXPECT_EQ(m.id, "before");
             EXPECT_EQ(m.counts, (std::vector<int64_t>{5}));
         }},
        {"vector given a structure fails and ends up empty",
         [](BindingProperty& v) {
             EXPECT_TRUE(v.MemberForWrite("id")->SetString("after"));
             v.MemberForWrite("counts")->MemberForWrite("0")->SetSigned(1);
         },
         "Couldn't assign value to 'counts' of type vector because the input not a collection.",
         [](const Mission& m) {
             EXPECT_EQ(m.id, "after");  // converted before the failure
             EXPECT_TRUE(m.counts.empty());
         }},
        {"map given a collection fails and ends up empty",
         [](BindingProperty& v) { v.MemberForWrite("scores")->ElementAt(0)->SetSigned(1); },
         "Couldn't assign value to 'scores' of type map because the input not a structure.",
         [](const Mission& m) { EXPECT_TRUE(m.scores.empty()); }},
        {"vector elements: empty ones stay default, failures name the vector",
         [](BindingProperty& v) {
             BindingProperty& counts = *v.MemberForWrite("counts");
             EXPECT_TRUE(counts.ElementAt(0)->SetString("0x10"));
             counts.ElementAt(2)->SetUnsigned(3);
         },
         "",
         [](const Mission& m) {
             EXPECT_EQ(m.counts, (std::vector<int64_t>{16, 0, 3}));
         }},
        {"a failing element stops the vector",
         [](BindingProperty& v) {
             BindingProperty& counts = *v.MemberForWrite("counts");
             counts.ElementAt(0)->SetSigned(1);
             EXPECT_TRUE(counts.ElementAt(1)->SetString("two"));
         },
         "Value two for 'counts' of type int64 is in an incorrect format", nullptr},
        {"map members: empty ones are skipped",
         [](BindingProperty& v) {
             BindingProperty& scores = *v.MemberForWrite("scores");
             EXPECT_TRUE(scores.MemberForWrite("kept")->SetString("-3"));
             EXPECT_TRUE(scores.MemberForWrite("skipped"));
         },
         "",
         [](const Mission& m) {
             EXPECT_EQ(m.scores, (std::map<std::string, int64_t>{{"kept", -3}}));
         }},
        {"enum by name, by decimal text, and strings from enums",
         [&](BindingProperty& v) {
             EXPECT_TRUE(v.MemberForWrite("colour")->SetString("3"));
             EXPECT_TRUE(v.MemberForWrite("palette")->ElementAt(0)->SetString("Green"));
             EXPECT_TRUE(v.MemberForWrite("id")->SetEnum(1, ColourId()));
         },
         "",
         [](const Mission& m) {
             EXPECT_EQ(m.colour, Colour::kBlue);
             EXPECT_EQ(m.palette, std::vector<Colour>{Colour::kGreen});
             EXPECT_EQ(m.id, "Red");
         }},
        {"enum outside the enumeration",
         [](BindingProperty& v) { EXPECT_TRUE(v.MemberForWrite("colour")->SetString("Purple")); },
         "Purple is not a valid ColourEnum enumeration value for 'colour'.", nullptr},
        {"string from an enum value without a name",
         [&](BindingProperty& v) { EXPECT_TRUE(v.MemberForWrite("id")->SetEnum(7, ColourId())); },
         "7 is not a valid enumeration value for 'id'.", nullptr},
        {"nested record of the wrong kind",
         [](BindingProperty& v) { EXPECT_TRUE(v.MemberForWrite("limits")->SetString("x")); },
         "Couldn't assign value to 'limits' of type LimitsDTO because the input not a "
         "structure.",
         nullptr},
        {"nested scalar failure names its field",
         [](BindingProperty& v) {
             v.MemberForWrite("limits")->MemberForWrite("tiny")->SetSigned(128);
         },
         "Value 128 for 'tiny' of type int8 is out of range", nullptr},
        {"blob of the wrong kind",
         [](BindingProperty& v) { EXPECT_TRUE(v.MemberForWrite("payload")->SetString("bytes")); },
         "Couldn't assign value to 'payload' of type blob because the input is of an invalid "
         "type string.",
         nullptr},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.label);
        Mission mission;
        mission.id = "before";
        mission.progress = {7, 8, "old"};
        mission.counts = {5};
        mission.scores = {{"old", 1}};
        BindingProperty input;
        EXPECT_TRUE(input.MakeStructure());
        c.input(input);
        ConversionStatus status;
        FromBinding(registry_, input, mission, status);
        EXPECT_EQ(status.Ok(), c.error.empty());
        EXPECT_EQ(status.Error(), c.error);
        if (!c.error.empty()) {
            // A failed status holds exactly {"error": message}.
            EXPECT_EQ(status.Value().Size(), 1u);
        }
        if (c.check) c.check(mission);
    }
}

TEST_F(RecordDescriptionTest, TopLevelInputOfTheWrongKind) {
    EXPECT_EQ(ConvertTo<Progress>(registry_, BindingProperty()).GetFailure().Message(),
              "A value for '<value>' is required.");
    EXPECT_EQ(ConvertTo<Progress>(registry_, Text("x")).GetFailure().Message(),
              "Couldn't assign value to '<value>' of type ProgressDTO because the input not a "
              "structure.");
    EXPECT_EQ(ConvertTo<std::vector<Progress>>(registry_, Text("x")).GetFailure().Message(),
              "Couldn't assign value to '<value>' of type vector because the input not a "
              "collection.");
    // A status that has already failed is left alone.
    ConversionStatus status;
    status.Fail("first");
    Progress progress{1, 2, "3"};
    FromBinding(registry_, Text("x"), progress, status);
    ToBinding(registry_, progress, status);
    EXPECT_EQ(status.Error(), "first");
    EXPECT_EQ(progress, (Progress{1, 2, "3"}));
}

TEST_F(RecordDescriptionTest, UnknownMembersAreIgnoredHoweverMany) {
    // Few extra members and many take different lookup paths; both must find every field.
    for (int extra : {0, 3, 200}) {
        SCOPED_TRACE(extra);
        BindingProperty input;
        for (int index = 0; index < extra; ++index) {
            input.MemberForWrite("a" + std::to_string(index))->SetSigned(index);
            input.MemberForWrite("z" + std::to_string(index))->SetSigned(index);
            input.MemberForWrite("m" + std::to_string(index))->SetSigned(index);
        }
        SetProgress(input, 1, 2, "v");
        EXPECT_TRUE(input.MemberForWrite("currentProgressX")->SetString("not this one"));
        MaybeType<Failure, Progress> read = ConvertTo<Progress>(registry_, input);
        ASSERT_TRUE(read.HasValue()) << read.GetFailure().Message();
        EXPECT_EQ(read.Value(), (Progress{1, 2, "v"}));
    }
}

TEST_F(RecordDescriptionTest, FirstFailureInRegistrationOrderWins) {
    ASSERT_NE(RegisterType<Ordered>(registry_), nullptr);
    BindingProperty input;
    EXPECT_TRUE(input.MemberForWrite("alpha")->SetString("a"));
    EXPECT_TRUE(input.MemberForWrite("zeta")->SetString("z"));
    EXPECT_EQ(ConvertTo<Ordered>(registry_, input).GetFailure().Message(),
              "Value z for 'zeta' of type int32 is in an incorrect format");
}

TEST_F(RecordDescriptionTest, OmitEmptyFieldsAreLeftOut) {
    ConversionStatus empty = ToBinding(registry_, Progress{0, 0, ""});
    ASSERT_TRUE(empty.Ok());
    EXPECT_EQ(empty.Value().Size(), 2u);
    EXPECT_EQ(empty.Value().FindMember("lastViewedProgress"), nullptr);
    // Fields without the flag are written even when empty.
    EXPECT_EQ(empty.Value().Member("currentProgress").Kind(), PropertyKind::kSigned);

    ConversionStatus full = ToBinding(registry_, Progress{0, 0, "x"});
    EXPECT_EQ(full.Value().Member("lastViewedProgress").GetString(), "x");
}

TEST(IsEmptyForOutputTest, EmptyMeansZeroFalseOrNoContent) {
    struct Case {
        const char* label;
        std::function<void(BindingProperty&)> build;
        bool empty;
    };
    const Case cases[] = {
        {"empty", [](BindingProperty&) {}, true},
        {"false", [](BindingProperty& v) { v.SetBool(false); }, true},
        {"true", [](BindingProperty& v) { v.SetBool(true); }, false},
        {"signed 0", [](BindingProperty& v) { v.SetSigned(0); }, true},
        {"signed -1", [](BindingProperty& v) { v.SetSigned(-1); }, false},
        {"unsigned 0", [](BindingProperty& v) { v.SetUnsigned(0); }, true},
        {"float -0.0", [](BindingProperty& v) { v.SetFloat(-0.0); }, true},
        {"float 0.5", [](BindingProperty& v) { v.SetFloat(0.5); }, false},
        {"enum 0", [](BindingProperty& v) { EXPECT_TRUE(v.SetEnum(0, 7)); }, true},
        {"enum 1", [](BindingProperty& v) { EXPECT_TRUE(v.SetEnum(1, 7)); }, false},
        {"string", [](BindingProperty& v) { EXPECT_TRUE(v.SetString("")); }, true},
        {"blob", [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob({})); }, true},
        {"collection", [](BindingProperty& v) { EXPECT_TRUE(v.MakeCollection()); }, true},
        {"collection of one", [](BindingProperty& v) { v.ElementAt(0); }, false},
        {"structure", [](BindingProperty& v) { EXPECT_TRUE(v.MakeStructure()); }, true},
    };
    for (const Case& c : cases) {
        BindingProperty value;
        c.build(value);
        EXPECT_EQ(IsEmptyForOutput(value), c.empty) << c.label;
    }
}

TEST_F(RecordDescriptionTest, SelfReferringRecords) {
    ASSERT_NE(RegisterType<Node>(registry_), nullptr);
    const TypeDescriptor* node = registry_.FindByName("Node");
    EXPECT_EQ(node->fields[1].type, (TypeIdentifier{15, 17, node}));
    const Node tree{"root", {{"a", {{"a1", {}}}}, {"b", {}}}};
    ConversionStatus written = ToBinding(registry_, tree);
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(written.Value()
                  .Member("children")
                  .Element(0)
                  .Member("children")
                  .Element(0)
                  .Member("name")
                  .GetString(),
              "a1");
    EXPECT_EQ(ConvertTo<Node>(registry_, written.Value()).Value(), tree);
}

TEST_F(RecordDescriptionTest, FixedIdsAndGeneratedNames) {
    const TypeDescriptor* token = RegisterType<Token>(registry_);
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(token->name, "#2A500213");
    EXPECT_EQ(token->typeId, 0x2A500213u);
    EXPECT_EQ(registry_.FindById(0x2A500213), token);
    ConversionStatus written = ToBinding(registry_, Token{7});
    EXPECT_EQ(written.Value().Member("asyncToken").GetUnsigned(), 7u);
}

TEST_F(RecordDescriptionTest, EnumsWriteTheirTypeIdAndResolveByName) {
    ConversionStatus written = ToBinding(registry_, Colour::kBlue);
    ASSERT_TRUE(written.Ok());
    EXPECT_EQ(written.Value().GetEnum(), (EnumRecord{3, StaticType::Id<Colour>()}));
    EXPECT_STREQ(registry_.EnumName(StaticType::Id<Colour>(), 3), "Blue");
    const TypeDescriptor* colour = registry_.FindByName("ColourEnum");
    EXPECT_EQ(colour->FindEnumerator("Red")->description, "Warm");
}

TEST_F(RecordDescriptionTest, EventsRegisterTheirPayload) {
    TypeRegistry registry;
    {
        EventBuilder event = BeginEvent<Progress>(registry, "OnProgress");
        event.Description("Fired on progress.").Tag("$builtin");
    }
    BeginEvent<Progress>(registry, "OnProgress").Description("ignored");
    auto events = registry.Events();
    ASSERT_TRUE(events.HasValue());
    ASSERT_EQ(events.Value().size(), 1u);
    EXPECT_EQ(events.Value()[0].payload, registry.FindByName("ProgressDTO"));
    EXPECT_EQ(events.Value()[0].description, "Fired on progress.");
    EXPECT_EQ(events.Value()[0].tags, std::vector<std::string>{"$builtin"});
}

}  // namespace
}  // namespace Vane
