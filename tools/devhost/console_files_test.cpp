#include "devhost/console_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace Vane::DevHost {
namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string Text(std::string_view name) {
    const EmbeddedFile* file = FindConsoleFile(name);
    EXPECT_NE(file, nullptr) << name;
    return file != nullptr ? std::string(file->content) : std::string();
}

// Every capture of `pattern`'s first group in `text`.
std::vector<std::string> Captures(const std::string& text, const std::string& pattern) {
    std::vector<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
         it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

TEST(ConsoleFiles, EachFileCarriesTheTypeABrowserNeedsAndATagOfItsOwn) {
    const struct {
        const char* end;
        const char* type;
    } kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".svg", "image/svg+xml"},
        {".txt", "text/plain; charset=utf-8"},
    };
    std::set<std::string_view> names;
    for (const EmbeddedFile& file : ConsoleFiles()) {
        SCOPED_TRACE(std::string(file.name));
        EXPECT_TRUE(names.insert(file.name).second) << "listed twice";
        EXPECT_FALSE(file.content.empty());
        EXPECT_TRUE(std::regex_match(std::string(file.etag), std::regex(R"("[0-9a-f]{20}")")))
            << file.etag;
        const auto type = std::find_if(std::begin(kTypes), std::end(kTypes), [&](const auto& each) {
            return EndsWith(file.name, each.end);
        });
        ASSERT_NE(type, std::end(kTypes)) << "an extension the console does not use";
        EXPECT_EQ(file.contentType, type->type);
    }
    for (const char* name : {"index.html", "app.js", "vendor/preact.mjs",
                             "vendor/swagger-ui-bundle.js", "vendor/pico.conditional.min.css"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
}

// The bundle is the largest file and carries bytes beyond ASCII: it must come out whole, not cut
// at a piece boundary or changed on the way.
TEST(ConsoleFiles, ContentArrivesWhole) {
    const std::string bundle = Text("vendor/swagger-ui-bundle.js");
    EXPECT_GT(bundle.size(), 1000000u);
    EXPECT_EQ(bundle.find('\0'), std::string::npos);
    EXPECT_EQ(bundle.rfind("/*! For license information", 0), 0u);
    const std::string page = Text("index.html");
    EXPECT_EQ(page.rfind("<!doctype html>", 0), 0u);
    EXPECT_TRUE(EndsWith(page, "</html>\n"));
}

// A module or a link the page asks for and the build did not list would only show in a
// browser, as a console that never starts: every reference must name an embedded file.
TEST(ConsoleFiles, EveryReferenceOfThePageAndItsModulesIsEmbedded) {
    const std::string page = Text("index.html");
    const std::vector<std::string> mapped =
        Captures(page, R"re("([a-z/-]+)"\s*:\s*"/console/[^"]+")re");
    EXPECT_FALSE(mapped.empty()) << "no import map";
    const std::set<std::string> bare(mapped.begin(), mapped.end());

    std::vector<std::string> referenced = Captures(page, R"re("/console/([^"]+)")re");
    for (const EmbeddedFile& file : ConsoleFiles()) {
        if (!EndsWith(file.name, ".js") || file.name.rfind("vendor/", 0) == 0) continue;
        SCOPED_TRACE(std::string(file.name));
        const std::string module(file.content);
        for (const std::string& path : Captures(module, R"re(["'`]/console/([^"'`]+)["'`])re")) {
            referenced.push_back(path);
        }
        for (const std::string& specifier :
             Captures(module, R"re((?:from|import)\s*\(?\s*["']([^"']+)["'])re")) {
            if (specifier.rfind("./", 0) == 0) {
                referenced.push_back(specifier.substr(2));
            } else {
                EXPECT_TRUE(bare.count(specifier)) << specifier << " is not in the import map";
            }
        }
    }
    EXPECT_GT(referenced.size(), 10u);
    for (const std::string& name : referenced) {
        EXPECT_NE(FindConsoleFile(name), nullptr) << name << " is referenced but not embedded";
    }
}

TEST(ConsoleFiles, IfNoneMatchNamesTheTagWeaklyOrEverything) {
    const struct {
        const char* header;
        bool names;
    } kCases[] = {
        {R"("abc")", true},
        {R"(W/"abc")", true},
        {R"( "x" , "abc" )", true},
        {R"("x",W/"abc")", true},
        {"*", true},
        {" * ", true},
        {R"("abcd")", false},
        {R"("ab")", false},
        {"abc", false},
        {"", false},
        {",,", false},
    };
    for (const auto& each : kCases) {
        EXPECT_EQ(IfNoneMatchNames(each.header, R"("abc")"), each.names) << each.header;
    }
}

TEST(ConsoleFiles, AnswersAFileItsCurrentCopyOrNothing) {
    const EmbeddedFile* page = FindConsoleFile("index.html");
    ASSERT_NE(page, nullptr);
    const std::string tag(page->etag);

    EXPECT_EQ(AnswerConsoleRequest("index.html", "").status, 200);
    EXPECT_EQ(AnswerConsoleRequest("index.html", "").file, page);
    EXPECT_EQ(AnswerConsoleRequest("index.html", tag).status, 304);
    EXPECT_EQ(AnswerConsoleRequest("index.html", tag).file, page);
    EXPECT_EQ(AnswerConsoleRequest("index.html", R"("0000")").status, 200);
    EXPECT_EQ(AnswerConsoleRequest("app.js", tag).status, 200) << "another file's tag";

    for (const char* name : {"", "nope.js", "index.html/", "../index.html", "vendor"}) {
        const ConsoleReply missing = AnswerConsoleRequest(name, "*");
        EXPECT_EQ(missing.status, 404) << name;
        EXPECT_EQ(missing.file, nullptr) << name;
    }
}

}  // namespace
}  // namespace Vane::DevHost
