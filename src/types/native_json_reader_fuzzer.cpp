// Fuzzes the direct JSON -> native reader against the value path (ParseJson + FromBinding):
// arbitrary bytes are read into a record of every native kind that already holds values, both
// ways, and the ok flag, the message and the record left must be the same. Aborts on any
// difference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "types/native_json_reader_test_support.h"

namespace {

using Vane::direct_read::Outcome;
using Vane::direct_read::Outer;

const Vane::TypeRegistry& Registry() {
    static const Vane::TypeRegistry* registry = [] {
        auto* created = new Vane::TypeRegistry();
        if (!Vane::RegisterType<Outer>(*created)) std::abort();
        return created;
    }();
    return *registry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Outer start = Vane::direct_read::FilledOuter();
    const Outcome expected = Vane::direct_read::ReadThroughValue(Registry(), text, start);
    const Outcome actual = Vane::direct_read::ReadNative(Registry(), text, start);
    if (!(actual == expected)) std::abort();
    return 0;
}
