// Host value trees that live in a few big blocks instead of one heap block per text, name and
// array: built by walking a value into HostValueArenaWriter, then either borrowed while the
// writer lives (event payloads the host copies during the call) or taken out as a
// HostValueArena that an owner frees in one go (route responses the host releases later).
#ifndef PYX_HOST_HOST_VALUE_ARENA_H_
#define PYX_HOST_HOST_VALUE_ARENA_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "pyx/host_abi.h"
#include "value/binding_writer.h"
#include "value/enum_name_resolver.h"

namespace Vane {

// A finished host value tree and the memory it points into. Everything the tree refers to
// stays valid, and unchanged, until the arena is destroyed; nothing in it is freed one by one
// (never pass its root to ReleaseHostValue).
class HostValueArena {
  public:
    HostValueArena() noexcept = default;
    ~HostValueArena() = default;
    HostValueArena(HostValueArena&& other) noexcept;
    HostValueArena& operator=(HostValueArena&&) = delete;
    HostValueArena(const HostValueArena&) = delete;
    HostValueArena& operator=(const HostValueArena&) = delete;

    // The tree's root (type none until something was written into it).
    const HostValue& Root() const noexcept { return root_; }
    HostValue& Root() noexcept { return root_; }

    // `bytes` zero-filled bytes, 8-aligned, that live as long as the arena; null when memory ran
    // out. A request of 0 bytes still yields a distinct non-null pointer.
    void* Allocate(size_t bytes) noexcept;
    // A NUL-terminated copy of `text` (which may hold NUL bytes) in the arena; null when memory
    // ran out.
    char* CopyText(std::string_view text) noexcept;

  private:
    HostValue root_{};
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
    unsigned char* free_ = nullptr;
    size_t left_ = 0;
};

// A BindingWriter whose one walked value becomes Root(): the same tree BindingToHostValue gives
// for the walked value, except that texts are borrowed strings (type 5, NUL-terminated), blobs
// borrowed blobs (type 7) and member names are not owned (ownsName 0), all of it in the
// writer's arena. Enumerations are written by name when `resolver` (may be null) knows it, else
// as signed numbers. The tree is valid while the writer lives, or, after Take(), while the
// arena taken lives.
class HostValueArenaWriter final : public BindingWriter {
  public:
    explicit HostValueArenaWriter(const EnumNameResolver* resolver) noexcept;
    ~HostValueArenaWriter() override;
    HostValueArenaWriter(const HostValueArenaWriter&) = delete;
    HostValueArenaWriter& operator=(const HostValueArenaWriter&) = delete;

    // The walked value: complete when Ok(), else of type none.
    const HostValue& Root() const noexcept { return arena_.Root(); }
    // False when memory ran out, a count or text did not fit the host's 32-bit lengths, the
    // walk nested deeper than kMaxNestingDepth, it did not follow the writer protocol, or the
    // arena was taken.
    bool Ok() const noexcept { return ok_ && frames_.empty() && written_ && !taken_; }
    // Why the writer is not Ok(), in the words of BindingToHostValue for the failures the two
    // share ("Couldn't convert value to the host form because ..."); "" while it is Ok() and
    // after a successful Take().
    std::string_view Error() const noexcept;

    // Hands the finished tree and its memory over to the caller, who frees both by destroying
    // the arena. Null (and the writer is left as it was) unless Ok(), or when memory ran out;
    // after a successful Take the writer holds nothing and is no longer Ok().
    std::unique_ptr<HostValueArena> Take() noexcept;

    void WriteEmpty() noexcept override;
    void WriteBool(bool value) noexcept override;
    void WriteSigned(int64_t value) noexcept override;
    void WriteUnsigned(uint64_t value) noexcept override;
    void WriteFloat(double value) noexcept override;
    void WriteString(std::string_view text) noexcept override;
    void WriteBlob(std::span<const uint8_t> bytes) noexcept override;
    void WriteEnum(const EnumRecord& value) noexcept override;
    void BeginCollection(size_t count) noexcept override;
    void BeginElement() noexcept override;
    void EndElement() noexcept override;
    void EndCollection() noexcept override;
    void BeginStructure(size_t count) noexcept override;
    void MemberName(std::string_view name) noexcept override;
    void EndMember() noexcept override;
    void EndStructure() noexcept override;

  private:
    struct Frame {
        HostValue* items = nullptr;     // a collection's elements
        HostMember* members = nullptr;  // a structure's members
        size_t count = 0;
        size_t next = 0;
    };
    // Where the next value goes, or null (after a failure, or a value out of place).
    HostValue* Slot() noexcept;
    // Opens a structure or collection of `count` entries in the next slot; false after failing.
    bool Open(size_t count, bool structure) noexcept;
    // Closes the innermost container, which must be a structure or collection as given.
    void Close(bool structure) noexcept;
    // Remembers the first failure, with the message made from `tmpl` and `args`; the root
    // becomes type none and nothing more is written.
    template <class... Args>
    void Fail(std::string_view tmpl, const Args&... args) noexcept;

    const EnumNameResolver* resolver_;
    HostValueArena arena_;
    HostValue* slot_;
    bool written_ = false;
    bool ok_ = true;
    bool taken_ = false;
    std::vector<Frame> frames_;
    char error_[160] = {};
};

}  // namespace Vane

#endif  // PYX_HOST_HOST_VALUE_ARENA_H_
