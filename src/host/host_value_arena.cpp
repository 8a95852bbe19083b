#include "host/host_value_arena.h"

#include <cstring>
#include <new>
#include <utility>

#include "host/host_form.h"
#include "util/format.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

// Big enough that a list of a few hundred records takes a handful of blocks, small enough to
// stay below the C heap's threshold for mapping fresh pages on every block.
constexpr size_t kBlockSize = 64 * 1024;

using host_form::FitsHostLength;
constexpr std::string_view kHostNestedTooDeep = host_form::kNestedTooDeep;
constexpr std::string_view kHostTooLarge = host_form::kTooLarge;
constexpr std::string_view kHostOutOfMemory = host_form::kOutOfMemory;
constexpr std::string_view kHostMalformed =
    "Couldn't convert value to the host form because the value written was malformed.";
constexpr std::string_view kHostIncomplete =
    "Couldn't convert value to the host form because the value written was incomplete.";

}  // namespace

HostValueArena::HostValueArena(HostValueArena&& other) noexcept
    : root_(other.root_),
      blocks_(std::move(other.blocks_)),
      free_(std::exchange(other.free_, nullptr)),
      left_(std::exchange(other.left_, 0)) {
    std::memset(&other.root_, 0, sizeof other.root_);
    other.blocks_.clear();
}

void* HostValueArena::Allocate(size_t bytes) noexcept {
    if (bytes > SIZE_MAX - 8) return nullptr;
    bytes = bytes == 0 ? 8 : (bytes + 7) / 8 * 8;
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

char* HostValueArena::CopyText(std::string_view text) noexcept {
    if (text.size() == SIZE_MAX) return nullptr;
    char* copy = static_cast<char*>(Allocate(text.size() + 1));
    if (!copy) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

HostValueArenaWriter::HostValueArenaWriter(const EnumNameResolver* resolver) noexcept
    : resolver_(resolver), slot_(&arena_.Root()) {}

HostValueArenaWriter::~HostValueArenaWriter() = default;

std::string_view HostValueArenaWriter::Error() const noexcept {
    if (error_[0] != '\0') return error_;
    if (taken_ || Ok()) return {};
    return kHostIncomplete;
}

std::unique_ptr<HostValueArena> HostValueArenaWriter::Take() noexcept {
    if (!Ok()) return nullptr;
    std::unique_ptr<HostValueArena> taken(new (std::nothrow) HostValueArena(std::move(arena_)));
    if (!taken) {
        // The move above never ran: the allocation failed before the constructor.
        return nullptr;
    }
    taken_ = true;
    slot_ = nullptr;
    return taken;
}

template <class... Args>
void HostValueArenaWriter::Fail(std::string_view tmpl, const Args&... args) noexcept {
    if (ok_) FormatPositionalTo(error_, tmpl, args...);
    ok_ = false;
    slot_ = nullptr;
    std::memset(&arena_.Root(), 0, sizeof(HostValue));
}

HostValue* HostValueArenaWriter::Slot() noexcept {
    HostValue* slot = slot_;
    slot_ = nullptr;  // exactly one value per element, member or root
    if (!slot) {
        if (ok_) Fail(kHostMalformed);
        return nullptr;
    }
    if (slot == &arena_.Root()) written_ = true;
    return slot;
}

void HostValueArenaWriter::WriteEmpty() noexcept {
    if (HostValue* slot = Slot()) slot->type = kHostValueNone;
}

void HostValueArenaWriter::WriteBool(bool value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueBool;
        slot->payload.boolean = value ? 1 : 0;
    }
}

void HostValueArenaWriter::WriteSigned(int64_t value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueSigned;
        slot->payload.i64 = value;
    }
}

void HostValueArenaWriter::WriteUnsigned(uint64_t value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueUnsigned;
        slot->payload.u64 = value;
    }
}

void HostValueArenaWriter::WriteFloat(double value) noexcept {
    if (HostValue* slot = Slot()) {
        slot->type = kHostValueFloat;
        slot->payload.f64 = value;
    }
}

void HostValueArenaWriter::WriteString(std::string_view text) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    if (!FitsHostLength(text.size())) return Fail(kHostTooLarge, "string", text.size());
    const char* copy = arena_.CopyText(text);
    if (!copy) return Fail(kHostOutOfMemory);
    slot->type = kHostValueStringBorrowed;
    slot->payload.string.chars = copy;
    slot->payload.string.length = static_cast<uint32_t>(text.size());
}

void HostValueArenaWriter::WriteBlob(std::span<const uint8_t> bytes) noexcept {
    HostValue* slot = Slot();
    if (!slot) return;
    if (!FitsHostLength(bytes.size())) return Fail(kHostTooLarge, "blob", bytes.size());
    void* copy = arena_.Allocate(bytes.size());
    if (!copy) return Fail(kHostOutOfMemory);
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    slot->type = kHostValueBlobBorrowed;
    slot->payload.blob.bytes = static_cast<const uint8_t*>(copy);
    slot->payload.blob.size = static_cast<uint32_t>(bytes.size());
}

void HostValueArenaWriter::WriteEnum(const EnumRecord& value) noexcept {
    const char* name = nullptr;
    if (resolver_) {
        try {
            name = resolver_->EnumName(value.typeId, value.value);
        } catch (...) {
            return Fail(kHostOutOfMemory);
        }
    }
    if (name) return WriteString(name);
    WriteSigned(value.value);
}

bool HostValueArenaWriter::Open(size_t count, bool structure) noexcept {
    HostValue* slot = Slot();
    if (!slot) return false;
    const char* what = structure ? "structure" : "collection";
    const size_t entrySize = structure ? sizeof(HostMember) : sizeof(HostValue);
    if (frames_.size() >= kMaxNestingDepth) {
        Fail(kHostNestedTooDeep, kMaxNestingDepth);
        return false;
    }
    if (!FitsHostLength(count) || count > SIZE_MAX / entrySize) {
        Fail(kHostTooLarge, what, count);
        return false;
    }
    // An empty container still gets an array: the host may read the pointer.
    void* entries = arena_.Allocate((count ? count : 1) * entrySize);
    if (!entries) {
        Fail(kHostOutOfMemory);
        return false;
    }
    Frame frame{nullptr, nullptr, count, 0};
    if (structure) {
        frame.members = static_cast<HostMember*>(entries);
        slot->type = kHostValueStructure;
        slot->payload.structure.members = frame.members;
        slot->payload.structure.count = static_cast<uint32_t>(count);
    } else {
        frame.items = static_cast<HostValue*>(entries);
        slot->type = kHostValueCollection;
        slot->payload.collection.items = frame.items;
        slot->payload.collection.count = static_cast<uint32_t>(count);
    }
    try {
        frames_.push_back(frame);
    } catch (...) {
        Fail(kHostOutOfMemory);
        return false;
    }
    return true;
}

// Closes the innermost container, which must be of the kind given and complete: the host reads
// every entry announced.
void HostValueArenaWriter::Close(bool structure) noexcept {
    if (!ok_) return;
    if (frames_.empty() || slot_ != nullptr) return Fail(kHostMalformed);
    const Frame& frame = frames_.back();
    if ((frame.members != nullptr) != structure || frame.next != frame.count) {
        return Fail(kHostMalformed);
    }
    frames_.pop_back();
}

void HostValueArenaWriter::BeginCollection(size_t count) noexcept {
    Open(count, false);
}

void HostValueArenaWriter::BeginElement() noexcept {
    if (!ok_) return;
    if (frames_.empty() || !frames_.back().items || frames_.back().next >= frames_.back().count ||
        slot_ != nullptr) {
        return Fail(kHostMalformed);
    }
    Frame& frame = frames_.back();
    slot_ = &frame.items[frame.next++];
}

void HostValueArenaWriter::EndElement() noexcept {
    if (ok_ && slot_ != nullptr) Fail(kHostMalformed);  // the element's value never came
}

void HostValueArenaWriter::EndCollection() noexcept {
    Close(false);
}

void HostValueArenaWriter::BeginStructure(size_t count) noexcept {
    Open(count, true);
}

void HostValueArenaWriter::MemberName(std::string_view name) noexcept {
    if (!ok_) return;
    if (frames_.empty() || !frames_.back().members || frames_.back().next >= frames_.back().count ||
        slot_ != nullptr) {
        return Fail(kHostMalformed);
    }
    Frame& frame = frames_.back();
    HostMember& member = frame.members[frame.next++];
    const char* copy = arena_.CopyText(name);
    if (!copy) return Fail(kHostOutOfMemory);
    member.name = copy;
    member.ownsName = 0;
    slot_ = &member.value;
}

void HostValueArenaWriter::EndMember() noexcept {
    if (ok_ && slot_ != nullptr) Fail(kHostMalformed);  // the member's value never came
}

void HostValueArenaWriter::EndStructure() noexcept {
    Close(true);
}

}  // namespace Vane
