#include "devhost/history.h"

#include <algorithm>

#include "codec/json_reader.h"
#include "devhost/value_access.h"

namespace Vane::DevHost {

uint64_t History::Add(BindingProperty entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t number = next_++;
    SetMemberUnsigned(entry, "seq", number);
    entries_.push_back(ToJsonText(entry));
    while (entries_.size() > capacity_) entries_.pop_front();
    return number;
}

BindingProperty History::Since(uint64_t since, size_t limit) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t first = next_ - entries_.size();
    const uint64_t wanted = std::max<uint64_t>(since, 1);
    const uint64_t start = std::max(wanted, first);
    uint64_t next = std::min(start, next_);
    BindingProperty result;
    Require(result.MakeStructure());
    BindingProperty* items = result.MemberForWrite("items");
    if (items != nullptr) {
        Require(items->MakeCollection());
        for (uint64_t number = start; number < next_ && items->Size() < limit; ++number) {
            ConversionStatus entry = ParseJson(entries_[static_cast<size_t>(number - first)]);
            BindingProperty* item = items->AppendElement();
            if (item == nullptr) break;
            // Text this history wrote itself reads back; an entry that did not is left null.
            if (entry.Ok()) Require(item->CopyFrom(entry.Value()));
            next = number + 1;
        }
    }
    SetMemberUnsigned(result, "next", next);
    SetMemberUnsigned(result, "dropped", wanted < first ? first - wanted : 0);
    return result;
}

uint64_t History::NextNumber() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return next_;
}

void History::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

}  // namespace Vane::DevHost
