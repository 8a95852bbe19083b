// Differential fuzzing of the three readers: the input describes one value tree, which is
// written as JSON (the product's writer), MessagePack and block YAML (the test encoders), and
// each text is read back by its reader. All three must succeed and give the tree back. Aborts
// on the first disagreement, naming the codec.
//
// The tree holds what all three forms can say: null, booleans, negative integers as signed
// (a non-negative one reads back unsigned from every form), unsigned integers, finite doubles
// that are not integral (an integral double is written as an integer by JSON), texts of valid
// UTF-8 without NUL, lists and maps with unique keys.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/block_yaml_test_support.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/message_pack_reader.h"
#include "codec/message_pack_test_support.h"
#include "codec/yaml_reader.h"

namespace {

using Vane::BindingProperty;
using Vane::PropertyKind;

// Deep enough to cross every writer's indentation and nesting paths, well below the readers'
// nesting limit.
constexpr int kMaxDepth = 12;
constexpr int kMaxChildren = 8;

void Fail(const char* codec, const std::string& text, const std::string& detail) {
    std::fprintf(stderr, "%s disagrees (%s):\n%s\n", codec, detail.c_str(), text.c_str());
    std::abort();
}

// A valid UTF-8 text of up to 24 code points from every encoded length, without NUL.
std::string Text(FuzzedDataProvider& input) {
    std::string text;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, 24);
    for (size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        uint32_t point = 0;
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
            case 0:  // the printable ASCII that YAML and JSON treat specially most often
                point = input.ConsumeIntegralInRange<uint32_t>(0x20, 0x7E);
                break;
            case 1:
                point = input.ConsumeIntegralInRange<uint32_t>(1, 0x1F);
                break;
            case 2:
                point = input.ConsumeIntegralInRange<uint32_t>(0x80, 0x7FF);
                break;
            case 3:
                point = input.ConsumeIntegralInRange<uint32_t>(0x800, 0xFFFD);
                if (point >= 0xD800 && point <= 0xDFFF) point = 0xE000;  // no surrogates
                break;
            default:
                point = input.ConsumeIntegralInRange<uint32_t>(0x10000, 0x10FFFF);
                break;
        }
        if (point < 0x80) {
            text += static_cast<char>(point);
        } else if (point < 0x800) {
            text += static_cast<char>(0xC0 | (point >> 6));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            text += static_cast<char>(0xE0 | (point >> 12));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (point >> 18));
            text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return text;
}

// Fills `value` from the input; false when memory ran out (the input is then skipped).
bool Build(FuzzedDataProvider& input, BindingProperty& value, int depth) {
    const int kinds = depth < kMaxDepth ? 7 : 5;
    switch (input.ConsumeIntegralInRange<int>(0, kinds)) {
        case 0:
            return true;  // null
        case 1:
            value.SetBool(input.ConsumeBool());
            return true;
        case 2: {
            const int64_t number = input.ConsumeIntegral<int64_t>();
            if (number < 0) {
                value.SetSigned(number);
            } else {
                value.SetUnsigned(static_cast<uint64_t>(number));
            }
            return true;
        }
        case 3:
            value.SetUnsigned(input.ConsumeIntegral<uint64_t>());
            return true;
        case 4: {
            double number = input.ConsumeFloatingPoint<double>();
            if (!std::isfinite(number) || number == std::trunc(number)) number += 0.5;
            if (!std::isfinite(number) || number == std::trunc(number)) number = 0.25;
            value.SetFloat(number);
            return true;
        }
        case 5:
            return value.SetString(Text(input));
        case 6: {
            if (!value.MakeCollection()) return false;
            const int count = input.ConsumeIntegralInRange<int>(0, kMaxChildren);
            for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
                BindingProperty* element = value.AppendElement();
                if (element == nullptr || !Build(input, *element, depth + 1)) return false;
            }
            return true;
        }
        default: {
            if (!value.MakeStructure()) return false;
            const int count = input.ConsumeIntegralInRange<int>(0, kMaxChildren);
            for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
                const std::string name = Text(input);
                if (value.FindMember(name) != nullptr) continue;  // keys are unique
                BindingProperty* member = value.MemberForWrite(name);
                if (member == nullptr || !Build(input, *member, depth + 1)) return false;
            }
            return true;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    BindingProperty tree;
    if (!Build(input, tree, 0)) return 0;

    const std::string json = Vane::WriteJson(tree);
    Vane::ConversionStatus fromJson = Vane::ParseJson(json);
    if (!fromJson.Ok()) Fail("JSON", json, std::string(fromJson.Error()));
    if (!(fromJson.Value() == tree)) Fail("JSON", json, "another value read back");

    const std::vector<uint8_t> packed = Vane::testing::EncodeMessagePack(tree);
    Vane::MessagePackResult fromPack = Vane::DecodeMessagePack(packed);
    if (!fromPack.status.Ok()) Fail("MessagePack", json, std::string(fromPack.status.Error()));
    if (fromPack.consumed != packed.size()) Fail("MessagePack", json, "bytes left over");
    if (!(fromPack.status.Value() == tree)) Fail("MessagePack", json, "another value read back");

    const std::string yaml = Vane::testing::BlockYaml(tree);
    Vane::ConversionStatus fromYaml = Vane::ReadYaml(yaml);
    if (!fromYaml.Ok()) Fail("YAML", yaml, std::string(fromYaml.Error()));
    if (!(fromYaml.Value() == tree)) {
        Fail("YAML", yaml, "another value read back: " + Vane::WriteJson(fromYaml.Value()));
    }
    return 0;
}
