#include "host/host_value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "value/nesting_limit.h"

namespace Vane {
namespace {

HostValue Make(uint32_t type) {
    HostValue value;
    std::memset(&value, 0, sizeof value);
    value.type = type;
    return value;
}
HostValue Signed(int64_t number) {
    HostValue value = Make(kHostValueSigned);
    value.payload.i64 = number;
    return value;
}
HostValue Text(const char* chars, uint32_t length, uint32_t type = kHostValueStringBorrowed) {
    HostValue value = Make(type);
    value.payload.string.chars = chars;
    value.payload.string.length = length;
    return value;
}
HostValue Items(HostValue* items, uint32_t count) {
    HostValue value = Make(kHostValueCollection);
    value.payload.collection.items = items;
    value.payload.collection.count = count;
    return value;
}
HostValue Fields(HostMember* members, uint32_t count) {
    HostValue value = Make(kHostValueStructure);
    value.payload.structure.members = members;
    value.payload.structure.count = count;
    return value;
}
HostMember Field(const char* name, HostValue value) {
    HostMember member;
    std::memset(&member, 0, sizeof member);
    member.name = name;
    member.value = value;
    return member;
}

// Converts and returns {ok, value, error}, checking the error slot's contract on the way.
struct Converted {
    bool ok;
    BindingProperty value;
    std::string error;
};
Converted FromHost(const HostValue& host, std::string_view name = "<result>") {
    Converted result;
    HostErrorSlot slot;
    result.ok = HostValueToBinding(host, name, result.value, slot);
    EXPECT_EQ(slot.owned, !result.ok);
    EXPECT_EQ(slot.text != nullptr, !result.ok);
    if (slot.text) result.error = slot.text;
    ReleaseHostError(slot);
    EXPECT_EQ(slot.text, nullptr);
    return result;
}

TEST(HostTypeNameTest, NamesEveryType) {
    const char* expected[] = {"",       "bool", "signed", "unsigned",   "float",    "string",
                              "string", "blob", "blob",   "collection", "structure"};
    for (uint32_t type = 0; type <= 10; ++type) EXPECT_STREQ(HostTypeName(type), expected[type]);
    EXPECT_STREQ(HostTypeName(11), "");
    EXPECT_STREQ(HostTypeName(0xFFFFFFFFu), "");
}

TEST(HostValueToBindingTest, ScalarsStringsAndBlobs) {
    static const char kBuffer[] = "abcdef";  // borrowed texts are read by length, not to a NUL
    static const uint8_t kBytes[] = {0, 1, 2, 255};
    HostValue boolean = Make(kHostValueBool);
    boolean.payload.boolean = 2;
    HostValue unsignedValue = Make(kHostValueUnsigned);
    unsignedValue.payload.u64 = UINT64_MAX;
    HostValue floating = Make(kHostValueFloat);
    floating.payload.f64 = -2.5;
    HostValue blob = Make(kHostValueBlobBorrowed);
    blob.payload.blob.bytes = kBytes;
    blob.payload.blob.size = 4;
    HostValue ownedBlob = blob;
    ownedBlob.type = kHostValueBlobOwned;
    HostValue nullBlob = Make(kHostValueBlobOwned);

    BindingProperty expected;
    struct Case {
        const char* label;
        HostValue host;
        std::function<void(BindingProperty&)> build;
    } cases[] = {
        {"none", Make(kHostValueNone), [](BindingProperty&) {}},
        {"bool", boolean, [](BindingProperty& v) { v.SetBool(true); }},
        {"signed", Signed(-3), [](BindingProperty& v) { v.SetSigned(-3); }},
        {"unsigned", unsignedValue, [](BindingProperty& v) { v.SetUnsigned(UINT64_MAX); }},
        {"float", floating, [](BindingProperty& v) { v.SetFloat(-2.5); }},
        {"borrowed string", Text(kBuffer, 3),
         [](BindingProperty& v) { EXPECT_TRUE(v.SetString("abc")); }},
        {"owned string", Text(kBuffer, 6, kHostValueStringOwned),
         [](BindingProperty& v) { EXPECT_TRUE(v.SetString("abcdef")); }},
        {"null string of length 0", Text(nullptr, 0),
         [](BindingProperty& v) { EXPECT_TRUE(v.SetString("")); }},
        {"borrowed blob", blob, [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob(kBytes)); }},
        {"owned blob", ownedBlob, [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob(kBytes)); }},
        {"null blob of size 0", nullBlob, [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob({})); }},
        {"null collection of count 0", Items(nullptr, 0),
         [](BindingProperty& v) { EXPECT_TRUE(v.MakeCollection()); }},
        {"null structure of count 0", Fields(nullptr, 0),
         [](BindingProperty& v) { EXPECT_TRUE(v.MakeStructure()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        BindingProperty want;
        c.build(want);
        Converted converted = FromHost(c.host);
        EXPECT_TRUE(converted.ok) << converted.error;
        EXPECT_TRUE(converted.value == want);
    }
}

TEST(HostValueToBindingTest, ContainersConvertRecursively) {
    HostValue inner[] = {Signed(1), Text("two", 3)};
    HostMember members[] = {
        Field("b", Items(inner, 2)),
        Field("a", Signed(5)),
        Field("b", Signed(7)),  // a repeated name replaces the earlier value
        Field("c", Fields(nullptr, 0)),
    };
    HostValue outer[] = {Fields(members, 4), Make(kHostValueNone)};
    Converted converted = FromHost(Items(outer, 2));
    ASSERT_TRUE(converted.ok) << converted.error;
    const BindingProperty& value = converted.value;
    ASSERT_EQ(value.Size(), 2u);
    EXPECT_TRUE(value.Element(1).IsEmpty());
    const BindingProperty& structure = value.Element(0);
    std::vector<std::string> names;
    for (const auto [name, member] : structure.Members()) names.emplace_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(structure.Member("a").GetSigned(), 5);
    EXPECT_EQ(structure.Member("b").GetSigned(), 7);
    EXPECT_EQ(structure.Member("c").Kind(), PropertyKind::kStructure);
    EXPECT_EQ(value.Store()->Find("b")->refCount, 1u);

    // Conversion into a child builds in the parent's store.
    BindingProperty parent;
    BindingProperty* target = parent.MemberForWrite("payload");
    HostErrorSlot slot;
    ASSERT_TRUE(HostValueToBinding(Items(outer, 2), "payload", *target, slot));
    EXPECT_EQ(target->Store(), parent.Store());
    EXPECT_TRUE(*target == value);
}

TEST(HostValueToBindingTest, FailuresNameTheValueAndLeaveItEmpty) {
    HostValue unknown = Make(11);
    HostMember badMember[] = {Field("fine", Signed(1)), Field("bad", Make(42))};
    HostValue badElement[] = {Signed(1), Make(0x80000000u)};
    HostMember unnamed[] = {Field(nullptr, Signed(1))};
    HostMember nullText[] = {Field("text", Text(nullptr, 3))};
    HostValue nullItems[] = {Items(nullptr, 2)};
    HostMember nullMembers[] = {Field("record", Fields(nullptr, 1))};
    HostValue nullBlob = Make(kHostValueBlobBorrowed);
    nullBlob.payload.blob.size = 9;
    const std::pair<HostValue, std::string> cases[] = {
        {unknown,
         "Couldn't assign value to '<result>' of type object because the input is of an "
         "incompatible type ''."},
        {Fields(badMember, 2),
         "Couldn't assign value to 'bad' of type object because the input is of an incompatible "
         "type ''."},
        {Items(badElement, 2),
         "Couldn't assign value to '<result>' of type object because the input is of an "
         "incompatible type ''."},
        {Fields(unnamed, 1),
         "Couldn't assign value to '<result>' because a member of the input structure has no "
         "name."},
        {Fields(nullText, 1),
         "Couldn't assign value to 'text' because the input string has a null pointer with a "
         "length of 3."},
        {Items(nullItems, 1),
         "Couldn't assign value to '<result>' because the input collection has a null pointer "
         "with a length of 2."},
        {Fields(nullMembers, 1),
         "Couldn't assign value to 'record' because the input structure has a null pointer with "
         "a length of 1."},
        {nullBlob,
         "Couldn't assign value to '<result>' because the input blob has a null pointer with a "
         "length of 9."},
    };
    for (const auto& [host, message] : cases) {
        Converted converted = FromHost(host);
        EXPECT_FALSE(converted.ok);
        EXPECT_EQ(converted.error, message);
        EXPECT_TRUE(converted.value.IsEmpty());
    }
}

TEST(HostValueToBindingTest, TooManyItemsIsRefusedBeforeReadingThem) {
    HostValue item = Signed(1);
    Converted converted = FromHost(Items(&item, 0xFFFFFFFFu), "list");
    EXPECT_FALSE(converted.ok);
    EXPECT_EQ(converted.error,
              "Couldn't assign value to 'list' because the input collection has 4294967295 "
              "items, more than the limit of 268435455.");
}

// Host values nested `depth` containers deep, alternating collections and structures.
class NestedHostValue {
  public:
    explicit NestedHostValue(size_t depth) {
        HostValue current = Signed(42);
        for (size_t level = 0; level < depth; ++level) {
            if (level % 2 == 0) {
                items_.push_back(current);
                current = Items(&items_.back(), 1);
            } else {
                members_.push_back(Field("m", current));
                current = Fields(&members_.back(), 1);
            }
        }
        root_ = current;
    }
    const HostValue& Root() const { return root_; }

  private:
    std::deque<HostValue> items_;
    std::deque<HostMember> members_;
    HostValue root_;
};

TEST(HostValueToBindingTest, NestingIsBounded) {
    Converted deepest = FromHost(NestedHostValue(kMaxNestingDepth).Root());
    ASSERT_TRUE(deepest.ok) << deepest.error;
    const BindingProperty* cursor = &deepest.value;
    size_t depth = 0;
    while (cursor->Kind() == PropertyKind::kCollection ||
           cursor->Kind() == PropertyKind::kStructure) {
        cursor = cursor->Kind() == PropertyKind::kCollection ? &cursor->Element(0)
                                                             : &cursor->Member("m");
        ++depth;
    }
    EXPECT_EQ(depth, kMaxNestingDepth);
    EXPECT_EQ(cursor->GetSigned(), 42);

    Converted tooDeep = FromHost(NestedHostValue(kMaxNestingDepth + 1).Root());
    EXPECT_FALSE(tooDeep.ok);
    EXPECT_EQ(tooDeep.error,
              "Couldn't assign value to 'm' because the input is nested deeper than 512 levels.");
    EXPECT_TRUE(tooDeep.value.IsEmpty());

    // Far deeper input fails the same way, without deep recursion.
    Converted wayTooDeep = FromHost(NestedHostValue(100000).Root());
    EXPECT_FALSE(wayTooDeep.ok);
}

TEST(HostValueToBindingTest, StatusFormReportsTheErrorStructure) {
    ConversionStatus ok = HostValueToBinding(Text("x", 1), "<result>");
    EXPECT_TRUE(ok.Ok());
    EXPECT_EQ(ok.Value().GetString(), "x");
    ConversionStatus failed = HostValueToBinding(Make(11), "<value>");
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(failed.Error(),
              "Couldn't assign value to '<value>' of type object because the input is of an "
              "incompatible type ''.");
    EXPECT_EQ(failed.Value().Size(), 1u);
}

class FakeResolver : public EnumNameResolver {
  public:
    const char* EnumName(uint32_t typeId, int32_t value) const override {
        if (typeId == 7 && value == 1) return "Active";
        if (typeId == 7 && value == -2) return "";
        return nullptr;
    }
};

// Converts to the host form, checks it, and releases it.
void ExpectHost(const BindingProperty& value, const EnumNameResolver* resolver,
                const std::function<void(const HostValue&)>& check) {
    HostValue host = Signed(99);  // overwritten, not released
    std::string error;
    ASSERT_TRUE(BindingToHostValue(value, resolver, host, &error)) << error;
    check(host);
    ReleaseHostValue(host);
    const HostValue zero = Make(0);
    EXPECT_EQ(std::memcmp(&host, &zero, sizeof host), 0);
}

TEST(BindingToHostValueTest, ScalarsStringsAndBlobs) {
    BindingProperty value;
    ExpectHost(value, nullptr, [](const HostValue& h) { EXPECT_EQ(+h.type, kHostValueNone); });
    value.SetBool(true);
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueBool);
        EXPECT_EQ(+h.payload.boolean, 1);
    });
    value.SetSigned(-9);
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueSigned);
        EXPECT_EQ(+h.payload.i64, -9);
    });
    value.SetUnsigned(UINT64_MAX);
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueUnsigned);
        EXPECT_EQ(+h.payload.u64, UINT64_MAX);
    });
    value.SetFloat(0.125);
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueFloat);
        EXPECT_EQ(+h.payload.f64, 0.125);
    });
    EXPECT_TRUE(value.SetString(std::string_view("te\0xt", 5)));
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueStringOwned);
        ASSERT_EQ(+h.payload.string.length, 5u);
        EXPECT_EQ(std::memcmp(h.payload.string.chars, "te\0xt", 6), 0);  // terminated copy
    });
    EXPECT_TRUE(value.SetString(""));
    ExpectHost(value, nullptr, [](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueStringOwned);
        EXPECT_EQ(+h.payload.string.length, 0u);
        ASSERT_NE(+h.payload.string.chars, nullptr);
        EXPECT_EQ(+h.payload.string.chars[0], '\0');
    });
    const uint8_t bytes[] = {9, 0, 8};
    EXPECT_TRUE(value.SetBlob(bytes));
    ExpectHost(value, nullptr, [&](const HostValue& h) {
        EXPECT_EQ(+h.type, kHostValueBlobOwned);
        ASSERT_EQ(+h.payload.blob.size, 3u);
        EXPECT_EQ(std::memcmp(h.payload.blob.bytes, bytes, 3), 0);
    });
}

TEST(BindingToHostValueTest, EnumsByNameWhenTheResolverKnowsOne) {
    const FakeResolver resolver;
    const struct {
        int32_t value;
        uint32_t typeId;
        const EnumNameResolver* resolver;
        const char* name;  // null: expect the number
    } cases[] = {
        {1, 7, &resolver, "Active"}, {-2, 7, &resolver, ""},   {3, 7, &resolver, nullptr},
        {1, 8, &resolver, nullptr},  {1, 7, nullptr, nullptr}, {-5, 7, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        BindingProperty value;
        EXPECT_TRUE(value.SetEnum(c.value, c.typeId));
        ExpectHost(value, c.resolver, [&](const HostValue& h) {
            if (c.name) {
                EXPECT_EQ(+h.type, kHostValueStringOwned);
                EXPECT_STREQ(h.payload.string.chars, c.name);
                EXPECT_EQ(+h.payload.string.length, std::strlen(c.name));
            } else {
                EXPECT_EQ(+h.type, kHostValueSigned);
                EXPECT_EQ(+h.payload.i64, c.value);  // sign-extended
            }
        });
    }
}

TEST(BindingToHostValueTest, ContainersGetOwnedArraysAndNames) {
    BindingProperty value;
    value.MemberForWrite("z")->SetSigned(1);
    BindingProperty* list = value.MemberForWrite("a");
    EXPECT_TRUE(list->AppendElement()->SetString("first"));
    EXPECT_TRUE(list->AppendElement());
    EXPECT_TRUE(list->AppendElement()->MakeCollection());
    EXPECT_TRUE(value.MemberForWrite("m")->MakeStructure());
    ExpectHost(value, nullptr, [](const HostValue& h) {
        ASSERT_EQ(+h.type, kHostValueStructure);
        ASSERT_EQ(+h.payload.structure.count, 3u);
        const HostMember* members = h.payload.structure.members;
        const char* names[] = {"a", "m", "z"};
        for (int index = 0; index < 3; ++index) {
            EXPECT_STREQ(members[index].name, names[index]);
            EXPECT_EQ(+members[index].ownsName, 1);
        }
        const HostValue& list = members[0].value;
        ASSERT_EQ(+list.type, kHostValueCollection);
        ASSERT_EQ(+list.payload.collection.count, 3u);
        EXPECT_EQ(+list.payload.collection.items[0].type, kHostValueStringOwned);
        EXPECT_EQ(+list.payload.collection.items[1].type, kHostValueNone);
        EXPECT_EQ(+list.payload.collection.items[2].type, kHostValueCollection);
        EXPECT_EQ(+list.payload.collection.items[2].payload.collection.count, 0u);
        EXPECT_NE(+list.payload.collection.items[2].payload.collection.items, nullptr);
        EXPECT_EQ(+members[1].value.type, kHostValueStructure);
        EXPECT_EQ(+members[1].value.payload.structure.count, 0u);
    });
}

TEST(BindingToHostValueTest, RoundTripKeepsTheValue) {
    BindingProperty value;
    EXPECT_TRUE(value.MemberForWrite("name")->SetString("round trip"));
    value.MemberForWrite("numbers")->AppendElement()->SetFloat(1.25);
    value.MemberForWrite("numbers")->AppendElement()->SetUnsigned(7);
    EXPECT_TRUE(value.MemberForWrite("raw")->SetBlob(std::span<const uint8_t>()));
    value.MemberForWrite("nested")->MemberForWrite("deeper")->SetBool(false);
    HostValue host;
    ASSERT_TRUE(BindingToHostValue(value, nullptr, host, nullptr));
    Converted back = FromHost(host);
    ReleaseHostValue(host);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.value == value);
}

TEST(BindingToHostValueTest, NestingIsBounded) {
    for (const size_t depth : {kMaxNestingDepth, kMaxNestingDepth + 1}) {
        BindingProperty value;
        BindingProperty* cursor = &value;
        for (size_t level = 0; level < depth; ++level) cursor = cursor->AppendElement();
        EXPECT_TRUE(cursor->SetString("leaf"));
        HostValue host = Signed(5);
        std::string error;
        const bool ok = BindingToHostValue(value, nullptr, host, &error);
        EXPECT_EQ(ok, depth == kMaxNestingDepth);
        if (ok) {
            ReleaseHostValue(host);
        } else {
            EXPECT_EQ(error,
                      "Couldn't convert value to the host form because it is nested deeper than "
                      "512 levels.");
            EXPECT_EQ(+host.type, kHostValueNone);  // partial work released
        }
    }
}

TEST(ReleaseHostValueTest, NeverFreesBorrowedData) {
    static const char kText[] = "borrowed";
    static const uint8_t kBytes[] = {1};
    HostValue items[3] = {Text(kText, 8), Make(kHostValueBlobBorrowed), Make(kHostValueNone)};
    items[1].payload.blob.bytes = kBytes;
    items[1].payload.blob.size = 1;
    HostValue* array = static_cast<HostValue*>(std::malloc(sizeof items));
    std::memcpy(array, items, sizeof items);
    HostMember* members = static_cast<HostMember*>(std::calloc(2, sizeof(HostMember)));
    members[0].name = "static name";  // not owned: never freed
    members[0].value = Items(array, 3);
    char* ownedName = static_cast<char*>(std::malloc(6));
    std::memcpy(ownedName, "owned", 6);
    members[1].name = ownedName;
    members[1].ownsName = 1;
    HostValue root = Fields(members, 2);
    ReleaseHostValue(root);  // under ASan, a wrong free or a leak fails the run
    EXPECT_EQ(+root.type, kHostValueNone);
}

}  // namespace
}  // namespace Vane
