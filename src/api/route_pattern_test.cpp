#include "api/route_pattern.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

// GCC 12 with sanitizers at -O2 reports a false maybe-uninitialized inside <regex>.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace Vane {
namespace {

using Captures = std::vector<RouteCapture>;

CompiledRoute CompileOrDie(std::string_view routeTemplate) {
    MaybeType<Failure, CompiledRoute> route = CompiledRoute::Compile(routeTemplate);
    if (route.IsFailure()) {
        ADD_FAILURE() << route.GetFailure().Message();
        return CompiledRoute();
    }
    return std::move(route).Value();
}

TEST(RoutePatternTest, BuildsPatternAndNames) {
    struct Case {
        std::string_view routeTemplate;
        std::string_view pattern;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"/items/{id}", "/items/([^/]*)", {"id"}},
        {"/files/{+path}", "/files/(.*)", {"path"}},
        {"/t{#frag}", "/t#(.*)", {"frag"}},
        {"/a/{x}/b/{+rest}", "/a/([^/]*)/b/(.*)", {"x", "rest"}},
        {"/{}", "/([^/]*)", {""}},
        // The twelve characters are escaped; everything else outside holes is kept as it is.
        {"/^$.*+?()[]|\\/{x}", "/\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\/([^/]*)", {"x"}},
        {"/a-b,c=d%20&e#f:!{x}", "/a-b,c=d%20&e#f:!([^/]*)", {"x"}},
        // "+" and "#" mark a hole only as its first character.
        {"/{a+b}/{c#d}", "/([^/]*)/([^/]*)", {"a+b", "c#d"}},
        {"/{++a}", "/(.*)", {"+a"}},
        {"/{#+a}", "/#(.*)", {"+a"}},
        // "{" inside a hole makes it plain again and keeps the name read so far.
        {"/{a{b}", "/([^/]*)", {"ab"}},
        {"/{+a{b}", "/([^/]*)", {"ab"}},
        {"/{+{#x}", "/#(.*)", {"x"}},
        {"/{{+x}", "/(.*)", {"x"}},
        // Names are taken as written, regex characters and "/" included.
        {"/{a.b/c}", "/([^/]*)", {"a.b/c"}},
    };
    for (const Case& c : cases) {
        MaybeType<Failure, RoutePattern> built = BuildRoutePattern(c.routeTemplate);
        ASSERT_TRUE(built.HasValue()) << c.routeTemplate << ": " << built.GetFailure().Message();
        EXPECT_EQ(built.Value().pattern, c.pattern) << c.routeTemplate;
        EXPECT_EQ(built.Value().names, c.names) << c.routeTemplate;

        MaybeType<Failure, CompiledRoute> route = CompiledRoute::Compile(c.routeTemplate);
        ASSERT_TRUE(route.HasValue()) << c.routeTemplate;
        EXPECT_FALSE(route.Value().IsLiteral());
        EXPECT_EQ(route.Value().Pattern().pattern, c.pattern);
        EXPECT_EQ(route.Value().Pattern().names, c.names);
        EXPECT_EQ(route.Value().Template(), c.routeTemplate);
    }
}

TEST(RoutePatternTest, RefusesTemplatesThatWouldShiftOrDropNames) {
    struct Case {
        std::string_view routeTemplate;
        std::string_view message;
    };
    const Case cases[] = {
        {"/a}/{x}", "Invalid route template '/a}/{x}': '}' outside a placeholder."},
        {"/{x}}/{y}", "Invalid route template '/{x}}/{y}': '}' outside a placeholder."},
        {"/x/{id", "Invalid route template '/x/{id': unclosed placeholder."},
        {"/x/{+", "Invalid route template '/x/{+': unclosed placeholder."},
        {"{", "Invalid route template '{': unclosed placeholder."},
        {"/{a}/{b{", "Invalid route template '/{a}/{b{': unclosed placeholder."},
        // The template is a value, not a format: placeholders in it are printed as they are.
        {"/%1/%s/{x", "Invalid route template '/%1/%s/{x': unclosed placeholder."},
    };
    for (const Case& c : cases) {
        MaybeType<Failure, RoutePattern> built = BuildRoutePattern(c.routeTemplate);
        ASSERT_TRUE(built.IsFailure()) << c.routeTemplate;
        EXPECT_EQ(built.GetFailure().Message(), c.message);
        MaybeType<Failure, CompiledRoute> route = CompiledRoute::Compile(c.routeTemplate);
        ASSERT_TRUE(route.IsFailure()) << c.routeTemplate;
        EXPECT_EQ(route.GetFailure().Message(), c.message);
    }
}

TEST(RoutePatternTest, NormaliseRouteUrlDropsOneTrailingSlash) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"/a/b/", "/a/b"}, {"/a/b", "/a/b"},
        {"/", "/"},        {"", ""},
        {"//", "/"},       {"/a//", "/a/"},
        {"a/", "a"},       {"/pyx-missions/v1/series/", "/pyx-missions/v1/series"},
    };
    for (const auto& [url, stored] : cases) {
        EXPECT_EQ(NormaliseRouteUrl(url), stored) << url;
    }
}

struct MatchCase {
    std::string_view routeTemplate;
    std::string_view path;
    bool matches;
    std::vector<std::string> texts;  // captured texts, in template order
};

void ExpectMatches(const MatchCase* begin, const MatchCase* end) {
    for (const MatchCase* c = begin; c != end; ++c) {
        CompiledRoute route = CompileOrDie(c->routeTemplate);
        Captures captures{{"stale", "entry"}};
        const bool matched = route.Match(c->path, captures);
        EXPECT_EQ(matched, c->matches) << c->routeTemplate << " vs " << c->path;
        if (!matched) {
            EXPECT_TRUE(captures.empty()) << c->routeTemplate << " vs " << c->path;
            continue;
        }
        std::vector<std::string> texts;
        for (size_t i = 0; i < captures.size(); ++i) {
            texts.push_back(captures[i].text);
            EXPECT_EQ(captures[i].name, route.Pattern().names.at(i));
        }
        EXPECT_EQ(texts, c->texts) << c->routeTemplate << " vs " << c->path;
    }
}

TEST(RoutePatternTest, PatternRoutesMatchWholePaths) {
    const MatchCase cases[] = {
        // A segment hole may be empty but never spans "/".
        {"/x/{id}", "/x/", true, {""}},
        {"/x/{id}", "/x/abc", true, {"abc"}},
        {"/x/{id}", "/x/a/b", false, {}},
        {"/x/{id}", "/x", false, {}},
        {"/x/{id}", "/y/x/abc", false, {}},
        {"/items/{id}", "/items/42", true, {"42"}},
        // Dots are literal.
        {"/a.b/{x}", "/aXb/1", false, {}},
        {"/a.b/{x}", "/a.b/1", true, {"1"}},
        // A "+" hole takes the rest, "/" included.
        {"/files/{+path}", "/files/a/b/c", true, {"a/b/c"}},
        {"/files/{+path}", "/files/", true, {""}},
        {"/files/{+path}/raw", "/files/a/raw/b/raw", true, {"a/raw/b"}},
        // A "#" hole needs the "#" and captures what follows it.
        {"/t{#frag}", "/t#abc", true, {"abc"}},
        {"/t{#frag}", "/tabc", false, {}},
        // Captured text is not decoded.
        {"/x/{id}", "/x/a%20b", true, {"a%20b"}},
        // The query is part of the path: a final plain hole takes it along.
        {"/x/{id}", "/x/abc?q=1&r=2", true, {"abc?q=1&r=2"}},
        {"/x/{id}", "/x/abc?next=/y", false, {}},
        // Several holes: each, left to right, as long as the rest still matches.
        {"/a/{x}/b/{+rest}", "/a/1/b/c/d", true, {"1", "c/d"}},
        {"/{a}{b}", "/xyz", true, {"xyz", ""}},
        {"/{+a}/{b}", "/x/y/z", true, {"x/y", "z"}},
        {"/{+a}-{+b}-{c}", "/1-2-3-4-5", true, {"1-2-3", "4", "5"}},
        {"/{a}.{b}", "/v1.2.3", true, {"v1.2", "3"}},
        {"/{a}/{a}", "/1/2", true, {"1", "2"}},
        // "." of a "+" hole stops at line breaks; a segment hole takes them.
        {"/{+a}", "/x\ny", false, {}},
        {"/{+a}", "/x\ry", false, {}},
        {"/{a}", "/x\ny", true, {"x\ny"}},
        {"/{+a}", std::string_view("/x\0y", 4), true, {std::string("x\0y", 3)}},
    };
    ExpectMatches(std::begin(cases), std::end(cases));
}

TEST(RoutePatternTest, LiteralRoutesMatchOnlyTheIdenticalPath) {
    const MatchCase cases[] = {
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/missions", true, {}},
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/missions/", false, {}},
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/missions?x=1", false, {}},
        {"/pyx-missions/v1/missions", "/pyx-missions/v1/mission", false, {}},
        {"/pyx-missions/v1/missions", "/PYX-missions/v1/missions", false, {}},
        // Regex characters and "}" in a literal template are plain bytes.
        {"/a.b", "/a.b", true, {}},
        {"/a.b", "/aXb", false, {}},
        {"/a(b)*", "/a(b)*", true, {}},
        {"/a(b)*", "/ab", false, {}},
        {"/a}b", "/a}b", true, {}},
        {"", "", true, {}},
        {"", "/", false, {}},
    };
    ExpectMatches(std::begin(cases), std::end(cases));
    for (std::string_view literal : {"/a.b", "/a}b", "GetPyxMissionsV1Missions"}) {
        EXPECT_TRUE(CompileOrDie(literal).IsLiteral()) << literal;
        EXPECT_TRUE(CompileOrDie(literal).Pattern().pattern.empty()) << literal;
    }
}

// The matcher against the standard library's ECMAScript matcher, on templates and paths made
// to hit the corners: regex characters, line breaks, NUL and high bytes in literals, adjacent
// and repeated holes, every hole marker, and paths built from the template with mutations.
class Generator {
  public:
    explicit Generator(uint32_t seed) : random_(seed) {}

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

    char Pick(std::string_view alphabet) { return alphabet[Below(alphabet.size())]; }

    // A valid template of literal chunks and holes, or raw bytes that may not compile.
    std::string Template() {
        std::string text;
        if (Below(4) == 0) {
            const size_t length = Below(10);
            for (size_t i = 0; i < length; ++i) text.push_back(Pick("{}+#a/.b{}"));
            return text;
        }
        const size_t pieces = 1 + Below(5);
        for (size_t i = 0; i < pieces; ++i) {
            if (Below(2) == 0) {
                const size_t length = Below(4);
                for (size_t j = 0; j < length; ++j) text.push_back(Pick(kLiteralBytes));
            } else {
                static const char* const kHoles[] = {"{id}",  "{+rest}", "{#frag}", "{}",
                                                     "{a+b}", "{x{+y}",  "{+{#z}",  "{c#}"};
                text += kHoles[Below(std::size(kHoles))];
            }
        }
        return text;
    }

    // A path shaped like `routeTemplate`: literal bytes kept (mostly), holes filled at random.
    std::string PathFor(std::string_view routeTemplate) {
        std::string path;
        bool inHole = false;
        for (char c : routeTemplate) {
            if (c == '{') {
                inHole = true;
            } else if (c == '}') {
                inHole = false;
                if (Below(4) == 0) path.push_back('#');
                const size_t length = Below(6);
                for (size_t j = 0; j < length; ++j) path.push_back(Pick(kFillBytes));
            } else if (!inHole) {
                if (Below(12) != 0) path.push_back(c);
                if (Below(12) == 0) path.push_back(Pick(kFillBytes));
            }
        }
        return path;
    }

    std::string RandomPath() {
        std::string path;
        const size_t length = Below(12);
        for (size_t j = 0; j < length; ++j) path.push_back(Pick(kFillBytes));
        return path;
    }

  private:
    static constexpr char kLiteral[] = "ab/.#?+(\\|^$[]\n\r\0\xff%=";
    static constexpr char kFill[] = "ab/#.-\n\r\0\xff?=";
    static constexpr std::string_view kLiteralBytes{kLiteral, sizeof kLiteral - 1};
    static constexpr std::string_view kFillBytes{kFill, sizeof kFill - 1};

    std::mt19937 random_;
};

TEST(RoutePatternTest, MatchesLikeTheStandardRegexMatcher) {
    Generator generate(20240611);
    size_t compiled = 0;
    size_t matched = 0;
    for (int t = 0; t < 4000; ++t) {
        const std::string routeTemplate = generate.Template();
        MaybeType<Failure, CompiledRoute> route = CompiledRoute::Compile(routeTemplate);
        if (route.IsFailure() || route.Value().IsLiteral()) continue;
        ++compiled;
        const RoutePattern& pattern = route.Value().Pattern();
        const std::regex reference(pattern.pattern);
        ASSERT_EQ(reference.mark_count(), pattern.names.size()) << pattern.pattern;
        for (int p = 0; p < 24; ++p) {
            const std::string path =
                p < 20 ? generate.PathFor(routeTemplate) : generate.RandomPath();
            std::smatch groups;
            const bool expected = std::regex_match(path, groups, reference);
            Captures captures;
            const bool actual = route.Value().Match(path, captures);
            ASSERT_EQ(actual, expected)
                << "pattern '" << pattern.pattern << "' path '" << path << "'";
            if (!expected) continue;
            ++matched;
            ASSERT_EQ(captures.size(), pattern.names.size());
            for (size_t i = 0; i < captures.size(); ++i) {
                ASSERT_TRUE(groups[i + 1].matched);
                EXPECT_EQ(captures[i].text, groups[i + 1].str())
                    << "pattern '" << pattern.pattern << "' path '" << path << "' group " << i + 1;
                EXPECT_EQ(captures[i].name, pattern.names[i]);
            }
        }
    }
    // The generator must have produced real work on both sides.
    EXPECT_GT(compiled, 2000u);
    EXPECT_GT(matched, 10000u);
}

// Runs `job` on a thread with a stack of `stackBytes`.
template <class Job>
void RunWithStack(size_t stackBytes, Job& job) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<Job*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &job), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    pthread_attr_destroy(&attributes);
}

TEST(RoutePatternTest, MultiMegabytePathsAreSafeOnASmallStack) {
    constexpr size_t kBig = 6u << 20;
    const std::string run(kBig, 'a');
    std::string slashes;
    for (size_t i = 0; i < kBig / 4; ++i) slashes += "ab/-";
    struct Case {
        std::string routeTemplate;
        std::string path;
        bool matches;
        std::vector<size_t> lengths;  // lengths of the captured texts
    };
    const std::vector<Case> cases = {
        {"/files/{+path}", "/files/" + run, true, {kBig}},
        {"/x/{id}", "/x/" + run, true, {kBig}},
        {"/x/{id}", "/x/" + run + "/", false, {}},
        {"/x/{id}", "/x/" + run + "?q=1", true, {kBig + 4}},
        {"/files/{+path}", "/files/" + run + "\n", false, {}},
        {"/a/{x}/b/{+rest}", "/a/1/b/" + slashes, true, {1, slashes.size()}},
        {"/{+a}-{+b}/{c}", "/" + slashes, true, {slashes.size() - 5, 2, 1}},
        {"/{+a}-{+b}/{c}/", "/" + slashes, false, {}},
    };
    for (const Case& c : cases) {
        CompiledRoute route = CompileOrDie(c.routeTemplate);
        bool matched = false;
        Captures captures;
        auto job = [&] { matched = route.Match(c.path, captures); };
        RunWithStack(256 * 1024, job);
        EXPECT_EQ(matched, c.matches) << c.routeTemplate;
        std::vector<size_t> lengths;
        for (const RouteCapture& capture : captures) lengths.push_back(capture.text.size());
        EXPECT_EQ(lengths, c.lengths) << c.routeTemplate;
    }
}

}  // namespace
}  // namespace Vane
