#include "api/function_registry.h"

#include <exception>
#include <utility>

#include "api/function_name.h"
#include "types/static_type.h"
#include "types/type_info.h"
#include "util/format.h"

namespace Vane {
namespace {

Failure RegistrationFailure(std::string message) {
    return Failure(kRegistrationFailureCode, std::move(message));
}

FunctionDescription Describe(const BindingFunction& function) {
    FunctionDescription description;
    description.name = function.name;
    description.nameSpace = function.nameSpace;
    description.arguments.reserve(function.arguments.size());
    for (const BindingArgument& argument : function.arguments) {
        description.arguments.push_back(ArgumentDescription{.name = argument.name,
                                                            .description = argument.description,
                                                            .type = argument.type,
                                                            .alternateType = argument.alternateType,
                                                            .optional = argument.optional});
    }
    description.returns = function.returns;
    description.alternateReturns = function.alternateReturns;
    description.description = function.description;
    description.help = function.help;
    description.threadSafe = function.threadSafe;
    description.asyncResultType = function.asyncResultType;
    description.tags = function.tags;
    return description;
}

}  // namespace

bool BindingArgument::IsContainer() const noexcept {
    const auto kind = static_cast<NativeKind>(type.kind);
    return kind == NativeKind::kObject || kind == NativeKind::kVector ||
           kind == NativeKind::kStruct;
}

size_t BindingFunction::NameHash::operator()(std::string_view text) const noexcept {
    return Fnv1a32(text);
}

int32_t BindingFunction::ArgumentIndex(std::string_view name) const noexcept {
    const auto found = index_.find(name);
    return found == index_.end() ? -1 : found->second;
}

LocalApi::LocalApi() noexcept = default;
LocalApi::~LocalApi() = default;

MaybeType<Failure, std::vector<const RouteBinding*>> LocalApi::Bindings() const noexcept {
    try {
        MutexLock lock(mutex_);
        std::vector<const RouteBinding*> list;
        list.reserve(bindings_.size());
        for (const auto& [name, binding] : bindings_) list.push_back(binding.get());
        return list;
    } catch (const std::exception&) {
        return RegistrationFailure("Couldn't list the route bindings because memory ran out.");
    }
}

const RouteBinding* LocalApi::FindBinding(std::string_view name) const noexcept {
    MutexLock lock(mutex_);
    const auto found = bindings_.find(name);
    return found == bindings_.end() ? nullptr : found->second.get();
}

size_t LocalApi::Size() const noexcept {
    MutexLock lock(mutex_);
    return functions_.size();
}

MaybeType<Failure, const RouteBinding*> LocalApi::Register(FunctionDefinition definition,
                                                           std::unique_ptr<FunctionHandler> handler,
                                                           std::string_view url, HttpMethod method,
                                                           std::string_view customMethod) noexcept {
    try {
        const std::string& name = definition.name;
        if (name.empty()) return RegistrationFailure("A function needs a name.");
        if (!handler) {
            return RegistrationFailure(FormatPositional("Function '%1' has no handler.", name));
        }

        auto function = std::make_unique<BindingFunction>();
        function->name = name;
        function->registry = &types_;
        function->nameSpace = std::move(definition.options.nameSpace);
        function->description = std::move(definition.options.description);
        function->help = std::move(definition.options.help);
        function->tags = std::move(definition.options.tags);
        function->threadSafe = definition.options.threadSafe;
        function->returns = definition.returns;
        function->alternateReturns = definition.alternateReturns;
        function->asyncResultType = definition.asyncResultType;

        auto binding = std::make_unique<RouteBinding>();
        binding->url = NormaliseRouteUrl(url);
        binding->method = NormaliseHostMethod(static_cast<int32_t>(method));
        binding->customMethod.assign(customMethod);
        binding->flag = definition.options.flag;
        binding->stringGroups = std::move(definition.options.stringGroups);
        binding->api = this;

        function->arguments.reserve(definition.arguments.size());
        binding->argumentLocations.reserve(definition.arguments.size());
        for (ArgumentDefinition& argument : definition.arguments) {
            const auto index = static_cast<int32_t>(function->arguments.size());
            if (!function->index_.emplace(argument.name, index).second) {
                return RegistrationFailure(FormatPositional(
                    "Argument '%1' of '%2' is declared twice.", argument.name, name));
            }
            if (argument.location == ArgumentLocation::kBody && binding->bodyArgument < 0) {
                binding->bodyArgument = index;
            }
            binding->argumentLocations.push_back(argument.location);
            function->arguments.push_back(
                BindingArgument{.name = std::move(argument.name),
                                .type = argument.type,
                                .alternateType = argument.alternateType,
                                .optional = argument.optional,
                                .description = std::move(argument.description)});
        }

        MaybeType<Failure, CompiledRoute> route =
            CompiledRoute::Compile(binding->url.empty() ? std::string_view(name) : binding->url);
        if (route.IsFailure()) return RegistrationFailure(route.GetFailure().Message());
        binding->route = std::move(route).Value();
        binding->handler = std::move(handler);
        binding->function = function.get();

        FunctionDescription description = Describe(*function);
        MutexLock lock(mutex_);
        if (functions_.contains(name)) {
            return RegistrationFailure(
                FormatPositional("Function '%1' is already registered.", name));
        }
        const auto placedFunction = functions_.emplace(name, std::move(function)).first;
        try {
            const auto placedBinding = bindings_.emplace(name, std::move(binding)).first;
            // The type registry's table is what help and the host description list; a name it
            // already holds would describe some other function there.
            if (!types_.AddFunction(std::move(description))) {
                bindings_.erase(placedBinding);
                functions_.erase(placedFunction);
                return RegistrationFailure(FormatPositional(
                    "Function '%1' is already described in the type registry.", name));
            }
            return static_cast<const RouteBinding*>(placedBinding->second.get());
        } catch (...) {
            bindings_.erase(name);
            functions_.erase(placedFunction);
            throw;
        }
    } catch (const std::exception&) {
        return RegistrationFailure("Couldn't register a function because memory ran out.");
    }
}

MaybeType<Failure, const RouteBinding*> RegisterFunction(
    LocalApi& api, FunctionDefinition definition,
    std::unique_ptr<FunctionHandler> handler) noexcept {
    return api.Register(std::move(definition), std::move(handler), std::string_view(),
                        HttpMethod::kAny, std::string_view());
}

MaybeType<Failure, const RouteBinding*> RegisterRoute(
    LocalApi& api, HttpMethod method, std::string_view url, FunctionDefinition definition,
    std::unique_ptr<FunctionHandler> handler) noexcept {
    const std::string_view word = MethodWord(method);
    if (word.empty()) {
        return RegistrationFailure(
            FormatPositional("Route '%1' needs one of the methods DELETE, GET, HEAD, OPTIONS, "
                             "PATCH, POST and PUT.",
                             url));
    }
    try {
        definition.name = MakeFunctionName(word, url);
    } catch (const std::exception&) {
        return RegistrationFailure("Couldn't register a function because memory ran out.");
    }
    return api.Register(std::move(definition), std::move(handler), url, method, std::string_view());
}

}  // namespace Vane
