#include "devhost/system_status.h"

#include <optional>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

template <class Number>
void SetFigure(BindingProperty& group, const char* name, const std::optional<Number>& figure) {
    if (figure) {
        SetMemberUnsigned(group, name, *figure);
    } else {
        SetMember(group, name, BindingProperty());
    }
}

}  // namespace

BindingProperty SystemFiguresValue(const SystemFigures& figures) {
    BindingProperty processors;
    SetFigure(processors, "logical", figures.processors.logicalProcessors);
    SetFigure(processors, "cores", figures.processors.cores);
    SetFigure(processors, "packages", figures.processors.packages);
    BindingProperty memory;
    SetFigure(memory, "totalPhysicalBytes", figures.system.totalPhysicalBytes);
    SetFigure(memory, "availablePhysicalBytes", figures.system.availablePhysicalBytes);
    SetFigure(memory, "commitLimitBytes", figures.system.commitLimitBytes);
    SetFigure(memory, "commitAvailableBytes", figures.system.commitAvailableBytes);
    BindingProperty process;
    SetFigure(process, "residentBytes", figures.process.residentBytes);
    SetFigure(process, "peakResidentBytes", figures.process.peakResidentBytes);
    SetFigure(process, "virtualBytes", figures.process.virtualBytes);
    BindingProperty value;
    SetMember(value, "processors", processors);
    SetMember(value, "memory", memory);
    SetMember(value, "process", process);
    return value;
}

}  // namespace Vane::DevHost
