// A death-test matcher for the last ERROR message a process wrote to standard error.
//
// The standard-error target writes "...#L| #M" lines, so an ERROR record shows up as
// " ERROR| " followed by its message and one line feed. The message of a report spans several
// lines; the matcher takes everything after the last " ERROR| " up to the line feed that ends
// the output and compares it with the expected text as a whole, so nothing may be added
// before, inside or after it. Line feeds written as "\r\n" (Windows text streams) count as "\n".
#ifndef PYX_LOG_LOGGED_ERROR_TEST_SUPPORT_H_
#define PYX_LOG_LOGGED_ERROR_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>

namespace Vane::testing {

// The message of the last ERROR line in `output`; false when there is none.
inline bool LastLoggedErrorMessage(const std::string& output, std::string& message) {
    std::string text;
    text.reserve(output.size());
    for (size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '\r' && i + 1 < output.size() && output[i + 1] == '\n') continue;
        text += output[i];
    }
    static constexpr const char kMarker[] = " ERROR| ";
    const size_t at = text.rfind(kMarker);
    if (at == std::string::npos) return false;
    message = text.substr(at + sizeof kMarker - 1);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    return true;
}

class LastLoggedErrorMatcher : public ::testing::MatcherInterface<const std::string&> {
  public:
    explicit LastLoggedErrorMatcher(std::string expected) : expected_(std::move(expected)) {}

    bool MatchAndExplain(const std::string& output,
                         ::testing::MatchResultListener* listener) const override {
        std::string message;
        if (!LastLoggedErrorMessage(output, message)) {
            *listener << "has no ERROR line";
            return false;
        }
        *listener << "whose last ERROR message is \"" << message << "\"";
        return message == expected_;
    }

    void DescribeTo(std::ostream* os) const override {
        *os << "has the last ERROR message \"" << expected_ << "\"";
    }

  private:
    std::string expected_;
};

// Matches standard-error output whose last ERROR message is exactly `expected`.
inline ::testing::Matcher<const std::string&> LastLoggedErrorIs(std::string expected) {
    return ::testing::MakeMatcher(new LastLoggedErrorMatcher(std::move(expected)));
}

}  // namespace Vane::testing

#endif  // PYX_LOG_LOGGED_ERROR_TEST_SUPPORT_H_
