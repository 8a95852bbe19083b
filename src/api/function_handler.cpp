#include "api/function_handler.h"

namespace Vane {

bool FunctionResult::SetValue(BindingProperty& value) noexcept {
    if (!outcome_.Ok()) return false;
    if (&value == &outcome_.Value()) return true;
    if (!outcome_.Value().MoveFrom(value)) {
        SetFailure("Couldn't store the result because memory ran out.");
        return false;
    }
    return true;
}

void FunctionResult::SetFailure(std::string_view message) noexcept {
    stream_.reset();
    outcome_.Fail(message);
}

void FunctionResult::SetStream(std::unique_ptr<ResponseStream> stream) noexcept {
    if (!outcome_.Ok()) return;
    stream_ = std::move(stream);
}

}  // namespace Vane
