#include "util/system_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace Vane {
namespace {

TEST(SystemInfoTest, FiguresOfThisMachineArePlausible) {
    const SystemFigures figures = ReadSystemFigures();

    ASSERT_TRUE(figures.processors.logicalProcessors);
    ASSERT_TRUE(figures.processors.cores);
    ASSERT_TRUE(figures.processors.packages);
    EXPECT_GE(*figures.processors.logicalProcessors, *figures.processors.cores);
    EXPECT_GE(*figures.processors.cores, *figures.processors.packages);
    EXPECT_GE(*figures.processors.packages, 1u);

    ASSERT_TRUE(figures.system.totalPhysicalBytes);
    ASSERT_TRUE(figures.system.availablePhysicalBytes);
    EXPECT_GT(*figures.system.totalPhysicalBytes, *figures.system.availablePhysicalBytes);
    EXPECT_GT(*figures.system.availablePhysicalBytes, 0u);
    ASSERT_TRUE(figures.system.commitLimitBytes);
    ASSERT_TRUE(figures.system.commitAvailableBytes);
    EXPECT_GE(*figures.system.commitLimitBytes, *figures.system.commitAvailableBytes);

    ASSERT_TRUE(figures.process.residentBytes);
    ASSERT_TRUE(figures.process.peakResidentBytes);
    ASSERT_TRUE(figures.process.virtualBytes);
    EXPECT_GT(*figures.process.residentBytes, 0u);
    EXPECT_GE(*figures.process.peakResidentBytes, *figures.process.residentBytes);
    EXPECT_GE(*figures.process.virtualBytes, *figures.process.residentBytes);
    EXPECT_LT(*figures.process.residentBytes, *figures.system.totalPhysicalBytes);
}

TEST(SystemInfoTest, ProcessFiguresFollowWhatTheProcessTouches) {
    const ProcessMemory before = ReadProcessMemory();
    ASSERT_TRUE(before.residentBytes);
    // 64 MiB written page by page becomes resident and stays in the peak.
    constexpr size_t kBytes = 64u << 20;
    std::vector<char> block(kBytes, 1);
    const ProcessMemory during = ReadProcessMemory();
    ASSERT_TRUE(during.residentBytes);
    ASSERT_TRUE(during.peakResidentBytes);
    EXPECT_GE(*during.residentBytes, *before.residentBytes + kBytes / 2);
    EXPECT_GE(*during.peakResidentBytes, *during.residentBytes);
    EXPECT_EQ(block[kBytes - 1], 1);
}

#ifndef _WIN32

// A processor directory laid out as the kernel's, in a temporary folder.
class CpuDirectory {
  public:
    CpuDirectory() {
        root_ = std::filesystem::temp_directory_path() /
                ("pyx-cpu-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~CpuDirectory() { std::filesystem::remove_all(root_); }

    void Write(const std::string& relative, const std::string& text) {
        const std::filesystem::path path = root_ / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::string Path() const { return root_.string(); }

  private:
    std::filesystem::path root_;
};

TEST(SystemInfoTest, TopologyCountsCoresAndPackagesByTheirFirstProcessor) {
    struct Expected {
        std::optional<uint32_t> logical, cores, packages;
    };
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        Expected expected;
    };
    auto cpu = [](int n, const char* threads, const char* package) {
        const std::string topology = "cpu" + std::to_string(n) + "/topology/";
        return std::vector<std::pair<std::string, std::string>>{
            {topology + "thread_siblings_list", std::string(threads) + "\n"},
            {topology + "core_siblings_list", std::string(package) + "\n"}};
    };
    auto join = [](std::initializer_list<std::vector<std::pair<std::string, std::string>>> parts) {
        std::vector<std::pair<std::string, std::string>> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Case cases[] = {
        {"two cores of two threads, one package",
         join({{{"online", "0-3\n"}},
               cpu(0, "0-1", "0-3"),
               cpu(1, "0-1", "0-3"),
               cpu(2, "2-3", "0-3"),
               cpu(3, "2-3", "0-3")}),
         {4, 2, 1}},
        {"two packages, threads listed apart",
         join({{{"online", "0-3\n"}},
               cpu(0, "0,2", "0,2"),
               cpu(1, "1,3", "1,3"),
               cpu(2, "0,2", "0,2"),
               cpu(3, "1,3", "1,3")}),
         {4, 2, 2}},
        {"an offline processor is not counted",
         join({{{"online", "0,2\n"}}, cpu(0, "0", "0,2"), cpu(2, "2", "0,2")}),
         {2, 2, 1}},
        {"topology files missing",
         join({{{"online", "0-1\n"}}, cpu(0, "0", "0-1")}),
         {2, std::nullopt, std::nullopt}},
        {"a garbled sibling list",
         join({{{"online", "0\n"}}, cpu(0, "zero", "0")}),
         {1, std::nullopt, 1}},
        {"no list of online processors", cpu(0, "0", "0"), {}},
        {"a garbled list of online processors", join({{{"online", "0-\n"}}, cpu(0, "0", "0")}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CpuDirectory directory;
        for (const auto& [path, text] : c.files) directory.Write(path, text);
        const ProcessorTopology topology = ProbeProcessorTopologyIn(directory.Path().c_str());
        EXPECT_EQ(topology.logicalProcessors, c.expected.logical);
        EXPECT_EQ(topology.cores, c.expected.cores);
        EXPECT_EQ(topology.packages, c.expected.packages);
    }
    EXPECT_FALSE(ProbeProcessorTopologyIn("/nonexistent/pyx/cpu").logicalProcessors);
}

#else

TEST(SystemInfoTest, TopologyCountsCoresAndPackagesByTheirFirstProcessor) {
    GTEST_SKIP() << "reads the Linux kernel's processor folders; Windows asks its kernel instead";
}

#endif

}  // namespace
}  // namespace Vane
