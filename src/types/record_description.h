// Typed registration and conversion of native records: describe a record once, in one line
// per field, and every offset, kind, element kind, handler and type info is derived from the
// member pointers.
//
//     struct MissionProgress { int32_t current; int32_t total; std::string lastViewed; };
//     template <> struct TypeDescription<MissionProgress> {
//         static void Describe(RecordBuilder<MissionProgress>& r) {
//             r.Name("MissionProgressDTO").Description("Progress of a mission.");
//             r.Field("currentProgress", &MissionProgress::current);
//             r.Field("totalCount", &MissionProgress::total, kFieldRequired);
//             r.Field("lastViewedProgress", &MissionProgress::lastViewed, kFieldOmitEmpty);
//         }
//     };
//     RegisterType<MissionProgress>(registry);           // nested records and enums too
//     ConversionStatus out = ToBinding(registry, progress);
//     WalkNative(registry, progress, writer);             // the same value, never built
//     FromBinding(registry, value, progress, status);
//     MaybeType<Failure, MissionProgress> read = ConvertTo<MissionProgress>(registry, value);
//
// Instead of the specialisation, a function `void DescribeType(RecordBuilder<T>&)` in T's
// namespace serves. Enumerations are described the same way, with Enumerator(name, value,
// description). A description must be visible wherever its type is registered or converted.
#ifndef PYX_TYPES_RECORD_DESCRIPTION_H_
#define PYX_TYPES_RECORD_DESCRIPTION_H_

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "types/event_builder.h"
#include "types/native_handlers.h"
#include "types/native_traits.h"
#include "types/type_builder.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/maybe.h"

namespace Vane {

// Status code of the failure ConvertTo returns for input that does not convert.
inline constexpr int32_t kConversionFailureCode = 400;

// What a field records besides its name, member and flags.
struct FieldOptions {
    std::string_view description;
    uint32_t flags = 0;  // kFieldOmitEmpty | kFieldRequired
    bool optional = false;
    // Stands in for the field's own type identifier in the host description when its kind is
    // not 0.
    TypeIdentifier alternateType;
};

template <class T>
const TypeDescriptor* RegisterType(TypeRegistry& registry) noexcept;

// Collects the description of T while RegisterType<T> registers it. Name() must come first
// (without it the type is registered under NativeTypeInfo<T>().name). When the name was
// registered before, every call is ignored and nested types are not visited again.
template <class T>
class RecordBuilder {
    static_assert(std::is_class_v<T> || std::is_enum_v<T>, "only records and enums are described");

  public:
    explicit RecordBuilder(TypeRegistry& registry) noexcept : registry_(registry) {}

    // Begins the registration under `name`; ignored once the registration has begun.
    RecordBuilder& Name(std::string_view name) noexcept {
        if (!builder_) Begin(name);
        return *this;
    }
    // Sets the description.
    RecordBuilder& Description(std::string_view text) noexcept {
        Begun().Description(text);
        return *this;
    }
    // Sets the name space.
    RecordBuilder& NameSpace(std::string_view text) noexcept {
        Begun().NameSpace(text);
        return *this;
    }
    // Appends one tag.
    RecordBuilder& Tag(std::string_view text) noexcept {
        Begun().Tag(text);
        return *this;
    }

    // Appends the field `name` stored in `member` (of T or a base of T), with `flags`
    // (kFieldOmitEmpty, kFieldRequired). A record or enum the field holds (directly or as the
    // element of a vector or map) is registered first.
    template <class M, class C>
    RecordBuilder& Field(std::string_view name, M C::*member, uint32_t flags = 0) noexcept {
        return Field(name, member, FieldOptions{.flags = flags});
    }
    // As above, with a description.
    template <class M, class C>
    RecordBuilder& Field(std::string_view name, M C::*member, std::string_view description,
                         uint32_t flags = 0) noexcept {
        return Field(name, member, FieldOptions{.description = description, .flags = flags});
    }
    // As above, with every option.
    template <class M, class C>
    RecordBuilder& Field(std::string_view name, M C::*member,
                         const FieldOptions& options) noexcept {
        static_assert(std::is_class_v<T>, "fields belong to records");
        static_assert(std::is_base_of_v<C, T>, "the member must belong to the record or a base");
        static_assert(!std::is_const_v<M>, "reading input writes every field: no const members");
        static_assert(NativeType<M>,
                      "the field's type has no native form: use bool, an integer, float, double, "
                      "std::string, BindingProperty, BindingBlob, a described record or enum, or "
                      "a std::vector or std::string-keyed map of one of those");
        TypeBuilder& builder = Begun();
        if (!builder.Writable()) return *this;
        const TypeDescriptor* nested = nullptr;
        if constexpr (!std::is_void_v<DescribedPartOf<M>>) {
            nested = RegisterType<DescribedPartOf<M>>(registry_);
            if (!nested) {
                builder.MarkFailed();
                return *this;
            }
        }
        uint32_t offset = 0;
        if (!OffsetOf(member, offset)) {
            builder.MarkFailed();
            return *this;
        }
        AddField(builder, FieldDefinition{.name = name,
                                          .description = options.description,
                                          .offset = offset,
                                          .typeInfo = &NativeTypeInfo<M>(),
                                          .type = TypeIdentifierOf<M>(nested),
                                          .alternateType = options.alternateType,
                                          .flags = options.flags,
                                          .handler = &HandlerOf<M>(),
                                          .optional = options.optional});
        return *this;
    }

    // Adds (or replaces) the enumerator `name` of value `value`.
    RecordBuilder& Enumerator(std::string_view name, T value,
                              std::string_view description = {}) noexcept {
        static_assert(std::is_enum_v<T>, "enumerators belong to enumerations");
        static_assert(sizeof(T) <= sizeof(int32_t), "enumeration values are 32-bit");
        AddEnumerator(Begun(), name, static_cast<int32_t>(value), description);
        return *this;
    }

    // The registry registered in.
    TypeRegistry& Registry() const noexcept { return registry_; }

    // Ends the description: the descriptor of T, or null when registration failed (memory ran
    // out, or the name belongs to a type of another id, size or form).
    const TypeDescriptor* Finish() noexcept {
        TypeBuilder& builder = Begun();
        if (!builder.Ok()) return nullptr;
        const TypeDescriptor* descriptor = builder.Descriptor();
        if (builder.AlreadyRegistered() &&
            (descriptor->typeId != NativeTypeInfo<T>().id || descriptor->size != sizeof(T) ||
             descriptor->isEnum != std::is_enum_v<T>)) {
            return nullptr;
        }
        return descriptor;
    }

  private:
    void Begin(std::string_view name) noexcept {
        builder_.emplace(BeginType(registry_, static_cast<uint32_t>(sizeof(T)), name,
                                   NativeTypeInfo<T>(), std::is_enum_v<T>));
    }

    TypeBuilder& Begun() noexcept {
        if (!builder_) Begin(NativeTypeInfo<T>().Name());
        return *builder_;
    }

    // The byte offset of `member`, measured on a default-constructed record.
    template <class M, class C>
    bool OffsetOf(M C::*member, uint32_t& offset) noexcept {
        if (!sample_) {
            try {
                sample_ = std::make_unique<T>();
            } catch (...) {
                return false;
            }
        }
        const auto* base = reinterpret_cast<const unsigned char*>(sample_.get());
        const auto* field = reinterpret_cast<const unsigned char*>(&((*sample_).*member));
        offset = static_cast<uint32_t>(field - base);
        return true;
    }

    TypeRegistry& registry_;
    std::optional<TypeBuilder> builder_;
    std::unique_ptr<T> sample_;
};

// Registers T (a described record or enum) and the records and enums it holds, under the
// registry's lock. Registering again changes nothing. The descriptor of T, or null when
// registration failed (memory ran out, or T's name belongs to a type of another id, size or
// form); a record that could not be registered completely is withdrawn.
template <class T>
const TypeDescriptor* RegisterType(TypeRegistry& registry) noexcept {
    static_assert(DescribedType<T>,
                  "describe T with a TypeDescription<T> specialisation or a DescribeType function");
    std::lock_guard lock(registry.Mutex());
    RecordBuilder<T> builder(registry);
    if constexpr (HasTypeDescription<T>) {
        TypeDescription<T>::Describe(builder);
    } else {
        DescribeType(builder);
    }
    return builder.Finish();
}

// The descriptor T's conversions use (that of DescribedPartOf<T>), looked up by type id; null
// for types without one, and for a type not registered or registered with another size or form.
template <class T>
const TypeDescriptor* DescriptorOf(const TypeRegistry& registry) noexcept {
    using Part = DescribedPartOf<T>;
    if constexpr (std::is_void_v<Part>) {
        return nullptr;
    } else {
        const TypeDescriptor* descriptor = registry.FindById(NativeTypeInfo<Part>().id);
        if (descriptor && descriptor->size == sizeof(Part) &&
            descriptor->isEnum == std::is_enum_v<Part>) {
            return descriptor;
        }
        return nullptr;
    }
}

// Converts `value` into status.Value() (cleared first); does nothing when `status` has
// already failed. On failure status.Value() is {"error": message}.
template <class T>
void ToBinding(const TypeRegistry& registry, const T& value, ConversionStatus& status) noexcept {
    if (!status.Ok()) return;
    status.Value().Clear();
    ConvertToBinding<T>(status, status.Value(), value, DescriptorOf<T>(registry), registry);
}

// Converts `value` to a BindingProperty: the value, or {"error": message}.
template <class T>
ConversionStatus ToBinding(const TypeRegistry& registry, const T& value) noexcept {
    ConversionStatus status;
    ToBinding(registry, value, status);
    return status;
}

// Walks `value` into `writer`, calling the slots exactly as Walk() would for the value
// ToBinding(registry, value) builds, without building it; does nothing when `status` has
// already failed. On failure `status.Value()` is ToBinding's {"error": message} and the writer
// has received an incomplete stream, which the caller discards (and may walk the error value
// instead).
template <class T>
void WalkNative(const TypeRegistry& registry, const T& value, BindingWriter& writer,
                ConversionStatus& status) noexcept {
    WalkNativeValue<T>(status, value, DescriptorOf<T>(registry), registry, writer);
}

// As above, with a status of its own: ok with an empty value, or {"error": message}.
template <class T>
ConversionStatus WalkNative(const TypeRegistry& registry, const T& value,
                            BindingWriter& writer) noexcept {
    ConversionStatus status;
    WalkNative(registry, value, writer, status);
    return status;
}

// Writes `out` from `value`, reporting failure through `status` (whose value is then
// {"error": message}); does nothing when `status` has already failed. `name` names the value
// in messages. A failure leaves `out` partly written.
template <class T>
void FromBinding(const TypeRegistry& registry, const BindingProperty& value, T& out,
                 ConversionStatus& status, std::string_view name = kTopLevelValueName) noexcept {
    ConvertFromBinding<T>(status, out, value, name, DescriptorOf<T>(registry), registry);
}

// A T converted from `value`, or the failure (code kConversionFailureCode, the conversion's
// message).
template <class T>
MaybeType<Failure, T> ConvertTo(const TypeRegistry& registry, const BindingProperty& value,
                                std::string_view name = kTopLevelValueName) {
    try {
        T out{};
        ConversionStatus status;
        FromBinding(registry, value, out, status, name);
        if (!status.Ok()) return Failure(kConversionFailureCode, std::string(status.Error()));
        return MaybeType<Failure, T>(std::move(out));
    } catch (const std::exception&) {
        return Failure(kConversionFailureCode,
                       std::string("Couldn't convert value because memory ran out."));
    }
}

// Registers T (when it is a described record or enum) and begins the event `name` whose payload
// it is.
template <class T>
EventBuilder BeginEvent(TypeRegistry& registry, std::string_view name) noexcept {
    std::lock_guard lock(registry.Mutex());
    const TypeDescriptor* payload = nullptr;
    if constexpr (DescribedType<T>) payload = RegisterType<T>(registry);
    return BeginEvent(registry, name, payload);
}

}  // namespace Vane

#endif  // PYX_TYPES_RECORD_DESCRIPTION_H_
