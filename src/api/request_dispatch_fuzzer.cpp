// Drives HandleRequest of a small registered API with requests made from the fuzz input:
// route and method, path with query, headers, content type, body (in a buffer of exactly its
// length, so reading past it is caught), named and positional host arguments and custom method
// names. Every response is read back and released.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/request_dispatch.h"
#include "api/route_table.h"
#include "api/typed_handler.h"
#include "host/host_value.h"
#include "types/record_description.h"

namespace Vane::fuzz {

enum class Grade : int32_t { kLow = 1, kHigh = 2 };

struct Filter {
    std::string name;
    std::vector<int32_t> ids;
    Grade grade = Grade::kLow;
    std::map<std::string, double> weights;
};

}  // namespace Vane::fuzz

namespace Vane {

template <>
struct TypeDescription<fuzz::Grade> {
    static void Describe(RecordBuilder<fuzz::Grade>& r) {
        r.Name("FuzzGrade");
        r.Enumerator("LOW", fuzz::Grade::kLow);
        r.Enumerator("HIGH", fuzz::Grade::kHigh);
    }
};

template <>
struct TypeDescription<fuzz::Filter> {
    static void Describe(RecordBuilder<fuzz::Filter>& r) {
        r.Name("FuzzFilter");
        r.Field("name", &fuzz::Filter::name, kFieldRequired);
        r.Field("ids", &fuzz::Filter::ids);
        r.Field("grade", &fuzz::Filter::grade);
        r.Field("weights", &fuzz::Filter::weights);
    }
};

}  // namespace Vane

namespace {

using namespace Vane;
using fuzz::Filter;

// A handler that returns what it was given, so arbitrary bound values reach the response.
class EchoAll final : public FunctionHandler {
  public:
    uintptr_t Prepare(FunctionResult&, std::span<BindingProperty> arguments, uint32_t) override {
        auto echo = std::make_unique<BindingProperty>();
        for (BindingProperty& argument : arguments) {
            BindingProperty* element = echo->AppendElement();
            if (element) element->CopyFrom(argument);
        }
        return reinterpret_cast<uintptr_t>(echo.release());
    }
    void Invoke(FunctionResult& result, const RequestContext* context, uintptr_t token,
                uint32_t) override {
        BindingProperty copy(*reinterpret_cast<BindingProperty*>(token));
        if (context && !context->headers.empty()) result.headers.emplace_back("x-echo", "1");
        result.SetValue(copy);
    }
    void Release(uintptr_t token) noexcept override {
        delete reinterpret_cast<BindingProperty*>(token);
    }
    uint32_t ContextType() const noexcept override { return kRequestContextAlternateTypeId; }
};

ArgumentDefinition Arg(const char* name, NativeKind kind, ArgumentLocation location,
                       bool optional = false) {
    return ArgumentDefinition{.name = name,
                              .type = {static_cast<uint32_t>(kind), 0, nullptr},
                              .location = location,
                              .optional = optional};
}

struct Api {
    Api() {
        Add(RegisterRoute(api, HttpMethod::kPost, "/fz/{id}/items/{+rest}",
                          [](const std::string& id, const std::string& rest, const Filter& filter,
                             const std::vector<int32_t>& list, bool flag, const Filter& body) {
                              if (id == "throw") throw std::runtime_error("thrown by the handler");
                              int64_t total = 0;
                              for (int32_t value : list) total += value;
                              for (int32_t value : body.ids) total += value;
                              return std::vector<Filter>{
                                  filter, body,
                                  Filter{
                                      id + rest, {static_cast<int32_t>(total)}, fuzz::Grade(flag)}};
                          },
                          {{"id", ArgumentLocation::kPath},
                           {"rest", ArgumentLocation::kPath},
                           {"filter", ArgumentLocation::kAny, "", true},
                           {"list", ArgumentLocation::kQuery, "", true},
                           {"flag"},
                           {"body", ArgumentLocation::kBody, "", true}}));
        Add(RegisterRoute(api, HttpMethod::kGet, "/fz/literal", [](const RequestContext& context) {
            if (context.headers.count("fail")) {
                return MaybeType<Failure, std::vector<fuzz::Grade>>(
                    Failure(400, std::string("asked to fail")));
            }
            return MaybeType<Failure, std::vector<fuzz::Grade>>(
                std::vector<fuzz::Grade>{fuzz::Grade::kHigh, fuzz::Grade(7)});
        }));
        FunctionDefinition echo;
        echo.arguments = {Arg("a", NativeKind::kString, ArgumentLocation::kPath),
                          Arg("b", NativeKind::kBool, ArgumentLocation::kAny),
                          Arg("c", NativeKind::kBool, ArgumentLocation::kQuery, true),
                          Arg("o", NativeKind::kObject, ArgumentLocation::kAny),
                          Arg("v", NativeKind::kVector, ArgumentLocation::kAny),
                          Arg("s", NativeKind::kStruct, ArgumentLocation::kAny),
                          Arg("h", NativeKind::kString, ArgumentLocation::kHeader),
                          Arg("body", NativeKind::kObject, ArgumentLocation::kBody),
                          Arg("three", NativeKind::kString, static_cast<ArgumentLocation>(3))};
        Add(RegisterRoute(api, HttpMethod::kGet, "/e/{a}", std::move(echo),
                          std::make_unique<EchoAll>()));
        FunctionDefinition named;
        named.name = "Named";
        named.arguments = {Arg("x", NativeKind::kInt32, ArgumentLocation::kAny)};
        Add(RegisterFunction(api, std::move(named), std::make_unique<EchoAll>()));
        FunctionDefinition custom;
        custom.name = "Custom";
        custom.arguments = {Arg("v", NativeKind::kVector, ArgumentLocation::kAny)};
        Add(api.Register(std::move(custom), std::make_unique<EchoAll>(), "/c/{#frag}",
                         HttpMethod::kCustom, "PURGE"));
        auto built = BuildHostRouteTable(api);
        if (built.IsFailure()) std::abort();
        table = std::move(built).Value();
    }

    void Add(MaybeType<Failure, const RouteBinding*> registered) {
        if (registered.IsFailure()) std::abort();
        bindings.push_back(registered.Value());
    }

    LocalApi api;
    std::vector<const RouteBinding*> bindings;
    std::unique_ptr<HostRouteTable> table;
};

HostValue MakeValue(FuzzedDataProvider& input, std::vector<std::string>& texts,
                    std::vector<std::vector<HostValue>>& arrays, int depth) {
    HostValue value{};
    value.type = input.ConsumeIntegralInRange<uint32_t>(0, 11);
    switch (value.type) {
        case kHostValueBool:
            value.payload.boolean = input.ConsumeIntegral<uint8_t>();
            break;
        case kHostValueSigned:
        case kHostValueUnsigned:
        case kHostValueFloat:
            value.payload.u64 = input.ConsumeIntegral<uint64_t>();
            break;
        case kHostValueStringBorrowed:
        case kHostValueStringOwned:
        case kHostValueBlobBorrowed:
        case kHostValueBlobOwned:
            texts.push_back(input.ConsumeRandomLengthString(64));
            value.payload.string = {texts.back().data(),
                                    static_cast<uint32_t>(texts.back().size())};
            break;
        case kHostValueCollection: {
            std::vector<HostValue> items;
            const size_t count = depth < 3 ? input.ConsumeIntegralInRange<size_t>(0, 4) : 0;
            for (size_t i = 0; i < count; ++i) {
                items.push_back(MakeValue(input, texts, arrays, depth + 1));
            }
            arrays.push_back(std::move(items));
            value.payload.collection = {arrays.back().empty() ? nullptr : arrays.back().data(),
                                        static_cast<uint32_t>(arrays.back().size())};
            break;
        }
        default:
            // Structures are left to the host value's own fuzzing; here an odd type number.
            value.payload.u64 = 0;
            break;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Api api;
    FuzzedDataProvider input(data, size);

    const std::string path = input.ConsumeRandomLengthString(256);
    const std::string contentType = input.ConsumeRandomLengthString(48);
    const std::string customMethod = input.ConsumeRandomLengthString(16);
    std::vector<std::string> headerTexts;
    const size_t headerCount = input.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t i = 0; i < headerCount * 2; ++i) {
        headerTexts.push_back(input.ConsumeRandomLengthString(24));
    }
    std::vector<HostHeader> headers;
    for (size_t i = 0; i < headerCount; ++i) {
        const uint8_t nulls = input.ConsumeIntegral<uint8_t>();
        headers.push_back(HostHeader{nulls & 1 ? nullptr : headerTexts[2 * i].c_str(),
                                     nulls & 2 ? nullptr : headerTexts[2 * i + 1].c_str()});
    }
    std::vector<std::string> argumentNames;
    std::vector<std::string> texts;
    std::vector<std::vector<HostValue>> arrays;
    arrays.reserve(64);
    texts.reserve(64);
    std::vector<HostArgument> arguments;
    const size_t argumentCount = input.ConsumeIntegralInRange<size_t>(0, 3);
    argumentNames.reserve(argumentCount);
    for (size_t i = 0; i < argumentCount; ++i) {
        argumentNames.push_back(input.ConsumeRandomLengthString(8));
        const bool positional = input.ConsumeBool();
        arguments.push_back(HostArgument{positional ? nullptr : argumentNames.back().c_str(),
                                         MakeValue(input, texts, arrays, 0)});
    }

    const uint8_t routeChoice = input.ConsumeIntegral<uint8_t>();
    const uint8_t flags = input.ConsumeIntegral<uint8_t>();
    const uint32_t method = input.ConsumeIntegralInRange<uint32_t>(0, 9);
    const std::string bodyText = input.ConsumeRemainingBytesAsString();
    // The body lives in a buffer of exactly its length.
    std::unique_ptr<uint8_t[]> body(new uint8_t[bodyText.size() + 1]);
    std::memcpy(body.get(), bodyText.data(), bodyText.size());

    HostRouteRequest request{};
    request.method = method;
    request.path = flags & 1 ? nullptr : path.c_str();
    request.arguments = arguments.empty() ? nullptr : arguments.data();
    request.argumentCount = static_cast<uint32_t>(arguments.size());
    const HostApiTable& table = api.table->Table();
    request.context = routeChoice % (table.routeCount + 1) == table.routeCount
                          ? nullptr
                          : table.routes[routeChoice % (table.routeCount + 1)].function.context;
    request.headers = headers.empty() ? nullptr : headers.data();
    request.headerCount = static_cast<uint32_t>(headers.size());
    request.contentType = flags & 2 ? nullptr : contentType.c_str();
    request.body = flags & 4 ? nullptr : body.get();
    request.bodyLength = static_cast<uint32_t>(bodyText.size());
    request.callerToken = flags;
    request.customMethod = flags & 8 ? nullptr : customMethod.c_str();

    HostRouteResponse response{};
    HandleRequest(&response, &request);
    if (!response.release) std::abort();
    if ((response.error != nullptr) != (response.errorFlag != 0)) std::abort();
    // Read the answer as a host would before releasing it.
    ConversionStatus value = HostValueToBinding(response.value, "<result>");
    if (!value.Ok()) std::abort();
    for (uint32_t i = 0; i < response.headerCount; ++i) {
        if (!response.headers[i].name || !response.headers[i].value) std::abort();
    }
    if (response.streamObject) response.streamRelease(response.streamObject);
    response.release(&response);
    return 0;
}
