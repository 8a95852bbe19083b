#include "host/host_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "types/event_builder.h"
#include "types/record_description.h"
#include "types/type_builder.h"

namespace Vane::host_description_test {

enum class Grade : int32_t { kMike = -1, kZulu = 0, kAlpha = 5 };

struct Sample {
    std::string label;
    std::string stamp;  // shown to the host as an int64
    Grade grade = Grade::kZulu;
    std::vector<Grade> grades;
    std::map<std::string, int32_t> counts;
};

}  // namespace Vane::host_description_test

namespace Vane {

using host_description_test::Grade;
using host_description_test::Sample;

template <>
struct TypeDescription<Grade> {
    static void Describe(RecordBuilder<Grade>& r) {
        r.Name("GradeEnum").Description("A grade.");
        r.Enumerator("Zulu", Grade::kZulu, "last");
        r.Enumerator("Alpha", Grade::kAlpha, "first");
        r.Enumerator("Mike", Grade::kMike);
    }
};

template <>
struct TypeDescription<Sample> {
    static void Describe(RecordBuilder<Sample>& r) {
        r.Name("SampleDTO").Description("A sample.").NameSpace("samples").Tag("t1").Tag("t2");
        r.Field("label", &Sample::label, FieldOptions{.description = "Label", .optional = true});
        r.Field("stamp", &Sample::stamp,
                FieldOptions{.alternateType = TypeIdentifier{
                                 static_cast<uint32_t>(NativeKind::kInt64), 0, nullptr}});
        r.Field("grade", &Sample::grade);
        r.Field("grades", &Sample::grades);
        r.Field("counts", &Sample::counts);
    }
};

namespace {

// A copy of `value`. Records are packed: gtest binds its arguments to references, which a
// misaligned member must not be bound to.
template <class T>
T V(T value) {
    return value;
}

constexpr uint32_t K(NativeKind kind) {
    return static_cast<uint32_t>(kind);
}

// Checks that walking `next` from the first record visits exactly the array, in order.
template <class Record>
void ExpectLinkedLikeIndexed(const Record* records, size_t count) {
    if (count == 0) {
        EXPECT_EQ(records, nullptr);
        return;
    }
    ASSERT_NE(records, nullptr);
    const Record* walked = records;
    for (size_t index = 0; index < count; ++index) {
        ASSERT_EQ(walked, &records[index]) << "record " << index;
        walked = walked->next;
    }
    EXPECT_EQ(walked, nullptr);
}

ArgumentDescription Argument(std::string name, TypeIdentifier type, bool optional = false,
                             TypeIdentifier alternate = {}) {
    ArgumentDescription argument;
    argument.name = std::move(name);
    argument.description = "About " + argument.name;
    argument.type = type;
    argument.alternateType = alternate;
    argument.optional = optional;
    return argument;
}

class HostDescriptionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sample_ = RegisterType<Sample>(registry_);
        ASSERT_NE(sample_, nullptr);
        grade_ = registry_.FindByName("GradeEnum");
        ASSERT_NE(grade_, nullptr);

        FunctionDescription get;
        get.name = "Get/samples";
        get.nameSpace = "samples";
        get.description = "Reads samples.";
        get.help = "Help text";
        get.returns = TypeIdentifier{K(NativeKind::kVector), K(NativeKind::kStruct), sample_};
        get.threadSafe = true;
        get.tags = {"read", "samples"};
        ASSERT_TRUE(registry_.AddFunction(get));

        FunctionDescription put;
        put.name = "Put/samples";
        put.arguments.push_back(Argument("sample", {K(NativeKind::kStruct), 0, sample_}));
        put.arguments.push_back(Argument("grade", {K(NativeKind::kEnum), 0, grade_}, true));
        // Shown to the host as a string instead of a map.
        put.arguments.push_back(Argument("extra", {K(NativeKind::kMap), K(NativeKind::kString)},
                                         false, {K(NativeKind::kString), 0, nullptr}));
        put.arguments.push_back(Argument("done", {K(NativeKind::kCallback), 0, nullptr}));
        put.arguments.push_back(Argument("odd", {42, 77, sample_}));
        put.returns = TypeIdentifier{K(NativeKind::kStruct), 0, sample_};
        put.alternateReturns = TypeIdentifier{K(NativeKind::kObject), 0, nullptr};
        put.asyncResultType = sample_;
        ASSERT_TRUE(registry_.AddFunction(put));

        FunctionDescription odd;
        odd.name = "Odd";
        odd.returns = TypeIdentifier{99, 3, nullptr};
        ASSERT_TRUE(registry_.AddFunction(odd));

        BeginEvent(registry_, "OnSampleChanged", sample_).Description("Changed.").Tag("samples");
        BeginEvent(registry_, "OnNothing", nullptr);
    }

    TypeRegistry registry_;
    const TypeDescriptor* sample_ = nullptr;
    const TypeDescriptor* grade_ = nullptr;
};

TEST_F(HostDescriptionTest, DescribesFunctionsAndTheirArguments) {
    HostDescription description;
    ASSERT_TRUE(description.Build(registry_).HasValue());
    const HostApiSummary& summary = description.Summary();
    ASSERT_EQ(V(summary.functionCount), 3u);
    ExpectLinkedLikeIndexed(summary.functions, summary.functionCount);

    const HostFunctionRecord& get = summary.functions[0];
    EXPECT_STREQ(get.name, "Get/samples");
    EXPECT_STREQ(get.nameSpace, "samples");
    EXPECT_EQ(V(get.reserved), 0u);
    EXPECT_EQ(V(get.context), nullptr);
    // No arguments: a null array and a count of 0.
    EXPECT_EQ(V(get.arguments), nullptr);
    EXPECT_EQ(V(get.argumentCount), 0u);
    EXPECT_EQ(V(get.returnKind), K(NativeKind::kVector));
    EXPECT_EQ(V(get.returnElementKind), K(NativeKind::kStruct));
    EXPECT_STREQ(get.returnTypeName, "SampleDTO");
    EXPECT_STREQ(get.description, "Reads samples.");
    EXPECT_STREQ(get.help, "Help text");
    EXPECT_EQ(V(get.threadSafe), 1);
    EXPECT_STREQ(get.asyncTypeName, "");
    ASSERT_EQ(V(get.tagCount), 2u);
    EXPECT_STREQ(get.tags[0], "read");
    EXPECT_STREQ(get.tags[1], "samples");

    const HostFunctionRecord& put = summary.functions[1];
    EXPECT_STREQ(put.name, "Put/samples");
    EXPECT_STREQ(put.nameSpace, "");
    EXPECT_EQ(V(put.threadSafe), 0);
    EXPECT_EQ(V(put.tags), nullptr);
    EXPECT_EQ(V(put.tagCount), 0u);
    // The alternate result type stands in for the declared one.
    EXPECT_EQ(V(put.returnKind), K(NativeKind::kObject));
    EXPECT_EQ(V(put.returnElementKind), 0u);
    EXPECT_STREQ(put.returnTypeName, "");
    EXPECT_STREQ(put.asyncTypeName, "SampleDTO");
    ASSERT_EQ(V(put.argumentCount), 5u);
    ExpectLinkedLikeIndexed(put.arguments, put.argumentCount);
    const struct {
        std::string_view name;
        uint32_t kind, element;
        std::string_view typeName;
        uint8_t optional;
    } arguments[] = {
        {"sample", K(NativeKind::kStruct), 0, "SampleDTO", 0},
        {"grade", K(NativeKind::kEnum), 0, "GradeEnum", 1},
        {"extra", K(NativeKind::kString), 0, "", 0},
        {"done", K(NativeKind::kCallback), 0, "", 0},
        {"odd", 0, 0, "", 0},  // kinds outside 1..19 become 0, and so does the name
    };
    for (size_t index = 0; index < std::size(arguments); ++index) {
        const HostArgumentRecord& argument = put.arguments[index];
        const auto& c = arguments[index];
        EXPECT_EQ(V(argument.name), std::string_view(c.name));
        EXPECT_EQ(std::string("About ") + argument.name, V(argument.description));
        EXPECT_EQ(V(argument.kind), c.kind) << c.name;
        EXPECT_EQ(V(argument.elementKind), c.element) << c.name;
        EXPECT_EQ(V(argument.typeName), c.typeName) << c.name;
        EXPECT_EQ(V(argument.optional), c.optional) << c.name;
    }

    const HostFunctionRecord& odd = summary.functions[2];
    EXPECT_EQ(V(odd.returnKind), 0u);
    EXPECT_EQ(V(odd.returnElementKind), 3u);
    EXPECT_EQ(V(description.FindFunction("Odd")), &odd);
    EXPECT_EQ(V(description.FindFunction("Missing")), nullptr);
}

TEST_F(HostDescriptionTest, DescribesTypesFieldsAndEnumerators) {
    HostDescription description;
    ASSERT_TRUE(description.Build(registry_).HasValue());
    const HostApiSummary& summary = description.Summary();
    ASSERT_EQ(V(summary.typeCount), 2u);
    ExpectLinkedLikeIndexed(summary.types, summary.typeCount);

    // Registry order: the record begins its registration before the enum it holds.
    const HostTypeRecord& sample = summary.types[0];
    EXPECT_STREQ(sample.name, "SampleDTO");
    EXPECT_STREQ(sample.nameSpace, "samples");
    EXPECT_EQ(V(sample.size), sizeof(Sample));
    EXPECT_STREQ(sample.description, "A sample.");
    ASSERT_EQ(V(sample.tagCount), 2u);
    EXPECT_STREQ(sample.tags[0], "t1");
    EXPECT_STREQ(sample.tags[1], "t2");
    EXPECT_EQ(V(sample.enumerators), nullptr);
    ASSERT_EQ(V(sample.count), 5u);
    ExpectLinkedLikeIndexed(sample.fields, sample.count);
    const struct {
        std::string_view name, description;
        uint32_t kind, element;
        std::string_view typeName;
        uint8_t optional;
    } fields[] = {
        {"label", "Label", K(NativeKind::kString), 0, "", 1},
        {"stamp", "", K(NativeKind::kInt64), 0, "", 0},  // the alternate type identifier
        {"grade", "", K(NativeKind::kEnum), 0, "GradeEnum", 0},
        {"grades", "", K(NativeKind::kVector), K(NativeKind::kEnum), "GradeEnum", 0},
        {"counts", "", K(NativeKind::kMap), K(NativeKind::kInt32), "", 0},
    };
    for (size_t index = 0; index < std::size(fields); ++index) {
        const HostFieldRecord& field = sample.fields[index];
        const auto& c = fields[index];
        EXPECT_EQ(V(field.name), std::string_view(c.name));
        EXPECT_EQ(V(field.description), std::string_view(c.description));
        EXPECT_EQ(V(field.offset), sample_->fields[index].offset) << c.name;
        EXPECT_EQ(V(field.kind), c.kind) << c.name;
        EXPECT_EQ(V(field.elementKind), c.element) << c.name;
        EXPECT_EQ(V(field.typeName), c.typeName) << c.name;
        EXPECT_EQ(V(field.optional), c.optional) << c.name;
    }

    const HostTypeRecord& grade = summary.types[1];
    EXPECT_STREQ(grade.name, "GradeEnum");
    EXPECT_EQ(V(grade.size), sizeof(Grade));
    EXPECT_EQ(V(grade.tags), nullptr);
    EXPECT_EQ(V(grade.tagCount), 0u);
    EXPECT_EQ(V(grade.fields), nullptr);
    ASSERT_EQ(V(grade.count), 3u);
    ExpectLinkedLikeIndexed(grade.enumerators, grade.count);
    const struct {
        std::string_view name, description;
        int32_t value;
    } enumerators[] = {{"Alpha", "first", 5}, {"Mike", "", -1}, {"Zulu", "last", 0}};
    for (size_t index = 0; index < std::size(enumerators); ++index) {
        EXPECT_EQ(V(grade.enumerators[index].name), enumerators[index].name);
        EXPECT_EQ(V(grade.enumerators[index].description), enumerators[index].description);
        EXPECT_EQ(V(grade.enumerators[index].value), enumerators[index].value);
    }
}

TEST_F(HostDescriptionTest, DescribesEvents) {
    HostDescription description;
    ASSERT_TRUE(description.Build(registry_).HasValue());
    const HostApiSummary& summary = description.Summary();
    ASSERT_EQ(V(summary.eventCount), 2u);
    ExpectLinkedLikeIndexed(summary.events, summary.eventCount);
    const HostEventRecord& changed = summary.events[0];
    EXPECT_STREQ(changed.name, "OnSampleChanged");
    EXPECT_STREQ(changed.nameSpace, "");
    EXPECT_STREQ(changed.payloadTypeName, "SampleDTO");
    EXPECT_STREQ(changed.description, "Changed.");
    ASSERT_EQ(V(changed.tagCount), 1u);
    EXPECT_STREQ(changed.tags[0], "samples");
    const HostEventRecord& nothing = summary.events[1];
    EXPECT_STREQ(nothing.name, "OnNothing");
    EXPECT_STREQ(nothing.payloadTypeName, "");
    EXPECT_STREQ(nothing.description, "");
    EXPECT_EQ(V(nothing.tags), nullptr);
}

TEST_F(HostDescriptionTest, TextsPointIntoTheRegistryAndSurviveLaterRegistrations) {
    HostDescription description;
    ASSERT_TRUE(description.Build(registry_).HasValue());
    const HostApiSummary summary = description.Summary();
    auto functions = registry_.FunctionRecords();
    ASSERT_TRUE(functions.HasValue());
    EXPECT_EQ(V(summary.functions[0].name), functions.Value()[0]->name.c_str());
    EXPECT_EQ(V(summary.functions[1].arguments[0].name),
              functions.Value()[1]->arguments[0].name.c_str());
    EXPECT_EQ(V(summary.types[0].name), sample_->name.c_str());
    EXPECT_EQ(V(summary.types[0].fields[0].name), sample_->fields[0].name.c_str());
    EXPECT_EQ(V(summary.types[1].enumerators[0].name),
              grade_->FindEnumerator("Alpha")->name.c_str());

    // Many more registrations grow every table of the registry.
    for (int index = 0; index < 200; ++index) {
        const std::string name = "Extra" + std::to_string(index);
        TypeBuilder builder =
            BeginType(registry_, 4, name, PlaceholderTypeInfo(0x00E00000 + index), index % 2 == 0);
        builder.Description("A filler type with a description too long for any small buffer.");
        FunctionDescription function;
        function.name = name;
        ASSERT_TRUE(registry_.AddFunction(function));
        BeginEvent(registry_, "On" + name, nullptr).Description("filler");
    }
    EXPECT_STREQ(summary.functions[0].name, "Get/samples");
    EXPECT_STREQ(summary.functions[1].arguments[1].typeName, "GradeEnum");
    EXPECT_STREQ(summary.functions[0].tags[1], "samples");
    EXPECT_STREQ(summary.types[0].fields[4].name, "counts");
    EXPECT_STREQ(summary.types[1].enumerators[2].description, "last");
    EXPECT_STREQ(summary.events[0].payloadTypeName, "SampleDTO");

    // A rebuild sees the new entries, in registry order after the first ones.
    ASSERT_TRUE(description.Build(registry_).HasValue());
    EXPECT_EQ(V(description.Summary().functionCount), 203u);
    EXPECT_EQ(V(description.Summary().typeCount), 202u);
    EXPECT_EQ(V(description.Summary().eventCount), 202u);
    EXPECT_STREQ(description.Summary().types[2].name, "Extra0");
    EXPECT_EQ(V(description.Summary().types[2].fields), nullptr);
    EXPECT_EQ(V(description.Summary().types[2].enumerators), nullptr);  // an enum without values
    EXPECT_EQ(V(description.Summary().types[2].count), 0u);
    ExpectLinkedLikeIndexed(description.Summary().types, description.Summary().typeCount);
    ExpectLinkedLikeIndexed(description.Summary().events, description.Summary().eventCount);
}

TEST_F(HostDescriptionTest, MovingKeepsTheRecordsAndEmptiesTheSource) {
    HostDescription built;
    ASSERT_TRUE(built.Build(registry_).HasValue());
    const HostFunctionRecord* functions = built.Summary().functions;
    const HostTypeRecord* types = built.Summary().types;

    HostDescription moved(std::move(built));
    EXPECT_EQ(V(moved.Summary().functions), functions);
    EXPECT_EQ(V(moved.Summary().types), types);
    ExpectLinkedLikeIndexed(moved.Summary().functions, moved.Summary().functionCount);
    EXPECT_EQ(V(built.Summary().functions), nullptr);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(V(built.Summary().functionCount), 0u);
    EXPECT_TRUE(built.Functions().empty());

    HostDescription assigned;
    assigned = std::move(moved);
    EXPECT_EQ(V(assigned.Summary().functions), functions);
    EXPECT_EQ(assigned.Functions().data(), functions);
    EXPECT_EQ(V(moved.Summary().typeCount), 0u);  // NOLINT(bugprone-use-after-move)
}

TEST(HostDescriptionEmptyTest, AnEmptyRegistryGivesNullArrays) {
    TypeRegistry registry;
    HostDescription description;
    ASSERT_TRUE(description.Build(registry).HasValue());
    const HostApiSummary& summary = description.Summary();
    EXPECT_EQ(V(summary.functions), nullptr);
    EXPECT_EQ(V(summary.functionCount), 0u);
    EXPECT_EQ(V(summary.types), nullptr);
    EXPECT_EQ(V(summary.typeCount), 0u);
    EXPECT_EQ(V(summary.events), nullptr);
    EXPECT_EQ(V(summary.eventCount), 0u);
}

}  // namespace
}  // namespace Vane
