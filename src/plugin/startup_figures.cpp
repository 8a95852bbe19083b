#include "plugin/startup_figures.h"

#include <mutex>
#include <optional>

#include "log/log_categories.h"
#include "log/logger.h"
#include "util/system_info_text.h"

namespace Vane {

namespace {

struct Waiting {
    std::mutex mutex;
    std::optional<SystemFigures> figures;
};

// Constant-initialised: recording needs no allocation, not even on first use.
Waiting& GetWaiting() {
    static Waiting waiting;
    return waiting;
}

}  // namespace

void RecordStartupFigures(const SystemFigures& figures) noexcept {
    Waiting& waiting = GetWaiting();
    std::lock_guard<std::mutex> guard(waiting.mutex);
    waiting.figures = figures;
}

bool LogStartupFigures(const std::string& shortName) {
    std::optional<SystemFigures> figures;
    {
        Waiting& waiting = GetWaiting();
        std::lock_guard<std::mutex> guard(waiting.mutex);
        figures.swap(waiting.figures);
    }
    if (!figures) return false;
    char text[kSystemFiguresTextSize];
    FormatSystemFigures(text, sizeof text, *figures);
    Log(kLogOkay, LogCategoriesLow(kCategoryDBG), LogCategoriesHigh(kCategoryDBG),
        "%s: System at start-up: %s", shortName.c_str(), text);
    return true;
}

}  // namespace Vane
