#include "devhost/plugin_call_scope.h"

#include "host/host_value.h"

namespace Vane::DevHost {
namespace {

thread_local HostValueArena* currentArena = nullptr;

}  // namespace

HostValueArena::~HostValueArena() {
    for (HostValue& value : values_) ReleaseHostValue(value);
}

HostValue HostValueArena::Build(const BindingProperty& value, std::string* error) {
    HostValue built{};
    if (!BindingToHostValue(value, nullptr, built, error)) return HostValue{};
    values_.push_back(built);
    return built;
}

const char* HostValueArena::Text(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.back().c_str();
}

PluginCallScope::PluginCallScope(HostValueArena& arena) : previous_(currentArena) {
    currentArena = &arena;
}

PluginCallScope::~PluginCallScope() {
    currentArena = previous_;
}

HostValueArena* PluginCallScope::Current() {
    return currentArena;
}

}  // namespace Vane::DevHost
