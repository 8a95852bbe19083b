// Short builders of BindingProperty values for tables of expected results in tests.
#ifndef PYX_VALUE_BINDING_PROPERTY_TEST_SUPPORT_H_
#define PYX_VALUE_BINDING_PROPERTY_TEST_SUPPORT_H_

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "value/binding_property.h"

namespace Vane::test_values {

inline BindingProperty Empty() {
    return BindingProperty();
}

inline BindingProperty Bool(bool value) {
    BindingProperty property;
    property.SetBool(value);
    return property;
}

inline BindingProperty Signed(int64_t value) {
    BindingProperty property;
    property.SetSigned(value);
    return property;
}

inline BindingProperty Unsigned(uint64_t value) {
    BindingProperty property;
    property.SetUnsigned(value);
    return property;
}

inline BindingProperty Float(double value) {
    BindingProperty property;
    property.SetFloat(value);
    return property;
}

// A fixture short of what the test asked for would make its assertions meaningless: when
// memory runs out while one is built, the test program stops.
inline void Built(bool done) {
    if (!done) std::abort();
}

inline BindingProperty String(std::string_view text) {
    BindingProperty property;
    Built(property.SetString(text));
    return property;
}

inline BindingProperty Collection(std::initializer_list<BindingProperty> elements) {
    BindingProperty property;
    Built(property.MakeCollection());
    for (const BindingProperty& element : elements) {
        BindingProperty* slot = property.AppendElement();
        Built(slot != nullptr && slot->CopyFrom(element));
    }
    return property;
}

inline BindingProperty Structure(
    std::initializer_list<std::pair<std::string_view, BindingProperty>> members) {
    BindingProperty property;
    Built(property.MakeStructure());
    for (const auto& [name, value] : members) {
        BindingProperty* slot = property.MemberForWrite(name);
        Built(slot != nullptr && slot->CopyFrom(value));
    }
    return property;
}

}  // namespace Vane::test_values

#endif  // PYX_VALUE_BINDING_PROPERTY_TEST_SUPPORT_H_
