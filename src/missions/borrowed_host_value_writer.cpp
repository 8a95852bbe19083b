#include "missions/borrowed_host_value_writer.h"

#include <cstring>
#include <new>

#include "binding/nesting_limit.h"

namespace Vane::Client::Missions {
namespace {

constexpr size_t kBlockSize = 64 * 1024;

constexpr bool FitsHostLength(size_t size) noexcept {
    return uint64_t{size} <= UINT32_MAX;
}

}  // namespace

BorrowedHostValueWriter::BorrowedHostValueWriter(const EnumNameResolver* resolver) noexcept
    : resolver_(resolver) {}

BorrowedHostValueWriter::~BorrowedHostValueWriter() = default;

void BorrowedHostValueWriter::Fail() noexcept {
    ok_ = false;
    slot_ = nullptr;
    std::memset(&root_, 0, sizeof root_);
}

void* BorrowedHostValueWriter::Allocate(size_t bytes) noexcept {
    bytes = (bytes + 7) / 8 * 8;
    if (bytes == 0) bytes = 8;
    if (bytes > left_) {
        // Large pieces get a block of their own; the current block keeps serving small ones.
        const size_t size = bytes > kBlockSize / 4 ? bytes : kBlockSize;
        std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size]);
        if (!block) return nullptr;
        unsigned char* memory = block.get();
        try {
            blocks_.push_back(std::move(block));
        } catch (...) {
            return nullptr;
        }
        if (size != kBlockSize) {
            std::memset(memory, 0, bytes);
            return memory;
        }
        free_ = memory;
        left_ = size;
    }
    unsigned char* memory = free_;
    free_ += bytes;
    left_ -= bytes;
    std::memset(memory, 0, bytes);
    return memory;
}

const char* BorrowedHostValueWriter::Copy(std::string_view text) noexcept {
    char* copy = static_cast<char*>(Allocate(text.size() + 1));
    if (!copy) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

HostValue* BorrowedHostValueWriter::Slot() noexcept {
    HostValue* slot = slot_;
    slot_ = nullptr;  // exactly one value per element, member or root
    if (!slot) {
        Fail();
        return nullptr;
    }
    if (slot == &root_) written_ = true;
    return slot;
}

void BorrowedHostValueWriter::WriteEmpty() noexcept {
    if (HostValue* slot = Slot()) slot->type = kHostValueNone;
}

void BorrowedHostValueWriter::WriteBool(bool value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueBool;
        slot->payload.boolean = value ? 1 : 0;
    }
}

void BorrowedHostValueWriter::WriteSigned(int64_t value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueSigned;
        slot->payload.i64 = value;
    }
}

void BorrowedHostValueWriter::WriteUnsigned(uint64_t value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueUnsigned;
        slot->payload.u64 = value;
    }
}

void BorrowedHostValueWriter::WriteFloat(double value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueFloat;
        slot->payload.f64 = value;
    }
}

void BorrowedHostValueWriter::WriteString(std::string_view text) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    const char* copy = FitsHostLength(text.size()) ? Copy(text) : nullptr;
    if (!copy) return Fail();
    slot->type = kHostValueStringBorrowed;
    slot->payload.string.chars = copy;
    slot->payload.string.length = static_cast<uint32_t>(text.size());
}

void BorrowedHostValueWriter::WriteBlob(std::span<const uint8_t> bytes) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    void* copy = FitsHostLength(bytes.size()) ? Allocate(bytes.size()) : nullptr;
    if (!copy) return Fail();
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    slot->type = kHostValueBlobBorrowed;
    slot->payload.blob.bytes = static_cast<const uint8_t*>(copy);
    slot->payload.blob.size = static_cast<uint32_t>(bytes.size());
}

void BorrowedHostValueWriter::WriteEnum(const EnumRecord& value) noexcept {
    const char* name = resolver_ ? resolver_->EnumName(value.typeId, value.value) : nullptr;
    if (name) return WriteString(name);
    WriteSigned(value.value);
}

void BorrowedHostValueWriter::BeginCollection(size_t count) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    if (frames_.size() >= kMaxNestingDepth || !FitsHostLength(count)) return Fail();
    auto* items = static_cast<HostValue*>(Allocate((count ? count : 1) * sizeof(HostValue)));
    if (!items) return Fail();
    slot->type = kHostValueCollection;
    slot->payload.collection.items = items;
    slot->payload.collection.count = static_cast<uint32_t>(count);
    try {
        frames_.push_back(Frame{items, nullptr, count, 0});
    } catch (...) {
        Fail();
    }
}

void BorrowedHostValueWriter::BeginElement() noexcept {
    if (!ok_ || frames_.empty() || !frames_.back().items ||
        frames_.back().next >= frames_.back().count) {
        return Fail();
    }
    Frame& frame = frames_.back();
    slot_ = &frame.items[frame.next++];
}

void BorrowedHostValueWriter::EndElement() noexcept {}

void BorrowedHostValueWriter::EndCollection() noexcept {
    if (!ok_ || frames_.empty() || !frames_.back().items ||
        frames_.back().next != frames_.back().count) {
        return Fail();
    }
    frames_.pop_back();
}

void BorrowedHostValueWriter::BeginStructure(size_t count) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    if (frames_.size() >= kMaxNestingDepth || !FitsHostLength(count)) return Fail();
    auto* members = static_cast<HostMember*>(Allocate((count ? count : 1) * sizeof(HostMember)));
    if (!members) return Fail();
    slot->type = kHostValueStructure;
    slot->payload.structure.members = members;
    slot->payload.structure.count = static_cast<uint32_t>(count);
    try {
        frames_.push_back(Frame{nullptr, members, count, 0});
    } catch (...) {
        Fail();
    }
}

void BorrowedHostValueWriter::MemberName(std::string_view name) noexcept {
    if (!ok_ || frames_.empty() || !frames_.back().members ||
        frames_.back().next >= frames_.back().count) {
        return Fail();
    }
    Frame& frame = frames_.back();
    HostMember& member = frame.members[frame.next++];
    const char* copy = Copy(name);
    if (!copy) return Fail();
    member.name = copy;
    member.ownsName = 0;
    slot_ = &member.value;
}

void BorrowedHostValueWriter::EndMember() noexcept {}

void BorrowedHostValueWriter::EndStructure() noexcept {
    // Every member announced must have come: the host reads each name.
    if (!ok_ || frames_.empty() || !frames_.back().members ||
        frames_.back().next != frames_.back().count) {
        return Fail();
    }
    frames_.pop_back();
}

}  // namespace Vane::Client::Missions
