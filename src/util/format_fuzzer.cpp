// Fuzzes FormatPositional and ConvertNamedTemplate with arbitrary template text and fixed
// argument sets. Aborts when a result breaks the 4095-byte bound or the two output forms
// disagree.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "util/format.h"
#include "util/named_template.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view tmpl(reinterpret_cast<const char*>(data), size);
    const std::string text = "text%1{x}";

    // Mixed arguments, including ones that make huge widths when used with "*".
    std::string a =
        Vane::FormatPositional(tmpl, text, -7, uint64_t{18446744073709551615ull}, 2.5,
                               Vane::Version{1, 2, 3}, 'c', 2147483647, -2147483647 - 1, 1e308, "");
    Check(a.size() <= Vane::kFormatMaxLength);

    char buffer[Vane::kFormatBufferSize];
    size_t n = Vane::FormatPositionalTo(buffer, tmpl, text, -7, uint64_t{18446744073709551615ull},
                                        2.5, Vane::Version{1, 2, 3}, 'c', 2147483647,
                                        -2147483647 - 1, 1e308, "");
    Check(n == a.size() && std::memcmp(buffer, a.data(), n) == 0 && buffer[n] == '\0');

    // A small caller buffer cuts the same text.
    char small[17];
    size_t m = Vane::FormatPositionalTo(small, tmpl, text, -7, uint64_t{18446744073709551615ull},
                                        2.5, Vane::Version{1, 2, 3}, 'c', 2147483647,
                                        -2147483647 - 1, 1e308, "");
    Check(m <= 16 && m == std::min<size_t>(a.size(), 16) && std::memcmp(small, a.data(), m) == 0);

    std::string none = Vane::FormatPositional(tmpl);
    Check(none.size() <= Vane::kFormatMaxLength);

    // Named form with a value of every type.
    std::vector<Vane::TemplateValue> values = {
        true, int64_t{-42}, uint64_t{7}, 0.25, "v%1{y}", false, int64_t{0}, 0.0, std::string()};
    Vane::TemplateFields fields;
    std::string numbered = Vane::ConvertNamedTemplate(tmpl, values.data(), values.size(), &fields);
    std::string message = Vane::FormatTemplateValues(numbered, values.data(), values.size());
    Check(message.size() <= Vane::kFormatMaxLength);
    for (const auto& [name, value] : fields) Check(!name.empty());
    return 0;
}
