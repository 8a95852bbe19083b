// Value-or-error result of every conversion and decoder.
#ifndef PYX_VALUE_CONVERSION_STATUS_H_
#define PYX_VALUE_CONVERSION_STATUS_H_

#include <string_view>

#include "value/binding_property.h"

namespace Vane {

// A BindingProperty and an ok flag, set at creation. Conversions to a BindingProperty and the
// decoders build their result in the value; conversions to native records use the status only
// to report failure. Every such operation returns at once when the flag is already clear, so
// the first failure wins. A failed status holds the structure {"error": message}.
class [[nodiscard]] ConversionStatus {
  public:
    // An ok status with an empty value.
    ConversionStatus() noexcept = default;

    // True until the status fails.
    bool Ok() const noexcept { return ok_; }

    // The value under construction (or {"error": message} after a failure).
    BindingProperty& Value() noexcept { return value_; }
    const BindingProperty& Value() const noexcept { return value_; }

    // Fails the status: clears the value and the ok flag, makes the value a structure and sets
    // its member "error" to `message`. Calling it again replaces the message.
    void Fail(std::string_view message) noexcept;

    // The text of the member "error" when the status failed; "" when it is ok or that member
    // is not a string. Valid while the status keeps its value.
    std::string_view Error() const noexcept;

  private:
    BindingProperty value_;
    bool ok_ = true;
};

}  // namespace Vane

#endif  // PYX_VALUE_CONVERSION_STATUS_H_
