// The table of routes the plugin hands to the host at load time: one packed route record per
// route binding, and the 24-byte (32-bit build) summary that also carries the type and event
// arrays of the host description.
#ifndef PYX_API_ROUTE_TABLE_H_
#define PYX_API_ROUTE_TABLE_H_

#include <memory>
#include <span>
#include <vector>

#include "api/function_registry.h"
#include "host/host_description.h"
#include "pyx/host_abi.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane {

// Owns the route records, their argument and string-group arrays, the host description whose
// type and event arrays the table points at, and the HostApiTable itself. Texts point into the
// LocalApi's bindings and functions and into its type registry, so the API must outlive every
// use of the table; the table in turn must outlive the host's use of it. Not movable: the
// records hold pointers into the object.
class HostRouteTable {
  public:
    HostRouteTable() noexcept = default;
    HostRouteTable(const HostRouteTable&) = delete;
    HostRouteTable& operator=(const HostRouteTable&) = delete;

    // Describes `api` as it is now (see BuildHostRouteTable), replacing what the table held. On
    // failure (memory ran out) the table is left empty.
    MaybeType<Failure, void> Build(const LocalApi& api) noexcept;

    // The record the host receives (load-record word 6).
    const HostApiTable& Table() const noexcept { return table_; }
    // The route records, ordered by function name.
    std::span<const HostRouteRecord> Routes() const noexcept { return routes_; }
    // The host description the records' first 61 bytes were copied from.
    const HostDescription& Description() const noexcept { return description_; }

  private:
    void Clear() noexcept;

    HostDescription description_;
    std::vector<HostRouteRecord> routes_;
    std::vector<HostRouteArgument> arguments_;
    std::vector<HostStringGroup> groups_;
    std::vector<const char*> groupTexts_;
    HostApiTable table_{};
};

// Builds the host's route table of `api`: first the host description of its type registry
// (functions, types, events), then, for each route binding in function-name order, a route
// record whose first bytes are a copy of the description's function record of the same name
// (zero when there is none) with its context set to the binding, followed by the request
// callback (HandleRequest), the argument location array (null when the function has no
// arguments), the url ("" for a function registered by name), the method (1..8, else 0), the
// flag, the string groups (null when none) and the custom method. The table's type and event
// arrays are the description's. Call it after every registration.
MaybeType<Failure, std::unique_ptr<HostRouteTable>> BuildHostRouteTable(
    const LocalApi& api) noexcept;

}  // namespace Vane

#endif  // PYX_API_ROUTE_TABLE_H_
