#include "plugin/plugin_log_target.h"

#include <memory>

#include "log/log_categories.h"
#include "log/logger.h"

namespace Vane {

PluginLogTarget::~PluginLogTarget() {
    Detach();
}

const char* PluginLogTarget::GetClassName() const {
    return "PluginLogTarget";
}

bool PluginLogTarget::Write(const LogRecord& record) {
    host_.Log(record.message, record.level);
    return true;
}

std::unique_ptr<PluginLogTarget> SetUpLogForwarding(const HostLink& host) {
    Logger& logger = Logger::Get();
    std::unique_ptr<PluginLogTarget> target;
    if (logger.FindTarget("PluginLogTarget") == nullptr) {
        logger.GetStdErrTarget().Detach();
        logger.GetStdOutTarget().Detach();
        logger.GetDebuggerConsoleTarget().Detach();
        logger.SetMinLevel(0);
        logger.SetExcludedCategories(LogCategoriesLow(kCategoryXTR),
                                     LogCategoriesHigh(kCategoryXTR));
        target = std::make_unique<PluginLogTarget>(host);
        LogTargetSettings settings;
        settings.minLevel = logger.GetMinLevel();
        settings.includedCategories = 0;
        settings.excludedCategories = 0;
        settings.pattern = kDefaultLogPattern;
        target->Configure(settings);
        target->Attach();
    }
    return target;
}

}  // namespace Vane
