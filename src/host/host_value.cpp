#include "host/host_value.h"

#include <cstdlib>
#include <cstring>
#include <span>

#include "host/host_form.h"
#include "util/format.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

constexpr std::string_view kIncompatibleType =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type "
    "'%2'.";
constexpr std::string_view kNestedTooDeep =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";
constexpr std::string_view kNullData =
    "Couldn't assign value to '%1' because the input %2 has a null pointer with a length of %3.";
constexpr std::string_view kMemberWithoutName =
    "Couldn't assign value to '%1' because a member of the input structure has no name.";
constexpr std::string_view kTooManyItems =
    "Couldn't assign value to '%1' because the input collection has %2 items, more than the "
    "limit of %3.";
constexpr std::string_view kOutOfMemory = "Couldn't assign value to '%1' because memory ran out.";

using host_form::FitsHostLength;
constexpr std::string_view kHostNestedTooDeep = host_form::kNestedTooDeep;
constexpr std::string_view kHostTooLarge = host_form::kTooLarge;
constexpr std::string_view kHostOutOfMemory = host_form::kOutOfMemory;

const char* const kHostTypeNames[] = {"",      "bool",       "signed",   "unsigned",
                                      "float", "string",     "string",   "blob",
                                      "blob",  "collection", "structure"};

// Host value -> BindingProperty, recursive; `depth` counts the containers around `value`.
class FromHost {
  public:
    bool Convert(const HostValue& value, std::string_view name, BindingProperty& out,
                 size_t depth) noexcept {
        const uint32_t type = value.type;
        switch (type) {
            case kHostValueNone:
                out.Clear();
                return true;
            case kHostValueBool:
                out.SetBool(value.payload.boolean != 0);
                return true;
            case kHostValueSigned:
                out.SetSigned(value.payload.i64);
                return true;
            case kHostValueUnsigned:
                out.SetUnsigned(value.payload.u64);
                return true;
            case kHostValueFloat:
                out.SetFloat(value.payload.f64);
                return true;
            case kHostValueStringBorrowed:
            case kHostValueStringOwned: {
                const char* chars = value.payload.string.chars;
                const uint32_t length = value.payload.string.length;
                if (!chars && length) return Fail(kNullData, name, HostTypeName(type), length);
                if (!out.SetString(std::string_view(chars, chars ? length : 0))) {
                    return Fail(kOutOfMemory, name);
                }
                return true;
            }
            case kHostValueBlobBorrowed:
            case kHostValueBlobOwned: {
                const uint8_t* bytes = value.payload.blob.bytes;
                const uint32_t size = value.payload.blob.size;
                if (!bytes && size) return Fail(kNullData, name, HostTypeName(type), size);
                if (!out.SetBlob(std::span<const uint8_t>(bytes, bytes ? size : 0))) {
                    return Fail(kOutOfMemory, name);
                }
                return true;
            }
            case kHostValueCollection:
                return ConvertCollection(value, name, out, depth);
            case kHostValueStructure:
                return ConvertStructure(value, name, out, depth);
            default:
                return Fail(kIncompatibleType, name, HostTypeName(type));
        }
    }

    std::string message;

  private:
    template <class... Args>
    bool Fail(std::string_view tmpl, const Args&... args) {
        message = FormatPositional(tmpl, args...);
        return false;
    }

    bool ConvertCollection(const HostValue& value, std::string_view name, BindingProperty& out,
                           size_t depth) noexcept {
        if (depth >= kMaxNestingDepth) return Fail(kNestedTooDeep, name, kMaxNestingDepth);
        const HostValue* items = value.payload.collection.items;
        const uint32_t count = value.payload.collection.count;
        if (!items && count) return Fail(kNullData, name, HostTypeName(value.type), count);
        if (count > kMaxCollectionSize) {
            return Fail(kTooManyItems, name, count, kMaxCollectionSize);
        }
        out.Clear();
        if (!out.MakeCollection() || !out.Reserve(count)) return Fail(kOutOfMemory, name);
        for (uint32_t index = 0; index < count; ++index) {
            // Room was reserved, so earlier elements never move while later ones are built.
            BindingProperty* element = out.AppendElement();
            if (!element) return Fail(kOutOfMemory, name);
            if (!Convert(items[index], name, *element, depth + 1)) return false;
        }
        return true;
    }

    bool ConvertStructure(const HostValue& value, std::string_view name, BindingProperty& out,
                          size_t depth) noexcept {
        if (depth >= kMaxNestingDepth) return Fail(kNestedTooDeep, name, kMaxNestingDepth);
        const HostMember* members = value.payload.structure.members;
        const uint32_t count = value.payload.structure.count;
        if (!members && count) return Fail(kNullData, name, HostTypeName(value.type), count);
        out.Clear();
        if (!out.MakeStructure()) return Fail(kOutOfMemory, name);
        for (uint32_t index = 0; index < count; ++index) {
            const HostMember& member = members[index];
            const char* memberName = member.name;
            if (!memberName) return Fail(kMemberWithoutName, name);
            BindingProperty* target = out.MemberForWrite(memberName);
            if (!target) return Fail(kOutOfMemory, name);
            if (!Convert(member.value, memberName, *target, depth + 1)) return false;
        }
        return true;
    }
};

// BindingProperty -> host value, recursive; `out` is zeroed on entry and owns what it gets as
// soon as it gets it, so a failure anywhere is cleaned up by releasing the root.
class ToHost {
  public:
    explicit ToHost(const EnumNameResolver* resolver) : resolver_(resolver) {}

    bool Convert(const BindingProperty& value, HostValue& out, size_t depth) noexcept {
        switch (value.Kind()) {
            case PropertyKind::kEmpty:
                out.type = kHostValueNone;
                return true;
            case PropertyKind::kBool:
                out.type = kHostValueBool;
                out.payload.boolean = value.GetBool() ? 1 : 0;
                return true;
            case PropertyKind::kSigned:
                out.type = kHostValueSigned;
                out.payload.i64 = value.GetSigned();
                return true;
            case PropertyKind::kUnsigned:
                out.type = kHostValueUnsigned;
                out.payload.u64 = value.GetUnsigned();
                return true;
            case PropertyKind::kFloat:
                out.type = kHostValueFloat;
                out.payload.f64 = value.GetFloat();
                return true;
            case PropertyKind::kString:
                return CopyString(value.GetString(), out);
            case PropertyKind::kBlob:
                return CopyBlob(value.GetBlob(), out);
            case PropertyKind::kEnum: {
                const EnumRecord record = value.GetEnum();
                const char* name =
                    resolver_ ? resolver_->EnumName(record.typeId, record.value) : nullptr;
                if (name) return CopyString(name, out);
                out.type = kHostValueSigned;
                out.payload.i64 = record.value;
                return true;
            }
            case PropertyKind::kCollection:
                return ConvertCollection(value, out, depth);
            case PropertyKind::kStructure:
                return ConvertStructure(value, out, depth);
        }
        out.type = kHostValueNone;
        return true;
    }

    std::string message;

  private:
    template <class... Args>
    bool Fail(std::string_view tmpl, const Args&... args) {
        message = FormatPositional(tmpl, args...);
        return false;
    }

    static char* DuplicateText(std::string_view text) noexcept {
        char* copy = static_cast<char*>(std::malloc(text.size() + 1));
        if (!copy) return nullptr;
        if (!text.empty()) std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        return copy;
    }

    bool CopyString(std::string_view text, HostValue& out) {
        if (!FitsHostLength(text.size())) return Fail(kHostTooLarge, "string", text.size());
        char* copy = DuplicateText(text);
        if (!copy) return Fail(kHostOutOfMemory);
        out.type = kHostValueStringOwned;
        out.payload.string.chars = copy;
        out.payload.string.length = static_cast<uint32_t>(text.size());
        return true;
    }

    bool CopyBlob(std::span<const uint8_t> bytes, HostValue& out) {
        if (!FitsHostLength(bytes.size())) return Fail(kHostTooLarge, "blob", bytes.size());
        uint8_t* copy = static_cast<uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
        if (!copy) return Fail(kHostOutOfMemory);
        if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
        out.type = kHostValueBlobOwned;
        out.payload.blob.bytes = copy;
        out.payload.blob.size = static_cast<uint32_t>(bytes.size());
        return true;
    }

    bool ConvertCollection(const BindingProperty& value, HostValue& out, size_t depth) {
        if (depth >= kMaxNestingDepth) return Fail(kHostNestedTooDeep, kMaxNestingDepth);
        const std::span<const BindingProperty> elements = value.Elements();
        HostValue* items = static_cast<HostValue*>(
            std::calloc(elements.empty() ? 1 : elements.size(), sizeof(HostValue)));
        if (!items) return Fail(kHostOutOfMemory);
        out.type = kHostValueCollection;
        out.payload.collection.items = items;
        out.payload.collection.count = static_cast<uint32_t>(elements.size());
        for (size_t index = 0; index < elements.size(); ++index) {
            if (!Convert(elements[index], items[index], depth + 1)) return false;
        }
        return true;
    }

    bool ConvertStructure(const BindingProperty& value, HostValue& out, size_t depth) {
        if (depth >= kMaxNestingDepth) return Fail(kHostNestedTooDeep, kMaxNestingDepth);
        const MemberRange range = value.Members();
        if (!FitsHostLength(range.size())) return Fail(kHostTooLarge, "structure", range.size());
        HostMember* members = static_cast<HostMember*>(
            std::calloc(range.empty() ? 1 : range.size(), sizeof(HostMember)));
        if (!members) return Fail(kHostOutOfMemory);
        out.type = kHostValueStructure;
        out.payload.structure.members = members;
        out.payload.structure.count = static_cast<uint32_t>(range.size());
        size_t index = 0;
        for (const auto [name, member] : range) {
            HostMember& target = members[index++];
            char* copy = DuplicateText(name);
            if (!copy) return Fail(kHostOutOfMemory);
            target.name = copy;
            target.ownsName = 1;
            if (!Convert(member, target.value, depth + 1)) return false;
        }
        return true;
    }

    const EnumNameResolver* resolver_;
};

}  // namespace

const char* HostTypeName(uint32_t type) noexcept {
    return type < std::size(kHostTypeNames) ? kHostTypeNames[type] : "";
}

void ReleaseHostError(HostErrorSlot& slot) noexcept {
    if (slot.owned) std::free(slot.text);
    slot.text = nullptr;
    slot.owned = false;
}

bool HostValueToBinding(const HostValue& value, std::string_view name, BindingProperty& out,
                        HostErrorSlot& error) noexcept {
    FromHost converter;
    if (converter.Convert(value, name, out, 0)) return true;
    out.Clear();
    error.text = static_cast<char*>(std::malloc(converter.message.size() + 1));
    error.owned = error.text != nullptr;
    if (error.text) {
        std::memcpy(error.text, converter.message.data(), converter.message.size());
        error.text[converter.message.size()] = '\0';
    }
    return false;
}

ConversionStatus HostValueToBinding(const HostValue& value, std::string_view name) {
    ConversionStatus status;
    FromHost converter;
    if (!converter.Convert(value, name, status.Value(), 0)) status.Fail(converter.message);
    return status;
}

bool BindingToHostValue(const BindingProperty& value, const EnumNameResolver* resolver,
                        HostValue& out, std::string* error) noexcept {
    std::memset(&out, 0, sizeof out);
    ToHost converter(resolver);
    if (converter.Convert(value, out, 0)) return true;
    ReleaseHostValue(out);
    if (error) *error = std::move(converter.message);
    return false;
}

void ReleaseHostValue(HostValue& value) noexcept {
    switch (value.type) {
        case kHostValueStringOwned:
            std::free(const_cast<char*>(value.payload.string.chars));
            break;
        case kHostValueBlobOwned:
            std::free(const_cast<uint8_t*>(value.payload.blob.bytes));
            break;
        case kHostValueCollection: {
            HostValue* items = value.payload.collection.items;
            if (items) {
                for (uint32_t index = 0; index < value.payload.collection.count; ++index) {
                    ReleaseHostValue(items[index]);
                }
            }
            std::free(items);
            break;
        }
        case kHostValueStructure: {
            HostMember* members = value.payload.structure.members;
            if (members) {
                for (uint32_t index = 0; index < value.payload.structure.count; ++index) {
                    if (members[index].ownsName) std::free(const_cast<char*>(members[index].name));
                    ReleaseHostValue(members[index].value);
                }
            }
            std::free(members);
            break;
        }
        default:
            break;
    }
    std::memset(&value, 0, sizeof value);
}

}  // namespace Vane
