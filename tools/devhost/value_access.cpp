#include "devhost/value_access.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "codec/json_writer.h"

namespace Vane::DevHost {

void Require(bool done) {
    if (done) return;
    std::fputs("devhost: memory ran out while building a value\n", stderr);
    std::abort();
}

std::optional<int64_t> ReadInt64(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kSigned:
            return value.GetSigned();
        case PropertyKind::kUnsigned:
            if (value.GetUnsigned() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
                return std::nullopt;
            return static_cast<int64_t>(value.GetUnsigned());
        case PropertyKind::kFloat: {
            const double number = value.GetFloat();
            // 2^63 is exactly representable; anything at or above it does not fit.
            if (!std::isfinite(number) || std::trunc(number) != number ||
                number < -9.2233720368547758e18 || number >= 9.2233720368547758e18)
                return std::nullopt;
            return static_cast<int64_t>(number);
        }
        default:
            return std::nullopt;
    }
}

std::optional<uint64_t> ReadUint64(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kUnsigned:
            return value.GetUnsigned();
        case PropertyKind::kSigned:
            if (value.GetSigned() < 0) return std::nullopt;
            return static_cast<uint64_t>(value.GetSigned());
        case PropertyKind::kFloat: {
            const double number = value.GetFloat();
            if (!std::isfinite(number) || std::trunc(number) != number || number < 0 ||
                number >= 1.8446744073709552e19)
                return std::nullopt;
            return static_cast<uint64_t>(number);
        }
        default:
            return std::nullopt;
    }
}

std::optional<double> ReadNumber(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kSigned:
            return static_cast<double>(value.GetSigned());
        case PropertyKind::kUnsigned:
            return static_cast<double>(value.GetUnsigned());
        case PropertyKind::kFloat:
            return value.GetFloat();
        default:
            return std::nullopt;
    }
}

std::optional<std::string> ReadString(const BindingProperty& value) {
    if (value.Kind() != PropertyKind::kString) return std::nullopt;
    return std::string(value.GetString());
}

bool SetMember(BindingProperty& target, std::string_view name, const BindingProperty& value) {
    BindingProperty* member = target.MemberForWrite(name);
    return member != nullptr && member->CopyFrom(value);
}

bool SetMemberString(BindingProperty& target, std::string_view name, std::string_view text) {
    BindingProperty* member = target.MemberForWrite(name);
    return member != nullptr && member->SetString(text);
}

bool SetMemberSigned(BindingProperty& target, std::string_view name, int64_t number) {
    BindingProperty* member = target.MemberForWrite(name);
    if (member == nullptr) return false;
    member->SetSigned(number);
    return true;
}

bool SetMemberUnsigned(BindingProperty& target, std::string_view name, uint64_t number) {
    BindingProperty* member = target.MemberForWrite(name);
    if (member == nullptr) return false;
    member->SetUnsigned(number);
    return true;
}

bool SetMemberBool(BindingProperty& target, std::string_view name, bool flag) {
    BindingProperty* member = target.MemberForWrite(name);
    if (member == nullptr) return false;
    member->SetBool(flag);
    return true;
}

BindingProperty StringValue(std::string_view text) {
    BindingProperty value;
    Require(value.SetString(text));
    return value;
}

std::string ToJsonText(const BindingProperty& value) {
    if (value.IsEmpty()) return "null";
    return WriteJson(value);
}

const char* KindWord(const BindingProperty& value) {
    switch (value.Kind()) {
        case PropertyKind::kEmpty:
            return "null";
        case PropertyKind::kBool:
            return "bool";
        case PropertyKind::kSigned:
        case PropertyKind::kUnsigned:
        case PropertyKind::kFloat:
            return "number";
        case PropertyKind::kString:
            return "string";
        case PropertyKind::kBlob:
            return "blob";
        case PropertyKind::kEnum:
            return "enum";
        case PropertyKind::kCollection:
            return "list";
        case PropertyKind::kStructure:
            return "object";
    }
    return "value";
}

}  // namespace Vane::DevHost
