// Native records shaped like the generated missions answer (codec/large_document_test_support.h),
// described once for the type registry. Used by benchmarks and tests of the JSON <-> native path.
#ifndef PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_
#define PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "types/record_description.h"

namespace Vane::missions_records {

enum class RewardType { kCurrency = 1, kLoot = 2, kExperience = 3, kIcon = 4 };

struct Progress {
    uint32_t current = 0;
    uint32_t total = 0;
    uint32_t lastViewedProgress = 0;
};
struct Objective {
    std::string type;
    std::string description;
    bool hasObjectiveBasedReward = false;
    Progress progress;
    std::vector<std::string> rewardGroups;
};
struct Media {
    std::string iconUrl;
    bool iconNeedsFrame = false;
    std::string videoUrl;
};
struct Reward {
    RewardType rewardType = RewardType::kCurrency;
    std::string description;
    uint32_t quantity = 0;
    bool rewardFulfilled = false;
    std::string rewardGroup;
    Media media;
};
struct Alert {
    std::string type;
    std::string message;
    uint64_t alertTime = 0;
};
struct Tutorial {
    std::map<std::string, std::string> displayRewards;
    int32_t step = 0;
};
struct Metadata {
    uint32_t weekNum = 0;
    uint32_t xpReward = 0;
    Tutorial tutorial;
};
struct Mission {
    std::string id, internalName, title, description, helperText, status, missionType;
    uint32_t sequence = 0;
    uint64_t startTime = 0, endTime = 0, lastUpdatedTimestamp = 0;
    int64_t completedDate = 0;
    uint64_t cooldownTimeMillis = 0;
    bool viewed = false, isNew = false;
    double weight = 0, progressRatio = 0;
    std::string backgroundImageUrl, iconImageUrl, seriesName, locale;
    std::vector<Objective> objectives;
    std::vector<Reward> rewards;
    std::vector<Alert> alerts;
    Metadata metadata;
    std::vector<std::string> requirements;
};
struct Series {
    std::string id, name, displayType, status;
    uint64_t startDate = 0, endDate = 0;
    std::string optInButtonText, parentId;
    bool eligible = false;
    std::vector<std::string> tags;
};
struct Answer {
    std::vector<Mission> missions;
    std::vector<Series> series;
};

inline void DescribeType(RecordBuilder<RewardType>& r) {
    r.Name("BenchRewardType");
    r.Enumerator("CURRENCY", RewardType::kCurrency, "");
    r.Enumerator("LOOT", RewardType::kLoot, "");
    r.Enumerator("EXPERIENCE", RewardType::kExperience, "");
    r.Enumerator("ICON", RewardType::kIcon, "");
}
inline void DescribeType(RecordBuilder<Progress>& r) {
    r.Name("BenchProgress");
    r.Field("current", &Progress::current);
    r.Field("total", &Progress::total);
    r.Field("lastViewedProgress", &Progress::lastViewedProgress);
}
inline void DescribeType(RecordBuilder<Objective>& r) {
    r.Name("BenchObjective");
    r.Field("type", &Objective::type);
    r.Field("description", &Objective::description);
    r.Field("hasObjectiveBasedReward", &Objective::hasObjectiveBasedReward);
    r.Field("progress", &Objective::progress);
    r.Field("rewardGroups", &Objective::rewardGroups);
}
inline void DescribeType(RecordBuilder<Media>& r) {
    r.Name("BenchMedia");
    r.Field("iconUrl", &Media::iconUrl);
    r.Field("iconNeedsFrame", &Media::iconNeedsFrame);
    r.Field("videoUrl", &Media::videoUrl);
}
inline void DescribeType(RecordBuilder<Reward>& r) {
    r.Name("BenchReward");
    r.Field("rewardType", &Reward::rewardType);
    r.Field("description", &Reward::description);
    r.Field("quantity", &Reward::quantity);
    r.Field("rewardFulfilled", &Reward::rewardFulfilled);
    r.Field("rewardGroup", &Reward::rewardGroup);
    r.Field("media", &Reward::media);
}
inline void DescribeType(RecordBuilder<Alert>& r) {
    r.Name("BenchAlert");
    r.Field("type", &Alert::type);
    r.Field("message", &Alert::message);
    r.Field("alertTime", &Alert::alertTime);
}
inline void DescribeType(RecordBuilder<Tutorial>& r) {
    r.Name("BenchTutorial");
    r.Field("displayRewards", &Tutorial::displayRewards);
    r.Field("step", &Tutorial::step);
}
inline void DescribeType(RecordBuilder<Metadata>& r) {
    r.Name("BenchMetadata");
    r.Field("weekNum", &Metadata::weekNum);
    r.Field("xpReward", &Metadata::xpReward);
    r.Field("tutorial", &Metadata::tutorial);
}
inline void DescribeType(RecordBuilder<Mission>& r) {
    r.Name("BenchMission");
    r.Field("id", &Mission::id);
    r.Field("internalName", &Mission::internalName);
    r.Field("title", &Mission::title);
    r.Field("description", &Mission::description);
    r.Field("helperText", &Mission::helperText);
    r.Field("status", &Mission::status);
    r.Field("missionType", &Mission::missionType);
    r.Field("sequence", &Mission::sequence);
    r.Field("startTime", &Mission::startTime);
    r.Field("endTime", &Mission::endTime);
    r.Field("lastUpdatedTimestamp", &Mission::lastUpdatedTimestamp);
    r.Field("completedDate", &Mission::completedDate);
    r.Field("cooldownTimeMillis", &Mission::cooldownTimeMillis);
    r.Field("viewed", &Mission::viewed);
    r.Field("isNew", &Mission::isNew);
    r.Field("weight", &Mission::weight);
    r.Field("progressRatio", &Mission::progressRatio);
    r.Field("backgroundImageUrl", &Mission::backgroundImageUrl);
    r.Field("iconImageUrl", &Mission::iconImageUrl);
    r.Field("seriesName", &Mission::seriesName);
    r.Field("locale", &Mission::locale);
    r.Field("objectives", &Mission::objectives);
    r.Field("rewards", &Mission::rewards);
    r.Field("alerts", &Mission::alerts);
    r.Field("metadata", &Mission::metadata);
    r.Field("requirements", &Mission::requirements);
}
inline void DescribeType(RecordBuilder<Series>& r) {
    r.Name("BenchSeries");
    r.Field("id", &Series::id);
    r.Field("name", &Series::name);
    r.Field("displayType", &Series::displayType);
    r.Field("status", &Series::status);
    r.Field("startDate", &Series::startDate);
    r.Field("endDate", &Series::endDate);
    r.Field("optInButtonText", &Series::optInButtonText);
    r.Field("parentId", &Series::parentId);
    r.Field("eligible", &Series::eligible);
    r.Field("tags", &Series::tags);
}
inline void DescribeType(RecordBuilder<Answer>& r) {
    r.Name("BenchAnswer");
    r.Field("missions", &Answer::missions);
    r.Field("series", &Answer::series);
}

}  // namespace Vane::missions_records

#endif  // PYX_TYPES_LARGE_DOCUMENT_RECORDS_TEST_SUPPORT_H_
