#include "devhost/openapi_document.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

// Native kinds as the records carry them.
constexpr uint32_t kBool = 1, kUint8 = 3, kInt32 = 6, kDouble = 11, kString = 12, kVector = 15,
                   kEnum = 16, kStruct = 17, kMap = 19;
// Route methods and argument locations.
constexpr uint32_t kAnyMethod = 0, kDelete = 1, kGet = 2, kHead = 3, kPost = 6, kPut = 7,
                   kCustom = 8;
constexpr uint8_t kAnywhere = 0, kQuery = 1, kPath = 2, kHostOnly = 3, kHeader = 4, kBody = 5;

void Answer(HostRouteResponse*, const HostRouteRequest*) {}

// A small API table with one of everything the document is built from: routes for every
// argument location, a body, arguments no request can fill, a route for any method between
// an earlier and a later route of the same url, routes the host never calls; an enumeration, a
// record with a list of records, a nested record, a map and a field of an unregistered type;
// two events.
class ApiFixture {
  public:
    ApiFixture() {
        enumerators_ = {{nullptr, "RED", "warm", 1}, {nullptr, "BLUE", "", 2}};
        pointFields_ = {Field("x", "", kInt32), Field("y", "may be left out", kInt32, 0, "", 1)};
        shapeFields_ = {
            Field("name", "what it is called", kString),
            Field("color", "", kEnum, 0, "Color"),
            Field("points", "", kVector, kStruct, "Point"),
            Field("origin", "where it starts", kStruct, 0, "Point"),
            Field("labels", "", kMap, kString, "", 1),
            Field("extra", "", kStruct, 0, "NotRegistered", 1),
        };
        types_ = {
            Type("Color", "a colour", nullptr, enumerators_.data(), enumerators_.size()),
            Type("Point", "", pointFields_.data(), nullptr, pointFields_.size()),
            Type("Shape", "", shapeFields_.data(), nullptr, shapeFields_.size()),
            Type("ns::Odd<1>", "", nullptr, nullptr, 0),
        };

        getArguments_ = {
            Argument("id", "the thing", kString),
            Argument("verbose", "", kBool),
            Argument("limit", "at most this many", kUint8, 0, "", 1),
            Argument("X-Trace", "", kString, 0, "", 1),
            Argument("q", "", kDouble, 0, "", 1),
            Argument("filter", "", kStruct, 0, "Point", 1),
            Argument("limit", "a second one of the name", kString, 0, "", 1),
        };
        getLocations_ = {{0, kPath},     {0, kQuery}, {0, kQuery}, {0, kHeader},
                         {0, kAnywhere}, {0, kQuery}, {0, kHeader}};
        putArguments_ = {
            Argument("id", "", kString),
            Argument("shape", "the new shape", kStruct, 0, "Shape"),
            Argument("second", "", kString),
            Argument("fromHost", "", kString),
        };
        putLocations_ = {{0, kPath}, {0, kBody}, {0, kBody}, {0, kHostOnly}};
        static const char* const kTags[] = {"things", ""};

        routes_ = {
            Route("GetThing", kGet, "/things/{id}", getArguments_.data(), getLocations_.data(),
                  getArguments_.size(), kStruct, 0, "Shape"),
            Route("PutThing", kPut, "/things/{id}", putArguments_.data(), putLocations_.data(),
                  putArguments_.size()),
            Route("PostAny", kPost, "/any"),
            Route("Anything", kAnyMethod, "/any", nullptr, nullptr, 0, kVector, kEnum, "Color"),
            Route("ShadowedGet", kGet, "/any"),
            Route("File", kDelete, "/files/{+rest}"),
            Route("Headless", kHead, "/head"),
            Route("Custom", kCustom, "/custom"),
            Route("NoUrl", kGet, nullptr),
        };
        routes_[0].function.tags = kTags;
        routes_[0].function.tagCount = 2;
        routes_[0].function.description = "Reads a thing";
        routes_[0].function.help = "Longer words on reading a thing.";
        routes_[2].function.nameSpace = "anything";

        events_ = {{nullptr, "OnShape", "", "Shape", "Fired when a shape changes.", nullptr, 0},
                   {nullptr, "OnAnything", "", "", "", nullptr, 0}};

        table_ = {routes_.data(), static_cast<uint32_t>(routes_.size()),
                  types_.data(),  static_cast<uint32_t>(types_.size()),
                  events_.data(), static_cast<uint32_t>(events_.size())};
    }

    const HostApiTable* Table() const { return &table_; }
    HostApiTable& MutableTable() { return table_; }
    std::vector<HostRouteRecord>& Routes() { return routes_; }
    std::vector<HostTypeRecord>& Types() { return types_; }

  private:
    static HostFieldRecord Field(const char* name, const char* description, uint32_t kind,
                                 uint32_t elementKind = 0, const char* typeName = "",
                                 uint8_t optional = 0) {
        return {nullptr, name, description, 0, kind, elementKind, typeName, optional};
    }
    static HostArgumentRecord Argument(const char* name, const char* description, uint32_t kind,
                                       uint32_t elementKind = 0, const char* typeName = "",
                                       uint8_t optional = 0) {
        return {nullptr, name, description, kind, elementKind, typeName, optional};
    }
    static HostTypeRecord Type(const char* name, const char* description, HostFieldRecord* fields,
                               HostEnumeratorRecord* enumerators, size_t count) {
        return {nullptr, name, "",     0,           description,
                nullptr, 0,    fields, enumerators, static_cast<uint32_t>(count)};
    }
    static HostRouteRecord Route(const char* name, uint32_t method, const char* url,
                                 HostArgumentRecord* arguments = nullptr,
                                 const HostRouteArgument* locations = nullptr, size_t count = 0,
                                 uint32_t returnKind = 0, uint32_t returnElementKind = 0,
                                 const char* returnTypeName = "") {
        HostRouteRecord route{};
        route.function.name = name;
        route.function.nameSpace = "";
        route.function.arguments = arguments;
        route.function.argumentCount = static_cast<uint32_t>(count);
        route.function.returnKind = returnKind;
        route.function.returnElementKind = returnElementKind;
        route.function.returnTypeName = returnTypeName;
        route.function.description = "";
        route.function.help = "";
        route.requestCallback = Answer;
        route.arguments = locations;
        route.url = url;
        route.method = method;
        return route;
    }

    std::vector<HostEnumeratorRecord> enumerators_;
    std::vector<HostFieldRecord> pointFields_;
    std::vector<HostFieldRecord> shapeFields_;
    std::vector<HostTypeRecord> types_;
    std::vector<HostArgumentRecord> getArguments_;
    std::vector<HostRouteArgument> getLocations_;
    std::vector<HostArgumentRecord> putArguments_;
    std::vector<HostRouteArgument> putLocations_;
    std::vector<HostRouteRecord> routes_;
    std::vector<HostEventRecord> events_;
    HostApiTable table_{};
};

const OpenApiSubject kSubject{"toy", "1.2.3"};

BindingProperty Document(const HostApiTable* table) {
    return BuildOpenApiDocument(table, Endpoints(), kSubject);
}

// The value at `path` (member names, or element indexes written as "#0", "#1", ...).
const BindingProperty& At(const BindingProperty& value,
                          std::initializer_list<std::string_view> path) {
    const BindingProperty* at = &value;
    for (std::string_view step : path) {
        at = step.size() > 1 && step[0] == '#'
                 ? &at->Element(static_cast<size_t>(std::stoul(std::string(step.substr(1)))))
                 : &at->Member(step);
    }
    return *at;
}

std::string Json(const BindingProperty& value) {
    return ToJsonText(value);
}

// The parameter named `name` of an operation, or the empty value.
const BindingProperty& ParameterNamed(const BindingProperty& operation, std::string_view name) {
    for (const BindingProperty& parameter : operation.Member("parameters").Elements()) {
        if (ReadString(parameter.Member("name")) == name) return parameter;
    }
    return BindingProperty::SharedEmpty();
}

std::set<std::string> Keys(const BindingProperty& structure) {
    std::set<std::string> keys;
    for (const auto& [name, value] : structure.Members()) keys.emplace(name);
    return keys;
}

// Calls `visit` for every value of the tree, with the chain of member names leading to it.
void Walk(
    const BindingProperty& value, std::vector<std::string>& trail,
    const std::function<void(const BindingProperty&, const std::vector<std::string>&)>& visit) {
    visit(value, trail);
    for (const auto& [name, member] : value.Members()) {
        trail.emplace_back(name);
        Walk(member, trail, visit);
        trail.pop_back();
    }
    for (const BindingProperty& element : value.Elements()) Walk(element, trail, visit);
}

// What a validator of OpenAPI 3 leaves to the reader: every $ref resolves inside the document,
// operation ids are unique, and the path parameters of each operation are exactly the holes of
// its path, each required.
void ExpectConsistent(const BindingProperty& document) {
    std::vector<std::string> trail;
    std::multiset<std::string> ids;
    Walk(document, trail, [&](const BindingProperty& value, const std::vector<std::string>&) {
        const std::string_view ref = value.Member("$ref").GetString();
        if (!ref.empty()) {
            const std::string prefix = "#/components/";
            ASSERT_EQ(ref.substr(0, prefix.size()), prefix) << ref;
            const std::string_view rest = ref.substr(prefix.size());
            const size_t slash = rest.find('/');
            EXPECT_FALSE(At(document, {"components", rest.substr(0, slash), rest.substr(slash + 1)})
                             .IsEmpty())
                << "dangling " << ref;
        }
    });
    for (const auto& [path, item] : document.Member("paths").Members()) {
        std::set<std::string> holes;
        const std::string_view key = path;
        for (size_t open = key.find('{'); open != std::string_view::npos;
             open = key.find('{', open + 1)) {
            holes.emplace(key.substr(open + 1, key.find('}', open) - open - 1));
        }
        for (const auto& [method, operation] : item.Members()) {
            SCOPED_TRACE(std::string(method) + " " + std::string(key));
            ids.insert(ReadString(operation.Member("operationId")).value_or(""));
            std::set<std::string> parameters;
            for (const BindingProperty& parameter : operation.Member("parameters").Elements()) {
                if (ReadString(parameter.Member("in")) != "path") continue;
                parameters.insert(ReadString(parameter.Member("name")).value_or(""));
                EXPECT_TRUE(parameter.Member("required").GetBool());
            }
            EXPECT_EQ(parameters, holes);
            EXPECT_FALSE(operation.Member("responses").IsEmpty());
        }
    }
    for (const std::string& id : ids) {
        EXPECT_EQ(ids.count(id), 1u) << "operation id " << id;
        EXPECT_FALSE(id.empty());
    }
}

TEST(OpenApiDocument, WithoutAPluginDescribesTheControlEndpointsOnly) {
    const BindingProperty document = Document(nullptr);
    EXPECT_EQ(ReadString(document.Member("openapi")), "3.1.0");
    EXPECT_EQ(Json(document.Member("servers")), R"([{"url":"/"}])");
    EXPECT_EQ(ReadString(At(document, {"info", "version"})), "1.2.3");
    EXPECT_TRUE(document.Member("webhooks").IsEmpty());

    // One path per listed control path, its <placeholders> in braces and its query left off;
    // nothing for the plugin's routes.
    std::set<std::string> listed;
    for (const EndpointDescription& endpoint : Endpoints()) {
        if (endpoint.id == EndpointId::kPluginRoutes) continue;
        std::string path(endpoint.path.substr(0, endpoint.path.find('?')));
        for (char& c : path) c = c == '<' ? '{' : c == '>' ? '}' : c;
        listed.insert(path);
    }
    EXPECT_EQ(Keys(document.Member("paths")), listed);
    for (const auto& [path, item] : document.Member("paths").Members()) {
        for (const auto& [method, operation] : item.Members()) {
            EXPECT_EQ(Json(operation.Member("tags")), R"(["devhost"])") << path;
            EXPECT_FALSE(operation.Member("summary").GetString().empty()) << path;
        }
    }
    ExpectConsistent(document);
}

TEST(OpenApiDocument, ControlEndpointsKeepTheirMethodsPlaceholdersAndQueries) {
    const BindingProperty document = Document(nullptr);
    const BindingProperty& resource = At(document, {"paths", "/devhost/resources/{path}"});
    EXPECT_EQ(Keys(resource), (std::set<std::string>{"delete", "get", "post", "put"}));
    EXPECT_EQ(Json(At(resource, {"put", "parameters"})),
              R"([{"in":"path","name":"path","required":true,"schema":{"type":"string"}}])");
    // Bodies may be sent where the method carries one.
    EXPECT_FALSE(At(resource, {"put", "requestBody", "content", "application/json"}).IsEmpty());
    EXPECT_TRUE(At(resource, {"get", "requestBody"}).IsEmpty());
    EXPECT_EQ(ReadString(At(resource, {"get", "responses", "4XX", "$ref"})),
              "#/components/responses/devhost.ControlError");
    EXPECT_EQ(Json(At(document, {"components", "schemas", "devhost.ControlError", "properties"})),
              R"({"error":{"type":"string"}})");

    const BindingProperty& log = At(document, {"paths", "/devhost/log", "get"});
    EXPECT_EQ(ReadString(At(log, {"parameters", "#0", "name"})), "since");
    EXPECT_EQ(ReadString(At(log, {"parameters", "#0", "in"})), "query");
    EXPECT_FALSE(At(log, {"parameters", "#0", "required"}).GetBool(true));

    EXPECT_FALSE(At(document,
                    {"paths", "/events", "get", "responses", "200", "content", "text/event-stream"})
                     .IsEmpty());
    EXPECT_FALSE(At(document, {"paths", "/devhost/openapi.json", "get"}).IsEmpty());
}

TEST(OpenApiDocument, ArgumentsBecomeParametersByTheirLocation) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& get = At(document, {"paths", "/things/{id}", "get"});
    const struct {
        const char* name;
        const char* in;
        bool required;
        const char* schema;  // compact JSON of "schema", or of "content" for JSON content
    } cases[] = {
        {"id", "path", true, R"({"type":"string"})"},
        // A bool the plugin sets to false when it is missing.
        {"verbose", "query", false, R"({"default":false,"type":"boolean"})"},
        {"limit", "query", false, R"({"maximum":255,"minimum":0,"type":"integer"})"},
        // Headers under the lower-cased name the plugin looks for.
        {"x-trace", "header", false, R"({"type":"string"})"},
        // From any source: listed as a query parameter.
        {"q", "query", false, R"({"format":"double","type":"number"})"},
        // A record in a query string is JSON text.
        {"filter", "query", false,
         R"({"application/json":{"schema":{"$ref":"#/components/schemas/Point"}}})"},
    };
    ASSERT_EQ(get.Member("parameters").Size(), std::size(cases));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BindingProperty& parameter = ParameterNamed(get, c.name);
        ASSERT_FALSE(parameter.IsEmpty());
        EXPECT_EQ(ReadString(parameter.Member("in")), c.in);
        EXPECT_EQ(parameter.Member("required").GetBool(!c.required), c.required);
        const BindingProperty& schema = parameter.Member("schema");
        EXPECT_EQ(Json(schema.IsEmpty() ? parameter.Member("content") : schema), c.schema);
    }
    EXPECT_EQ(ReadString(ParameterNamed(get, "id").Member("description")), "the thing");
    EXPECT_NE(ReadString(ParameterNamed(get, "q").Member("description"))
                  .value_or("")
                  .find("header \"q\""),
              std::string::npos);
    EXPECT_EQ(ReadString(get.Member("operationId")), "GetThing");
    EXPECT_EQ(ReadString(get.Member("summary")), "Reads a thing");
    // Of two arguments with one name, the plugin fills one.
    EXPECT_EQ(ReadString(get.Member("description")),
              "Longer words on reading a thing.\n\nThe argument \"limit\" cannot be given over "
              "HTTP: an earlier argument has its name.");
    EXPECT_EQ(Json(get.Member("tags")), R"(["things"])");
}

TEST(OpenApiDocument, TheFirstBodyArgumentIsTheRequestBodyAndTheRestAreNamed) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& put = At(document, {"paths", "/things/{id}", "put"});
    const BindingProperty& body = put.Member("requestBody");
    EXPECT_TRUE(body.Member("required").GetBool());
    EXPECT_EQ(ReadString(body.Member("description")), "the new shape");
    EXPECT_EQ(
        Keys(body.Member("content")),
        (std::set<std::string>{"application/json", "application/x-msgpack", "application/x-yaml"}));
    for (const auto& [mediaType, content] : body.Member("content").Members()) {
        EXPECT_EQ(Json(content), R"({"schema":{"$ref":"#/components/schemas/Shape"}})")
            << mediaType;
    }
    // Only the path capture is a parameter; a second body argument and one only a host
    // argument fills are named in the description.
    EXPECT_EQ(put.Member("parameters").Size(), 1u);
    const std::string description = ReadString(put.Member("description")).value_or("");
    EXPECT_NE(description.find("\"second\""), std::string::npos) << description;
    EXPECT_NE(description.find("\"fromHost\""), std::string::npos) << description;
    // No value: the host answers 204.
    EXPECT_EQ(Keys(put.Member("responses")), (std::set<std::string>{"204", "4XX", "5XX"}));
}

TEST(OpenApiDocument, ResponsesCarryTheReturnSchemaAndTheHostsErrorBody) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& responses = At(document, {"paths", "/things/{id}", "get", "responses"});
    EXPECT_EQ(Json(At(responses, {"200", "content"})),
              R"({"application/json":{"schema":{"$ref":"#/components/schemas/Shape"}}})");
    EXPECT_EQ(ReadString(At(responses, {"5XX", "$ref"})),
              "#/components/responses/devhost.RouteError");
    EXPECT_EQ(Json(At(document, {"components", "schemas", "devhost.RouteError", "required"})),
              R"(["httpStatus","message"])");
    EXPECT_EQ(Json(At(document, {"paths", "/any", "get", "responses", "200", "content",
                                 "application/json", "schema"})),
              R"({"items":{"$ref":"#/components/schemas/Color"},"type":"array"})");
}

TEST(OpenApiDocument, EachMethodBelongsToTheFirstRouteThatAcceptsIt) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& any = At(document, {"paths", "/any"});
    EXPECT_EQ(Keys(any),
              (std::set<std::string>{"delete", "get", "options", "patch", "post", "put"}));
    // POST came earlier; the route for any method takes the rest, and the later GET route is
    // never called.
    EXPECT_EQ(ReadString(At(any, {"post", "operationId"})), "PostAny");
    for (const char* method : {"get", "put", "delete", "options", "patch"}) {
        EXPECT_EQ(ReadString(At(any, {method, "operationId"})), std::string("Anything_") + method);
    }
    EXPECT_EQ(Json(At(any, {"post", "tags"})), R"(["anything"])");  // the namespace
    EXPECT_EQ(Json(At(any, {"get", "tags"})), R"(["toy"])");        // the plugin's name

    // Routes the host never calls over HTTP: HEAD, a custom method, no url.
    for (const char* path : {"/head", "/custom"}) {
        EXPECT_TRUE(At(document, {"paths", path}).IsEmpty()) << path;
    }
    // A hole no argument takes is still a path parameter; "{+rest}" takes slashes too.
    const BindingProperty& rest = At(document, {"paths", "/files/{rest}", "delete"});
    EXPECT_EQ(ReadString(At(rest, {"parameters", "#0", "in"})), "path");
    EXPECT_NE(ReadString(At(rest, {"parameters", "#0", "description"}))
                  .value_or("")
                  .find("\"/\" included"),
              std::string::npos);
    ExpectConsistent(document);
}

TEST(OpenApiDocument, TypesBecomeComponentSchemas) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& schemas = At(document, {"components", "schemas"});
    EXPECT_EQ(Json(schemas.Member("Color")),
              R"({"description":"a colour\n\nRED: warm","enum":["RED","BLUE"],"type":"string"})");
    EXPECT_EQ(Json(schemas.Member("Point")),
              R"({"properties":{"x":{"format":"int32","maximum":2147483647,)"
              R"("minimum":-2147483648,"type":"integer"},"y":{"description":"may be left out",)"
              R"("format":"int32","maximum":2147483647,"minimum":-2147483648,"type":"integer"}},)"
              R"("required":["x"],"type":"object"})");
    const BindingProperty& shape = schemas.Member("Shape");
    EXPECT_EQ(Json(shape.Member("required")), R"(["name","color","points","origin"])");
    const struct {
        const char* field;
        const char* schema;
    } fields[] = {
        {"name", R"({"description":"what it is called","type":"string"})"},
        {"color", R"({"$ref":"#/components/schemas/Color"})"},
        {"points", R"({"items":{"$ref":"#/components/schemas/Point"},"type":"array"})"},
        {"origin", R"({"$ref":"#/components/schemas/Point","description":"where it starts"})"},
        {"labels", R"({"additionalProperties":{"type":"string"},"type":"object"})"},
        // A type the table does not have: its kind's schema, not a reference that cannot
        // resolve.
        {"extra", R"({"type":"object"})"},
    };
    for (const auto& f : fields) {
        EXPECT_EQ(Json(At(shape, {"properties", f.field})), f.schema) << f.field;
    }
    // A name that is not a valid component key is spelled with "_" and kept as the title.
    EXPECT_EQ(Json(schemas.Member("ns__Odd_1_")),
              R"({"properties":{},"title":"ns::Odd<1>","type":"object"})");
}

TEST(OpenApiDocument, EventsBecomeWebhooksThatArriveOverTheEventStream) {
    ApiFixture api;
    const BindingProperty document = Document(api.Table());
    const BindingProperty& shape = At(document, {"webhooks", "OnShape", "post"});
    EXPECT_EQ(ReadString(shape.Member("summary")), "Fired when a shape changes.");
    EXPECT_EQ(Json(At(shape, {"requestBody", "content"})),
              R"({"application/json":{"schema":{"$ref":"#/components/schemas/Shape"}}})");
    // An event without a payload type takes any payload.
    EXPECT_EQ(Json(At(document, {"webhooks", "OnAnything", "post", "requestBody", "content",
                                 "application/json", "schema"})),
              "{}");
    EXPECT_NE(ReadString(At(document, {"info", "description"}))
                  .value_or("")
                  .find("GET /events as Server-Sent Events"),
              std::string::npos);
}

TEST(OpenApiDocument, KeysTakenByTheHostOrAnEarlierTypeGetASuffix) {
    ApiFixture api;
    api.Types()[3].name = "devhost.RouteError";
    api.Types()[1].name = "Color";  // the second "Color": references go to the first
    const BindingProperty document = Document(api.Table());
    const BindingProperty& schemas = At(document, {"components", "schemas"});
    EXPECT_EQ(ReadString(At(schemas, {"devhost.RouteError_2", "title"})), "devhost.RouteError");
    EXPECT_EQ(Json(At(schemas, {"devhost.RouteError", "required"})), R"(["httpStatus","message"])");
    EXPECT_EQ(ReadString(At(schemas, {"Color_2", "type"})), "object");
    EXPECT_EQ(ReadString(At(schemas, {"Shape", "properties", "color", "$ref"})),
              "#/components/schemas/Color");
    ExpectConsistent(document);
}

// Records come from the plugin: missing texts and arrays, kinds no registry makes, and counts
// without arrays give a smaller document, never a crash.
TEST(OpenApiDocument, MalformedRecordsAreReadAsFarAsTheyGo) {
    ApiFixture api;
    std::vector<HostRouteRecord>& routes = api.Routes();
    routes[0].function.name = nullptr;
    routes[0].function.tags = nullptr;       // with a tag count of 2
    routes[0].arguments = nullptr;           // every argument from any source
    routes[1].function.arguments = nullptr;  // with an argument count of 4
    routes[2].function.returnKind = 99;      // no such kind
    routes[3].requestCallback = nullptr;     // not callable
    api.Types()[2].fields = nullptr;         // with a field count of 6
    api.Types()[0].name = nullptr;
    api.MutableTable().events = nullptr;  // with an event count of 2
    const BindingProperty document = Document(api.Table());

    const BindingProperty& get = At(document, {"paths", "/things/{id}", "get"});
    EXPECT_EQ(ReadString(get.Member("operationId")), "get /things/{id}");
    EXPECT_EQ(ReadString(ParameterNamed(get, "id").Member("in")), "path");
    EXPECT_EQ(ReadString(ParameterNamed(get, "limit").Member("in")), "query");
    EXPECT_EQ(Json(At(document, {"paths", "/things/{id}", "put", "parameters"})),
              R"([{"description":"No argument of the route is named after it.","in":"path",)"
              R"("name":"id","required":true,"schema":{"type":"string"}}])");
    EXPECT_EQ(Json(At(document, {"paths", "/any", "post", "responses", "200", "content",
                                 "application/json", "schema"})),
              "{}");
    // The route for any method is gone, so the later GET route is the one called.
    EXPECT_EQ(ReadString(At(document, {"paths", "/any", "get", "operationId"})), "ShadowedGet");
    EXPECT_EQ(Json(At(document, {"components", "schemas", "Shape"})),
              R"({"properties":{},"type":"object"})");
    EXPECT_EQ(ReadString(At(document, {"components", "schemas", "_", "type"})), "string");
    EXPECT_TRUE(document.Member("webhooks").IsEmpty());
    ExpectConsistent(document);
}

}  // namespace
}  // namespace Vane::DevHost
