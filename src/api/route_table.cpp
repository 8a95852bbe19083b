#include "api/route_table.h"

#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "api/request_dispatch.h"

namespace Vane {
namespace {

constexpr int32_t kOutOfMemoryCode = 500;

Failure OutOfMemory() {
    return Failure(kOutOfMemoryCode,
                   std::string("Couldn't build the route table because memory ran out."));
}

uint8_t HostLocation(ArgumentLocation location) noexcept {
    const auto code = static_cast<int32_t>(location);
    return code >= 1 && code <= 5 ? static_cast<uint8_t>(code) : 0;
}

}  // namespace

void HostRouteTable::Clear() noexcept {
    description_ = HostDescription();
    routes_.clear();
    arguments_.clear();
    groups_.clear();
    groupTexts_.clear();
    table_ = HostApiTable{};
}

MaybeType<Failure, void> HostRouteTable::Build(const LocalApi& api) noexcept {
    Clear();
    MaybeType<Failure, void> described = description_.Build(api.Types());
    if (described.IsFailure()) return described;
    MaybeType<Failure, std::vector<const RouteBinding*>> listed = api.Bindings();
    if (listed.IsFailure()) {
        Clear();
        return listed.GetFailure();
    }
    const std::vector<const RouteBinding*>& bindings = listed.Value();
    try {
        // Every array is sized once, so the pointers handed out below never move.
        size_t argumentCount = 0;
        size_t groupCount = 0;
        size_t textCount = 0;
        for (const RouteBinding* binding : bindings) {
            argumentCount += binding->argumentLocations.size();
            groupCount += binding->stringGroups.size();
            for (const auto& group : binding->stringGroups) textCount += group.size();
        }
        routes_.resize(bindings.size());
        arguments_.resize(argumentCount);
        groups_.resize(groupCount);
        groupTexts_.resize(textCount);
    } catch (const std::exception&) {
        Clear();
        return OutOfMemory();
    }

    size_t argumentsUsed = 0;
    size_t groupsUsed = 0;
    size_t textsUsed = 0;
    for (size_t index = 0; index < bindings.size(); ++index) {
        const RouteBinding& binding = *bindings[index];
        HostRouteRecord& record = routes_[index];
        std::memset(&record, 0, sizeof(record));
        if (const HostFunctionRecord* function =
                description_.FindFunction(binding.function->name)) {
            std::memcpy(&record.function, function, sizeof(HostFunctionRecord));
        }
        record.function.context = const_cast<RouteBinding*>(&binding);
        record.requestCallback = &HandleRequest;

        if (!binding.argumentLocations.empty()) {
            record.arguments = arguments_.data() + argumentsUsed;
            for (ArgumentLocation location : binding.argumentLocations) {
                HostRouteArgument& argument = arguments_[argumentsUsed++];
                std::memset(&argument, 0, sizeof(argument));
                argument.location = HostLocation(location);
            }
        }
        record.url = binding.url.c_str();
        record.method =
            static_cast<uint32_t>(NormaliseHostMethod(static_cast<int32_t>(binding.method)));
        record.flag = binding.flag;
        if (!binding.stringGroups.empty()) {
            record.stringGroups = groups_.data() + groupsUsed;
            record.stringGroupCount = static_cast<uint32_t>(binding.stringGroups.size());
            for (const std::vector<std::string>& texts : binding.stringGroups) {
                HostStringGroup& group = groups_[groupsUsed++];
                std::memset(&group, 0, sizeof(group));
                group.texts = texts.empty() ? nullptr : groupTexts_.data() + textsUsed;
                group.count = static_cast<uint32_t>(texts.size());
                for (const std::string& text : texts) groupTexts_[textsUsed++] = text.c_str();
            }
        }
        record.customMethod = binding.customMethod.c_str();
    }

    const HostApiSummary& summary = description_.Summary();
    table_.routes = routes_.empty() ? nullptr : routes_.data();
    table_.routeCount = static_cast<uint32_t>(routes_.size());
    table_.types = summary.types;
    table_.typeCount = summary.typeCount;
    table_.events = summary.events;
    table_.eventCount = summary.eventCount;
    return {};
}

MaybeType<Failure, std::unique_ptr<HostRouteTable>> BuildHostRouteTable(
    const LocalApi& api) noexcept {
    std::unique_ptr<HostRouteTable> table(new (std::nothrow) HostRouteTable);
    if (!table) return OutOfMemory();
    MaybeType<Failure, void> built = table->Build(api);
    if (built.IsFailure()) return built.GetFailure();
    return table;
}

}  // namespace Vane
