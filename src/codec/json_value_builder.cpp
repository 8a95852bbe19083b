#include "codec/json_value_builder.h"

#include <rapidjson/error/error.h>

#include <charconv>
#include <cmath>
#include <system_error>

#include "codec/json_reader.h"

namespace Vane {
namespace {

static_assert(kMaxNestingDepth == 512 && kMaxCollectionSize == 268435455,
              "the readers' messages spell out these limits");

// Whether a number out of a double's range is too small (rather than too big): its decimal
// magnitude, the power of ten of its first significant digit, is negative.
bool Underflows(std::string_view number) noexcept {
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

}  // namespace

const char* JsonBuildFailureText(JsonBuildFailure failure) noexcept {
    switch (failure) {
        case JsonBuildFailure::kTooDeep:
            return "Nesting deeper than 512 levels.";
        case JsonBuildFailure::kTooLong:
            return "Array longer than 268435455 elements.";
        case JsonBuildFailure::kTooBig:
            return JsonErrorText(rapidjson::kParseErrorNumberTooBig);
        case JsonBuildFailure::kNoMemory:
            return "Out of memory.";
        case JsonBuildFailure::kNone:
            break;
    }
    return JsonErrorText(rapidjson::kParseErrorTermination);
}

JsonNumber ReadJsonFloat(std::string_view number) noexcept {
    JsonNumber result;
    if (number.empty()) {
        result.kind = JsonNumber::Kind::kTooBig;
        return result;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (!Underflows(number)) {
            result.kind = JsonNumber::Kind::kTooBig;
            return result;
        }
        value = number.front() == '-' ? -0.0 : 0.0;
    } else if (error != std::errc() || end != number.data() + number.size() ||
               !std::isfinite(value)) {
        result.kind = JsonNumber::Kind::kTooBig;
        return result;
    }
    result.kind = JsonNumber::Kind::kFloat;
    result.floatValue = value;
    return result;
}

}  // namespace Vane
