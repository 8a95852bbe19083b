#include "log/log_line.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "log/log_categories.h"
#include "log/logger.h"
#include "util/platform.h"

namespace Vane {

namespace {

// Appends into a buffer while keeping its last two bytes free for the line feed and the NUL.
class LineWriter {
  public:
    LineWriter(char* buffer, size_t size)
        : buffer_(buffer), size_(size), limit_(size >= 2 ? size - 2 : 0) {}

    bool Full() const { return length_ >= limit_; }

    void Append(const char* text, size_t count) {
        size_t room = limit_ - length_;
        if (count > room) count = room;
        std::memcpy(buffer_ + length_, text, count);
        length_ += count;
    }
    void Append(const char* text) { Append(text, std::strlen(text)); }
    void Append(char c) { Append(&c, 1); }

    size_t Finish() {
        if (size_ == 0) return 0;
        if (size_ >= 2 && (length_ == 0 || buffer_[length_ - 1] != '\n')) buffer_[length_++] = '\n';
        buffer_[length_] = '\0';
        return length_;
    }

  private:
    char* buffer_;
    size_t size_;
    size_t limit_;
    size_t length_ = 0;
};

void AppendFormatted(LineWriter& out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void AppendFormatted(LineWriter& out, const char* format, ...) {
    char field[128];
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(field, sizeof field, format, args);
    va_end(args);
    if (written > 0) out.Append(field, std::strlen(field));
}

void AppendCategories(LineWriter& out, uint64_t categories) {
    bool first = true;
    for (int slot = 0; slot < kCategorySlotCount && !out.Full(); ++slot) {
        if ((categories & (uint64_t{1} << slot)) == 0) continue;
        if (!first) out.Append(';');
        out.Append(CategoryNameAt(slot).text);
        first = false;
    }
}

void AppendElapsed(LineWriter& out) {
    double elapsed = Platform::HighResolutionSeconds();
    long long milliseconds = static_cast<long long>(elapsed * 1000.0);
    AppendFormatted(out, "%06lld.%03d", milliseconds / 1000, static_cast<int>(milliseconds % 1000));
}

}  // namespace

const char* LevelWord(int32_t level) {
    static const char* const kWords[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
    return level >= 0 && level <= 3 ? kWords[level] : "   ???";
}

size_t FormatLogLine(char* buffer, size_t size, const char* pattern, const LogRecord& record) {
    if (buffer == nullptr) return 0;
    LineWriter out(buffer, size);
    if (pattern == nullptr) pattern = "";
    const char* message = record.message != nullptr ? record.message : "";

    for (const char* p = pattern; *p != '\0' && !out.Full(); ++p) {
        if (*p != '#' || p[1] == '\0') {
            out.Append(*p);
            continue;
        }
        switch (*++p) {
            case 'D':
                AppendFormatted(out, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", record.year,
                                record.month, record.day, record.hour, record.minute, record.second,
                                record.millisecond);
                break;
            case 'E':
                out.Append(Logger::GetExecutableName());
                break;
            case 'G':
                AppendCategories(out, record.categories);
                break;
            case 'H':
                AppendElapsed(out);
                break;
            case 'L':
                out.Append(LevelWord(record.level));
                break;
            case 'M':
                out.Append(message);
                break;
            case 'T':
                AppendFormatted(out, "%08X", static_cast<unsigned>(Platform::CurrentThreadId()));
                break;
            default:
                out.Append(*p);
                break;
        }
    }
    return out.Finish();
}

}  // namespace Vane
