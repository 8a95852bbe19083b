// The value walker: the single traversal through which values are written out.
#ifndef PYX_VALUE_BINDING_WRITER_H_
#define PYX_VALUE_BINDING_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "value/binding_property.h"

namespace Vane {

// Receives a value as a stream of events. Walk() drives it from a BindingProperty; other
// producers (native records, for example) may drive it directly, calling the slots in the same
// order Walk() does. The slot order below is part of the contract: do not reorder.
//
// Slots never throw; a writer that fails (for example when memory runs out) remembers it and
// reports it through its own interface.
class BindingWriter {
  public:
    // Slot 1: an empty value.
    virtual void WriteEmpty() noexcept = 0;
    // Slot 2: a bool.
    virtual void WriteBool(bool value) noexcept = 0;
    // Slot 3: a signed 64-bit integer.
    virtual void WriteSigned(int64_t value) noexcept = 0;
    // Slot 4: an unsigned 64-bit integer.
    virtual void WriteUnsigned(uint64_t value) noexcept = 0;
    // Slot 5: a double (may be NaN or infinite).
    virtual void WriteFloat(double value) noexcept = 0;
    // Slot 6: a string; the text may hold NUL bytes and is valid during the call only.
    virtual void WriteString(std::string_view text) noexcept = 0;
    // Slot 7: a blob; the bytes are valid during the call only.
    virtual void WriteBlob(std::span<const uint8_t> bytes) noexcept = 0;
    // Slot 8: an enum record (numeric value and enumeration type id).
    virtual void WriteEnum(const EnumRecord& value) noexcept = 0;
    // Slot 9: a collection of `count` elements begins.
    virtual void BeginCollection(size_t count) noexcept = 0;
    // Slot 10: the next element begins; exactly one value follows.
    virtual void BeginElement() noexcept = 0;
    // Slot 11: the element's value is complete.
    virtual void EndElement() noexcept = 0;
    // Slot 12: the collection is complete.
    virtual void EndCollection() noexcept = 0;
    // Slot 13: a structure of `count` members begins.
    virtual void BeginStructure(size_t count) noexcept = 0;
    // Slot 14: the next member's name; exactly one value follows. The text is valid during the
    // call only.
    virtual void MemberName(std::string_view name) noexcept = 0;
    // Slot 15: the member's value is complete.
    virtual void EndMember() noexcept = 0;
    // Slot 16: the structure is complete.
    virtual void EndStructure() noexcept = 0;
    // Slot 17: destroys the writer.
    virtual ~BindingWriter() = default;
};

// Walks `value` into `writer`: a scalar calls the slot of its kind (empty, bool, signed,
// unsigned, float, string, blob, enum); a collection calls BeginCollection(size), then for each
// element in order BeginElement, the element's walk and EndElement, then EndCollection; a
// structure calls BeginStructure(size), then for each member in ascending name order
// MemberName, the member's walk and EndMember, then EndStructure. A kind code outside the
// known ones is walked as empty. Recurses once per level of nesting.
void Walk(const BindingProperty& value, BindingWriter& writer) noexcept;

}  // namespace Vane

#endif  // PYX_VALUE_BINDING_WRITER_H_
