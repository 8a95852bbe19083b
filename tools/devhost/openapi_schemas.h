// JSON Schemas for the values a plugin's API table describes: one per registered type, for
// the components of an OpenAPI document, and one per argument, field, return value or event
// payload, naming the registered types by reference.
#ifndef PYX_DEVHOST_OPENAPI_SCHEMAS_H_
#define PYX_DEVHOST_OPENAPI_SCHEMAS_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pyx/host_abi.h"
#include "types/type_info.h"
#include "value/binding_property.h"

namespace Vane::DevHost {

// The native kinds of argument, field and return records, as the plugin's registry numbers
// them; 0 is "none" (no return value) and any code above 19 is unknown.
using ValueKind = NativeKind;

// A value's type as a record gives it: kind, element kind (vectors and maps) and the name of
// the registered type behind it (structs and enums, or the element of a vector or map).
struct ValueType {
    uint32_t kind = 0;
    uint32_t elementKind = 0;
    std::string_view typeName;
};

// `name` as an OpenAPI component key: every character outside A-Z, a-z, 0-9, ".", "-" and "_"
// becomes "_", and the empty name becomes "_".
std::string ComponentKey(std::string_view name);

// The registered types of one API table under the component keys the document gives them.
class SchemaCatalog {
  public:
    // The types of `table` (may be null: no types), which must stay valid while the catalog is
    // used. Keys in `reserved` are left to the caller's own schemas; a type whose key is taken
    // (reserved, or by an earlier type) gets "_2", "_3", ... appended. A name registered twice
    // refers to its first type.
    SchemaCatalog(const HostApiTable* table, const std::set<std::string>& reserved);

    // The schema of a value of `type`: {"$ref": "#/components/schemas/KEY"} for a struct or enum
    // of a known type, and for a vector or map the array or object of such elements. A struct
    // or enum whose type is not in the table gets the generic schema of its kind (an object, a
    // string), never a reference that would not resolve. Kind 0, object, callback and unknown
    // kinds give {} (any value).
    BindingProperty Schema(const ValueType& type) const;

    // Writes every type's schema into `schemas` (made a structure) under its key. A record
    // type is an object whose properties are its fields (with their descriptions) and whose
    // non-optional fields are required; an enumeration is a string whose enum lists the
    // enumerator names, as the plugin writes enumerations in JSON.
    void Components(BindingProperty& schemas) const;

    // The component key of the type named `typeName`; empty when the table has no such type.
    std::string KeyOf(std::string_view typeName) const;

  private:
    const HostApiTable* table_;
    std::vector<std::string> typeKeys_;                     // one per type record, in order
    std::map<std::string, std::string, std::less<>> keys_;  // type name -> component key
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_OPENAPI_SCHEMAS_H_
