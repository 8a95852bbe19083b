#include "util/kernel_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Vane {
namespace {

constexpr uint64_t kKiB = 1024;

TEST(KernelTextTest, KilobyteFieldsAreReadOnlyWhenWellFormed) {
    struct Case {
        const char* text;
        const char* name;
        std::optional<uint64_t> bytes;
    };
    const Case cases[] = {
        {"MemTotal:       24683676 kB\nMemFree: 1 kB\n", "MemTotal", 24683676 * kKiB},
        {"VmPeak:\t    3892 kB\nVmRSS:\t    2036 kB\n", "VmRSS", 2036 * kKiB},
        {"VmRSS:\t0 kB", "VmRSS", 0},                          // last line without a line feed
        {"VmRSSx:\t7 kB\nVmRSS:\t8 kB\n", "VmRSS", 8 * kKiB},  // a longer name is another field
        {"XVmRSS:\t7 kB\n", "VmRSS", std::nullopt},            // the name starts the line
        {"MemTotal: 5 kB\n", "MemFree", std::nullopt},         // missing
        {"VmRSS:\t kB\n", "VmRSS", std::nullopt},              // no number
        {"VmRSS:\t12x kB\n", "VmRSS", std::nullopt},           // not a number
        {"VmRSS:\t12 MB\n", "VmRSS", std::nullopt},            // another unit
        {"VmRSS:\t12\n", "VmRSS", std::nullopt},               // no unit: a cut-off read
        {"VmRSS:\t-12 kB\n", "VmRSS", std::nullopt},
        {"VmRSS:\t18014398509481983 kB\n", "VmRSS", uint64_t{18014398509481983} * kKiB},
        {"VmRSS:\t18014398509481984 kB\n", "VmRSS", std::nullopt},  // bytes beyond 64 bits
        {"VmRSS:\t99999999999999999999999 kB\n", "VmRSS", std::nullopt},
        {"", "VmRSS", std::nullopt},
        {"VmRSS:\t1 kB\n", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindKilobyteField(c.text, c.name), c.bytes) << c.name << " in " << c.text;
    }
}

TEST(KernelTextTest, MeminfoGivesTheSystemFigures) {
    const char* meminfo =
        "MemTotal:       24683676 kB\n"
        "MemFree:        20000000 kB\n"
        "MemAvailable:   22924912 kB\n"
        "CommitLimit:    12341836 kB\n"
        "Committed_AS:    1470144 kB\n";
    SystemMemory memory = SystemMemoryFromMeminfo(meminfo);
    EXPECT_EQ(memory.totalPhysicalBytes, 24683676 * kKiB);
    EXPECT_EQ(memory.availablePhysicalBytes, 22924912 * kKiB);
    EXPECT_EQ(memory.commitLimitBytes, 12341836 * kKiB);
    EXPECT_EQ(memory.commitAvailableBytes, (12341836 - 1470144) * kKiB);

    // More committed than the limit (overcommitted): nothing is left, not a wrapped number.
    memory = SystemMemoryFromMeminfo("CommitLimit: 10 kB\nCommitted_AS: 25 kB\n");
    EXPECT_EQ(memory.commitAvailableBytes, uint64_t{0});
    EXPECT_EQ(memory.totalPhysicalBytes, std::nullopt);

    // An old kernel without MemAvailable, and no commit figures.
    memory = SystemMemoryFromMeminfo("MemTotal: 100 kB\nMemFree: 50 kB\n");
    EXPECT_EQ(memory.totalPhysicalBytes, 100 * kKiB);
    EXPECT_EQ(memory.availablePhysicalBytes, std::nullopt);
    EXPECT_EQ(memory.commitLimitBytes, std::nullopt);
    EXPECT_EQ(memory.commitAvailableBytes, std::nullopt);

    // A file that could not be read.
    memory = SystemMemoryFromMeminfo("");
    EXPECT_FALSE(memory.totalPhysicalBytes || memory.availablePhysicalBytes ||
                 memory.commitLimitBytes || memory.commitAvailableBytes);
}

TEST(KernelTextTest, StatusGivesTheProcessFigures) {
    const char* status =
        "Name:\tcat\n"
        "VmPeak:\t    3892 kB\n"
        "VmSize:\t    3890 kB\n"
        "VmHWM:\t    2040 kB\n"
        "VmRSS:\t    2036 kB\n";
    ProcessMemory memory = ProcessMemoryFromStatus(status);
    EXPECT_EQ(memory.residentBytes, 2036 * kKiB);
    EXPECT_EQ(memory.peakResidentBytes, 2040 * kKiB);
    EXPECT_EQ(memory.virtualBytes, 3890 * kKiB);

    // A kernel thread's status has no memory lines.
    memory = ProcessMemoryFromStatus("Name:\tkthreadd\nState:\tS (sleeping)\n");
    EXPECT_FALSE(memory.residentBytes || memory.peakResidentBytes || memory.virtualBytes);
}

TEST(KernelTextTest, CpuListsAreParsedIntoRanges) {
    struct Case {
        const char* text;
        size_t capacity;
        std::optional<std::vector<std::pair<uint32_t, uint32_t>>> ranges;
    };
    using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;
    const Case cases[] = {
        {"0\n", 4, Ranges{{0, 0}}},
        {"0-3\n", 4, Ranges{{0, 3}}},
        {"0-3,8,10-11\n", 4, Ranges{{0, 3}, {8, 8}, {10, 11}}},
        {"4294967295", 4, Ranges{{4294967295u, 4294967295u}}},
        {"0-3,8,10-11", 2, std::nullopt},  // more ranges than room
        {"", 4, std::nullopt},
        {"\n", 4, std::nullopt},
        {"3-1", 4, std::nullopt},  // backwards
        {"0-", 4, std::nullopt},
        {"0,,1", 4, std::nullopt},
        {"0,", 4, std::nullopt},
        {"a", 4, std::nullopt},
        {"0-3x", 4, std::nullopt},
        {"4294967296", 4, std::nullopt},  // beyond 32 bits
    };
    for (const Case& c : cases) {
        CpuRange ranges[4];
        const std::optional<size_t> count = ParseCpuList(c.text, ranges, c.capacity);
        ASSERT_EQ(count.has_value(), c.ranges.has_value()) << c.text;
        if (!count) continue;
        Ranges parsed;
        for (size_t i = 0; i < *count; ++i) parsed.emplace_back(ranges[i].first, ranges[i].last);
        EXPECT_EQ(parsed, *c.ranges) << c.text;
    }
}

}  // namespace
}  // namespace Vane
