// The binary contract between the missions plugin and any host that loads it.
//
// Every record is packed (no padding), integers keep their width on every platform, and
// pointers are 4 bytes on a 32-bit build and 8 on a 64-bit build. The static_asserts at the
// end prove the layout for both: the 32-bit Windows build is the reference target, and
// scripts/check-abi.sh compiles this header with a 32-bit compiler on every CI run.
//
// Ownership at the boundary: what the plugin builds and hands to the host it releases
// itself after the host call returns; what the host hands to the plugin stays the host's
// and is valid only during the call into the plugin that carried it. A route response is
// released by the host through its `release` function, exactly once.
#ifndef PYX_HOST_ABI_H_
#define PYX_HOST_ABI_H_

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define PYX_CDECL __cdecl
#else
#define PYX_CDECL
#endif

#if defined(_WIN32)
#define PYX_EXPORT __declspec(dllexport)
#else
#define PYX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

#pragma pack(push, 1)

// ---------------------------------------------------------------------------------------
// Values

// HostValue::type codes.
enum HostValueType : uint32_t {
    kHostValueNone = 0,
    kHostValueBool = 1,
    kHostValueSigned = 2,
    kHostValueUnsigned = 3,
    kHostValueFloat = 4,
    kHostValueStringBorrowed = 5,
    kHostValueStringOwned = 6,
    kHostValueBlobBorrowed = 7,
    kHostValueBlobOwned = 8,
    kHostValueCollection = 9,
    kHostValueStructure = 10,
};

struct HostValue;
struct HostMember;

struct HostStringPayload {
    const char* chars;  // not NUL-terminated when borrowed; owned copies are terminated
    uint32_t length;
};
struct HostBlobPayload {
    const uint8_t* bytes;
    uint32_t size;
};
struct HostCollectionPayload {
    HostValue* items;
    uint32_t count;
};
struct HostStructurePayload {
    HostMember* members;
    uint32_t count;
};

// A value crossing the boundary. Owned buffers (types 6, 8 and the arrays of 9 and 10) are
// malloc'ed by whoever built the value and freed by the same side; 5 and 7 are never freed.
struct HostValue {
    uint32_t type;
    union {
        uint8_t boolean;
        int64_t i64;
        uint64_t u64;
        double f64;
        HostStringPayload string;
        HostBlobPayload blob;
        HostCollectionPayload collection;
        HostStructurePayload structure;
    } payload;
};

struct HostMember {
    const char* name;  // NUL-terminated
    HostValue value;
    uint8_t ownsName;
};

// A request argument or a named route argument; a null name makes it positional.
struct HostArgument {
    const char* name;
    HostValue value;
};

struct HostHeader {
    const char* name;
    const char* value;
};

// ---------------------------------------------------------------------------------------
// Host operations

struct HostCore;
struct HostIncomingEvent;
struct HostOutgoingEvent;
struct HostRequestRecord;
struct HostResponseArea;

typedef void(PYX_CDECL* HostDispatchFn)(const HostIncomingEvent* event);
typedef void(PYX_CDECL* HostScheduledFn)(void* context);
// Reads up to *inOutCount bytes into buffer; sets *inOutCount to the bytes read and
// *outMore to non-zero while more remain. Returns non-zero on success.
typedef uint8_t(PYX_CDECL* HostStreamReadFn)(void* context, char* buffer, uint32_t* inOutCount,
                                             uint8_t* outMore);
typedef void(PYX_CDECL* HostStreamCloseFn)(void* context);

// The ten host operations; each receives the table's own address first.
struct HostCore {
    void(PYX_CDECL* request)(const HostCore* self, HostResponseArea* response,
                             const HostRequestRecord* request);
    void(PYX_CDECL* unused1)(const HostCore* self, uint32_t, uint32_t);
    void(PYX_CDECL* fireEvent)(const HostCore* self, const HostOutgoingEvent* event);
    void(PYX_CDECL* subscribe)(const HostCore* self, const char* eventName, uint32_t pluginHandle,
                               HostDispatchFn dispatch, void* context, uint32_t flag);
    void(PYX_CDECL* unsubscribe)(const HostCore* self, const char* eventName,
                                 uint32_t pluginHandle);
    void(PYX_CDECL* schedule)(const HostCore* self, const char* name, HostScheduledFn callback,
                              void* context, double delaySeconds, uint32_t zero);
    void(PYX_CDECL* yield)(const HostCore* self);
    void(PYX_CDECL* label)(const HostCore* self, const char* label, uint32_t zero);
    uint64_t(PYX_CDECL* afterYield)(const HostCore* self);
    void(PYX_CDECL* log)(const HostCore* self, const char* message, int32_t level);
};

struct HostContext {
    const HostCore* core;
    uint32_t pluginHandle;
};

// ---------------------------------------------------------------------------------------
// Export, load record and callbacks

struct PluginCallbacks {
    uint8_t(PYX_CDECL* initialise)(void* plugin, const HostContext* context);
    void(PYX_CDECL* shutdown)(void* plugin);
    // Six u64 counters, low word first, then two zero words.
    void(PYX_CDECL* memoryStatistics)(void* plugin, uint32_t out[14]);
};

struct HostApiTable;

struct PluginLoadRecord {
    uint32_t apiMajor;  // core's on entry, plugin's on return
    uint32_t apiMinor;
    uint32_t apiPatch;
    const PluginCallbacks* callbacks;
    void* plugin;
    const char* shortName;
    const HostApiTable* apiTable;
};

typedef void(PYX_CDECL* PluginLoadFn)(PluginLoadRecord* record);

// ---------------------------------------------------------------------------------------
// Events

struct HostIncomingEvent {
    const char* eventName;
    HostValue payload;
    uint32_t unused;
    void* context;  // the context given at subscribe
};

struct HostOutgoingEvent {
    const char* eventName;
    HostValue payload;
    uint32_t flags;  // 0 for resource events
    uint32_t zero;
};

// ---------------------------------------------------------------------------------------
// Outgoing requests (host word 0)

struct HostRequestRecord {
    uint32_t method;  // 1 DELETE ... 7 PUT, 8 custom, else 0
    const char* url;
    const HostArgument* arguments;
    uint32_t argumentCount;
    uint8_t zero1[24];
    uint32_t pluginHandle;
    uint32_t zero2;
};

// Zero-filled by the plugin, filled by the host.
struct HostResponseArea {
    HostValue body;
    const char* error;  // non-null: the request failed
    uint8_t reserved1[6];
    int32_t status;
    uint8_t reserved2[12];
    HostStreamReadFn streamRead;  // non-null: the body is a stream
    HostStreamCloseFn streamClose;
    uint32_t expectedStreamSize;
    uint32_t reserved3;
    void* streamContext;
    uint32_t reserved4;
};

// ---------------------------------------------------------------------------------------
// API description and routes (load record word 6)

struct HostArgumentRecord {
    HostArgumentRecord* next;
    const char* name;
    const char* description;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint8_t optional;
};

struct HostFunctionRecord {
    HostFunctionRecord* next;
    uint32_t reserved;
    void* context;  // zero in the description; the binding's context in a route record
    const char* name;
    const char* nameSpace;
    HostArgumentRecord* arguments;
    uint32_t argumentCount;
    uint32_t returnKind;
    uint32_t returnElementKind;
    const char* returnTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncTypeName;
    const char* const* tags;
    uint32_t tagCount;
};

struct HostFieldRecord {
    HostFieldRecord* next;
    const char* name;
    const char* description;
    uint32_t offset;
    uint32_t kind;
    uint32_t elementKind;
    const char* typeName;
    uint8_t optional;
};

struct HostEnumeratorRecord {
    HostEnumeratorRecord* next;
    const char* name;
    const char* description;
    int32_t value;
};

struct HostTypeRecord {
    HostTypeRecord* next;
    const char* name;
    const char* nameSpace;
    uint32_t size;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    HostFieldRecord* fields;            // null for a type without fields
    HostEnumeratorRecord* enumerators;  // null for a type with fields
    uint32_t count;
};

struct HostEventRecord {
    HostEventRecord* next;
    const char* name;
    const char* nameSpace;
    const char* payloadTypeName;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
};

struct HostRouteRequest;
struct HostRouteResponse;
typedef void(PYX_CDECL* HostRouteFn)(HostRouteResponse* response, const HostRouteRequest* request);

struct HostRouteArgument {
    uint32_t zero;
    uint8_t location;  // 1..5, else 0
    uint8_t padding[3];
};

struct HostStringGroup {
    uint32_t zero;
    const char* const* texts;
    uint32_t count;
};

struct HostRouteRecord {
    HostFunctionRecord function;  // a copy of the function record, next included
    HostRouteFn requestCallback;
    const HostRouteArgument* arguments;
    const char* url;
    uint32_t method;  // 1..8, else 0 = any
    uint8_t flag;
    const HostStringGroup* stringGroups;
    uint32_t stringGroupCount;
    const char* customMethod;
};

struct HostApiTable {
    const HostRouteRecord* routes;
    uint32_t routeCount;
    const HostTypeRecord* types;
    uint32_t typeCount;
    const HostEventRecord* events;
    uint32_t eventCount;
};

// ---------------------------------------------------------------------------------------
// Route calls

struct HostRouteRequest {
    uint32_t method;
    const char* path;  // may hold "?" and a query
    const HostArgument* arguments;
    uint32_t argumentCount;
    void* context;  // the route record's context
    const HostHeader* headers;
    uint32_t headerCount;
    const char* contentType;  // empty or null when none
    const uint8_t* body;      // exactly bodyLength bytes, not NUL-terminated
    uint32_t bodyLength;
    uint32_t callerToken;
    const char* customMethod;
};

// Zero-filled by the host, filled by the plugin, released by the host through `release`.
struct HostRouteResponse {
    HostValue value;
    const char* error;  // non-null means the call failed; errorFlag is then set
    uint8_t errorFlag;
    uint8_t options;
    uint32_t mode;   // 1, 2, 3, else 0
    int32_t status;  // 0 lets the host choose
    const char* statusMessage;
    const HostHeader* headers;
    uint32_t headerCount;
    HostStreamReadFn streamRead;
    void(PYX_CDECL* streamRelease)(void* stream);
    void* streamObject;
    void(PYX_CDECL* release)(HostRouteResponse* response);
};

#pragma pack(pop)

// The plugin's only export.
PYX_EXPORT void PYX_CDECL load_pyx_missions(PluginLoadRecord* record);

}  // extern "C"

// ---------------------------------------------------------------------------------------
// Layout proofs: (32-bit value, 64-bit value).

#define PYX_ABI_PICK(v32, v64) (sizeof(void*) == 4 ? (v32) : (v64))
#define PYX_ABI_SIZE(T, v32, v64) static_assert(sizeof(T) == PYX_ABI_PICK(v32, v64), #T " size")
#define PYX_ABI_AT(T, f, v32, v64) \
    static_assert(offsetof(T, f) == PYX_ABI_PICK(v32, v64), #T "." #f " offset")

PYX_ABI_SIZE(HostValue, 12, 16);
PYX_ABI_AT(HostValue, payload, 4, 4);
PYX_ABI_SIZE(HostMember, 17, 25);
PYX_ABI_AT(HostMember, value, 4, 8);
PYX_ABI_AT(HostMember, ownsName, 16, 24);
PYX_ABI_SIZE(HostArgument, 16, 24);
PYX_ABI_SIZE(HostHeader, 8, 16);
PYX_ABI_SIZE(HostCore, 40, 80);
PYX_ABI_SIZE(HostContext, 8, 12);
PYX_ABI_SIZE(PluginCallbacks, 12, 24);
PYX_ABI_SIZE(PluginLoadRecord, 28, 44);
PYX_ABI_AT(PluginLoadRecord, callbacks, 12, 12);
PYX_ABI_AT(PluginLoadRecord, plugin, 16, 20);
PYX_ABI_AT(PluginLoadRecord, shortName, 20, 28);
PYX_ABI_AT(PluginLoadRecord, apiTable, 24, 36);
PYX_ABI_SIZE(HostIncomingEvent, 24, 36);
PYX_ABI_AT(HostIncomingEvent, context, 20, 28);
PYX_ABI_SIZE(HostOutgoingEvent, 24, 32);
PYX_ABI_AT(HostOutgoingEvent, flags, 16, 24);
PYX_ABI_SIZE(HostRequestRecord, 48, 56);
PYX_ABI_AT(HostRequestRecord, url, 4, 4);
PYX_ABI_AT(HostRequestRecord, arguments, 8, 12);
PYX_ABI_AT(HostRequestRecord, argumentCount, 12, 20);
PYX_ABI_AT(HostRequestRecord, pluginHandle, 40, 48);
PYX_ABI_SIZE(HostResponseArea, 62, 82);
PYX_ABI_AT(HostResponseArea, error, 12, 16);
PYX_ABI_AT(HostResponseArea, status, 22, 30);
PYX_ABI_AT(HostResponseArea, streamRead, 38, 46);
PYX_ABI_AT(HostResponseArea, streamClose, 42, 54);
PYX_ABI_AT(HostResponseArea, expectedStreamSize, 46, 62);
PYX_ABI_AT(HostResponseArea, streamContext, 54, 70);
PYX_ABI_SIZE(HostApiTable, 24, 36);
PYX_ABI_SIZE(HostFunctionRecord, 61, 101);
PYX_ABI_AT(HostFunctionRecord, threadSafe, 48, 80);
PYX_ABI_SIZE(HostArgumentRecord, 25, 41);
PYX_ABI_SIZE(HostTypeRecord, 40, 68);
PYX_ABI_SIZE(HostFieldRecord, 29, 45);
PYX_ABI_AT(HostFieldRecord, offset, 12, 24);
PYX_ABI_SIZE(HostEnumeratorRecord, 16, 28);
PYX_ABI_SIZE(HostEventRecord, 28, 52);
PYX_ABI_SIZE(HostRouteArgument, 8, 8);
PYX_ABI_SIZE(HostStringGroup, 12, 16);
PYX_ABI_SIZE(HostRouteRecord, 90, 150);
PYX_ABI_AT(HostRouteRecord, requestCallback, 61, 101);
PYX_ABI_AT(HostRouteRecord, method, 73, 125);
PYX_ABI_AT(HostRouteRecord, customMethod, 86, 142);
PYX_ABI_SIZE(HostRouteRequest, 48, 76);
PYX_ABI_AT(HostRouteRequest, body, 32, 52);
PYX_ABI_AT(HostRouteRequest, callerToken, 40, 64);
PYX_ABI_SIZE(HostRouteResponse, 54, 86);
PYX_ABI_AT(HostRouteResponse, error, 12, 16);
PYX_ABI_AT(HostRouteResponse, status, 22, 30);
PYX_ABI_AT(HostRouteResponse, release, 50, 78);

#undef PYX_ABI_AT
#undef PYX_ABI_SIZE
#undef PYX_ABI_PICK

#endif  // PYX_HOST_ABI_H_
