#include "types/native_walk.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "types/native_conversion.h"

namespace Vane {
namespace {

// Takes the walk of a field whose member a later field of the same name replaces: the output
// never shows it, but its conversion still runs in the value path and may fail there, so it is
// walked all the same.
class DiscardingWriter final : public BindingWriter {
  public:
    void WriteEmpty() noexcept override {}
    void WriteBool(bool) noexcept override {}
    void WriteSigned(int64_t) noexcept override {}
    void WriteUnsigned(uint64_t) noexcept override {}
    void WriteFloat(double) noexcept override {}
    void WriteString(std::string_view) noexcept override {}
    void WriteBlob(std::span<const uint8_t>) noexcept override {}
    void WriteEnum(const EnumRecord&) noexcept override {}
    void BeginCollection(size_t) noexcept override {}
    void BeginElement() noexcept override {}
    void EndElement() noexcept override {}
    void EndCollection() noexcept override {}
    void BeginStructure(size_t) noexcept override {}
    void MemberName(std::string_view) noexcept override {}
    void EndMember() noexcept override {}
    void EndStructure() noexcept override {}
};

// What becomes of one field of a record in its output structure.
enum class Role : uint8_t { kWritten, kOmitted, kShadowed };

// Whether the field at `position` of fieldsByName is followed by one of the same name, whose
// value then replaces its member.
bool Shadowed(const TypeDescriptor& descriptor, size_t position) noexcept {
    const std::vector<uint32_t>& order = descriptor.fieldsByName;
    if (descriptor.shadowedFields == 0 || position + 1 == order.size()) return false;
    return descriptor.fields[order[position + 1]].name == descriptor.fields[order[position]].name;
}

// Whether an omit-empty field's value is left out.
bool Omitted(const FieldRecord& field, const unsigned char* base,
             const TypeRegistry& registry) noexcept {
    return (field.flags & kFieldOmitEmpty) &&
           field.handler->EmptyForOutput(base + field.offset, field.type.descriptor, registry);
}

Role RoleOf(const TypeDescriptor& descriptor, size_t position, const unsigned char* base,
            const TypeRegistry& registry) noexcept {
    if (Shadowed(descriptor, position)) return Role::kShadowed;
    const FieldRecord& field = descriptor.fields[descriptor.fieldsByName[position]];
    return Omitted(field, base, registry) ? Role::kOmitted : Role::kWritten;
}

void WalkField(ConversionStatus& status, const FieldRecord& field, const unsigned char* base,
               const TypeRegistry& registry, BindingWriter& writer) noexcept {
    field.handler->Walk(status, base + field.offset, field.type.descriptor, registry, writer);
}

// Records whose fields all reach the output under distinct names: one member per field.
void WalkEveryField(ConversionStatus& status, const TypeDescriptor& descriptor,
                    const unsigned char* base, const TypeRegistry& registry,
                    BindingWriter& writer) noexcept {
    writer.BeginStructure(descriptor.fieldsByName.size());
    for (uint32_t index : descriptor.fieldsByName) {
        const FieldRecord& field = descriptor.fields[index];
        writer.MemberName(field.name);
        WalkField(status, field, base, registry, writer);
        if (!status.Ok()) return;
        writer.EndMember();
    }
    writer.EndStructure();
}

// Records with omit-empty or shadowed fields: the members are counted first, since
// BeginStructure announces their number.
void WalkSomeFields(ConversionStatus& status, const TypeDescriptor& descriptor,
                    const unsigned char* base, const TypeRegistry& registry,
                    BindingWriter& writer) noexcept {
    // The roles of the first fields are kept for the second pass; later ones are worked out
    // again rather than allocated for.
    constexpr size_t kKeptRoles = 64;
    Role kept[kKeptRoles];
    const size_t fieldCount = descriptor.fieldsByName.size();
    size_t members = 0;
    for (size_t position = 0; position < fieldCount; ++position) {
        const Role role = RoleOf(descriptor, position, base, registry);
        if (position < kKeptRoles) kept[position] = role;
        if (role == Role::kWritten) ++members;
    }
    writer.BeginStructure(members);
    DiscardingWriter discarding;
    for (size_t position = 0; position < fieldCount; ++position) {
        const Role role =
            position < kKeptRoles ? kept[position] : RoleOf(descriptor, position, base, registry);
        const FieldRecord& field = descriptor.fields[descriptor.fieldsByName[position]];
        if (role == Role::kWritten) {
            writer.MemberName(field.name);
            WalkField(status, field, base, registry, writer);
            if (!status.Ok()) return;
            writer.EndMember();
        } else if (role == Role::kShadowed) {
            WalkField(status, field, base, registry, discarding);
            if (!status.Ok()) return;
        }
        // An omitted field's value is empty, and an empty value always converts.
    }
    writer.EndStructure();
}

}  // namespace

void WalkStruct(ConversionStatus& status, const void* source, const TypeDescriptor* descriptor,
                const TypeRegistry& registry, BindingWriter& writer) noexcept {
    if (!status.Ok()) return;
    if (!descriptor) {
        FailUnregisteredNative(status);
        return;
    }
    const auto* base = static_cast<const unsigned char*>(source);
    if (descriptor->shadowedFields == 0 && descriptor->omitEmptyFields == 0) {
        WalkEveryField(status, *descriptor, base, registry, writer);
    } else {
        WalkSomeFields(status, *descriptor, base, registry, writer);
    }
}

bool StructEmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                          const TypeRegistry& registry) noexcept {
    if (!descriptor) return false;  // the conversion fails
    const auto* base = static_cast<const unsigned char*>(source);
    const size_t fieldCount = descriptor->fieldsByName.size();
    for (size_t position = 0; position < fieldCount; ++position) {
        if (Shadowed(*descriptor, position)) continue;
        const FieldRecord& field = descriptor->fields[descriptor->fieldsByName[position]];
        if (!Omitted(field, base, registry)) return false;
    }
    // Every member is left out; the record is empty unless a shadowed field fails to convert.
    if (descriptor->shadowedFields == 0) return true;
    DiscardingWriter discarding;
    ConversionStatus status;
    for (size_t position = 0; position < fieldCount && status.Ok(); ++position) {
        if (!Shadowed(*descriptor, position)) continue;
        WalkField(status, descriptor->fields[descriptor->fieldsByName[position]], base, registry,
                  discarding);
    }
    return status.Ok();
}

}  // namespace Vane
