#include "types/native_json.h"

#include <memory>

namespace Vane {

bool WriteNativeJsonTo(const TypeRegistry& registry, const void* record, const TypeHandler& handler,
                       const TypeDescriptor* descriptor, std::string_view newline,
                       std::string& out) noexcept {
    out.clear();
    std::unique_ptr<JsonWriter> writer = JsonWriter::Create(&registry, newline);
    if (!writer) return false;
    ConversionStatus status;
    handler.Walk(status, record, descriptor, registry, *writer);
    // What was written before the failure is dropped with the writer; the value path writes
    // the error value instead.
    if (!status.Ok()) return WriteJsonTo(status.Value(), &registry, newline, out);
    return writer->Finish(out);
}

}  // namespace Vane
