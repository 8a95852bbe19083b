// Build-time names and 32-bit ids of native types.
//
// `StaticType::Name<T>()` is the fully qualified C++ name of T, spelled the same by every
// compiler: records and enumerations are read from the compiler's function signature (with
// MSVC's "struct "/"class "/"enum " keywords dropped), fixed-width integers, floating types
// and strings have canonical spellings ("int32_t", "uint64_t", "std::string"), and vectors
// and maps compose them ("std::vector<int32_t>", "std::map<std::string, Vane::Mission>").
// `StaticType::Id<T>()` is the 32-bit FNV-1a hash of that name, fixed at build time; the
// reserved placeholder id is never produced for a real type.
#ifndef PYX_TYPES_STATIC_TYPE_H_
#define PYX_TYPES_STATIC_TYPE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace Vane {

// Id of a type info that names no compile-time type: such a type is reachable by name only.
inline constexpr uint32_t kPlaceholderTypeId = 0x1BE7EF8E;

// 32-bit FNV-1a over the bytes of text.
constexpr uint32_t Fnv1a32(std::string_view text) {
    uint32_t hash = 0x811C9DC5u;
    for (char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return hash;
}

namespace static_type_detail {

// A string built at compile time; N counts the characters without a terminator.
template <size_t N>
struct FixedName {
    char chars[N + 1] = {};
    constexpr FixedName() = default;
    constexpr explicit FixedName(std::string_view text) {
        for (size_t i = 0; i < N; ++i) chars[i] = text[i];
    }
    constexpr std::string_view View() const { return std::string_view(chars, N); }
};

template <class T>
constexpr std::string_view Signature() {
#if defined(_MSC_VER) && !defined(__clang__)
    return __FUNCSIG__;
#else
    return __PRETTY_FUNCTION__;
#endif
}

// The spelling of T inside the signature, keywords dropped.
template <class T>
constexpr std::string_view RawName() {
    std::string_view s = Signature<T>();
#if defined(_MSC_VER) && !defined(__clang__)
    size_t begin = s.find("Signature<") + 10;
    size_t end = s.rfind(">(void)");
    s = s.substr(begin, end - begin);
    for (std::string_view keyword : {"struct ", "class ", "enum "}) {
        if (s.substr(0, keyword.size()) == keyword) s.remove_prefix(keyword.size());
    }
    return s;
#else
    size_t begin = s.find("T = ") + 4;
    size_t end = s.find(';', begin);
    if (end == std::string_view::npos) end = s.rfind(']');
    return s.substr(begin, end - begin);
#endif
}

template <class T>
struct Spelling {
    static constexpr std::string_view value = RawName<T>();
};

template <class T>
requires(std::is_integral_v<T> && !std::is_same_v<T, bool> &&
         !std::is_same_v<T, char>) struct Spelling<T> {
    static constexpr std::string_view value = [] {
        constexpr bool s = std::is_signed_v<T>;
        switch (sizeof(T)) {
            case 1:
                return s ? std::string_view("int8_t") : std::string_view("uint8_t");
            case 2:
                return s ? std::string_view("int16_t") : std::string_view("uint16_t");
            case 4:
                return s ? std::string_view("int32_t") : std::string_view("uint32_t");
            default:
                return s ? std::string_view("int64_t") : std::string_view("uint64_t");
        }
    }();
};

#define PYX_STATIC_SPELLING(type, text)                 \
    template <>                                         \
    struct Spelling<type> {                             \
        static constexpr std::string_view value = text; \
    }
PYX_STATIC_SPELLING(bool, "bool");
PYX_STATIC_SPELLING(char, "char");
PYX_STATIC_SPELLING(float, "float");
PYX_STATIC_SPELLING(double, "double");
PYX_STATIC_SPELLING(std::string, "std::string");
#undef PYX_STATIC_SPELLING

template <std::string_view const&... Parts>
struct Join {
    static constexpr size_t size = (Parts.size() + ... + 0);
    static constexpr FixedName<size> name = [] {
        FixedName<size> out;
        size_t at = 0;
        (
            (void)[&] {
                for (char c : Parts) out.chars[at++] = c;
            }(),
            ...);
        return out;
    }();
    static constexpr std::string_view value = name.View();
};

inline constexpr std::string_view kVectorOpen = "std::vector<";
inline constexpr std::string_view kMapOpen = "std::map<";
inline constexpr std::string_view kUnorderedMapOpen = "std::unordered_map<";
inline constexpr std::string_view kComma = ", ";
inline constexpr std::string_view kClose = ">";

template <class T>
struct Spelling<std::vector<T>> {
    static constexpr std::string_view value = Join<kVectorOpen, Spelling<T>::value, kClose>::value;
};
template <class K, class V>
struct Spelling<std::map<K, V>> {
    static constexpr std::string_view value =
        Join<kMapOpen, Spelling<K>::value, kComma, Spelling<V>::value, kClose>::value;
};
template <class K, class V>
struct Spelling<std::unordered_map<K, V>> {
    static constexpr std::string_view value =
        Join<kUnorderedMapOpen, Spelling<K>::value, kComma, Spelling<V>::value, kClose>::value;
};

}  // namespace static_type_detail

struct StaticType {
    // Fully qualified name of T, the same text on every compiler.
    template <class T>
    static constexpr std::string_view Name() {
        return static_type_detail::Spelling<std::remove_cv_t<T>>::value;
    }

    // Stable 32-bit id of T: FNV-1a of its name, never the placeholder id.
    template <class T>
    static constexpr uint32_t Id() {
        uint32_t id = Fnv1a32(Name<T>());
        return id == kPlaceholderTypeId ? id ^ 1u : id;
    }
};

}  // namespace Vane

#endif  // PYX_TYPES_STATIC_TYPE_H_
