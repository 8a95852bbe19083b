// JSON text read straight into native records through the type registry, with no BindingProperty
// in between:
//
//     Answer answer;
//     ConversionStatus status = ReadJsonNative(registry, body, answer);
//
// The result is always the one ParseJson (json_reader.h) followed by FromBinding
// (record_description.h) gives: the same ok flag, the same message, the same record. The direct
// reader decides every well-formed input that converts; for anything else (syntax errors,
// values that do not convert, repeated keys, blank text, records of more than 64 fields or with
// two fields of one name) it gives up and the document is read again through a value, so that
// the message and the partly written record are exactly those of the value path.
#ifndef PYX_TYPES_NATIVE_JSON_READER_H_
#define PYX_TYPES_NATIVE_JSON_READER_H_

#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

#include "codec/json_reader.h"
#include "types/record_description.h"
#include "value/conversion_status.h"

namespace Vane {

// Reads the JSON `text` into the native value at `record`, which `handler` converts
// (`descriptor` as in its operations; `name` names the value), when it can decide the result
// alone: true when the whole document was read and converted without any failure, `record`
// then holding exactly what ParseJson + FromBinding would have left in it. False otherwise,
// `record` being then partly written; the caller must restore it and take the value path.
// Unknown members are skipped without building anything.
bool ReadJsonNativeDirect(const TypeRegistry& registry, std::string_view text, void* record,
                          const TypeHandler& handler, const TypeDescriptor* descriptor,
                          std::string_view name) noexcept;

// The value path: ParseJson(text), then, when it succeeded, FromBinding into `record`. The
// parse failure, the conversion failure, or an ok status with an empty value.
template <class T>
ConversionStatus ReadJsonThroughValue(const TypeRegistry& registry, std::string_view text,
                                      T& record,
                                      std::string_view name = kTopLevelValueName) noexcept {
    ConversionStatus parsed = ParseJson(text);
    if (!parsed.Ok()) return parsed;
    ConversionStatus status;
    FromBinding(registry, parsed.Value(), record, status, name);
    return status;
}

// Reads the JSON `text` into `record`, with exactly the outcome of ReadJsonThroughValue (the
// ok flag, the message, and what is left in `record`, also on failure), without building a
// value when the document converts. Members that are missing (or null) leave their fields as
// they are, as FromBinding does.
template <class T>
ConversionStatus ReadJsonNative(const TypeRegistry& registry, std::string_view text, T& record,
                                std::string_view name = kTopLevelValueName) noexcept {
    try {
        // The direct reader works on a copy, so that a document it gives up on is read into
        // the untouched record.
        T work(record);
        if (ReadJsonNativeDirect(registry, text, &work, HandlerOf<T>(), DescriptorOf<T>(registry),
                                 name)) {
            record = std::move(work);
            return ConversionStatus();
        }
    } catch (const std::exception&) {
        // No memory for the copy: the value path reports what it can.
    }
    return ReadJsonThroughValue(registry, text, record, name);
}

// As above for a NUL-terminated text (null reads as the empty text).
template <class T>
ConversionStatus ReadJsonNative(const TypeRegistry& registry, const char* text, T& record,
                                std::string_view name = kTopLevelValueName) noexcept {
    return ReadJsonNative(registry, text ? std::string_view(text) : std::string_view(), record,
                          name);
}

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_JSON_READER_H_
