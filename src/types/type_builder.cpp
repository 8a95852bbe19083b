#include "types/type_builder.h"

#include <algorithm>
#include <exception>

namespace Vane {

TypeBuilder::TypeBuilder(TypeRegistry& registry) noexcept
    : registry_(&registry), lock_(registry.Mutex()) {}

TypeBuilder::TypeBuilder(TypeBuilder&& other) noexcept
    : registry_(other.registry_),
      lock_(std::move(other.lock_)),
      descriptor_(other.descriptor_),
      alreadyRegistered_(other.alreadyRegistered_),
      failed_(other.failed_) {
    other.descriptor_ = nullptr;
}

TypeBuilder::~TypeBuilder() {
    if (descriptor_ && failed_ && !alreadyRegistered_) registry_->RemoveType(descriptor_);
}

TypeBuilder& TypeBuilder::Description(std::string_view text) noexcept {
    if (!Writable()) return *this;
    try {
        descriptor_->description.assign(text);
    } catch (const std::exception&) {
        failed_ = true;
    }
    return *this;
}

TypeBuilder& TypeBuilder::NameSpace(std::string_view text) noexcept {
    if (!Writable()) return *this;
    try {
        descriptor_->nameSpace.assign(text);
    } catch (const std::exception&) {
        failed_ = true;
    }
    return *this;
}

TypeBuilder& TypeBuilder::Tag(std::string_view text) noexcept {
    if (!Writable()) return *this;
    try {
        descriptor_->tags.emplace_back(text);
    } catch (const std::exception&) {
        failed_ = true;
    }
    return *this;
}

TypeBuilder BeginType(TypeRegistry& registry, uint32_t size, std::string_view name,
                      const TypeInfo& info, bool isEnum) noexcept {
    TypeBuilder builder(registry);
    if (TypeDescriptor* present = registry.FindByNameLocked(name)) {
        builder.descriptor_ = present;
        builder.alreadyRegistered_ = true;
    } else {
        builder.descriptor_ = registry.CreateType(size, name, info, isEnum);
    }
    return builder;
}

bool AddField(TypeBuilder& builder, const FieldDefinition& definition) noexcept {
    if (!builder.Writable()) return false;
    if (!definition.handler) {
        builder.failed_ = true;
        return false;
    }
    TypeDescriptor& descriptor = *builder.descriptor_;
    try {
        FieldRecord field;
        field.name.assign(definition.name);
        field.nameHash = Fnv1a32(definition.name);
        field.description.assign(definition.description);
        field.typeInfo = definition.typeInfo;
        field.offset = definition.offset;
        field.type = definition.type;
        field.alternateType = definition.alternateType;
        field.flags = definition.flags;
        field.handler = definition.handler;
        field.owner = &descriptor;
        field.optional = definition.optional;
        const auto index = static_cast<uint32_t>(descriptor.fields.size());
        auto& order = descriptor.fieldsByName;
        order.reserve(order.size() + 1);
        descriptor.fields.push_back(std::move(field));
        // After fields of the same name, so matching keeps registration order among them.
        auto position = std::upper_bound(
            order.begin(), order.end(), index, [&](uint32_t inserted, uint32_t present) {
                return CompareNames(descriptor.fields[inserted].name,
                                    descriptor.fields[present].name) < 0;
            });
        position = order.insert(position, index);
        // The field before it of the same name, if any, no longer reaches the output.
        if (position != order.begin() &&
            descriptor.fields[*(position - 1)].name == descriptor.fields[index].name) {
            ++descriptor.shadowedFields;
        }
        if (definition.flags & kFieldOmitEmpty) ++descriptor.omitEmptyFields;
        return true;
    } catch (const std::exception&) {
        builder.failed_ = true;
        return false;
    }
}

bool AddEnumerator(TypeBuilder& builder, std::string_view name, int32_t value,
                   std::string_view description) noexcept {
    if (!builder.Writable()) return false;
    TypeDescriptor& descriptor = *builder.descriptor_;
    try {
        auto byValue = descriptor.enumeratorsByValue;  // rebuilt aside: either all or nothing
        auto [slot, inserted] = descriptor.enumerators.try_emplace(std::string(name));
        EnumeratorRecord& record = slot->second;
        if (inserted) {
            record.name = slot->first;
            record.owner = &descriptor;
            byValue.push_back(&record);
        }
        record.value = value;
        record.description.assign(description);
        std::sort(byValue.begin(), byValue.end(),
                  [](const EnumeratorRecord* left, const EnumeratorRecord* right) {
                      if (left->value != right->value) return left->value < right->value;
                      return left->name < right->name;
                  });
        descriptor.enumeratorsByValue = std::move(byValue);
        return true;
    } catch (const std::exception&) {
        builder.failed_ = true;
        return false;
    }
}

}  // namespace Vane
