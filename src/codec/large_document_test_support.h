// A generated large JSON document: a catalog of items, each with nested objects, arrays of
// objects, two maps, an optional member or two, a free-form object holding nulls, texts with
// escapes and non-ASCII characters, integers from 8 to 64 bits (beyond 2^53 and below -2^31
// too), floats and booleans, and a short list of collections. Built from a seed with splitmix64,
// so every platform reads the same bytes. The records of
// types/large_document_records_test_support.h describe it.
//
// Users: json_benchmark, message_pack_benchmark, yaml_benchmark and yaml_reader_test (the last
// two as block YAML, through block_yaml_test_support.h); the types tests and benchmark of the
// JSON <-> native paths; request_dispatch_benchmark. The missions layer's player update
// document takes only Random, TextWriter, Text and Uuid.
#ifndef PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_
#define PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace Vane::large_document {

// splitmix64: small, and the same sequence on every platform (unlike <random> distributions).
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, bound).
    uint64_t Below(uint64_t bound) { return Next() % bound; }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <size_t N>
    const char* Pick(const char* const (&choices)[N]) {
        return choices[Below(N)];
    }

  private:
    uint64_t state_;
};

using TextWriter = rapidjson::Writer<rapidjson::StringBuffer>;

inline void Text(TextWriter& w, const std::string& text) {
    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

inline std::string Uuid(Random& random) {
    char text[40];
    const uint64_t a = random.Next();
    const uint64_t b = random.Next();
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(a >> 32),
                  static_cast<unsigned>(a >> 16) & 0xFFFF, static_cast<unsigned>(a) & 0xFFFF,
                  static_cast<unsigned>(b >> 48),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return text;
}

// `words` words of `vocabulary` apart from spaces and, now and then, line breaks.
template <size_t N>
inline std::string Sentence(Random& random, int words, const char* const (&vocabulary)[N]) {
    std::string text;
    for (int index = 0; index < words; ++index) {
        if (index) text += random.Chance(8) ? "\n" : " ";
        text += random.Pick(vocabulary);
    }
    return text;
}

inline constexpr uint64_t kSeed = 20240611;
// Timestamps lie around this one (milliseconds since 1970), as a service's answer would carry.
inline constexpr uint64_t kNow = 1718000000000ull;
inline constexpr uint64_t kDay = 86400000ull;

namespace detail {

inline std::string Url(Random& random, const char* kind) {
    char text[160];
    std::snprintf(text, sizeof text, "https://cdn.example.org/catalog/%s/%llu/%s_%llu.png?v=%llu",
                  kind, static_cast<unsigned long long>(random.Below(1000)), kind,
                  static_cast<unsigned long long>(random.Below(100000)),
                  static_cast<unsigned long long>(random.Below(1u << 30)));
    return text;
}

// Plain words and the texts that need care: quotes, a backslash and a tab (escaped in JSON),
// two- to four-byte UTF-8.
inline const char* const kWords[] = {"light",
                                     "sturdy",
                                     "blue",
                                     "handmade",
                                     "wooden",
                                     "compact",
                                     "set",
                                     "of",
                                     "two",
                                     "spare",
                                     "\xC3\xA9t\xC3\xA9",
                                     "caf\xC3\xA9",
                                     "\xE2\x98\x85",
                                     "\xE6\x9C\xA8\xE8\xA3\xBD",
                                     "\xF0\x9F\x93\xA6",
                                     "\"classic\"",
                                     "a\\b",
                                     "tab\there"};

inline std::string Sentence(Random& random, int words) {
    return large_document::Sentence(random, words, kWords);
}

inline void Part(TextWriter& w, Random& random) {
    w.StartObject();
    w.Key("kind");
    w.String("PART");
    w.Key("label");
    Text(w, Sentence(random, 6));
    w.Key("required");
    w.Bool(random.Chance(30));
    const unsigned total = 1 + static_cast<unsigned>(random.Below(20));
    w.Key("stock");
    w.StartObject();
    w.Key("available");
    w.Uint(static_cast<unsigned>(random.Below(total + 1)));
    w.Key("total");
    w.Uint(total);
    w.Key("reserved");
    w.Uint(0);
    w.EndObject();
    w.Key("bins");
    w.StartArray();
    w.String("bin_a");
    w.EndArray();
    w.EndObject();
}

inline void Offer(TextWriter& w, Random& random) {
    static const char* const kOfferTypes[] = {"SALE", "RENTAL", "TRADE", "GIFT"};
    w.StartObject();
    w.Key("offerType");
    w.String(random.Pick(kOfferTypes));
    w.Key("label");
    Text(w, Sentence(random, 4));
    w.Key("quantity");
    w.Uint(static_cast<unsigned>(1 + random.Below(1000)));
    w.Key("paid");
    w.Bool(random.Chance(50));
    w.Key("group");
    w.String("group_a");
    w.Key("media");
    w.StartObject();
    w.Key("imageUrl");
    Text(w, Url(random, "offer"));
    w.Key("framed");
    w.Bool(random.Chance(50));
    w.Key("videoUrl");
    Text(w, Url(random, "video"));
    w.EndObject();
    w.EndObject();
}

// A free-form object: which members it has, and whether they are null, varies.
inline void Attributes(TextWriter& w, Random& random) {
    static const char* const kColours[] = {"red", "green", "\u00E9cru", "black"};
    w.StartObject();
    w.Key("colour");
    if (random.Chance(25)) {
        w.Null();
    } else {
        w.String(random.Pick(kColours));
    }
    w.Key("origin");
    w.Null();
    if (random.Chance(50)) {
        w.Key("size");
        w.Int(static_cast<int>(random.Below(60)) - 20);
    }
    w.Key("fragile");
    w.Bool(random.Chance(10));
    w.Key("dimensions");
    w.StartArray();
    for (int index = 0; index < 3; ++index) {
        if (random.Chance(15)) {
            w.Null();
        } else {
            w.Double(static_cast<double>(random.Below(5000)) / 10.0);
        }
    }
    w.EndArray();
    w.EndObject();
}

inline void Item(TextWriter& w, Random& random) {
    static const char* const kStates[] = {"DRAFT", "LISTED", "SOLD_OUT", "ARCHIVED"};
    static const char* const kKinds[] = {"BOOK", "TOOL", "FOOD", "GAME"};
    static const char* const kLanguages[] = {"en", "fr", "ja", "\xC3\xA9s"};
    static const char* const kSites[] = {"north", "south", "east", "west"};
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("sku");
    Text(w, "sku_" + std::to_string(random.Below(100000)));
    w.Key("name");
    Text(w, Sentence(random, 4 + static_cast<int>(random.Below(4))));
    w.Key("description");
    Text(w, Sentence(random, 12 + static_cast<int>(random.Below(12))));
    w.Key("summary");
    Text(w, Sentence(random, 3));
    w.Key("state");
    w.String(random.Pick(kStates));
    w.Key("kind");
    w.String(random.Pick(kKinds));
    w.Key("position");
    w.Uint(static_cast<unsigned>(random.Below(500)));
    w.Key("listedAt");
    w.Uint64(kNow - random.Below(30 * kDay));
    w.Key("expiresAt");
    w.Uint64(kNow + random.Below(30 * kDay));
    w.Key("updatedAt");
    w.Uint64(kNow - random.Below(kDay));
    w.Key("soldAt");
    w.Int64(random.Chance(50) ? -1 : static_cast<int64_t>(kNow - random.Below(kDay)));
    w.Key("restockMillis");
    w.Uint64(random.Below(7 * 86400) * 1000);
    // The whole 64-bit ranges: above 2^53 (beyond a double) and, signed, below -2^31.
    w.Key("checksum");
    w.Uint64(random.Next());
    w.Key("balance");
    w.Int64(static_cast<int64_t>(random.Next()));
    w.Key("featured");
    w.Bool(random.Chance(50));
    w.Key("fresh");
    w.Bool(random.Chance(20));
    w.Key("weight");
    w.Double(static_cast<double>(random.Below(100000)) / 1000.0);
    w.Key("rating");
    w.Double(static_cast<double>(random.Below(1u << 20)) / static_cast<double>(1u << 20));
    // Exact in single precision, so a float field reads it back unchanged.
    w.Key("scale");
    w.Double(static_cast<double>(1 + random.Below(1024)) / 256.0);
    w.Key("imageUrl");
    Text(w, Url(random, "image"));
    w.Key("thumbnailUrl");
    Text(w, Url(random, "thumbnail"));
    w.Key("collection");
    Text(w, "collection_" + std::to_string(random.Below(12)));
    w.Key("locale");
    w.String("en_US");
    // Optional members: left out, never written empty.
    if (random.Chance(30)) {
        w.Key("discountPercent");
        w.Uint(static_cast<unsigned>(1 + random.Below(90)));
    }
    if (random.Chance(25)) {
        w.Key("note");
        Text(w, Sentence(random, 3));
    }

    w.Key("parts");
    w.StartArray();
    for (uint64_t index = 0, count = 1 + random.Below(3); index < count; ++index) Part(w, random);
    w.EndArray();

    w.Key("offers");
    w.StartArray();
    for (uint64_t index = 0, count = 1 + random.Below(3); index < count; ++index) Offer(w, random);
    w.EndArray();

    w.Key("notices");
    w.StartArray();
    for (uint64_t index = 0, count = random.Below(3); index < count; ++index) {
        w.StartObject();
        w.Key("kind");
        w.String("RECALL");
        w.Key("message");
        Text(w, Sentence(random, 5));
        w.Key("noticeTime");
        w.Uint64(kNow + random.Below(kDay));
        w.EndObject();
    }
    w.EndArray();

    w.Key("details");
    w.StartObject();
    w.Key("shelf");
    w.Uint(static_cast<unsigned>(random.Below(52)));
    w.Key("points");
    w.Uint(static_cast<unsigned>(random.Below(5000)));
    w.Key("packaging");
    w.StartObject();
    w.Key("labels");
    w.StartObject();
    for (const char* language : kLanguages) {
        if (!random.Chance(40)) continue;
        w.Key(language);
        Text(w, random.Chance(10) ? std::string() : Sentence(random, 2));
    }
    w.EndObject();
    w.Key("layer");
    w.Int(static_cast<int>(random.Below(10)) - 1);
    w.EndObject();
    w.EndObject();

    w.Key("stockBySite");
    w.StartObject();
    for (const char* site : kSites) {
        if (!random.Chance(50)) continue;
        w.Key(site);
        w.Uint(static_cast<unsigned>(random.Below(200)));
    }
    w.EndObject();

    w.Key("attributes");
    Attributes(w, random);

    w.Key("keywords");
    w.StartArray();
    for (uint64_t index = 0, count = random.Below(4); index < count; ++index) {
        Text(w, "keyword:" + std::to_string(random.Below(1000)));
    }
    w.EndArray();
    w.EndObject();
}

inline void Collection(TextWriter& w, Random& random, int index) {
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("name");
    Text(w, "collection_" + std::to_string(index));
    w.Key("layout");
    w.String("GRID");
    w.Key("state");
    w.String(random.Chance(70) ? "OPEN" : "PLANNED");
    w.Key("opensAt");
    w.Uint64(kNow - random.Below(60 * kDay));
    w.Key("closesAt");
    w.Uint64(kNow + random.Below(60 * kDay));
    w.Key("caption");
    Text(w, Sentence(random, 2));
    w.Key("parentId");
    w.String("");
    w.Key("public");
    w.Bool(true);
    w.Key("tags");
    w.StartArray();
    w.String("seasonal");
    w.String("sale");
    w.EndArray();
    w.EndObject();
}

}  // namespace detail

// The number of collections every document lists.
inline constexpr int kCollections = 12;

// The catalog with `items` items, compact: {"items": [...], "collections": [...]}.
inline std::string LargeDocument(int items, uint64_t seed = kSeed) {
    Random random(seed);
    rapidjson::StringBuffer buffer;
    TextWriter w(buffer);
    w.StartObject();
    w.Key("items");
    w.StartArray();
    for (int index = 0; index < items; ++index) detail::Item(w, random);
    w.EndArray();
    w.Key("collections");
    w.StartArray();
    for (int index = 0; index < kCollections; ++index) detail::Collection(w, random, index);
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Vane::large_document

#endif  // PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_
