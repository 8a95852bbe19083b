// Registration of ordinary C++ functions as local API functions: arguments are converted from
// their bound values, and results written, through the type registry, so a feature registers a
// route in one line:
//
//     RegisterRoute(api, HttpMethod::kGet, "/pyx-missions/v1/missions",
//                   [&]() -> std::vector<Mission> { return service.Missions(); });
//     RegisterRoute(api, HttpMethod::kPut, "/pyx-missions/v1/player", &MissionsService::MarkViewed,
//                   service, {{"ids", ArgumentLocation::kBody}});
//
// A handler is a lambda or other callable object with one non-template call operator, a
// function pointer, or a member function with the object it is called on (a pointer or a
// std::shared_ptr). Its parameters are native types (native_traits.h), taken by value, by
// const reference or by rvalue reference, plus at most one `const RequestContext&` anywhere in
// the list. It returns void, a native type T, MaybeType<Failure, T> or MaybeType<Failure, void>;
// a returned failure's message becomes the call's failure. One ArgumentSpec declares each
// native parameter, in order. The described records and enumerations the parameters and the
// result hold are registered with the API's type registry. A returned T becomes the result's
// value; when the caller asked for the host form (the host's route calls), T is walked straight
// into a host-value arena instead, which is what keeps large route answers cheap.
#ifndef PYX_API_TYPED_HANDLER_H_
#define PYX_API_TYPED_HANDLER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/function_handler.h"
#include "api/function_registry.h"
#include "api/http_method.h"
#include "host/host_value_arena.h"
#include "types/native_handlers.h"
#include "types/native_traits.h"
#include "types/record_description.h"
#include "util/failure.h"
#include "util/format.h"
#include "util/maybe.h"

namespace Vane {

// One parameter of a typed handler as callers see it.
struct ArgumentSpec {
    std::string_view name;
    ArgumentLocation location = ArgumentLocation::kAny;
    std::string_view description;
    // An optional argument that no source fills keeps its native default value; a required one
    // fails with the conversion's "A value for '%1' is required." (bools are false by default).
    bool optional = false;
    // Stands in for the argument's own type in the host description when its kind is not 0.
    TypeIdentifier alternateType;
};

namespace typed_handler_detail {

template <class T>
struct CallSignature;
template <class R, class... A>
struct CallSignature<R(A...)> {
    using Result = R;
    using Arguments = std::tuple<A...>;
};
template <class R, class... A>
struct CallSignature<R(A...) noexcept> : CallSignature<R(A...)> {};
template <class R, class... A>
struct CallSignature<R (*)(A...)> : CallSignature<R(A...)> {};
template <class R, class... A>
struct CallSignature<R (*)(A...) noexcept> : CallSignature<R(A...)> {};
template <class R, class C, class... A>
struct CallSignature<R (C::*)(A...)> : CallSignature<R(A...)> {};
template <class R, class C, class... A>
struct CallSignature<R (C::*)(A...) const> : CallSignature<R(A...)> {};
template <class R, class C, class... A>
struct CallSignature<R (C::*)(A...) noexcept> : CallSignature<R(A...)> {};
template <class R, class C, class... A>
struct CallSignature<R (C::*)(A...) const noexcept> : CallSignature<R(A...)> {};

// The signature of a callable: a function (pointer), a member function pointer (without the
// object), or a class with one non-template call operator.
template <class F>
struct SignatureOf {};
template <class F>
requires std::is_function_v<F> || std::is_function_v<std::remove_pointer_t<F>> ||
    std::is_member_function_pointer_v<F>
struct SignatureOf<F> : CallSignature<F> {
};
template <class F>
requires std::is_class_v<F> && requires {
    &F::operator();
}
struct SignatureOf<F> : CallSignature<decltype(&F::operator())> {};

template <class P>
inline constexpr bool kIsContext = std::is_same_v<std::remove_cvref_t<P>, RequestContext>;

// What Prepare stores for a parameter: nothing for the context, the decayed type otherwise.
template <class P>
using NativeSlot = std::conditional_t<kIsContext<P>, std::tuple<>, std::tuple<std::decay_t<P>>>;

template <class... A>
using NativeTuple = decltype(std::tuple_cat(std::declval<NativeSlot<A>>()...));

// The value a result type carries, and whether it is a MaybeType.
template <class R>
struct ResultTraits {
    using Value = R;
    static constexpr bool kMaybe = false;
};
template <class T>
struct ResultTraits<MaybeType<Failure, T>> {
    using Value = T;
    static constexpr bool kMaybe = true;
};

template <class P>
constexpr bool ValidParameter() {
    if constexpr (kIsContext<P>) {
        return std::is_same_v<P, const RequestContext&>;
    } else {
        using D = std::decay_t<P>;
        return NativeType<D> &&
               !(std::is_lvalue_reference_v<P> && !std::is_const_v<std::remove_reference_t<P>>);
    }
}

// Registers the record or enumeration T holds (if any); false when that failed.
template <class T>
bool RegisterPartOf(TypeRegistry& registry, const TypeDescriptor*& descriptor) noexcept {
    using Part = DescribedPartOf<T>;
    descriptor = nullptr;
    if constexpr (!std::is_void_v<Part>) {
        descriptor = RegisterType<Part>(registry);
        return descriptor != nullptr;
    }
    return true;
}

// Calls a member function on an object held by pointer or shared pointer.
template <class M, class Object>
struct MemberCall {
    M member;
    Object object;

    template <class... X>
    decltype(auto) operator()(X&&... arguments) {
        return std::invoke(member, object, std::forward<X>(arguments)...);
    }
};

}  // namespace typed_handler_detail

// The handler of a callable F with result R and parameters A...: see the file comment.
template <class F, class R, class... A>
class TypedHandler final : public FunctionHandler {
    using Natives = typed_handler_detail::NativeTuple<A...>;
    using Result = std::remove_cvref_t<R>;
    using Traits = typed_handler_detail::ResultTraits<Result>;
    using Value = typename Traits::Value;
    static constexpr size_t kNativeCount = std::tuple_size_v<Natives>;

    static_assert((typed_handler_detail::ValidParameter<A>() && ...),
                  "handler parameters are native types by value, const reference or rvalue "
                  "reference, or `const RequestContext&`");
    static_assert((0 + ... + (typed_handler_detail::kIsContext<A> ? 1 : 0)) <= 1,
                  "a handler takes at most one RequestContext");
    static_assert(std::is_void_v<Value> || NativeType<Value>,
                  "a handler returns void, a native type or a MaybeType<Failure, T> of those");

  public:
    // A handler calling `function`; `names`, `optional` and `descriptors` describe the native
    // parameters in order, `resultDescriptor` the result (see DescriptorOf).
    TypedHandler(F function, const TypeRegistry& registry,
                 std::array<std::string, kNativeCount> names,
                 std::array<bool, kNativeCount> optional,
                 std::array<const TypeDescriptor*, kNativeCount> descriptors,
                 const TypeDescriptor* resultDescriptor)
        : function_(std::move(function)),
          registry_(&registry),
          names_(std::move(names)),
          optional_(optional),
          descriptors_(descriptors),
          resultDescriptor_(resultDescriptor) {}

    uintptr_t Prepare(FunctionResult& result, std::span<BindingProperty> arguments,
                      uint32_t) override {
        if constexpr (kNativeCount == 0) {
            return 0;
        } else {
            if (arguments.size() != kNativeCount) {
                result.SetFailure(FormatPositional("Expected %1 arguments but received %2.",
                                                   kNativeCount, arguments.size()));
                return 0;
            }
            auto natives = std::make_unique<Natives>();
            ConversionStatus status;
            ConvertAll(status, *natives, arguments, std::make_index_sequence<kNativeCount>());
            if (!status.Ok()) {
                result.SetFailure(status.Error());
                return 0;
            }
            return reinterpret_cast<uintptr_t>(natives.release());
        }
    }

    void Invoke(FunctionResult& result, const RequestContext* context, uintptr_t token,
                uint32_t) override {
        static const RequestContext kNoContext;
        auto* natives = reinterpret_cast<Natives*>(token);
        if (kNativeCount > 0 && !natives) {
            result.SetFailure("The arguments of the call were not prepared.");
            return;
        }
        Call(result, context ? *context : kNoContext, natives, std::index_sequence_for<A...>());
    }

    void Release(uintptr_t token) noexcept override { delete reinterpret_cast<Natives*>(token); }

    uint32_t ContextType() const noexcept override {
        return (false || ... || typed_handler_detail::kIsContext<A>) ? kRequestContextTypeId : 0;
    }

  private:
    template <size_t... I>
    void ConvertAll(ConversionStatus& status, Natives& natives,
                    std::span<BindingProperty> arguments, std::index_sequence<I...>) {
        (ConvertOne<I>(status, natives, arguments[I]), ...);
    }

    template <size_t I>
    void ConvertOne(ConversionStatus& status, Natives& natives, const BindingProperty& argument) {
        using T = std::tuple_element_t<I, Natives>;
        if (!status.Ok() || (optional_[I] && argument.IsEmpty())) return;
        ConvertFromBinding<T>(status, std::get<I>(natives), argument, names_[I], descriptors_[I],
                              *registry_);
    }

    // The storage index of parameter I: the native parameters before it.
    template <size_t I>
    static constexpr size_t StorageIndex() {
        constexpr bool isContext[] = {typed_handler_detail::kIsContext<A>..., false};
        size_t index = 0;
        for (size_t j = 0; j < I; ++j) index += isContext[j] ? 0 : 1;
        return index;
    }

    template <size_t I>
    static decltype(auto) Pass(const RequestContext& context, Natives* natives) {
        using P = std::tuple_element_t<I, std::tuple<A...>>;
        if constexpr (typed_handler_detail::kIsContext<P>) {
            return (context);
        } else {
            return std::move(std::get<StorageIndex<I>()>(*natives));
        }
    }

    template <size_t... I>
    void Call(FunctionResult& result, const RequestContext& context, Natives* natives,
              std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            function_(Pass<I>(context, natives)...);
        } else {
            Store(result, function_(Pass<I>(context, natives)...));
        }
    }

    template <class V>
    void Store(FunctionResult& result, V&& returned) {
        if constexpr (Traits::kMaybe) {
            if (returned.IsFailure()) {
                result.SetFailure(returned.GetFailure().Message());
                return;
            }
            if constexpr (!std::is_void_v<Value>) StoreValue(result, returned.Value());
        } else {
            StoreValue(result, returned);
        }
    }

    template <class V>
    void StoreValue(FunctionResult& result, const V& value) {
        if (result.HostValueRequested()) return StoreHostValue(result, value);
        ConversionStatus status;
        ConvertToBinding<V>(status, status.Value(), value, resultDescriptor_, *registry_);
        if (!status.Ok()) {
            result.SetFailure(status.Error());
            return;
        }
        result.SetValue(status.Value());
    }

    // The value walked straight into its host form: the same tree, failures and messages as the
    // dynamic value converted by the response writer, without building either copy. A value
    // the host form cannot hold fails with status 400, as the response writer's conversion does.
    template <class V>
    void StoreHostValue(FunctionResult& result, const V& value) {
        HostValueArenaWriter writer(result.HostValueResolver());
        ConversionStatus status;
        WalkNativeValue<V>(status, value, resultDescriptor_, *registry_, writer);
        if (!status.Ok()) return result.SetFailure(status.Error());
        if (!writer.Ok()) {
            result.status = 400;
            return result.SetFailure(writer.Error());
        }
        std::unique_ptr<HostValueArena> arena = writer.Take();
        if (!arena) return result.SetFailure("Couldn't store the result because memory ran out.");
        result.SetHostValue(std::move(arena));
    }

    F function_;
    const TypeRegistry* registry_;
    std::array<std::string, kNativeCount> names_;
    std::array<bool, kNativeCount> optional_;
    std::array<const TypeDescriptor*, kNativeCount> descriptors_;
    const TypeDescriptor* resultDescriptor_;
};

namespace typed_handler_detail {

// Builds the definition and handler of `function` (result R, parameters A...) and registers
// it by `method` and url, or by name when `byName` is set.
template <class F, class R, class... A>
MaybeType<Failure, const RouteBinding*> RegisterTyped(LocalApi& api, bool byName, HttpMethod method,
                                                      std::string_view urlOrName, F&& function,
                                                      std::span<const ArgumentSpec> specs,
                                                      FunctionOptions&& options,
                                                      std::tuple<A...>*) noexcept {
    using Handler = TypedHandler<std::decay_t<F>, R, A...>;
    using Natives = NativeTuple<A...>;
    using Value = typename ResultTraits<std::remove_cvref_t<R>>::Value;
    constexpr size_t kNativeCount = std::tuple_size_v<Natives>;
    try {
        if (specs.size() != kNativeCount) {
            return Failure(kRegistrationFailureCode,
                           FormatPositional("'%1' declares %2 arguments but its handler takes %3.",
                                            urlOrName, specs.size(), kNativeCount));
        }
        TypeRegistry& types = api.Types();
        FunctionDefinition definition;
        definition.options = std::move(options);
        std::array<std::string, kNativeCount> names;
        std::array<bool, kNativeCount> optional{};
        std::array<const TypeDescriptor*, kNativeCount> descriptors{};
        bool registered = true;
        [&]<size_t... I>(std::index_sequence<I...>) {
            ((registered = registered &&
                           RegisterPartOf<std::tuple_element_t<I, Natives>>(types, descriptors[I])),
             ...);
            ((definition.arguments.push_back(ArgumentDefinition{
                 .name = std::string(specs[I].name),
                 .type = TypeIdentifierOf<std::tuple_element_t<I, Natives>>(descriptors[I]),
                 .location = specs[I].location,
                 .optional = specs[I].optional,
                 .description = std::string(specs[I].description),
                 .alternateType = specs[I].alternateType})),
             ...);
        }
        (std::make_index_sequence<kNativeCount>());
        const TypeDescriptor* resultDescriptor = nullptr;
        if constexpr (!std::is_void_v<Value>) {
            registered = registered && RegisterPartOf<Value>(types, resultDescriptor);
            definition.returns = TypeIdentifierOf<Value>(resultDescriptor);
        }
        if (!registered) {
            return Failure(kRegistrationFailureCode,
                           FormatPositional("Couldn't register the types of '%1'.", urlOrName));
        }
        for (size_t i = 0; i < kNativeCount; ++i) {
            names[i] = std::string(specs[i].name);
            optional[i] = specs[i].optional;
        }
        auto handler = std::make_unique<Handler>(std::forward<F>(function), types, std::move(names),
                                                 optional, descriptors, resultDescriptor);
        if (byName) {
            definition.name = std::string(urlOrName);
            return RegisterFunction(api, std::move(definition), std::move(handler));
        }
        return RegisterRoute(api, method, urlOrName, std::move(definition), std::move(handler));
    } catch (const std::exception&) {
        return Failure(kRegistrationFailureCode,
                       std::string("Couldn't register a function because memory ran out."));
    }
}

template <class F>
concept TypedCallable = !std::is_member_function_pointer_v<std::decay_t<F>> && requires {
    typename SignatureOf<std::decay_t<F>>::Result;
};

template <class F>
using ArgumentsOf = typename SignatureOf<std::decay_t<F>>::Arguments;
template <class F>
using ResultOf = typename SignatureOf<std::decay_t<F>>::Result;

}  // namespace typed_handler_detail

// Registers `function` reached by `method` and `url` (see RegisterRoute in function_registry.h
// for the name and url rules), with one spec per native parameter. Fails when the specs and
// the parameters differ in number, when a described type cannot be registered, and as the
// untyped registration does.
template <class F>
requires typed_handler_detail::TypedCallable<F> MaybeType<Failure, const RouteBinding*>
RegisterRoute(LocalApi& api, HttpMethod method, std::string_view url, F&& function,
              std::initializer_list<ArgumentSpec> arguments = {}, FunctionOptions options = {})
noexcept {
    return typed_handler_detail::RegisterTyped<F, typed_handler_detail::ResultOf<F>>(
        api, false, method, url, std::forward<F>(function),
        std::span<const ArgumentSpec>(arguments.begin(), arguments.size()), std::move(options),
        static_cast<typed_handler_detail::ArgumentsOf<F>*>(nullptr));
}

// Registers the member function `member` called on `object` (a pointer or std::shared_ptr,
// kept by the handler), reached by `method` and `url`.
template <class M, class Object>
requires std::is_member_function_pointer_v<M> MaybeType<Failure, const RouteBinding*> RegisterRoute(
    LocalApi& api, HttpMethod method, std::string_view url, M member, Object object,
    std::initializer_list<ArgumentSpec> arguments = {}, FunctionOptions options = {})
noexcept {
    using Signature = typed_handler_detail::SignatureOf<M>;
    return typed_handler_detail::RegisterTyped<typed_handler_detail::MemberCall<M, Object>,
                                               typename Signature::Result>(
        api, false, method, url,
        typed_handler_detail::MemberCall<M, Object>{member, std::move(object)},
        std::span<const ArgumentSpec>(arguments.begin(), arguments.size()), std::move(options),
        static_cast<typename Signature::Arguments*>(nullptr));
}

// Registers `function` by name only (see RegisterFunction in function_registry.h).
template <class F>
requires typed_handler_detail::TypedCallable<F> MaybeType<Failure, const RouteBinding*>
RegisterFunction(LocalApi& api, std::string_view name, F&& function,
                 std::initializer_list<ArgumentSpec> arguments = {}, FunctionOptions options = {})
noexcept {
    return typed_handler_detail::RegisterTyped<F, typed_handler_detail::ResultOf<F>>(
        api, true, HttpMethod::kAny, name, std::forward<F>(function),
        std::span<const ArgumentSpec>(arguments.begin(), arguments.size()), std::move(options),
        static_cast<typed_handler_detail::ArgumentsOf<F>*>(nullptr));
}

// Registers the member function `member` called on `object` by name only.
template <class M, class Object>
requires std::is_member_function_pointer_v<M> MaybeType<Failure, const RouteBinding*>
RegisterFunction(LocalApi& api, std::string_view name, M member, Object object,
                 std::initializer_list<ArgumentSpec> arguments = {}, FunctionOptions options = {})
noexcept {
    using Signature = typed_handler_detail::SignatureOf<M>;
    return typed_handler_detail::RegisterTyped<typed_handler_detail::MemberCall<M, Object>,
                                               typename Signature::Result>(
        api, true, HttpMethod::kAny, name,
        typed_handler_detail::MemberCall<M, Object>{member, std::move(object)},
        std::span<const ArgumentSpec>(arguments.begin(), arguments.size()), std::move(options),
        static_cast<typename Signature::Arguments*>(nullptr));
}

}  // namespace Vane

#endif  // PYX_API_TYPED_HANDLER_H_
