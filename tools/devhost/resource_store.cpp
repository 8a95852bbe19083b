#include "devhost/resource_store.h"

#include "devhost/value_access.h"

namespace Vane::DevHost {

const char* ResourceEventTypeName(ResourceEventType type) {
    switch (type) {
        case ResourceEventType::kCreate:
            return "Create";
        case ResourceEventType::kUpdate:
            return "Update";
        case ResourceEventType::kDelete:
            return "Delete";
    }
    return "Update";
}

ResourceEventType ResourceStore::Set(const std::string& path, const BindingProperty& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(path);
    const ResourceEventType type =
        it == values_.end() ? ResourceEventType::kCreate : ResourceEventType::kUpdate;
    if (it == values_.end()) it = values_.emplace(path, BindingProperty()).first;
    Require(it->second.CopyFrom(value));
    Report(path, type, it->second);
    return type;
}

bool ResourceStore::Delete(std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(path);
    if (it == values_.end()) return false;
    const std::string key = it->first;
    values_.erase(it);
    Report(key, ResourceEventType::kDelete, BindingProperty());
    return true;
}

bool ResourceStore::Edit(const std::string& path,
                         const std::function<bool(BindingProperty&)>& edit) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(path);
    BindingProperty value;
    if (it != values_.end()) Require(value.CopyFrom(it->second));
    if (!edit(value)) return false;
    const ResourceEventType type =
        it == values_.end() ? ResourceEventType::kCreate : ResourceEventType::kUpdate;
    if (it == values_.end()) it = values_.emplace(path, BindingProperty()).first;
    it->second = std::move(value);
    Report(path, type, it->second);
    return true;
}

std::optional<BindingProperty> ResourceStore::Get(std::string_view path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(path);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> ResourceStore::Paths() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& [path, value] : values_) paths.push_back(path);
    return paths;
}

void ResourceStore::Report(const std::string& path, ResourceEventType type,
                           const BindingProperty& data) {
    if (!listener_) return;
    ResourceChange change{path, type, BindingProperty()};
    Require(change.data.CopyFrom(data));
    listener_(change);
}

}  // namespace Vane::DevHost
