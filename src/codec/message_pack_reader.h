// Decoding one MessagePack value into a BindingProperty.
//
// The reader is iterative: open maps and arrays live on an explicit frame stack, so the depth
// of the input never deepens the call stack. Every length, count and fixed-width number is
// checked against the bytes that remain before it is read. The system only reads MessagePack
// (request bodies and arguments); it never writes it.
//
// What the reader produces, format by format (all multi-byte numbers are big-endian):
//   positive fixint 0x00-0x7F     signed (so 0x05 is signed 5)
//   negative fixint 0xE0-0xFF     signed (0xFF is -1)
//   uint 8/16/32/64               unsigned (so 0xCC 0x05 is unsigned 5)
//   int 8/16/32/64                signed, sign-extended
//   float 32 / float 64           float (float 32 widened to double)
//   nil                           the target is left as it is: empty for a new element or
//                                 member (see duplicate keys below)
//   false / true                  bool
//   fixstr, str 8/16/32           string, interned; the bytes are taken as they are (no UTF-8
//                                 check, NUL bytes kept)
//   bin 8/16/32                   blob, copied once from the input straight into the value
//   fixarray, array 16/32         collection
//   fixmap, map 16/32             structure; keys must be strings
//   ext, fixext and 0xC1          error
//
// The codec's choices:
// - Exactly one root value is decoded; the bytes after it are left to the caller, who learns
//   how many were consumed (request bodies reject anything extra). An empty input decodes to
//   the empty value with nothing consumed.
// - Errors are values. The first failure ends decoding and leaves the result's status failed
//   with {"error": message}; the partial value is gone. Messages (positions are byte offsets):
//     "Invalid MessagePack data at position %1. Map keys must be strings."
//     "Invalid MessagePack data at position %1."      (ext, fixext, 0xC1)
//         %1 is the offset just past the offending format byte.
//     "Invalid MessagePack data. 8-bit integer value at position %1 is truncated."
//     "Invalid MessagePack data. 16-bit integer value at position %1 is truncated."
//     "Invalid MessagePack data. 32-bit integer value at position %1 is truncated."
//     "Invalid MessagePack data. 64-bit integer value at position %1 is truncated."
//         a number, length or count of that width (float 32 and 64 count as 32 and 64 bits)
//         that does not fit in what remains; %1 is the offset of its first byte.
//     "Invalid MessagePack data. String of size %1 at position %2 is truncated."
//     "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated."
//         %1 the announced length, %2 the offset of the first byte of the text or bytes.
//     "Invalid MessagePack data. Container of %1 items at position %2 is truncated."
//         the input ends before a map or array received every item its count announced; %1
//         the announced count (members for a map), %2 the offset of the container's format
//         byte. The innermost unfinished container is named. A truncated body is never taken
//         for a complete, shorter one.
//     "Invalid MessagePack data. Container of %1 items at position %2 is too large."
//         an array whose count is above kMaxCollectionSize while the rest of the input could
//         hold more items than that (a shorter input ends as a truncated container instead).
//     "Invalid MessagePack data at position %1. Nesting deeper than %2 levels."
//         a map or array that would be the (kMaxNestingDepth + 1)-th open container; %1 is the
//         offset just past its format byte, %2 is kMaxNestingDepth. Copying, converting and
//         destroying values recurse once per level, so no deeper tree is ever built.
//     "Not enough memory to decode MessagePack data at position %1."
//         the value could not grow; %1 is the offset where decoding stopped.
// - Truncated input is always an error: a number, text or byte run cut short fails with its
//   "truncated" message, and an input that ends inside a map or array fails with the container
//   message, even when every item read so far was complete.
// - Depth: at most kMaxNestingDepth maps and arrays may be open at once (see the message).
// - Counts are never trusted for allocation: an array reserves at most as many elements as
//   the remaining bytes could hold (every item takes at least one byte), so a count of four
//   billion in a six-byte input allocates nothing large.
// - Duplicate map keys select the same member again, and the new value is decoded over the
//   earlier one: a scalar, string or blob replaces it; nil leaves it as it was; a map adds its
//   members to an earlier map (replacing same-named ones by the same rules) and replaces
//   anything else; an array writes its items over the first elements of an earlier array,
//   keeping the elements past its own count, and replaces anything else. Open containers are
//   tracked by the frame stack, never guessed from a target's kind, so such a member is always
//   read as a value and never misread as a finished container.
// - Number typing follows the format byte, not the value: fixints and int formats give signed
//   values, uint formats give unsigned ones.
#ifndef PYX_CODEC_MESSAGE_PACK_READER_H_
#define PYX_CODEC_MESSAGE_PACK_READER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "value/binding_property.h"
#include "value/conversion_status.h"

namespace Vane {

// A decoded value and how many input bytes it took.
struct MessagePackResult {
    ConversionStatus status;  // the root value, or {"error": message}
    size_t consumed = 0;      // bytes read; never above the input size
};

// The decoder state of one MessagePack input: the input, the read position, the result and
// the stack of open containers. Not thread-safe; one decode per reader.
class MessagePackReader {
  public:
    // A reader of `data[0, size)`. The bytes are not copied and must outlive Decode(). A null
    // `data` reads as empty input, whatever `size` says.
    MessagePackReader(const uint8_t* data, size_t size) noexcept;

    MessagePackReader(const MessagePackReader&) = delete;
    MessagePackReader& operator=(const MessagePackReader&) = delete;

    // Decodes exactly one value into Result() and returns Result().Ok(). Decodes on the first
    // call only; later calls return the same answer.
    bool Decode() noexcept;

    // The decoded root value, or the failure.
    ConversionStatus& Result() noexcept { return result_; }
    const ConversionStatus& Result() const noexcept { return result_; }

    // Bytes read so far: after a successful Decode(), the size of the root value's encoding.
    size_t Consumed() const noexcept { return position_; }

  private:
    enum class FrameKind : uint8_t { kArray, kMap };

    // One open container.
    struct Frame {
        BindingProperty* target;  // the collection or structure being filled
        const char* key;          // the last key read (maps), pointing into the input
        size_t keyLength;
        uint64_t index;  // next item; for a map keys and values alternate
        uint64_t count;  // items announced; twice the member count for a map
        size_t start;    // offset of the container's format byte
        FrameKind kind;
    };

    bool ReadValue(uint8_t format, size_t at, BindingProperty& target) noexcept;
    bool ReadKey(uint8_t format, size_t at) noexcept;
    bool ReadString(size_t length, BindingProperty& target) noexcept;
    bool ReadBlob(size_t width, BindingProperty& target) noexcept;
    bool OpenContainer(FrameKind kind, uint64_t count, size_t at, BindingProperty& target) noexcept;
    template <size_t Width>
    bool ReadNumber(uint64_t& value) noexcept;

    bool FailTruncatedNumber(size_t width) noexcept;
    bool FailAt(const char* message, size_t position) noexcept;
    bool FailSized(const char* message, uint64_t size, size_t position) noexcept;
    bool FailDepth(size_t position) noexcept;
    bool FailOutOfMemory() noexcept;

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    ConversionStatus result_;
    std::vector<Frame> frames_;
    bool decoded_ = false;
};

// Decodes one MessagePack value from `data[0, size)` (see MessagePackReader).
MessagePackResult DecodeMessagePack(const uint8_t* data, size_t size) noexcept;
inline MessagePackResult DecodeMessagePack(std::span<const uint8_t> bytes) noexcept {
    return DecodeMessagePack(bytes.data(), bytes.size());
}

// The probe for a body without a content type: true when the input is non-empty and begins
// with a map or array format byte (0x80-0x9F or 0xDC-0xDF).
bool LooksLikeMessagePack(const uint8_t* data, size_t size) noexcept;
inline bool LooksLikeMessagePack(std::span<const uint8_t> bytes) noexcept {
    return LooksLikeMessagePack(bytes.data(), bytes.size());
}

}  // namespace Vane

#endif  // PYX_CODEC_MESSAGE_PACK_READER_H_
