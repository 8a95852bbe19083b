#include "value/conversion_status.h"

#include <string>

namespace Vane {

void ConversionStatus::Fail(std::string_view message) noexcept {
    // The message may be this status's own error text: keep a copy across the clear.
    const std::string text(message);
    value_.Clear();
    ok_ = false;
    if (BindingProperty* error = value_.MemberForWrite("error")) error->SetString(text);
}

std::string_view ConversionStatus::Error() const noexcept {
    if (ok_) return std::string_view();
    return value_.Member("error").GetString();
}

}  // namespace Vane
