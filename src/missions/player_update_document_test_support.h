// A generated answer of the remote missions service to a fetch (`PlayerUpdateResponse`), with
// every field of the data model filled: missions with objectives, rewards and their media,
// expiring warnings and requirements, and series with media, tags and warnings. Built from a
// fixed seed so every run sends the same bytes. The one generator of mission documents; the
// lower layers' tests and benchmarks use the neutral document of the codec layer, whose random
// source, UUIDs and text writer this one shares. Used by missions_benchmark.
#ifndef PYX_MISSIONS_PLAYER_UPDATE_DOCUMENT_TEST_SUPPORT_H_
#define PYX_MISSIONS_PLAYER_UPDATE_DOCUMENT_TEST_SUPPORT_H_

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/large_document_test_support.h"

namespace Vane::testing {

namespace player_update_detail {

using large_document::Random;
using large_document::Text;
using large_document::TextWriter;
using large_document::Uuid;

inline std::string Url(Random& random, const char* kind) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "https://assets.example.net/pyx/missions/%s/%llu/%s_%llu.png?v=%llu", kind,
                  static_cast<unsigned long long>(random.Below(1000)), kind,
                  static_cast<unsigned long long>(random.Below(100000)),
                  static_cast<unsigned long long>(random.Below(1u << 30)));
    return text;
}

// The words of titles and descriptions, among them texts JSON escapes (quotes, a backslash)
// and two- and three-byte UTF-8; Sentence adds line breaks between them now and then.
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
    return large_document::Sentence(random, words, kWords);
}

inline void MediaItem(TextWriter& w, Random& random) {
    w.StartObject();
    w.Key("sound");
    Text(w, Url(random, "sound"));
    w.Key("video");
    Text(w, Url(random, "video"));
    w.EndObject();
}

inline void Mission(TextWriter& w, Random& random, int64_t now) {
    static const char* const kStatus[] = {"PENDING", "COMPLETED", "EXPIRED", "ACTIVE"};
    static const char* const kTypes[] = {"DAILY", "WEEKLY", "ONE_TIME", "REPEATING"};
    static const char* const kDisplay[] = {"ALWAYS", "CELEBRATION_ONLY", "NEVER"};
    static const char* const kRewardTypes[] = {"CURRENCY", "LOOT", "EXPERIENCE", "ICON"};
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("title");
    Text(w, Sentence(random, 4 + static_cast<int>(random.Below(4))));
    w.Key("helperText");
    Text(w, Sentence(random, 3));
    w.Key("description");
    Text(w, Sentence(random, 12 + static_cast<int>(random.Below(12))));
    w.Key("backgroundImageUrl");
    Text(w, Url(random, "background"));
    w.Key("iconImageUrl");
    Text(w, Url(random, "icon"));
    w.Key("seriesName");
    Text(w, "series_" + std::to_string(random.Below(12)));
    w.Key("locale");
    w.String("en_US");
    w.Key("startTime");
    w.Int64(now - static_cast<int64_t>(random.Below(30ull * 86400000)));
    w.Key("endTime");
    w.Int64(now + static_cast<int64_t>(random.Below(30ull * 86400000)));
    w.Key("lastUpdatedTimestamp");
    w.Int64(now - static_cast<int64_t>(random.Below(86400000)));
    w.Key("objectives");
    w.StartArray();
    for (uint64_t i = 0, count = 1 + random.Below(3); i < count; ++i) {
        const int total = 1 + static_cast<int>(random.Below(20));
        w.StartObject();
        w.Key("type");
        w.String("CHAMPION");
        w.Key("description");
        Text(w, Sentence(random, 6));
        w.Key("progress");
        w.StartObject();
        w.Key("lastViewedProgress");
        w.Int(0);
        w.Key("currentProgress");
        w.Int(static_cast<int>(random.Below(static_cast<uint64_t>(total) + 1)));
        w.Key("totalCount");
        w.Int(total);
        w.EndObject();
        w.Key("sequence");
        w.Int(static_cast<int>(i));
        w.EndObject();
    }
    w.EndArray();
    w.Key("rewards");
    w.StartArray();
    for (uint64_t i = 0, count = 1 + random.Below(3); i < count; ++i) {
        w.StartObject();
        w.Key("rewardType");
        w.String(random.Pick(kRewardTypes));
        w.Key("description");
        Text(w, Sentence(random, 4));
        w.Key("rewardFulfilled");
        w.Bool(random.Chance(50));
        w.Key("media");
        w.StartObject();
        w.Key("intro");
        MediaItem(w, random);
        w.Key("loop");
        MediaItem(w, random);
        w.Key("outro");
        MediaItem(w, random);
        w.EndObject();
        w.Key("iconUrl");
        Text(w, Url(random, "reward"));
        w.Key("itemId");
        Text(w, std::to_string(random.Below(100000)));
        w.EndObject();
    }
    w.EndArray();
    w.Key("expiringWarnings");
    w.StartArray();
    for (uint64_t i = 0, count = random.Below(3); i < count; ++i) {
        w.StartObject();
        w.Key("type");
        w.String("EXPIRING");
        w.Key("message");
        Text(w, Sentence(random, 5));
        w.Key("alertTime");
        w.Int64(now + static_cast<int64_t>(random.Below(86400000)));
        w.EndObject();
    }
    w.EndArray();
    w.Key("requirements");
    w.StartArray();
    for (uint64_t i = 0, count = random.Below(4); i < count; ++i) {
        Text(w, "requirement:" + std::to_string(random.Below(1000)));
    }
    w.EndArray();
    w.Key("completionExpression");
    Text(w, "objective:" + std::to_string(random.Below(10)));
    w.Key("viewed");
    w.Bool(random.Chance(50));
    w.Key("isNew");
    w.Bool(random.Chance(20));
    w.Key("status");
    w.String(random.Pick(kStatus));
    w.Key("missionType");
    w.String(random.Pick(kTypes));
    w.Key("displayType");
    w.String(random.Pick(kDisplay));
    w.Key("completedDate");
    w.Int64(random.Chance(50) ? -1 : now - static_cast<int64_t>(random.Below(86400000)));
    w.Key("cooldownTimeMillis");
    w.Int64(static_cast<int64_t>(random.Below(7 * 86400)) * 1000);
    w.Key("celebrationType");
    w.String(random.Chance(50) ? "TOAST" : "NONE");
    w.Key("clientNotifyLevel");
    w.String(random.Chance(50) ? "ALWAYS" : "NEVER");
    w.Key("internalName");
    Text(w, "mission_" + std::to_string(random.Below(100000)));
    w.EndObject();
}

inline void Series(TextWriter& w, Random& random, int64_t now, int index) {
    w.StartObject();
    w.Key("id");
    Text(w, Uuid(random));
    w.Key("internalName");
    Text(w, "series_" + std::to_string(index));
    w.Key("parentName");
    w.String("");
    w.Key("type");
    w.String("TRACKER");
    w.Key("title");
    Text(w, Sentence(random, 3));
    w.Key("description");
    Text(w, Sentence(random, 10));
    w.Key("optInButtonText");
    Text(w, Sentence(random, 2));
    w.Key("optOutButtonText");
    Text(w, Sentence(random, 2));
    w.Key("status");
    w.String(random.Chance(70) ? "ACTIVE" : "PENDING");
    w.Key("startDate");
    w.Int64(now - static_cast<int64_t>(random.Below(60ull * 86400000)));
    w.Key("endDate");
    w.Int64(now + static_cast<int64_t>(random.Below(60ull * 86400000)));
    w.Key("createdDate");
    w.Int64(now - static_cast<int64_t>(random.Below(90ull * 86400000)));
    w.Key("lastUpdatedTimestamp");
    w.Int64(now - static_cast<int64_t>(random.Below(86400000)));
    w.Key("viewed");
    w.Bool(random.Chance(50));
    w.Key("media");
    w.StartObject();
    w.Key("backgroundUrl");
    Text(w, Url(random, "series"));
    w.Key("backgroundImageLargeUrl");
    Text(w, Url(random, "large"));
    w.Key("backgroundImageSmallUrl");
    Text(w, Url(random, "small"));
    w.Key("accentColor");
    w.String("#C8AA6E");
    w.EndObject();
    w.Key("tags");
    w.StartArray();
    w.String("seasonal");
    w.String("event");
    w.EndArray();
    w.Key("warnings");
    w.StartArray();
    w.StartObject();
    w.Key("alertTime");
    w.Int64(now + static_cast<int64_t>(random.Below(86400000)));
    w.EndObject();
    w.EndArray();
    w.EndObject();
}

}  // namespace player_update_detail

// The compact JSON of a fetch answer with `missions` missions and `series` series.
inline std::string PlayerUpdateDocument(int missions, int series = 12) {
    namespace d = player_update_detail;
    d::Random random(20240611);
    const int64_t now = 1718000000000;
    rapidjson::StringBuffer buffer;
    d::TextWriter w(buffer);
    w.StartObject();
    w.Key("playerMissions");
    w.StartArray();
    for (int i = 0; i < missions; ++i) d::Mission(w, random, now);
    w.EndArray();
    w.Key("playerSeries");
    w.StartArray();
    for (int i = 0; i < series; ++i) d::Series(w, random, now, i);
    w.EndArray();
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_PLAYER_UPDATE_DOCUMENT_TEST_SUPPORT_H_
