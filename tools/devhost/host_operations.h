// The ten host operations as the C table the plugin receives.
#ifndef PYX_DEVHOST_HOST_OPERATIONS_H_
#define PYX_DEVHOST_HOST_OPERATIONS_H_

#include <cstdint>

#include "pyx/host_abi.h"

namespace Vane::DevHost {

// What the host does for each operation; implemented by the development host. Every method
// may be called from any thread.
class HostOperations {
  public:
    virtual ~HostOperations() = default;
    // Word 0: answers a request synchronously by filling `response`.
    virtual void Request(HostResponseArea& response, const HostRequestRecord& request) = 0;
    // Word 2: an event the plugin fires.
    virtual void FireEvent(const HostOutgoingEvent& event) = 0;
    // Word 3.
    virtual void Subscribe(const char* eventName, uint32_t pluginHandle, HostDispatchFn dispatch,
                           void* context, uint32_t flag) = 0;
    // Word 4.
    virtual void Unsubscribe(const char* eventName, uint32_t pluginHandle) = 0;
    // Word 5: one call of `callback(context)` after at least `delaySeconds`.
    virtual void Schedule(const char* name, HostScheduledFn callback, void* context,
                          double delaySeconds) = 0;
    // Word 6: the plugin yields its turn. (Not "Yield": windows.h defines Yield() as an empty
    // macro, which would erase the name wherever the HTTP library's Windows headers come first.)
    virtual void YieldTurn() = 0;
    // Word 7.
    virtual void Label(const char* label) = 0;
    // Word 8: the value read right after a yield.
    virtual uint64_t AfterYield() = 0;
    // Word 9: a log record's message and level.
    virtual void Log(const char* message, int32_t level) = 0;
};

// The table and its owner: the table comes first, so the address the plugin passes back as
// `self` is the record's address.
struct HostCoreRecord {
    HostCore core;
    HostOperations* owner;
};

// Owns the HostCore table handed to the plugin; each entry forwards to `operations`. Nothing
// thrown inside an operation leaves the table: a failed request answers status 500 with an
// error text, other operations drop the failure after reporting it on stderr. Not movable:
// the plugin keeps the table's address.
class HostCoreTable {
  public:
    explicit HostCoreTable(HostOperations& operations);
    HostCoreTable(const HostCoreTable&) = delete;
    HostCoreTable& operator=(const HostCoreTable&) = delete;

    // The table, for the host context.
    const HostCore* Core() const { return &table_.core; }

  private:
    HostCoreRecord table_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_HOST_OPERATIONS_H_
