// What a reader needs to fill a native value straight from a stream of parse events (JSON
// strings, array and object boundaries), without building a BindingProperty first. The
// handlers of native C++ types (native_handlers.h) offer these operations besides their
// TypeHandler ones; a reader finds them with dynamic_cast and falls back to the handler's
// FromBinding for handlers that lack them.
#ifndef PYX_TYPES_NATIVE_INPUT_H_
#define PYX_TYPES_NATIVE_INPUT_H_

#include <string_view>

#include "types/type_descriptor.h"
#include "types/type_info.h"
#include "value/conversion_status.h"

namespace Vane {

// Operations on the native value (or container) at a destination address. Every operation
// is noexcept and reports running out of memory as failure (false or null).
struct NativeInputOps {
    NativeKind kind = NativeKind::kNone;
    // Vectors and maps: the element's operations (null when the element is filled through its
    // handler's FromBinding, as held values and blobs are) and its handler.
    const NativeInputOps* element = nullptr;
    const TypeHandler* elementHandler = nullptr;
    // Scalars, strings and enums: writes the value a string input of text `text` (NUL-terminated
    // right after the view) gives, exactly as the handler's FromBinding would, failing `status`
    // with its message where it would fail. Null for other kinds.
    bool (*fromText)(ConversionStatus& status, void* destination, std::string_view text,
                     std::string_view name, const TypeDescriptor* descriptor,
                     const TypeRegistry& registry) noexcept = nullptr;
    // Vectors and maps: removes every element.
    void (*clear)(void* container) noexcept = nullptr;
    // Vectors: appends a default element and returns it; null when memory ran out, and always
    // for vectors of bool, whose elements have no address.
    void* (*append)(void* vector) noexcept = nullptr;
    // Vectors of bool: appends `value`; false when memory ran out.
    bool (*appendBool)(void* vector, bool value) noexcept = nullptr;
    // Maps: inserts a default entry under `key` and returns its value; null when the key is
    // present already or memory ran out.
    void* (*insert)(void* map, std::string_view key) noexcept = nullptr;
};

// A TypeHandler that also offers direct input operations (null when its values are filled
// only through FromBinding).
class NativeTypeHandler : public TypeHandler {
  public:
    constexpr explicit NativeTypeHandler(const NativeInputOps* inputOps) noexcept
        : inputOps_(inputOps) {}

    // The direct input operations of the handled type, or null.
    const NativeInputOps* InputOps() const noexcept { return inputOps_; }

  protected:
    ~NativeTypeHandler() = default;

  private:
    const NativeInputOps* inputOps_;
};

}  // namespace Vane

#endif  // PYX_TYPES_NATIVE_INPUT_H_
