#include "host/host_value_arena.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/host_value.h"
#include "types/large_document_records_test_support.h"
#include "types/record_description.h"
#include "types/type_registry.h"
#include "value/binding_property_test_support.h"
#include "value/binding_writer.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

using namespace test_values;
namespace records = large_document_records;

// A readable dump of a host value that tells apart everything the host sees except who owns a
// text: borrowed and owned strings (and blobs) print alike. Floats print by their bits, so NaNs
// compare too. (The records are packed: fields are copied out before they are used.)
void Dump(const HostValue& value, std::string& out) {
    const uint32_t type = value.type;
    switch (type) {
        case kHostValueNone:
            out += "none";
            return;
        case kHostValueBool:
            out += value.payload.boolean ? "true" : "false";
            return;
        case kHostValueSigned:
            out += "s" + std::to_string(int64_t{value.payload.i64});
            return;
        case kHostValueUnsigned:
            out += "u" + std::to_string(uint64_t{value.payload.u64});
            return;
        case kHostValueFloat: {
            const double number = value.payload.f64;
            uint64_t bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            out += "f" + std::to_string(bits);
            return;
        }
        case kHostValueStringBorrowed:
        case kHostValueStringOwned: {
            const char* chars = value.payload.string.chars;
            const uint32_t length = value.payload.string.length;
            out += "'" + std::string(chars, length) + "'";
            return;
        }
        case kHostValueBlobBorrowed:
        case kHostValueBlobOwned: {
            const uint8_t* bytes = value.payload.blob.bytes;
            const uint32_t size = value.payload.blob.size;
            out += "b'" + std::string(reinterpret_cast<const char*>(bytes), size) + "'";
            return;
        }
        case kHostValueCollection: {
            const HostValue* items = value.payload.collection.items;
            const uint32_t count = value.payload.collection.count;
            out += "[";
            for (uint32_t i = 0; i < count; ++i) Dump(items[i], out += i ? "," : "");
            out += "]";
            return;
        }
        case kHostValueStructure: {
            const HostMember* members = value.payload.structure.members;
            const uint32_t count = value.payload.structure.count;
            out += "{";
            for (uint32_t i = 0; i < count; ++i) {
                const char* name = members[i].name;
                Dump(members[i].value, out += (i ? "," : "") + std::string(name) + ":");
            }
            out += "}";
            return;
        }
        default:
            out += "?" + std::to_string(type);
    }
}

std::string Dump(const HostValue& value) {
    std::string out;
    Dump(value, out);
    return out;
}

// What the owned conversion of `value` gives, dumped.
std::string OwnedDump(const BindingProperty& value, const EnumNameResolver* resolver) {
    HostValue host{};
    std::string error;
    EXPECT_TRUE(BindingToHostValue(value, resolver, host, &error)) << error;
    std::string dump = Dump(host);
    ReleaseHostValue(host);
    return dump;
}

// Every text of the tree is a borrowed, NUL-terminated string and every name is not owned.
void ExpectBorrowed(const HostValue& value) {
    const uint32_t type = value.type;
    EXPECT_NE(type, kHostValueStringOwned);
    EXPECT_NE(type, kHostValueBlobOwned);
    if (type == kHostValueStringBorrowed) {
        const char* chars = value.payload.string.chars;
        const uint32_t length = value.payload.string.length;
        ASSERT_NE(chars, nullptr);
        EXPECT_EQ(chars[length], '\0');
    } else if (type == kHostValueCollection) {
        const HostValue* items = value.payload.collection.items;
        ASSERT_NE(items, nullptr);  // even when empty
        for (uint32_t i = 0; i < value.payload.collection.count; ++i) ExpectBorrowed(items[i]);
    } else if (type == kHostValueStructure) {
        const HostMember* members = value.payload.structure.members;
        ASSERT_NE(members, nullptr);
        for (uint32_t i = 0; i < value.payload.structure.count; ++i) {
            const uint8_t ownsName = members[i].ownsName;
            EXPECT_EQ(ownsName, 0);
            ExpectBorrowed(members[i].value);
        }
    }
}

class HostValueArenaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(RegisterType<records::Catalog>(registry_), nullptr);
        enumType_ = NativeTypeInfo<records::OfferType>().id;
    }

    // A catalog with the shapes that matter: texts with NUL bytes and empty texts, nested
    // records, empty lists, 64-bit limits, enumerators with and without a name, a map, a held
    // value with a null member.
    static records::Catalog SampleCatalog() {
        records::Catalog catalog;
        records::Item item;
        item.id = std::string("a\0b", 3);
        item.name = "Name";
        item.soldAt = INT64_MIN;
        item.restockMillis = UINT64_MAX;
        item.weight = -0.0;
        item.rating = std::numeric_limits<double>::infinity();
        item.parts.push_back({"PART", "Win", true, {1, 2, 3}, {"g1", ""}});
        item.offers.push_back({records::OfferType::kRental, "Chest", 4, true, "g1", {}});
        item.offers.push_back({static_cast<records::OfferType>(99), "", 0, false, "", {}});
        item.details.packaging.labels = {{"quantity", "2"}, {"", "empty key"}};
        item.keywords = {"r1", ""};
        item.attributes = Structure({{"origin", Empty()}, {"size", Signed(-3)}});
        catalog.items = {item, records::Item{}};
        catalog.collections.push_back(records::Collection{});
        catalog.collections[0].tags = {"seasonal"};
        return catalog;
    }

    TypeRegistry registry_;
    uint32_t enumType_ = 0;
};

// The walked tree is the tree of the owned conversion of the value ToBinding builds, with and
// without enumeration names, for native records and for every kind of dynamic value.
TEST_F(HostValueArenaTest, BuildsTheTreeOfTheOwnedConversion) {
    const records::Catalog catalog = SampleCatalog();
    ConversionStatus value = ToBinding(registry_, catalog);
    ASSERT_TRUE(value.Ok()) << value.Error();
    for (const EnumNameResolver* resolver : {static_cast<const EnumNameResolver*>(&registry_),
                                             static_cast<const EnumNameResolver*>(nullptr)}) {
        HostValueArenaWriter writer(resolver);
        ASSERT_TRUE(WalkNative(registry_, catalog, writer).Ok());
        ASSERT_TRUE(writer.Ok()) << writer.Error();
        const std::string dump = Dump(writer.Root());
        EXPECT_EQ(dump, OwnedDump(value.Value(), resolver));
        EXPECT_NE(dump.find(resolver ? "offerType:'RENTAL'" : "offerType:s2"), std::string::npos);
        ExpectBorrowed(writer.Root());
    }

    BindingProperty enumerator;
    ASSERT_TRUE(enumerator.SetEnum(2, enumType_));
    BindingProperty blob;
    const uint8_t bytes[] = {0, 1, 2};
    ASSERT_TRUE(blob.SetBlob(bytes));
    const BindingProperty values[] = {
        Empty(),
        Bool(true),
        Signed(INT64_MIN),
        Unsigned(UINT64_MAX),
        Float(std::nan("")),
        String(std::string_view("x\0y", 3)),
        blob,
        enumerator,
        Collection({}),
        Structure({}),
        Structure({{"b", Collection({Empty(), String(""), Structure({{"", Bool(false)}})})},
                   {"a", enumerator}}),
    };
    for (const BindingProperty& dynamic : values) {
        HostValueArenaWriter writer(&registry_);
        Walk(dynamic, writer);
        ASSERT_TRUE(writer.Ok()) << writer.Error();
        const std::string owned = OwnedDump(dynamic, &registry_);
        EXPECT_EQ(Dump(writer.Root()), owned);
        ExpectBorrowed(writer.Root());
    }
}

// A taken arena keeps the tree valid after the writer is gone (ASan would report a read of
// freed memory); texts beyond a block's share and trees spanning many blocks stay intact.
TEST_F(HostValueArenaTest, TakenArenaOutlivesTheWriter) {
    records::Catalog catalog = SampleCatalog();
    catalog.items[0].description.assign(100 * 1024, 'd');  // a block of its own
    catalog.items.resize(400, catalog.items[1]);           // many blocks
    catalog.items[399].name = "last";
    ConversionStatus value = ToBinding(registry_, catalog);
    ASSERT_TRUE(value.Ok());

    std::unique_ptr<HostValueArena> arena;
    {
        HostValueArenaWriter writer(&registry_);
        EXPECT_EQ(writer.Take(), nullptr);  // nothing written yet
        ASSERT_TRUE(WalkNative(registry_, catalog, writer).Ok());
        arena = writer.Take();
        ASSERT_NE(arena, nullptr);
        EXPECT_FALSE(writer.Ok());
        EXPECT_EQ(writer.Take(), nullptr);  // only once
        EXPECT_EQ(writer.Error(), "");
        const uint32_t type = writer.Root().type;
        EXPECT_EQ(type, kHostValueNone);
    }
    EXPECT_EQ(Dump(arena->Root()), OwnedDump(value.Value(), &registry_));
}

TEST_F(HostValueArenaTest, AWalkOutOfProtocolFails) {
    struct Case {
        const char* name;
        void (*walk)(HostValueArenaWriter&);
        const char* error;
    };
    constexpr const char* kMalformed =
        "Couldn't convert value to the host form because the value written was malformed.";
    constexpr const char* kIncomplete =
        "Couldn't convert value to the host form because the value written was incomplete.";
    const Case cases[] = {
        {"nothing written", [](HostValueArenaWriter&) {}, kIncomplete},
        {"unclosed", [](HostValueArenaWriter& w) { w.BeginCollection(1); }, kIncomplete},
        {"two roots",
         [](HostValueArenaWriter& w) {
             w.WriteBool(true);
             w.WriteBool(false);
         },
         kMalformed},
        {"member missing",
         [](HostValueArenaWriter& w) {
             w.BeginStructure(2);
             w.MemberName("a");
             w.WriteSigned(1);
             w.EndMember();
             w.EndStructure();
         },
         kMalformed},
        {"member value missing",
         [](HostValueArenaWriter& w) {
             w.BeginStructure(1);
             w.MemberName("a");
             w.EndMember();
             w.EndStructure();
         },
         kMalformed},
        {"element beyond the count",
         [](HostValueArenaWriter& w) {
             w.BeginCollection(0);
             w.BeginElement();
             w.WriteSigned(1);
             w.EndElement();
             w.EndCollection();
         },
         kMalformed},
        {"element without a value",
         [](HostValueArenaWriter& w) {
             w.BeginCollection(2);
             w.BeginElement();
             w.BeginElement();
         },
         kMalformed},
        {"member name in a collection",
         [](HostValueArenaWriter& w) {
             w.BeginCollection(1);
             w.MemberName("a");
         },
         kMalformed},
        {"collection closed as a structure",
         [](HostValueArenaWriter& w) {
             w.BeginCollection(0);
             w.EndStructure();
         },
         kMalformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostValueArenaWriter writer(nullptr);
        c.walk(writer);
        EXPECT_FALSE(writer.Ok());
        EXPECT_EQ(writer.Error(), c.error);
        EXPECT_EQ(writer.Take(), nullptr);
        const uint32_t type = writer.Root().type;
        if (std::string(c.error) == kMalformed) {
            EXPECT_EQ(type, kHostValueNone);
        }
    }
}

// Nesting up to the limit is written; one level more fails with the owned conversion's message.
TEST_F(HostValueArenaTest, NestingStopsAtTheLimit) {
    for (const size_t depth : {kMaxNestingDepth, kMaxNestingDepth + 1}) {
        SCOPED_TRACE(depth);
        HostValueArenaWriter writer(nullptr);
        for (size_t i = 0; i < depth; ++i) {
            writer.BeginCollection(1);
            writer.BeginElement();
        }
        writer.WriteEmpty();
        for (size_t i = 0; i < depth; ++i) {
            writer.EndElement();
            writer.EndCollection();
        }
        if (depth == kMaxNestingDepth) {
            EXPECT_TRUE(writer.Ok()) << writer.Error();
        } else {
            EXPECT_FALSE(writer.Ok());
            EXPECT_EQ(writer.Error(),
                      "Couldn't convert value to the host form because it is nested deeper than "
                      "512 levels.");
        }
    }
}

}  // namespace
}  // namespace Vane
