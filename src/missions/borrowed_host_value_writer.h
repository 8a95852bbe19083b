// Host values built straight from a walk of native records, for the events the plugin fires:
// the host copies what it keeps during the event call, so the tree may borrow. Every text,
// name and array lives in one arena the writer owns and frees at once, instead of one heap
// block per text and per member name.
#ifndef PYX_MISSIONS_BORROWED_HOST_VALUE_WRITER_H_
#define PYX_MISSIONS_BORROWED_HOST_VALUE_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "binding/binding_writer.h"
#include "binding/enum_name_resolver.h"
#include "pyx/host_abi.h"

namespace Vane::Client::Missions {

// A BindingWriter whose one walked value becomes Root(): the same tree BindingToHostValue gives
// for the walked value, except that texts are borrowed strings (type 5, NUL-terminated) and
// blobs borrowed blobs (type 7), member names are not owned, and all of it stays valid only as
// long as the writer. Enumerations are written by name when `resolver` knows it, else as
// signed numbers. Not for values that must outlive the writer (route responses).
class BorrowedHostValueWriter final : public BindingWriter {
  public:
    explicit BorrowedHostValueWriter(const EnumNameResolver* resolver) noexcept;
    ~BorrowedHostValueWriter() override;
    BorrowedHostValueWriter(const BorrowedHostValueWriter&) = delete;
    BorrowedHostValueWriter& operator=(const BorrowedHostValueWriter&) = delete;

    // The walked value: complete when Ok(), else of type none.
    const HostValue& Root() const noexcept { return root_; }
    // False when memory ran out, a count or text did not fit the host's 32-bit lengths, the
    // walk nested deeper than kMaxNestingDepth, or it did not follow the writer protocol.
    bool Ok() const noexcept { return ok_ && frames_.empty() && written_; }

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
    // `bytes` zero-filled bytes of the arena, 8-aligned; null when memory ran out.
    void* Allocate(size_t bytes) noexcept;
    // A NUL-terminated copy of `text` in the arena.
    const char* Copy(std::string_view text) noexcept;
    void Fail() noexcept;

    const EnumNameResolver* resolver_;
    HostValue root_{};
    HostValue* slot_ = &root_;
    bool written_ = false;
    bool ok_ = true;
    std::vector<Frame> frames_;
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
    unsigned char* free_ = nullptr;
    size_t left_ = 0;
};

}  // namespace Vane::Client::Missions

#endif  // PYX_MISSIONS_BORROWED_HOST_VALUE_WRITER_H_
