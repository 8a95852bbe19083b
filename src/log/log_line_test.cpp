#include "log/log_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "log/logger.h"
#include "util/platform.h"

namespace Vane {
namespace {

LogRecord SampleRecord(const char* message = "text") {
    LogRecord record;
    record.year = 2024;
    record.month = 5;
    record.day = 1;
    record.hour = 9;
    record.minute = 3;
    record.second = 7;
    record.millisecond = 45;
    record.level = kLogWarn;
    record.categories = kCategoryDBG | kCategoryNET;
    record.message = message;
    return record;
}

std::string Format(const char* pattern, const LogRecord& record, size_t size = kLogBufferSize) {
    std::vector<char> buffer(size + 1, '\x7f');
    size_t length = FormatLogLine(buffer.data(), size, pattern, record);
    return std::string(buffer.data(), length);
}

TEST(FormatLogLineTest, FieldsAndLiterals) {
    struct Case {
        const char* pattern;
        const char* message;
        const char* expected;
    };
    const Case cases[] = {
        {"#D| #L| #G| #M", "text", "2024-05-01T09:03:07.045|   WARN| DBG;NET| text\n"},
        {"#D", "", "2024-05-01T09:03:07.045\n"},
        {"[#L]", "", "[  WARN]\n"},
        {"#M", "already ends\n", "already ends\n"},
        {"#M!", "ends inside\n", "ends inside\n!\n"},
        {"#M", "two\n\n", "two\n\n"},
        {"#M", "", "\n"},
        {"", "ignored", "\n"},
        {"plain text", "", "plain text\n"},
        {"##", "", "#\n"},
        {"#x#%#|", "", "x%|\n"},
        {"100#", "", "100#\n"},
        {"#m #d", "lower case letters are literals", "m d\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Format(c.pattern, SampleRecord(c.message)), c.expected) << c.pattern;
    }
}

TEST(FormatLogLineTest, LevelWordsAndCategoryNames) {
    LogRecord record = SampleRecord();
    const std::pair<uint64_t, const char*> categories[] = {
        {0, "\n"},
        {kCategoryXTR, "XTR\n"},
        {0xFF, "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST\n"},
        {kCategoryGEN | (uint64_t{1} << 63), "GEN;???\n"},
    };
    for (const auto& [mask, expected] : categories) {
        record.categories = mask;
        EXPECT_EQ(Format("#G", record), expected) << mask;
    }
    uint64_t registered = CategoryBit("LOC");
    ASSERT_NE(registered, 0u);
    record.categories = registered | kCategoryDBG;
    EXPECT_EQ(Format("#G", record), "DBG;LOC\n");

    const std::pair<int32_t, const char*> levels[] = {
        {0, "  OKAY\n"}, {1, "  WARN\n"}, {2, " ERROR\n"}, {3, "ALWAYS\n"}, {9, "   ???\n"}};
    for (const auto& [level, expected] : levels) {
        record.level = level;
        EXPECT_EQ(Format("#L", record), expected) << level;
    }
}

TEST(FormatLogLineTest, ProcessFields) {
    Logger::Get();  // The executable name is read when the logger is created.
    char thread[16];
    std::snprintf(thread, sizeof thread, "%08X", Platform::CurrentThreadId());
    EXPECT_EQ(Format("#E(#T): #L| #M", SampleRecord("hi")),
              Platform::ExecutableFileName() + "(" + thread + "):   WARN| hi\n");
    EXPECT_TRUE(
        std::regex_match(Format("#H", SampleRecord()), std::regex("[0-9]{6}\\.[0-9]{3}\n")));
}

TEST(FormatLogLineTest, NullPatternAndMessageCountAsEmpty) {
    LogRecord record = SampleRecord();
    record.message = nullptr;
    EXPECT_EQ(Format(nullptr, record), "\n");
    EXPECT_EQ(Format("<#M>", record), "<>\n");
    EXPECT_EQ(FormatLogLine(nullptr, 10, "#M", record), 0u);
}

// Every size from 0 up: the line is the untruncated line's prefix plus one line feed, it fits
// with its NUL, and not a byte after the given size is touched.
TEST(FormatLogLineTest, NeverOverrunsAnySizeAndKeepsTheLineFeed) {
    LogRecord record = SampleRecord("a message long enough to be cut at every size");
    const char* pattern = "#D| #L| #G| #M";
    std::string full = Format(pattern, record);
    ASSERT_EQ(full.back(), '\n');
    std::string text = full.substr(0, full.size() - 1);

    for (size_t size = 0; size <= full.size() + 4; ++size) {
        std::vector<char> buffer(size + 16, '\x7f');
        size_t length = FormatLogLine(buffer.data(), size, pattern, record);
        for (size_t i = size; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], '\x7f') << "size " << size << " byte " << i;
        }
        if (size == 0) {
            EXPECT_EQ(length, 0u);
            continue;
        }
        ASSERT_LT(length, size) << size;
        EXPECT_EQ(buffer[length], '\0') << size;
        EXPECT_EQ(std::strlen(buffer.data()), length) << size;
        if (size == 1) continue;
        std::string line(buffer.data(), length);
        EXPECT_LE(length, size - 1);
        size_t kept = std::min(text.size(), size - 2);
        EXPECT_EQ(line, text.substr(0, kept) + "\n") << size;
    }
}

TEST(FormatLogLineTest, LongestMessageFillsTheLineBufferExactly) {
    std::string message(kLogBufferSize - 1, 'x');
    std::string line = Format("#M", SampleRecord(message.c_str()));
    EXPECT_EQ(line.size(), kLogBufferSize - 1);
    EXPECT_EQ(line, std::string(kLogBufferSize - 2, 'x') + "\n");

    std::string withPrefix = Format("#D| #L| #G| #M", SampleRecord(message.c_str()));
    EXPECT_EQ(withPrefix.size(), kLogBufferSize - 1);
    EXPECT_EQ(withPrefix.substr(0, 24), "2024-05-01T09:03:07.045|");
    EXPECT_EQ(withPrefix.back(), '\n');
}

}  // namespace
}  // namespace Vane
