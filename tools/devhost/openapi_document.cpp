#include "devhost/openapi_document.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string_view>
#include <vector>

#include "devhost/openapi_schemas.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {
namespace {

constexpr const char* kRouteErrorKey = "devhost.RouteError";
constexpr const char* kControlErrorKey = "devhost.ControlError";
constexpr const char* kControlTag = "devhost";

// Argument locations of a route record.
constexpr uint8_t kAnySource = 0;
constexpr uint8_t kQuery = 1;
constexpr uint8_t kPathCapture = 2;
constexpr uint8_t kHeader = 4;
constexpr uint8_t kBody = 5;

// The media types the plugin decodes a body argument from (by the Content-Type's prefix).
constexpr const char* kBodyMediaTypes[] = {"application/json", "application/x-msgpack",
                                           "application/x-yaml"};

struct MethodKey {
    uint32_t code;  // the route record's method code
    const char* key;
};

// The methods the host passes on to the plugin, as route codes and OpenAPI's keys.
constexpr MethodKey kPassedOn[] = {{2, "get"},    {7, "put"},     {6, "post"},
                                   {1, "delete"}, {4, "options"}, {5, "patch"}};

std::string_view Text(const char* text) {
    return text != nullptr ? text : "";
}

BindingProperty& Member(BindingProperty& parent, std::string_view name) {
    BindingProperty* member = parent.MemberForWrite(name);
    Require(member != nullptr);
    return *member;
}

BindingProperty& Structure(BindingProperty& parent, std::string_view name) {
    BindingProperty& member = Member(parent, name);
    if (member.Kind() != PropertyKind::kStructure) Require(member.MakeStructure());
    return member;
}

BindingProperty& List(BindingProperty& parent, std::string_view name) {
    BindingProperty& member = Member(parent, name);
    if (member.Kind() != PropertyKind::kCollection) Require(member.MakeCollection());
    return member;
}

BindingProperty& Append(BindingProperty& list) {
    BindingProperty* item = list.AppendElement();
    Require(item != nullptr);
    return *item;
}

void AppendValue(BindingProperty& list, const BindingProperty& value) {
    Require(Append(list).CopyFrom(value));
}

// {}: a schema any value meets.
BindingProperty AnyValue() {
    BindingProperty schema;
    Require(schema.MakeStructure());
    return schema;
}

void SetText(BindingProperty& parent, std::string_view name, std::string_view text) {
    Require(SetMemberString(parent, name, text));
}

void SetValue(BindingProperty& parent, std::string_view name, const BindingProperty& value) {
    Require(SetMember(parent, name, value));
}

void SetReference(BindingProperty& parent, std::string_view section, std::string_view key) {
    SetText(parent, "$ref", "#/components/" + std::string(section) + "/" + std::string(key));
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// `text` followed by `more` as a new paragraph (either may be empty).
void AddParagraph(std::string& text, std::string_view more) {
    if (more.empty()) return;
    if (!text.empty()) text += "\n\n";
    text += more;
}

// Operation ids, unique over the document.
class OperationIds {
  public:
    // `wanted` itself, or with "_2", "_3", ... appended, whichever is still free.
    std::string Take(const std::string& wanted) {
        std::string id = wanted.empty() ? "operation" : wanted;
        for (int suffix = 2; !used_.insert(id).second; ++suffix) {
            id = (wanted.empty() ? "operation" : wanted) + "_" + std::to_string(suffix);
        }
        return id;
    }

  private:
    std::set<std::string> used_;
};

// ---- The plugin's routes ----

// A hole of a route url: "{name}", "{+name}" or "{#name}".
struct UrlVariable {
    std::string name;
    char form = 0;  // 0, '+' or '#'
};

struct PathTemplate {
    std::string key;  // the url with every hole written "{name}"
    std::vector<UrlVariable> variables;
};

// Reads the holes of a route url the way the host matches them (route_calls.cpp): a "{" without
// a closing "}" is an ordinary character from there on. A hole without a name is named after its
// position ("arg1", ...), so that the path and its parameter still agree.
PathTemplate ParseUrl(std::string_view url) {
    PathTemplate parsed;
    for (size_t i = 0; i < url.size(); ++i) {
        const size_t close = url[i] == '{' ? url.find('}', i) : std::string_view::npos;
        if (close == std::string_view::npos) {
            parsed.key += url[i];
            continue;
        }
        UrlVariable variable;
        size_t nameStart = i + 1;
        if (nameStart < close && (url[nameStart] == '+' || url[nameStart] == '#')) {
            variable.form = url[nameStart++];
        }
        variable.name = std::string(url.substr(nameStart, close - nameStart));
        if (variable.name.empty()) {
            variable.name = "arg" + std::to_string(parsed.variables.size() + 1);
        }
        parsed.key += "{" + variable.name + "}";
        parsed.variables.push_back(std::move(variable));
        i = close;
    }
    return parsed;
}

const UrlVariable* FindVariable(const PathTemplate& path, std::string_view name) {
    for (const UrlVariable& variable : path.variables) {
        if (variable.name == name) return &variable;
    }
    return nullptr;
}

std::string_view VariableNote(const UrlVariable& variable) {
    switch (variable.form) {
        case '+':
            return "Takes the rest of the path, \"/\" included.";
        case '#':
            return "Takes \"#\" and the rest of the path; the host matches the \"#\" as sent, "
                   "which clients that treat it as the start of a fragment never do.";
        default:
            return "";
    }
}

// Query, header and path values are texts; the plugin reads one as JSON when it starts with "{"
// or "[" and the argument is of a container kind, so those are described as JSON content.
bool IsContainer(uint32_t kind) {
    const auto value = static_cast<ValueKind>(kind);
    return value == ValueKind::kObject || value == ValueKind::kVector ||
           value == ValueKind::kStruct;
}

// A parameter for `argument` in `in` ("query", "header", "path").
BindingProperty Parameter(const HostArgumentRecord& argument, std::string_view in,
                          const SchemaCatalog& catalog, std::string description) {
    BindingProperty parameter;
    const std::string_view name = Text(argument.name);
    SetText(parameter, "name", in == "header" ? Lower(name) : std::string(name));
    SetText(parameter, "in", in);
    BindingProperty schema =
        catalog.Schema(ValueType{argument.kind, argument.elementKind, Text(argument.typeName)});
    bool required = in == "path" || argument.optional == 0;
    if (static_cast<ValueKind>(argument.kind) == ValueKind::kBool && in != "path" && required) {
        // The plugin sets a missing bool to false, and one given without a value to true.
        required = false;
        BindingProperty& fallback = Member(schema, "default");
        fallback.SetBool(false);
        AddParagraph(description, "Absent: false; given without a value: true.");
    }
    Require(SetMemberBool(parameter, "required", required));
    if (!description.empty()) SetText(parameter, "description", description);
    if (IsContainer(argument.kind)) {
        SetValue(Structure(Structure(parameter, "content"), "application/json"), "schema", schema);
    } else {
        SetValue(parameter, "schema", schema);
    }
    return parameter;
}

BindingProperty RequestBody(const HostArgumentRecord& argument, const SchemaCatalog& catalog) {
    BindingProperty body;
    const std::string_view description = Text(argument.description);
    SetText(body, "description",
            description.empty() ? "The argument \"" + std::string(Text(argument.name)) + "\""
                                : std::string(description));
    Require(SetMemberBool(body, "required", argument.optional == 0));
    const BindingProperty schema =
        catalog.Schema(ValueType{argument.kind, argument.elementKind, Text(argument.typeName)});
    BindingProperty& content = Structure(body, "content");
    for (const char* mediaType : kBodyMediaTypes) {
        SetValue(Structure(content, mediaType), "schema", schema);
    }
    return body;
}

BindingProperty RouteResponses(const HostFunctionRecord& function, const SchemaCatalog& catalog) {
    BindingProperty responses;
    Require(responses.MakeStructure());
    if (function.returnKind == 0) {
        SetText(Structure(responses, "204"), "description", "Done; nothing to answer");
    } else {
        BindingProperty& ok = Structure(responses, "200");
        SetText(ok, "description", "The route's value");
        SetValue(Structure(Structure(ok, "content"), "application/json"), "schema",
                 catalog.Schema(ValueType{function.returnKind, function.returnElementKind,
                                          Text(function.returnTypeName)}));
    }
    for (const char* range : {"4XX", "5XX"}) {
        SetReference(Structure(responses, range), "responses", kRouteErrorKey);
    }
    return responses;
}

// The operation that calls `route` with the `method` key; `anyMethod` when the route accepts
// every method (its id then names the method too).
BindingProperty RouteOperation(const HostRouteRecord& route, const PathTemplate& path,
                               std::string_view method, bool anyMethod,
                               const SchemaCatalog& catalog, const std::string& fallbackTag,
                               OperationIds& ids) {
    const HostFunctionRecord& function = route.function;
    BindingProperty operation;
    std::string id(Text(function.name));
    if (id.empty()) id = std::string(method) + " " + std::string(Text(route.url));
    if (anyMethod) id += "_" + std::string(method);
    SetText(operation, "operationId", ids.Take(id));

    BindingProperty& tags = List(operation, "tags");
    for (uint32_t t = 0; function.tags != nullptr && t < function.tagCount; ++t) {
        if (!Text(function.tags[t]).empty()) Require(Append(tags).SetString(function.tags[t]));
    }
    if (tags.Size() == 0) {
        const std::string_view nameSpace = Text(function.nameSpace);
        Require(Append(tags).SetString(nameSpace.empty() ? fallbackTag : nameSpace));
    }

    std::string description(Text(function.help));
    BindingProperty& parameters = List(operation, "parameters");
    std::set<std::string> pathParameters;
    std::set<std::string> names;
    bool hasBody = false;
    for (uint32_t a = 0; function.arguments != nullptr && a < function.argumentCount; ++a) {
        const HostArgumentRecord& argument = function.arguments[a];
        const uint8_t location = route.arguments != nullptr ? route.arguments[a].location : 0;
        const std::string name(Text(argument.name));
        const UrlVariable* variable = FindVariable(path, name);
        std::string note(Text(argument.description));
        if (location == kBody) {
            // The body goes to the first body argument, whatever the names.
            if (hasBody) {
                AddParagraph(description, "The argument \"" + name +
                                              "\" cannot be given over HTTP: the body goes to "
                                              "the first body argument.");
            } else {
                hasBody = true;
                SetValue(operation, "requestBody", RequestBody(argument, catalog));
            }
        } else if (!names.insert(name).second) {
            // Other arguments are found by name: of two with one name, one stays empty.
            AddParagraph(description, "The argument \"" + name +
                                          "\" cannot be given over HTTP: an earlier argument "
                                          "has its name.");
        } else if ((location == kPathCapture || location == kAnySource) && variable != nullptr) {
            AddParagraph(note, VariableNote(*variable));
            AppendValue(parameters, Parameter(argument, "path", catalog, note));
            pathParameters.insert(name);
        } else if (location == kQuery || location == kAnySource) {
            if (location == kAnySource) {
                AddParagraph(note, "May also come as the header \"" + Lower(name) + "\".");
            }
            AppendValue(parameters, Parameter(argument, "query", catalog, note));
        } else if (location == kHeader) {
            AppendValue(parameters, Parameter(argument, "header", catalog, note));
        } else {
            AddParagraph(description, "The argument \"" + name +
                                          "\" cannot be given over HTTP: no part of a request "
                                          "fills it.");
        }
    }
    // Every hole of the url is a path parameter, whether or not an argument takes it.
    for (const UrlVariable& variable : path.variables) {
        if (!pathParameters.insert(variable.name).second) continue;
        BindingProperty& parameter = Append(parameters);
        SetText(parameter, "name", variable.name);
        SetText(parameter, "in", "path");
        Require(SetMemberBool(parameter, "required", true));
        std::string note = "No argument of the route is named after it.";
        AddParagraph(note, VariableNote(variable));
        SetText(parameter, "description", note);
        SetText(Structure(parameter, "schema"), "type", "string");
    }
    if (parameters.Size() == 0) Require(operation.RemoveMember("parameters"));

    const std::string_view summary = Text(function.description);
    if (!summary.empty()) SetText(operation, "summary", summary);
    if (!description.empty()) SetText(operation, "description", description);
    SetValue(operation, "responses", RouteResponses(function, catalog));
    return operation;
}

// True for a route the host calls for `code`: the route's own method, or any method (0).
bool Accepts(const HostRouteRecord& route, uint32_t code) {
    return route.method == code || route.method == 0;
}

void AddRoutes(const HostApiTable& api, const SchemaCatalog& catalog,
               const std::string& fallbackTag, OperationIds& ids, BindingProperty& paths) {
    if (api.routes == nullptr) return;
    for (uint32_t r = 0; r < api.routeCount; ++r) {
        const HostRouteRecord& route = api.routes[r];
        const std::string_view url = Text(route.url);
        if (url.empty() || route.requestCallback == nullptr) continue;
        const PathTemplate path = ParseUrl(url);
        for (const MethodKey& method : kPassedOn) {
            if (!Accepts(route, method.code)) continue;
            // The first route of the table with this url and method is the one called.
            bool earlier = false;
            for (uint32_t before = 0; before < r && !earlier; ++before) {
                const HostRouteRecord& other = api.routes[before];
                earlier = other.requestCallback != nullptr && Text(other.url) == url &&
                          Accepts(other, method.code);
            }
            if (earlier) continue;
            SetValue(Structure(paths, path.key), method.key,
                     RouteOperation(route, path, method.key, route.method == 0, catalog,
                                    fallbackTag, ids));
        }
    }
}

// ---- The plugin's events ----

void AddEvents(const HostApiTable& api, const SchemaCatalog& catalog, BindingProperty& webhooks) {
    if (api.events == nullptr) return;
    for (uint32_t e = 0; e < api.eventCount; ++e) {
        const HostEventRecord& event = api.events[e];
        std::string name(Text(event.name));
        if (name.empty()) name = "event";
        std::string key = name;
        for (int suffix = 2; webhooks.FindMember(key) != nullptr; ++suffix) {
            key = name + "_" + std::to_string(suffix);
        }
        BindingProperty& operation = Structure(Structure(webhooks, key), "post");
        const std::string_view summary = Text(event.description);
        if (!summary.empty()) SetText(operation, "summary", summary);
        SetText(operation, "description",
                "Arrives on GET /events as the Server-Sent Event \"" + name + "\", or \"" + name +
                    "_\" followed by what it concerns (a resource's path, for one).");
        BindingProperty& tags = List(operation, "tags");
        for (uint32_t t = 0; event.tags != nullptr && t < event.tagCount; ++t) {
            if (!Text(event.tags[t]).empty()) Require(Append(tags).SetString(event.tags[t]));
        }
        if (tags.Size() == 0) Require(Append(tags).SetString("events"));
        BindingProperty& body = Structure(operation, "requestBody");
        Require(SetMemberBool(body, "required", true));
        const std::string_view payload = Text(event.payloadTypeName);
        const ValueType payloadType{static_cast<uint32_t>(ValueKind::kStruct), 0, payload};
        SetValue(Structure(Structure(body, "content"), "application/json"), "schema",
                 payload.empty() ? AnyValue() : catalog.Schema(payloadType));
    }
}

// ---- The host's control endpoints ----

// "getDevhostRemoteMissionsIdComplete" for GET "/devhost/remote/missions/{id}/complete".
std::string ControlOperationId(std::string_view method, std::string_view path) {
    std::string id = Lower(method);
    bool wordStart = true;
    for (char c : path) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            wordStart = true;
            continue;
        }
        id += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        wordStart = false;
    }
    return id;
}

void AddControlEndpoint(const EndpointDescription& endpoint, OperationIds& ids,
                        BindingProperty& paths) {
    const std::string_view listed = endpoint.path;
    const size_t queryStart = listed.find('?');
    const std::string_view pathPart = listed.substr(0, queryStart);
    std::string key;
    BindingProperty parameters;
    Require(parameters.MakeCollection());
    for (size_t i = 0; i < pathPart.size(); ++i) {
        const size_t close = pathPart[i] == '<' ? pathPart.find('>', i) : std::string_view::npos;
        if (close == std::string_view::npos) {
            key += pathPart[i];
            continue;
        }
        const std::string name(pathPart.substr(i + 1, close - i - 1));
        key += "{" + name + "}";
        BindingProperty& parameter = Append(parameters);
        SetText(parameter, "name", name);
        SetText(parameter, "in", "path");
        Require(SetMemberBool(parameter, "required", true));
        SetText(Structure(parameter, "schema"), "type", "string");
        i = close;
    }
    if (queryStart != std::string_view::npos) {
        std::string_view query = listed.substr(queryStart + 1);
        while (!query.empty()) {
            const std::string_view piece = query.substr(0, query.find('&'));
            query.remove_prefix(std::min(query.size(), piece.size() + 1));
            BindingProperty& parameter = Append(parameters);
            SetText(parameter, "name", piece.substr(0, piece.find('=')));
            SetText(parameter, "in", "query");
            Require(SetMemberBool(parameter, "required", false));
            SetText(parameter, "description", "Listed as " + std::string(piece));
            SetText(Structure(parameter, "schema"), "type", "string");
        }
    }

    for (HttpMethod method : ServedMethods(endpoint)) {
        BindingProperty operation;
        const std::string_view methodName = HttpMethodName(method);
        SetText(operation, "operationId", ids.Take(ControlOperationId(methodName, key)));
        SetText(operation, "summary", endpoint.description);
        Require(Append(List(operation, "tags")).SetString(kControlTag));
        if (parameters.Size() != 0) SetValue(operation, "parameters", parameters);
        if (method == HttpMethod::kPut || method == HttpMethod::kPost ||
            method == HttpMethod::kPatch) {
            BindingProperty& body = Structure(operation, "requestBody");
            Require(SetMemberBool(body, "required", false));
            SetValue(Structure(Structure(body, "content"), "application/json"), "schema",
                     AnyValue());
        }
        BindingProperty& responses = Structure(operation, "responses");
        if (endpoint.id == EndpointId::kEventStream) {
            BindingProperty& stream = Structure(responses, "200");
            SetText(stream, "description", "The events, as they are fired");
            SetText(
                Structure(Structure(Structure(stream, "content"), "text/event-stream"), "schema"),
                "type", "string");
        } else {
            BindingProperty& done = Structure(responses, "2XX");
            SetText(done, "description", "Done: a JSON answer, or no content (204)");
            SetValue(Structure(Structure(done, "content"), "application/json"), "schema",
                     AnyValue());
        }
        for (const char* range : {"4XX", "5XX"}) {
            SetReference(Structure(responses, range), "responses", kControlErrorKey);
        }
        // Where a control endpoint and a plugin route share a path and method, the host
        // answers with the control endpoint.
        SetValue(Structure(paths, key), Lower(methodName), operation);
    }
}

// ---- Shared parts ----

BindingProperty ErrorSchema(bool route) {
    BindingProperty schema;
    SetText(schema, "type", "object");
    BindingProperty& properties = Structure(schema, "properties");
    BindingProperty& required = List(schema, "required");
    if (route) {
        SetText(schema, "description",
                "A route's failure: its status (500 when it gave none) and error text; also the "
                "host's own 404 (no route serves the path), 405 (no route accepts the method) and "
                "503 (the plugin is not running).");
        SetText(Structure(properties, "httpStatus"), "type", "integer");
        SetText(Structure(properties, "message"), "type", "string");
        Require(Append(required).SetString("httpStatus"));
        Require(Append(required).SetString("message"));
    } else {
        SetText(schema, "description", "Why the control endpoint refused the request.");
        SetText(Structure(properties, "error"), "type", "string");
        Require(Append(required).SetString("error"));
    }
    return schema;
}

void AddErrorComponents(BindingProperty& components) {
    for (bool route : {true, false}) {
        const char* key = route ? kRouteErrorKey : kControlErrorKey;
        SetValue(Structure(components, "schemas"), key, ErrorSchema(route));
        BindingProperty& response = Structure(Structure(components, "responses"), key);
        SetText(response, "description", route ? "The route failed" : "Refused");
        SetReference(
            Structure(Structure(Structure(response, "content"), "application/json"), "schema"),
            "schemas", key);
    }
}

BindingProperty Info(const OpenApiSubject& subject, bool hasEvents) {
    BindingProperty info;
    const bool loaded = !subject.pluginName.empty();
    SetText(info, "title",
            loaded ? "devhost: " + subject.pluginName : std::string("devhost (no plugin loaded)"));
    SetText(info, "version", loaded ? subject.pluginVersion : std::string("none"));
    std::string description =
        "What the development host serves: the plugin's routes, generated from the API table "
        "the plugin handed over when it was loaded, and the host's own control endpoints (tag "
        "\"devhost\").";
    if (hasEvents) {
        AddParagraph(description,
                     "The plugin's events are listed as webhooks. Nothing calls a webhook: the "
                     "events the plugin fires arrive over GET /events as Server-Sent Events "
                     "(event: the name, data: the payload as JSON).");
    }
    SetText(info, "description", description);
    return info;
}

}  // namespace

BindingProperty BuildOpenApiDocument(const HostApiTable* api,
                                     std::span<const EndpointDescription> endpoints,
                                     const OpenApiSubject& subject) {
    BindingProperty document;
    SetText(document, "openapi", "3.1.0");
    const bool hasEvents = api != nullptr && api->events != nullptr && api->eventCount != 0;
    SetValue(document, "info", Info(subject, hasEvents));
    // Relative to the document: "try it out" talks to the host that served it.
    SetText(Append(List(document, "servers")), "url", "/");

    const SchemaCatalog catalog(api, {kRouteErrorKey, kControlErrorKey});
    OperationIds ids;
    BindingProperty& paths = Structure(document, "paths");
    if (api != nullptr) {
        const std::string fallbackTag = subject.pluginName.empty() ? "plugin" : subject.pluginName;
        AddRoutes(*api, catalog, fallbackTag, ids, paths);
        if (hasEvents) AddEvents(*api, catalog, Structure(document, "webhooks"));
    }
    for (const EndpointDescription& endpoint : endpoints) {
        // The entry for the plugin's routes has no path of its own; they are described above.
        if (endpoint.path.empty() || endpoint.path[0] != '/') continue;
        AddControlEndpoint(endpoint, ids, paths);
    }

    BindingProperty& components = Structure(document, "components");
    catalog.Components(Structure(components, "schemas"));
    AddErrorComponents(components);
    BindingProperty& tag = Append(List(document, "tags"));
    SetText(tag, "name", kControlTag);
    SetText(tag, "description", "The development host's own endpoints");
    return document;
}

}  // namespace Vane::DevHost
