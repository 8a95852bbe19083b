#include "types/type_descriptor.h"

#include <algorithm>

#include "types/native_conversion.h"
#include "value/binding_writer.h"

namespace Vane {

void TypeHandler::Walk(ConversionStatus& status, const void* source,
                       const TypeDescriptor* descriptor, const TypeRegistry& registry,
                       BindingWriter& writer) const noexcept {
    if (!status.Ok()) return;
    ConversionStatus converted;
    ToBinding(converted, converted.Value(), source, descriptor, registry);
    if (!converted.Ok()) {
        status.Fail(converted.Error());
        return;
    }
    Vane::Walk(converted.Value(), writer);
}

bool TypeHandler::EmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                                 const TypeRegistry& registry) const noexcept {
    ConversionStatus converted;
    ToBinding(converted, converted.Value(), source, descriptor, registry);
    return converted.Ok() && IsEmptyForOutput(converted.Value());
}

const EnumeratorRecord* TypeDescriptor::FindEnumerator(std::string_view name) const noexcept {
    auto found = enumerators.find(name);
    return found == enumerators.end() ? nullptr : &found->second;
}

const EnumeratorRecord* TypeDescriptor::FindEnumerator(int32_t value) const noexcept {
    auto found = std::lower_bound(
        enumeratorsByValue.begin(), enumeratorsByValue.end(), value,
        [](const EnumeratorRecord* record, int32_t wanted) { return record->value < wanted; });
    return found != enumeratorsByValue.end() && (*found)->value == value ? *found : nullptr;
}

const FieldRecord* TypeDescriptor::FindField(std::string_view name) const noexcept {
    for (const FieldRecord& field : fields) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

}  // namespace Vane
