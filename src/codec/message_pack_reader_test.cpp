#include "codec/message_pack_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "codec/message_pack_test_support.h"
#include "value/binding_property_test_support.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

using namespace test_values;

using Bytes = std::vector<uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes Repeat(uint8_t byte, size_t count) {
    return Bytes(count, byte);
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

BindingProperty Blob(const Bytes& bytes) {
    BindingProperty property;
    EXPECT_TRUE(property.SetBlob(bytes));
    return property;
}

// A readable form of a value for failure output.
std::string Describe(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kString:
            return "\"" + value.AsText() + "\"";
        case PropertyKind::kBlob:
            return "blob(" + std::to_string(value.Size()) + ")";
        case PropertyKind::kCollection: {
            std::string text = "[";
            for (const BindingProperty& element : value.Elements()) {
                text += Describe(element) + ",";
            }
            return text + "]";
        }
        case PropertyKind::kStructure: {
            std::string text = "{";
            for (const auto& member : value.Members()) {
                text += std::string(member.name) + ":" + Describe(member.value) + ",";
            }
            return text + "}";
        }
        default:
            return std::string(KindName(value.Kind())) + " " + value.AsText();
    }
}

struct DecodeCase {
    const char* name;
    Bytes input;
    BindingProperty expected;
};

// Every case must decode to the expected value, kind included, and consume the whole input.
void ExpectDecodes(const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& test : cases) {
        SCOPED_TRACE(test.name);
        const MessagePackResult result = DecodeMessagePack(test.input);
        ASSERT_TRUE(result.status.Ok()) << result.status.Error();
        EXPECT_EQ(result.consumed, test.input.size());
        EXPECT_TRUE(result.status.Value() == test.expected)
            << Describe(result.status.Value()) << " != " << Describe(test.expected);
    }
}

TEST(MessagePackReaderTest, IntegerFormatsAtTheirLimits) {
    const uint64_t kMax64 = std::numeric_limits<uint64_t>::max();
    ExpectDecodes({
        {"positive fixint 0", {0x00}, Signed(0)},
        {"positive fixint 5", {0x05}, Signed(5)},
        {"positive fixint 127", {0x7F}, Signed(127)},
        {"negative fixint -32", {0xE0}, Signed(-32)},
        {"negative fixint -1", {0xFF}, Signed(-1)},
        {"uint 8 5", {0xCC, 0x05}, Unsigned(5)},
        {"uint 8 0", {0xCC, 0x00}, Unsigned(0)},
        {"uint 8 max", {0xCC, 0xFF}, Unsigned(255)},
        {"uint 16 max", {0xCD, 0xFF, 0xFF}, Unsigned(65535)},
        {"uint 16 byte order", {0xCD, 0x01, 0x02}, Unsigned(0x0102)},
        {"uint 32 max", {0xCE, 0xFF, 0xFF, 0xFF, 0xFF}, Unsigned(4294967295u)},
        {"uint 32 byte order", {0xCE, 0x01, 0x02, 0x03, 0x04}, Unsigned(0x01020304)},
        {"uint 64 max", Join({{0xCF}, Repeat(0xFF, 8)}), Unsigned(kMax64)},
        {"uint 64 top bit", {0xCF, 0x80, 0, 0, 0, 0, 0, 0, 0}, Unsigned(uint64_t{1} << 63)},
        {"uint 64 byte order",
         {0xCF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
         Unsigned(0x0102030405060708)},
        {"int 8 min", {0xD0, 0x80}, Signed(-128)},
        {"int 8 max", {0xD0, 0x7F}, Signed(127)},
        {"int 8 -1", {0xD0, 0xFF}, Signed(-1)},
        {"int 16 min", {0xD1, 0x80, 0x00}, Signed(-32768)},
        {"int 16 max", {0xD1, 0x7F, 0xFF}, Signed(32767)},
        {"int 32 min", {0xD2, 0x80, 0, 0, 0}, Signed(std::numeric_limits<int32_t>::min())},
        {"int 32 max", {0xD2, 0x7F, 0xFF, 0xFF, 0xFF}, Signed(2147483647)},
        {"int 32 -2", {0xD2, 0xFF, 0xFF, 0xFF, 0xFE}, Signed(-2)},
        {"int 64 min",
         {0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0},
         Signed(std::numeric_limits<int64_t>::min())},
        {"int 64 max", Join({{0xD3, 0x7F}, Repeat(0xFF, 7)}),
         Signed(std::numeric_limits<int64_t>::max())},
        {"int 64 -1", Join({{0xD3}, Repeat(0xFF, 8)}), Signed(-1)},
    });
}

TEST(MessagePackReaderTest, OtherScalarFormats) {
    std::string text31(31, 'x');
    std::string text256(256, 'y');
    std::string text65536(65536, 'z');
    Bytes bytes300(300);
    for (size_t index = 0; index < bytes300.size(); ++index) bytes300[index] = uint8_t(index);
    ExpectDecodes({
        {"nil", {0xC0}, BindingProperty()},
        {"false", {0xC2}, Bool(false)},
        {"true", {0xC3}, Bool(true)},
        {"float 32", {0xCA, 0x3F, 0xC0, 0x00, 0x00}, Float(1.5)},
        {"float 32 widened", {0xCA, 0x3D, 0xCC, 0xCC, 0xCD}, Float(double(0.1f))},
        {"float 32 infinity",
         {0xCA, 0x7F, 0x80, 0, 0},
         Float(std::numeric_limits<double>::infinity())},
        {"float 64",
         {0xCB, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18},
         Float(std::numbers::pi)},
        {"float 64 negative", {0xCB, 0xC0, 0x24, 0, 0, 0, 0, 0, 0}, Float(-10.0)},
        {"empty fixstr", {0xA0}, String("")},
        {"fixstr", {0xA2, 'h', 'i'}, String("hi")},
        {"longest fixstr", Join({{0xBF}, Text(text31)}), String(text31)},
        {"str 8 with a NUL byte", {0xD9, 0x03, 'a', 0x00, 'b'}, String(std::string("a\0b", 3))},
        {"str 8 empty", {0xD9, 0x00}, String("")},
        {"str 16", Join({{0xDA, 0x01, 0x00}, Text(text256)}), String(text256)},
        {"str 32", Join({{0xDB, 0x00, 0x01, 0x00, 0x00}, Text(text65536)}), String(text65536)},
        {"str 8 not UTF-8", {0xD9, 0x02, 0xFF, 0xFE}, String("\xFF\xFE")},
        {"bin 8 empty", {0xC4, 0x00}, Blob({})},
        {"bin 8", {0xC4, 0x02, 0x01, 0xFF}, Blob({0x01, 0xFF})},
        {"bin 16", Join({{0xC5, 0x01, 0x2C}, bytes300}), Blob(bytes300)},
        {"bin 32", {0xC6, 0x00, 0x00, 0x00, 0x01, 0x09}, Blob({0x09})},
    });
}

TEST(MessagePackReaderTest, ContainerFormats) {
    ExpectDecodes({
        {"empty fixmap", {0x80}, Structure({})},
        {"empty fixarray", {0x90}, Collection({})},
        {"nil element", {0x92, 0xC0, 0x01}, Collection({BindingProperty(), Signed(1)})},
        {"members sorted by name",
         {0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0x02},
         Structure({{"a", Signed(2)}, {"b", Signed(1)}})},
        {"nil member is kept", {0x81, 0xA1, 'k', 0xC0}, Structure({{"k", BindingProperty()}})},
        {"empty key", {0x81, 0xA0, 0x07}, Structure({{"", Signed(7)}})},
        {"array 16", {0xDC, 0x00, 0x02, 0xC3, 0xC2}, Collection({Bool(true), Bool(false)})},
        {"array 32", {0xDD, 0x00, 0x00, 0x00, 0x01, 0xA0}, Collection({String("")})},
        {"map 16", {0xDE, 0x00, 0x01, 0xA1, 'k', 0x90}, Structure({{"k", Collection({})}})},
        {"map 32",
         {0xDF, 0x00, 0x00, 0x00, 0x01, 0xD9, 0x01, 'k', 0xC0},
         Structure({{"k", BindingProperty()}})},
        {"str 16 and str 32 keys",
         {0x82, 0xDA, 0x00, 0x01, 'a', 0x05, 0xDB, 0x00, 0x00, 0x00, 0x01, 'b', 0x06},
         Structure({{"a", Signed(5)}, {"b", Signed(6)}})},
        {"nesting",
         {0x82, 0xA4, 'l', 'i', 's', 't', 0x93, 0x81, 0xA1, 'x', 0x01, 0x90, 0x91, 0x80, 0xA1, 'z',
          0xCC, 0x09},
         Structure({{"list", Collection({Structure({{"x", Signed(1)}}), Collection({}),
                                         Collection({Structure({})})})},
                    {"z", Unsigned(9)}})},
    });
}

// The reader stops after one root value and says how far it read.
TEST(MessagePackReaderTest, ConsumesExactlyOneRootValue) {
    struct Case {
        Bytes input;
        size_t consumed;
    };
    const Case cases[] = {
        {{0x01, 0x02}, 1},
        {{0xC0, 0xC0}, 1},
        {{0x91, 0x01, 0xFF}, 2},
        {{0x80, 0x80}, 1},
        {{0xA1, 'a', 0xC1}, 2},  // what follows is not even looked at
        {{0x81, 0xA1, 'k', 0x92, 0x01, 0x02, 0x03}, 6},
    };
    for (const Case& test : cases) {
        const MessagePackResult result = DecodeMessagePack(test.input);
        EXPECT_TRUE(result.status.Ok()) << result.status.Error();
        EXPECT_EQ(result.consumed, test.consumed);
    }
}

TEST(MessagePackReaderTest, EmptyInputIsTheEmptyValue) {
    const MessagePackResult empty = DecodeMessagePack(nullptr, 0);
    EXPECT_TRUE(empty.status.Ok());
    EXPECT_TRUE(empty.status.Value().IsEmpty());
    EXPECT_EQ(empty.consumed, 0u);

    // A null pointer reads as no input, whatever size comes with it.
    const MessagePackResult null = DecodeMessagePack(nullptr, 5);
    EXPECT_TRUE(null.status.Ok());
    EXPECT_EQ(null.consumed, 0u);
}

struct ErrorCase {
    Bytes input;
    std::string message;
};

void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& test : cases) {
        SCOPED_TRACE(test.message);
        MessagePackReader reader(test.input.data(), test.input.size());
        EXPECT_FALSE(reader.Decode());
        EXPECT_FALSE(reader.Result().Ok());
        EXPECT_EQ(reader.Result().Error(), test.message);
        // Nothing of the partial value survives next to the message.
        EXPECT_EQ(reader.Result().Value().Size(), 1u);
        EXPECT_LE(reader.Consumed(), test.input.size());
    }
}

TEST(MessagePackReaderTest, MapKeysMustBeStrings) {
    const std::string keys = "Map keys must be strings.";
    ExpectErrors({
        {{0x81, 0x01, 0x02}, "Invalid MessagePack data at position 2. " + keys},
        {{0x81, 0xC0, 0x02}, "Invalid MessagePack data at position 2. " + keys},
        {{0x81, 0x90}, "Invalid MessagePack data at position 2. " + keys},
        {{0x81, 0xC4, 0x01, 'k', 0x01}, "Invalid MessagePack data at position 2. " + keys},
        // The key rule comes before the format check.
        {{0x81, 0xC1}, "Invalid MessagePack data at position 2. " + keys},
        {{0x82, 0xA1, 'a', 0x01, 0xCC, 0x05, 0x01},
         "Invalid MessagePack data at position 5. " + keys},
        {{0x91, 0x81, 0xFF, 0x01}, "Invalid MessagePack data at position 3. " + keys},
    });
}

TEST(MessagePackReaderTest, UnsupportedFormatsFailJustPastTheFormatByte) {
    for (const uint8_t format : {0xC1, 0xC7, 0xC8, 0xC9, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8}) {
        SCOPED_TRACE(int{format});
        ExpectErrors({
            {{format}, "Invalid MessagePack data at position 1."},
            {{format, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
             "Invalid MessagePack data at position 1."},
            {{0x92, 0x01, format, 0x00}, "Invalid MessagePack data at position 3."},
            {{0x81, 0xA1, 'k', format}, "Invalid MessagePack data at position 4."},
        });
    }
}

TEST(MessagePackReaderTest, TruncatedNumbersLengthsAndCounts) {
    const auto message = [](int bits, int position) {
        return "Invalid MessagePack data. " + std::to_string(bits) +
               "-bit integer value at position " + std::to_string(position) + " is truncated.";
    };
    ExpectErrors({
        {{0xCC}, message(8, 1)},
        {{0xD0}, message(8, 1)},
        {{0xCD, 0x01}, message(16, 1)},
        {{0xD1}, message(16, 1)},
        {{0xCE, 0x00, 0x00, 0x00}, message(32, 1)},
        {{0xD2, 0x00}, message(32, 1)},
        {{0xCA, 0x3F, 0xC0, 0x00}, message(32, 1)},
        {Join({{0xCF}, Repeat(0, 7)}), message(64, 1)},
        {{0xD3}, message(64, 1)},
        {{0xCB, 0x40}, message(64, 1)},
        // Lengths and counts.
        {{0xD9}, message(8, 1)},
        {{0xDA, 0x00}, message(16, 1)},
        {{0xDB, 0x00, 0x00, 0x00}, message(32, 1)},
        {{0xC4}, message(8, 1)},
        {{0xC5, 0x00}, message(16, 1)},
        {{0xC6}, message(32, 1)},
        {{0xDC, 0x00}, message(16, 1)},
        {{0xDD, 0x00, 0x00, 0x00}, message(32, 1)},
        {{0xDE}, message(16, 1)},
        {{0xDF, 0x00, 0x00}, message(32, 1)},
        // Keys, and positions inside containers.
        {{0x81, 0xD9}, message(8, 2)},
        {{0x81, 0xDA, 0x00}, message(16, 2)},
        {{0x92, 0x01, 0xCD, 0x00}, message(16, 3)},
        {{0x81, 0xA1, 'k', 0xCF, 0x01}, message(64, 4)},
    });
}

TEST(MessagePackReaderTest, TruncatedStringsAndBytes) {
    ExpectErrors({
        {{0xA3, 0x61, 0x62},
         "Invalid MessagePack data. String of size 3 at position 1 is truncated."},
        {{0xA1}, "Invalid MessagePack data. String of size 1 at position 1 is truncated."},
        {{0xD9, 0x05, 'a'},
         "Invalid MessagePack data. String of size 5 at position 2 is truncated."},
        {{0xDA, 0x01, 0x00, 'a'},
         "Invalid MessagePack data. String of size 256 at position 3 is truncated."},
        {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},
         "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated."},
        {{0x81, 0xA5, 'a'},
         "Invalid MessagePack data. String of size 5 at position 2 is truncated."},
        {{0x91, 0xA2, 'a'},
         "Invalid MessagePack data. String of size 2 at position 2 is truncated."},
        {{0xC4, 0x03, 0x01},
         "Invalid MessagePack data. Raw bytes of size 3 at position 2 are truncated."},
        {{0xC5, 0x01, 0x00},
         "Invalid MessagePack data. Raw bytes of size 256 at position 3 are truncated."},
        {{0xC6, 0xFF, 0xFF, 0xFF, 0xFF},
         "Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated."},
    });
}

// A container whose count promises more items than the input holds is an error, never a
// shorter value; the innermost unfinished container is named by its format byte's offset.
TEST(MessagePackReaderTest, TruncatedContainersAreErrors) {
    const auto message = [](uint64_t items, int position) {
        return "Invalid MessagePack data. Container of " + std::to_string(items) +
               " items at position " + std::to_string(position) + " is truncated.";
    };
    ExpectErrors({
        {{0x91}, message(1, 0)},
        {{0x92, 0x01}, message(2, 0)},
        {{0x93, 0x90}, message(3, 0)},
        {{0x92, 0x91}, message(1, 1)},
        {{0x92, 0x91, 0x01}, message(2, 0)},
        {{0x92, 0x01, 0x92, 0x01}, message(2, 2)},
        {{0x81}, message(1, 0)},
        {{0x81, 0xA1, 'a'}, message(1, 0)},
        {{0x82, 0xA1, 'a', 0x01}, message(2, 0)},
        {{0x81, 0xA1, 'a', 0x81}, message(1, 3)},
        {{0xDC, 0x00, 0x05, 0x01}, message(5, 0)},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, message(4294967295u, 0)},
        {{0xDE, 0xFF, 0xFF, 0xA1, 'a', 0x01}, message(65535, 0)},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 'a'}, message(4294967295u, 0)},
    });
}

// Every non-empty proper prefix of an encoding is an error: a cut input never passes for a
// complete one. Checked over random trees, in the smallest and the widest formats, which must
// both decode back to the encoded tree.
TEST(MessagePackReaderTest, RandomTreesRoundTripAndEveryPrefixFails) {
    std::mt19937_64 random(20240611);
    const auto pick = [&random](int below) {
        return static_cast<int>(random() % static_cast<unsigned>(below));
    };
    const auto fill = [&](auto& self, BindingProperty& value, int depth) -> void {
        // The root is always a container; inner levels are containers five times in twelve.
        const int kind = depth == 0 ? 7 + pick(2) : (depth >= 4 ? pick(7) : pick(12));
        switch (kind) {
            case 0:
                value.SetBool(pick(2) == 1);
                break;
            case 1:
                // Every magnitude, so every signed format, both signs.
                value.SetSigned(static_cast<int64_t>(random()) >> pick(64));
                break;
            case 2:
                value.SetUnsigned(random() >> pick(64));
                break;
            case 3:
                value.SetFloat(static_cast<double>(random()) / 7.0);
                break;
            case 4:
                EXPECT_TRUE(value.SetString(
                    std::string(static_cast<size_t>(pick(40)), char('a' + pick(26)))));
                break;
            case 5: {
                Bytes bytes(static_cast<size_t>(pick(5)), uint8_t(pick(256)));
                EXPECT_TRUE(value.SetBlob(bytes));
                break;
            }
            case 6:
                break;  // empty
            case 7:
            case 9:
            case 11: {
                EXPECT_TRUE(value.MakeCollection());
                for (int count = pick(5); count > 0; --count) {
                    self(self, *value.AppendElement(), depth + 1);
                }
                break;
            }
            default: {
                EXPECT_TRUE(value.MakeStructure());
                for (int count = pick(5); count > 0; --count) {
                    const std::string name(static_cast<size_t>(pick(4)), char('k' + pick(3)));
                    self(self, *value.MemberForWrite(name), depth + 1);
                }
                break;
            }
        }
    };
    for (int round = 0; round < 200; ++round) {
        BindingProperty tree;
        fill(fill, tree, 0);
        for (const bool widest : {false, true}) {
            const Bytes encoded = testing::EncodeMessagePack(tree, widest);
            const MessagePackResult whole = DecodeMessagePack(encoded);
            ASSERT_TRUE(whole.status.Ok()) << whole.status.Error();
            ASSERT_EQ(whole.consumed, encoded.size());
            ASSERT_TRUE(whole.status.Value() == tree)
                << Describe(whole.status.Value()) << " != " << Describe(tree);
            for (size_t size = 1; size < encoded.size(); ++size) {
                const MessagePackResult cut = DecodeMessagePack(encoded.data(), size);
                ASSERT_FALSE(cut.status.Ok()) << Describe(tree) << " cut to " << size;
                ASSERT_LE(cut.consumed, size);
            }
        }
    }
}

// Counts are not trusted for allocation: a collection reserves at most what the remaining bytes
// could hold. Each huge claim must take no more C heap blocks (the error message may need one)
// than the same truncation with a small count; reserving the announced count would take more.
TEST(MessagePackReaderTest, HugeCountsAllocateNothingLarge) {
    struct Case {
        Bytes huge;
        Bytes small;
    };
    const Case cases[] = {
        {{0xDC, 0xFF, 0xFF, 0x01}, {0xDC, 0x00, 0x02, 0x01}},
        {{0xDD, 0x00, 0xFF, 0xFF, 0xFF, 0x01}, {0xDD, 0x00, 0x00, 0x00, 0x02, 0x01}},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, {0xDD, 0x00, 0x00, 0x00, 0x02, 0x01}},
        {{0x91, 0xDD, 0x0F, 0xFF, 0xFF, 0xFF, 0xC0, 0xC0}, {0x91, 0x93, 0xC0, 0xC0}},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 'a', 0x01}, {0x82, 0xA1, 'a', 0x01}},
    };
    const auto heapBlocks = [](const Bytes& input) {
        MessagePackReader reader(input.data(), input.size());
        EXPECT_FALSE(reader.Decode());
        EXPECT_NE(reader.Result().Error().find("items at position"), std::string_view::npos)
            << reader.Result().Error();
        const BindingStore* store = reader.Result().Value().Store();
        return store ? store->GetStatistics().heapAllocations : size_t{0};
    };
    for (const Case& test : cases) EXPECT_LE(heapBlocks(test.huge), heapBlocks(test.small));
}

// An array longer than a collection may be fails at once when the input could really hold it
// (one nil per element here), rather than growing until the limit is hit.
TEST(MessagePackReaderTest, ArrayAboveTheCollectionLimitIsTooLarge) {
    const size_t count = kMaxCollectionSize + 1;
    Bytes input(6 + count, 0xC0);
    const uint8_t header[] = {
        0x91,          0xDD, uint8_t(count >> 24), uint8_t(count >> 16), uint8_t(count >> 8),
        uint8_t(count)};
    std::copy(std::begin(header), std::end(header), input.begin());
    MessagePackReader reader(input.data(), input.size());
    EXPECT_FALSE(reader.Decode());
    EXPECT_EQ(reader.Result().Error(),
              "Invalid MessagePack data. Container of 268435456 items at position 1 is too large.");
}

// An honest large count still decodes, with every element in place.
TEST(MessagePackReaderTest, LargeArrayDecodesInFull) {
    testing::MessagePackEncoder encoder;
    encoder.ArrayHeader(70000);
    for (int index = 0; index < 70000; ++index) encoder.Signed(index % 100);
    const MessagePackResult result = DecodeMessagePack(encoder.Bytes());
    ASSERT_TRUE(result.status.Ok()) << result.status.Error();
    ASSERT_EQ(result.status.Value().Size(), 70000u);
    EXPECT_EQ(result.status.Value().Element(69999).GetSigned(-1), 99);
}

Bytes NestedArrays(size_t depth, Bytes innermost) {
    return Join({Repeat(0x91, depth), innermost});
}

TEST(MessagePackReaderTest, NestingIsBoundedByTheLimit) {
    ASSERT_EQ(kMaxNestingDepth, 512u);
    // The deepest allowed tree decodes.
    {
        const Bytes input = NestedArrays(kMaxNestingDepth, {0x2A});
        const MessagePackResult result = DecodeMessagePack(input);
        ASSERT_TRUE(result.status.Ok()) << result.status.Error();
        const BindingProperty* level = &result.status.Value();
        size_t depth = 0;
        while (level->Kind() == PropertyKind::kCollection) {
            level = &level->Element(0);
            ++depth;
        }
        EXPECT_EQ(depth, kMaxNestingDepth);
        EXPECT_EQ(level->GetSigned(), 42);
    }
    // Only open containers count: closed siblings at the deepest level are fine.
    {
        const Bytes input =
            Join({Repeat(0x91, kMaxNestingDepth - 2), {0x93, 0x90, 0x80, 0x91, 0x01}});
        const MessagePackResult result = DecodeMessagePack(input);
        EXPECT_TRUE(result.status.Ok()) << result.status.Error();
    }
    const std::string tooDeep = "Nesting deeper than 512 levels.";
    ExpectErrors({
        {NestedArrays(kMaxNestingDepth + 1, {0x01}),
         "Invalid MessagePack data at position 513. " + tooDeep},
        {NestedArrays(kMaxNestingDepth, {0x80}),
         "Invalid MessagePack data at position 513. " + tooDeep},
        {Join({Repeat(0x91, kMaxNestingDepth - 1), {0x92, 0x01, 0x90}}),
         "Invalid MessagePack data at position 514. " + tooDeep},
    });
    // Maps count like arrays: {"": {"": ...}}, the 513th map's format byte at offset 1024.
    Bytes maps;
    for (size_t level = 0; level <= kMaxNestingDepth; ++level)
        maps.insert(maps.end(), {0x81, 0xA0});
    ExpectErrors({{maps, "Invalid MessagePack data at position 1025. " + tooDeep}});
}

TEST(MessagePackReaderTest, AMillionNestedArraysFailQuickly) {
    const Bytes input = NestedArrays(1000000, {});
    MessagePackReader reader(input.data(), input.size());
    EXPECT_FALSE(reader.Decode());
    EXPECT_EQ(reader.Result().Error(),
              "Invalid MessagePack data at position 513. Nesting deeper than 512 levels.");
    EXPECT_EQ(reader.Consumed(), 513u);
}

// A repeated key selects the same member again and its value is decoded over the earlier one.
TEST(MessagePackReaderTest, RepeatedKeysDecodeOverTheEarlierValue) {
    ExpectDecodes({
        {"a scalar replaces",
         {0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0xA1, 'x'},
         Structure({{"a", String("x")}})},
        {"nil leaves the earlier value",
         {0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0xC0},
         Structure({{"a", Signed(1)}})},
        {"a map merges into a map",
         {0x82, 0xA1, 'a', 0x82, 0xA1, 'x', 0x01, 0xA1, 'y', 0x02, 0xA1, 'a', 0x82, 0xA1, 'y', 0x03,
          0xA1, 'z', 0xC0},
         Structure(
             {{"a", Structure({{"x", Signed(1)}, {"y", Signed(3)}, {"z", BindingProperty()}})}})},
        {"an array writes over the first elements",
         {0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x03},
         Structure({{"a", Collection({Signed(3), Signed(2)})}})},
        {"an array replaces a string",
         {0x82, 0xA1, 'a', 0xA1, 's', 0xA1, 'a', 0x91, 0x03},
         Structure({{"a", Collection({Signed(3)})}})},
        {"a map replaces an array",
         {0x82, 0xA1, 'a', 0x91, 0x03, 0xA1, 'a', 0x80},
         Structure({{"a", Structure({})}})},
        // An earlier map or array must not be taken for a finished container: the new value is
        // read as a value and the following keys stay keys.
        {"a scalar after a map",
         {0x83, 0xA1, 'a', 0x80, 0xA1, 'a', 0xA1, 'x', 0xA1, 'b', 0x01},
         Structure({{"a", String("x")}, {"b", Signed(1)}})},
        {"a scalar after an array",
         {0x83, 0xA1, 'a', 0x91, 0x07, 0xA1, 'a', 0xA1, 'x', 0xA1, 'b', 0x01},
         Structure({{"a", String("x")}, {"b", Signed(1)}})},
        {"a map after an empty map",
         {0x83, 0xA1, 'a', 0x80, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'b', 0x02},
         Structure({{"a", Structure({{"x", Signed(1)}})}, {"b", Signed(2)}})},
    });
}

TEST(MessagePackReaderTest, DecodeRunsOnce) {
    const Bytes input = {0x92, 0x01, 0x02};
    MessagePackReader reader(input.data(), input.size());
    EXPECT_TRUE(reader.Decode());
    EXPECT_TRUE(reader.Decode());
    EXPECT_EQ(reader.Consumed(), 3u);
    EXPECT_TRUE(reader.Result().Value() == Collection({Signed(1), Signed(2)}));

    const Bytes bad = {0xC1};
    MessagePackReader failing(bad.data(), bad.size());
    EXPECT_FALSE(failing.Decode());
    EXPECT_FALSE(failing.Decode());
    EXPECT_EQ(failing.Result().Error(), "Invalid MessagePack data at position 1.");
}

TEST(MessagePackReaderTest, ProbeRecognisesMapsAndArrays) {
    struct Case {
        Bytes input;
        bool looksLikeMessagePack;
    };
    const Case cases[] = {
        {{}, false},     {{0x7F}, false},     {{0x80}, true},  {{0x8F, 0x00}, true},
        {{0x90}, true},  {{0x9F}, true},      {{0xA0}, false}, {{0xDB}, false},
        {{0xDC}, true},  {{0xDD}, true},      {{0xDE}, true},  {{0xDF}, true},
        {{0xE0}, false}, {{'{', '}'}, false}, {{'['}, false},  {{0xC0}, false},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(LooksLikeMessagePack(test.input), test.looksLikeMessagePack)
            << (test.input.empty() ? -1 : int{test.input[0]});
    }
    EXPECT_FALSE(LooksLikeMessagePack(nullptr, 3));
}

}  // namespace
}  // namespace Vane
