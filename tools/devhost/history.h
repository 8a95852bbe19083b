// A bounded, numbered record of things that happened, for the read-out endpoints.
#ifndef PYX_DEVHOST_HISTORY_H_
#define PYX_DEVHOST_HISTORY_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "value/binding_property.h"

namespace Vane::DevHost {

// Entries are numbered from 1 in the order they were added; the oldest are dropped beyond the
// capacity, so a reader that keeps the number after its last read sees every later entry as
// long as it reads often enough. Thread-safe.
class History {
  public:
    explicit History(size_t capacity = 10000) : capacity_(capacity == 0 ? 1 : capacity) {}

    // Adds `entry` (an object) with the member "seq" set to its number; returns the number.
    uint64_t Add(BindingProperty entry);

    // {"next": number to ask for next time, "dropped": entries lost before `since`,
    //  "items": [entries numbered `since` or later, oldest first, at most `limit`]}.
    BindingProperty Since(uint64_t since, size_t limit = SIZE_MAX) const;

    // The number the next entry will get.
    uint64_t NextNumber() const;

    // Drops every entry; numbering continues.
    void Clear();

  private:
    mutable std::mutex mutex_;
    size_t capacity_;
    uint64_t next_ = 1;
    // Numbered next_ - size() .. next_ - 1, as compact JSON: read only to be sent as JSON, and
    // a value tree of its own per entry would hold a whole block of its store's text memory.
    std::deque<std::string> entries_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_HISTORY_H_
