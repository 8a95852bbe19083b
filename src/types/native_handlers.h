// The conversion of every native C++ type (native_traits.h) to and from BindingProperty, its
// walk straight into a BindingWriter, its direct input operations for readers that fill it
// without a value (native_input.h), and the static handler object of each type that field
// records point at. Everything is derived from the type: no conversion is written by hand per
// record.
#ifndef PYX_TYPES_NATIVE_HANDLERS_H_
#define PYX_TYPES_NATIVE_HANDLERS_H_

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "types/native_conversion.h"
#include "types/native_input.h"
#include "types/native_traits.h"
#include "types/native_walk.h"
#include "types/type_descriptor.h"
#include "value/binding_writer.h"

namespace Vane {

template <class T>
void ConvertFromBinding(ConversionStatus& status, T& out, const BindingProperty& source,
                        std::string_view name, const TypeDescriptor* descriptor,
                        const TypeRegistry& registry) noexcept;
template <class T>
void WalkNativeValue(ConversionStatus& status, const T& value, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry, BindingWriter& writer) noexcept;

namespace native_handlers_detail {

// Clears `out`, then fills it with the input collection's elements; empty elements stay
// default.
template <class V>
void VectorFromBinding(ConversionStatus& status, V& out, const BindingProperty& source,
                       std::string_view name, const TypeDescriptor* descriptor,
                       const TypeRegistry& registry) noexcept {
    using E = VectorElementOf<V>;
    if (!status.Ok()) return;
    out.clear();
    if (!CheckCollectionInput(status, source, name)) return;
    const std::span<const BindingProperty> elements = source.Elements();
    try {
        out.resize(elements.size());
    } catch (const std::exception&) {
        FailInputOutOfMemory(status, name);
        return;
    }
    for (size_t index = 0; index < elements.size(); ++index) {
        if (elements[index].IsEmpty()) continue;
        if constexpr (std::is_same_v<E, bool>) {
            // std::vector<bool> has no addressable elements.
            bool element = false;
            if (BoolFromBinding(status, element, elements[index], name)) out[index] = element;
        } else {
            ConvertFromBinding<E>(status, out[index], elements[index], name, descriptor, registry);
        }
        if (!status.Ok()) return;
    }
}

// Clears `out`, then inserts one entry per non-empty member of the input structure.
template <class M>
void MapFromBinding(ConversionStatus& status, M& out, const BindingProperty& source,
                    std::string_view name, const TypeDescriptor* descriptor,
                    const TypeRegistry& registry) noexcept {
    using E = MapElementOf<M>;
    if (!status.Ok()) return;
    out.clear();
    if (!CheckMapInput(status, source, name)) return;
    try {
        if constexpr (requires { out.reserve(size_t{}); }) out.reserve(source.Size());
        for (const auto [key, value] : source.Members()) {
            if (value.IsEmpty()) continue;
            E& slot = out.try_emplace(std::string(key)).first->second;
            ConvertFromBinding<E>(status, slot, value, name, descriptor, registry);
            if (!status.Ok()) return;
        }
    } catch (const std::exception&) {
        FailInputOutOfMemory(status, name);
    }
}

// Whether iterating over the map M visits its keys in byte-wise order, the order of structure
// members: std::map compares std::string keys as unsigned bytes, shorter first on a common
// prefix, unless it was given a comparator of its own.
template <class M>
constexpr bool KeysInNameOrder() {
    if constexpr (requires { typename M::key_compare; }) {
        using Compare = typename M::key_compare;
        return std::is_same_v<Compare, std::less<std::string>> ||
               std::is_same_v<Compare, std::less<>>;
    } else {
        return false;
    }
}

// Walks the map `value` as a structure: one member per entry, in ascending key order.
template <class M>
void WalkMap(ConversionStatus& status, const M& value, const TypeDescriptor* descriptor,
             const TypeRegistry& registry, BindingWriter& writer) noexcept {
    using E = MapElementOf<M>;
    auto walkEntry = [&](const std::string& key, const E& element) {
        writer.MemberName(key);
        WalkNativeValue<E>(status, element, descriptor, registry, writer);
        if (!status.Ok()) return false;
        writer.EndMember();
        return true;
    };
    if constexpr (KeysInNameOrder<M>()) {
        writer.BeginStructure(value.size());
        for (const auto& [key, element] : value) {
            if (!walkEntry(key, element)) return;
        }
    } else {
        std::vector<const typename M::value_type*> entries;
        try {
            entries.reserve(value.size());
            for (const auto& entry : value) entries.push_back(&entry);
        } catch (const std::exception&) {
            FailOutputOutOfMemory(status);
            return;
        }
        std::sort(entries.begin(), entries.end(), [](const auto* left, const auto* right) {
            return CompareNames(left->first, right->first) < 0;
        });
        writer.BeginStructure(entries.size());
        for (const auto* entry : entries) {
            if (!walkEntry(entry->first, entry->second)) return;
        }
    }
    writer.EndStructure();
}

}  // namespace native_handlers_detail

// Writes `out` (of native type T) from `source`, reporting failure through `status`.
// `descriptor` is that of DescribedPartOf<T> (null for other types); `name` names the value in
// messages (vector elements and map values use it too).
template <class T>
void ConvertFromBinding(ConversionStatus& status, T& out, const BindingProperty& source,
                        std::string_view name, const TypeDescriptor* descriptor,
                        const TypeRegistry& registry) noexcept {
    static_assert(NativeType<T>, "T has no native form (see native_traits.h)");
    constexpr NativeKind kind = NativeKindOf<T>();
    if constexpr (kind == NativeKind::kBool) {
        BoolFromBinding(status, out, source, name);
    } else if constexpr (kind == NativeKind::kInt8 || kind == NativeKind::kInt16 ||
                         kind == NativeKind::kInt32 || kind == NativeKind::kInt64) {
        int64_t value = 0;
        if (SignedFromBinding(status, value, source, name, std::numeric_limits<T>::min(),
                              std::numeric_limits<T>::max(), NativeKindName(kind))) {
            out = static_cast<T>(value);
        }
    } else if constexpr (kind == NativeKind::kUint8 || kind == NativeKind::kUint16 ||
                         kind == NativeKind::kUint32 || kind == NativeKind::kUint64) {
        uint64_t value = 0;
        if (UnsignedFromBinding(status, value, source, name, std::numeric_limits<T>::max(),
                                NativeKindName(kind))) {
            out = static_cast<T>(value);
        }
    } else if constexpr (kind == NativeKind::kFloat || kind == NativeKind::kDouble) {
        double value = 0.0;
        if (FloatingFromBinding(status, value, source, name, std::numeric_limits<T>::max(),
                                NativeKindName(kind))) {
            out = static_cast<T>(value);
        }
    } else if constexpr (kind == NativeKind::kString) {
        StringFromBinding(status, out, source, name, registry);
    } else if constexpr (kind == NativeKind::kObject) {
        ObjectFromBinding(status, out, source, name);
    } else if constexpr (kind == NativeKind::kBlob) {
        BlobFromBinding(status, out.bytes, source, name);
    } else if constexpr (kind == NativeKind::kEnum) {
        int32_t value = 0;
        if (EnumFromBinding(status, value, source, name, descriptor)) out = static_cast<T>(value);
    } else if constexpr (kind == NativeKind::kStruct) {
        StructFromBinding(status, &out, source, name, descriptor, registry);
    } else if constexpr (kind == NativeKind::kVector) {
        native_handlers_detail::VectorFromBinding(status, out, source, name, descriptor, registry);
    } else if constexpr (kind == NativeKind::kMap) {
        native_handlers_detail::MapFromBinding(status, out, source, name, descriptor, registry);
    }
}

// Builds the value of `value` (of native type T) in `out`, which lies inside status.Value()
// or is that value; on failure status.Value() holds {"error": message} instead.
template <class T>
void ConvertToBinding(ConversionStatus& status, BindingProperty& out, const T& value,
                      const TypeDescriptor* descriptor, const TypeRegistry& registry) noexcept {
    static_assert(NativeType<T>, "T has no native form (see native_traits.h)");
    constexpr NativeKind kind = NativeKindOf<T>();
    if (!status.Ok()) return;
    if constexpr (kind == NativeKind::kBool) {
        out.SetBool(value);
    } else if constexpr (kind == NativeKind::kInt8 || kind == NativeKind::kInt16 ||
                         kind == NativeKind::kInt32 || kind == NativeKind::kInt64) {
        out.SetSigned(static_cast<int64_t>(value));
    } else if constexpr (kind == NativeKind::kUint8 || kind == NativeKind::kUint16 ||
                         kind == NativeKind::kUint32 || kind == NativeKind::kUint64) {
        out.SetUnsigned(static_cast<uint64_t>(value));
    } else if constexpr (kind == NativeKind::kFloat || kind == NativeKind::kDouble) {
        out.SetFloat(static_cast<double>(value));
    } else if constexpr (kind == NativeKind::kString) {
        StringToBinding(status, out, value);
    } else if constexpr (kind == NativeKind::kObject) {
        ObjectToBinding(status, out, value);
    } else if constexpr (kind == NativeKind::kBlob) {
        BlobToBinding(status, out, value.bytes);
    } else if constexpr (kind == NativeKind::kEnum) {
        EnumToBinding(status, out, static_cast<int32_t>(value),
                      descriptor ? descriptor->typeId : NativeTypeInfo<T>().id);
    } else if constexpr (kind == NativeKind::kStruct) {
        StructToBinding(status, out, &value, descriptor, registry);
    } else if constexpr (kind == NativeKind::kVector) {
        using E = VectorElementOf<T>;
        if (!BeginCollectionOutput(status, out, value.size())) return;
        for (const E& element : value) {
            BindingProperty* item = AppendOutputElement(status, out);
            if (!item) return;
            ConvertToBinding<E>(status, *item, element, descriptor, registry);
            if (!status.Ok()) return;
        }
    } else if constexpr (kind == NativeKind::kMap) {
        using E = MapElementOf<T>;
        if (!BeginStructureOutput(status, out)) return;
        for (const auto& [key, element] : value) {
            BindingProperty* member = OutputMember(status, out, key);
            if (!member) return;
            ConvertToBinding<E>(status, *member, element, descriptor, registry);
            if (!status.Ok()) return;
        }
    }
}

// Walks `value` (of native type T) into `writer`, calling the slots exactly as Walk() would for
// the value ConvertToBinding builds from it, and failing `status` where that conversion fails,
// with its message (the writer has then received an incomplete stream).
template <class T>
void WalkNativeValue(ConversionStatus& status, const T& value, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry, BindingWriter& writer) noexcept {
    static_assert(NativeType<T>, "T has no native form (see native_traits.h)");
    constexpr NativeKind kind = NativeKindOf<T>();
    if (!status.Ok()) return;
    if constexpr (kind == NativeKind::kBool) {
        writer.WriteBool(value);
    } else if constexpr (kind == NativeKind::kInt8 || kind == NativeKind::kInt16 ||
                         kind == NativeKind::kInt32 || kind == NativeKind::kInt64) {
        writer.WriteSigned(static_cast<int64_t>(value));
    } else if constexpr (kind == NativeKind::kUint8 || kind == NativeKind::kUint16 ||
                         kind == NativeKind::kUint32 || kind == NativeKind::kUint64) {
        writer.WriteUnsigned(static_cast<uint64_t>(value));
    } else if constexpr (kind == NativeKind::kFloat || kind == NativeKind::kDouble) {
        writer.WriteFloat(static_cast<double>(value));
    } else if constexpr (kind == NativeKind::kString) {
        writer.WriteString(value);
    } else if constexpr (kind == NativeKind::kObject) {
        Walk(value, writer);
    } else if constexpr (kind == NativeKind::kBlob) {
        writer.WriteBlob(value.bytes);
    } else if constexpr (kind == NativeKind::kEnum) {
        writer.WriteEnum(EnumRecord{static_cast<int32_t>(value),
                                    descriptor ? descriptor->typeId : NativeTypeInfo<T>().id});
    } else if constexpr (kind == NativeKind::kStruct) {
        WalkStruct(status, &value, descriptor, registry, writer);
    } else if constexpr (kind == NativeKind::kVector) {
        using E = VectorElementOf<T>;
        if (!CheckOutputCount(status, value.size())) return;
        writer.BeginCollection(value.size());
        for (const E& element : value) {
            writer.BeginElement();
            WalkNativeValue<E>(status, element, descriptor, registry, writer);
            if (!status.Ok()) return;
            writer.EndElement();
        }
        writer.EndCollection();
    } else if constexpr (kind == NativeKind::kMap) {
        native_handlers_detail::WalkMap(status, value, descriptor, registry, writer);
    }
}

// Whether ConvertToBinding would succeed on `value` (of native type T) and build a value
// IsEmptyForOutput calls empty.
template <class T>
bool NativeEmptyForOutput(const T& value, const TypeDescriptor* descriptor,
                          const TypeRegistry& registry) noexcept {
    static_assert(NativeType<T>, "T has no native form (see native_traits.h)");
    constexpr NativeKind kind = NativeKindOf<T>();
    if constexpr (kind == NativeKind::kBool) {
        return !value;
    } else if constexpr (kind == NativeKind::kFloat || kind == NativeKind::kDouble) {
        return static_cast<double>(value) == 0.0;
    } else if constexpr (kind == NativeKind::kString || kind == NativeKind::kVector ||
                         kind == NativeKind::kMap) {
        return value.empty();
    } else if constexpr (kind == NativeKind::kObject) {
        return IsEmptyForOutput(value);
    } else if constexpr (kind == NativeKind::kBlob) {
        return value.bytes.empty();
    } else if constexpr (kind == NativeKind::kEnum) {
        return static_cast<int32_t>(value) == 0;
    } else if constexpr (kind == NativeKind::kStruct) {
        return StructEmptyForOutput(&value, descriptor, registry);
    } else {
        return value == 0;  // integers
    }
}

namespace native_handlers_detail {

// Writes the T at `destination` from a string input's text, as ConvertFromBinding would.
template <class T>
bool InputFromText(ConversionStatus& status, void* destination, std::string_view text,
                   std::string_view name, const TypeDescriptor* descriptor,
                   const TypeRegistry& /*registry*/) noexcept {
    constexpr NativeKind kind = NativeKindOf<T>();
    T& out = *static_cast<T*>(destination);
    if constexpr (kind == NativeKind::kBool) {
        return BoolFromText(status, out, text, name);
    } else if constexpr (kind == NativeKind::kInt8 || kind == NativeKind::kInt16 ||
                         kind == NativeKind::kInt32 || kind == NativeKind::kInt64) {
        int64_t value = 0;
        if (!SignedFromText(status, value, text, name, std::numeric_limits<T>::min(),
                            std::numeric_limits<T>::max(), NativeKindName(kind))) {
            return false;
        }
        out = static_cast<T>(value);
        return true;
    } else if constexpr (kind == NativeKind::kUint8 || kind == NativeKind::kUint16 ||
                         kind == NativeKind::kUint32 || kind == NativeKind::kUint64) {
        uint64_t value = 0;
        if (!UnsignedFromText(status, value, text, name, std::numeric_limits<T>::max(),
                              NativeKindName(kind))) {
            return false;
        }
        out = static_cast<T>(value);
        return true;
    } else if constexpr (kind == NativeKind::kFloat || kind == NativeKind::kDouble) {
        double value = 0.0;
        if (!FloatingFromText(status, value, text, name, std::numeric_limits<T>::max(),
                              NativeKindName(kind))) {
            return false;
        }
        out = static_cast<T>(value);
        return true;
    } else if constexpr (kind == NativeKind::kString) {
        if (!status.Ok()) return false;
        try {
            out.assign(text);
            return true;
        } catch (const std::exception&) {
            FailInputOutOfMemory(status, name);
            return false;
        }
    } else {
        static_assert(kind == NativeKind::kEnum, "only scalars, strings and enums read text");
        int32_t value = 0;
        if (!EnumFromText(status, value, text, name, descriptor)) return false;
        out = static_cast<T>(value);
        return true;
    }
}

template <class C>
void InputClear(void* container) noexcept {
    static_cast<C*>(container)->clear();
}

template <class V>
void* InputAppend(void* vector) noexcept {
    if constexpr (std::is_same_v<VectorElementOf<V>, bool>) {
        return nullptr;
    } else {
        try {
            return &static_cast<V*>(vector)->emplace_back();
        } catch (const std::exception&) {
            return nullptr;
        }
    }
}

template <class V>
bool InputAppendBool(void* vector, bool value) noexcept {
    try {
        static_cast<V*>(vector)->push_back(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

template <class M>
void* InputInsert(void* map, std::string_view key) noexcept {
    try {
        auto [entry, inserted] = static_cast<M*>(map)->try_emplace(std::string(key));
        return inserted ? &entry->second : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

template <class T>
constexpr NativeInputOps MakeInputOps() noexcept;

}  // namespace native_handlers_detail

// The direct input operations of native type T (native_input.h); null for held values and
// blobs, which are filled through their handler's FromBinding.
template <class T>
constexpr const NativeInputOps* InputOpsOf() noexcept;

// The handler of native type T: converts the T at the field's address.
template <class T>
class NativeHandler final : public NativeTypeHandler {
  public:
    constexpr NativeHandler() noexcept : NativeTypeHandler(InputOpsOf<T>()) {}

    void FromBinding(ConversionStatus& status, void* destination, const BindingProperty& source,
                     std::string_view name, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry) const noexcept override {
        ConvertFromBinding<T>(status, *static_cast<T*>(destination), source, name, descriptor,
                              registry);
    }

    void ToBinding(ConversionStatus& status, BindingProperty& out, const void* source,
                   const TypeDescriptor* descriptor,
                   const TypeRegistry& registry) const noexcept override {
        ConvertToBinding<T>(status, out, *static_cast<const T*>(source), descriptor, registry);
    }

    void Walk(ConversionStatus& status, const void* source, const TypeDescriptor* descriptor,
              const TypeRegistry& registry, BindingWriter& writer) const noexcept override {
        WalkNativeValue<T>(status, *static_cast<const T*>(source), descriptor, registry, writer);
    }

    bool EmptyForOutput(const void* source, const TypeDescriptor* descriptor,
                        const TypeRegistry& registry) const noexcept override {
        return NativeEmptyForOutput<T>(*static_cast<const T*>(source), descriptor, registry);
    }
};

template <class T>
inline constexpr NativeInputOps kNativeInputOps = native_handlers_detail::MakeInputOps<T>();

template <class T>
inline constexpr NativeHandler<T> kNativeHandler{};

template <class T>
constexpr const NativeInputOps* InputOpsOf() noexcept {
    constexpr NativeKind kind = NativeKindOf<T>();
    if constexpr (kind == NativeKind::kObject || kind == NativeKind::kBlob) {
        return nullptr;
    } else {
        return &kNativeInputOps<std::remove_cv_t<T>>;
    }
}

// The static handler object of native type T.
template <class T>
constexpr const TypeHandler& HandlerOf() noexcept {
    static_assert(NativeType<T>, "T has no native form (see native_traits.h)");
    return kNativeHandler<std::remove_cv_t<T>>;
}

namespace native_handlers_detail {

template <class T>
constexpr NativeInputOps MakeInputOps() noexcept {
    constexpr NativeKind kind = NativeKindOf<T>();
    NativeInputOps ops;
    ops.kind = kind;
    if constexpr (kind == NativeKind::kVector) {
        using E = VectorElementOf<T>;
        ops.element = InputOpsOf<E>();
        ops.elementHandler = &HandlerOf<E>();
        ops.clear = &InputClear<T>;
        ops.append = &InputAppend<T>;
        if constexpr (std::is_same_v<E, bool>) ops.appendBool = &InputAppendBool<T>;
    } else if constexpr (kind == NativeKind::kMap) {
        using E = MapElementOf<T>;
        ops.element = InputOpsOf<E>();
        ops.elementHandler = &HandlerOf<E>();
        ops.clear = &InputClear<T>;
        ops.insert = &InputInsert<T>;
    } else if constexpr (kind != NativeKind::kStruct && kind != NativeKind::kObject &&
                         kind != NativeKind::kBlob) {
        ops.fromText = &InputFromText<T>;
    }
    return ops;
}

}  // namespace native_handlers_detail

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_HANDLERS_H_
