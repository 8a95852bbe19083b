#include "api/api_help.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <string>

#include "types/record_description.h"

namespace Vane {

// ---- Descriptions of the help records ----

namespace {

constexpr std::string_view kBuiltinTag = "$builtin";
constexpr std::string_view kHelpTag = "help";

template <class T>
RecordBuilder<T>& HelpRecord(RecordBuilder<T>& record, std::string_view name,
                             std::string_view description) {
    return record.Name(name).Description(description).Tag(kBuiltinTag).Tag(kHelpTag);
}

}  // namespace

void TypeDescription<BindingHelpFormat>::Describe(RecordBuilder<BindingHelpFormat>& record) {
    HelpRecord(record, "BindingHelpFormat", "Help format for binding functions and types.");
    record.Enumerator("Full", BindingHelpFormat::kFull, "Native help format");
    record.Enumerator("Epytext", BindingHelpFormat::kEpytext, "Python epytext format");
}

void TypeDescription<BindingFullTypeIdentifier>::Describe(
    RecordBuilder<BindingFullTypeIdentifier>& record) {
    using R = BindingFullTypeIdentifier;
    HelpRecord(record, "BindingFullTypeIdentifier", "Describes the type of a value.");
    record.Field("type", &R::type);
    record.Field("elementType", &R::elementType);
}

void TypeDescription<BindingFullArgumentHelp>::Describe(
    RecordBuilder<BindingFullArgumentHelp>& record) {
    using R = BindingFullArgumentHelp;
    HelpRecord(record, "BindingFullArgumentHelp", "Describes a function parameter.");
    record.Field("name", &R::name);
    record.Field("description", &R::description);
    record.Field("type", &R::type);
    record.Field("optional", &R::optional);
}

void TypeDescription<BindingFullFunctionHelp>::Describe(
    RecordBuilder<BindingFullFunctionHelp>& record) {
    using R = BindingFullFunctionHelp;
    HelpRecord(record, "BindingFullFunctionHelp", "Describes a function.");
    record.Field("name", &R::name);
    record.Field("nameSpace", &R::nameSpace);
    record.Field("arguments", &R::arguments);
    record.Field("returns", &R::returns);
    record.Field("description", &R::description);
    record.Field("help", &R::help);
    record.Field("threadSafe", &R::threadSafe);
    record.Field("async", &R::async);
    record.Field("tags", &R::tags);
}

void TypeDescription<BindingFullEnumValueHelp>::Describe(
    RecordBuilder<BindingFullEnumValueHelp>& record) {
    using R = BindingFullEnumValueHelp;
    HelpRecord(record, "BindingFullEnumValueHelp", "Describes an enumerator.");
    record.Field("name", &R::name);
    record.Field("description", &R::description);
    record.Field("value", &R::value);
}

void TypeDescription<BindingFullFieldHelp>::Describe(RecordBuilder<BindingFullFieldHelp>& record) {
    using R = BindingFullFieldHelp;
    HelpRecord(record, "BindingFullFieldHelp", "Describes a member of a struct.");
    record.Field("name", &R::name);
    record.Field("description", &R::description);
    record.Field("offset", &R::offset);
    record.Field("type", &R::type);
    record.Field("optional", &R::optional);
}

void TypeDescription<BindingFullTypeHelp>::Describe(RecordBuilder<BindingFullTypeHelp>& record) {
    using R = BindingFullTypeHelp;
    HelpRecord(record, "BindingFullTypeHelp", "Describes a struct or enum type.");
    record.Field("name", &R::name);
    record.Field("nameSpace", &R::nameSpace);
    record.Field("size", &R::size);
    record.Field("description", &R::description);
    record.Field("tags", &R::tags);
    record.Field("fields", &R::fields);
    record.Field("values", &R::values);
}

void TypeDescription<BindingFullEventHelp>::Describe(RecordBuilder<BindingFullEventHelp>& record) {
    using R = BindingFullEventHelp;
    HelpRecord(record, "BindingFullEventHelp", "Describes an event.");
    record.Field("name", &R::name);
    record.Field("nameSpace", &R::nameSpace);
    record.Field("type", &R::type);
    record.Field("description", &R::description);
    record.Field("tags", &R::tags);
}

void TypeDescription<BindingFullApiHelp>::Describe(RecordBuilder<BindingFullApiHelp>& record) {
    using R = BindingFullApiHelp;
    HelpRecord(record, "BindingFullApiHelp", "Describes the exposed native API.");
    record.Field("functions", &R::functions);
    record.Field("types", &R::types);
    record.Field("events", &R::events);
}

bool RegisterHelpTypes(TypeRegistry& registry) noexcept {
    // One holding of the lock, so the nine types appear together.
    std::lock_guard lock(registry.Mutex());
    bool ok = RegisterType<BindingHelpFormat>(registry) != nullptr;
    ok = RegisterType<BindingFullTypeIdentifier>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullArgumentHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullFunctionHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullEnumValueHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullFieldHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullTypeHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullEventHelp>(registry) != nullptr && ok;
    ok = RegisterType<BindingFullApiHelp>(registry) != nullptr && ok;
    return ok;
}

// ---- Type names ----

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kParagraphEnd = "\r\n\r\n";

bool IsRecordKind(uint32_t kind) {
    return kind == static_cast<uint32_t>(NativeKind::kStruct) ||
           kind == static_cast<uint32_t>(NativeKind::kEnum);
}

// The "Full" text of a kind that refers to `descriptor` when it is a struct or enum.
std::string FullTypeText(uint32_t kind, const TypeDescriptor* descriptor) {
    if (IsRecordKind(kind) && descriptor) return descriptor->name;
    return NativeKindName(kind);
}

std::string EpytextKindName(uint32_t kind, uint32_t elementKind, const TypeDescriptor* descriptor) {
    switch (static_cast<NativeKind>(kind)) {
        case NativeKind::kBool:
        case NativeKind::kInt8:
        case NativeKind::kUint8:
        case NativeKind::kInt16:
        case NativeKind::kUint16:
        case NativeKind::kInt32:
        case NativeKind::kUint32:
        case NativeKind::kInt64:
        case NativeKind::kUint64:
        case NativeKind::kFloat:
        case NativeKind::kDouble:
        case NativeKind::kString:
        case NativeKind::kObject:
        case NativeKind::kCallback:
            return NativeKindName(kind);
        case NativeKind::kBlob:
            return "bytearray";
        case NativeKind::kVector:
            // Elements never nest further, so the element's own element kind is 0.
            return "list[" + EpytextKindName(elementKind, 0, descriptor) + "]";
        case NativeKind::kMap:
            return "dict[" + EpytextKindName(elementKind, 0, descriptor) + "]";
        case NativeKind::kEnum:
        case NativeKind::kStruct:
            return "L{" + (descriptor ? descriptor->name : std::string(NativeKindName(kind))) + "}";
        default:
            return {};
    }
}

void AppendTags(std::string& out, const std::vector<std::string>& tags) {
    if (tags.empty()) return;
    out += "@tags: ";
    for (size_t index = 0; index < tags.size(); ++index) {
        if (index != 0) out += ',';
        out += tags[index];
    }
    out += kLineEnd;
}

void AppendParagraph(std::string& out, std::string_view text) {
    if (text.empty()) return;
    out += EpytextEscape(text);
    out += kParagraphEnd;
}

}  // namespace

BindingFullTypeIdentifier FullTypeIdentifier(const TypeIdentifier& type) {
    BindingFullTypeIdentifier out;
    out.type = FullTypeText(type.kind, type.descriptor);
    if (type.kind == static_cast<uint32_t>(NativeKind::kVector) ||
        type.kind == static_cast<uint32_t>(NativeKind::kMap)) {
        out.elementType = FullTypeText(type.elementKind, type.descriptor);
    }
    return out;
}

std::string EpytextEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    if (!text.empty() && text.front() == '-') {
        out += "E{-}";
        text.remove_prefix(1);
    }
    for (char c : text) {
        if (c == '{') {
            out += "E{lb}";
        } else if (c == '}') {
            out += "E{rb}";
        } else {
            out += c;
        }
    }
    return out;
}

std::string EpytextTypeName(const TypeIdentifier& type) {
    return EpytextKindName(type.kind, type.elementKind, type.descriptor);
}

// ---- Epytext texts ----

std::string EpytextFunctionText(const FunctionDescription& function) {
    std::string out;
    AppendParagraph(out, function.description);
    AppendParagraph(out, function.help);
    for (const ArgumentDescription& argument : function.arguments) {
        if (!argument.description.empty()) {
            out += "@param " + argument.name + ": ";
            if (argument.optional) out += "(optional) ";
            out += EpytextEscape(argument.description);
            out += kLineEnd;
        }
        out += "@type " + argument.name + ": " + EpytextTypeName(argument.type) + kLineEnd;
    }
    const std::string returnType = EpytextTypeName(function.returns);
    if (function.returns.kind != 0) out += "@rtype: " + returnType + kLineEnd;
    AppendTags(out, function.tags);
    if (function.threadSafe) out += "@threadsafe: true\r\n";
    if (function.asyncResultType) out += "@async: " + returnType + kLineEnd;
    return out;
}

namespace {

std::string StructureText(const TypeDescriptor& type) {
    std::string out;
    AppendParagraph(out, type.description);
    for (const FieldRecord& field : type.fields) {
        out += "@ivar " + field.name + ": " + field.description + kLineEnd;
        out += "@type " + field.name + ": " + EpytextTypeName(field.type) + kLineEnd;
    }
    AppendTags(out, type.tags);
    return out;
}

std::string EnumerationText(const TypeDescriptor& type) {
    std::string out;
    AppendParagraph(out, type.description);
    for (const EnumeratorRecord* enumerator : type.enumeratorsByValue) {
        out += "@cvar " + enumerator->name + ": (" + std::to_string(enumerator->value) + ")";
        if (!enumerator->description.empty()) out += " " + enumerator->description;
        out += kLineEnd;
    }
    AppendTags(out, type.tags);
    out += "@size: " + std::to_string(type.size) + kLineEnd;
    return out;
}

}  // namespace

std::string EpytextTypeText(const TypeDescriptor& type) {
    return type.isEnum ? EnumerationText(type) : StructureText(type);
}

std::string EpytextEventText(const EventDescription& event) {
    std::string out;
    AppendParagraph(out, event.description);
    AppendTags(out, event.tags);
    return out;
}

// ---- Building the help ----

namespace {

TypeIdentifier PayloadIdentifier(const TypeDescriptor* payload) {
    if (!payload) return {};
    const NativeKind kind = payload->isEnum ? NativeKind::kEnum : NativeKind::kStruct;
    return TypeIdentifier{static_cast<uint32_t>(kind), 0, payload};
}

BindingFullFunctionHelp FullFunctionHelp(const FunctionDescription& function) {
    BindingFullFunctionHelp out;
    out.name = function.name;
    out.nameSpace = function.nameSpace;
    out.arguments.reserve(function.arguments.size());
    for (const ArgumentDescription& argument : function.arguments) {
        out.arguments.push_back(BindingFullArgumentHelp{argument.name, argument.description,
                                                        FullTypeIdentifier(argument.type),
                                                        argument.optional});
    }
    out.returns = FullTypeIdentifier(function.returns);
    out.description = function.description;
    out.help = function.help;
    out.threadSafe = function.threadSafe;
    if (function.asyncResultType) out.async = function.asyncResultType->name;
    out.tags = function.tags;
    return out;
}

BindingFullTypeHelp FullTypeHelp(const TypeDescriptor& type) {
    BindingFullTypeHelp out;
    out.name = type.name;
    out.nameSpace = type.nameSpace;
    out.size = type.size;
    out.description = type.description;
    out.tags = type.tags;
    out.fields.reserve(type.fields.size());
    for (const FieldRecord& field : type.fields) {
        out.fields.push_back(BindingFullFieldHelp{field.name, field.description, field.offset,
                                                  FullTypeIdentifier(field.type), field.optional});
    }
    out.values.reserve(type.enumeratorsByValue.size());
    for (const EnumeratorRecord* enumerator : type.enumeratorsByValue) {
        out.values.push_back(
            BindingFullEnumValueHelp{enumerator->name, enumerator->description, enumerator->value});
    }
    return out;
}

BindingFullEventHelp FullEventHelp(const EventDescription& event) {
    BindingFullEventHelp out;
    out.name = event.name;
    out.type = FullTypeIdentifier(PayloadIdentifier(event.payload));
    out.description = event.description;
    out.tags = event.tags;
    return out;
}

template <class T>
void SortByName(std::vector<T>& records) {
    std::stable_sort(records.begin(), records.end(),
                     [](const T& left, const T& right) { return left.name < right.name; });
}

// The addresses of `items`, sorted by the items' names.
template <class T>
std::vector<const T*> SortedByName(std::span<const T> items) {
    std::vector<const T*> sorted;
    sorted.reserve(items.size());
    for (const T& item : items) sorted.push_back(&item);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const T* left, const T* right) { return left->name < right->name; });
    return sorted;
}

std::vector<const TypeDescriptor*> SortedTypes(std::span<const TypeDescriptor* const> types) {
    std::vector<const TypeDescriptor*> sorted;
    sorted.reserve(types.size());
    for (const TypeDescriptor* type : types) {
        if (type) sorted.push_back(type);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TypeDescriptor* left, const TypeDescriptor* right) {
                         return left->name < right->name;
                     });
    return sorted;
}

void BuildFullHelp(const TypeRegistry& registry, std::span<const FunctionDescription> functions,
                   std::span<const TypeDescriptor* const> types,
                   std::span<const EventDescription> events, ConversionStatus& status) {
    BindingFullApiHelp help;
    help.functions.reserve(functions.size());
    for (const FunctionDescription& function : functions) {
        help.functions.push_back(FullFunctionHelp(function));
    }
    for (const TypeDescriptor* type : SortedTypes(types)) help.types.push_back(FullTypeHelp(*type));
    help.events.reserve(events.size());
    for (const EventDescription& event : events) help.events.push_back(FullEventHelp(event));
    SortByName(help.functions);
    SortByName(help.events);
    ToBinding(registry, help, status);
}

// Sets `member` of `out` to the structure {name: text}.
template <class T, class TextOf>
bool FillEpytextMember(BindingProperty& out, std::string_view member,
                       const std::vector<const T*>& items, TextOf textOf) {
    BindingProperty* list = out.MemberForWrite(member);
    if (!list || !list->MakeStructure()) return false;
    for (const T* item : items) {
        BindingProperty* entry = list->MemberForWrite(item->name);
        if (!entry || !entry->SetString(textOf(*item))) return false;
    }
    return true;
}

bool BuildEpytextHelp(std::span<const FunctionDescription> functions,
                      std::span<const TypeDescriptor* const> types,
                      std::span<const EventDescription> events, BindingProperty& out) {
    return FillEpytextMember(out, "functions", SortedByName(functions), EpytextFunctionText) &&
           FillEpytextMember(out, "types", SortedTypes(types), EpytextTypeText) &&
           FillEpytextMember(out, "events", SortedByName(events), EpytextEventText);
}

constexpr std::string_view kOutOfMemory = "Couldn't build the API help because memory ran out.";

}  // namespace

void BuildApiHelp(const TypeRegistry& registry, std::span<const FunctionDescription> functions,
                  std::span<const TypeDescriptor* const> types,
                  std::span<const EventDescription> events, BindingHelpFormat format,
                  ConversionStatus& status) noexcept {
    if (!status.Ok()) return;
    BindingProperty& out = status.Value();
    out.Clear();
    try {
        switch (format) {
            case BindingHelpFormat::kFull:
                BuildFullHelp(registry, functions, types, events, status);
                return;
            case BindingHelpFormat::kEpytext:
                if (!BuildEpytextHelp(functions, types, events, out)) status.Fail(kOutOfMemory);
                return;
        }
        // An unknown format: the three members, left empty.
        for (std::string_view member : {"functions", "types", "events"}) {
            if (!out.MemberForWrite(member)) {
                status.Fail(kOutOfMemory);
                return;
            }
        }
    } catch (const std::exception&) {
        status.Fail(kOutOfMemory);
    }
}

ConversionStatus BuildApiHelp(const TypeRegistry& registry, BindingHelpFormat format) noexcept {
    ConversionStatus status;
    // The three copies are taken under one holding of the lock, as one state of the registry.
    std::unique_lock lock(registry.Mutex());
    auto functions = registry.Functions();
    auto types = registry.Types();
    auto events = registry.Events();
    lock.unlock();
    for (const Failure* failure : {functions.IsFailure() ? &functions.GetFailure() : nullptr,
                                   types.IsFailure() ? &types.GetFailure() : nullptr,
                                   events.IsFailure() ? &events.GetFailure() : nullptr}) {
        if (failure) {
            status.Fail(failure->Message());
            return status;
        }
    }
    BuildApiHelp(registry, functions.Value(), types.Value(), events.Value(), format, status);
    return status;
}

}  // namespace Vane
