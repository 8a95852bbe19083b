// The pieces both JSON readers share: the reader's parse flags, the reading of a number's text,
// and the SAX handler that builds a BindingProperty in place. ParseJson (json_reader.h) runs the
// handler over a whole document; the native reader (native_json_reader.h) runs it over the
// parts of a document that land in a held value.
#ifndef PYX_CODEC_JSON_VALUE_BUILDER_H_
#define PYX_CODEC_JSON_VALUE_BUILDER_H_

#include <rapidjson/reader.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "value/binding_property.h"
#include "value/nesting_limit.h"

namespace Vane {

// The reader's grammar is RapidJSON's default (strict) one. Numbers are taken as their validated
// text and converted by ReadJsonNumber: RapidJSON's default conversion misreads about one double
// in five by an ulp (so written doubles would not read back), and its full-precision one turns
// some numbers beyond the double range into garbage (10e308 reads as -3.09e-308) instead of
// failing. The readers work in place on a terminated copy of the text: strings are decoded where
// they stand (about twice as fast as through the reader's scratch stack) and end with a NUL.
inline constexpr unsigned kJsonParseFlags =
    rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseInsituFlag;

// The white space JSON allows around values.
inline bool IsJsonSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Why a value builder stopped the reader.
enum class JsonBuildFailure : uint8_t { kNone, kTooDeep, kTooLong, kTooBig, kNoMemory };

// The message text of a builder failure ("Nesting deeper than 512 levels.", ...).
const char* JsonBuildFailureText(JsonBuildFailure failure) noexcept;

// A JSON number as the value model holds it.
struct JsonNumber {
    enum class Kind : uint8_t { kUnsigned, kSigned, kFloat, kTooBig };
    Kind kind = Kind::kUnsigned;
    uint64_t unsignedValue = 0;
    int64_t signedValue = 0;
    double floatValue = 0;
};

// Reads a number that is not a 64-bit integer as the correctly rounded double (see
// ReadJsonNumber).
JsonNumber ReadJsonFloat(std::string_view number) noexcept;

// Reads a number as the reader validated it (-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?): an
// integer without fraction or exponent that fits 64 bits is unsigned without a minus sign and
// signed with one; every other number is the correctly rounded double, one too small for the
// smallest subnormal being 0.0 with its sign; kTooBig when its magnitude does not fit a double.
// Integers, by far the most common numbers, are read here without a call.
inline JsonNumber ReadJsonNumber(std::string_view number) noexcept {
    if (number.empty() || number.size() > 20) return ReadJsonFloat(number);
    const bool negative = number.front() == '-';
    uint64_t magnitude = 0;
    for (size_t index = negative ? 1 : 0; index < number.size(); ++index) {
        const unsigned digit = static_cast<unsigned>(number[index] - '0');
        if (digit > 9 || magnitude > (UINT64_MAX - digit) / 10) return ReadJsonFloat(number);
        magnitude = magnitude * 10 + digit;
    }
    JsonNumber result;
    if (!negative) {
        result.kind = JsonNumber::Kind::kUnsigned;
        result.unsignedValue = magnitude;
        return result;
    }
    if (magnitude > uint64_t{1} << 63) return ReadJsonFloat(number);
    result.kind = JsonNumber::Kind::kSigned;
    result.signedValue = static_cast<int64_t>(0 - magnitude);
    return result;
}

// RapidJSON SAX handler building a BindingProperty in place. The stack holds the open
// collections and structures; `target_` is the value the next scalar or container fills when
// the innermost open container is a structure (or at the root). Element pointers stay valid
// while they are on the stack because a collection only grows when its open child is closed.
//
// Mapping: null inside a collection appends an empty element and elsewhere leaves the target as
// it is; a container opened on an existing one of the same kind is kept, so a repeated key
// appends to a collection or merges into a structure. At most kMaxNestingDepth containers may be
// open at once, counting `outerDepth` containers its caller already has open.
class JsonValueBuilder {
  public:
    explicit JsonValueBuilder(BindingProperty& root, size_t outerDepth = 0) noexcept
        : target_(&root), outerDepth_(outerDepth) {}

    JsonBuildFailure Failure() const noexcept { return failure_; }
    // Containers open now (the caller's outer ones not counted).
    size_t Depth() const noexcept { return depth_; }

    bool Null() noexcept { return !inCollection_ || Append() != nullptr; }
    bool Bool(bool value) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetBool(value);
        return true;
    }
    // Numbers arrive as their text (see kJsonParseFlags); these typed callbacks are part of the
    // handler interface but unused with those flags.
    bool Int(int value) noexcept { return SetSigned(value); }
    bool Uint(unsigned value) noexcept { return SetUnsigned(value); }
    bool Int64(int64_t value) noexcept { return SetSigned(value); }
    bool Uint64(uint64_t value) noexcept { return SetUnsigned(value); }
    bool Double(double value) noexcept { return SetFloat(value); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        const JsonNumber number = ReadJsonNumber(std::string_view(text, length));
        switch (number.kind) {
            case JsonNumber::Kind::kUnsigned:
                return SetUnsigned(number.unsignedValue);
            case JsonNumber::Kind::kSigned:
                return SetSigned(number.signedValue);
            case JsonNumber::Kind::kFloat:
                return SetFloat(number.floatValue);
            case JsonNumber::Kind::kTooBig:
                break;
        }
        return Fail(JsonBuildFailure::kTooBig);
    }
    bool String(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        BindingProperty* target = Next();
        if (!target) return false;
        return target->SetString(std::string_view(text, length)) ||
               Fail(JsonBuildFailure::kNoMemory);
    }
    bool StartObject() noexcept { return Open(false); }
    bool Key(const char* text, rapidjson::SizeType length, bool /*copy*/) noexcept {
        target_ = top_->MemberForWrite(std::string_view(text, length));
        return target_ != nullptr || Fail(JsonBuildFailure::kNoMemory);
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
        BindingProperty* target = Next();
        if (!target) return false;
        target->SetFloat(value);
        return true;
    }

    bool Fail(JsonBuildFailure failure) noexcept {
        failure_ = failure;
        return false;
    }

    // The value the next event fills: a new element inside a collection, else the target.
    BindingProperty* Next() noexcept { return inCollection_ ? Append() : target_; }

    BindingProperty* Append() noexcept {
        BindingProperty* element = top_->AppendElement();
        if (!element) {
            Fail(top_->Size() >= kMaxCollectionSize ? JsonBuildFailure::kTooLong
                                                    : JsonBuildFailure::kNoMemory);
        }
        return element;
    }

    bool Open(bool collection) noexcept {
        if (outerDepth_ + depth_ >= kMaxNestingDepth) return Fail(JsonBuildFailure::kTooDeep);
        BindingProperty* target = Next();
        if (!target) return false;
        if (!(collection ? target->MakeCollection() : target->MakeStructure())) {
            return Fail(JsonBuildFailure::kNoMemory);
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
    size_t outerDepth_;
    size_t depth_ = 0;
    bool inCollection_ = false;
    JsonBuildFailure failure_ = JsonBuildFailure::kNone;
};

}  // namespace Vane

#endif  // PYX_CODEC_JSON_VALUE_BUILDER_H_
