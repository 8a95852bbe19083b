#include "log/assertion.h"

#include "log/log_categories.h"
#include "log/logger.h"

namespace Vane {

namespace {

bool Given(const char* text) {
    return text != nullptr && text[0] != '\0';
}

}  // namespace

std::string BuildAssertionReport(const char* expression, const char* file, int32_t line,
                                 const char* function, const char* description) {
    try {
        std::string report = "Assertion failed!\n\n";
        if (Given(file)) report.append("File: ").append(file).append("\n");
        if (line != 0) report.append("Line: ").append(std::to_string(line)).append("\n\n");
        if (Given(function)) report.append("Function: ").append(function).append("\n\n");
        if (Given(expression)) report.append("Expression: ").append(expression);
        if (Given(description)) report.append("\n\nDescription: ").append(description);
        return report;
    } catch (...) {
        return std::string();
    }
}

void ReportFatalError(const char* code, const char* description, const char* file, int32_t line,
                      const char* function) {
    std::string report = BuildAssertionReport(code, file, line, function, description);
    const char* text = report.empty() ? "Assertion failed!" : report.c_str();
    Log(kLogError, LogCategoriesLow(kCategoryDBG), LogCategoriesHigh(kCategoryDBG), "%s", text);
}

}  // namespace Vane
