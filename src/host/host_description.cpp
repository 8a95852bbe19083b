#include "host/host_description.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

#include "types/type_info.h"

namespace Vane {
namespace {

constexpr int32_t kOutOfMemoryCode = 500;
constexpr const char* kEmptyText = "";

// The kind as the host sees it: the native kinds 1 to 19, anything else 0.
uint32_t HostKind(uint32_t kind) {
    return kind <= static_cast<uint32_t>(NativeKind::kMap) ? kind : 0;
}

// The identifier the host is shown: the alternate one when it is given.
const TypeIdentifier& HostType(const TypeIdentifier& type, const TypeIdentifier& alternate) {
    return alternate.kind != 0 ? alternate : type;
}

// The registered name behind a vector, enum, struct or map identifier; "" otherwise.
const char* HostTypeName(const TypeIdentifier& type) {
    switch (static_cast<NativeKind>(HostKind(type.kind))) {
        case NativeKind::kVector:
        case NativeKind::kEnum:
        case NativeKind::kStruct:
        case NativeKind::kMap:
            return type.descriptor ? type.descriptor->name.c_str() : kEmptyText;
        default:
            return kEmptyText;
    }
}

const char* Text(const std::string& text) {
    return text.c_str();
}

// Links each record of `records` to the next one (the last to null).
template <class Record>
void Link(Record* records, size_t count) {
    for (size_t index = 0; index < count; ++index) {
        records[index].next = index + 1 < count ? &records[index + 1] : nullptr;
    }
}

// Appends pointers to `tags` to `pool` (sized beforehand); the first of them, or null.
const char* const* AppendTags(std::vector<const char*>& pool, size_t& used,
                              const std::vector<std::string>& tags) {
    if (tags.empty()) return nullptr;
    const char** first = pool.data() + used;
    for (const std::string& tag : tags) pool[used++] = tag.c_str();
    return first;
}

}  // namespace

HostDescription::HostDescription(HostDescription&& other) noexcept {
    *this = std::move(other);
}

HostDescription& HostDescription::operator=(HostDescription&& other) noexcept {
    if (this == &other) return *this;
    // Moving a vector keeps its buffer, so the records' links and the summary stay valid.
    functions_ = std::move(other.functions_);
    arguments_ = std::move(other.arguments_);
    types_ = std::move(other.types_);
    fields_ = std::move(other.fields_);
    enumerators_ = std::move(other.enumerators_);
    events_ = std::move(other.events_);
    tags_ = std::move(other.tags_);
    summary_ = other.summary_;
    other.Clear();
    return *this;
}

void HostDescription::Clear() noexcept {
    functions_.clear();
    arguments_.clear();
    types_.clear();
    fields_.clear();
    enumerators_.clear();
    events_.clear();
    tags_.clear();
    summary_ = HostApiSummary{};
}

const HostFunctionRecord* HostDescription::FindFunction(std::string_view name) const noexcept {
    for (const HostFunctionRecord& function : functions_) {
        if (name == function.name) return &function;
    }
    return nullptr;
}

MaybeType<Failure, void> HostDescription::Build(const TypeRegistry& registry) noexcept {
    Clear();
    // One holding of the lock: the three tables are read as one state of the registry.
    std::lock_guard lock(registry.Mutex());
    auto functionTable = registry.FunctionRecords();
    if (functionTable.IsFailure()) return functionTable.GetFailure();
    auto typeTable = registry.Types();
    if (typeTable.IsFailure()) return typeTable.GetFailure();
    auto eventTable = registry.EventRecords();
    if (eventTable.IsFailure()) return eventTable.GetFailure();
    const Tables tables{functionTable.Value(), typeTable.Value(), eventTable.Value()};
    if (!SizeArrays(tables)) {
        Clear();
        return Failure(kOutOfMemoryCode,
                       std::string("Couldn't build the host API description because memory "
                                   "ran out."));
    }
    Cursor cursor;
    for (size_t index = 0; index < tables.functions.size(); ++index) {
        FillFunction(functions_[index], *tables.functions[index], cursor);
    }
    Link(functions_.data(), functions_.size());
    for (size_t index = 0; index < tables.types.size(); ++index) {
        FillType(types_[index], *tables.types[index], cursor);
    }
    Link(types_.data(), types_.size());
    for (size_t index = 0; index < tables.events.size(); ++index) {
        FillEvent(events_[index], *tables.events[index], cursor);
    }
    Link(events_.data(), events_.size());

    summary_.functions = functions_.empty() ? nullptr : functions_.data();
    summary_.functionCount = static_cast<uint32_t>(functions_.size());
    summary_.types = types_.empty() ? nullptr : types_.data();
    summary_.typeCount = static_cast<uint32_t>(types_.size());
    summary_.events = events_.empty() ? nullptr : events_.data();
    summary_.eventCount = static_cast<uint32_t>(events_.size());
    return {};
}

bool HostDescription::SizeArrays(const Tables& tables) noexcept {
    try {
        // Every array is sized first: records point into each other and must not move.
        size_t argumentTotal = 0, fieldTotal = 0, enumeratorTotal = 0, tagTotal = 0;
        for (const FunctionDescription* function : tables.functions) {
            argumentTotal += function->arguments.size();
            tagTotal += function->tags.size();
        }
        for (const TypeDescriptor* type : tables.types) {
            if (type->fields.empty()) {
                enumeratorTotal += type->enumerators.size();
            } else {
                fieldTotal += type->fields.size();
            }
            tagTotal += type->tags.size();
        }
        for (const EventDescription* event : tables.events) tagTotal += event->tags.size();
        functions_.resize(tables.functions.size());
        arguments_.resize(argumentTotal);
        types_.resize(tables.types.size());
        fields_.resize(fieldTotal);
        enumerators_.resize(enumeratorTotal);
        events_.resize(tables.events.size());
        tags_.resize(tagTotal);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void HostDescription::FillFunction(HostFunctionRecord& record, const FunctionDescription& function,
                                   Cursor& cursor) noexcept {
    record.name = Text(function.name);
    record.nameSpace = Text(function.nameSpace);
    const size_t argumentCount = function.arguments.size();
    if (argumentCount != 0) {
        HostArgumentRecord* arguments = arguments_.data() + cursor.arguments;
        for (size_t at = 0; at < argumentCount; ++at) {
            const ArgumentDescription& argument = function.arguments[at];
            const TypeIdentifier& type = HostType(argument.type, argument.alternateType);
            HostArgumentRecord& out = arguments[at];
            out.name = Text(argument.name);
            out.description = Text(argument.description);
            out.kind = HostKind(type.kind);
            out.elementKind = HostKind(type.elementKind);
            out.typeName = HostTypeName(type);
            out.optional = argument.optional ? 1 : 0;
        }
        Link(arguments, argumentCount);
        record.arguments = arguments;
        cursor.arguments += argumentCount;
    }
    record.argumentCount = static_cast<uint32_t>(argumentCount);
    const TypeIdentifier& returns = HostType(function.returns, function.alternateReturns);
    record.returnKind = HostKind(returns.kind);
    record.returnElementKind = HostKind(returns.elementKind);
    record.returnTypeName = HostTypeName(returns);
    record.description = Text(function.description);
    record.help = Text(function.help);
    record.threadSafe = function.threadSafe ? 1 : 0;
    record.asyncTypeName =
        function.asyncResultType ? Text(function.asyncResultType->name) : kEmptyText;
    record.tags = AppendTags(tags_, cursor.tags, function.tags);
    record.tagCount = static_cast<uint32_t>(function.tags.size());
}

void HostDescription::FillType(HostTypeRecord& record, const TypeDescriptor& type,
                               Cursor& cursor) noexcept {
    record.name = Text(type.name);
    record.nameSpace = Text(type.nameSpace);
    record.size = type.size;
    record.description = Text(type.description);
    record.tags = AppendTags(tags_, cursor.tags, type.tags);
    record.tagCount = static_cast<uint32_t>(type.tags.size());
    if (!type.fields.empty()) {
        HostFieldRecord* fields = fields_.data() + cursor.fields;
        for (size_t at = 0; at < type.fields.size(); ++at) {
            const FieldRecord& field = type.fields[at];
            const TypeIdentifier& fieldType = HostType(field.type, field.alternateType);
            HostFieldRecord& out = fields[at];
            out.name = Text(field.name);
            out.description = Text(field.description);
            out.offset = field.offset;
            out.kind = HostKind(fieldType.kind);
            out.elementKind = HostKind(fieldType.elementKind);
            out.typeName = HostTypeName(fieldType);
            out.optional = field.optional ? 1 : 0;
        }
        Link(fields, type.fields.size());
        record.fields = fields;
        record.count = static_cast<uint32_t>(type.fields.size());
        cursor.fields += type.fields.size();
    } else if (!type.enumerators.empty()) {
        // The enumerator map is ordered by name.
        HostEnumeratorRecord* enumerators = enumerators_.data() + cursor.enumerators;
        size_t at = 0;
        for (const auto& [name, enumerator] : type.enumerators) {
            HostEnumeratorRecord& out = enumerators[at++];
            out.name = Text(enumerator.name);
            out.description = Text(enumerator.description);
            out.value = enumerator.value;
        }
        Link(enumerators, type.enumerators.size());
        record.enumerators = enumerators;
        record.count = static_cast<uint32_t>(type.enumerators.size());
        cursor.enumerators += type.enumerators.size();
    }
}

void HostDescription::FillEvent(HostEventRecord& record, const EventDescription& event,
                                Cursor& cursor) noexcept {
    record.name = Text(event.name);
    record.nameSpace = kEmptyText;
    record.payloadTypeName = event.payload ? Text(event.payload->name) : kEmptyText;
    record.description = Text(event.description);
    record.tags = AppendTags(tags_, cursor.tags, event.tags);
    record.tagCount = static_cast<uint32_t>(event.tags.size());
}

}  // namespace Vane
