// Positional message formatting: templates such as "Unknown argument '%1' for '%2'." filled
// from typed arguments.
//
// Design: a thin variadic template turns every argument into a type-erased `FormatArg` held in
// a stack array, and one non-template core (format.cpp) does all the work. Types of later
// subsystems join in by declaring a `MakeFormatArg(const T&)` overload in their own namespace
// (found by argument-dependent lookup).
//
// Template syntax, one pass, a sequential argument counter starting at 1:
//   "%%"        one "%".
//   "%N"        argument N (1..9 first digit, all digits read) with its default conversion.
//   "%N$conv"   argument N with a printf conversion: flags "-+ #0", width (digits, "*" or
//               "*N$"), "." precision (same forms), length modifier (hh h l ll L j t z), one
//               conversion character.
//   "%conv"     the same without a number: takes the next sequential argument (after any "*").
// Rules worth knowing:
//   - Each argument type has allowed conversions; the first is the default. A conversion that is
//     not allowed is replaced by the default. char "cdiouxX", signed 32 "dciouxX", unsigned 32
//     "ucdioxX", signed 64 "dciouxX", unsigned 64 "ucdioxX", double "gaefGAEF", text and
//     version "s".
//   - Length modifiers never change how an argument is read: "hh" and "h" narrow an integer to
//     8 or 16 bits as printf would, every other modifier is ignored (64-bit types are always
//     formatted as 64-bit values).
//   - "%...n" is neutralised: it writes nothing (the argument is still consumed).
//   - A "*" fed by an argument without integer conversion (text, double, version) is ignored,
//     as if no width or precision had been written; the argument is still consumed. Integer
//     values are clamped to the int range; a negative width means left-justified, a negative
//     precision means no precision.
//   - bool formats as a 32-bit integer (1 or 0); a null `const char*` formats as "(null)".
//   - Placeholder text longer than 59 characters (including the "%"), or a placeholder that
//     needs an argument number above the argument count, ends the formatting: the result is
//     the text produced so far.
//   - The result is at most kFormatMaxLength (4095) bytes; longer output is cut. Width and
//     precision may be as large as INT_MAX without cost: only what fits is produced.
//   - The template is length-delimited: NUL bytes are ordinary characters.
// Formatting never fails, never allocates before the result string is made, and never hands a
// caller-controlled format string to the C library.
#ifndef PYX_UTIL_FORMAT_H_
#define PYX_UTIL_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace Vane {

inline constexpr size_t kFormatBufferSize = 4096;
inline constexpr size_t kFormatMaxLength = kFormatBufferSize - 1;
inline constexpr size_t kPlaceholderMaxLength = 59;

// A three-part version number; formats as "major.minor.patch".
struct Version {
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
};

enum class FormatArgType : uint8_t {
    kChar,
    kSigned32,
    kUnsigned32,
    kSigned64,
    kUnsigned64,
    kDouble,
    kText,
    kVersion,
};

// One type-erased formatting argument. Text is borrowed: it must outlive the formatting call.
struct FormatArg {
    struct TextRef {
        const char* data;
        size_t size;
    };

    FormatArgType type;
    union {
        char c;
        int32_t i32;
        uint32_t u32;
        int64_t i64;
        uint64_t u64;
        double d;
        TextRef text;
        Version version;
    };

    // Factories, one per argument type.
    static FormatArg Char(char v) {
        FormatArg a;
        a.type = FormatArgType::kChar;
        a.c = v;
        return a;
    }
    static FormatArg Signed32(int32_t v) {
        FormatArg a;
        a.type = FormatArgType::kSigned32;
        a.i32 = v;
        return a;
    }
    static FormatArg Unsigned32(uint32_t v) {
        FormatArg a;
        a.type = FormatArgType::kUnsigned32;
        a.u32 = v;
        return a;
    }
    static FormatArg Signed64(int64_t v) {
        FormatArg a;
        a.type = FormatArgType::kSigned64;
        a.i64 = v;
        return a;
    }
    static FormatArg Unsigned64(uint64_t v) {
        FormatArg a;
        a.type = FormatArgType::kUnsigned64;
        a.u64 = v;
        return a;
    }
    static FormatArg Double(double v) {
        FormatArg a;
        a.type = FormatArgType::kDouble;
        a.d = v;
        return a;
    }
    static FormatArg Text(const char* data, size_t size) {
        FormatArg a;
        a.type = FormatArgType::kText;
        a.text = TextRef{data, size};
        return a;
    }
    static FormatArg Text(std::string_view v) { return Text(v.data(), v.size()); }
    static FormatArg MakeVersion(const Version& v) {
        FormatArg a;
        a.type = FormatArgType::kVersion;
        a.version = v;
        return a;
    }
};

// MakeFormatArg overloads: the conversion of each supported argument type. Integers keep their
// signedness; types of 64 bits (long on LP64, long long, size_t) become 64-bit arguments.
inline FormatArg MakeFormatArg(char v) {
    return FormatArg::Char(v);
}
inline FormatArg MakeFormatArg(signed char v) {
    return FormatArg::Signed32(v);
}
inline FormatArg MakeFormatArg(unsigned char v) {
    return FormatArg::Unsigned32(v);
}
inline FormatArg MakeFormatArg(short v) {
    return FormatArg::Signed32(v);
}
inline FormatArg MakeFormatArg(unsigned short v) {
    return FormatArg::Unsigned32(v);
}
inline FormatArg MakeFormatArg(int v) {
    return FormatArg::Signed32(v);
}
inline FormatArg MakeFormatArg(unsigned v) {
    return FormatArg::Unsigned32(v);
}
inline FormatArg MakeFormatArg(long v) {
    if constexpr (sizeof(long) == 8) return FormatArg::Signed64(v);
    return FormatArg::Signed32(static_cast<int32_t>(v));
}
inline FormatArg MakeFormatArg(unsigned long v) {
    if constexpr (sizeof(unsigned long) == 8) return FormatArg::Unsigned64(v);
    return FormatArg::Unsigned32(static_cast<uint32_t>(v));
}
inline FormatArg MakeFormatArg(long long v) {
    return FormatArg::Signed64(v);
}
inline FormatArg MakeFormatArg(unsigned long long v) {
    return FormatArg::Unsigned64(v);
}
// bool formats as the 32-bit integer 1 or 0. A template so that pointers never decay to bool.
template <class T>
requires std::is_same_v<T, bool>
inline FormatArg MakeFormatArg(T v) {
    return FormatArg::Signed32(v ? 1 : 0);
}
inline FormatArg MakeFormatArg(float v) {
    return FormatArg::Double(v);
}
inline FormatArg MakeFormatArg(double v) {
    return FormatArg::Double(v);
}
inline FormatArg MakeFormatArg(long double v) {
    return FormatArg::Double(static_cast<double>(v));
}
// A null pointer formats as "(null)".
inline FormatArg MakeFormatArg(const char* v) {
    return v ? FormatArg::Text(std::string_view(v)) : FormatArg::Text("(null)", 6);
}
inline FormatArg MakeFormatArg(const std::string& v) {
    return FormatArg::Text(v.data(), v.size());
}
inline FormatArg MakeFormatArg(std::string_view v) {
    return FormatArg::Text(v);
}
inline FormatArg MakeFormatArg(const Version& v) {
    return FormatArg::MakeVersion(v);
}

// Core: formats `tmpl` with `args[0..count)` into `out`, writing at most
// min(size, kFormatBufferSize) - 1 bytes plus a terminating NUL; returns the bytes written
// (without the NUL). `size` 0 writes nothing and returns 0.
size_t FormatPositionalArgs(char* out, size_t size, std::string_view tmpl, const FormatArg* args,
                            size_t count) noexcept;

// Core: formats `tmpl` with `args[0..count)` through a 4096-byte stack buffer.
std::string FormatPositionalArgs(std::string_view tmpl, const FormatArg* args, size_t count);

// Formats `tmpl` with `args` into the caller's buffer (see the core above); no allocation.
template <class... Args>
size_t FormatPositionalTo(char* out, size_t size, std::string_view tmpl, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatPositionalArgs(out, size, tmpl, nullptr, 0);
    } else {
        const FormatArg list[] = {MakeFormatArg(args)...};
        return FormatPositionalArgs(out, size, tmpl, list, sizeof...(Args));
    }
}

// Formats `tmpl` with `args` into a caller array (at most N - 1 bytes, capped at 4095).
template <size_t N, class... Args>
size_t FormatPositionalTo(char (&out)[N], std::string_view tmpl, const Args&... args) {
    return FormatPositionalTo(static_cast<char*>(out), N, tmpl, args...);
}

// Formats `tmpl` with `args` and returns the text (at most 4095 bytes).
template <class... Args>
std::string FormatPositional(std::string_view tmpl, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatPositionalArgs(tmpl, nullptr, 0);
    } else {
        const FormatArg list[] = {MakeFormatArg(args)...};
        return FormatPositionalArgs(tmpl, list, sizeof...(Args));
    }
}

// Extent of the printf placeholder that starts with the "%" at tmpl[pos] (which must not be
// the first of "%%"), parsed as FormatPositional parses it for `argumentCount` arguments.
struct PlaceholderExtent {
    size_t end;          // index one past the placeholder's last character
    bool hasConversion;  // whether it ends with an explicit conversion character
};

// Measures the placeholder at tmpl[pos] (see PlaceholderExtent).
PlaceholderExtent MeasurePlaceholder(std::string_view tmpl, size_t pos,
                                     size_t argumentCount) noexcept;

}  // namespace Vane

#endif  // PYX_UTIL_FORMAT_H_
