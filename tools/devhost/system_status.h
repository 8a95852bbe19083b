// The machine's and the host process's figures as the status endpoint shows them.
#ifndef PYX_DEVHOST_SYSTEM_STATUS_H_
#define PYX_DEVHOST_SYSTEM_STATUS_H_

#include "util/system_info.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// {"processors": {"logical", "cores", "packages"},
//  "memory": {"totalPhysicalBytes", "availablePhysicalBytes", "commitLimitBytes",
//             "commitAvailableBytes"},
//  "process": {"residentBytes", "peakResidentBytes", "virtualBytes"}}
// with unsigned numbers, and null for a figure that could not be read.
BindingProperty SystemFiguresValue(const SystemFigures& figures);

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_SYSTEM_STATUS_H_
