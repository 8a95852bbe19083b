// Built only into the plugin library of the allocation-failure tests, never into the product:
// two more exports through which a test host makes the library's counting memory hooks fail.
#include <cstdint>

#include "plugin/memory_accounting.h"
#include "pyx/host_abi.h"

// From the next call on, the `nth` allocation of the framework's heap blocks (1: the next)
// fails; with `persistent` non-zero every later one too; 0 disarms.
extern "C" PYX_EXPORT void PYX_CDECL pyx_missions_fail_allocation(uint64_t nth,
                                                                  int32_t persistent) {
    Vane::ArmAllocationFailure(nth, persistent != 0);
}

// How many allocations were refused since the last call of pyx_missions_fail_allocation.
extern "C" PYX_EXPORT uint64_t PYX_CDECL pyx_missions_refused_allocations() {
    return Vane::RefusedAllocations();
}
