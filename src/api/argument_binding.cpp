#include "api/argument_binding.h"

#include <exception>
#include <string>

#include "codec/json_reader.h"
#include "codec/message_pack_reader.h"
#include "codec/yaml_reader.h"
#include "host/host_value.h"
#include "util/format.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

constexpr char kOutOfMemory[] = "Couldn't bind the arguments of '%1' because memory ran out.";

char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) noexcept {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
    }
    return true;
}

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

int DigitValue(char c, unsigned base) noexcept {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

enum class IndexStatus { kOk, kIncorrectFormat, kOutOfRange };

// Reads an index segment as strtoul with base 0 does: "0x" followed by a hexadecimal digit
// starts a hexadecimal number, any other leading "0" an octal one. Bytes left after the number
// make the format incorrect; a value of 2^31 or more is out of range (overflow included, which
// the digits still run through, as strtoul consumes them).
IndexStatus ParseIndex(std::string_view segment, uint64_t& index) noexcept {
    size_t position = 0;
    unsigned base = 10;
    if (segment[0] == '0') {
        if (segment.size() > 2 && (segment[1] == 'x' || segment[1] == 'X') &&
            DigitValue(segment[2], 16) >= 0) {
            base = 16;
            position = 2;
        } else {
            base = 8;
        }
    }
    constexpr uint64_t kLimit = uint64_t{1} << 31;
    uint64_t value = 0;
    bool tooLarge = false;
    for (; position < segment.size(); ++position) {
        const int digit = DigitValue(segment[position], base);
        if (digit < 0) break;
        if (!tooLarge) {
            value = value * base + static_cast<uint64_t>(digit);
            tooLarge = value >= kLimit;
        }
    }
    if (position != segment.size()) return IndexStatus::kIncorrectFormat;
    if (tooLarge) return IndexStatus::kOutOfRange;
    index = value;
    return IndexStatus::kOk;
}

// Moves a decoded value into `target`; fails `result` when memory ran out.
bool Place(FunctionResult& result, BindingProperty& target, BindingProperty& decoded,
           std::string_view functionName) noexcept {
    if (target.MoveFrom(decoded)) return true;
    result.SetFailure(FormatPositional(kOutOfMemory, functionName));
    return false;
}

}  // namespace

ArgumentBinder::ArgumentBinder(FunctionResult& result, std::span<BindingProperty> arguments,
                               const RouteBinding& binding) noexcept
    : result_(result), arguments_(arguments), binding_(binding) {}

bool ArgumentBinder::Fail(std::string_view message) noexcept {
    result_.SetFailure(message);
    return false;
}

BindingProperty* ArgumentBinder::Descend(BindingProperty& root, std::string_view argumentName,
                                         std::string_view path,
                                         std::string_view& lastSegment) noexcept {
    const std::string_view functionName = binding_.function->name;
    size_t depth = 1;
    for (char c : path) depth += c == '.' ? 1 : 0;
    if (depth > kMaxNestingDepth) {
        Fail(FormatPositional("Argument '%1' for '%2' is nested deeper than %3 levels.",
                              argumentName, functionName, kMaxNestingDepth));
        return nullptr;
    }
    BindingProperty* current = &root;
    while (true) {
        const size_t dot = path.find('.');
        const std::string_view segment = path.substr(0, dot);
        if (!segment.empty() && IsDigit(segment[0])) {
            uint64_t index = 0;
            switch (ParseIndex(segment, index)) {
                case IndexStatus::kIncorrectFormat:
                    Fail(FormatPositional("Index %1 is in an incorrect format", segment));
                    return nullptr;
                case IndexStatus::kOutOfRange:
                    Fail(FormatPositional("Index %1 is out of range", segment));
                    return nullptr;
                case IndexStatus::kOk:
                    break;
            }
            const size_t present =
                current->Kind() == PropertyKind::kCollection ? current->Size() : 0;
            if (index >= present) {
                const uint64_t added = index + 1 - present;
                if (added > indexBudget_) {
                    Fail(FormatPositional("Index %1 is out of range", segment));
                    return nullptr;
                }
                indexBudget_ -= static_cast<size_t>(added);
            }
            current = current->ElementAt(static_cast<size_t>(index));
        } else {
            current = current->MemberForWrite(segment);
        }
        if (!current) {
            Fail(FormatPositional(kOutOfMemory, functionName));
            return nullptr;
        }
        lastSegment = segment;
        if (dot == std::string_view::npos) return current;
        path.remove_prefix(dot + 1);
    }
}

bool ArgumentBinder::BindOne(std::string_view key, std::string_view value,
                             ArgumentLocation location) noexcept {
    const BindingFunction& function = *binding_.function;
    const size_t dot = key.find('.');
    const std::string_view name = key.substr(0, dot);
    const int32_t index = function.ArgumentIndex(name);
    if (index < 0 || static_cast<size_t>(index) >= arguments_.size()) {
        return Fail(FormatPositional("Unknown argument '%1' for '%2'.", name, function.name));
    }
    const ArgumentLocation declared = binding_.argumentLocations[static_cast<size_t>(index)];
    if (declared != ArgumentLocation::kAny && declared != location) {
        return Fail(FormatPositional("Argument '%1' for '%2' was specified in an invalid location.",
                                     name, function.name));
    }
    const BindingArgument& argument = function.arguments[static_cast<size_t>(index)];
    BindingProperty& target = arguments_[static_cast<size_t>(index)];

    if (dot != std::string_view::npos) {
        std::string_view lastSegment;
        BindingProperty* leaf = Descend(target, name, key.substr(dot + 1), lastSegment);
        if (!leaf) return false;
        // The element reached is a leaf: its text is never parsed as a document.
        return DecodeValue(result_, *leaf, value, std::string_view(), false, lastSegment,
                           function.name);
    }

    if (value.empty()) {
        bool made = true;
        switch (static_cast<NativeKind>(argument.Kind())) {
            case NativeKind::kBool:
                target.SetBool(true);
                break;
            case NativeKind::kObject:
            case NativeKind::kStruct:
                target.Clear();
                made = target.MakeStructure();
                break;
            case NativeKind::kVector:
                target.Clear();
                made = target.MakeCollection();
                break;
            default:
                return Fail(FormatPositional("Expected value for argument '%1'.", name));
        }
        return made || Fail(FormatPositional(kOutOfMemory, function.name));
    }
    return DecodeValue(result_, target, value, std::string_view(), argument.IsContainer(), name,
                       function.name);
}

void BindArguments(FunctionResult& result, std::vector<BindingProperty>& arguments,
                   const RouteBinding& binding, std::span<const QueryEntry> query,
                   std::span<const RouteCapture> captures,
                   std::span<const HostHeader> headers) noexcept {
    const BindingFunction& function = *binding.function;
    try {
        arguments.clear();
        arguments.resize(function.arguments.size());
        for (size_t i = 0; i < function.arguments.size(); ++i) {
            const BindingArgument& argument = function.arguments[i];
            if (argument.Kind() == static_cast<uint32_t>(NativeKind::kBool) && !argument.optional &&
                arguments[i].IsEmpty()) {
                arguments[i].SetBool(false);
            }
        }

        ArgumentBinder binder(result, arguments, binding);
        if (!headers.empty()) {
            std::string lowered;
            for (size_t i = 0; i < function.arguments.size(); ++i) {
                const ArgumentLocation location = binding.argumentLocations[i];
                if (location != ArgumentLocation::kAny && location != ArgumentLocation::kHeader) {
                    continue;
                }
                const std::string& name = function.arguments[i].name;
                lowered.assign(name);
                for (char& c : lowered) c = LowerAscii(c);
                // Scanning from the end lets a repeated header name keep its last value.
                for (size_t h = headers.size(); h-- > 0;) {
                    if (!headers[h].name || lowered != headers[h].name) continue;
                    const char* value = headers[h].value ? headers[h].value : "";
                    if (!binder.BindOne(name, value, ArgumentLocation::kHeader)) return;
                    break;
                }
            }
        }
        for (const RouteCapture& capture : captures) {
            if (!binder.BindOne(capture.name, capture.text, ArgumentLocation::kPath)) return;
        }
        for (const QueryEntry& entry : query) {
            if (!binder.BindOne(entry.key, entry.value, ArgumentLocation::kQuery)) return;
        }
    } catch (const std::exception&) {
        result.SetFailure(FormatPositional(kOutOfMemory, function.name));
    }
}

void BindHostArguments(FunctionResult& result, std::span<BindingProperty> arguments,
                       const RouteBinding& binding, std::span<const HostArgument> entries,
                       size_t captureCount) noexcept {
    const BindingFunction& function = *binding.function;
    for (size_t position = 0; position < entries.size() && !result.IsFailure(); ++position) {
        const HostArgument& entry = entries[position];
        size_t index = 0;
        bool found = false;
        if (entry.name) {
            const int32_t named = function.ArgumentIndex(entry.name);
            found = named >= 0;
            index = static_cast<size_t>(named);
        } else {
            index = position + captureCount;
            found = true;
        }
        if (!found || index >= arguments.size()) {
            if (entry.name) {
                result.SetFailure(
                    FormatPositional("Unknown argument '%1' for '%2'.", entry.name, function.name));
            } else {
                result.SetFailure(
                    FormatPositional("Unknown argument '%1' for '%2'.", index, function.name));
            }
            return;
        }
        HostErrorSlot error;
        if (!HostValueToBinding(entry.value, function.arguments[index].name, arguments[index],
                                error)) {
            result.SetFailure(error.text ? std::string_view(error.text) : std::string_view());
            ReleaseHostError(error);
            return;
        }
    }
}

void BindBody(FunctionResult& result, std::span<BindingProperty> arguments,
              const RouteBinding& binding, const uint8_t* body, size_t length,
              std::string_view contentType) noexcept {
    if (!body || result.IsFailure()) return;
    if (binding.bodyArgument < 0 || static_cast<size_t>(binding.bodyArgument) >= arguments.size()) {
        return;
    }
    BindingProperty& target = arguments[static_cast<size_t>(binding.bodyArgument)];
    const std::string_view text(reinterpret_cast<const char*>(body), length);
    const std::string_view functionName = binding.function->name;
    if (StartsWithNoCase(contentType, "application/x-msgpack")) {
        MessagePackResult decoded = DecodeMessagePack(body, length);
        if (!decoded.status.Ok()) return result.SetFailure(decoded.status.Error());
        if (decoded.consumed < length) {
            return result.SetFailure("Extra MessgePack data found in body");
        }
        Place(result, target, decoded.status.Value(), functionName);
    } else if (StartsWithNoCase(contentType, "application/json") ||
               StartsWithNoCase(contentType, "application/vnd.api+json")) {
        ConversionStatus decoded = ParseJson(text);
        if (!decoded.Ok()) return result.SetFailure(decoded.Error());
        Place(result, target, decoded.Value(), functionName);
    } else if (StartsWithNoCase(contentType, "application/x-yaml")) {
        ConversionStatus decoded = ReadYaml(text);
        if (!decoded.Ok()) return result.SetFailure(decoded.Error());
        Place(result, target, decoded.Value(), functionName);
    } else {
        result.SetFailure("Unsupported body content type");
    }
}

bool DecodeValue(FunctionResult& result, BindingProperty& target, std::string_view text,
                 std::string_view contentType, bool container, std::string_view argumentName,
                 std::string_view functionName) noexcept {
    const bool probe = container && contentType.empty();
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (StartsWithNoCase(contentType, "application/x-msgpack") ||
        (probe && LooksLikeMessagePack(bytes, text.size()))) {
        MessagePackResult decoded = DecodeMessagePack(bytes, text.size());
        if (!decoded.status.Ok()) {
            result.SetFailure(FormatPositional(
                "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3",
                argumentName, functionName, decoded.status.Error()));
            return false;
        }
        return Place(result, target, decoded.status.Value(), functionName);
    }
    if (StartsWithNoCase(contentType, "application/json") || (probe && LooksLikeJson(text))) {
        ConversionStatus decoded = ParseJson(text);
        if (!decoded.Ok()) {
            result.SetFailure(
                FormatPositional("Couldn't deserialize JSON value for parameter '%1' of '%2': %3",
                                 argumentName, functionName, decoded.Error()));
            return false;
        }
        return Place(result, target, decoded.Value(), functionName);
    }
    if (StartsWithNoCase(contentType, "text/x-yaml") || (probe && LooksLikeYaml(text))) {
        ConversionStatus decoded = ReadYaml(text);
        if (!decoded.Ok()) {
            result.SetFailure(
                FormatPositional("Couldn't deserialize YAML value for parameter '%1' of '%2': %3",
                                 argumentName, functionName, decoded.Error()));
            return false;
        }
        return Place(result, target, decoded.Value(), functionName);
    }
    const bool stored = StartsWithNoCase(contentType, "application/octet-stream")
                            ? target.SetBlob(std::span<const uint8_t>(bytes, text.size()))
                            : target.SetString(text);
    if (!stored) result.SetFailure(FormatPositional(kOutOfMemory, functionName));
    return stored;
}

}  // namespace Vane
