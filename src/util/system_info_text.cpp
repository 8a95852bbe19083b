#include "util/system_info_text.h"

namespace Vane {

namespace {

// Appends to a fixed buffer, cutting what does not fit and keeping it NUL-terminated.
class TextBuffer {
  public:
    TextBuffer(char* buffer, size_t size) : buffer_(buffer), size_(size) {
        if (size_ > 0) buffer_[0] = '\0';
    }

    void Text(const char* text) {
        while (*text != '\0' && used_ + 1 < size_) buffer_[used_++] = *text++;
        if (size_ > 0) buffer_[used_] = '\0';
    }

    void Number(uint64_t value) {
        char digits[21];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        char text[21];
        for (size_t i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
        text[count] = '\0';
        Text(text);
    }

    size_t Length() const { return used_; }

  private:
    char* buffer_;
    size_t size_;
    size_t used_ = 0;
};

void Figure(TextBuffer& text, const char* name, const std::optional<uint64_t>& value,
            const char* unit) {
    text.Text(" ");
    text.Text(name);
    text.Text("=");
    if (!value) {
        text.Text("unknown");
        return;
    }
    text.Number(*value);
    text.Text(unit);
}

void Count(TextBuffer& text, const char* name, const std::optional<uint32_t>& value) {
    Figure(text, name, value ? std::optional<uint64_t>(*value) : std::nullopt, "");
}

void Kibibytes(TextBuffer& text, const char* name, const std::optional<uint64_t>& bytes) {
    Figure(text, name, bytes ? std::optional<uint64_t>(*bytes / 1024) : std::nullopt, "KiB");
}

}  // namespace

size_t FormatSystemFigures(char* buffer, size_t size, const SystemFigures& figures) noexcept {
    TextBuffer text(buffer, size);
    text.Text("processors");
    Count(text, "logical", figures.processors.logicalProcessors);
    Count(text, "cores", figures.processors.cores);
    Count(text, "packages", figures.processors.packages);
    text.Text("; memory");
    Kibibytes(text, "physical", figures.system.totalPhysicalBytes);
    Kibibytes(text, "available", figures.system.availablePhysicalBytes);
    Kibibytes(text, "commitLimit", figures.system.commitLimitBytes);
    Kibibytes(text, "commitAvailable", figures.system.commitAvailableBytes);
    text.Text("; process");
    Kibibytes(text, "resident", figures.process.residentBytes);
    Kibibytes(text, "peak", figures.process.peakResidentBytes);
    Kibibytes(text, "virtual", figures.process.virtualBytes);
    return text.Length();
}

}  // namespace Vane
