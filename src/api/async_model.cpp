#include "api/async_model.h"

#include <mutex>

#include "api/api_help.h"
#include "types/record_description.h"

namespace Vane {
namespace {

constexpr std::string_view kBuiltinTag = "$builtin";
constexpr std::string_view kAsyncTag = "async";
constexpr std::string_view kTokenDescription = "Asynchronous operation token";

}  // namespace

void TypeDescription<BindingAsyncState>::Describe(RecordBuilder<BindingAsyncState>& record) {
    using S = BindingAsyncState;
    record.Name("BindingAsyncState")
        .Description("Possible states of an asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag);
    record.Enumerator("None", S::kNone, "Invalid state");
    record.Enumerator("Running", S::kRunning, "The operation is in flight");
    record.Enumerator("Cancelling", S::kCancelling,
                      "A request to cancel the operation has been made");
    record.Enumerator("Cancelled", S::kCancelled, "The operation was cancelled");
    record.Enumerator("Succeeded", S::kSucceeded, "The operation completed successfully");
    record.Enumerator("Failed", S::kFailed, "The operation encountered an error");
}

void TypeDescription<BindingGenericEvent>::Describe(RecordBuilder<BindingGenericEvent>& record) {
    record.Name("BindingGenericEvent").Description("Represents generic data for an event.");
    record.Field("data", &BindingGenericEvent::data, "Event data");
}

void TypeDescription<BindingCallbackEvent>::Describe(RecordBuilder<BindingCallbackEvent>& record) {
    record.Name("BindingCallbackEvent")
        .Description("Represents the parameters of a call to a provided callback.");
    record.Field("id", &BindingCallbackEvent::id, "ID of the callback being invoked");
    record.Field("parameters", &BindingCallbackEvent::parameters, "Callback parameters");
}

void TypeDescription<BindingGenericAsyncEvent>::Describe(
    RecordBuilder<BindingGenericAsyncEvent>& record) {
    record.Name("BindingGenericAsyncEvent")
        .Description("Represents generic data for an asynchronous event.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag);
    record.Field("asyncToken", &BindingGenericAsyncEvent::asyncToken, kTokenDescription);
    record.Field("data", &BindingGenericAsyncEvent::data, "Event data");
}

void TypeDescription<BindingAsyncFailureEvent>::Describe(
    RecordBuilder<BindingAsyncFailureEvent>& record) {
    record.Name("BindingAsyncFailureEvent")
        .Description("Represents a failed asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag);
    record.Field("asyncToken", &BindingAsyncFailureEvent::asyncToken, kTokenDescription);
    record.Field("error", &BindingAsyncFailureEvent::error, "Error message");
}

void TypeDescription<BindingAsyncCancelEvent>::Describe(
    RecordBuilder<BindingAsyncCancelEvent>& record) {
    record.Name("BindingAsyncCancelEvent")
        .Description("Represents a cancelled asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag);
    record.Field("asyncToken", &BindingAsyncCancelEvent::asyncToken, kTokenDescription);
}

bool RegisterBuiltins(TypeRegistry& registry) noexcept {
    // One holding of the lock: other threads see all built-ins or none of them.
    std::lock_guard lock(registry.Mutex());
    bool ok = RegisterHelpTypes(registry);
    ok = RegisterType<BindingAsyncState>(registry) != nullptr && ok;
    ok = RegisterType<BindingGenericEvent>(registry) != nullptr && ok;
    const TypeDescriptor* callback = RegisterType<BindingCallbackEvent>(registry);
    ok = callback != nullptr && ok;
    ok = RegisterType<BindingGenericAsyncEvent>(registry) != nullptr && ok;
    ok = RegisterType<BindingAsyncFailureEvent>(registry) != nullptr && ok;
    ok = RegisterType<BindingAsyncCancelEvent>(registry) != nullptr && ok;
    if (!callback) return false;
    {
        EventBuilder event = BeginEvent(registry, kOnCallbackEvent, callback);
        event.Description("Fired when a callback is invoked.").Tag(kBuiltinTag);
        ok = event.Ok() && ok;
    }
    if (ok) registry.MarkBuiltIns();
    return ok;
}

}  // namespace Vane
