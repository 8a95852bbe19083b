#include "types/native_conversion.h"

#include <exception>

#include "types/type_registry.h"
#include "util/format.h"

namespace Vane {
namespace {

// ---- Messages, word for word (the scalar ones are in value/scalar_conversion.cpp) ----
constexpr std::string_view kEnumInvalidValue = "%1 is not a valid %2 enumeration value for '%3'.";
constexpr std::string_view kEnumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
constexpr std::string_view kStringEnumInvalid = "%1 is not a valid enumeration value for '%2'.";
constexpr std::string_view kNotString =
    "Couldn't assign value to '%1' because the input is not a string.";
constexpr std::string_view kUnregisteredInput =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a "
    "structure at all.";
constexpr std::string_view kNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
constexpr std::string_view kMissingRequired =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required "
    "field '%3'.";
constexpr std::string_view kNotCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
constexpr std::string_view kMapNotStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";
constexpr std::string_view kUnregisteredNative =
    "Couldn't convert native value because it's an unregistered structure.";
// Cases the fixed messages do not cover.
constexpr std::string_view kInputOutOfMemory =
    "Couldn't assign value to '%1' because memory ran out.";
constexpr std::string_view kEnumUnregistered =
    "Couldn't assign value to '%1' because its enumeration type is not registered.";
constexpr std::string_view kBlobInvalidType =
    "Couldn't assign value to '%1' of type blob because the input is of an invalid type %2.";
constexpr std::string_view kOutputOutOfMemory =
    "Couldn't convert native value because memory ran out.";
constexpr std::string_view kOutputTooManyItems =
    "Couldn't convert native value because a collection of %1 items exceeds the limit of %2.";

// Most fields a record may have for its members to be matched in one ordered walk.
constexpr size_t kMaxMatchedFields = 64;

// Fills matched[i] with the member of the structure `source` named like field i (null when
// missing), walking the members and the fields by name together: one comparison per step
// instead of a tree search per field. False, filling nothing, when the walk does not pay (too
// many fields for the array, or far more members than fields).
bool MatchMembers(const BindingProperty& source, const TypeDescriptor& descriptor,
                  const BindingProperty** matched) noexcept {
    const size_t fieldCount = descriptor.fields.size();
    const MemberRange members = source.Members();
    if (fieldCount > kMaxMatchedFields || members.size() > 4 * fieldCount + 8) return false;
    auto member = members.begin();
    const auto end = members.end();
    for (uint32_t index : descriptor.fieldsByName) {
        const std::string_view name = descriptor.fields[index].name;
        int order = -1;
        while (member != end && (order = CompareNames((*member).name, name)) < 0) ++member;
        matched[index] = member != end && order == 0 ? &(*member).value : nullptr;
    }
    return true;
}
}  // namespace

bool EnumFromText(ConversionStatus& status, int32_t& out, std::string_view text,
                  std::string_view name, const TypeDescriptor* descriptor) noexcept {
    if (!status.Ok()) return false;
    if (!descriptor) {
        FailConversion(status, kEnumUnregistered, name);
        return false;
    }
    if (const EnumeratorRecord* enumerator = descriptor->FindEnumerator(text)) {
        out = enumerator->value;
        return true;
    }
    int64_t value = 0;
    if (ParseSignedText(text, INT32_MIN, INT32_MAX, value) == TextNumber::kOk &&
        descriptor->FindEnumerator(static_cast<int32_t>(value))) {
        out = static_cast<int32_t>(value);
        return true;
    }
    FailConversion(status, kEnumInvalidValue, text, descriptor->name, name);
    return false;
}

bool StringFromBinding(ConversionStatus& status, std::string& out, const BindingProperty& source,
                       std::string_view name, const TypeRegistry& registry) noexcept {
    if (!status.Ok()) return false;
    try {
        switch (source.Kind()) {
            case PropertyKind::kString:
                out.assign(source.GetString());
                return true;
            case PropertyKind::kEnum: {
                const EnumRecord record = source.GetEnum();
                const char* text = registry.EnumName(record.typeId, record.value);
                if (!text) {
                    FailConversion(status, kStringEnumInvalid, record.value, name);
                    return false;
                }
                out.assign(text);
                return true;
            }
            case PropertyKind::kEmpty:
                FailConversion(status, kRequiredValueMessage, name);
                return false;
            default:
                FailConversion(status, kNotString, name);
                return false;
        }
    } catch (const std::exception&) {
        FailConversion(status, kInputOutOfMemory, name);
        return false;
    }
}

bool EnumFromBinding(ConversionStatus& status, int32_t& out, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor) noexcept {
    if (!status.Ok()) return false;
    if (!descriptor) {
        FailConversion(status, kEnumUnregistered, name);
        return false;
    }
    const std::string_view typeName = descriptor->name;
    auto accept = [&](int64_t value) {
        if (value < INT32_MIN || value > INT32_MAX) return false;
        if (!descriptor->FindEnumerator(static_cast<int32_t>(value))) return false;
        out = static_cast<int32_t>(value);
        return true;
    };
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (accept(value)) return true;
            FailConversion(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value <= INT32_MAX && accept(static_cast<int64_t>(value))) return true;
            FailConversion(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (accept(value)) return true;
            FailConversion(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kString:
            return EnumFromText(status, out, source.GetString(), name, descriptor);
        default:
            FailConversion(status, kEnumInvalidType, name, KindName(source.Kind()));
            return false;
    }
}

bool BlobFromBinding(ConversionStatus& status, std::vector<uint8_t>& out,
                     const BindingProperty& source, std::string_view name) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kBlob:
            try {
                const std::span<const uint8_t> bytes = source.GetBlob();
                out.assign(bytes.begin(), bytes.end());
                return true;
            } catch (const std::exception&) {
                FailConversion(status, kInputOutOfMemory, name);
                return false;
            }
        case PropertyKind::kEmpty:
            FailConversion(status, kRequiredValueMessage, name);
            return false;
        default:
            FailConversion(status, kBlobInvalidType, name, KindName(source.Kind()));
            return false;
    }
}

bool ObjectFromBinding(ConversionStatus& status, BindingProperty& out,
                       const BindingProperty& source, std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (!out.CopyFrom(source)) {
        FailConversion(status, kInputOutOfMemory, name);
        return false;
    }
    return true;
}

void StructFromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                       std::string_view name, const TypeDescriptor* descriptor,
                       const TypeRegistry& registry) noexcept {
    if (!status.Ok()) return;
    if (!descriptor) {
        FailConversion(status, kUnregisteredInput, name);
        return;
    }
    if (source.IsEmpty()) {
        FailConversion(status, kRequiredValueMessage, name);
        return;
    }
    if (source.Kind() != PropertyKind::kStructure) {
        FailConversion(status, kNotStructure, name, descriptor->name);
        return;
    }
    auto* base = static_cast<unsigned char*>(destination);
    const BindingProperty* matched[kMaxMatchedFields];
    const bool walked = MatchMembers(source, *descriptor, matched);
    for (size_t index = 0; index < descriptor->fields.size(); ++index) {
        const FieldRecord& field = descriptor->fields[index];
        const BindingProperty* member = walked ? matched[index] : source.FindMember(field.name);
        if (!member || member->IsEmpty()) {
            if (field.flags & kFieldRequired) {
                FailConversion(status, kMissingRequired, name, descriptor->name, field.name);
                return;
            }
            continue;
        }
        field.handler->FromBinding(status, base + field.offset, *member, field.name,
                                   field.type.descriptor, registry);
        if (!status.Ok()) return;
    }
}

void StructToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                     const TypeDescriptor* descriptor, const TypeRegistry& registry) noexcept {
    if (!status.Ok()) return;
    if (!descriptor) {
        FailUnregisteredNative(status);
        return;
    }
    if (!BeginStructureOutput(status, out)) return;
    const auto* base = static_cast<const unsigned char*>(source);
    // In name order, each member is appended after the last: no search. Nothing else depends on
    // the order: the structure orders its members by name anyway, and every failure here reads
    // the same whichever field meets it.
    for (uint32_t index : descriptor->fieldsByName) {
        const FieldRecord& field = descriptor->fields[index];
        BindingProperty* member = OutputMember(status, out, field.name);
        if (!member) return;
        field.handler->ToBinding(status, *member, base + field.offset, field.type.descriptor,
                                 registry);
        // A failure has replaced everything under status.Value(), `out` included.
        if (!status.Ok()) return;
        if ((field.flags & kFieldOmitEmpty) && IsEmptyForOutput(*member)) {
            out.RemoveMember(field.name);
        }
    }
}

void StringToBinding(ConversionStatus& status, BindingProperty& out,
                     std::string_view text) noexcept {
    if (!status.Ok()) return;
    if (!out.SetString(text)) FailOutputOutOfMemory(status);
}

void BlobToBinding(ConversionStatus& status, BindingProperty& out,
                   std::span<const uint8_t> bytes) noexcept {
    if (!status.Ok()) return;
    if (!out.SetBlob(bytes)) FailOutputOutOfMemory(status);
}

void ObjectToBinding(ConversionStatus& status, BindingProperty& out,
                     const BindingProperty& value) noexcept {
    if (!status.Ok()) return;
    if (!out.CopyFrom(value)) FailOutputOutOfMemory(status);
}

void EnumToBinding(ConversionStatus& status, BindingProperty& out, int32_t value,
                   uint32_t typeId) noexcept {
    if (!status.Ok()) return;
    if (!out.SetEnum(value, typeId)) FailOutputOutOfMemory(status);
}

bool IsEmptyForOutput(const BindingProperty& value) noexcept {
    switch (value.Kind()) {
        case PropertyKind::kEmpty:
            return true;
        case PropertyKind::kBool:
            return !value.GetBool();
        case PropertyKind::kSigned:
            return value.GetSigned() == 0;
        case PropertyKind::kUnsigned:
            return value.GetUnsigned() == 0;
        case PropertyKind::kFloat:
            return value.GetFloat() == 0.0;
        case PropertyKind::kEnum:
            return value.GetEnum().value == 0;
        default:
            return value.Size() == 0;
    }
}

bool CheckCollectionInput(ConversionStatus& status, const BindingProperty& source,
                          std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (source.Kind() == PropertyKind::kCollection) return true;
    FailConversion(status, kNotCollection, name);
    return false;
}

bool CheckMapInput(ConversionStatus& status, const BindingProperty& source,
                   std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (source.Kind() == PropertyKind::kStructure) return true;
    FailConversion(status, kMapNotStructure, name);
    return false;
}

void FailInputOutOfMemory(ConversionStatus& status, std::string_view name) noexcept {
    FailConversion(status, kInputOutOfMemory, name);
}

bool BeginCollectionOutput(ConversionStatus& status, BindingProperty& out, size_t count) noexcept {
    if (!status.Ok()) return false;
    out.Clear();
    if (!CheckOutputCount(status, count)) return false;
    if (!out.MakeCollection() || !out.Reserve(count)) {
        FailOutputOutOfMemory(status);
        return false;
    }
    return true;
}

BindingProperty* AppendOutputElement(ConversionStatus& status, BindingProperty& out) noexcept {
    BindingProperty* element = out.AppendElement();
    if (!element) FailOutputOutOfMemory(status);
    return element;
}

bool BeginStructureOutput(ConversionStatus& status, BindingProperty& out) noexcept {
    if (!status.Ok()) return false;
    out.Clear();
    if (!out.MakeStructure()) {
        FailOutputOutOfMemory(status);
        return false;
    }
    return true;
}

BindingProperty* OutputMember(ConversionStatus& status, BindingProperty& out,
                              std::string_view name) noexcept {
    BindingProperty* member = out.MemberForWrite(name);
    if (!member) FailOutputOutOfMemory(status);
    return member;
}

void FailOutputOutOfMemory(ConversionStatus& status) noexcept {
    status.Fail(kOutputOutOfMemory);
}

void FailUnregisteredNative(ConversionStatus& status) noexcept {
    status.Fail(kUnregisteredNative);
}

bool CheckOutputCount(ConversionStatus& status, size_t count) noexcept {
    if (!status.Ok()) return false;
    if (count <= kMaxCollectionSize) return true;
    FailConversion(status, kOutputTooManyItems, count, kMaxCollectionSize);
    return false;
}

}  // namespace Vane
