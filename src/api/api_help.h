// Self-description of the plugin's exposed API (functions, types, events) in two help formats:
// "Full", made of the registered BindingFull* records converted like any other record, and
// "Epytext", one docstring text per function, type or event.
#ifndef PYX_API_API_HELP_H_
#define PYX_API_API_HELP_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types/native_traits.h"
#include "types/type_descriptor.h"
#include "types/type_registry.h"
#include "value/conversion_status.h"

namespace Vane {

// The help formats BuildApiHelp writes.
enum class BindingHelpFormat : int32_t {
    kFull = 1,
    kEpytext = 2,
};

// The help form of a type identifier: the kind name, or the registered name of a struct or
// enum; for vectors and maps also the element's type text.
struct BindingFullTypeIdentifier {
    std::string type;
    std::string elementType;
};

struct BindingFullArgumentHelp {
    std::string name;
    std::string description;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<BindingFullArgumentHelp> arguments;
    BindingFullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;  // the result type's registered name; empty for a synchronous function
    std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
    std::string name;
    std::string description;
    int32_t value = 0;
};

struct BindingFullFieldHelp {
    std::string name;
    std::string description;
    uint32_t offset = 0;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullTypeHelp {
    std::string name;
    std::string nameSpace;
    uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingFullFieldHelp> fields;      // structures, registration order
    std::vector<BindingFullEnumValueHelp> values;  // enumerations, value order
};

struct BindingFullEventHelp {
    std::string name;
    std::string nameSpace;
    BindingFullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct BindingFullApiHelp {
    std::vector<BindingFullFunctionHelp> functions;
    std::vector<BindingFullTypeHelp> types;
    std::vector<BindingFullEventHelp> events;
};

// The descriptions of the help records (defined in api_help.cpp).
#define PYX_DECLARE_HELP_DESCRIPTION(T)                 \
    template <>                                         \
    struct TypeDescription<T> {                         \
        static void Describe(RecordBuilder<T>& record); \
    }
PYX_DECLARE_HELP_DESCRIPTION(BindingHelpFormat);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullTypeIdentifier);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullArgumentHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullFunctionHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullEnumValueHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullFieldHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullTypeHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullEventHelp);
PYX_DECLARE_HELP_DESCRIPTION(BindingFullApiHelp);
#undef PYX_DECLARE_HELP_DESCRIPTION

// Registers BindingHelpFormat and the eight BindingFull* records. A second call changes
// nothing. False when a registration failed (memory ran out, or a name is taken by another
// type).
bool RegisterHelpTypes(TypeRegistry& registry) noexcept;

// Builds the help of the given functions, types and events in status.Value() (cleared first): a
// structure with the members "functions", "types" and "events", each list sorted by name.
// "Full": each member is a collection of BindingFull* records converted through `registry`,
// which must hold the help types (RegisterHelpTypes). "Epytext": each member is a structure
// mapping every name to its epytext text. Any other format leaves the three members empty.
// Does nothing when `status` has already failed; on failure status.Value() is
// {"error": message}.
void BuildApiHelp(const TypeRegistry& registry, std::span<const FunctionDescription> functions,
                  std::span<const TypeDescriptor* const> types,
                  std::span<const EventDescription> events, BindingHelpFormat format,
                  ConversionStatus& status) noexcept;

// As above, for the registry's own function, type and event tables.
ConversionStatus BuildApiHelp(const TypeRegistry& registry, BindingHelpFormat format) noexcept;

// The help form of `type` (the "Full" rule). Throws only std::bad_alloc.
BindingFullTypeIdentifier FullTypeIdentifier(const TypeIdentifier& type);

// `text` with a leading "-" written "E{-}" and every "{" and "}" written "E{lb}" and "E{rb}".
// Throws only std::bad_alloc.
std::string EpytextEscape(std::string_view text);

// The name epytext shows for `type`: the kind name of scalars, strings, objects and callbacks,
// "bytearray" for blobs, "list[element]" and "dict[element]" for vectors and maps, the link
// "L{name}" for a struct or enum (the kind name inside when no descriptor is known), and ""
// for any other kind. Throws only std::bad_alloc.
std::string EpytextTypeName(const TypeIdentifier& type);

// The epytext docstring of a function (lines end with "\r\n"). Throws only std::bad_alloc.
std::string EpytextFunctionText(const FunctionDescription& function);

// The epytext docstring of a structure or an enumeration. Throws only std::bad_alloc.
std::string EpytextTypeText(const TypeDescriptor& type);

// The epytext docstring of an event. Throws only std::bad_alloc.
std::string EpytextEventText(const EventDescription& event);

}  // namespace Vane

#endif  // PYX_API_API_HELP_H_
