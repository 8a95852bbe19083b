#include "log/assertion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "log/log_test_support.h"
#include "log/logged_error_test_support.h"

namespace Vane {
namespace {

using testing::LoggerTest;
using testing::RecordingLogTarget;

TEST(AssertionReportTest, OnlyTheGivenPartsAppearInOrder) {
    struct Case {
        const char* expression;
        const char* file;
        int32_t line;
        const char* function;
        const char* description;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, 0, nullptr, nullptr, "Assertion failed!\n\n"},
        {"", "", 0, "", "", "Assertion failed!\n\n"},
        {"x > 0", nullptr, 0, nullptr, nullptr, "Assertion failed!\n\nExpression: x > 0"},
        {nullptr, nullptr, -7, nullptr, nullptr, "Assertion failed!\n\nLine: -7\n\n"},
        {nullptr, "src/a.cpp", 0, nullptr, nullptr, "Assertion failed!\n\nFile: src/a.cpp\n"},
        {nullptr, nullptr, 0, nullptr, "why", "Assertion failed!\n\n\n\nDescription: why"},
        {"ok()", "a.cpp", 12, "Run", "broken",
         "Assertion failed!\n\nFile: a.cpp\nLine: 12\n\nFunction: Run\n\nExpression: ok()\n\n"
         "Description: broken"},
        {nullptr, nullptr, 2147483647, "Main", nullptr,
         "Assertion failed!\n\nLine: 2147483647\n\nFunction: Main\n\n"},
        {nullptr, nullptr, INT32_MIN, nullptr, nullptr,
         "Assertion failed!\n\nLine: -2147483648\n\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildAssertionReport(c.expression, c.file, c.line, c.function, c.description),
                  c.expected)
            << c.expected;
    }
}

TEST_F(LoggerTest, FatalErrorIsLoggedAsErrorInCategoryDbg) {
    QuietConsoles();
    RecordingLogTarget target;
    target.Attach();
    const char* description =
        "pyx-missions which supports plugin API 18.1.0 is not compatible with core's plugin API "
        "17.0.0 (100% sure)";
    ReportFatalError("ALE-EECF0606", description, nullptr, 0, nullptr);
    ASSERT_EQ(target.Lines().size(), 1u);
    const testing::RecordedLine line = target.Lines()[0];
    EXPECT_EQ(line.level, kLogError);
    EXPECT_EQ(line.categories, kCategoryDBG);
    EXPECT_EQ(line.message, std::string("Assertion failed!\n\nExpression: ALE-EECF0606\n\n"
                                        "Description: ") +
                                description);
    EXPECT_EQ(logger_->GetErrorCount(), 1u);
}

// The death tests of the loader read the report back from standard error; this is the text
// they see, written by the real standard-error target.
TEST_F(LoggerTest, StandardErrorShowsTheWholeReportAsTheLastErrorMessage) {
    QuietConsoles();
    struct Case {
        const char* file;
        int32_t line;
        const char* function;
    };
    const Case cases[] = {{nullptr, 0, nullptr}, {"a.cpp", 75, "Load"}};
    for (const Case& c : cases) {
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        {
            StdErrLogTarget target(stream);
            target.Attach();
            ReportFatalError("ALE-EECF0606", "why", c.file, c.line, c.function);
        }
        std::string output(4096, '\0');
        std::rewind(stream);
        output.resize(std::fread(output.data(), 1, output.size(), stream));
        std::fclose(stream);
        std::string message;
        ASSERT_TRUE(testing::LastLoggedErrorMessage(output, message)) << output;
        EXPECT_EQ(message, BuildAssertionReport("ALE-EECF0606", c.file, c.line, c.function, "why"));
    }
}

TEST(LastLoggedErrorTest, TakesTheTextAfterTheLastErrorMarker) {
    struct Case {
        const char* output;
        bool found;
        const char* message;
    };
    const Case cases[] = {
        {"x(1):  ERROR| a\n\nb\n", true, "a\n\nb"},
        {"x(1):  ERROR| a\r\n\r\nb\r\n", true, "a\n\nb"},  // a Windows text stream
        {"x(1):  ERROR| first\nx(1):  ERROR| second\n", true, "second"},
        {"x(1):  ERROR| no line feed", true, "no line feed"},
        {"x(1):   WARN| a\n", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(testing::LastLoggedErrorMessage(c.output, message), c.found) << c.output;
        EXPECT_EQ(message, c.message) << c.output;
    }
}

}  // namespace
}  // namespace Vane
