#include "util/named_template.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace Vane {

const std::string& TemplateValue::AsString() const {
    static const std::string kEmpty;
    const std::string* p = std::get_if<std::string>(&value_);
    return p ? *p : kEmpty;
}

bool TemplateValue::IsEmpty() const {
    switch (Type()) {
        case TemplateValueType::kBool:
            return !AsBool();
        case TemplateValueType::kSigned:
            return AsSigned() == 0;
        case TemplateValueType::kUnsigned:
            return AsUnsigned() == 0;
        case TemplateValueType::kDouble:
            return AsDouble() == 0.0;
        case TemplateValueType::kString:
            return AsString().empty();
    }
    return true;
}

FormatArg MakeFormatArg(const TemplateValue& value) {
    switch (value.Type()) {
        case TemplateValueType::kBool:
            return FormatArg::Signed32(value.AsBool() ? 1 : 0);
        case TemplateValueType::kSigned:
            return FormatArg::Signed64(value.AsSigned());
        case TemplateValueType::kUnsigned:
            return FormatArg::Unsigned64(value.AsUnsigned());
        case TemplateValueType::kDouble:
            return FormatArg::Double(value.AsDouble());
        case TemplateValueType::kString:
            break;
    }
    return FormatArg::Text(value.AsString());
}

namespace {

struct Hole {
    std::string name;
    std::string alternative;
    std::string format;
    std::string decoration;
    bool typed = false;           // "#"
    bool hide = false;            // "!"
    bool hasAlternative = false;  // "?"
    bool hasFormat = false;       // ":"
    bool decorated = false;       // "@"
};

// Default conversion letter of a value's formatting argument.
char DefaultLetter(const TemplateValue& v) {
    switch (v.Type()) {
        case TemplateValueType::kBool:
        case TemplateValueType::kSigned:
            return 'd';
        case TemplateValueType::kUnsigned:
            return 'u';
        case TemplateValueType::kDouble:
            return 'g';
        case TemplateValueType::kString:
            break;
    }
    return 's';
}

void Decorate(const std::string& decoration, TemplateValue& v) {
    char text[64];
    if (decoration == "str") {
        switch (v.Type()) {
            case TemplateValueType::kBool:
                v = TemplateValue(v.AsBool() ? "true" : "false");
                break;
            case TemplateValueType::kSigned:
                std::snprintf(text, sizeof(text), "%" PRId64, v.AsSigned());
                v = TemplateValue(text);
                break;
            case TemplateValueType::kUnsigned:
                std::snprintf(text, sizeof(text), "%" PRIu64, v.AsUnsigned());
                v = TemplateValue(text);
                break;
            case TemplateValueType::kDouble:
                // "%f" of a huge double has over 300 digits: size the text by the result.
                v = TemplateValue(FormatPositional("%1$f", v.AsDouble()));
                break;
            case TemplateValueType::kString:
                break;
        }
    } else if (decoration == "hex") {
        if (v.Type() == TemplateValueType::kSigned || v.Type() == TemplateValueType::kUnsigned) {
            uint64_t bits = v.Type() == TemplateValueType::kSigned
                                ? static_cast<uint64_t>(v.AsSigned())
                                : v.AsUnsigned();
            std::snprintf(text, sizeof(text), "%016" PRIX64, bits);
            v = TemplateValue(text);
        }
    }
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

void AddTypeSuffix(std::string& name, const TemplateValue& v) {
    static constexpr std::string_view kKnown[] = {"_bool", "_int",  "_long", "_float",
                                                  "_str",  "_time", "_ip"};
    for (std::string_view suffix : kKnown) {
        if (EndsWith(name, suffix)) return;
    }
    switch (v.Type()) {
        case TemplateValueType::kBool:
            name += "_bool";
            break;
        case TemplateValueType::kSigned:
        case TemplateValueType::kUnsigned:
            name += "_int";
            break;
        case TemplateValueType::kDouble:
            name += "_float";
            break;
        case TemplateValueType::kString:
            name += "_str";
            break;
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The numbered template under construction. Remembers where the last short "%k" ends so that a
// digit written right after it (possibly once trailing blanks were trimmed back to it) turns it
// into "%k$<letter>" instead of extending the number. The text never shrinks below that point:
// trimming stops at the placeholder's last digit.
class Output {
  public:
    explicit Output(size_t reserve) { text_.reserve(reserve); }

    void Append(std::string_view s) {
        if (s.empty()) return;
        if (shortEnd_ == text_.size() && s[0] >= '0' && s[0] <= '9') {
            text_ += '$';
            text_ += shortLetter_;
        }
        text_.append(s);
    }
    void Append(char c) { Append(std::string_view(&c, 1)); }

    // Appends text with every "%" doubled.
    void AppendLiteral(std::string_view s) {
        for (char c : s) {
            if (c == '%') {
                Append("%%");
            } else {
                Append(c);
            }
        }
    }

    void AppendShortPlaceholder(size_t k, char letter) {
        Append('%');
        Append(std::to_string(k));
        shortEnd_ = text_.size();
        shortLetter_ = letter;
    }

    void TrimTrailingBlanks() {
        while (!text_.empty() && IsBlank(text_.back())) text_.pop_back();
    }

    std::string Take() { return std::move(text_); }

  private:
    std::string text_;
    size_t shortEnd_ = SIZE_MAX;
    char shortLetter_ = 's';
};

// Writes closed hole number k (1-based) for `values[0..count)`.
void CloseHole(Hole& h, size_t k, TemplateValue* values, size_t count, TemplateFields* fields,
               Output& out) {
    if (k > count) return;
    TemplateValue& v = values[k - 1];
    if (h.decorated) Decorate(h.decoration, v);
    if (h.typed && !h.name.empty()) AddTypeSuffix(h.name, v);
    if (h.hasAlternative && v.IsEmpty()) {
        out.AppendLiteral(h.alternative);
        return;
    }
    if (!h.name.empty() && fields) (*fields)[h.name] = v;
    if (h.hide) {
        out.TrimTrailingBlanks();
        return;
    }
    if (!h.hasFormat) {
        out.AppendShortPlaceholder(k, DefaultLetter(v));
        return;
    }
    std::string placeholder(1, '%');
    placeholder += std::to_string(k);
    placeholder += '$';
    placeholder += h.format;
    PlaceholderExtent extent = MeasurePlaceholder(placeholder, 0, count);
    if (!extent.hasConversion) placeholder += DefaultLetter(v);
    out.Append(placeholder);
}

}  // namespace

std::string ConvertNamedTemplate(std::string_view tmpl, TemplateValue* values, size_t count,
                                 TemplateFields* fields) {
    Output out(tmpl.size() + 8);
    size_t hole = 0;
    size_t i = 0;
    const size_t n = tmpl.size();
    while (i < n) {
        const char c = tmpl[i];
        if (c == '%') {
            if (i + 1 < n && tmpl[i + 1] == '%') {
                out.Append("%%");
                i += 2;
                continue;
            }
            size_t end = MeasurePlaceholder(tmpl, i, count).end;
            out.Append(tmpl.substr(i, end - i));
            ++hole;
            i = end;
            continue;
        }
        if (c == '}') {
            out.Append('}');
            i += (i + 1 < n && tmpl[i + 1] == '}') ? 2 : 1;
            continue;
        }
        if (c != '{') {
            out.Append(c);
            ++i;
            continue;
        }
        if (i + 1 < n && tmpl[i + 1] == '{') {
            out.Append('{');
            i += 2;
            continue;
        }

        const size_t open = i++;
        Hole h;
        if (i < n && tmpl[i] == '#') {
            h.typed = true;
            ++i;
        }
        bool closed = false;
        while (i < n) {
            char ch = tmpl[i++];
            if (ch == '}') {
                closed = true;
                break;
            }
            if (ch == '!') {
                h.hide = true;
                continue;
            }
            if (ch == ':') {
                h.hasFormat = true;
                continue;
            }
            if (ch == '?') {
                h.hasAlternative = true;
                continue;
            }
            if (ch == '@') {
                h.decorated = true;
                continue;
            }
            if (ch == '{') continue;
            if (ch == '\\') {
                if (i >= n) break;
                ch = tmpl[i++];
            }
            if (h.hasFormat) {
                h.format += ch;
            } else if (h.decorated) {
                h.decoration += ch;
            } else if (h.hasAlternative) {
                h.alternative += ch;
            } else {
                h.name += ch;
            }
        }
        if (!closed) {
            out.AppendLiteral(tmpl.substr(open));
            break;
        }
        CloseHole(h, ++hole, values, count, fields, out);
    }
    return out.Take();
}

std::string FormatTemplateValues(std::string_view tmpl, const TemplateValue* values, size_t count) {
    constexpr size_t kInline = 8;
    if (count <= kInline) {
        FormatArg args[kInline];
        for (size_t k = 0; k < count; ++k) args[k] = MakeFormatArg(values[k]);
        return FormatPositionalArgs(tmpl, args, count);
    }
    std::vector<FormatArg> args;
    args.reserve(count);
    for (size_t k = 0; k < count; ++k) args.push_back(MakeFormatArg(values[k]));
    return FormatPositionalArgs(tmpl, args.data(), count);
}

std::string FormatNamedTemplate(std::string_view tmpl, TemplateValue* values, size_t count,
                                TemplateFields* fields) {
    std::string numbered = ConvertNamedTemplate(tmpl, values, count, fields);
    return FormatTemplateValues(numbered, values, count);
}

}  // namespace Vane
