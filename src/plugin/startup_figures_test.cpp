#include "plugin/startup_figures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_test_support.h"
#include "plugin/plugin_test_support.h"

namespace Vane {
namespace {

using testing::HostLogLine;
using testing::PluginFixture;
using testing::RecordingLogTarget;

// The lines the host received that show start-up figures.
std::vector<HostLogLine> FigureLines(const testing::TestHost& host) {
    std::vector<HostLogLine> lines;
    for (const HostLogLine& line : host.LogLines()) {
        if (line.message.find("System at start-up") != std::string::npos) lines.push_back(line);
    }
    return lines;
}

class StartupFiguresTest : public PluginFixture {};

TEST_F(StartupFiguresTest, RecordedFiguresReachTheHostOnceAtInitialise) {
    SystemFigures figures;
    figures.processors = {16, 8, 1};
    figures.system.totalPhysicalBytes = uint64_t{32} << 30;
    figures.system.availablePhysicalBytes = uint64_t{20} << 30;
    figures.process.residentBytes = 5 << 20;
    figures.process.peakResidentBytes = 6 << 20;
    RecordStartupFigures(figures);

    RecordingLogTarget local;
    local.Attach();
    ASSERT_TRUE(Initialise());

    const std::string expected =
        "pyx-test: System at start-up: processors logical=16 cores=8 packages=1; memory "
        "physical=33554432KiB available=20971520KiB commitLimit=unknown commitAvailable=unknown; "
        "process resident=5120KiB peak=6144KiB virtual=unknown";
    const std::vector<HostLogLine> lines = FigureLines(host);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].message, expected);
    EXPECT_EQ(lines[0].level, kLogOkay);
    // The host learns the level only; the category is the log's own.
    int seen = 0;
    for (const testing::RecordedLine& line : local.Lines()) {
        if (line.message != expected) continue;
        ++seen;
        EXPECT_EQ(line.level, kLogOkay);
        EXPECT_EQ(line.categories, kCategoryDBG);
    }
    EXPECT_EQ(seen, 1);

    // The figures are shown once: the next plugin of the process starts without them.
    ShutDown();
    Load();
    ASSERT_TRUE(Initialise());
    EXPECT_EQ(FigureLines(host).size(), 1u);
}

TEST_F(StartupFiguresTest, NothingIsLoggedWithoutRecordedFigures) {
    ASSERT_TRUE(Initialise());
    EXPECT_TRUE(FigureLines(host).empty());
    EXPECT_FALSE(LogStartupFigures("pyx-test"));
}

class StartupFiguresLogTest : public testing::LoggerTest {};

TEST_F(StartupFiguresLogTest, TheLatestRecordedFiguresWin) {
    QuietConsoles();
    logger_->SetMinLevel(kLogOkay);
    RecordingLogTarget local;
    local.Attach();
    SystemFigures first;
    first.processors.logicalProcessors = 1;
    SystemFigures second;
    second.processors.logicalProcessors = 2;
    RecordStartupFigures(first);
    RecordStartupFigures(second);
    EXPECT_TRUE(LogStartupFigures("x"));
    EXPECT_FALSE(LogStartupFigures("x"));
    const std::vector<std::string> messages = local.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("x: System at start-up: processors logical=2 cores=unknown", 0), 0u)
        << messages[0];
}

}  // namespace
}  // namespace Vane
