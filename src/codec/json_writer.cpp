#include "codec/json_writer.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace Vane {
namespace {

// RapidJSON output stream appending to one growing text. Every write is bounds-checked (the
// writer's reservations are hints only), and running out of memory stops the output and is
// remembered instead of throwing.
class TextBuffer {
  public:
    using Ch = char;

    void Put(char c) noexcept {
        if (length_ == text_.size() && !Grow(1)) return;
        text_[length_++] = c;
    }
    void Reserve(size_t count) noexcept {
        if (text_.size() - length_ < count) Grow(count);
    }
    void Flush() noexcept {}

    // Room for `count` more bytes, returned as the place to write them; null when memory ran
    // out. Commit(end) then keeps what was written up to `end`.
    char* Claim(size_t count) noexcept {
        if (text_.size() - length_ < count && !Grow(count)) return nullptr;
        return text_.data() + length_;
    }
    void Commit(const char* end) noexcept { length_ = static_cast<size_t>(end - text_.data()); }

    bool Failed() const noexcept { return failed_; }
    void MarkFailed() noexcept { failed_ = true; }

    // Moves the text into `out`, with every line feed replaced by `newline` unless that is a
    // line feed itself. False when memory ran out.
    bool Take(std::string& out, std::string_view newline) noexcept {
        if (failed_) return false;
        try {
            if (newline == "\n") {
                text_.resize(length_);
                out = std::move(text_);
                return true;
            }
            const std::string_view text(text_.data(), length_);
            size_t lines = 0;
            for (char c : text) lines += c == '\n';
            out.clear();
            out.reserve(length_ + lines * newline.size());
            size_t start = 0;
            for (size_t end = text.find('\n'); end != std::string_view::npos;
                 end = text.find('\n', start)) {
                out.append(text.substr(start, end - start)).append(newline);
                start = end + 1;
            }
            out.append(text.substr(start));
            return true;
        } catch (...) {
            out.clear();
            failed_ = true;
            return false;
        }
    }

  private:
    bool Grow(size_t count) noexcept {
        if (failed_) return false;
        if (count > SIZE_MAX / 2 - length_) {
            failed_ = true;
            return false;
        }
        size_t capacity = text_.size() * 2;
        if (capacity < length_ + count) capacity = length_ + count;
        if (capacity < 1024) capacity = 1024;
        try {
            text_.resize(capacity);
        } catch (...) {
            failed_ = true;
            return false;
        }
        return true;
    }

    std::string text_;
    size_t length_ = 0;
    bool failed_ = false;
};

// Marks the level stack of this file's writers (see the Stack specialisation below).
struct LevelStackTag {};

}  // namespace
}  // namespace Vane

namespace rapidjson {
namespace internal {

// The writers' stack of open arrays and objects. RapidJSON's own stack starts from null
// pointers and offsets them on its first push, which is undefined behaviour (and trips
// UndefinedBehaviorSanitizer); this one starts in place with room for 32 levels, so most
// writes never allocate for it. Only the members the writers use are provided. Throws
// std::bad_alloc when growing fails.
template <>
class Stack<Vane::LevelStackTag> {
  public:
    Stack(Vane::LevelStackTag* /*allocator*/, size_t /*capacity*/) noexcept {}
    ~Stack() {
        if (data_ != inline_) std::free(data_);
    }
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;

    template <typename T>
    T* Push(size_t count = 1) {
        const size_t bytes = sizeof(T) * count;
        if (capacity_ - size_ < bytes) Grow(bytes);
        T* top = reinterpret_cast<T*>(data_ + size_);
        size_ += bytes;
        return top;
    }
    template <typename T>
    T* Pop(size_t count) {
        size_ -= sizeof(T) * count;
        return reinterpret_cast<T*>(data_ + size_);
    }
    template <typename T>
    T* Top() {
        return reinterpret_cast<T*>(data_ + size_ - sizeof(T));
    }
    template <typename T>
    const T* Top() const {
        return reinterpret_cast<const T*>(data_ + size_ - sizeof(T));
    }
    bool Empty() const { return size_ == 0; }
    size_t GetSize() const { return size_; }
    void Clear() { size_ = 0; }

  private:
    void Grow(size_t bytes) {
        const size_t capacity = capacity_ * 2 > size_ + bytes ? capacity_ * 2 : size_ + bytes;
        char* data = static_cast<char*>(std::malloc(capacity));
        if (data == nullptr) throw std::bad_alloc();
        std::memcpy(data, data_, size_);
        if (data_ != inline_) std::free(data_);
        data_ = data;
        capacity_ = capacity;
    }

    alignas(std::max_align_t) char inline_[32 * 2 * sizeof(size_t)];
    char* data_ = inline_;
    size_t size_ = 0;
    size_t capacity_ = sizeof inline_;
};

}  // namespace internal
}  // namespace rapidjson

namespace Vane {
namespace {

// RapidJSON's writers reserve and then write unchecked through these; found by argument-
// dependent lookup, they take precedence over RapidJSON's generic templates.
inline void PutReserve(TextBuffer& buffer, size_t count) noexcept {
    buffer.Reserve(count);
}
inline void PutUnsafe(TextBuffer& buffer, char c) noexcept {
    buffer.Put(c);
}

// RapidJSON's string escaping: quotation mark and backslash, and control characters as
// \b \f \n \r \t or \u00XX; 'u' marks the \u00XX form, 0 a byte copied as it is.
constexpr char kEscapes[256] = {
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'b', 't', 'n', 'u', 'f',  'r', 'u', 'u',
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u',  'u', 'u', 'u',
    0,   0,   '"', 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0,   0,   0,
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   '\\', 0,   0,   0,
};

// Appends `size` bytes at `data` as a quoted, escaped JSON string, byte for byte what
// RapidJSON's writer produces, but copying runs of plain bytes at once (the writer's own loop
// goes byte by byte through the stream) and without its 32-bit length limit.
void WriteEscaped(TextBuffer& buffer, const char* data, size_t size) noexcept {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (size > (SIZE_MAX - 2) / 6) {
        buffer.MarkFailed();
        return;
    }
    char* out = buffer.Claim(2 + size * 6);
    if (out == nullptr) return;
    *out++ = '"';
    const auto* next = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = next + size;
    while (next != end) {
        const unsigned char* const run = next;
        while (next != end && kEscapes[*next] == 0) ++next;
        std::memcpy(out, run, static_cast<size_t>(next - run));
        out += next - run;
        if (next == end) break;
        const char escape = kEscapes[*next];
        *out++ = '\\';
        *out++ = escape;
        if (escape == 'u') {
            *out++ = '0';
            *out++ = '0';
            *out++ = kHex[*next >> 4];
            *out++ = kHex[*next & 15];
        }
        ++next;
    }
    *out++ = '"';
    buffer.Commit(out);
}

// A RapidJSON writer that can tell what it expects next, so that slots called out of order
// are refused before they reach RapidJSON's assertions, and that writes strings through
// WriteEscaped.
template <class Base, bool kPretty>
class StateWriter : public Base {
  public:
    explicit StateWriter(TextBuffer& buffer) : Base(buffer), buffer_(buffer) {}

    // Writes a string value or member name, as Base::String would.
    void Text(const char* data, size_t size) noexcept {
        if constexpr (kPretty) {
            this->PrettyPrefix(rapidjson::kStringType);
        } else {
            this->Prefix(rapidjson::kStringType);
        }
        WriteEscaped(buffer_, data, size);
    }

    // True where a value (scalar, array or object) may come next.
    bool ExpectsValue() const noexcept {
        if (this->level_stack_.Empty()) return !this->hasRoot_;
        const auto* level = this->level_stack_.template Top<typename Base::Level>();
        return level->inArray || level->valueCount % 2 == 1;
    }
    // True where a member name, or the end of the object, may come next.
    bool ExpectsName() const noexcept {
        if (this->level_stack_.Empty()) return false;
        const auto* level = this->level_stack_.template Top<typename Base::Level>();
        return !level->inArray && level->valueCount % 2 == 0;
    }
    // True inside an array.
    bool InArray() const noexcept {
        return !this->level_stack_.Empty() &&
               this->level_stack_.template Top<typename Base::Level>()->inArray;
    }

  private:
    TextBuffer& buffer_;
};

using CompactBase =
    rapidjson::Writer<TextBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, LevelStackTag>;
using PrettyBase =
    rapidjson::PrettyWriter<TextBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, LevelStackTag>;

// The JSON writer of both layouts.
template <class Base>
class JsonTextWriter final : public JsonWriter {
  public:
    static constexpr bool kPretty = std::is_same_v<Base, PrettyBase>;

    // Throws std::bad_alloc only when a long newline text cannot be copied.
    JsonTextWriter(const EnumNameResolver* resolver, std::string_view newline)
        : writer_(buffer_), resolver_(resolver), newline_(kPretty ? newline : "\n") {
        writer_.SetMaxDecimalPlaces(324);
        if constexpr (kPretty) writer_.SetIndent(' ', 4);
    }

    void WriteEmpty() noexcept override {
        if (Accept()) writer_.Null();
    }
    void WriteBool(bool value) noexcept override {
        if (Accept()) writer_.Bool(value);
    }
    void WriteSigned(int64_t value) noexcept override {
        if (Accept()) writer_.Int64(value);
    }
    void WriteUnsigned(uint64_t value) noexcept override {
        if (Accept()) writer_.Uint64(value);
    }
    void WriteFloat(double value) noexcept override {
        if (!Accept()) return;
        // RapidJSON refuses these after writing the separator; null keeps the text valid.
        if (std::isfinite(value)) {
            writer_.Double(value);
        } else {
            writer_.Null();
        }
    }
    void WriteString(std::string_view text) noexcept override {
        if (Accept()) WriteText(text.data(), text.size());
    }
    void WriteBlob(std::span<const uint8_t> bytes) noexcept override {
        if (Accept()) WriteText(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void WriteEnum(const EnumRecord& value) noexcept override {
        if (!Accept()) return;
        const char* name = nullptr;
        if (resolver_ != nullptr) {
            try {
                name = resolver_->EnumName(value.typeId, value.value);
            } catch (...) {
                name = nullptr;
            }
        }
        if (name != nullptr) {
            WriteText(name, std::strlen(name));
        } else {
            writer_.Int64(value.value);
        }
    }
    void BeginCollection(size_t /*count*/) noexcept override {
        if (!Accept()) return;
        try {
            writer_.StartArray();
        } catch (...) {
            buffer_.MarkFailed();
        }
    }
    void BeginElement() noexcept override {}
    void EndElement() noexcept override {}
    void EndCollection() noexcept override {
        if (writer_.InArray()) {
            writer_.EndArray();
        } else {
            outOfOrder_ = true;
        }
    }
    void BeginStructure(size_t /*count*/) noexcept override {
        if (!Accept()) return;
        try {
            writer_.StartObject();
        } catch (...) {
            buffer_.MarkFailed();
        }
    }
    void MemberName(std::string_view name) noexcept override {
        if (writer_.ExpectsName()) {
            WriteText(name.data(), name.size());
        } else {
            outOfOrder_ = true;
        }
    }
    void EndMember() noexcept override {}
    void EndStructure() noexcept override {
        if (writer_.ExpectsName()) {
            writer_.EndObject();
        } else {
            outOfOrder_ = true;
        }
    }

    bool Finish(std::string& out) noexcept override {
        out.clear();
        if (outOfOrder_ || !writer_.IsComplete()) return false;
        return buffer_.Take(out, newline_);
    }

  private:
    // Whether a value may be written here; a value out of place marks the output invalid.
    bool Accept() noexcept {
        if (writer_.ExpectsValue()) return true;
        outOfOrder_ = true;
        return false;
    }

    void WriteText(const char* data, size_t size) noexcept {
        writer_.Text(data != nullptr ? data : "", size);
    }

    TextBuffer buffer_;
    StateWriter<Base, kPretty> writer_;
    const EnumNameResolver* resolver_;
    std::string newline_;
    bool outOfOrder_ = false;
};

template <class Base>
bool WriteWith(const BindingProperty& value, const EnumNameResolver* resolver,
               std::string_view newline, std::string& out) {
    JsonTextWriter<Base> writer(resolver, newline);
    Walk(value, writer);
    return writer.Finish(out);
}

}  // namespace

std::unique_ptr<JsonWriter> JsonWriter::Create(const EnumNameResolver* resolver,
                                               std::string_view newline) noexcept {
    try {
        if (newline.empty()) {
            return std::unique_ptr<JsonWriter>(new (std::nothrow)
                                                   JsonTextWriter<CompactBase>(resolver, newline));
        }
        return std::unique_ptr<JsonWriter>(new (std::nothrow)
                                               JsonTextWriter<PrettyBase>(resolver, newline));
    } catch (...) {
        return nullptr;
    }
}

bool WriteJsonTo(const BindingProperty& value, const EnumNameResolver* resolver,
                 std::string_view newline, std::string& out) noexcept {
    out.clear();
    if (value.IsEmpty()) return true;
    try {
        if (newline.empty()) return WriteWith<CompactBase>(value, resolver, newline, out);
        return WriteWith<PrettyBase>(value, resolver, newline, out);
    } catch (...) {
        out.clear();
        return false;
    }
}

std::string WriteJson(const BindingProperty& value, const EnumNameResolver* resolver,
                      std::string_view newline) noexcept {
    std::string text;
    WriteJsonTo(value, resolver, newline, text);
    return text;
}

}  // namespace Vane
