// Fuzzes the JSON reader and writer. Arbitrary bytes are read; a failure must be a well-formed
// message that RapidJSON's own document parser agrees with, and a success must survive
// writing (compact and pretty) and reading back unchanged, with the writer's output stable.
// Aborts on any disagreement.

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "util/format.h"

namespace {

using Vane::BindingProperty;
using Vane::ConversionStatus;
using Vane::PropertyKind;

void Check(bool condition) {
    if (!condition) std::abort();
}

// Equality as the text can express it: doubles by their bits; a signed 0 (read from "-0") and
// an unsigned 0 are the same number, since both are written "0".
bool Same(const BindingProperty& left, const BindingProperty& right) {
    if (left.Kind() != right.Kind()) {
        const bool zeros =
            (left.Kind() == PropertyKind::kSigned || left.Kind() == PropertyKind::kUnsigned) &&
            (right.Kind() == PropertyKind::kSigned || right.Kind() == PropertyKind::kUnsigned) &&
            left.GetSigned() == 0 && left.GetUnsigned() == 0 && right.GetSigned() == 0 &&
            right.GetUnsigned() == 0;
        return zeros;
    }
    switch (left.Kind()) {
        case PropertyKind::kFloat: {
            const double a = left.GetFloat();
            const double b = right.GetFloat();
            return std::memcmp(&a, &b, sizeof a) == 0;
        }
        case PropertyKind::kCollection: {
            if (left.Size() != right.Size()) return false;
            for (size_t index = 0; index < left.Size(); ++index) {
                if (!Same(left.Element(index), right.Element(index))) return false;
            }
            return true;
        }
        case PropertyKind::kStructure: {
            if (left.Size() != right.Size()) return false;
            auto other = right.Members().begin();
            for (const auto [name, member] : left.Members()) {
                const auto [otherName, otherMember] = *other;
                if (name != otherName || !Same(member, otherMember)) return false;
                ++other;
            }
            return true;
        }
        default:
            return left == right;
    }
}

// An output stream for RapidJSON's writer (its StringBuffer offsets a null pointer on first
// use).
struct StringOutput {
    using Ch = char;
    void Put(char c) { text.push_back(c); }
    void Flush() {}
    std::string text;
};

// RapidJSON's own writer's form of `text` as a string.
std::string RapidJsonString(std::string_view text) {
    StringOutput output;
    rapidjson::Writer<StringOutput> writer(output);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return output.text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Reads `text` with RapidJSON's reader on its own (default flags, in place on a terminated
// copy, a handler that keeps nothing) and checks that it fails exactly where ParseJson failed,
// or succeeds where ParseJson succeeded. ParseJson goes further in three places: it limits
// nesting, rejects numbers beyond the double range that RapidJSON turns into infinities, and
// rejects bytes after a NUL that RapidJSON takes for the end of the text. (RapidJSON's
// document parser can't serve here: its value stack offsets a null pointer on first use.)
void CompareWithRapidJson(std::string_view text, const ConversionStatus& status) {
    std::string copy(text);
    rapidjson::InsituStringStream stream(copy.data());
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::Reader reader;
    reader.Parse<rapidjson::kParseInsituFlag>(stream, handler);
    const std::string_view error = status.Error();
    if (StartsWith(error, "Error: Nesting deeper than") ||
        StartsWith(error, "Error: Number too big")) {
        return;
    }
    if (reader.HasParseError()) {
        if (reader.GetParseErrorCode() == rapidjson::kParseErrorDocumentEmpty) {
            // Blank text, or a NUL where the root begins (reported as an invalid value).
            Check(status.Ok() || StartsWith(error, "Error: Invalid value."));
            return;
        }
        const std::string expected = Vane::FormatPositional(
            "Error: %s at offset %u.", GetParseError_En(reader.GetParseErrorCode()),
            reader.GetErrorOffset());
        Check(error == expected);
        return;
    }
    Check(status.Ok() || (StartsWith(error, "Error: The document root must not be followed") &&
                          text.find('\0') != std::string_view::npos));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ConversionStatus first = Vane::ParseJson(text);

    // The std::string form reads the same bytes and gives the same result.
    const ConversionStatus owned = Vane::ParseJson(std::string(text));
    Check(owned.Ok() == first.Ok() && owned.Error() == first.Error());

    // Strings are escaped exactly as RapidJSON's writer escapes them.
    BindingProperty string;
    string.SetString(text);
    Check(Vane::WriteJson(string) == RapidJsonString(text));

    size_t brackets = 0;
    for (char c : text) brackets += c == '[' || c == '{';
    if (brackets < 200) CompareWithRapidJson(text, first);

    if (!first.Ok()) {
        Check(StartsWith(first.Error(), "Error: ") && first.Value().Size() == 1);
        return 0;
    }
    Check(Same(first.Value(), owned.Value()));

    const std::string compact = Vane::WriteJson(first.Value());
    Check(compact.empty() == first.Value().IsEmpty());
    const ConversionStatus second = Vane::ParseJson(compact);
    Check(second.Ok());
    Check(Same(first.Value(), second.Value()));
    Check(Vane::WriteJson(second.Value()) == compact);

    const std::string pretty = Vane::WriteJson(first.Value(), nullptr, "\r\n");
    const ConversionStatus third = Vane::ParseJson(pretty);
    Check(third.Ok());
    Check(Same(first.Value(), third.Value()));
    return 0;
}
