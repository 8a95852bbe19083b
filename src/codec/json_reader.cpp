#include "codec/json_reader.h"

#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>
#include <rapidjson/stream.h>

#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string_view>

#include "codec/json_value_builder.h"
#include "util/format.h"

namespace Vane {
namespace {

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
        FailAt(status, JsonBuildFailureText(JsonBuildFailure::kNoMemory), 0);
        return status;
    }
    std::memcpy(copy.get(), begin, size);
    copy[size] = '\0';

    rapidjson::InsituStringStream stream(copy.get());
    JsonValueBuilder builder(status.Value());
    rapidjson::Reader reader;
    try {
        reader.Parse<kJsonParseFlags>(stream, builder);
    } catch (...) {
        // RapidJSON creates its scratch allocator with new, which may throw.
        FailAt(status, JsonBuildFailureText(JsonBuildFailure::kNoMemory), stream.Tell());
        return status;
    }
    if (reader.HasParseError()) {
        const rapidjson::ParseErrorCode code = reader.GetParseErrorCode();
        size_t offset = reader.GetErrorOffset();
        const char* text = JsonErrorText(code);
        if (code == rapidjson::kParseErrorTermination) {
            text = JsonBuildFailureText(builder.Failure());
            // Reported just past the bracket that would open one level too many.
            if (builder.Failure() == JsonBuildFailure::kTooDeep && offset > 0) --offset;
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
