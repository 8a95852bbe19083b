// What a log target receives, and how it is turned into a line of text.
#ifndef PYX_LOG_LOG_LINE_H_
#define PYX_LOG_LOG_LINE_H_

#include <cstddef>
#include <cstdint>

namespace Vane {

// Levels of a log message.
inline constexpr int32_t kLogOkay = 0;
inline constexpr int32_t kLogWarn = 1;
inline constexpr int32_t kLogError = 2;
inline constexpr int32_t kLogAlways = 3;

// Size of the message and line buffers; a message holds at most kLogBufferSize - 1 bytes.
inline constexpr size_t kLogBufferSize = 4096;

// One log message as handed to every target: local time, level, categories and text.
struct LogRecord {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;
    int32_t level = 0;
    uint64_t categories = 0;
    const char* message = "";  // NUL-terminated, at most kLogBufferSize - 1 bytes; never null
};

// The six-character word of a level: "  OKAY", "  WARN", " ERROR", "ALWAYS"; "   ???" for a
// level outside 0..3.
const char* LevelWord(int32_t level);

// Writes the line for record into buffer following pattern and returns its length (without
// the terminating NUL). The pattern is copied character by character; "#" and a letter insert
// a field: #D local time "YYYY-MM-DDThh:mm:ss.mmm", #E executable name, #G category names in
// bit order joined by ";", #H seconds since the first use of the high-resolution clock
// "SSSSSS.mmm", #L level word, #M message, #T calling thread id as eight upper-case hex
// digits; "#" and any other character gives that character (a trailing "#" is kept).
// Two bytes are always kept free and the text is cut when it would take them; then a line
// feed is appended unless the text already ends with one, and a NUL. Never writes beyond
// size bytes: size 0 writes nothing, size 1 only the NUL, size 2 "\n". A null pattern or
// message counts as empty.
size_t FormatLogLine(char* buffer, size_t size, const char* pattern, const LogRecord& record);

}  // namespace Vane

#endif  // PYX_LOG_LOG_LINE_H_
