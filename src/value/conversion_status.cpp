#include "value/conversion_status.h"

#include <string>

namespace Vane {

void ConversionStatus::Fail(std::string_view message) noexcept {
    // The message may be this status's own error text: keep a copy across the clear.
    const std::string text(message);
    value_.Clear();
    ok_ = false;
    // Without memory for the text the status still fails, with an empty message.
    if (BindingProperty* error = value_.MemberForWrite("error")) {
        static_cast<void>(error->SetString(text));
    }
}

std::string_view ConversionStatus::Error() const noexcept {
    if (ok_) return std::string_view();
    return value_.Member("error").GetString();
}

}  // namespace Vane
