#include "util/format.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Vane {
namespace {

// Largest precision handed to the C library for floating conversions. A double's exact decimal
// expansion has fewer than 1100 significant digits, so digits requested beyond this bound are
// zeros, and they lie past the end of any output anyway; the dropped count is still used for
// the field width.
constexpr int64_t kMaxLibraryPrecision = 4400;

// Output area: `cap` usable bytes (one more is reserved for the NUL).
struct Sink {
    char* data;
    size_t cap;
    size_t len;

    bool Full() const { return len >= cap; }
    size_t Room() const { return cap - len; }
    void Put(char c) {
        if (len < cap) data[len++] = c;
    }
    void Append(const char* p, size_t n) {
        n = std::min(n, Room());
        std::memcpy(data + len, p, n);
        len += n;
    }
    void Fill(char c, uint64_t n) {
        size_t k = static_cast<size_t>(std::min<uint64_t>(n, Room()));
        std::memset(data + len, c, k);
        len += k;
    }
};

enum class LengthModifier : uint8_t { kNone, kHH, kH, kOther };

// One parsed placeholder. Argument numbers are 1-based; 0 means "none".
struct Placeholder {
    size_t end = 0;
    uint32_t argument = 0;
    uint32_t widthArgument = 0;
    uint32_t precisionArgument = 0;
    bool argumentAboveCount = false;
    bool minus = false;
    bool plus = false;
    bool space = false;
    bool hash = false;
    bool zero = false;
    bool hasPrecision = false;
    bool hasConversion = false;
    LengthModifier length = LengthModifier::kNone;
    char conversion = 0;
    int64_t width = 0;
    int64_t precision = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads decimal digits at t[i...], saturating at `limit`; returns the index after them.
size_t ReadNumber(std::string_view t, size_t i, uint64_t limit, uint64_t& value) {
    value = 0;
    while (i < t.size() && IsDigit(t[i])) {
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(t[i] - '0'), limit);
        ++i;
    }
    return i;
}

// Parses "*" or "*N$" at t[i] (t[i] == '*'); returns the index after it.
size_t ParseStar(std::string_view t, size_t i, uint32_t& sequential, uint32_t& argument) {
    ++i;
    if (i < t.size() && t[i] >= '1' && t[i] <= '9') {
        uint64_t n = 0;
        size_t j = ReadNumber(t, i, UINT32_MAX, n);
        if (j < t.size() && t[j] == '$') {
            argument = static_cast<uint32_t>(n);
            return j + 1;
        }
    }
    argument = sequential < UINT32_MAX ? sequential++ : UINT32_MAX;
    return i;
}

// Parses the placeholder whose "%" is at t[pos]. `sequential` is the next sequential argument
// number and advances for every argument taken implicitly.
Placeholder ParsePlaceholder(std::string_view t, size_t pos, size_t count, uint32_t& sequential) {
    Placeholder s;
    size_t i = pos + 1;
    const size_t n = t.size();
    if (i < n && t[i] >= '1' && t[i] <= '9') {
        uint64_t number = 0;
        size_t j = ReadNumber(t, i, UINT32_MAX, number);
        if (number <= count) {
            s.argument = static_cast<uint32_t>(number);
            if (j < n && t[j] == '$') {
                i = j + 1;
            } else {
                s.end = j;
                return s;
            }
        } else {
            // The digits are read again below as a field width; the number stays recorded.
            s.argumentAboveCount = true;
        }
    }
    for (; i < n; ++i) {
        char c = t[i];
        if (c == '-') {
            s.minus = true;
        } else if (c == '+') {
            s.plus = true;
        } else if (c == ' ') {
            s.space = true;
        } else if (c == '#') {
            s.hash = true;
        } else if (c == '0') {
            s.zero = true;
        } else {
            break;
        }
    }
    if (i < n && t[i] == '*') {
        i = ParseStar(t, i, sequential, s.widthArgument);
    } else if (i < n && IsDigit(t[i])) {
        uint64_t w = 0;
        i = ReadNumber(t, i, INT_MAX, w);
        s.width = static_cast<int64_t>(w);
    }
    if (i < n && t[i] == '.') {
        ++i;
        s.hasPrecision = true;
        if (i < n && t[i] == '*') {
            i = ParseStar(t, i, sequential, s.precisionArgument);
        } else {
            uint64_t p = 0;
            i = ReadNumber(t, i, INT_MAX, p);
            s.precision = static_cast<int64_t>(p);
        }
    }
    if (i < n) {
        char c = t[i];
        if (c == 'h') {
            ++i;
            s.length = LengthModifier::kH;
            if (i < n && t[i] == 'h') {
                ++i;
                s.length = LengthModifier::kHH;
            }
        } else if (c == 'l') {
            ++i;
            s.length = LengthModifier::kOther;
            if (i < n && t[i] == 'l') ++i;
        } else if (c == 'L' || c == 'j' || c == 't' || c == 'z') {
            ++i;
            s.length = LengthModifier::kOther;
        }
    }
    if (i < n) {
        s.conversion = t[i];
        s.hasConversion = true;
        ++i;
    }
    s.end = i;
    if (s.argument == 0 && !s.argumentAboveCount) {
        s.argument = sequential < UINT32_MAX ? sequential++ : UINT32_MAX;
    }
    return s;
}

bool HasIntegerConversion(FormatArgType type) {
    switch (type) {
        case FormatArgType::kChar:
        case FormatArgType::kSigned32:
        case FormatArgType::kUnsigned32:
        case FormatArgType::kSigned64:
        case FormatArgType::kUnsigned64:
            return true;
        default:
            return false;
    }
}

// The integer value of an argument used as "*" width or precision, clamped to the int range.
int64_t IntegerOf(const FormatArg& a) {
    int64_t v = 0;
    switch (a.type) {
        case FormatArgType::kChar:
            v = a.c;
            break;
        case FormatArgType::kSigned32:
            v = a.i32;
            break;
        case FormatArgType::kUnsigned32:
            v = a.u32;
            break;
        case FormatArgType::kSigned64:
            v = a.i64;
            break;
        case FormatArgType::kUnsigned64:
            v = static_cast<int64_t>(std::min<uint64_t>(a.u64, INT_MAX));
            break;
        default:
            break;
    }
    return std::clamp<int64_t>(v, INT_MIN, INT_MAX);
}

// Writes `size` bytes of `body` padded with spaces to the field width.
void WritePadded(Sink& out, const Placeholder& s, const char* body, size_t size) {
    uint64_t pad =
        static_cast<uint64_t>(s.width) > size ? static_cast<uint64_t>(s.width) - size : 0;
    if (!s.minus) out.Fill(' ', pad);
    out.Append(body, size);
    if (s.minus) out.Fill(' ', pad);
}

void WriteText(Sink& out, const Placeholder& s, const char* data, size_t size) {
    if (s.hasPrecision) size = std::min<uint64_t>(size, static_cast<uint64_t>(s.precision));
    WritePadded(out, s, data, size);
}

// Writes "major.minor.patch" (at most 32 characters) as text.
void WriteVersion(Sink& out, const Placeholder& s, const Version& v) {
    char text[33];
    char* p = text;
    for (uint32_t part : {v.major, v.minor, v.patch}) {
        char digits[10];
        int k = 0;
        do {
            digits[k++] = static_cast<char>('0' + part % 10);
            part /= 10;
        } while (part != 0);
        if (p != text) *p++ = '.';
        while (k > 0) *p++ = digits[--k];
    }
    WriteText(out, s, text, static_cast<size_t>(p - text));
}

// Writes an integer the way printf writes `bits` (an argument of `naturalBits` bits) with
// conversion `conv` among "cdiouxX".
void WriteInteger(Sink& out, const Placeholder& s, uint64_t bits, unsigned naturalBits, char conv) {
    unsigned widthBits = naturalBits;
    if (s.length == LengthModifier::kHH) widthBits = 8;
    if (s.length == LengthModifier::kH) widthBits = 16;
    const uint64_t mask = widthBits == 64 ? ~uint64_t{0} : (uint64_t{1} << widthBits) - 1;
    const uint64_t raw = bits & mask;

    if (conv == 'c') {
        char c = static_cast<char>(static_cast<unsigned char>(bits & 0xFF));
        WritePadded(out, s, &c, 1);
        return;
    }

    bool isSigned = conv == 'd' || conv == 'i';
    bool negative = isSigned && ((raw >> (widthBits - 1)) & 1) != 0;
    uint64_t magnitude = negative ? ((~raw + 1) & mask) : raw;

    unsigned base = 10;
    const char* alphabet = "0123456789abcdef";
    if (conv == 'o') base = 8;
    if (conv == 'x') base = 16;
    if (conv == 'X') {
        base = 16;
        alphabet = "0123456789ABCDEF";
    }

    char digits[24];
    size_t digitCount = 0;
    if (!(s.hasPrecision && s.precision == 0 && magnitude == 0)) {
        uint64_t m = magnitude;
        do {
            digits[sizeof(digits) - 1 - digitCount++] = alphabet[m % base];
            m /= base;
        } while (m != 0);
    }
    const char* digitText = digits + sizeof(digits) - digitCount;

    uint64_t precision = s.hasPrecision ? static_cast<uint64_t>(s.precision) : 1;
    if (conv == 'o' && s.hash && (digitCount == 0 || digitText[0] != '0')) {
        precision = std::max<uint64_t>(precision, digitCount + 1);
    }
    uint64_t zeros = precision > digitCount ? precision - digitCount : 0;

    char prefix[3];
    size_t prefixLen = 0;
    if (negative) {
        prefix[prefixLen++] = '-';
    } else if (isSigned && s.plus) {
        prefix[prefixLen++] = '+';
    } else if (isSigned && s.space) {
        prefix[prefixLen++] = ' ';
    }
    if (s.hash && base == 16 && magnitude != 0) {
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = conv;
    }

    uint64_t bodyLen = prefixLen + zeros + digitCount;
    uint64_t width = static_cast<uint64_t>(s.width);
    uint64_t pad = width > bodyLen ? width - bodyLen : 0;
    if (s.minus) {
        out.Append(prefix, prefixLen);
        out.Fill('0', zeros);
        out.Append(digitText, digitCount);
        out.Fill(' ', pad);
    } else if (s.zero && !s.hasPrecision) {
        out.Append(prefix, prefixLen);
        out.Fill('0', pad + zeros);
        out.Append(digitText, digitCount);
    } else {
        out.Fill(' ', pad);
        out.Append(prefix, prefixLen);
        out.Fill('0', zeros);
        out.Append(digitText, digitCount);
    }
}

// Writes a double with conversion `conv` among "aAeEfFgG" through the C library, with a
// format string built here from parsed pieces; the field width is applied here.
void WriteDouble(Sink& out, const Placeholder& s, double value, char conv) {
    char format[24];
    size_t k = 0;
    format[k++] = '%';
    if (s.plus) format[k++] = '+';
    if (s.space) format[k++] = ' ';
    if (s.hash) format[k++] = '#';
    uint64_t dropped = 0;
    if (s.hasPrecision) {
        int64_t precision = s.precision;
        if (precision > kMaxLibraryPrecision) {
            // %g without "#" strips trailing zeros, so the extra digits would not show at all.
            bool keepsZeros = !(conv == 'g' || conv == 'G') || s.hash;
            if (keepsZeros) dropped = static_cast<uint64_t>(precision - kMaxLibraryPrecision);
            precision = kMaxLibraryPrecision;
        }
        k += static_cast<size_t>(
            std::snprintf(format + k, sizeof(format) - k, ".%d", static_cast<int>(precision)));
    }
    format[k++] = conv;
    format[k] = '\0';

    const size_t start = out.len;
    const size_t room = out.Room();
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    int n = std::snprintf(out.data + start, room + 1, format, value);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (n < 0) {
        out.data[start] = '\0';
        return;
    }
    const uint64_t produced = static_cast<uint64_t>(n);
    const size_t written = static_cast<size_t>(std::min<uint64_t>(produced, room));
    const uint64_t logical = produced + dropped;
    const uint64_t width = static_cast<uint64_t>(s.width);
    const uint64_t pad = width > logical ? width - logical : 0;

    if (pad == 0 || s.minus) {
        out.len += written;
        out.Fill(' ', pad);
        return;
    }
    // Right-justified: move the text right and fill the gap, after the sign and "0x" when the
    // padding is zeros.
    size_t keep = 0;
    char fill = ' ';
    if (s.zero && std::isfinite(value)) {
        fill = '0';
        if (keep < written &&
            (out.data[start] == '-' || out.data[start] == '+' || out.data[start] == ' ')) {
            ++keep;
        }
        if ((conv == 'a' || conv == 'A') && keep + 1 < written && out.data[start + keep] == '0') {
            keep += 2;
        }
    }
    const size_t gapStart = start + keep;
    const uint64_t gapEnd = gapStart + pad;
    if (gapEnd < out.cap) {
        size_t move = std::min<size_t>(written - keep, out.cap - static_cast<size_t>(gapEnd));
        std::memmove(out.data + gapEnd, out.data + gapStart, move);
    }
    size_t fillCount = static_cast<size_t>(std::min<uint64_t>(pad, out.cap - gapStart));
    std::memset(out.data + gapStart, fill, fillCount);
    out.len = static_cast<size_t>(std::min<uint64_t>(out.cap, start + pad + produced + dropped));
}

bool Allowed(const char* letters, char c) {
    return c != '\0' && std::strchr(letters, c);
}

// Writes argument `a` for placeholder `s`.
void WriteArgument(Sink& out, const Placeholder& s, const FormatArg& a) {
    static constexpr const char* kAllowed[] = {
        "cdiouxX",   // char
        "dciouxX",   // signed 32
        "ucdioxX",   // unsigned 32
        "dciouxX",   // signed 64
        "ucdioxX",   // unsigned 64
        "gaefGAEF",  // double
        "s",         // text
        "s",         // version
    };
    const char* allowed = kAllowed[static_cast<size_t>(a.type)];
    char conv = allowed[0];
    if (s.hasConversion) {
        if (s.conversion == 'n') return;
        if (Allowed(allowed, s.conversion)) conv = s.conversion;
    }
    switch (a.type) {
        case FormatArgType::kChar:
            WriteInteger(out, s, static_cast<uint64_t>(static_cast<int64_t>(a.c)), 32, conv);
            break;
        case FormatArgType::kSigned32:
            WriteInteger(out, s, static_cast<uint64_t>(static_cast<int64_t>(a.i32)), 32, conv);
            break;
        case FormatArgType::kUnsigned32:
            WriteInteger(out, s, a.u32, 32, conv);
            break;
        case FormatArgType::kSigned64:
            WriteInteger(out, s, static_cast<uint64_t>(a.i64), 64, conv);
            break;
        case FormatArgType::kUnsigned64:
            WriteInteger(out, s, a.u64, 64, conv);
            break;
        case FormatArgType::kDouble:
            WriteDouble(out, s, a.d, conv);
            break;
        case FormatArgType::kText:
            WriteText(out, s, a.text.data, a.text.size);
            break;
        case FormatArgType::kVersion:
            WriteVersion(out, s, a.version);
            break;
    }
}

// Resolves "*" width and precision; false when a needed argument is missing.
bool ResolveStars(Placeholder& s, const FormatArg* args, size_t count) {
    if (s.widthArgument != 0) {
        if (s.widthArgument > count) return false;
        const FormatArg& a = args[s.widthArgument - 1];
        if (HasIntegerConversion(a.type)) {
            int64_t w = IntegerOf(a);
            if (w < 0) {
                s.minus = true;
                w = -w;
            }
            s.width = w;
        }
    }
    if (s.precisionArgument != 0) {
        if (s.precisionArgument > count) return false;
        const FormatArg& a = args[s.precisionArgument - 1];
        if (HasIntegerConversion(a.type) && IntegerOf(a) >= 0) {
            s.precision = IntegerOf(a);
        } else {
            s.hasPrecision = false;
        }
    }
    return true;
}

}  // namespace

size_t FormatPositionalArgs(char* out, size_t size, std::string_view tmpl, const FormatArg* args,
                            size_t count) noexcept {
    if (size == 0) return 0;
    Sink sink{out, std::min(size, kFormatBufferSize) - 1, 0};
    uint32_t sequential = 1;
    size_t i = 0;
    const size_t n = tmpl.size();
    while (i < n && !sink.Full()) {
        const char* percent = static_cast<const char*>(std::memchr(tmpl.data() + i, '%', n - i));
        size_t literalEnd = percent ? static_cast<size_t>(percent - tmpl.data()) : n;
        sink.Append(tmpl.data() + i, literalEnd - i);
        i = literalEnd;
        if (i >= n || sink.Full()) break;
        if (i + 1 < n && tmpl[i + 1] == '%') {
            sink.Put('%');
            i += 2;
            continue;
        }
        Placeholder s = ParsePlaceholder(tmpl, i, count, sequential);
        if (s.end - i > kPlaceholderMaxLength || s.argumentAboveCount || s.argument > count ||
            !ResolveStars(s, args, count)) {
            break;
        }
        WriteArgument(sink, s, args[s.argument - 1]);
        i = s.end;
    }
    out[sink.len] = '\0';
    return sink.len;
}

std::string FormatPositionalArgs(std::string_view tmpl, const FormatArg* args, size_t count) {
    char buffer[kFormatBufferSize];
    size_t n = FormatPositionalArgs(buffer, sizeof(buffer), tmpl, args, count);
    return std::string(buffer, n);
}

PlaceholderExtent MeasurePlaceholder(std::string_view tmpl, size_t pos,
                                     size_t argumentCount) noexcept {
    uint32_t sequential = 1;
    Placeholder s = ParsePlaceholder(tmpl, pos, argumentCount, sequential);
    return PlaceholderExtent{s.end, s.hasConversion};
}

}  // namespace Vane
