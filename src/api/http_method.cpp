#include "api/http_method.h"

namespace Vane {

std::string_view MethodWord(int32_t code) noexcept {
    switch (code) {
        case 1:
            return "DELETE";
        case 2:
            return "GET";
        case 3:
            return "HEAD";
        case 4:
            return "OPTIONS";
        case 5:
            return "PATCH";
        case 6:
            return "POST";
        case 7:
            return "PUT";
        default:
            return {};
    }
}

HttpMethod NormaliseHostMethod(int32_t code) noexcept {
    if (code >= 1 && code <= 8) return static_cast<HttpMethod>(code);
    return HttpMethod::kAny;
}

}  // namespace Vane
