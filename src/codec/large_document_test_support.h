// A generated missions answer for benchmarks and fuzz seeds: an object with "missions" (about
// 26 fields each, nested objectives, rewards with media, alerts, metadata) and "series", built
// from a fixed seed so every run reads the same bytes. Used by benchmarks only.
#ifndef PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_
#define PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace Vane::missions_document {

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

inline std::string Url(Random& random, const char* kind) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "https://assets.example.net/pyx/missions/%s/%llu/%s_%llu.png?v=%llu", kind,
                  static_cast<unsigned long long>(random.Below(1000)), kind,
                  static_cast<unsigned long long>(random.Below(100000)),
                  static_cast<unsigned long long>(random.Below(1u << 30)));
    return text;
}

inline const char* const kWords[] = {"win",
                                     "games",
                                     "play",
                                     "with",
                                     "friends",
                                     "earn",
                                     "tokens",
                                     "\xC3\xA9t\xC3\xA9",
                                     "d\u00E9fi",
                                     "ranked",
                                     "\xE2\x98\x85",
                                     "match",
                                     "\xE3\x83\x9F\xE3\x83\x83\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3",
                                     "complete",
                                     "\"daily\"",
                                     "quest",
                                     "reward",
                                     "\\o/"};

inline std::string Sentence(Random& random, int words) {
    std::string text;
    for (int index = 0; index < words; ++index) {
        if (index) text += random.Chance(8) ? "\n" : " ";
        text += random.Pick(kWords);
    }
    return text;
}

inline void Mission(TextWriter& w, Random& random, uint64_t now) {
    static const char* const kStatus[] = {"PENDING", "COMPLETED", "EXPIRED", "ACTIVE"};
    static const char* const kTypes[] = {"DAILY", "WEEKLY", "ONE_TIME", "REPEATING"};
    static const char* const kRewardTypes[] = {"CURRENCY", "LOOT", "EXPERIENCE", "ICON"};
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("internalName");
    Text(w, "mission_" + std::to_string(random.Below(100000)));
    w.Key("title");
    Text(w, Sentence(random, 4 + static_cast<int>(random.Below(4))));
    w.Key("description");
    Text(w, Sentence(random, 12 + static_cast<int>(random.Below(12))));
    w.Key("helperText");
    Text(w, Sentence(random, 3));
    w.Key("status");
    w.String(random.Pick(kStatus));
    w.Key("missionType");
    w.String(random.Pick(kTypes));
    w.Key("sequence");
    w.Uint(static_cast<unsigned>(random.Below(500)));
    w.Key("startTime");
    w.Uint64(now - random.Below(30ull * 86400000));
    w.Key("endTime");
    w.Uint64(now + random.Below(30ull * 86400000));
    w.Key("lastUpdatedTimestamp");
    w.Uint64(now - random.Below(86400000));
    w.Key("completedDate");
    w.Int64(random.Chance(50) ? -1 : static_cast<int64_t>(now - random.Below(86400000)));
    w.Key("cooldownTimeMillis");
    w.Uint(static_cast<unsigned>(random.Below(7 * 86400)) * 1000);
    w.Key("viewed");
    w.Bool(random.Chance(50));
    w.Key("isNew");
    w.Bool(random.Chance(20));
    w.Key("weight");
    w.Double(static_cast<double>(random.Below(100000)) / 1000.0);
    w.Key("progressRatio");
    w.Double(static_cast<double>(random.Below(1u << 20)) / static_cast<double>(1u << 20));
    w.Key("backgroundImageUrl");
    Text(w, Url(random, "background"));
    w.Key("iconImageUrl");
    Text(w, Url(random, "icon"));
    w.Key("seriesName");
    Text(w, "series_" + std::to_string(random.Below(12)));
    w.Key("locale");
    w.String("en_US");

    w.Key("objectives");
    w.StartArray();
    for (uint64_t index = 0, count = 1 + random.Below(3); index < count; ++index) {
        w.StartObject();
        w.Key("type");
        w.String("CHAMPION");
        w.Key("description");
        Text(w, Sentence(random, 6));
        w.Key("hasObjectiveBasedReward");
        w.Bool(random.Chance(30));
        const unsigned total = 1 + static_cast<unsigned>(random.Below(20));
        w.Key("progress");
        w.StartObject();
        w.Key("current");
        w.Uint(static_cast<unsigned>(random.Below(total + 1)));
        w.Key("total");
        w.Uint(total);
        w.Key("lastViewedProgress");
        w.Uint(0);
        w.EndObject();
        w.Key("rewardGroups");
        w.StartArray();
        w.String("group_a");
        w.EndArray();
        w.EndObject();
    }
    w.EndArray();

    w.Key("rewards");
    w.StartArray();
    for (uint64_t index = 0, count = 1 + random.Below(3); index < count; ++index) {
        w.StartObject();
        w.Key("rewardType");
        w.String(random.Pick(kRewardTypes));
        w.Key("description");
        Text(w, Sentence(random, 4));
        w.Key("quantity");
        w.Uint(static_cast<unsigned>(1 + random.Below(1000)));
        w.Key("rewardFulfilled");
        w.Bool(random.Chance(50));
        w.Key("rewardGroup");
        w.String("group_a");
        w.Key("media");
        w.StartObject();
        w.Key("iconUrl");
        Text(w, Url(random, "reward"));
        w.Key("iconNeedsFrame");
        w.Bool(random.Chance(50));
        w.Key("videoUrl");
        Text(w, Url(random, "video"));
        w.EndObject();
        w.EndObject();
    }
    w.EndArray();

    w.Key("alerts");
    w.StartArray();
    for (uint64_t index = 0, count = random.Below(3); index < count; ++index) {
        w.StartObject();
        w.Key("type");
        w.String("EXPIRING");
        w.Key("message");
        Text(w, Sentence(random, 5));
        w.Key("alertTime");
        w.Uint64(now + random.Below(86400000));
        w.EndObject();
    }
    w.EndArray();

    w.Key("metadata");
    w.StartObject();
    w.Key("weekNum");
    w.Uint(static_cast<unsigned>(random.Below(52)));
    w.Key("xpReward");
    w.Uint(static_cast<unsigned>(random.Below(5000)));
    w.Key("tutorial");
    w.StartObject();
    w.Key("displayRewards");
    w.StartObject();
    w.Key("small");
    Text(w, Url(random, "tutorial"));
    w.EndObject();
    w.Key("step");
    w.Int(static_cast<int>(random.Below(10)) - 1);
    w.EndObject();
    w.EndObject();

    w.Key("requirements");
    w.StartArray();
    for (uint64_t index = 0, count = random.Below(4); index < count; ++index) {
        Text(w, "requirement:" + std::to_string(random.Below(1000)));
    }
    w.EndArray();
    w.EndObject();
}

inline void Series(TextWriter& w, Random& random, uint64_t now, int index) {
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("name");
    Text(w, "series_" + std::to_string(index));
    w.Key("displayType");
    w.String("TRACKER");
    w.Key("status");
    w.String(random.Chance(70) ? "ACTIVE" : "PENDING");
    w.Key("startDate");
    w.Uint64(now - random.Below(60ull * 86400000));
    w.Key("endDate");
    w.Uint64(now + random.Below(60ull * 86400000));
    w.Key("optInButtonText");
    Text(w, Sentence(random, 2));
    w.Key("parentId");
    w.String("");
    w.Key("eligible");
    w.Bool(true);
    w.Key("tags");
    w.StartArray();
    w.String("seasonal");
    w.String("event");
    w.EndArray();
    w.EndObject();
}

// The missions answer with `missions` missions, compact.
inline std::string MissionsDocument(int missions) {
    Random random(20240611);
    const uint64_t now = 1718000000000ull;
    rapidjson::StringBuffer buffer;
    TextWriter w(buffer);
    w.StartObject();
    w.Key("missions");
    w.StartArray();
    for (int index = 0; index < missions; ++index) Mission(w, random, now);
    w.EndArray();
    w.Key("series");
    w.StartArray();
    for (int index = 0; index < 12; ++index) Series(w, random, now, index);
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Vane::missions_document

#endif  // PYX_CODEC_LARGE_DOCUMENT_TEST_SUPPORT_H_
