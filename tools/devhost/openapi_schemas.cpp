#include "devhost/openapi_schemas.h"

#include <cstdint>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

std::string_view Text(const char* text) {
    return text != nullptr ? text : "";
}

BindingProperty& Member(BindingProperty& parent, std::string_view name) {
    BindingProperty* member = parent.MemberForWrite(name);
    Require(member != nullptr);
    return *member;
}

void SetText(BindingProperty& parent, std::string_view name, std::string_view text) {
    Require(SetMemberString(parent, name, text));
}

void AppendText(BindingProperty& list, std::string_view text) {
    BindingProperty* item = list.AppendElement();
    Require(item != nullptr && item->SetString(text));
}

BindingProperty Reference(const std::string& key) {
    BindingProperty schema;
    SetText(schema, "$ref", "#/components/schemas/" + key);
    return schema;
}

// An integer of the kind's width: its bounds, and the format where OpenAPI names one.
void IntegerBounds(ValueKind kind, BindingProperty& schema) {
    SetText(schema, "type", "integer");
    const auto bounds = [&](int64_t low, uint64_t high) {
        Require(SetMemberSigned(schema, "minimum", low));
        Require(SetMemberUnsigned(schema, "maximum", high));
    };
    switch (kind) {
        case ValueKind::kInt8:
            return bounds(INT8_MIN, INT8_MAX);
        case ValueKind::kUint8:
            return bounds(0, UINT8_MAX);
        case ValueKind::kInt16:
            return bounds(INT16_MIN, INT16_MAX);
        case ValueKind::kUint16:
            return bounds(0, UINT16_MAX);
        case ValueKind::kInt32:
            SetText(schema, "format", "int32");
            return bounds(INT32_MIN, INT32_MAX);
        case ValueKind::kUint32:
            return bounds(0, UINT32_MAX);
        case ValueKind::kInt64:
            SetText(schema, "format", "int64");
            return bounds(INT64_MIN, INT64_MAX);
        case ValueKind::kUint64:
            return bounds(0, UINT64_MAX);
        default:
            return;
    }
}

// `key` itself, or with "_2", "_3", ... appended, whichever is not taken yet; taken from then
// on.
std::string FreeKey(const std::string& key, std::set<std::string>& taken) {
    std::string candidate = key;
    for (int suffix = 2; taken.count(candidate) != 0; ++suffix) {
        candidate = key + "_" + std::to_string(suffix);
    }
    taken.insert(candidate);
    return candidate;
}

}  // namespace

std::string ComponentKey(std::string_view name) {
    if (name.empty()) return "_";
    std::string key(name);
    for (char& c : key) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!kept) c = '_';
    }
    return key;
}

SchemaCatalog::SchemaCatalog(const HostApiTable* table, const std::set<std::string>& reserved)
    : table_(table) {
    if (table_ == nullptr || table_->types == nullptr) return;
    std::set<std::string> taken = reserved;
    typeKeys_.reserve(table_->typeCount);
    for (uint32_t i = 0; i < table_->typeCount; ++i) {
        const std::string name(Text(table_->types[i].name));
        typeKeys_.push_back(FreeKey(ComponentKey(name), taken));
        keys_.emplace(name, typeKeys_.back());  // the first of a name keeps it
    }
}

std::string SchemaCatalog::KeyOf(std::string_view typeName) const {
    const auto found = keys_.find(typeName);
    return found != keys_.end() ? found->second : std::string();
}

BindingProperty SchemaCatalog::Schema(const ValueType& type) const {
    BindingProperty schema;
    Require(schema.MakeStructure());
    const auto kind = static_cast<ValueKind>(type.kind);
    switch (kind) {
        case ValueKind::kBool:
            SetText(schema, "type", "boolean");
            break;
        case ValueKind::kInt8:
        case ValueKind::kUint8:
        case ValueKind::kInt16:
        case ValueKind::kUint16:
        case ValueKind::kInt32:
        case ValueKind::kUint32:
        case ValueKind::kInt64:
        case ValueKind::kUint64:
            IntegerBounds(kind, schema);
            break;
        case ValueKind::kFloat:
        case ValueKind::kDouble:
            SetText(schema, "type", "number");
            SetText(schema, "format", kind == ValueKind::kFloat ? "float" : "double");
            break;
        case ValueKind::kString:
            SetText(schema, "type", "string");
            break;
        case ValueKind::kBlob:
            // The JSON writer copies a blob's bytes into a string as they are.
            SetText(schema, "type", "string");
            SetText(schema, "description", "bytes, written into the string as they are");
            break;
        case ValueKind::kVector:
        case ValueKind::kMap: {
            // Elements nest one level only: the element's own element kind is never read.
            const ValueType element{type.elementKind, 0, type.typeName};
            SetText(schema, "type", kind == ValueKind::kVector ? "array" : "object");
            Require(SetMember(schema, kind == ValueKind::kVector ? "items" : "additionalProperties",
                              Schema(element)));
            break;
        }
        case ValueKind::kEnum:
        case ValueKind::kStruct: {
            const std::string key = KeyOf(type.typeName);
            if (!key.empty()) return Reference(key);
            SetText(schema, "type", kind == ValueKind::kEnum ? "string" : "object");
            break;
        }
        // No return value, a value of any shape, and what JSON cannot carry: anything goes.
        case ValueKind::kNone:
        case ValueKind::kObject:
        case ValueKind::kCallback:
        default:
            break;
    }
    return schema;
}

void SchemaCatalog::Components(BindingProperty& schemas) const {
    if (schemas.Kind() != PropertyKind::kStructure) Require(schemas.MakeStructure());
    for (size_t i = 0; i < typeKeys_.size(); ++i) {
        const HostTypeRecord& type = table_->types[i];
        BindingProperty& schema = Member(schemas, typeKeys_[i]);
        Require(schema.MakeStructure());
        const std::string_view name = Text(type.name);
        if (name != typeKeys_[i]) SetText(schema, "title", name);
        std::string description(Text(type.description));
        if (type.enumerators != nullptr) {
            SetText(schema, "type", "string");
            BindingProperty& names = Member(schema, "enum");
            Require(names.MakeCollection());
            std::set<std::string_view> listed;
            for (uint32_t e = 0; e < type.count; ++e) {
                const HostEnumeratorRecord& enumerator = type.enumerators[e];
                const std::string_view enumeratorName = Text(enumerator.name);
                if (!listed.insert(enumeratorName).second) continue;
                AppendText(names, enumeratorName);
                const std::string_view text = Text(enumerator.description);
                if (!text.empty()) {
                    if (!description.empty()) description += "\n\n";
                    description += std::string(enumeratorName) + ": " + std::string(text);
                }
            }
        } else {
            SetText(schema, "type", "object");
            BindingProperty& properties = Member(schema, "properties");
            Require(properties.MakeStructure());
            BindingProperty required;
            Require(required.MakeCollection());
            for (uint32_t f = 0; type.fields != nullptr && f < type.count; ++f) {
                const HostFieldRecord& field = type.fields[f];
                const std::string_view fieldName = Text(field.name);
                if (properties.FindMember(fieldName) != nullptr) continue;  // the first counts
                BindingProperty property =
                    Schema(ValueType{field.kind, field.elementKind, Text(field.typeName)});
                const std::string_view text = Text(field.description);
                if (!text.empty()) SetText(property, "description", text);
                Require(SetMember(properties, fieldName, property));
                if (field.optional == 0) AppendText(required, fieldName);
            }
            if (required.Size() != 0) Require(SetMember(schema, "required", required));
        }
        if (!description.empty()) SetText(schema, "description", description);
    }
}

}  // namespace Vane::DevHost
