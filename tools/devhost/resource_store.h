// The resources of the simulated world, by path, with every change reported in order.
#ifndef PYX_DEVHOST_RESOURCE_STORE_H_
#define PYX_DEVHOST_RESOURCE_STORE_H_

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "value/binding_property.h"

namespace Vane::DevHost {

enum class ResourceEventType { kCreate = 0, kUpdate = 1, kDelete = 2 };

// "Create", "Update" or "Delete".
const char* ResourceEventTypeName(ResourceEventType type);

// One change of one resource. A deletion carries no data.
struct ResourceChange {
    std::string path;
    ResourceEventType type = ResourceEventType::kUpdate;
    BindingProperty data;
};

// Thread-safe. The listener sees every change, in the order the store applied them, while the
// store's lock is held: it must only hand the change on (queue it), never call the store.
class ResourceStore {
  public:
    using Listener = std::function<void(const ResourceChange&)>;

    explicit ResourceStore(Listener listener = {}) : listener_(std::move(listener)) {}

    // Sets the listener; call before the store is shared between threads.
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    // Stores `value` at `path`: a "Create" when the path was absent, an "Update" otherwise.
    ResourceEventType Set(const std::string& path, const BindingProperty& value);

    // Removes the resource; false (and no change reported) when it was absent.
    bool Delete(std::string_view path);

    // Changes the resource in place: `edit` receives the current value (empty when absent)
    // and returns whether it changed anything; a change is stored and reported as Set does.
    // Returns the result of `edit`.
    bool Edit(const std::string& path, const std::function<bool(BindingProperty&)>& edit);

    // A copy of the current value, or nothing when the path is absent.
    std::optional<BindingProperty> Get(std::string_view path) const;

    // Every path, in byte order.
    std::vector<std::string> Paths() const;

  private:
    void Report(const std::string& path, ResourceEventType type, const BindingProperty& data);

    mutable std::mutex mutex_;
    Listener listener_;
    std::map<std::string, BindingProperty, std::less<>> values_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_RESOURCE_STORE_H_
