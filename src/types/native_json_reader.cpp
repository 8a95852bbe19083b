#include "types/native_json_reader.h"

#include <rapidjson/reader.h>
#include <rapidjson/stream.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "codec/json_value_builder.h"
#include "types/native_input.h"
#include "value/nesting_limit.h"

namespace Vane {
namespace {

// A record's fields as the reader matches them; at most this many per record.
constexpr size_t kMaxPlannedFields = 64;

class StructPlan;

// Where a value goes: the native value at `address`, converted by `handler`. `ops` null means
// that the value is filled through handler->FromBinding from a value built aside (held values,
// blobs, handlers without direct input operations).
struct Target {
    void* address = nullptr;
    const TypeHandler* handler = nullptr;
    const NativeInputOps* ops = nullptr;
    const TypeDescriptor* descriptor = nullptr;
    std::string_view name;
};

const NativeInputOps* InputOpsOfHandler(const TypeHandler* handler) noexcept {
    const auto* native = dynamic_cast<const NativeTypeHandler*>(handler);
    return native ? native->InputOps() : nullptr;
}

// The fields of one registered record, with a small hash table from member name to field.
class StructPlan {
  public:
    struct Field {
        std::string_view name;
        uint32_t offset;
        const TypeHandler* handler;
        const NativeInputOps* ops;
        const TypeDescriptor* descriptor;
    };

    explicit StructPlan(const TypeDescriptor& descriptor) : descriptor_(&descriptor) {}

    // Fills the plan; false when the record is beyond what the reader decides alone (too many
    // fields, or two fields of one name, which FromBinding both fills from one member).
    bool Build() {
        const std::vector<FieldRecord>& fields = descriptor_->fields;
        if (fields.size() > kMaxPlannedFields) return false;
        size_t slots = 4;
        while (slots < 2 * fields.size()) slots *= 2;
        slots_.assign(slots, 0);
        mask_ = slots - 1;
        fields_.reserve(fields.size());
        for (size_t index = 0; index < fields.size(); ++index) {
            const FieldRecord& field = fields[index];
            if (!field.handler) return false;
            fields_.push_back(Field{field.name, field.offset, field.handler,
                                    InputOpsOfHandler(field.handler), field.type.descriptor});
            if (field.flags & kFieldRequired) required_ |= uint64_t{1} << index;
            size_t slot = Hash(field.name) & mask_;
            for (; slots_[slot] != 0; slot = (slot + 1) & mask_) {
                if (fields_[slots_[slot] - 1].name == field.name) return false;
            }
            slots_[slot] = static_cast<uint8_t>(index + 1);
        }
        return true;
    }

    const TypeDescriptor* Descriptor() const noexcept { return descriptor_; }
    uint64_t Required() const noexcept { return required_; }
    const Field& At(size_t index) const noexcept { return fields_[index]; }

    // The index of the field named `name`, or -1.
    int Find(std::string_view name) const noexcept {
        for (size_t slot = Hash(name) & mask_; slots_[slot] != 0; slot = (slot + 1) & mask_) {
            const Field& field = fields_[slots_[slot] - 1];
            if (field.name.size() == name.size() && CompareNames(field.name, name) == 0) {
                return slots_[slot] - 1;
            }
        }
        return -1;
    }

  private:
    // Member names are short and mostly differ in length or at their ends.
    static size_t Hash(std::string_view name) noexcept {
        if (name.empty()) return 0;
        const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
        uint32_t hash = static_cast<uint32_t>(name.size()) * 0x9E3779B1u;
        hash ^= bytes[0] * 0x85EBCA6Bu;
        hash ^= bytes[name.size() - 1] * 0xC2B2AE35u;
        hash ^= bytes[name.size() / 2] * 0x27D4EB2Fu;
        return hash ^ (hash >> 15);
    }

    const TypeDescriptor* descriptor_;
    std::vector<Field> fields_;
    std::vector<uint8_t> slots_;  // field index + 1; 0 for an empty slot
    size_t mask_ = 0;
    uint64_t required_ = 0;
};

enum class FrameKind : uint8_t { kStruct, kVector, kMap, kSkipObject, kSkipArray };

// One open array or object of the document.
struct Frame {
    FrameKind kind;
    void* address;              // the record, vector or map being filled
    const StructPlan* plan;     // records
    const NativeInputOps* ops;  // vectors and maps
    Target element;             // vectors and maps: where their elements go, but the address
    uint64_t seen;              // records: fields given a value
    size_t count;               // arrays: elements so far
    int field;                  // records: the field of the last key, -1 for an unknown one
    std::string_view key;       // maps: the last key
};

// RapidJSON SAX handler writing the native values as the events arrive. Any event that the
// value path would turn into a failure, or that this reader does not decide alone, stops the
// parse: the caller then takes the value path.
class DirectReader {
  public:
    DirectReader(const TypeRegistry& registry, const Target& root) noexcept
        : registry_(registry), root_(root) {}

    bool Null() {
        if (island_) return island_->Null() || Stop();
        Frame* top = Top();
        if (!top) return Convert(root_, BindingProperty());
        switch (top->kind) {
            case FrameKind::kVector:
                if (!CountElement(*top)) return false;
                if (top->ops->appendBool)
                    return top->ops->appendBool(top->address, false) || Stop();
                return top->ops->append(top->address) != nullptr || Stop();
            case FrameKind::kSkipArray:
                return CountElement(*top);
            default:
                // A null member is a missing one: its field or entry is left as it is.
                return true;
        }
    }

    bool Bool(bool value) {
        if (island_) return island_->Bool(value) || Stop();
        BindingProperty scalar;
        scalar.SetBool(value);
        return Scalar(scalar, {});
    }

    bool RawNumber(const char* text, rapidjson::SizeType length, bool copy) {
        if (island_) return island_->RawNumber(text, length, copy) || Stop();
        const JsonNumber number = ReadJsonNumber(std::string_view(text, length));
        BindingProperty scalar;
        switch (number.kind) {
            case JsonNumber::Kind::kUnsigned:
                scalar.SetUnsigned(number.unsignedValue);
                break;
            case JsonNumber::Kind::kSigned:
                scalar.SetSigned(number.signedValue);
                break;
            case JsonNumber::Kind::kFloat:
                scalar.SetFloat(number.floatValue);
                break;
            case JsonNumber::Kind::kTooBig:
                return Stop();
        }
        return Scalar(scalar, {});
    }

    bool String(const char* text, rapidjson::SizeType length, bool copy) {
        if (island_) return island_->String(text, length, copy) || Stop();
        return Scalar(BindingProperty::SharedEmpty(), std::string_view(text, length), true);
    }

    bool StartObject() { return Open(false); }
    bool StartArray() { return Open(true); }

    bool Key(const char* text, rapidjson::SizeType length, bool copy) {
        if (island_) return island_->Key(text, length, copy) || Stop();
        Frame& top = frames_.back();
        const std::string_view key(text, length);
        if (top.kind == FrameKind::kStruct) {
            top.field = top.plan->Find(key);
        } else if (top.kind == FrameKind::kMap) {
            top.key = key;
        }
        return true;
    }

    bool EndObject(rapidjson::SizeType /*count*/) { return Close(); }
    bool EndArray(rapidjson::SizeType /*count*/) { return Close(); }

    // Typed numbers never arrive with kJsonParseFlags.
    bool Int(int) { return Stop(); }
    bool Uint(unsigned) { return Stop(); }
    bool Int64(int64_t) { return Stop(); }
    bool Uint64(uint64_t) { return Stop(); }
    bool Double(double) { return Stop(); }

  private:
    bool Stop() noexcept { return false; }

    Frame* Top() noexcept { return frames_.empty() ? nullptr : &frames_.back(); }

    // Counts one more element of an array, as a collection of the value path would hold it.
    bool CountElement(Frame& frame) noexcept {
        if (frame.count >= kMaxCollectionSize) return false;
        ++frame.count;
        return true;
    }

    // Where the value now beginning goes: true with `skip` set for a value nobody reads.
    // Elements of vectors of bool are not handled here.
    bool Place(Target& target, bool& skip) {
        skip = false;
        Frame* top = Top();
        if (!top) {
            target = root_;
            return true;
        }
        switch (top->kind) {
            case FrameKind::kStruct: {
                if (top->field < 0) {
                    skip = true;
                    return true;
                }
                // A second value for a field merges or replaces in the value path: leave that
                // to it.
                const uint64_t bit = uint64_t{1} << top->field;
                if (top->seen & bit) return false;
                top->seen |= bit;
                const StructPlan::Field& field = top->plan->At(static_cast<size_t>(top->field));
                target = Target{static_cast<unsigned char*>(top->address) + field.offset,
                                field.handler, field.ops, field.descriptor, field.name};
                return true;
            }
            case FrameKind::kVector: {
                if (!CountElement(*top)) return false;
                target = top->element;
                target.address = top->ops->append(top->address);
                return target.address != nullptr;
            }
            case FrameKind::kMap: {
                target = top->element;
                target.address = top->ops->insert(top->address, top->key);
                return target.address != nullptr;
            }
            case FrameKind::kSkipArray:
                if (!CountElement(*top)) return false;
                skip = true;
                return true;
            case FrameKind::kSkipObject:
                skip = true;
                return true;
        }
        return false;
    }

    // A bool, a number (in `scalar`) or a string (`text`, when `isText`).
    bool Scalar(const BindingProperty& scalar, std::string_view text, bool isText = false) {
        Frame* top = Top();
        if (top && top->kind == FrameKind::kVector && top->ops->appendBool) {
            if (!CountElement(*top)) return false;
            bool value = false;
            Target target = top->element;
            target.address = &value;
            if (!(isText ? ConvertText(target, text) : Convert(target, scalar))) return false;
            return top->ops->appendBool(top->address, value) || Stop();
        }
        Target target;
        bool skip = false;
        if (!Place(target, skip)) return false;
        if (skip) return true;
        return isText ? ConvertText(target, text) : Convert(target, scalar);
    }

    bool Convert(const Target& target, const BindingProperty& value) noexcept {
        target.handler->FromBinding(status_, target.address, value, target.name, target.descriptor,
                                    registry_);
        return status_.Ok();
    }

    bool ConvertText(const Target& target, std::string_view text) noexcept {
        if (target.ops) {
            // Records, vectors and maps do not take a string.
            if (!target.ops->fromText) return false;
            return target.ops->fromText(status_, target.address, text, target.name,
                                        target.descriptor, registry_);
        }
        if (!aside_.SetString(text)) return false;
        const bool converted = Convert(target, aside_);
        aside_.Clear();
        return converted;
    }

    bool Open(bool array) {
        if (island_) return (array ? island_->StartArray() : island_->StartObject()) || Stop();
        if (frames_.size() >= kMaxNestingDepth) return false;
        Frame* top = Top();
        // Elements of a vector of bool are never containers.
        if (top && top->kind == FrameKind::kVector && top->ops->appendBool) return false;
        Target target;
        bool skip = false;
        if (!Place(target, skip)) return false;
        Frame frame{};
        frame.field = -1;
        if (skip) {
            frame.kind = array ? FrameKind::kSkipArray : FrameKind::kSkipObject;
            return Push(frame);
        }
        const NativeInputOps* ops = target.ops;
        if (!ops) return OpenAside(target, array);
        frame.address = target.address;
        frame.ops = ops;
        if (array) {
            if (ops->kind != NativeKind::kVector) return false;
            frame.kind = FrameKind::kVector;
        } else if (ops->kind == NativeKind::kMap) {
            frame.kind = FrameKind::kMap;
        } else if (ops->kind == NativeKind::kStruct) {
            frame.kind = FrameKind::kStruct;
            frame.plan = PlanOf(target.descriptor);
            return frame.plan != nullptr && Push(frame);
        } else {
            return false;
        }
        frame.element =
            Target{nullptr, ops->elementHandler, ops->element, target.descriptor, target.name};
        ops->clear(target.address);
        return Push(frame);
    }

    bool Push(const Frame& frame) {
        frames_.push_back(frame);
        return true;
    }

    bool Close() {
        if (island_) {
            if (!island_->EndObject(0)) return false;
            return island_->Depth() > 0 || CloseAside();
        }
        const Frame& top = frames_.back();
        // A required field without a value fails in the value path.
        if (top.kind == FrameKind::kStruct && (top.plan->Required() & ~top.seen) != 0) {
            return false;
        }
        frames_.pop_back();
        return true;
    }

    // A container for a target filled through its handler: built aside as the value path
    // builds it, then converted when it closes.
    bool OpenAside(const Target& target, bool array) {
        asideTarget_ = target;
        aside_.Clear();
        island_.emplace(aside_, frames_.size());
        return (array ? island_->StartArray() : island_->StartObject()) || Stop();
    }

    bool CloseAside() {
        island_.reset();
        const bool converted = Convert(asideTarget_, aside_);
        aside_.Clear();
        return converted;
    }

    const StructPlan* PlanOf(const TypeDescriptor* descriptor) {
        if (!descriptor || descriptor->isEnum) return nullptr;
        for (const std::unique_ptr<StructPlan>& plan : plans_) {
            if (plan->Descriptor() == descriptor) return plan.get();
        }
        auto plan = std::make_unique<StructPlan>(*descriptor);
        if (!plan->Build()) return nullptr;
        plans_.push_back(std::move(plan));
        return plans_.back().get();
    }

    const TypeRegistry& registry_;
    const Target root_;
    ConversionStatus status_;
    std::vector<Frame> frames_;
    std::vector<std::unique_ptr<StructPlan>> plans_;
    // The value built aside for a target without direct input, and the builder while one of
    // its containers is open.
    BindingProperty aside_;
    Target asideTarget_;
    std::optional<JsonValueBuilder> island_;
};

}  // namespace

bool ReadJsonNativeDirect(const TypeRegistry& registry, std::string_view text, void* record,
                          const TypeHandler& handler, const TypeDescriptor* descriptor,
                          std::string_view name) noexcept {
    // A blank document is an empty value: what that converts to is the value path's to say.
    size_t start = 0;
    while (start < text.size() && IsJsonSpace(text[start])) ++start;
    if (start == text.size()) return false;
    try {
        // In place on a terminated copy, as ParseJson reads it.
        std::unique_ptr<char[]> copy(new char[text.size() + 1]);
        std::memcpy(copy.get(), text.data(), text.size());
        copy[text.size()] = '\0';
        rapidjson::InsituStringStream stream(copy.get());
        auto reader = std::make_unique<DirectReader>(
            registry, Target{record, &handler, InputOpsOfHandler(&handler), descriptor, name});
        rapidjson::Reader parser;
        parser.Parse<kJsonParseFlags>(stream, *reader);
        // A NUL byte before the end reads as the end of the input in the value path too, where
        // the bytes after it are an error.
        return !parser.HasParseError() && stream.Tell() == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace Vane
