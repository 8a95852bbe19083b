// Which native kind a C++ type has, and what the registry records for it.
//
// bool; the integer types by width and signedness (int8 ... uint64, whatever their spelling:
// long, long long and int64_t alike); float; double; std::string; BindingProperty ("object");
// BindingBlob ("blob"); std::vector<E>; std::map<std::string, E> and
// std::unordered_map<std::string, E> ("map"); described structures ("struct") and described
// enumerations ("enum"). A vector's or map's element must not itself be a vector or map.
//
// A type is described by a specialisation of TypeDescription<T> with a static
// Describe(RecordBuilder<T>&), or by a function DescribeType(RecordBuilder<T>&) found by
// argument-dependent lookup (record_description.h). A specialisation may also give
// `static constexpr uint32_t kTypeId`: the type then has that fixed id and the generated
// "#%08X" name instead of its build-time name.
#ifndef PYX_TYPES_NATIVE_TRAITS_H_
#define PYX_TYPES_NATIVE_TRAITS_H_

#include <concepts>
#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "types/static_type.h"
#include "types/type_descriptor.h"
#include "types/type_info.h"
#include "value/binding_blob.h"
#include "value/binding_property.h"

namespace Vane {

// Specialise with `static void Describe(RecordBuilder<T>&)` to describe T.
template <class T>
struct TypeDescription;

template <class T>
class RecordBuilder;

namespace native_traits_detail {

template <class T>
struct VectorElement {
    using type = void;
};
template <class E, class A>
struct VectorElement<std::vector<E, A>> {
    using type = E;
};

template <class T>
struct MapElement {
    using type = void;
};
template <class E, class C, class A>
struct MapElement<std::map<std::string, E, C, A>> {
    using type = E;
};
template <class E, class H, class Q, class A>
struct MapElement<std::unordered_map<std::string, E, H, Q, A>> {
    using type = E;
};

}  // namespace native_traits_detail

// Whether T has a TypeDescription specialisation with Describe.
template <class T>
concept HasTypeDescription = requires(RecordBuilder<T>& builder) {
    TypeDescription<T>::Describe(builder);
};

// Whether DescribeType(RecordBuilder<T>&) is found by argument-dependent lookup.
template <class T>
concept HasDescribeFunction = requires(RecordBuilder<T>& builder) {
    DescribeType(builder);
};

// A structure or enumeration that can be registered.
template <class T>
concept DescribedType = (std::is_class_v<T> || std::is_enum_v<T>)&&(HasTypeDescription<T> ||
                                                                    HasDescribeFunction<T>);

// Whether the description of T fixes its type id.
template <class T>
concept HasFixedTypeId = HasTypeDescription<T> && requires {
    { TypeDescription<T>::kTypeId } -> std::convertible_to<uint32_t>;
};

// The element type of a std::vector (void for other types).
template <class T>
using VectorElementOf = typename native_traits_detail::VectorElement<T>::type;
// The value type of a map keyed by std::string (void for other types).
template <class T>
using MapElementOf = typename native_traits_detail::MapElement<T>::type;

// The native kind of T; kNone when T has no native form.
template <class T>
constexpr NativeKind NativeKindOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, bool>) {
        return NativeKind::kBool;
    } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, char> &&
                         !std::is_same_v<U, wchar_t> && !std::is_same_v<U, char8_t> &&
                         !std::is_same_v<U, char16_t> && !std::is_same_v<U, char32_t>) {
        constexpr bool s = std::is_signed_v<U>;
        if constexpr (sizeof(U) == 1) return s ? NativeKind::kInt8 : NativeKind::kUint8;
        if constexpr (sizeof(U) == 2) return s ? NativeKind::kInt16 : NativeKind::kUint16;
        if constexpr (sizeof(U) == 4) return s ? NativeKind::kInt32 : NativeKind::kUint32;
        if constexpr (sizeof(U) == 8) return s ? NativeKind::kInt64 : NativeKind::kUint64;
        return NativeKind::kNone;
    } else if constexpr (std::is_same_v<U, float>) {
        return NativeKind::kFloat;
    } else if constexpr (std::is_same_v<U, double>) {
        return NativeKind::kDouble;
    } else if constexpr (std::is_same_v<U, std::string>) {
        return NativeKind::kString;
    } else if constexpr (std::is_same_v<U, BindingProperty>) {
        return NativeKind::kObject;
    } else if constexpr (std::is_same_v<U, BindingBlob>) {
        return NativeKind::kBlob;
    } else if constexpr (!std::is_void_v<VectorElementOf<U>>) {
        return NativeKind::kVector;
    } else if constexpr (!std::is_void_v<MapElementOf<U>>) {
        return NativeKind::kMap;
    } else if constexpr (std::is_enum_v<U> && DescribedType<U>) {
        return NativeKind::kEnum;
    } else if constexpr (std::is_class_v<U> && DescribedType<U>) {
        return NativeKind::kStruct;
    } else {
        return NativeKind::kNone;
    }
}

// Whether a kind may be the element of a vector or map: a scalar, string, object, blob, struct
// or enum, not a vector or map.
constexpr bool IsElementKind(NativeKind kind) {
    return kind != NativeKind::kNone && kind != NativeKind::kVector && kind != NativeKind::kMap &&
           kind != NativeKind::kCallback;
}

// Whether T has a native form, vectors and maps nesting one level at most.
template <class T>
constexpr bool HasNativeForm() {
    using U = std::remove_cv_t<T>;
    constexpr NativeKind kind = NativeKindOf<U>();
    if constexpr (kind == NativeKind::kVector) {
        return IsElementKind(NativeKindOf<VectorElementOf<U>>());
    } else if constexpr (kind == NativeKind::kMap) {
        return IsElementKind(NativeKindOf<MapElementOf<U>>());
    } else {
        return kind != NativeKind::kNone;
    }
}

// A C++ type with a native form (see HasNativeForm).
template <class T>
concept NativeType = HasNativeForm<T>();

// The element kind of T: the element's kind for vectors and maps, else kNone.
template <class T>
constexpr NativeKind NativeElementKindOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (NativeKindOf<U>() == NativeKind::kVector)
        return NativeKindOf<VectorElementOf<U>>();
    if constexpr (NativeKindOf<U>() == NativeKind::kMap) return NativeKindOf<MapElementOf<U>>();
    return NativeKind::kNone;
}

// The type whose descriptor T's type identifier refers to: T for a struct or enum, the element
// for a vector or map of structs or enums; void otherwise.
template <class T>
using DescribedPartOf = std::conditional_t<
    NativeKindOf<T>() == NativeKind::kStruct || NativeKindOf<T>() == NativeKind::kEnum,
    std::remove_cv_t<T>,
    std::conditional_t<
        NativeElementKindOf<T>() == NativeKind::kStruct ||
            NativeElementKindOf<T>() == NativeKind::kEnum,
        std::conditional_t<NativeKindOf<T>() == NativeKind::kVector,
                           VectorElementOf<std::remove_cv_t<T>>, MapElementOf<std::remove_cv_t<T>>>,
        void>>;

// The type info of T: its fixed id and generated name when its description gives kTypeId,
// else its build-time name and id.
template <class T>
const TypeInfo& NativeTypeInfo() noexcept {
    if constexpr (HasFixedTypeId<T>) {
        static_assert(TypeDescription<T>::kTypeId != kPlaceholderTypeId,
                      "the placeholder id marks types reachable by name only");
        static const TypeInfo& info = PlaceholderTypeInfo(TypeDescription<T>::kTypeId);
        return info;
    } else {
        return TypeInfoOf<T>();
    }
}

// The type identifier of T, referring to `descriptor` (that of DescribedPartOf<T>, or null).
template <class T>
constexpr TypeIdentifier TypeIdentifierOf(const TypeDescriptor* descriptor) noexcept {
    return TypeIdentifier{static_cast<uint32_t>(NativeKindOf<T>()),
                          static_cast<uint32_t>(NativeElementKindOf<T>()), descriptor};
}

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_TRAITS_H_
