#include "log/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_test_support.h"
#include "util/platform.h"

namespace Vane {
namespace {

using testing::LoggerTest;
using testing::RecordingLogTarget;

TEST_F(LoggerTest, CreationSetsDefaultsAndAttachesStdErrAndDebuggerConsole) {
    EXPECT_EQ(logger_->GetMinLevel(), kLogWarn);
    EXPECT_EQ(logger_->GetExcludedCategories(), 0x4u);
    EXPECT_FALSE(logger_->IsDisabled());
    EXPECT_EQ(logger_->GetWarningCount(), 0u);
    EXPECT_EQ(logger_->GetErrorCount(), 0u);
    EXPECT_EQ(logger_->GetTargets(), (std::vector<LogTargetInterface*>{
                                         logger_->GetStdErrTarget().GetInterface(),
                                         logger_->GetDebuggerConsoleTarget().GetInterface()}));
    EXPECT_FALSE(logger_->GetStdOutTarget().IsAttached());
    EXPECT_EQ(std::string(Logger::GetExecutableName()), Platform::ExecutableFileName());
}

struct FilterCase {
    const char* name;
    int32_t minLevel;
    uint32_t excludedLow;
    uint32_t excludedHigh;
    bool disabled;
    int32_t level;
    uint32_t categoriesLow;
    uint32_t categoriesHigh;
    bool passes;
};

TEST_F(LoggerTest, LoggerFilterDecidesWhatReachesTargets) {
    const FilterCase cases[] = {
        {"okay dropped by default", 1, 4, 0, false, 0, 0, 0, false},
        {"warn passes by default", 1, 4, 0, false, 1, 0, 0, true},
        {"XTR dropped even at ALWAYS", 1, 4, 0, false, 3, 4, 0, false},
        {"XTR among others still dropped", 1, 4, 0, false, 3, 0x42, 0, true},
        {"any excluded bit drops", 1, 4, 0, false, 3, 0x46, 0, false},
        {"high word excluded", 1, 0, 1, false, 3, 0, 1, false},
        {"low bit 0 is not high bit 32", 1, 0, 1, false, 3, 1, 0, true},
        {"disabled drops everything", 0, 0, 0, true, 3, 0, 0, false},
        {"minimum 0 lets okay through", 0, 4, 0, false, 0, 0, 0, true},
        {"minimum 3 drops error", 3, 4, 0, false, 2, 0, 0, false},
    };
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    for (const FilterCase& c : cases) {
        logger_->SetMinLevel(c.minLevel);
        logger_->SetExcludedCategories(c.excludedLow, c.excludedHigh);
        if (c.disabled) logger_->Disable();
        size_t before = target.Lines().size();
        Log(c.level, c.categoriesLow, c.categoriesHigh, "%s", c.name);
        logger_->Enable();
        EXPECT_EQ(target.Lines().size() - before, c.passes ? 1u : 0u) << c.name;
    }
}

TEST_F(LoggerTest, CategoriesArriveAsOneMaskFromLowAndHighWords) {
    QuietConsoles();
    logger_->SetExcludedCategories(0, 0);
    RecordingLogTarget target;
    target.Attach();
    uint64_t mask = 0x8000000100000042ull;
    Log(kLogWarn, LogCategoriesLow(mask), LogCategoriesHigh(mask), "split");
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Lines()[0].categories, mask);
    EXPECT_EQ(logger_->GetExcludedCategories(), 0u);
    logger_->SetExcludedCategories(0x4, 0x80000000u);
    EXPECT_EQ(logger_->GetExcludedCategories(), 0x8000000000000004ull);
}

TEST_F(LoggerTest, DroppedMessageIsNeverFormatted) {
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    // Formatting this argument would read through an invalid pointer.
    const char* invalid = reinterpret_cast<const char*>(uintptr_t{16});
    Log(kLogOkay, 0, 0, "%s", invalid);
    Log(kLogAlways, LogCategoriesLow(kCategoryXTR), 0, "%s", invalid);
    logger_->Disable();
    Log(kLogAlways, 0, 0, "%s", invalid);
    EXPECT_TRUE(target.Lines().empty());
}

struct TargetFilterCase {
    const char* name;
    int32_t targetMinLevel;
    uint64_t included;
    uint64_t excluded;
    int32_t level;
    uint64_t categories;
    bool delivered;
};

TEST_F(LoggerTest, EachTargetAppliesItsOwnFilter) {
    const TargetFilterCase cases[] = {
        {"below target minimum", 2, 0, 0, 1, 0, false},
        {"at target minimum", 2, 0, 0, 2, 0, true},
        {"no categories pass any masks", 0, 0x1, 0x2, 1, 0, true},
        {"excluded category", 0, 0, 0x40, 1, 0x41, false},
        {"included category", 0, 0x1, 0, 1, 0x41, true},
        {"not among included", 0, 0x1, 0, 1, 0x40, false},
        {"included 0 takes all", 0, 0, 0, 1, 0x80, true},
        {"high categories filtered too", 0, uint64_t{1} << 40, 0, 1, uint64_t{1} << 41, false},
    };
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    for (const TargetFilterCase& c : cases) {
        target.SetMinLevel(c.targetMinLevel);
        target.SetCategories(c.included, c.excluded);
        size_t before = target.Lines().size();
        Log(c.level, LogCategoriesLow(c.categories), LogCategoriesHigh(c.categories), "%s", c.name);
        EXPECT_EQ(target.Lines().size() - before, c.delivered ? 1u : 0u) << c.name;
    }
}

TEST_F(LoggerTest, CountersCountPassedWarningsAndErrorsOnly) {
    QuietConsoles();
    logger_->SetMinLevel(kLogOkay);
    // No target at all: messages are still counted.
    for (int i = 0; i < 3; ++i) Log(kLogWarn, 0, 0, "warning %d", i);
    for (int i = 0; i < 5; ++i) Log(kLogError, 0, 0, "error %d", i);
    Log(kLogOkay, 0, 0, "okay");
    Log(kLogAlways, 0, 0, "always");
    Log(kLogError, LogCategoriesLow(kCategoryXTR), 0, "dropped error");
    logger_->SetMinLevel(kLogAlways);
    Log(kLogWarn, 0, 0, "dropped warning");
    EXPECT_EQ(logger_->GetWarningCount(), 3u);
    EXPECT_EQ(logger_->GetErrorCount(), 5u);
}

TEST_F(LoggerTest, MessagesAreFormattedAndCutTo4095Bytes) {
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    Log(kLogWarn, 0, 0, "%s has %d missions (%.1f%%)", "player", 12, 50.0);
    std::string longText(5000, 'x');
    Log(kLogWarn, 0, 0, "%s", longText.c_str());
    ASSERT_EQ(target.Lines().size(), 2u);
    EXPECT_EQ(target.Lines()[0].message, "player has 12 missions (50.0%)");
    EXPECT_EQ(target.Lines()[1].message, std::string(4095, 'x'));
}

TEST_F(LoggerTest, NullFormatLogsAnEmptyMessage) {
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    // Through a pointer, so the compiler's format check does not reject the null format.
    void (*log)(int32_t, uint32_t, uint32_t, const char*, ...) = &Log;
    log(kLogWarn, 0, 0, nullptr);
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Lines()[0].message, "");
    EXPECT_EQ(logger_->GetWarningCount(), 1u);
}

TEST_F(LoggerTest, TargetsReceiveRecordsInAttachOrder) {
    QuietConsoles();
    std::vector<std::string> order;
    RecordingLogTarget first("First");
    RecordingLogTarget second("Second");
    first.onWrite = [&](const LogRecord&) { order.push_back("First"); };
    second.onWrite = [&](const LogRecord&) { order.push_back("Second"); };
    second.Attach();
    first.Attach();
    Log(kLogWarn, 0, 0, "ordered");
    EXPECT_EQ(order, (std::vector<std::string>{"Second", "First"}));
}

TEST_F(LoggerTest, FindTargetComparesClassNamesExactly) {
    RecordingLogTarget one("PluginLogTarget");
    RecordingLogTarget two("PluginLogTarget");
    RecordingLogTarget detached("DetachedTarget");
    one.Attach();
    two.Attach();
    EXPECT_EQ(logger_->FindTarget("PluginLogTarget"), one.GetInterface());
    EXPECT_EQ(logger_->FindTarget("StdErrLogTarget"), logger_->GetStdErrTarget().GetInterface());
    EXPECT_EQ(logger_->FindTarget("DebuggerConsoleLogTarget"),
              logger_->GetDebuggerConsoleTarget().GetInterface());
    for (const char* absent : {"pluginlogtarget", "PluginLog", "PluginLogTarget ", "",
                               "StdOutLogTarget", "DetachedTarget", "LogTarget"}) {
        EXPECT_EQ(logger_->FindTarget(absent), nullptr) << '"' << absent << '"';
    }
    EXPECT_EQ(logger_->FindTarget(nullptr), nullptr);
    one.Detach();
    EXPECT_EQ(logger_->FindTarget("PluginLogTarget"), two.GetInterface());
}

TEST_F(LoggerTest, LevelWordsAreSixCharactersForEveryLevel) {
    const std::pair<int32_t, const char*> cases[] = {{0, "  OKAY"}, {1, "  WARN"}, {2, " ERROR"},
                                                     {3, "ALWAYS"}, {4, "   ???"}, {-1, "   ???"}};
    for (const auto& [level, word] : cases) EXPECT_STREQ(Logger::LevelWord(level), word);
}

TEST_F(LoggerTest, TargetDetachingItselfInWriteDoesNotHideTheRecordFromOthers) {
    QuietConsoles();
    RecordingLogTarget leaving("Leaving");
    RecordingLogTarget staying("Staying");
    leaving.onWrite = [&](const LogRecord&) { leaving.Detach(); };
    leaving.Attach();
    staying.Attach();
    Log(kLogWarn, 0, 0, "first");
    Log(kLogWarn, 0, 0, "second");
    EXPECT_EQ(leaving.Messages(), (std::vector<std::string>{"first"}));
    EXPECT_EQ(staying.Messages(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(LoggerTest, TargetThatLogsFromWriteDoesNotRecurseWithoutEnd) {
    QuietConsoles();
    RecordingLogTarget target;
    target.onWrite = [](const LogRecord& record) {
        Log(kLogWarn, 0, 0, "nested in %s", record.message);
    };
    target.Attach();
    Log(kLogWarn, 0, 0, "outer");
    std::vector<std::string> messages = target.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_LE(messages.size(), 16u);
    EXPECT_EQ(messages[0], "outer");
    EXPECT_EQ(messages[1], "nested in outer");
    // Logging works normally again afterwards.
    target.onWrite = nullptr;
    Log(kLogWarn, 0, 0, "after");
    EXPECT_EQ(target.Messages().back(), "after");
}

// The logger's lifetime is counted; these tests manage it themselves.
class LoggerLifetimeTest : public ::testing::Test {};

// A recording target that notes when it is detached.
class DetachNotingTarget : public RecordingLogTarget {
  public:
    DetachNotingTarget(const char* name, std::vector<std::string>* order)
        : RecordingLogTarget(name), order_(order) {}
    ~DetachNotingTarget() override { order_ = nullptr; }
    void Detach() override {
        if (order_ != nullptr && IsAttached()) order_->push_back(GetClassName());
        RecordingLogTarget::Detach();
    }

  private:
    std::vector<std::string>* order_;
};

// A target built by hand, as code outside the log could: only the table is shared.
struct HandTarget {
    LogTargetInterface table;
    std::vector<std::string>* order;
    bool attached;
};

HandTarget MakeHandTarget(std::vector<std::string>* order) {
    HandTarget hand{};
    hand.order = order;
    hand.table.version = kLogTargetInterfaceVersion;
    hand.table.GetMinLevel = [](LogTargetInterface*) { return int32_t{0}; };
    hand.table.GetIncludedCategories = [](LogTargetInterface*) { return uint64_t{0}; };
    hand.table.GetExcludedCategories = [](LogTargetInterface*) { return uint64_t{0}; };
    hand.table.GetClassName = [](LogTargetInterface*) { return "HandTarget"; };
    hand.table.Write = [](LogTargetInterface*, const LogRecord*) { return true; };
    hand.table.Attach = [](LogTargetInterface* t) {
        HandTarget* h = reinterpret_cast<HandTarget*>(t);
        if (!h->attached) h->attached = Logger::Instance().AppendTargetEntry(t);
    };
    hand.table.Detach = [](LogTargetInterface* t) {
        HandTarget* h = reinterpret_cast<HandTarget*>(t);
        if (!h->attached) return;
        h->order->push_back("HandTarget");
        Logger::Instance().RemoveTargetEntries(t);
        h->attached = false;
    };
    return hand;
}

TEST_F(LoggerLifetimeTest, LastReleaseDetachesEverythingLastAttachedFirstAndRestoresDefaults) {
    Logger* logger = AcquireLogger();
    std::vector<std::string> detachOrder;
    DetachNotingTarget first("First", &detachOrder);
    HandTarget hand = MakeHandTarget(&detachOrder);
    DetachNotingTarget last("Last", &detachOrder);
    first.Attach();
    logger->AttachTarget(&hand.table);
    last.Attach();
    EXPECT_EQ(logger->FindTarget("HandTarget"), &hand.table);

    logger->GetStdOutTarget().Attach();
    logger->GetStdOutTarget().SetFlushSetting(1);
    logger->GetStdErrTarget().Detach();
    logger->GetStdErrTarget().SetPattern("#M");
    logger->SetMinLevel(kLogOkay);
    logger->SetExcludedCategories(0, 0);
    logger->Disable();
    logger->Enable();
    Log(kLogError, LogCategoriesLow(kCategoryTST), 0, "counted");
    EXPECT_EQ(first.Messages(), (std::vector<std::string>{"counted"}));

    // A nested user keeps the logger alive.
    AcquireLogger();
    ReleaseLogger();
    EXPECT_TRUE(first.IsAttached());
    EXPECT_EQ(logger->GetErrorCount(), 1u);

    ReleaseLogger();

    EXPECT_EQ(detachOrder, (std::vector<std::string>{"Last", "HandTarget", "First"}));
    EXPECT_FALSE(first.IsAttached());
    EXPECT_FALSE(last.IsAttached());
    EXPECT_FALSE(logger->GetStdOutTarget().IsAttached());
    EXPECT_FALSE(logger->GetDebuggerConsoleTarget().IsAttached());
    EXPECT_TRUE(logger->GetTargets().empty());
    EXPECT_EQ(logger->GetStdOutTarget().GetFlushSetting(), 0);
    EXPECT_STREQ(logger->GetStdErrTarget().GetPattern(LogRecord{}), kConsoleLogPattern);
    EXPECT_EQ(logger->GetMinLevel(), kLogWarn);
    EXPECT_EQ(logger->GetExcludedCategories(), kCategoryXTR);
    EXPECT_EQ(logger->GetErrorCount(), 0u);

    // Releasing without users changes nothing; the next user creates the logger again.
    ReleaseLogger();
    Logger* again = AcquireLogger();
    EXPECT_EQ(again, logger);
    EXPECT_EQ(again->GetTargets(), (std::vector<LogTargetInterface*>{
                                       logger->GetStdErrTarget().GetInterface(),
                                       logger->GetDebuggerConsoleTarget().GetInterface()}));
    ReleaseLogger();
}

TEST_F(LoggerLifetimeTest, LogWithoutAcquireCreatesTheLogger) {
    Logger& logger = Logger::Instance();
    Log(kLogOkay, 0, 0, "creates, then dropped");
    EXPECT_TRUE(logger.GetStdErrTarget().IsAttached());
    EXPECT_TRUE(logger.GetDebuggerConsoleTarget().IsAttached());
    // Leave the process as the other tests expect it: one acquire/release pair resets it.
    AcquireLogger();
    ReleaseLogger();
}

}  // namespace
}  // namespace Vane
