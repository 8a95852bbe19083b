// Writes a value as block-style YAML, for the YAML reader's tests and benchmark: the product
// only reads YAML, so this is the one place that writes it. Every scalar gets a form that
// yaml_reader.h reads back to the same value, and the forms vary as in hand-written files:
// texts plain where the reader would not type them, literal blocks for multi-line texts,
// double-quoted otherwise; short scalar-only mappings and sequences in flow style; booleans as
// true/false and yes/no; "~" for the empty value; "!!float" on floats with an integral value.
//
// Only the kinds JSON has are written (blobs and enumerators are not). As from JSON, a signed
// integer that is not negative reads back unsigned.
//
// Users: yaml_benchmark and yaml_reader_test, on the catalog of large_document_test_support.h.
#ifndef PYX_CODEC_BLOCK_YAML_TEST_SUPPORT_H_
#define PYX_CODEC_BLOCK_YAML_TEST_SUPPORT_H_

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "value/binding_property.h"

namespace Vane::testing {

namespace block_yaml_detail {

// Texts the reader types when plain (yaml_reader.h: null and boolean words, and what strtod
// reads whole from a text that begins with a letter), compared without case to be safe.
inline bool IsTypedWord(std::string_view text) {
    static constexpr std::string_view kWords[] = {
        "null", "true", "false", "y", "n", "yes", "no", "on", "off", "nan", "inf", "infinity"};
    for (std::string_view word : kWords) {
        if (word.size() != text.size()) continue;
        bool same = true;
        for (size_t i = 0; i < word.size() && same; ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == word[i];
        }
        if (same) return true;
    }
    return false;
}

inline bool IsLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
inline bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Unicode characters YAML takes for line breaks or a byte order mark (NEL, LS, PS, BOM), or
// refuses unescaped (the C1 controls, U+0080 to U+009F, of which NEL is one).
inline size_t SpecialUnicodeAt(std::string_view text, size_t at) {
    const std::string_view rest = text.substr(at);
    if (rest.size() >= 2 && rest[0] == '\xC2' && static_cast<unsigned char>(rest[1]) >= 0x80 &&
        static_cast<unsigned char>(rest[1]) <= 0x9F) {
        return 2;
    }
    if (rest.starts_with("\xE2\x80\xA8") || rest.starts_with("\xE2\x80\xA9") ||
        rest.starts_with("\xEF\xBB\xBF")) {
        return 3;
    }
    return 0;
}

inline bool HasSpecialUnicode(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (SpecialUnicodeAt(text, i)) return true;
    }
    return false;
}

// Whether `text` can be written plain: it begins with a letter and holds only letters, digits,
// non-ASCII characters, "_./-" and single spaces, plus ":?=" outside flow collections (never
// ": " or a final ":"), so no indicator, comment or flow character can end it early.
inline bool CanBePlain(std::string_view text, bool flow) {
    if (text.empty() || !IsLetter(static_cast<unsigned char>(text[0])) || text.back() == ' ' ||
        HasSpecialUnicode(text)) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 || IsLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '/' ||
            c == '-') {
            continue;
        }
        if (c == ' ' && text[i + 1] != ' ') continue;  // not last: see above
        if (!flow && c == ':' && i + 1 < text.size() && text[i + 1] != ' ') continue;
        if (!flow && (c == '?' || c == '=')) continue;
        return false;
    }
    return true;
}

// Whether `text` can be a literal block ("|-"): more than one line, no control character but
// the line breaks, no blank line, and no line (the first above all) that begins or ends with a
// space, which would need an indentation indicator or be taken for indentation.
inline bool CanBeLiteral(std::string_view text) {
    if (text.find('\n') == std::string_view::npos || HasSpecialUnicode(text)) return false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.empty() || line.front() == ' ' || line.back() == ' ') return false;
        for (const char c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
        }
        start = end + 1;
    }
    return true;
}

inline void DoubleQuoted(std::string_view text, std::string& out) {
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (const size_t length = SpecialUnicodeAt(text, i)) {
            const std::string_view special = text.substr(i, length);
            if (special == "\xC2\x85") {
                out += "\\N";
            } else if (length == 2) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02X",
                              static_cast<unsigned char>(special[1]));
                out += escape;
            } else {
                out += special == "\xE2\x80\xA8"   ? "\\L"
                       : special == "\xE2\x80\xA9" ? "\\P"
                                                   : "\\uFEFF";
            }
            i += length - 1;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

// The shortest text strtod reads back to `number`.
inline std::string Shortest(double number) {
    char text[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, number);
        if (std::strtod(text, nullptr) == number) break;
    }
    return text;
}

inline bool IsScalar(const BindingProperty& value) {
    return value.Kind() != PropertyKind::kCollection && value.Kind() != PropertyKind::kStructure;
}

inline bool IsEmptyContainer(const BindingProperty& value) {
    return !IsScalar(value) && value.Size() == 0;
}

class Writer {
  public:
    std::string Write(const BindingProperty& value) {
        if (IsScalar(value) || IsEmptyContainer(value) || FitsFlow(value)) {
            Inline(value, 0, false);
            out_ += '\n';
        } else if (value.Kind() == PropertyKind::kStructure) {
            Mapping(value, 0);
        } else {
            Sequence(value, 0);
        }
        return std::move(out_);
    }

  private:
    // Short mappings and sequences of scalars that need no literal block go in flow style.
    static bool FitsFlow(const BindingProperty& value) {
        if (IsScalar(value) || value.Size() == 0 || value.Size() > 4) return false;
        if (value.Kind() == PropertyKind::kStructure) {
            for (const auto& member : value.Members()) {
                if (!IsScalar(member.value)) return false;
            }
        } else {
            for (const BindingProperty& element : value.Elements()) {
                if (!IsScalar(element)) return false;
            }
        }
        return true;
    }

    void Indent(int indent) { out_.append(static_cast<size_t>(indent), ' '); }

    void Key(std::string_view name, bool flow) {
        if (CanBePlain(name, flow)) {
            out_ += name;
        } else {
            DoubleQuoted(name, out_);
        }
    }

    // A scalar, an empty container or a flow collection, after "key: " or "- " at `indent`.
    void Inline(const BindingProperty& value, int indent, bool flow) {
        switch (value.Kind()) {
            case PropertyKind::kEmpty:
                out_ += '~';
                return;
            case PropertyKind::kBool:
                // Every third one in the YAML 1.1 words, which the reader takes too.
                out_ += (++bools_ % 3 == 0) ? (value.GetBool() ? "yes" : "no")
                                            : (value.GetBool() ? "true" : "false");
                return;
            case PropertyKind::kSigned:
                out_ += std::to_string(value.GetSigned());
                return;
            case PropertyKind::kUnsigned:
                out_ += std::to_string(value.GetUnsigned());
                return;
            case PropertyKind::kFloat: {
                const double number = value.GetFloat();
                if (std::isfinite(number) && std::trunc(number) == number) out_ += "!!float ";
                out_ += Shortest(number);
                return;
            }
            case PropertyKind::kString: {
                const std::string_view text = value.GetString();
                if (CanBePlain(text, flow) && !IsTypedWord(text)) {
                    out_ += text;
                } else if (!flow && CanBeLiteral(text)) {
                    out_ += "|-";
                    size_t start = 0;
                    while (start <= text.size()) {
                        size_t end = text.find('\n', start);
                        if (end == std::string_view::npos) end = text.size();
                        out_ += '\n';
                        Indent(indent + 2);
                        out_ += text.substr(start, end - start);
                        start = end + 1;
                    }
                } else {
                    DoubleQuoted(text, out_);
                }
                return;
            }
            case PropertyKind::kCollection: {
                out_ += '[';
                bool first = true;
                for (const BindingProperty& element : value.Elements()) {
                    out_ += first ? "" : ", ";
                    first = false;
                    Inline(element, indent, true);
                }
                out_ += ']';
                return;
            }
            case PropertyKind::kStructure: {
                out_ += '{';
                bool first = true;
                for (const auto& member : value.Members()) {
                    out_ += first ? "" : ", ";
                    first = false;
                    Key(member.name, true);
                    out_ += ": ";
                    Inline(member.value, indent, true);
                }
                out_ += '}';
                return;
            }
            default:
                std::abort();  // blobs and enumerators have no form here
        }
    }

    // What follows "key:" or "-" whose line begins at `indent`: the rest of the line and, for
    // block collections, the lines below.
    void Node(const BindingProperty& value, int indent) {
        if (IsScalar(value) || IsEmptyContainer(value) || FitsFlow(value)) {
            out_ += ' ';
            Inline(value, indent, false);
            out_ += '\n';
        } else if (value.Kind() == PropertyKind::kStructure) {
            out_ += '\n';
            Mapping(value, indent + 2);
        } else {
            out_ += '\n';
            Sequence(value, indent + 2);
        }
    }

    // Block mapping at `indent`; the first key goes where the line already is when `inLine`.
    void Mapping(const BindingProperty& value, int indent, bool inLine = false) {
        for (const auto& member : value.Members()) {
            if (!inLine) Indent(indent);
            inLine = false;
            Key(member.name, false);
            out_ += ':';
            Node(member.value, indent);
        }
    }

    void Sequence(const BindingProperty& value, int indent) {
        for (const BindingProperty& element : value.Elements()) {
            Indent(indent);
            out_ += '-';
            if (element.Kind() == PropertyKind::kStructure && !IsEmptyContainer(element) &&
                !FitsFlow(element)) {
                out_ += ' ';
                Mapping(element, indent + 2, true);
            } else {
                Node(element, indent);
            }
        }
    }

    std::string out_;
    unsigned bools_ = 0;
};

}  // namespace block_yaml_detail

// `value` as a YAML document in block style.
inline std::string BlockYaml(const BindingProperty& value) {
    return block_yaml_detail::Writer().Write(value);
}

}  // namespace Vane::testing

#endif  // PYX_CODEC_BLOCK_YAML_TEST_SUPPORT_H_
