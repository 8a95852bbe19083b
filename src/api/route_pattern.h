// Route templates: "/pyx-missions/v1/series/{seriesId}" checked against request paths, with
// the path parameters captured by name.
//
// A template holding "{" is a pattern; any other template is a literal path compared byte for
// byte. A pattern's holes are:
//   {name}    one path segment, possibly empty, never holding "/"   -> regex ([^/]*)
//   {+name}   the rest of the path, "/" included                    -> regex (.*)
//   {#name}   a literal "#" followed by anything                    -> regex #(.*)
// Outside holes, the twelve characters ^ $ . * + ? ( ) [ ] | \ are escaped, so every other
// character of the template stands for itself. A "+" or "#" is a hole marker only as the first
// character of a plain hole; later ones belong to the name. A "{" inside a hole turns it back
// into a plain hole and keeps the name read so far.
//
// Templates that would silently mean something else are refused when the route is compiled:
//   - "}" outside a hole: "Invalid route template '%1': '}' outside a placeholder." (it would
//     otherwise add an empty name and shift the names of every later capture by one);
//   - a hole still open at the end: "Invalid route template '%1': unclosed placeholder." (it
//     would otherwise drop the hole and its name, and match the text before it only).
// Literal templates are never checked: "}" in them is an ordinary character.
//
// Matching. The pattern keeps the meaning of the ECMAScript regular expression BuildRoutePattern
// returns, matched against the whole path (std::regex_match): greedy holes, leftmost hole as
// long as possible, "." not matching "\n" or "\r". It is not run by std::regex, though. The
// standard library's backtracking matcher (libstdc++) nests one call chain per path character
// for these patterns; measured with GCC 12: about 320 bytes of stack per character at -O2, 195
// with clang 14, 1380 under AddressSanitizer. On a thread with a 256 KiB stack the longest
// capture that survived was 799 characters (1335 with clang, 180 under ASan), so a bound safe
// with margin would refuse ordinary paths that carry a query. CompiledRoute instead runs its
// own matcher for this small language: no recursion, constant stack whatever the path length,
// O(path length x template length) time. Templates of k > 1 holes need (k - 1) bits per path
// byte, on the stack for short paths and on the heap beyond. route_pattern_test.cpp proves the
// matcher equal to std::regex on generated templates and paths, captures included.
#ifndef PYX_API_ROUTE_PATTERN_H_
#define PYX_API_ROUTE_PATTERN_H_

#include <string>
#include <string_view>
#include <vector>

#include "util/failure.h"
#include "util/maybe.h"

namespace Vane {

// The regular expression of a template (ECMAScript grammar, to be matched against the whole
// path) and its parameter names: capture group i (from 1) holds the parameter names[i - 1].
struct RoutePattern {
    std::string pattern;
    std::vector<std::string> names;
};

// One captured path parameter. The text is the path's bytes as given: no URL decoding.
struct RouteCapture {
    std::string name;
    std::string text;

    friend bool operator==(const RouteCapture&, const RouteCapture&) = default;
};

// Builds the pattern and names of `routeTemplate`, e.g. "/items/{id}" -> "/items/([^/]*)" with
// the name "id". Fails (code 0) on "}" outside a hole or a hole left open (see above), and
// (code 500) when memory runs out.
MaybeType<Failure, RoutePattern> BuildRoutePattern(std::string_view routeTemplate) noexcept;

// The form in which a route url is stored: `url` without one trailing "/" when it is longer
// than one character ("/a/b/" -> "/a/b", "/" stays "/", "/a//" -> "/a/"). Throws only
// std::bad_alloc.
std::string NormaliseRouteUrl(std::string_view url);

// A route template prepared once for matching many paths. Immutable after Compile, so one
// object may be matched from several threads at once.
class CompiledRoute {
  public:
    // The literal route of the empty template: matches only the empty path.
    CompiledRoute() = default;

    // Prepares `routeTemplate`: a pattern when it holds "{", else a literal path. Fails as
    // BuildRoutePattern does.
    static MaybeType<Failure, CompiledRoute> Compile(std::string_view routeTemplate) noexcept;

    // True for a template without "{", compared byte for byte.
    bool IsLiteral() const noexcept { return literal_; }
    // The template as given to Compile.
    const std::string& Template() const noexcept { return template_; }
    // The pattern and names of a pattern route; empty for a literal one.
    const RoutePattern& Pattern() const noexcept { return pattern_; }

    // Checks `path` (as the request gives it, query included) against the route. A literal route
    // matches the identical path only. A pattern route matches when the pattern matches the
    // whole path; `captures` then holds one entry per hole in template order (names may repeat
    // when the template repeats them). On no match, or when memory runs out, returns false with
    // `captures` empty. Paths of any length are safe on any thread.
    bool Match(std::string_view path, std::vector<RouteCapture>& captures) const noexcept;

  private:
    // A hole of the pattern and the literal text that follows it up to the next hole.
    struct Hole {
        bool segment;         // {name}: no "/"; otherwise any byte but "\n" and "\r"
        std::string literal;  // the text after the hole
    };

    bool MatchPattern(std::string_view path, std::vector<RouteCapture>& captures) const;

    std::string template_;
    RoutePattern pattern_;
    bool literal_ = true;
    std::string head_;  // the text before the first hole
    std::vector<Hole> holes_;
};

}  // namespace Vane

#endif  // PYX_API_ROUTE_PATTERN_H_
