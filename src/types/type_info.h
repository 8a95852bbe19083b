// Native type kinds and the process-wide identity (id and name) of every native type.
#ifndef PYX_TYPES_TYPE_INFO_H_
#define PYX_TYPES_TYPE_INFO_H_

#include <cstdint>
#include <string_view>

#include "types/static_type.h"

namespace Vane {

// The native kinds a registered type or field can have (u32 codes, part of the help and host
// description formats).
enum class NativeKind : uint32_t {
    kNone = 0,
    kBool = 1,
    kInt8 = 2,
    kUint8 = 3,
    kInt16 = 4,
    kUint16 = 5,
    kInt32 = 6,
    kUint32 = 7,
    kInt64 = 8,
    kUint64 = 9,
    kFloat = 10,
    kDouble = 11,
    kString = 12,
    kObject = 13,
    kBlob = 14,
    kVector = 15,
    kEnum = 16,
    kStruct = 17,
    kCallback = 18,
    kMap = 19,
};

// The name of a native kind code as printed in messages and help ("bool", "int8", ... "map");
// "" for any other code.
const char* NativeKindName(uint32_t code) noexcept;
inline const char* NativeKindName(NativeKind kind) noexcept {
    return NativeKindName(static_cast<uint32_t>(kind));
}

// The identity of a native type: a 32-bit id and a NUL-terminated name, both fixed for the
// life of the process. Compared by id; the address is not an identity (every module has its
// own copy).
struct TypeInfo {
    uint32_t id = 0;
    const char* name = "";

    std::string_view Name() const noexcept { return name; }
};

namespace type_info_detail {

template <class T>
inline constexpr auto kNameStorage =
    static_type_detail::FixedName<StaticType::Name<T>().size()>(StaticType::Name<T>());

template <class T>
inline constexpr TypeInfo kTypeInfo{StaticType::Id<T>(), kNameStorage<T>.chars};

}  // namespace type_info_detail

// The type info of a type named at build time: StaticType::Name<T>() and StaticType::Id<T>().
// A constant: no initialisation at run time, never fails.
template <class T>
constexpr const TypeInfo& TypeInfoOf() noexcept {
    return type_info_detail::kTypeInfo<T>;
}

// The type info of a type without a build-time name: id `id` and the name "#" followed by the
// id as 8 upper-case hexadecimal digits. Created on first use and kept for the life of the
// process, so the same id always gives the same record. PlaceholderTypeInfo(kPlaceholderTypeId)
// marks a type reachable by name only. If memory runs out on first use, the result is that
// name-only info instead (the type then stays reachable by its name).
const TypeInfo& PlaceholderTypeInfo(uint32_t id) noexcept;

}  // namespace Vane

#endif  // PYX_TYPES_TYPE_INFO_H_
