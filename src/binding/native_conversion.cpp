#include "binding/native_conversion.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "binding/type_registry.h"
#include "util/format.h"

namespace Vane {
namespace {

// ---- Messages, word for word ----
constexpr std::string_view kRequired = "A value for '%1' is required.";
constexpr std::string_view kBoolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", "
    "\"1\", \"0\".";
constexpr std::string_view kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
constexpr std::string_view kNumberFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
constexpr std::string_view kNumberInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
constexpr std::string_view kOutOfRange = "Value %1 for '%2' of type %3 is out of range";
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

template <class... Args>
void Fail(ConversionStatus& status, std::string_view message, const Args&... args) noexcept {
    try {
        status.Fail(FormatPositional(message, args...));
    } catch (const std::exception&) {
        // No memory for the message: the status still fails, with the bare template.
        status.Fail(message);
    }
}

// strtoll/strtoull/strtod skip these before the number.
bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

enum class TextNumber { kOk, kFormat, kRange };

// `text` is a string value's text, NUL-terminated right after its end, so the C parsers stop
// there at the latest; a NUL inside the text ends the parse early and fails the whole-text
// check.
TextNumber ParseSigned(std::string_view text, int64_t min, int64_t max, int64_t& value) noexcept {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.data(), &end, 0);
    const int error = errno;
    if (end != text.data() + text.size()) return TextNumber::kFormat;
    if (error == ERANGE || parsed < min || parsed > max) return TextNumber::kRange;
    value = parsed;
    return TextNumber::kOk;
}

TextNumber ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) noexcept {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.data(), &end, 0);
    const int error = errno;
    if (end != text.data() + text.size()) return TextNumber::kFormat;
    // strtoull wraps negative texts around; they are out of range, not huge numbers.
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first < text.size() && text[first] == '-') return TextNumber::kRange;
    if (error == ERANGE || parsed > max) return TextNumber::kRange;
    value = parsed;
    return TextNumber::kOk;
}

// Whether `value` lies within [min, max] compared as doubles and truncates to a number within
// them. The extra "< max + 1" test matters for 64-bit widths only, whose max rounds up to
// 2^63 or 2^64 as a double: without it 2^63 would pass and its conversion overflow. NaN fails.
bool FloatFitsInteger(double value, double min, double max) noexcept {
    return value >= min && value <= max && value < max + 1.0;
}

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

// Stores a number parsed from text, or fails with the format or range message naming it.
template <class T>
bool AcceptParsed(ConversionStatus& status, TextNumber result, T value, T& out,
                  std::string_view text, std::string_view name, const char* typeName) noexcept {
    switch (result) {
        case TextNumber::kOk:
            out = value;
            return true;
        case TextNumber::kFormat:
            Fail(status, kNumberFormat, text, name, typeName);
            return false;
        case TextNumber::kRange:
            Fail(status, kOutOfRange, text, name, typeName);
            return false;
    }
    return false;
}

}  // namespace

bool BoolFromText(ConversionStatus& status, bool& out, std::string_view text,
                  std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (text == "true" || text == "1") {
        out = true;
        return true;
    }
    if (text == "false" || text == "0") {
        out = false;
        return true;
    }
    Fail(status, kBoolFormat, text, name);
    return false;
}

bool SignedFromText(ConversionStatus& status, int64_t& out, std::string_view text,
                    std::string_view name, int64_t min, int64_t max,
                    const char* typeName) noexcept {
    if (!status.Ok()) return false;
    int64_t value = 0;
    const TextNumber result = ParseSigned(text, min, max, value);
    return AcceptParsed(status, result, value, out, text, name, typeName);
}

bool UnsignedFromText(ConversionStatus& status, uint64_t& out, std::string_view text,
                      std::string_view name, uint64_t max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    uint64_t value = 0;
    const TextNumber result = ParseUnsigned(text, max, value);
    return AcceptParsed(status, result, value, out, text, name, typeName);
}

bool FloatingFromText(ConversionStatus& status, double& out, std::string_view text,
                      std::string_view name, double max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.data(), &end);
    const bool overflow = errno == ERANGE && std::isinf(value);
    if (end != text.data() + text.size()) {
        Fail(status, kNumberFormat, text, name, typeName);
        return false;
    }
    // An underflow to zero or a subnormal is a value, not an error.
    if (overflow || value < -max || value > max) {
        Fail(status, kOutOfRange, text, name, typeName);
        return false;
    }
    out = value;
    return true;
}

bool EnumFromText(ConversionStatus& status, int32_t& out, std::string_view text,
                  std::string_view name, const TypeDescriptor* descriptor) noexcept {
    if (!status.Ok()) return false;
    if (!descriptor) {
        Fail(status, kEnumUnregistered, name);
        return false;
    }
    if (const EnumeratorRecord* enumerator = descriptor->FindEnumerator(text)) {
        out = enumerator->value;
        return true;
    }
    int64_t value = 0;
    if (ParseSigned(text, INT32_MIN, INT32_MAX, value) == TextNumber::kOk &&
        descriptor->FindEnumerator(static_cast<int32_t>(value))) {
        out = static_cast<int32_t>(value);
        return true;
    }
    Fail(status, kEnumInvalidValue, text, descriptor->name, name);
    return false;
}

bool BoolFromBinding(ConversionStatus& status, bool& out, const BindingProperty& source,
                     std::string_view name) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            Fail(status, kRequired, name);
            return false;
        case PropertyKind::kBool:
            out = source.GetBool();
            return true;
        case PropertyKind::kString:
            return BoolFromText(status, out, source.GetString(), name);
        default:
            Fail(status, kBoolInvalidType, name, KindName(source.Kind()));
            return false;
    }
}

bool SignedFromBinding(ConversionStatus& status, int64_t& out, const BindingProperty& source,
                       std::string_view name, int64_t min, int64_t max,
                       const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            Fail(status, kRequired, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (value < min || value > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value > static_cast<uint64_t>(max)) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<int64_t>(value);
            return true;
        }
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (!FloatFitsInteger(value, static_cast<double>(min), static_cast<double>(max))) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<int64_t>(value);
            return true;
        }
        case PropertyKind::kString:
            return SignedFromText(status, out, source.GetString(), name, min, max, typeName);
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (value < min || value > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        default:
            Fail(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
}

bool UnsignedFromBinding(ConversionStatus& status, uint64_t& out, const BindingProperty& source,
                         std::string_view name, uint64_t max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            Fail(status, kRequired, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (!FloatFitsInteger(value, 0.0, static_cast<double>(max))) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        case PropertyKind::kString:
            return UnsignedFromText(status, out, source.GetString(), name, max, typeName);
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (value < 0 || static_cast<uint64_t>(value) > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = static_cast<uint64_t>(value);
            return true;
        }
        default:
            Fail(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
}

bool FloatingFromBinding(ConversionStatus& status, double& out, const BindingProperty& source,
                         std::string_view name, double max, const char* typeName) noexcept {
    if (!status.Ok()) return false;
    switch (source.Kind()) {
        case PropertyKind::kEmpty:
            Fail(status, kRequired, name);
            return false;
        case PropertyKind::kSigned:
            out = static_cast<double>(source.GetSigned());
            return true;
        case PropertyKind::kUnsigned:
            out = static_cast<double>(source.GetUnsigned());
            return true;
        case PropertyKind::kEnum:
            out = source.GetEnum().value;
            return true;
        case PropertyKind::kFloat: {
            const double value = source.GetFloat();
            if (value < -max || value > max) {
                Fail(status, kOutOfRange, value, name, typeName);
                return false;
            }
            out = value;
            return true;
        }
        case PropertyKind::kString:
            return FloatingFromText(status, out, source.GetString(), name, max, typeName);
        default:
            Fail(status, kNumberInvalidType, name, typeName, KindName(source.Kind()));
            return false;
    }
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
                    Fail(status, kStringEnumInvalid, record.value, name);
                    return false;
                }
                out.assign(text);
                return true;
            }
            case PropertyKind::kEmpty:
                Fail(status, kRequired, name);
                return false;
            default:
                Fail(status, kNotString, name);
                return false;
        }
    } catch (const std::exception&) {
        Fail(status, kInputOutOfMemory, name);
        return false;
    }
}

bool EnumFromBinding(ConversionStatus& status, int32_t& out, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor) noexcept {
    if (!status.Ok()) return false;
    if (!descriptor) {
        Fail(status, kEnumUnregistered, name);
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
            Fail(status, kRequired, name);
            return false;
        case PropertyKind::kSigned: {
            const int64_t value = source.GetSigned();
            if (accept(value)) return true;
            Fail(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kUnsigned: {
            const uint64_t value = source.GetUnsigned();
            if (value <= INT32_MAX && accept(static_cast<int64_t>(value))) return true;
            Fail(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kEnum: {
            const int32_t value = source.GetEnum().value;
            if (accept(value)) return true;
            Fail(status, kEnumInvalidValue, value, typeName, name);
            return false;
        }
        case PropertyKind::kString:
            return EnumFromText(status, out, source.GetString(), name, descriptor);
        default:
            Fail(status, kEnumInvalidType, name, KindName(source.Kind()));
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
                Fail(status, kInputOutOfMemory, name);
                return false;
            }
        case PropertyKind::kEmpty:
            Fail(status, kRequired, name);
            return false;
        default:
            Fail(status, kBlobInvalidType, name, KindName(source.Kind()));
            return false;
    }
}

bool ObjectFromBinding(ConversionStatus& status, BindingProperty& out,
                       const BindingProperty& source, std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (!out.CopyFrom(source)) {
        Fail(status, kInputOutOfMemory, name);
        return false;
    }
    return true;
}

void StructFromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                       std::string_view name, const TypeDescriptor* descriptor,
                       const TypeRegistry& registry) noexcept {
    if (!status.Ok()) return;
    if (!descriptor) {
        Fail(status, kUnregisteredInput, name);
        return;
    }
    if (source.IsEmpty()) {
        Fail(status, kRequired, name);
        return;
    }
    if (source.Kind() != PropertyKind::kStructure) {
        Fail(status, kNotStructure, name, descriptor->name);
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
                Fail(status, kMissingRequired, name, descriptor->name, field.name);
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
    Fail(status, kNotCollection, name);
    return false;
}

bool CheckMapInput(ConversionStatus& status, const BindingProperty& source,
                   std::string_view name) noexcept {
    if (!status.Ok()) return false;
    if (source.Kind() == PropertyKind::kStructure) return true;
    Fail(status, kMapNotStructure, name);
    return false;
}

void FailInputOutOfMemory(ConversionStatus& status, std::string_view name) noexcept {
    Fail(status, kInputOutOfMemory, name);
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
    Fail(status, kOutputTooManyItems, count, kMaxCollectionSize);
    return false;
}

}  // namespace Vane
