#include "codec/yaml_reader.h"

#include <yaml.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <limits>

#include "util/format.h"
#include "value/nesting_limit.h"
#include "value/scalar_conversion.h"

namespace Vane {
namespace {

// ---- Messages, word for word ----
constexpr std::string_view kMultiDocument = "Multi-document YAML is not supported.";
constexpr std::string_view kInvalidKey =
    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
constexpr std::string_view kSequenceKey = "Unexpected start of sequence. At line: %1 col: %2";
constexpr std::string_view kMappingKey = "Unexpected start of mapping. At line: %1 col: %2";
constexpr std::string_view kCyclicAlias =
    "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr std::string_view kUndefinedAlias =
    "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr std::string_view kParserError = "YAML parser error: %1. At line: %2 col: %3";
constexpr std::string_view kDuplicateAnchor =
    "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
constexpr std::string_view kUnsupportedTag = "Unsupported YAML tag '%1'.";
// The reader's own bounds on what input can make it build.
constexpr std::string_view kAliasBudget =
    "Alias expansion exceeds %1 nodes. Alias \"%2\". At line: %3 col: %4";
constexpr std::string_view kAnchorBudget =
    "Alias expansion exceeds %1 nodes. Anchor \"%2\". At line: %3 col: %4";
constexpr std::string_view kTooDeep = "Nesting deeper than %1 levels. At line: %2 col: %3";
constexpr std::string_view kTooLong = "Sequence longer than %1 elements. At line: %2 col: %3";
constexpr std::string_view kNoMemory = "Not enough memory to read YAML. At line: %1 col: %2";

constexpr std::string_view kStrTag = "tag:yaml.org,2002:str";
constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";
constexpr std::string_view kFloatTag = "tag:yaml.org,2002:float";
constexpr std::string_view kBoolTag = "tag:yaml.org,2002:bool";

// The name tagged scalars carry in conversion messages.
constexpr std::string_view kTaggedName = "yaml";

// The frame stack starts with room for this many open containers and grows on demand.
constexpr size_t kInitialFrames = 16;

// Deletes the parser when the read ends, however it ends.
struct ParserGuard {
    yaml_parser_t* parser;
    ~ParserGuard() { yaml_parser_delete(parser); }
};

// Deletes one event after use, however its handling ends.
struct EventGuard {
    yaml_event_t* event;
    ~EventGuard() { yaml_event_delete(event); }
};

std::string_view Text(const yaml_char_t* text) noexcept {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

size_t Line(const yaml_event_t& event) noexcept {
    return event.start_mark.line + 1;
}

size_t Column(const yaml_event_t& event) noexcept {
    return event.start_mark.column + 1;
}

bool IsNullWord(std::string_view text) noexcept {
    return text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL";
}

constexpr std::string_view kTrueWords[] = {"true", "True", "TRUE", "y",  "Y", "yes",
                                           "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::string_view kFalseWords[] = {"false", "False", "FALSE", "n",   "N",  "no",
                                            "No",    "NO",    "off",   "Off", "OFF"};

// 1 for a true word, 0 for a false word, -1 for any other text.
int BoolWord(std::string_view text) noexcept {
    if (text.size() > 5) return -1;
    for (std::string_view word : kTrueWords) {
        if (text == word) return 1;
    }
    for (std::string_view word : kFalseWords) {
        if (text == word) return 0;
    }
    return -1;
}

// strtod skips these before the number.
bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether strtod could take a text that begins with `c` at all; spares the call for the texts
// that obviously are words.
bool MayBeNumber(char c) noexcept {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'i' || c == 'I' ||
           c == 'n' || c == 'N' || IsBlank(c);
}

bool IsDecimalDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) noexcept {
    return IsDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The base of an integer literal in `text` as strtod read it: 10 for [blanks][+-]?[0-9]+, 16
// for [blanks][+-]?0[xX][0-9a-fA-F]+, 0 for any other form (fraction, exponent, hex float).
int IntegerLiteralBase(std::string_view text) noexcept {
    size_t index = 0;
    while (index < text.size() && IsBlank(text[index])) ++index;
    if (index < text.size() && (text[index] == '+' || text[index] == '-')) ++index;
    const std::string_view digits = text.substr(index);
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        return std::all_of(digits.begin() + 2, digits.end(), IsHexDigit) ? 16 : 0;
    }
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), IsDecimalDigit) ? 10 : 0;
}

// Types the integral, finite `value` that strtod read from the whole of `text` (NUL-terminated
// right after its end). Integer literals are re-read exactly: a double keeps only 53 bits.
// Values beyond the 64-bit range stay floats; no double is ever converted out of range.
void SetIntegral(BindingProperty& target, std::string_view text, double value) noexcept {
    const int base = IntegerLiteralBase(text);
    if (base != 0) {
        char* end = nullptr;
        errno = 0;
        if (value < 0.0) {
            const long long parsed = std::strtoll(text.data(), &end, base);
            if (errno != ERANGE) {
                target.SetSigned(parsed);
                return;
            }
        } else {
            // The one negative text that gets here is a zero ("-0"); strtoull reads it as 0.
            const unsigned long long parsed = std::strtoull(text.data(), &end, base);
            if (errno != ERANGE) {
                target.SetUnsigned(parsed);
                return;
            }
        }
        target.SetFloat(value);
        return;
    }
    // -2^63 and 2^64 are exact doubles.
    if (value < 0.0) {
        if (value >= -9223372036854775808.0) {
            target.SetSigned(static_cast<int64_t>(value));
        } else {
            target.SetFloat(value);
        }
    } else if (value < 18446744073709551616.0) {
        target.SetUnsigned(static_cast<uint64_t>(value));
    } else {
        target.SetFloat(value);
    }
}

// Types a plain (or literal or folded) scalar without tag. False when memory ran out.
bool SetPlain(BindingProperty& target, std::string_view text) noexcept {
    if (IsNullWord(text)) return true;
    if (MayBeNumber(text[0])) {
        char* end = nullptr;
        const double value = std::strtod(text.data(), &end);
        if (end == text.data() + text.size() && !std::isinf(value)) {
            if (std::isnan(value) || value != std::trunc(value)) {
                target.SetFloat(value);
            } else {
                SetIntegral(target, text, value);
            }
            return true;
        }
    }
    const int word = BoolWord(text);
    if (word >= 0) {
        target.SetBool(word == 1);
        return true;
    }
    return target.SetString(text);
}

}  // namespace

template <class... Args>
bool YamlReader::Fail(std::string_view message, const Args&... args) noexcept {
    try {
        result_.Fail(FormatPositional(message, args...));
    } catch (const std::exception&) {
        // No memory for the message: the status still fails, with the bare template.
        result_.Fail(message);
    }
    return false;
}

template <class... Args>
bool YamlReader::FailAt(const yaml_event_s& event, std::string_view message,
                        const Args&... args) noexcept {
    return Fail(message, args..., Line(event), Column(event));
}

YamlReader::YamlReader(const char* text, size_t length, size_t copyNodeBudget) noexcept
    : text_(text ? text : ""), length_(text ? length : 0), copyNodeBudget_(copyNodeBudget) {}

bool YamlReader::Read() noexcept {
    if (read_) return result_.Ok();
    read_ = true;

    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) return Fail(kNoMemory, 1, 1);
    const ParserGuard parserGuard{&parser};
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text_), length_);

    yaml_mark_t last{};
    try {
        frames_.reserve(kInitialFrames);
        for (;;) {
            yaml_event_t event;
            if (!yaml_parser_parse(&parser, &event)) break;
            const EventGuard eventGuard{&event};
            last = event.start_mark;
            if (event.type == YAML_STREAM_END_EVENT) return true;
            if (!HandleEvent(event)) return false;
        }
    } catch (const std::exception&) {
        return Fail(kNoMemory, last.line + 1, last.column + 1);
    }

    if (parser.error == YAML_MEMORY_ERROR && !parser.problem) {
        return Fail(kNoMemory, last.line + 1, last.column + 1);
    }
    const char* problem = parser.problem ? parser.problem : "unknown problem";
    return Fail(kParserError, problem, parser.problem_mark.line, parser.problem_mark.column);
}

bool YamlReader::HandleEvent(const yaml_event_t& event) {
    switch (event.type) {
        case YAML_DOCUMENT_START_EVENT:
            if (!result_.Value().IsEmpty()) return Fail(kMultiDocument);
            // Anchors are scoped to their document; those of an empty earlier one are gone.
            anchors_.clear();
            keptValues_.Clear();
            return true;
        case YAML_SCALAR_EVENT:
            return KeyExpected() ? HandleKey(event) : HandleScalar(event);
        case YAML_SEQUENCE_START_EVENT:
            if (KeyExpected()) return FailAt(event, kSequenceKey);
            return HandleContainerStart(event, false);
        case YAML_MAPPING_START_EVENT:
            if (KeyExpected()) return FailAt(event, kMappingKey);
            return HandleContainerStart(event, true);
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT:
            return HandleContainerEnd();
        case YAML_ALIAS_EVENT:
            // A key is a text; an alias names a node of any kind, so it is refused as a key
            // rather than guessed at.
            if (KeyExpected()) return FailAt(event, kInvalidKey);
            return HandleAlias(event);
        default:
            // Stream start and document end carry nothing.
            return true;
    }
}

bool YamlReader::KeyExpected() const noexcept {
    return !frames_.empty() && frames_.back().mapping && !pendingMember_;
}

BindingProperty* YamlReader::PlaceValue(const yaml_event_t& event) {
    if (frames_.empty()) return &result_.Value();
    Frame& top = frames_.back();
    if (top.mapping) {
        // The member the key selected; a repeated key replaces what it held.
        BindingProperty* member = pendingMember_;
        pendingMember_ = nullptr;
        member->Clear();
        return member;
    }
    if (top.target->Size() >= kMaxCollectionSize) {
        FailAt(event, kTooLong, kMaxCollectionSize);
        return nullptr;
    }
    BindingProperty* element = top.target->AppendElement();
    if (!element) FailAt(event, kNoMemory);
    return element;
}

bool YamlReader::HandleKey(const yaml_event_t& event) {
    const std::string_view tag = Text(event.data.scalar.tag);
    if (event.data.scalar.tag && tag != kStrTag) return FailAt(event, kInvalidKey);
    const std::string_view key(reinterpret_cast<const char*>(event.data.scalar.value),
                               event.data.scalar.length);
    pendingMember_ = frames_.back().target->MemberForWrite(key);
    if (!pendingMember_) return FailAt(event, kNoMemory);
    return true;
}

bool YamlReader::HandleScalar(const yaml_event_t& event) {
    BindingProperty* target = PlaceValue(event);
    if (!target || !TypeScalar(*target, event)) return false;
    ++nodes_;
    if (event.data.scalar.anchor) {
        Anchor* anchor =
            RegisterAnchor(reinterpret_cast<const char*>(event.data.scalar.anchor), event);
        if (!anchor || !KeepAnchoredValue(*anchor, *target, 1, 0)) return false;
    }
    Finished(0);
    return true;
}

bool YamlReader::TypeScalar(BindingProperty& target, const yaml_event_t& event) {
    const std::string_view text(reinterpret_cast<const char*>(event.data.scalar.value),
                                event.data.scalar.length);
    if (event.data.scalar.tag) return TypeTagged(target, text, Text(event.data.scalar.tag), event);
    const bool quoted = event.data.scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE ||
                        event.data.scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
    const bool stored = quoted ? target.SetString(text) : SetPlain(target, text);
    return stored || FailAt(event, kNoMemory);
}

bool YamlReader::TypeTagged(BindingProperty& target, std::string_view text, std::string_view tag,
                            const yaml_event_t& event) {
    const bool isInt = tag == kIntTag;
    const bool isFloat = tag == kFloatTag;
    if (tag == kStrTag || isInt || isFloat) {
        // The registry's rules read the text from a string value (NUL-terminated, as strtoll
        // and strtod need), here the target itself until the number replaces it.
        if (!target.SetString(text)) return FailAt(event, kNoMemory);
        if (!isInt && !isFloat) return true;
        ConversionStatus conversion;
        if (isInt && !text.empty() && text[0] == '-') {
            int64_t value = 0;
            if (SignedFromBinding(conversion, value, target, kTaggedName,
                                  std::numeric_limits<int64_t>::min(),
                                  std::numeric_limits<int64_t>::max(), "int64_t")) {
                target.SetSigned(value);
                return true;
            }
        } else if (isInt) {
            uint64_t value = 0;
            if (UnsignedFromBinding(conversion, value, target, kTaggedName,
                                    std::numeric_limits<uint64_t>::max(), "uint64_t")) {
                target.SetUnsigned(value);
                return true;
            }
        } else {
            double value = 0.0;
            if (FloatingFromBinding(conversion, value, target, kTaggedName, DBL_MAX, "double")) {
                target.SetFloat(value);
                return true;
            }
        }
        // The message is final text (it may quote a "%" of the input): no formatting.
        result_.Fail(conversion.Error());
        return false;
    }
    if (tag == kBoolTag) {
        // Any other text leaves the value empty, without failing.
        const int word = BoolWord(text);
        if (word >= 0) target.SetBool(word == 1);
        return true;
    }
    return Fail(kUnsupportedTag, tag);
}

bool YamlReader::HandleContainerStart(const yaml_event_t& event, bool mapping) {
    if (frames_.size() >= kMaxNestingDepth) return FailAt(event, kTooDeep, kMaxNestingDepth);
    BindingProperty* target = PlaceValue(event);
    if (!target) return false;
    if (!(mapping ? target->MakeStructure() : target->MakeCollection())) {
        return FailAt(event, kNoMemory);
    }
    const yaml_char_t* name =
        mapping ? event.data.mapping_start.anchor : event.data.sequence_start.anchor;
    Anchor* anchor = nullptr;
    if (name) {
        anchor = RegisterAnchor(reinterpret_cast<const char*>(name), event);
        if (!anchor) return false;
        anchor->open = true;
    }
    frames_.push_back(Frame{target, anchor, nodes_, 0, mapping});
    ++nodes_;
    return true;
}

bool YamlReader::HandleContainerEnd() {
    // libyaml pairs every start with an end; an unpaired end would be its fault, not ours.
    if (frames_.empty()) return true;
    const Frame frame = frames_.back();
    frames_.pop_back();
    pendingMember_ = nullptr;
    const size_t height = frame.childHeight + 1;
    if (frame.anchor) {
        frame.anchor->open = false;
        if (!KeepAnchoredValue(*frame.anchor, *frame.target, nodes_ - frame.firstNode, height)) {
            return false;
        }
    }
    Finished(height);
    return true;
}

bool YamlReader::HandleAlias(const yaml_event_t& event) {
    const char* name = reinterpret_cast<const char*>(event.data.alias.anchor);
    const auto found = anchors_.find(std::string_view(name));
    if (found != anchors_.end() && found->second.open) return FailAt(event, kCyclicAlias, name);
    if (found == anchors_.end()) return FailAt(event, kUndefinedAlias, name);
    const Anchor& anchor = found->second;
    if (frames_.size() + anchor.height > kMaxNestingDepth) {
        return FailAt(event, kTooDeep, kMaxNestingDepth);
    }
    if (anchor.nodes > copyNodeBudget_ - copiedNodes_) {
        return FailAt(event, kAliasBudget, copyNodeBudget_, name);
    }
    BindingProperty* target = PlaceValue(event);
    if (!target) return false;
    if (!target->CopyFrom(keptValues_.Element(anchor.slot))) return FailAt(event, kNoMemory);
    copiedNodes_ += anchor.nodes;
    nodes_ += anchor.nodes;
    Finished(anchor.height);
    return true;
}

YamlReader::Anchor* YamlReader::RegisterAnchor(const char* name, const yaml_event_t& event) {
    const auto [entry, inserted] = anchors_.try_emplace(std::string(name));
    if (!inserted) {
        FailAt(event, kDuplicateAnchor, name);
        return nullptr;
    }
    entry->second.name = &entry->first;
    entry->second.line = Line(event);
    entry->second.column = Column(event);
    return &entry->second;
}

bool YamlReader::KeepAnchoredValue(Anchor& anchor, const BindingProperty& value, size_t nodes,
                                   size_t height) {
    if (nodes > copyNodeBudget_ - copiedNodes_) {
        return Fail(kAnchorBudget, copyNodeBudget_, *anchor.name, anchor.line, anchor.column);
    }
    anchor.slot = keptValues_.Size();
    BindingProperty* kept = keptValues_.AppendElement();
    if (!kept || !kept->CopyFrom(value)) return Fail(kNoMemory, anchor.line, anchor.column);
    anchor.nodes = nodes;
    anchor.height = height;
    copiedNodes_ += nodes;
    return true;
}

void YamlReader::Finished(size_t height) noexcept {
    if (!frames_.empty()) {
        size_t& childHeight = frames_.back().childHeight;
        childHeight = std::max(childHeight, height);
    }
}

ConversionStatus ReadYaml(const char* text, size_t length) noexcept {
    YamlReader reader(text, length);
    reader.Read();
    return std::move(reader.Result());
}

bool LooksLikeYaml(std::string_view text) noexcept {
    size_t index = 0;
    while (index < text.size() && text[index] == ' ') ++index;
    return text.substr(index).starts_with("---");
}

}  // namespace Vane
