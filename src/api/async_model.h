// The built-in records of asynchronous operations and callbacks: the state enumeration, the five
// event payload records and the OnCallback event, registered in every plugin's type registry
// together with the help types.
#ifndef PYX_API_ASYNC_MODEL_H_
#define PYX_API_ASYNC_MODEL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "types/native_traits.h"
#include "types/type_registry.h"
#include "value/binding_property.h"

namespace Vane {

// The state of an asynchronous operation: Running, then Succeeded, Failed or Cancelled;
// Cancelling between a cancel request and the end; None marks an invalid token.
enum class BindingAsyncState : int32_t {
    kNone = 0,
    kRunning = 1,
    kCancelling = 2,
    kCancelled = 3,
    kSucceeded = 4,
    kFailed = 5,
};

struct BindingGenericEvent {
    BindingProperty data;
};

struct BindingCallbackEvent {
    uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    uint32_t asyncToken = 0;
};

// The fixed type ids of the built-in records; their type infos are named "#" and the id in
// eight upper-case hexadecimal digits.
inline constexpr uint32_t kBindingAsyncStateId = 0x4B896D21;
inline constexpr uint32_t kBindingGenericEventId = 0x2A500213;
inline constexpr uint32_t kBindingCallbackEventId = 0x281B3EEF;
inline constexpr uint32_t kBindingGenericAsyncEventId = 0x7D1524E7;
inline constexpr uint32_t kBindingAsyncFailureEventId = 0x1E0C3BF4;
inline constexpr uint32_t kBindingAsyncCancelEventId = 0x0F2AF5E4;

// The name of the built-in event fired when a provided callback is invoked.
inline constexpr const char* kOnCallbackEvent = "OnCallback";

// The descriptions of the built-in records (defined in async_model.cpp).
#define PYX_DECLARE_BUILTIN_DESCRIPTION(T, id)          \
    template <>                                         \
    struct TypeDescription<T> {                         \
        static constexpr uint32_t kTypeId = id;         \
        static void Describe(RecordBuilder<T>& record); \
    }
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingAsyncState, kBindingAsyncStateId);
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingGenericEvent, kBindingGenericEventId);
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingCallbackEvent, kBindingCallbackEventId);
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingGenericAsyncEvent, kBindingGenericAsyncEventId);
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingAsyncFailureEvent, kBindingAsyncFailureEventId);
PYX_DECLARE_BUILTIN_DESCRIPTION(BindingAsyncCancelEvent, kBindingAsyncCancelEventId);
#undef PYX_DECLARE_BUILTIN_DESCRIPTION

// Registers, in this order, the help types (RegisterHelpTypes), BindingAsyncState, the five
// event records and the event OnCallback, then marks the registry as holding its built-ins.
// Repeating the call changes nothing. False, leaving the mark unset, when a step failed
// (memory ran out, or a built-in name is taken by another type).
bool RegisterBuiltins(TypeRegistry& registry) noexcept;

}  // namespace Vane

#endif  // PYX_API_ASYNC_MODEL_H_
