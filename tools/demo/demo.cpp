// A small tour of what the framework can do at this stage: positional and named message
// templates, failures carrying their fields, and the logger with its console targets.
#include <cstdio>

#include "log/logger.h"
#include "util/failure.h"
#include "util/format.h"

int main() {
    using namespace Vane;
    std::printf("%s\n", FormatPositional("Plugin API %1 (%2 routes, %3$.1f%% ready)",
                                         Version{18, 0, 0}, 5, 99.5)
                            .c_str());

    Failure failure(404, "Error response for {method} {url}: {error}", "GET",
                    "/pyx-missions/v1/missions", "Not Found");
    std::printf("failure %d: %s\n", failure.code(), failure.message().c_str());
    for (const auto& [name, value] : failure.fields())
        std::printf("  field %s = %s\n", name.c_str(), value.AsString().c_str());

    AcquireLogger();
    Log(kLogWarn, LogCategoriesLow(kCategoryDBG), LogCategoriesHigh(kCategoryDBG),
        "%s: missions fetch took %d ms", "pyx-missions", 1250);
    Log(kLogOkay, 0, 0, "dropped: below the default minimum level");
    ReleaseLogger();
    return 0;
}
