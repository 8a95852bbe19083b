#include "plugin/host_link.h"

namespace Vane {

HostLink::HostLink(const HostContext* context) {
    if (context != nullptr) {
        core_ = context->core;
        pluginHandle_ = core_ != nullptr ? context->pluginHandle : 0;
    }
}

bool HostLink::Request(HostResponseArea* response, HostRequestRecord* request) const {
    if (core_ == nullptr || core_->request == nullptr || response == nullptr ||
        request == nullptr) {
        return false;
    }
    request->pluginHandle = pluginHandle_;
    core_->request(core_, response, request);
    return true;
}

bool HostLink::FireEvent(const HostOutgoingEvent& event) const {
    if (core_ == nullptr || core_->fireEvent == nullptr) return false;
    core_->fireEvent(core_, &event);
    return true;
}

bool HostLink::Subscribe(const char* eventName, HostDispatchFn dispatch, void* context,
                         uint32_t flag) const {
    if (core_ == nullptr || core_->subscribe == nullptr || eventName == nullptr) return false;
    core_->subscribe(core_, eventName, pluginHandle_, dispatch, context, flag);
    return true;
}

bool HostLink::Unsubscribe(const char* eventName) const {
    if (core_ == nullptr || core_->unsubscribe == nullptr || eventName == nullptr) return false;
    core_->unsubscribe(core_, eventName, pluginHandle_);
    return true;
}

bool HostLink::Schedule(const char* name, HostScheduledFn callback, void* context,
                        double delaySeconds) const {
    if (core_ == nullptr || core_->schedule == nullptr || callback == nullptr) return false;
    // The host is promised a delay that is never negative; NaN is no delay either.
    if (!(delaySeconds > 0)) delaySeconds = 0;
    core_->schedule(core_, name != nullptr ? name : "", callback, context, delaySeconds, 0);
    return true;
}

bool HostLink::Yield() const {
    if (core_ == nullptr || core_->yield == nullptr) return false;
    core_->yield(core_);
    return true;
}

bool HostLink::Label(const char* label) const {
    if (core_ == nullptr || core_->label == nullptr) return false;
    core_->label(core_, label != nullptr ? label : "", 0);
    return true;
}

uint64_t HostLink::AfterYield() const {
    if (core_ == nullptr || core_->afterYield == nullptr) return 0;
    return core_->afterYield(core_);
}

bool HostLink::Log(const char* message, int32_t level) const {
    if (core_ == nullptr || core_->log == nullptr) return false;
    core_->log(core_, message != nullptr ? message : "", level);
    return true;
}

}  // namespace Vane
