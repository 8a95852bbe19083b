#include "value/binding_writer.h"

namespace Vane {

void Walk(const BindingProperty& value, BindingWriter& writer) noexcept {
    switch (value.Kind()) {
        case PropertyKind::kBool:
            writer.WriteBool(value.GetBool());
            return;
        case PropertyKind::kSigned:
            writer.WriteSigned(value.GetSigned());
            return;
        case PropertyKind::kUnsigned:
            writer.WriteUnsigned(value.GetUnsigned());
            return;
        case PropertyKind::kFloat:
            writer.WriteFloat(value.GetFloat());
            return;
        case PropertyKind::kString:
            writer.WriteString(value.GetString());
            return;
        case PropertyKind::kBlob:
            writer.WriteBlob(value.GetBlob());
            return;
        case PropertyKind::kEnum:
            writer.WriteEnum(value.GetEnum());
            return;
        case PropertyKind::kCollection: {
            const std::span<const BindingProperty> elements = value.Elements();
            writer.BeginCollection(elements.size());
            for (const BindingProperty& element : elements) {
                writer.BeginElement();
                Walk(element, writer);
                writer.EndElement();
            }
            writer.EndCollection();
            return;
        }
        case PropertyKind::kStructure: {
            const MemberRange members = value.Members();
            writer.BeginStructure(members.size());
            for (const auto [name, member] : members) {
                writer.MemberName(name);
                Walk(member, writer);
                writer.EndMember();
            }
            writer.EndStructure();
            return;
        }
        case PropertyKind::kEmpty:
        default:
            writer.WriteEmpty();
            return;
    }
}

}  // namespace Vane
