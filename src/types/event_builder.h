// Registration of an event in a type registry's event table.
#ifndef PYX_TYPES_EVENT_BUILDER_H_
#define PYX_TYPES_EVENT_BUILDER_H_

#include <mutex>
#include <string_view>

#include "types/type_info.h"
#include "types/type_registry.h"

namespace Vane {

// Fills one event entry. Made by BeginEvent; holds the registry's lock until it is destroyed.
// When an event of that name exists, every call is ignored. When memory runs out, an entry
// it created is withdrawn when it is destroyed.
class EventBuilder {
  public:
    EventBuilder(EventBuilder&& other) noexcept;
    EventBuilder& operator=(EventBuilder&&) = delete;
    ~EventBuilder();

    // True when an event of that name was registered before.
    bool AlreadyRegistered() const noexcept { return alreadyRegistered_; }
    // False when memory ran out.
    bool Ok() const noexcept { return event_ && !failed_; }

    // Sets the description.
    EventBuilder& Description(std::string_view text) noexcept;
    // Appends a tag.
    EventBuilder& Tag(std::string_view text) noexcept;

  private:
    friend EventBuilder BeginEvent(TypeRegistry&, std::string_view, const TypeDescriptor*) noexcept;

    explicit EventBuilder(TypeRegistry& registry) noexcept;
    bool Writable() const noexcept { return Ok() && !alreadyRegistered_; }

    TypeRegistry* registry_;
    std::unique_lock<CriticalSection> lock_;
    EventDescription* event_ = nullptr;
    bool alreadyRegistered_ = false;
    bool failed_ = false;
};

// Begins the registration of the event `name` whose payload type is `payload` (may be null).
EventBuilder BeginEvent(TypeRegistry& registry, std::string_view name,
                        const TypeDescriptor* payload) noexcept;

// As above, with the payload type given by its type info: the descriptor entered under its id
// (none for an unregistered type or the placeholder id).
EventBuilder BeginEvent(TypeRegistry& registry, std::string_view name,
                        const TypeInfo& payload) noexcept;

}  // namespace Vane

#endif  // PYX_TYPES_EVENT_BUILDER_H_
