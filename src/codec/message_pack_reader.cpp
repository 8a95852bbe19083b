#include "codec/message_pack_reader.h"

#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "util/format.h"
#include "value/nesting_limit.h"

namespace Vane {

namespace {

// The frame stack starts with room for this many open containers and grows on demand.
constexpr size_t kInitialFrames = 16;

constexpr const char* kMapKeysMessage =
    "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr const char* kInvalidMessage = "Invalid MessagePack data at position %1.";
constexpr const char* kTruncated8Message =
    "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
constexpr const char* kTruncated16Message =
    "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
constexpr const char* kTruncated32Message =
    "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
constexpr const char* kTruncated64Message =
    "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
constexpr const char* kStringMessage =
    "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr const char* kBlobMessage =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
constexpr const char* kContainerMessage =
    "Invalid MessagePack data. Container of %1 items at position %2 is truncated.";
constexpr const char* kTooLargeMessage =
    "Invalid MessagePack data. Container of %1 items at position %2 is too large.";
constexpr const char* kDepthMessage =
    "Invalid MessagePack data at position %1. Nesting deeper than %2 levels.";
constexpr const char* kMemoryMessage =
    "Not enough memory to decode MessagePack data at position %1.";

// Big-endian loads; compilers turn each into one load and a byte swap.
template <size_t Width>
uint64_t LoadBigEndian(const uint8_t* bytes) noexcept {
    uint64_t value = 0;
    for (size_t index = 0; index < Width; ++index) value = (value << 8) | bytes[index];
    return value;
}

}  // namespace

MessagePackReader::MessagePackReader(const uint8_t* data, size_t size) noexcept
    : data_(data), size_(data ? size : 0) {}

bool MessagePackReader::Decode() noexcept {
    if (decoded_) return result_.Ok();
    decoded_ = true;
    // Nothing to read: the root stays empty, as nil would leave it.
    if (size_ == 0) return true;
    try {
        frames_.reserve(kInitialFrames);
    } catch (const std::bad_alloc&) {
        return FailOutOfMemory();
    }

    BindingProperty* target = &result_.Value();
    bool keyExpected = false;
    for (;;) {
        const size_t at = position_;
        const uint8_t format = data_[position_++];
        if (keyExpected ? !ReadKey(format, at) : !ReadValue(format, at, *target)) return false;

        // Close every container that has all its items, then pick the next item's target.
        while (!frames_.empty() && frames_.back().index == frames_.back().count) {
            frames_.pop_back();
        }
        if (frames_.empty()) return true;
        Frame& top = frames_.back();
        if (position_ >= size_) {
            // The innermost open container still expects items: the input was cut short.
            return FailSized(kContainerMessage,
                             top.kind == FrameKind::kMap ? top.count / 2 : top.count, top.start);
        }
        const uint64_t index = top.index++;
        if (top.kind == FrameKind::kArray) {
            keyExpected = false;
            target = top.target->ElementAt(static_cast<size_t>(index));
        } else if ((index & 1) == 0) {
            keyExpected = true;
            continue;
        } else {
            keyExpected = false;
            target = top.target->MemberForWrite(std::string_view(top.key, top.keyLength));
        }
        if (!target) return FailOutOfMemory();
    }
}

bool MessagePackReader::ReadValue(uint8_t format, size_t at, BindingProperty& target) noexcept {
    if (format <= 0x7F) {
        target.SetSigned(format);
        return true;
    }
    if (format >= 0xE0) {
        target.SetSigned(static_cast<int8_t>(format));
        return true;
    }
    if (format <= 0x8F) return OpenContainer(FrameKind::kMap, format & 0x0F, at, target);
    if (format <= 0x9F) return OpenContainer(FrameKind::kArray, format & 0x0F, at, target);
    if (format <= 0xBF) return ReadString(format & 0x1F, target);

    uint64_t value = 0;
    switch (format) {
        case 0xC0:
            return true;
        case 0xC2:
        case 0xC3:
            target.SetBool(format == 0xC3);
            return true;
        case 0xC4:
            return ReadBlob(1, target);
        case 0xC5:
            return ReadBlob(2, target);
        case 0xC6:
            return ReadBlob(4, target);
        case 0xCA: {
            if (!ReadNumber<4>(value)) return false;
            const uint32_t bits = static_cast<uint32_t>(value);
            float number;
            std::memcpy(&number, &bits, sizeof number);
            target.SetFloat(number);
            return true;
        }
        case 0xCB: {
            if (!ReadNumber<8>(value)) return false;
            double number;
            std::memcpy(&number, &value, sizeof number);
            target.SetFloat(number);
            return true;
        }
        case 0xCC:
            if (!ReadNumber<1>(value)) return false;
            target.SetUnsigned(value);
            return true;
        case 0xCD:
            if (!ReadNumber<2>(value)) return false;
            target.SetUnsigned(value);
            return true;
        case 0xCE:
            if (!ReadNumber<4>(value)) return false;
            target.SetUnsigned(value);
            return true;
        case 0xCF:
            if (!ReadNumber<8>(value)) return false;
            target.SetUnsigned(value);
            return true;
        case 0xD0:
            if (!ReadNumber<1>(value)) return false;
            target.SetSigned(static_cast<int8_t>(value));
            return true;
        case 0xD1:
            if (!ReadNumber<2>(value)) return false;
            target.SetSigned(static_cast<int16_t>(value));
            return true;
        case 0xD2:
            if (!ReadNumber<4>(value)) return false;
            target.SetSigned(static_cast<int32_t>(value));
            return true;
        case 0xD3:
            if (!ReadNumber<8>(value)) return false;
            target.SetSigned(static_cast<int64_t>(value));
            return true;
        case 0xD9:
            return ReadNumber<1>(value) && ReadString(static_cast<size_t>(value), target);
        case 0xDA:
            return ReadNumber<2>(value) && ReadString(static_cast<size_t>(value), target);
        case 0xDB:
            return ReadNumber<4>(value) && ReadString(static_cast<size_t>(value), target);
        case 0xDC:
            return ReadNumber<2>(value) && OpenContainer(FrameKind::kArray, value, at, target);
        case 0xDD:
            return ReadNumber<4>(value) && OpenContainer(FrameKind::kArray, value, at, target);
        case 0xDE:
            return ReadNumber<2>(value) && OpenContainer(FrameKind::kMap, value, at, target);
        case 0xDF:
            return ReadNumber<4>(value) && OpenContainer(FrameKind::kMap, value, at, target);
        default:
            // 0xC1 is never used; ext and fixext carry application types this system has none
            // of.
            return FailAt(kInvalidMessage, at + 1);
    }
}

bool MessagePackReader::ReadKey(uint8_t format, size_t at) noexcept {
    uint64_t length = 0;
    if ((format & 0xE0) == 0xA0) {
        length = format & 0x1F;
    } else if (format == 0xD9) {
        if (!ReadNumber<1>(length)) return false;
    } else if (format == 0xDA) {
        if (!ReadNumber<2>(length)) return false;
    } else if (format == 0xDB) {
        if (!ReadNumber<4>(length)) return false;
    } else {
        return FailAt(kMapKeysMessage, at + 1);
    }
    if (length > size_ - position_) return FailSized(kStringMessage, length, position_);
    // The key stays in the input until its value selects the member.
    Frame& top = frames_.back();
    top.key = reinterpret_cast<const char*>(data_ + position_);
    top.keyLength = static_cast<size_t>(length);
    position_ += static_cast<size_t>(length);
    return true;
}

bool MessagePackReader::ReadString(size_t length, BindingProperty& target) noexcept {
    if (length > size_ - position_) return FailSized(kStringMessage, length, position_);
    const std::string_view text(reinterpret_cast<const char*>(data_ + position_), length);
    if (!target.SetString(text)) return FailOutOfMemory();
    position_ += length;
    return true;
}

bool MessagePackReader::ReadBlob(size_t width, BindingProperty& target) noexcept {
    uint64_t length = 0;
    const bool read = width == 1   ? ReadNumber<1>(length)
                      : width == 2 ? ReadNumber<2>(length)
                                   : ReadNumber<4>(length);
    if (!read) return false;
    if (length > size_ - position_) return FailSized(kBlobMessage, length, position_);
    // One copy, from the input straight into the value's record.
    const size_t size = static_cast<size_t>(length);
    if (!target.SetBlob(std::span<const uint8_t>(data_ + position_, size))) {
        return FailOutOfMemory();
    }
    position_ += size;
    return true;
}

bool MessagePackReader::OpenContainer(FrameKind kind, uint64_t count, size_t at,
                                      BindingProperty& target) noexcept {
    if (frames_.size() >= kMaxNestingDepth) return FailDepth(at + 1);
    const size_t remaining = size_ - position_;
    if (kind == FrameKind::kArray) {
        // Every item takes at least one byte, so never reserve more than the rest could hold;
        // a count beyond that ends as a truncated container once the input runs out. Only
        // when the rest could hold more items than a collection may is the count refused now.
        if (count > kMaxCollectionSize && remaining > kMaxCollectionSize) {
            return FailSized(kTooLargeMessage, count, at);
        }
        if (!target.MakeCollection()) return FailOutOfMemory();
        const size_t reserve = count < remaining ? static_cast<size_t>(count) : remaining;
        // Only a hint: growing element by element still works if this fails.
        static_cast<void>(target.Reserve(reserve));
    } else {
        if (!target.MakeStructure()) return FailOutOfMemory();
        count *= 2;  // keys and values alternate
    }
    try {
        frames_.push_back(Frame{&target, nullptr, 0, 0, count, at, kind});
    } catch (const std::bad_alloc&) {
        return FailOutOfMemory();
    }
    return true;
}

template <size_t Width>
bool MessagePackReader::ReadNumber(uint64_t& value) noexcept {
    if (size_ - position_ < Width) return FailTruncatedNumber(Width);
    value = LoadBigEndian<Width>(data_ + position_);
    position_ += Width;
    return true;
}

bool MessagePackReader::FailTruncatedNumber(size_t width) noexcept {
    const char* message = width == 1   ? kTruncated8Message
                          : width == 2 ? kTruncated16Message
                          : width == 4 ? kTruncated32Message
                                       : kTruncated64Message;
    return FailAt(message, position_);
}

bool MessagePackReader::FailAt(const char* message, size_t position) noexcept {
    try {
        result_.Fail(FormatPositional(message, uint64_t{position}));
    } catch (const std::bad_alloc&) {
        result_.Fail(message);
    }
    return false;
}

bool MessagePackReader::FailSized(const char* message, uint64_t size, size_t position) noexcept {
    try {
        result_.Fail(FormatPositional(message, size, uint64_t{position}));
    } catch (const std::bad_alloc&) {
        result_.Fail(message);
    }
    return false;
}

bool MessagePackReader::FailDepth(size_t position) noexcept {
    try {
        result_.Fail(
            FormatPositional(kDepthMessage, uint64_t{position}, uint64_t{kMaxNestingDepth}));
    } catch (const std::bad_alloc&) {
        result_.Fail(kDepthMessage);
    }
    return false;
}

bool MessagePackReader::FailOutOfMemory() noexcept {
    return FailAt(kMemoryMessage, position_);
}

MessagePackResult DecodeMessagePack(const uint8_t* data, size_t size) noexcept {
    MessagePackReader reader(data, size);
    reader.Decode();
    MessagePackResult result;
    result.status = std::move(reader.Result());
    result.consumed = reader.Consumed();
    return result;
}

bool LooksLikeMessagePack(const uint8_t* data, size_t size) noexcept {
    if (!data || size == 0) return false;
    const uint8_t first = data[0];
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace Vane
