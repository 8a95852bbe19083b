// The host form of the API description: packed arrays of function, argument, type, field,
// enumerator and event records whose texts point into the registry's own strings, and a summary
// record that points at the function, type and event arrays.
#ifndef PYX_HOST_HOST_DESCRIPTION_H_
#define PYX_HOST_HOST_DESCRIPTION_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pyx/host_abi.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane {

#pragma pack(push, 1)
// The summary of a host description: each array followed by its record count. Laid out like
// HostApiTable, whose first array holds route records instead of function records.
struct HostApiSummary {
    const HostFunctionRecord* functions;
    uint32_t functionCount;
    const HostTypeRecord* types;
    uint32_t typeCount;
    const HostEventRecord* events;
    uint32_t eventCount;
};
#pragma pack(pop)

static_assert(sizeof(HostApiSummary) == sizeof(HostApiTable));
static_assert(offsetof(HostApiSummary, types) == offsetof(HostApiTable, types));
static_assert(offsetof(HostApiSummary, eventCount) == offsetof(HostApiTable, eventCount));

// Owns the packed records of one registry's API description. In every array a record's `next`
// links to the following record of the same array (null in the last), so a host may walk it
// as a list or index it. Functions, types and events follow the registry's tables; arguments
// and fields their declaration order; enumerators their names' byte-wise order. Texts are
// never null; they point into the registry's records (or at a static empty text), so the
// registry must outlive every use of the description. Moving keeps every pointer valid.
class HostDescription {
  public:
    // An empty description: null arrays, counts 0.
    HostDescription() noexcept = default;
    // Takes `other`'s records; `other` is left empty.
    HostDescription(HostDescription&& other) noexcept;
    HostDescription& operator=(HostDescription&& other) noexcept;
    HostDescription(const HostDescription&) = delete;
    HostDescription& operator=(const HostDescription&) = delete;

    // Describes the functions, types and events `registry` holds now, replacing what the
    // description held. On failure (memory ran out) the description is left empty.
    MaybeType<Failure, void> Build(const TypeRegistry& registry) noexcept;

    // The summary record; its arrays stay valid until the next Build or the destruction.
    const HostApiSummary& Summary() const noexcept { return summary_; }

    // The records, in order.
    std::span<const HostFunctionRecord> Functions() const noexcept { return functions_; }
    std::span<const HostTypeRecord> Types() const noexcept { return types_; }
    std::span<const HostEventRecord> Events() const noexcept { return events_; }

    // The function record named `name`, or null.
    const HostFunctionRecord* FindFunction(std::string_view name) const noexcept;

  private:
    // The registry's three tables, read under one holding of its lock.
    struct Tables {
        const std::vector<const FunctionDescription*>& functions;
        const std::vector<const TypeDescriptor*>& types;
        const std::vector<const EventDescription*>& events;
    };
    // How much of the shared arrays (arguments, fields, enumerators, tags) is filled so far.
    struct Cursor {
        size_t arguments = 0;
        size_t fields = 0;
        size_t enumerators = 0;
        size_t tags = 0;
    };

    void Clear() noexcept;
    // Sizes every array for `tables` at once, since records point into each other and must
    // not move afterwards. False when memory ran out.
    bool SizeArrays(const Tables& tables) noexcept;
    // Fill one record each, taking their arguments, fields, enumerators and tags from the
    // arrays at `cursor` and advancing it.
    void FillFunction(HostFunctionRecord& record, const FunctionDescription& function,
                      Cursor& cursor) noexcept;
    void FillType(HostTypeRecord& record, const TypeDescriptor& type, Cursor& cursor) noexcept;
    void FillEvent(HostEventRecord& record, const EventDescription& event, Cursor& cursor) noexcept;

    std::vector<HostFunctionRecord> functions_;
    std::vector<HostArgumentRecord> arguments_;
    std::vector<HostTypeRecord> types_;
    std::vector<HostFieldRecord> fields_;
    std::vector<HostEnumeratorRecord> enumerators_;
    std::vector<HostEventRecord> events_;
    std::vector<const char*> tags_;
    HostApiSummary summary_{};
};

}  // namespace Vane

#endif  // PYX_HOST_HOST_DESCRIPTION_H_
