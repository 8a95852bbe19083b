// Names of functions registered from a method and a URL.
#ifndef PYX_API_FUNCTION_NAME_H_
#define PYX_API_FUNCTION_NAME_H_

#include <string>
#include <string_view>

namespace Vane {

// Makes a function name from `prefix` (normally a method word) and `url`. A non-empty prefix
// becomes its first character, the rest in lower case and "/" ("GET" -> "Get/"), and the url is
// appended. In the text so made, "!", "+", "-", ".", "/" and "_" are dropped and upper-case the
// next kept character; "{" becomes "By" and upper-cases the next character; "}" is dropped;
// every other byte is kept, upper-cased when it is the first kept one or follows a separator.
// Case changes touch ASCII letters only. Examples: ("GET", "/pyx-missions/v1/series/{seriesId}")
// -> "GetPyxMissionsV1SeriesBySeriesId"; ("", "pyx-missions") -> "PyxMissions". Throws only
// std::bad_alloc.
std::string MakeFunctionName(std::string_view prefix, std::string_view url);

}  // namespace Vane

#endif  // PYX_API_FUNCTION_NAME_H_
