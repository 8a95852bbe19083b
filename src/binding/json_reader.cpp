#include "binding/json_reader.h"

#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>
#include <rapidjson/stream.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>

#include "binding/nesting_limit.h"
#include "util/format.h"

namespace Vane {
namespace {

// The grammar is RapidJSON's default (strict) one. Numbers are taken as their validated text and
// converted here: RapidJSON's default conversion misreads about one double in five by an ulp
// (so written doubles would not read back), and its full-precision one turns some numbers
// beyond the double range into garbage (10e308 reads as -3.09e-308) instead of failing. The
// reader works in place on a copy of the text (see ParseBytes).
constexpr unsigned kParseFlags =
    rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseInsituFlag;

// Why the value builder stopped the reader.
enum class BuildFailure : uint8_t { kNone, kTooDeep, kTooLong, kTooBig, kNoMemory };

const char* BuildFailureText(BuildFailure failure) noexcept {
    switch (failure) {
        case BuildFailure::kTooDeep:
            return "Nesting deeper than 512 levels.";
        case BuildFailure::kTooLong:
            return "Array longer than 268435455 elements.";
        case BuildFailure::kTooBig:
            return JsonErrorText(rapidjson::kParseErrorNumberTooBig);
        case BuildFailure::kNoMemory:
            return "Out of memory.";
        case BuildFailure::kNone:
            break;
    }
    return JsonErrorText(rapidjson::kParseErrorTermination);
}

static_assert(kMaxNestingDepth == 512 && kMaxCollectionSize == 268435455,
              "the reader's messages spell out these limits");

// RapidJSON SAX handler building a BindingProperty in place. The stack holds the open
// collections and structures; `target_` is the value the next scalar or container fills when
// the innermost open container is a structure (or at the root). Element pointers stay valid
// while they are on the stack because a collection only grows when its open child is closed.
class ValueBuilder {
  public:
    explicit ValueBuilder(BindingProperty& root) noexcept : target_(&root) {}

    BuildFailure Failure() const noexcept { return failure_; }

    bool Null() noexcept { return !inCollection_ || Append() != nullptr; }

    bool Bool(bool value) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetBool(value);
        return true;
    }
    // Numbers arrive as their text (see kParseFlags); these typed callbacks are part of the
    // handler interface but unused with those flags.
    bool Int(int value) noexcept { return SetSigned(value); }
    bool Uint(unsigned value) noexcept { return SetUnsigned(value); }
    bool Int64(int64_t value) noexcept { return SetSigned(value); }
    bool Uint64(uint64_t value) noexcept { return SetUnsigned(value); }
    bool Double(double value) noexcept { return SetFloat(value); }
    // A number as the reader validated it: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool RawNumber(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        const std::string_view number(text, length);
        if (number.find_first_of(".eE") == std::string_view::npos) {
            const bool negative = !number.empty() && number.front() == '-';
            uint64_t magnitude = 0;
            bool fits = true;
            for (size_t index = negative ? 1 : 0; index < number.size() && fits; ++index) {
                const unsigned digit = static_cast<unsigned>(number[index] - '0');
                fits = magnitude <= (UINT64_MAX - digit) / 10;
                magnitude = magnitude * 10 + digit;
            }
            if (fits && !negative) return SetUnsigned(magnitude);
            if (fits && magnitude <= uint64_t{1} << 63) {
                return SetSigned(static_cast<int64_t>(0 - magnitude));
            }
        }
        double value = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(),
                                                  value, std::chars_format::general);
        if (error == std::errc::result_out_of_range) {
            if (!Underflows(number)) return Fail(BuildFailure::kTooBig);
            value = number.front() == '-' ? -0.0 : 0.0;
        } else if (error != std::errc() || end != number.data() + number.size()) {
            return Fail(BuildFailure::kTooBig);
        }
        return SetFloat(value);
    }
    bool String(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        return target->SetString(std::string_view(text, length)) || Fail(BuildFailure::kNoMemory);
    }
    bool StartObject() noexcept { return Open(false); }
    bool Key(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        target_ = top_->MemberForWrite(std::string_view(text, length));
        return target_ != nullptr || Fail(BuildFailure::kNoMemory);
    }
    bool EndObject(rapidjson::SizeType /*count*/) noexcept { return Close(); }
    bool StartArray() noexcept { return Open(true); }
    bool EndArray(rapidjson::SizeType /*count*/) noexcept { return Close(); }

  private:
    bool SetSigned(int64_t value) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetSigned(value);
        return true;
    }
    bool SetUnsigned(uint64_t value) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetUnsigned(value);
        return true;
    }
    bool SetFloat(double value) noexcept {
        if (!std::isfinite(value)) return Fail(BuildFailure::kTooBig);
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetFloat(value);
        return true;
    }

    // Whether a number out of a double's range is too small (rather than too big): its decimal
    // magnitude, the power of ten of its first significant digit, is negative.
    static bool Underflows(std::string_view number) noexcept {
        size_t index = number.front() == '-' ? 1 : 0;
        int64_t magnitude = -1;
        bool seenDigit = false;
        bool fraction = false;
        for (; index < number.size() && number[index] != 'e' && number[index] != 'E'; ++index) {
            const char c = number[index];
            if (c == '.') {
                fraction = true;
            } else if (!seenDigit && c == '0') {
                if (fraction) --magnitude;
            } else if (!fraction) {
                seenDigit = true;
                ++magnitude;
            } else {
                seenDigit = true;
            }
        }
        if (!seenDigit) return true;
        int64_t exponent = 0;
        bool negativeExponent = false;
        if (index < number.size()) {
            ++index;
            if (index < number.size() && (number[index] == '+' || number[index] == '-')) {
                negativeExponent = number[index++] == '-';
            }
            for (; index < number.size(); ++index) {
                if (exponent < 100000000) exponent = exponent * 10 + (number[index] - '0');
            }
        }
        return magnitude + (negativeExponent ? -exponent : exponent) < 0;
    }

    bool Fail(BuildFailure failure) noexcept {
        failure_ = failure;
        return false;
    }

    // The value the next event fills: a new element inside a collection, else the target.
    BindingProperty* Next() noexcept { return inCollection_ ? Append() : target_; }

    BindingProperty* Append() noexcept {
        BindingProperty* element = top_->AppendElement();
        if (!element) {
            Fail(top_->Size() >= kMaxCollectionSize ? BuildFailure::kTooLong
                                                    : BuildFailure::kNoMemory);
        }
        return element;
    }

    // Opens a collection or structure on the next value; an existing one of the same kind is
    // kept, so a repeated key appends to or merges into it.
    bool Open(bool collection) noexcept {
        if (depth_ == kMaxNestingDepth) return Fail(BuildFailure::kTooDeep);
        BindingProperty* target = Next();
        if (!target) return false;
        if (!(collection ? target->MakeCollection() : target->MakeStructure())) {
            return Fail(BuildFailure::kNoMemory);
        }
        stack_[depth_++] = target;
        top_ = target;
        inCollection_ = collection;
        return true;
    }

    bool Close() noexcept {
        --depth_;
        top_ = depth_ > 0 ? stack_[depth_ - 1] : nullptr;
        inCollection_ = top_ != nullptr && top_->Kind() == PropertyKind::kCollection;
        return true;
    }

    BindingProperty* stack_[kMaxNestingDepth];
    BindingProperty* top_ = nullptr;
    BindingProperty* target_;
    size_t depth_ = 0;
    bool inCollection_ = false;
    BuildFailure failure_ = BuildFailure::kNone;
};

bool IsJsonSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void FailAt(ConversionStatus& status, const char* text, size_t offset) noexcept {
    char message[256];
    const size_t length = FormatPositionalTo(message, "Error: %s at offset %u.", text, offset);
    status.Fail(std::string_view(message, length));
}

// Parses the `size` bytes at `begin`. The reader works in place on a terminated copy: strings
// are decoded where they stand instead of through the reader's scratch stack (about twice as
// fast), and since the copy ends with a NUL of its own the reader never touches a byte beyond
// the caller's buffer.
ConversionStatus ParseBytes(const char* begin, size_t size) noexcept {
    ConversionStatus status;
    size_t start = 0;
    while (start < size && IsJsonSpace(begin[start])) ++start;
    if (start == size) return status;

    std::unique_ptr<char[]> copy(new (std::nothrow) char[size + 1]);
    if (!copy) {
        FailAt(status, BuildFailureText(BuildFailure::kNoMemory), 0);
        return status;
    }
    std::memcpy(copy.get(), begin, size);
    copy[size] = '\0';

    rapidjson::InsituStringStream stream(copy.get());
    ValueBuilder builder(status.Value());
    rapidjson::Reader reader;
    try {
        reader.Parse<kParseFlags>(stream, builder);
    } catch (...) {
        // RapidJSON creates its scratch allocator with new, which may throw.
        FailAt(status, BuildFailureText(BuildFailure::kNoMemory), stream.Tell());
        return status;
    }
    if (reader.HasParseError()) {
        const rapidjson::ParseErrorCode code = reader.GetParseErrorCode();
        size_t offset = reader.GetErrorOffset();
        const char* text = JsonErrorText(code);
        if (code == rapidjson::kParseErrorTermination) {
            text = BuildFailureText(builder.Failure());
            // Reported just past the bracket that would open one level too many.
            if (builder.Failure() == BuildFailure::kTooDeep && offset > 0) --offset;
        } else if (code == rapidjson::kParseErrorDocumentEmpty) {
            // Non-blank text that reads as empty starts with a NUL byte.
            text = JsonErrorText(rapidjson::kParseErrorValueInvalid);
        }
        FailAt(status, text, offset);
    } else if (stream.Tell() < size) {
        // The reader took a NUL byte for the end of the input; what follows is still there.
        FailAt(status, JsonErrorText(rapidjson::kParseErrorDocumentRootNotSingular), stream.Tell());
    }
    return status;
}

}  // namespace

const char* JsonErrorText(unsigned code) noexcept {
    static const char* const kTexts[] = {
        "No error.",
        "The document is empty.",
        "The document root must not be followed by other values.",
        "Invalid value.",
        "Missing a name for object member.",
        "Missing a colon after a name of object member.",
        "Missing a comma or '}' after an object member.",
        "Missing a comma or ']' after an array element.",
        "Incorrect hex digit after \\u escape in string.",
        "The surrogate pair in string is invalid.",
        "Invalid escape character in string.",
        "Missing a closing quotation mark in string.",
        "Invalid encoding in string.",
        "Number too big to be stored in double.",
        "Miss fraction part in number.",
        "Miss exponent in number.",
        "Terminate parsing due to Handler error.",
        "Unspecific syntax error.",
    };
    return code < std::size(kTexts) ? kTexts[code] : "Unknown error.";
}

ConversionStatus ParseJson(const char* text) noexcept {
    if (text == nullptr) return ConversionStatus();
    return ParseBytes(text, std::strlen(text));
}

ConversionStatus ParseJson(std::string_view text) noexcept {
    return ParseBytes(text.data(), text.size());
}

ConversionStatus ParseJson(const std::string& text) noexcept {
    return ParseBytes(text.data(), text.size());
}

bool LooksLikeJson(std::string_view text) noexcept {
    size_t index = 0;
    while (index < text.size() && text[index] == ' ') ++index;
    return index < text.size() && (text[index] == '{' || text[index] == '[');
}

}  // namespace Vane
