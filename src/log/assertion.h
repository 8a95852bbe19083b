// Assertion reports and fatal errors.
#ifndef PYX_LOG_ASSERTION_H_
#define PYX_LOG_ASSERTION_H_

#include <cstdint>
#include <string>

namespace Vane {

// The text of an assertion report: "Assertion failed!" and two line feeds, then only the
// parts that are given: "File: <file>" and one line feed, "Line: <line>" and two line feeds,
// "Function: <function>" and two line feeds, "Expression: <expression>", and two line feeds
// followed by "Description: <description>". Null or empty texts and line 0 are left out.
// Returns an empty string only when memory runs out.
std::string BuildAssertionReport(const char* expression, const char* file, int32_t line,
                                 const char* function, const char* description);

// Logs the report built with code as the expression at level ERROR in category DBG. Ending
// the process is left to the caller.
void ReportFatalError(const char* code, const char* description, const char* file, int32_t line,
                      const char* function);

}  // namespace Vane

#endif  // PYX_LOG_ASSERTION_H_
