// Native records written as JSON text straight from the records: the same text as converting
// the record to a value and writing that (json_writer.h), without building the value.
//
//     std::string text = WriteJson(registry, answer);          // compact
//     std::string pretty = WriteJson(registry, answer, "\r\n");
#ifndef PYX_TYPES_NATIVE_JSON_H_
#define PYX_TYPES_NATIVE_JSON_H_

#include <string>
#include <string_view>

#include "codec/json_writer.h"
#include "types/record_description.h"

namespace Vane {

// Writes the record at `record` (converted by `handler`, with `descriptor` as in its handler
// operations) as JSON into `out`, replacing its content: the text WriteJsonTo gives for the
// value the handler's ToBinding builds, enums named through `registry`. False, leaving `out`
// empty, when memory ran out.
bool WriteNativeJsonTo(const TypeRegistry& registry, const void* record, const TypeHandler& handler,
                       const TypeDescriptor* descriptor, std::string_view newline,
                       std::string& out) noexcept;

// Writes `record` as JSON into `out`, replacing its content, byte for byte as
// WriteJsonTo(ToBinding(registry, record).Value(), &registry, newline, out) would: compact when
// `newline` is empty, else pretty with `newline` line ends; a record that does not convert gives
// {"error": message}. False, leaving `out` empty, when memory ran out.
template <class T>
bool WriteJsonTo(const TypeRegistry& registry, const T& record, std::string_view newline,
                 std::string& out) noexcept {
    if constexpr (NativeKindOf<T>() == NativeKind::kObject) {
        // A held value is written as it is (an empty one as the empty text).
        return WriteJsonTo(record, &registry, newline, out);
    } else {
        return WriteNativeJsonTo(registry, &record, HandlerOf<T>(), DescriptorOf<T>(registry),
                                 newline, out);
    }
}

// As WriteJsonTo, returning the text ("" when memory ran out).
template <class T>
std::string WriteJson(const TypeRegistry& registry, const T& record,
                      std::string_view newline = {}) noexcept {
    std::string text;
    WriteJsonTo(registry, record, newline, text);
    return text;
}

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_JSON_H_
