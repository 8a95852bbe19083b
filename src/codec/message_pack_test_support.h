// A small MessagePack encoder for tests and benchmarks: the product only reads MessagePack, so
// this is the one place that writes it.
#ifndef PYX_CODEC_MESSAGE_PACK_TEST_SUPPORT_H_
#define PYX_CODEC_MESSAGE_PACK_TEST_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "value/binding_property.h"

namespace Vane::testing {

// Appends MessagePack encodings to a byte vector. With `widest` set, every integer, length and
// count takes its widest format (int 64, uint 64, str 32, bin 32, array 32, map 32), which
// decodes to the same value as the smallest one.
class MessagePackEncoder {
  public:
    explicit MessagePackEncoder(bool widest = false) : widest_(widest) {}

    // The bytes written so far.
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // nil.
    void Nil() { bytes_.push_back(0xC0); }

    // false or true.
    void Bool(bool value) { bytes_.push_back(value ? 0xC3 : 0xC2); }

    // A fixint or int 8/16/32/64 (all decode as signed).
    void Signed(int64_t value) {
        if (widest_) return Put(0xD3, static_cast<uint64_t>(value), 8);
        if (value >= 0 && value <= 0x7F) return bytes_.push_back(static_cast<uint8_t>(value));
        if (value >= -32 && value < 0) return bytes_.push_back(static_cast<uint8_t>(value));
        if (value >= INT8_MIN && value <= INT8_MAX) return Put(0xD0, Bits(value), 1);
        if (value >= INT16_MIN && value <= INT16_MAX) return Put(0xD1, Bits(value), 2);
        if (value >= INT32_MIN && value <= INT32_MAX) return Put(0xD2, Bits(value), 4);
        Put(0xD3, Bits(value), 8);
    }

    // A uint 8/16/32/64 (decodes as unsigned, even when small).
    void Unsigned(uint64_t value) {
        if (widest_ || value > UINT32_MAX) return Put(0xCF, value, 8);
        if (value <= UINT8_MAX) return Put(0xCC, value, 1);
        if (value <= UINT16_MAX) return Put(0xCD, value, 2);
        Put(0xCE, value, 4);
    }

    // A float 64.
    void Float(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        Put(0xCB, bits, 8);
    }

    // A fixstr or str 8/16/32 followed by the text.
    void String(std::string_view text) {
        const size_t size = text.size();
        if (widest_ || size > UINT16_MAX) {
            Put(0xDB, size, 4);
        } else if (size <= 31) {
            bytes_.push_back(static_cast<uint8_t>(0xA0 | size));
        } else if (size <= UINT8_MAX) {
            Put(0xD9, size, 1);
        } else {
            Put(0xDA, size, 2);
        }
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }

    // A bin 8/16/32 followed by the bytes.
    void Blob(std::span<const uint8_t> data) {
        const size_t size = data.size();
        if (widest_ || size > UINT16_MAX) {
            Put(0xC6, size, 4);
        } else if (size <= UINT8_MAX) {
            Put(0xC4, size, 1);
        } else {
            Put(0xC5, size, 2);
        }
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }

    // A fixarray or array 16/32 header; `count` items must follow.
    void ArrayHeader(uint32_t count) {
        if (widest_ || count > UINT16_MAX) return Put(0xDD, count, 4);
        if (count <= 15) return bytes_.push_back(static_cast<uint8_t>(0x90 | count));
        Put(0xDC, count, 2);
    }

    // A fixmap or map 16/32 header; `count` key and value pairs must follow.
    void MapHeader(uint32_t count) {
        if (widest_ || count > UINT16_MAX) return Put(0xDF, count, 4);
        if (count <= 15) return bytes_.push_back(static_cast<uint8_t>(0x80 | count));
        Put(0xDE, count, 2);
    }

    // Encodes a value tree: signed values as Signed, unsigned as Unsigned, enums by their
    // number, structures as maps in member order.
    void Value(const BindingProperty& value) {
        switch (value.Kind()) {
            case PropertyKind::kBool:
                return Bool(value.GetBool());
            case PropertyKind::kSigned:
                return Signed(value.GetSigned());
            case PropertyKind::kUnsigned:
                return Unsigned(value.GetUnsigned());
            case PropertyKind::kFloat:
                return Float(value.GetFloat());
            case PropertyKind::kString:
                return String(value.GetString());
            case PropertyKind::kBlob:
                return Blob(value.GetBlob());
            case PropertyKind::kEnum:
                return Signed(value.GetEnum().value);
            case PropertyKind::kCollection:
                ArrayHeader(static_cast<uint32_t>(value.Size()));
                for (const BindingProperty& element : value.Elements()) Value(element);
                return;
            case PropertyKind::kStructure:
                MapHeader(static_cast<uint32_t>(value.Size()));
                for (const auto& member : value.Members()) {
                    String(member.name);
                    Value(member.value);
                }
                return;
            default:
                return Nil();
        }
    }

  private:
    static uint64_t Bits(int64_t value) { return static_cast<uint64_t>(value); }

    // The format byte, then the low `width` bytes of `value`, most significant first.
    void Put(uint8_t format, uint64_t value, int width) {
        bytes_.push_back(format);
        for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) {
            bytes_.push_back(static_cast<uint8_t>(value >> shift));
        }
    }

    std::vector<uint8_t> bytes_;
    bool widest_;
};

// The MessagePack encoding of `value` (see MessagePackEncoder::Value).
inline std::vector<uint8_t> EncodeMessagePack(const BindingProperty& value, bool widest = false) {
    MessagePackEncoder encoder(widest);
    encoder.Value(value);
    return encoder.Bytes();
}

}  // namespace Vane::testing

#endif  // PYX_CODEC_MESSAGE_PACK_TEST_SUPPORT_H_
