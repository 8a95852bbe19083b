#include "value/binding_property.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace Vane {
namespace {

std::vector<std::string> MemberNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const auto [name, member] : value.Members()) names.emplace_back(name);
    return names;
}

std::span<const uint8_t> Bytes(const char* text) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

TEST(KindNameTest, NamesEveryCodeAndNothingElse) {
    const char* expected[] = {"empty",  "bool", "signed", "unsigned",   "float",
                              "string", "blob", "enum",   "collection", "structure"};
    for (uint8_t code = 0; code < 10; ++code) {
        EXPECT_STREQ(KindName(code), expected[code]);
    }
    EXPECT_STREQ(KindName(uint8_t{10}), "");
    EXPECT_STREQ(KindName(uint8_t{255}), "");
    EXPECT_STREQ(KindName(PropertyKind::kStructure), "structure");
}

TEST(BindingPropertyTest, IsSmall) {
    if (sizeof(void*) == 8) {
        EXPECT_LE(sizeof(BindingProperty), 24u);
    }
    const BindingProperty value;
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(value.Store(), nullptr);
    EXPECT_TRUE(value.OwnsStore());
}

// Each kind: its code, size and text form, and the defaults every other reader returns.
struct KindCase {
    const char* label;
    std::function<void(BindingProperty&)> build;
    PropertyKind kind;
    size_t size;
    std::string text;
};

TEST(BindingPropertyTest, KindsSizesAndTexts) {
    const KindCase cases[] = {
        {"empty", [](BindingProperty&) {}, PropertyKind::kEmpty, 0, ""},
        {"true", [](BindingProperty& v) { v.SetBool(true); }, PropertyKind::kBool, 1, "true"},
        {"false", [](BindingProperty& v) { v.SetBool(false); }, PropertyKind::kBool, 1, "false"},
        {"signed", [](BindingProperty& v) { v.SetSigned(-42); }, PropertyKind::kSigned, 1, "-42"},
        {"signed min", [](BindingProperty& v) { v.SetSigned(std::numeric_limits<int64_t>::min()); },
         PropertyKind::kSigned, 1, "-9223372036854775808"},
        {"unsigned max", [](BindingProperty& v) { v.SetUnsigned(UINT64_MAX); },
         PropertyKind::kUnsigned, 1, "18446744073709551615"},
        {"float", [](BindingProperty& v) { v.SetFloat(1.5); }, PropertyKind::kFloat, 1, "1.500000"},
        {"float small", [](BindingProperty& v) { v.SetFloat(-0.0000004); }, PropertyKind::kFloat, 1,
         "-0.000000"},
        {"float large", [](BindingProperty& v) { v.SetFloat(1e20); }, PropertyKind::kFloat, 1,
         "100000000000000000000.000000"},
        {"string", [](BindingProperty& v) { EXPECT_TRUE(v.SetString("h\xC3\xA9llo")); },
         PropertyKind::kString, 6, "h\xC3\xA9llo"},
        {"empty string", [](BindingProperty& v) { EXPECT_TRUE(v.SetString("")); },
         PropertyKind::kString, 0, ""},
        {"null string",
         [](BindingProperty& v) { EXPECT_TRUE(v.SetString(static_cast<const char*>(nullptr))); },
         PropertyKind::kString, 0, ""},
        {"blob", [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob(Bytes("raw"))); },
         PropertyKind::kBlob, 3, "raw"},
        {"empty blob", [](BindingProperty& v) { EXPECT_TRUE(v.SetBlob({})); }, PropertyKind::kBlob,
         0, ""},
        {"enum", [](BindingProperty& v) { EXPECT_TRUE(v.SetEnum(-7, 0xABCD)); },
         PropertyKind::kEnum, 1, "-7"},
        {"collection",
         [](BindingProperty& v) {
             v.AppendElement()->SetSigned(1);
             EXPECT_TRUE(v.AppendElement()->SetString("x"));
         },
         PropertyKind::kCollection, 2, ""},
        {"empty collection", [](BindingProperty& v) { EXPECT_TRUE(v.MakeCollection()); },
         PropertyKind::kCollection, 0, ""},
        {"structure",
         [](BindingProperty& v) {
             v.MemberForWrite("a")->SetBool(true);
             EXPECT_TRUE(v.MemberForWrite("b"));
             EXPECT_TRUE(v.MemberForWrite("c")->MakeStructure());
         },
         PropertyKind::kStructure, 3, ""},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.label);
        BindingProperty value;
        c.build(value);
        EXPECT_EQ(value.Kind(), c.kind);
        EXPECT_EQ(value.IsEmpty(), c.kind == PropertyKind::kEmpty);
        EXPECT_EQ(value.Size(), c.size);
        EXPECT_EQ(value.AsText(), c.text);
        // Readers of other kinds yield the default and never convert.
        if (c.kind != PropertyKind::kBool) {
            EXPECT_TRUE(value.GetBool(true));
        }
        if (c.kind != PropertyKind::kSigned) {
            EXPECT_EQ(value.GetSigned(99), 99);
        }
        if (c.kind != PropertyKind::kUnsigned) {
            EXPECT_EQ(value.GetUnsigned(98), 98u);
        }
        if (c.kind != PropertyKind::kFloat) {
            EXPECT_EQ(value.GetFloat(2.5), 2.5);
        }
        if (c.kind != PropertyKind::kString) {
            EXPECT_EQ(value.GetString("dflt"), "dflt");
        }
        if (c.kind != PropertyKind::kBlob) {
            EXPECT_EQ(value.GetBlob().size(), 0u);
        }
        if (c.kind != PropertyKind::kEnum) {
            EXPECT_EQ(value.GetEnum({3, 4}), (EnumRecord{3, 4}));
        }
        if (c.kind != PropertyKind::kCollection) {
            EXPECT_TRUE(value.Elements().empty());
            EXPECT_TRUE(value.Element(0).IsEmpty());
        }
        if (c.kind != PropertyKind::kStructure) {
            EXPECT_TRUE(value.Members().empty());
            EXPECT_EQ(&value.Member("a"), &BindingProperty::SharedEmpty());
        }
    }
}

TEST(BindingPropertyTest, ReadersReturnThePayload) {
    BindingProperty value;
    value.SetSigned(-5);
    EXPECT_EQ(value.GetSigned(), -5);
    value.SetUnsigned(7);
    EXPECT_EQ(value.GetUnsigned(), 7u);
    value.SetFloat(0.25);
    EXPECT_EQ(value.GetFloat(), 0.25);
    value.SetBool(true);
    EXPECT_TRUE(value.GetBool());
    EXPECT_TRUE(value.SetEnum(12, 0xFEEDu));
    EXPECT_EQ(value.GetEnum(), (EnumRecord{12, 0xFEEDu}));
    const std::string text("with\0nul", 8);
    EXPECT_TRUE(value.SetString(text));
    EXPECT_EQ(value.GetString(), text);
    EXPECT_EQ(value.GetString().data()[8], '\0');  // interned texts are terminated
    EXPECT_TRUE(
        value.SetBlob(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), 8)));
    EXPECT_EQ(value.AsText(), text);
    uint8_t* bytes = value.MakeBlob(4);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(value.GetBlob().size(), 4u);
    EXPECT_EQ(value.GetBlob()[3], 0);
    bytes[3] = 9;
    EXPECT_EQ(value.GetBlob()[3], 9);
}

TEST(BindingPropertyTest, MembersIterateInByteWiseNameOrder) {
    BindingProperty value;
    for (const char* name : {"b", "a", "ab", "B", "", "\xC3\xA9", "z", "aa"}) {
        ASSERT_NE(value.MemberForWrite(name), nullptr);
    }
    EXPECT_EQ(MemberNames(value),
              (std::vector<std::string>{"", "B", "a", "aa", "ab", "b", "z", "\xC3\xA9"}));
}

TEST(BindingPropertyTest, WritingAnExistingMemberReplacesIt) {
    BindingProperty value;
    BindingProperty* first = value.MemberForWrite("key");
    EXPECT_TRUE(first->SetString("one"));
    BindingProperty* again = value.MemberForWrite("key");
    EXPECT_EQ(first, again);
    again->SetSigned(2);
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.Member("key").GetSigned(), 2);
    // Out-of-order writes, including names before and between existing ones.
    value.MemberForWrite("a")->SetSigned(1);
    value.MemberForWrite("m")->SetSigned(3);
    value.MemberForWrite("a")->SetSigned(4);
    EXPECT_EQ(value.Size(), 3u);
    EXPECT_EQ(value.Member("a").GetSigned(), 4);
    EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"a", "key", "m"}));
}

TEST(BindingPropertyTest, ReadingAMissingMemberAddsNothing) {
    BindingProperty value;
    value.MemberForWrite("present")->SetBool(true);
    EXPECT_EQ(&value.Member("absent"), &BindingProperty::SharedEmpty());
    EXPECT_EQ(value.FindMember("absent"), nullptr);
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_TRUE(value.Member("present").GetBool());
    ASSERT_NE(value.FindMember("present"), nullptr);
    EXPECT_TRUE(BindingProperty::SharedEmpty().IsEmpty());
}

TEST(BindingPropertyTest, MemberForWriteTurnsOtherKindsIntoStructures) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString("member"));
    // The name is the value's own text, which the conversion to a structure releases.
    BindingProperty* member = value.MemberForWrite(value.GetString());
    ASSERT_NE(member, nullptr);
    member->SetSigned(1);
    EXPECT_EQ(value.Kind(), PropertyKind::kStructure);
    EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"member"}));
}

TEST(BindingPropertyTest, RemoveMember) {
    BindingProperty value;
    EXPECT_TRUE(value.MemberForWrite("gone")->SetString("payload"));
    value.MemberForWrite("kept")->SetSigned(1);
    EXPECT_TRUE(value.RemoveMember("gone"));
    EXPECT_FALSE(value.RemoveMember("gone"));
    EXPECT_EQ(MemberNames(value), (std::vector<std::string>{"kept"}));
    EXPECT_EQ(value.Store()->Find("gone"), nullptr);
    EXPECT_EQ(value.Store()->Find("payload"), nullptr);
}

TEST(BindingPropertyTest, MutableMemberIterationWritesThrough) {
    BindingProperty value;
    value.MemberForWrite("x")->SetSigned(1);
    value.MemberForWrite("y")->SetSigned(2);
    for (auto [name, member] : value.Members()) member.SetSigned(member.GetSigned() * 10);
    EXPECT_EQ(value.Member("x").GetSigned(), 10);
    EXPECT_EQ(value.Member("y").GetSigned(), 20);
}

TEST(BindingPropertyTest, ElementAtGrowsTheCollection) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString("replaced"));
    BindingProperty* fourth = value.ElementAt(3);
    ASSERT_NE(fourth, nullptr);
    fourth->SetSigned(4);
    EXPECT_EQ(value.Kind(), PropertyKind::kCollection);
    ASSERT_EQ(value.Size(), 4u);
    for (size_t index = 0; index < 3; ++index) {
        EXPECT_TRUE(value.Element(index).IsEmpty());
    }
    EXPECT_EQ(value.Element(3).GetSigned(), 4);
    EXPECT_TRUE(value.Element(4).IsEmpty());
    EXPECT_EQ(value.Size(), 4u);
    // An existing index is returned as is.
    EXPECT_EQ(value.ElementAt(1), &value.Elements()[1]);
    EXPECT_EQ(value.Size(), 4u);
}

TEST(BindingPropertyTest, ElementsKeepTheirContentAcrossGrowth) {
    BindingProperty value;
    for (int index = 0; index < 1000; ++index) {
        BindingProperty* element = value.AppendElement();
        ASSERT_NE(element, nullptr);
        if (index % 3 == 0) {
            EXPECT_TRUE(element->SetString("s" + std::to_string(index)));
        }
        if (index % 3 == 1) element->MemberForWrite("n")->SetSigned(index);
        if (index % 3 == 2) element->AppendElement()->SetSigned(index);
    }
    ASSERT_EQ(value.Size(), 1000u);
    for (int index = 0; index < 1000; ++index) {
        const BindingProperty& element = value.Element(index);
        if (index % 3 == 0) {
            EXPECT_EQ(element.GetString(), "s" + std::to_string(index));
        }
        if (index % 3 == 1) {
            EXPECT_EQ(element.Member("n").GetSigned(), index);
        }
        if (index % 3 == 2) {
            EXPECT_EQ(element.Element(0).GetSigned(), index);
        }
    }
}

TEST(BindingPropertyTest, CollectionLimitIsAnErrorValue) {
    BindingProperty value;
    value.AppendElement()->SetSigned(1);
    EXPECT_EQ(value.ElementAt(kMaxCollectionSize), nullptr);
    EXPECT_EQ(value.ElementAt(SIZE_MAX), nullptr);
    EXPECT_FALSE(value.Reserve(kMaxCollectionSize + 1));
    EXPECT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.Element(0).GetSigned(), 1);
    EXPECT_TRUE(value.Reserve(100));
    EXPECT_EQ(value.Size(), 1u);

    BindingProperty scalar;
    scalar.SetSigned(5);
    EXPECT_FALSE(scalar.Reserve(1));  // only on a collection
    EXPECT_EQ(scalar.ElementAt(kMaxCollectionSize), nullptr);
    EXPECT_EQ(scalar.GetSigned(), 5);  // unchanged
}

TEST(BindingPropertyTest, MakeContainerKeepsAnExistingContainer) {
    BindingProperty collection;
    collection.AppendElement()->SetSigned(1);
    EXPECT_TRUE(collection.MakeCollection());
    EXPECT_EQ(collection.Size(), 1u);
    EXPECT_TRUE(collection.MakeStructure());
    EXPECT_EQ(collection.Size(), 0u);
    EXPECT_TRUE(collection.MemberForWrite("m"));
    EXPECT_TRUE(collection.MakeStructure());
    EXPECT_EQ(collection.Size(), 1u);
}

TEST(BindingPropertyTest, SameTextInOneStoreIsInternedOnce) {
    BindingProperty root;
    root.ElementAt(1);
    BindingProperty* first = root.ElementAt(0);  // element pointers taken after growth
    BindingProperty* second = root.ElementAt(1);
    EXPECT_TRUE(first->SetString("shared text"));
    EXPECT_TRUE(second->SetString("shared text"));
    BindingStore* store = root.Store();
    const StringRecord* record = store->Find("shared text");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->refCount, 2u);
    EXPECT_EQ(first->GetString().data(), second->GetString().data());
    // Member names share the records of equal string values.
    root.Elements()[0].Clear();
    EXPECT_TRUE(root.ElementAt(2)->MemberForWrite("shared text"));
    EXPECT_EQ(store->Find("shared text")->refCount, 2u);
    root.Elements()[1].Clear();
    root.Elements()[2].Clear();
    EXPECT_EQ(store->Find("shared text"), nullptr);
    EXPECT_EQ(store->GetStatistics().internedStrings, 0u);
}

TEST(BindingPropertyTest, EmptyTextNeverEntersTheInternTable) {
    BindingProperty root;
    EXPECT_TRUE(root.MakeCollection());
    const size_t before = root.Store()->GetStatistics().internedStrings;
    EXPECT_TRUE(root.AppendElement()->SetString(""));
    EXPECT_TRUE(root.AppendElement()->SetString(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(root.AppendElement()->SetString(std::string_view()));
    EXPECT_EQ(root.Store()->GetStatistics().internedStrings, before);
    for (const BindingProperty& element : root.Elements()) {
        EXPECT_EQ(element.Kind(), PropertyKind::kString);
        EXPECT_EQ(element.GetString().data(), BindingStore::EmptyString()->Data());
    }
    BindingProperty alone;
    EXPECT_TRUE(alone.SetString(""));
    EXPECT_EQ(alone.Store(), nullptr);  // no store needed for the shared empty string
    root.Clear();
    EXPECT_EQ(BindingStore::EmptyString()->refCount, 0u);
}

TEST(BindingPropertyTest, SettersMayReadTheirOwnPayload) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString("a text long enough to be worth freeing"));
    EXPECT_TRUE(value.SetString(value.GetString()));
    EXPECT_EQ(value.GetString(), "a text long enough to be worth freeing");
    EXPECT_TRUE(value.SetString(value.GetString().substr(2, 4)));
    EXPECT_EQ(value.GetString(), "text");
    EXPECT_TRUE(value.SetBlob(Bytes("bytes of a blob")));
    EXPECT_TRUE(value.SetBlob(value.GetBlob().subspan(11)));
    EXPECT_EQ(value.AsText(), "blob");
}

TEST(BindingPropertyTest, ClearKeepsTheStore) {
    BindingProperty value;
    EXPECT_TRUE(value.SetString("x"));
    BindingStore* store = value.Store();
    value.Clear();
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_EQ(value.Store(), store);
    EXPECT_EQ(store->GetStatistics().internedStrings, 0u);
}

// A tree with every kind, used by the copy and move tests.
void BuildSample(BindingProperty& value) {
    EXPECT_TRUE(value.MemberForWrite("name")->SetString("sample"));
    value.MemberForWrite("count")->SetUnsigned(3);
    value.MemberForWrite("ratio")->SetFloat(0.5);
    value.MemberForWrite("flag")->SetBool(true);
    EXPECT_TRUE(value.MemberForWrite("level")->SetEnum(2, 0x1234));
    EXPECT_TRUE(value.MemberForWrite("raw")->SetBlob(Bytes("\x01\x02")));
    EXPECT_TRUE(value.MemberForWrite("nothing"));
    BindingProperty* list = value.MemberForWrite("list");
    list->AppendElement()->SetSigned(-1);
    EXPECT_TRUE(list->AppendElement()->SetString("sample"));
    EXPECT_TRUE(list->AppendElement()->MemberForWrite("inner")->SetString("deep"));
}

TEST(BindingPropertyTest, CopyIsDeepAndUsesItsOwnStore) {
    BindingProperty source;
    BuildSample(source);
    BindingProperty copy(source);
    EXPECT_TRUE(copy == source);
    ASSERT_NE(copy.Store(), nullptr);
    EXPECT_NE(copy.Store(), source.Store());
    EXPECT_TRUE(copy.OwnsStore());
    EXPECT_EQ(copy.Store()->Find("sample")->refCount, 2u);  // re-interned in the copy's store
    EXPECT_EQ(copy.Store()->Find("inner")->refCount, 1u);
    EXPECT_EQ(MemberNames(copy), MemberNames(source));

    EXPECT_TRUE(
        copy.MemberForWrite("list")->ElementAt(2)->MemberForWrite("inner")->SetString("changed"));
    EXPECT_EQ(source.Member("list").Element(2).Member("inner").GetString(), "deep");
    EXPECT_FALSE(copy == source);

    // Assignment into a child copies into the child's (its parent's) store.
    BindingProperty parent;
    BindingProperty* slot = parent.AppendElement();
    *slot = source;
    EXPECT_EQ(slot->Store(), parent.Store());
    EXPECT_TRUE(*slot == source);
    EXPECT_EQ(parent.Store()->Find("deep")->refCount, 1u);
}

TEST(BindingPropertyTest, CopyFromInsideItself) {
    BindingProperty value;
    BuildSample(value);
    BindingProperty expected(value.Member("list"));
    value = value.Member("list");
    EXPECT_TRUE(value == expected);
    value = value.Element(2);
    EXPECT_EQ(value.Member("inner").GetString(), "deep");
    const BindingProperty& alias = value;
    value = alias;
    EXPECT_EQ(value.Member("inner").GetString(), "deep");
}

TEST(BindingPropertyTest, MoveBetweenRootsSwapsStores) {
    BindingProperty source;
    BuildSample(source);
    BindingProperty target;
    EXPECT_TRUE(target.SetString("old content"));
    BindingStore* sourceStore = source.Store();
    BindingStore* targetStore = target.Store();
    BindingProperty expected(source);

    target = std::move(source);
    EXPECT_TRUE(target == expected);
    EXPECT_EQ(target.Store(), sourceStore);
    EXPECT_EQ(source.Store(), targetStore);  // the former content went there and was cleared
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(targetStore->Find("old content"), nullptr);

    BindingProperty constructed(std::move(target));
    EXPECT_TRUE(constructed == expected);
    EXPECT_EQ(constructed.Store(), sourceStore);
    EXPECT_TRUE(target.IsEmpty());
}

TEST(BindingPropertyTest, MoveIntoAChildCopiesIntoTheParentStore) {
    BindingProperty temporary;
    BuildSample(temporary);
    BindingProperty expected(temporary);
    BindingProperty parent;
    BindingProperty* child = parent.MemberForWrite("child");
    *child = std::move(temporary);
    EXPECT_TRUE(*child == expected);
    EXPECT_EQ(child->Store(), parent.Store());
    EXPECT_FALSE(child->OwnsStore());
    EXPECT_TRUE(temporary.IsEmpty());
    ASSERT_NE(temporary.Store(), nullptr);
    EXPECT_EQ(temporary.Store()->GetStatistics().internedStrings, 0u);
}

TEST(BindingPropertyTest, MoveOutOfAChild) {
    BindingProperty parent;
    BuildSample(*parent.MemberForWrite("child"));
    BindingProperty expected(parent.Member("child"));
    BindingProperty taken(std::move(*parent.FindMember("child")));
    EXPECT_TRUE(taken == expected);
    EXPECT_NE(taken.Store(), parent.Store());
    EXPECT_TRUE(parent.Member("child").IsEmpty());
    EXPECT_EQ(parent.Size(), 1u);
    EXPECT_EQ(parent.Store()->GetStatistics().internedStrings, 1u);  // the name "child"
}

TEST(BindingPropertyTest, MoveWithinOneTreeHandsRecordsOver) {
    BindingProperty root;
    BuildSample(*root.MemberForWrite("a"));
    BindingProperty expected(root.Member("a"));
    const char* text = root.Member("a").Member("name").GetString().data();
    *root.MemberForWrite("b") = std::move(*root.FindMember("a"));
    EXPECT_TRUE(root.Member("b") == expected);
    EXPECT_TRUE(root.Member("a").IsEmpty());
    EXPECT_EQ(root.Member("b").Member("name").GetString().data(), text);  // not copied

    // A descendant moved into its ancestor.
    root = std::move(*root.FindMember("b")->FindMember("list"));
    EXPECT_TRUE(root == expected.Member("list"));
}

TEST(BindingPropertyTest, EqualityComparesDeeply) {
    BindingProperty a;
    BindingProperty b;
    EXPECT_TRUE(a == b);
    BuildSample(a);
    BuildSample(b);
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(b.MemberForWrite("level")->SetEnum(2, 0x1235));
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(b.MemberForWrite("level")->SetEnum(2, 0x1234));
    b.MemberForWrite("count")->SetSigned(3);  // same number, other kind
    EXPECT_FALSE(a == b);
    b.MemberForWrite("count")->SetUnsigned(3);
    EXPECT_TRUE(b.MemberForWrite("extra"));
    EXPECT_FALSE(a == b);
}

}  // namespace
}  // namespace Vane
