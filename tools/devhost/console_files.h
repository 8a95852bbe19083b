// The web console's files, built into the program: its own page, scripts and styles
// (tools/devhost/console/) and the third-party files it uses (node_modules/, installed by
// scripts/setup.sh). The build writes console_files_data.cpp from the list in CMakeLists.txt,
// so the console needs nothing from the disk or the network at run time.
#ifndef PYX_DEVHOST_CONSOLE_FILES_H_
#define PYX_DEVHOST_CONSOLE_FILES_H_

#include <span>
#include <string_view>

namespace Vane::DevHost {

struct EmbeddedFile {
    // The path under /console/ ("index.html", "vendor/preact.mjs").
    std::string_view name;
    // The Content-Type header to send it with.
    std::string_view contentType;
    // A strong entity tag derived from the content, quotes included.
    std::string_view etag;
    std::string_view content;
};

// Every console file, in the order the build lists them. (Defined by the generated source.)
std::span<const EmbeddedFile> ConsoleFiles();

// The console file called `name`; null when there is none.
const EmbeddedFile* FindConsoleFile(std::string_view name);

// True when the If-None-Match header value `header` names the entity tag `etag` (weak
// comparison, as the header asks: W/ prefixes are ignored) or is "*".
bool IfNoneMatchNames(std::string_view header, std::string_view etag);

// How a GET of a console file is answered.
struct ConsoleReply {
    // 200 with the file, 304 when the client's copy is current, 404 when no file has the name.
    int status = 404;
    // Set for 200 and 304.
    const EmbeddedFile* file = nullptr;
};

// The reply to GET /console/`name` with the request's If-None-Match header `ifNoneMatch`
// (empty when it sent none).
ConsoleReply AnswerConsoleRequest(std::string_view name, std::string_view ifNoneMatch);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_CONSOLE_FILES_H_
