// Decodes arbitrary bytes as MessagePack. Aborts when the reader claims more bytes than it was
// given, when a failure carries no message, when a decoded value does not survive a second
// encode and decode unchanged, or when the input cut one byte short of a decoded value is
// accepted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/message_pack_reader.h"
#include "codec/message_pack_test_support.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vane::LooksLikeMessagePack(data, size);
    const Vane::MessagePackResult result = Vane::DecodeMessagePack(data, size);
    Check(result.consumed <= size);
    if (!result.status.Ok()) {
        Check(!result.status.Error().empty());
        Check(result.status.Value().Size() == 1);
        return 0;
    }

    // Compared as bytes, so that NaN payloads compare equal to themselves.
    const std::vector<uint8_t> encoded = Vane::testing::EncodeMessagePack(result.status.Value());
    const Vane::MessagePackResult again = Vane::DecodeMessagePack(encoded);
    Check(again.status.Ok() && again.consumed == encoded.size());
    Check(Vane::testing::EncodeMessagePack(again.status.Value()) == encoded);

    // A value cut short is never taken for a complete one.
    if (result.consumed > 1) {
        const Vane::MessagePackResult cut = Vane::DecodeMessagePack(data, result.consumed - 1);
        Check(!cut.status.Ok() && cut.consumed <= result.consumed - 1);
    }
    return 0;
}
