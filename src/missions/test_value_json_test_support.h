// JSON text to and from the test host's owned values, so tests write the world's resources,
// event payloads and expected values as JSON. Integers that fit int64 become signed values,
// larger ones unsigned; other numbers become floats. ToJson writes members in their order.
#ifndef PYX_MISSIONS_TEST_VALUE_JSON_TEST_SUPPORT_H_
#define PYX_MISSIONS_TEST_VALUE_JSON_TEST_SUPPORT_H_

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "plugin/test_host_test_support.h"

namespace Vane::testing {

inline TestValue FromJsonValue(const rapidjson::Value& json) {
    TestValue value;
    if (json.IsNull()) {
        value.type = kHostValueNone;
    } else if (json.IsBool()) {
        value.type = kHostValueBool;
        value.boolean = json.GetBool();
    } else if (json.IsInt64()) {
        value.type = kHostValueSigned;
        value.i64 = json.GetInt64();
    } else if (json.IsUint64()) {
        value.type = kHostValueUnsigned;
        value.u64 = json.GetUint64();
    } else if (json.IsNumber()) {
        value.type = kHostValueFloat;
        value.f64 = json.GetDouble();
    } else if (json.IsString()) {
        value = TestValue::String(std::string(json.GetString(), json.GetStringLength()));
    } else if (json.IsArray()) {
        value.type = kHostValueCollection;
        for (const rapidjson::Value& item : json.GetArray())
            value.items.push_back(FromJsonValue(item));
    } else {
        value.type = kHostValueStructure;
        for (const auto& member : json.GetObject()) {
            value.members.push_back(
                {std::string(member.name.GetString(), member.name.GetStringLength()),
                 FromJsonValue(member.value)});
        }
    }
    return value;
}

// The value of the JSON text `text`; throws (failing the test) when it does not parse.
inline TestValue FromJson(std::string_view text) {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    if (document.HasParseError()) {
        throw std::invalid_argument(std::string("bad test JSON: ") +
                                    rapidjson::GetParseError_En(document.GetParseError()));
    }
    return FromJsonValue(document);
}

inline void WriteTestValue(rapidjson::Writer<rapidjson::StringBuffer>& writer,
                           const TestValue& value) {
    switch (value.type) {
        case kHostValueBool:
            writer.Bool(value.boolean);
            break;
        case kHostValueSigned:
            writer.Int64(value.i64);
            break;
        case kHostValueUnsigned:
            writer.Uint64(value.u64);
            break;
        case kHostValueFloat:
            writer.Double(value.f64);
            break;
        case kHostValueStringBorrowed:
        case kHostValueStringOwned:
        case kHostValueBlobBorrowed:
        case kHostValueBlobOwned:
            writer.String(value.text.data(), static_cast<rapidjson::SizeType>(value.text.size()));
            break;
        case kHostValueCollection:
            writer.StartArray();
            for (const TestValue& item : value.items) WriteTestValue(writer, item);
            writer.EndArray();
            break;
        case kHostValueStructure:
            writer.StartObject();
            for (const TestMember& member : value.members) {
                writer.Key(member.name.data(),
                           static_cast<rapidjson::SizeType>(member.name.size()));
                WriteTestValue(writer, member.value);
            }
            writer.EndObject();
            break;
        default:
            writer.Null();
            break;
    }
}

// Compact JSON of `value`.
inline std::string ToJson(const TestValue& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    WriteTestValue(writer, value);
    return std::string(buffer.GetString(), buffer.GetSize());
}

// The member `name` of a structure, or null.
inline const TestValue* FindMember(const TestValue& value, std::string_view name) {
    for (const TestMember& member : value.members) {
        if (member.name == name) return &member.value;
    }
    return nullptr;
}

}  // namespace Vane::testing

#endif  // PYX_MISSIONS_TEST_VALUE_JSON_TEST_SUPPORT_H_
