#include "api/function_handler.h"

namespace Vane {

bool FunctionResult::SetValue(BindingProperty& value) noexcept {
    if (!outcome_.Ok()) return false;
    hostValue_.reset();
    if (&value == &outcome_.Value()) return true;
    if (!outcome_.Value().MoveFrom(value)) {
        SetFailure("Couldn't store the result because memory ran out.");
        return false;
    }
    return true;
}

void FunctionResult::SetFailure(std::string_view message) noexcept {
    stream_.reset();
    hostValue_.reset();
    outcome_.Fail(message);
}

void FunctionResult::SetHostValue(std::unique_ptr<HostValueArena> arena) noexcept {
    if (!outcome_.Ok() || !arena || !hostValueRequested_) return;
    outcome_.Value().Clear();
    hostValue_ = std::move(arena);
}

void FunctionResult::SetStream(std::unique_ptr<ResponseStream> stream) noexcept {
    if (!outcome_.Ok()) return;
    stream_ = std::move(stream);
}

}  // namespace Vane
