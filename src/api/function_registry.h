// The plugin's local API: registered functions, the route bindings through which the host
// reaches them, and the type registry that describes their arguments and results.
#ifndef PYX_API_FUNCTION_REGISTRY_H_
#define PYX_API_FUNCTION_REGISTRY_H_

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/function_handler.h"
#include "api/http_method.h"
#include "api/route_pattern.h"
#include "types/type_descriptor.h"
#include "types/type_registry.h"
#include "util/failure.h"
#include "util/lock.h"
#include "util/maybe.h"

namespace Vane {

class LocalApi;

// Status code of the failures registration reports.
inline constexpr int32_t kRegistrationFailureCode = 500;

// One declared argument of a function; its position in the function's list is its index.
struct BindingArgument {
    std::string name;  // the key callers use
    TypeIdentifier type;
    // Stands in for `type` in the host description when its kind is not 0.
    TypeIdentifier alternateType;
    bool optional = false;
    std::string description;

    // The native kind code of the argument (1 bool ... 19 map).
    uint32_t Kind() const noexcept { return type.kind; }
    // True for the kinds whose text values may be parsed as documents: object, vector, struct.
    bool IsContainer() const noexcept;
};

// A registered function. Owned by its LocalApi and never changed after registration.
struct BindingFunction {
    std::string name;
    std::vector<BindingArgument> arguments;
    std::vector<std::string> tags;           // "$builtin" marks a built-in of the binding layer
    const TypeRegistry* registry = nullptr;  // writes enumerations of the result by name
    std::string nameSpace;
    std::string description;
    std::string help;
    TypeIdentifier returns;
    TypeIdentifier alternateReturns;
    bool threadSafe = false;
    const TypeDescriptor* asyncResultType = nullptr;  // null for a synchronous function

    // The index of the argument named `name` (exact match), or -1.
    int32_t ArgumentIndex(std::string_view name) const noexcept;

  private:
    friend class LocalApi;
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const noexcept;
    };
    // Argument name -> index, hashed with 32-bit FNV-1a.
    std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> index_;
};

// One route the host can call: a function, the handler that performs it and how requests
// reach it. Owned by its LocalApi; immutable after registration, so any number of request
// threads may read it at once.
struct RouteBinding {
    const BindingFunction* function = nullptr;
    std::unique_ptr<FunctionHandler> handler;
    // The url template, without a trailing "/" when longer than one character; empty for a
    // function registered by name only.
    std::string url;
    HttpMethod method = HttpMethod::kAny;  // kAny accepts every method
    std::string customMethod;              // compared with the request's when method is kCustom
    uint8_t flag = 0;                      // passed through to the host
    std::vector<std::vector<std::string>> stringGroups;  // passed through to the host
    std::vector<ArgumentLocation> argumentLocations;     // one per argument of the function
    // The template requests are matched against: `url`, or the function name when it is empty.
    CompiledRoute route;
    // The first argument whose location is kBody, or -1.
    int32_t bodyArgument = -1;
    const LocalApi* api = nullptr;
};

// What a function is registered with besides its name, arguments and handler.
struct FunctionOptions {
    std::string nameSpace;
    std::string description;
    std::string help;
    std::vector<std::string> tags;
    bool threadSafe = false;
    uint8_t flag = 0;
    std::vector<std::vector<std::string>> stringGroups;
};

// One argument as registration declares it.
struct ArgumentDefinition {
    std::string name;
    TypeIdentifier type;
    ArgumentLocation location = ArgumentLocation::kAny;
    bool optional = false;
    std::string description;
    TypeIdentifier alternateType;
};

// A function as registration declares it.
struct FunctionDefinition {
    std::string name;  // RegisterRoute makes it from the method and url
    std::vector<ArgumentDefinition> arguments;
    TypeIdentifier returns;
    TypeIdentifier alternateReturns;
    const TypeDescriptor* asyncResultType = nullptr;
    FunctionOptions options;
};

// The local API of one plugin. Owns its type registry (whose function table lists every
// registered function, so help and the host description show them), the functions and their
// route bindings. Registration happens at start-up; afterwards everything is read-only and
// requests read bindings without locking. The binding list is guarded by a mutex for
// registration and for copies of it.
class LocalApi {
  public:
    LocalApi() noexcept;
    ~LocalApi();
    LocalApi(const LocalApi&) = delete;
    LocalApi& operator=(const LocalApi&) = delete;

    // The type registry of the API.
    TypeRegistry& Types() noexcept { return types_; }
    const TypeRegistry& Types() const noexcept { return types_; }

    // The route bindings ordered by function name (a copy of the list; bindings are stable).
    MaybeType<Failure, std::vector<const RouteBinding*>> Bindings() const noexcept;
    // The binding of the function `name`, or null.
    const RouteBinding* FindBinding(std::string_view name) const noexcept;
    // The number of registered functions.
    size_t Size() const noexcept;

    // Records the function `definition` (whose name must be new) performed by `handler`, and
    // its route binding with the given url (stored without one trailing "/" when longer than
    // one character), method and custom method. Fails (kRegistrationFailureCode) on an empty or
    // repeated function name, a repeated argument name, a template that cannot be compiled, a
    // missing handler, and when memory runs out; nothing is recorded then.
    MaybeType<Failure, const RouteBinding*> Register(FunctionDefinition definition,
                                                     std::unique_ptr<FunctionHandler> handler,
                                                     std::string_view url, HttpMethod method,
                                                     std::string_view customMethod) noexcept;

  private:
    mutable Mutex mutex_;
    TypeRegistry types_;
    std::map<std::string, std::unique_ptr<BindingFunction>, std::less<>> functions_;
    std::map<std::string, std::unique_ptr<RouteBinding>, std::less<>> bindings_;
};

// Registers a function by name only: its binding has an empty url, so requests are matched
// against the name itself, and accepts every method.
MaybeType<Failure, const RouteBinding*> RegisterFunction(
    LocalApi& api, FunctionDefinition definition,
    std::unique_ptr<FunctionHandler> handler) noexcept;

// Registers a function reached by `method` (DELETE, GET, HEAD, OPTIONS, PATCH, POST or PUT)
// and `url`: its name is MakeFunctionName(method word, url) and its binding's url is `url`
// without one trailing "/" when longer than one character. Fails as LocalApi::Register does,
// and for any other method.
MaybeType<Failure, const RouteBinding*> RegisterRoute(
    LocalApi& api, HttpMethod method, std::string_view url, FunctionDefinition definition,
    std::unique_ptr<FunctionHandler> handler) noexcept;

}  // namespace Vane

#endif  // PYX_API_FUNCTION_REGISTRY_H_
