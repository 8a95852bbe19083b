// The native form of a blob value.
#ifndef PYX_VALUE_BINDING_BLOB_H_
#define PYX_VALUE_BINDING_BLOB_H_

#include <cstdint>
#include <vector>

namespace Vane {

// A byte string that converts to and from a blob value (native kind "blob"). A distinct type
// so that std::vector<uint8_t> keeps meaning a vector of uint8 numbers.
struct BindingBlob {
    std::vector<uint8_t> bytes;

    bool operator==(const BindingBlob&) const = default;
};

}  // namespace Vane

#endif  // PYX_VALUE_BINDING_BLOB_H_
