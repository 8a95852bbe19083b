// Failure: what an operation that can fail returns instead of its value (see MaybeType): a
// status code, the message, and the named values the message was made from.
#ifndef PYX_UTIL_FAILURE_H_
#define PYX_UTIL_FAILURE_H_

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/named_template.h"

namespace Vane {

class Failure {
  public:
    // Code 0, empty message, no fields.
    Failure() = default;

    // A failure whose message is `message` as written (no formatting, no fields).
    Failure(int32_t code, std::string message) : code_(code), message_(std::move(message)) {}

    // A failure whose message is the named template `tmpl` (see named_template.h) formatted with
    // one to three values; the named holes become fields, e.g.
    // Failure(404, "Error response for {method} {url}: {error}", "GET", "/x", "oops").
    template <class... Values>
    requires(sizeof...(Values) >= 1 && sizeof...(Values) <= 3 &&
             (std::constructible_from<TemplateValue, const Values&> && ...))
        Failure(int32_t code, std::string_view tmpl, const Values&... values)
        : code_(code) {
        TemplateValue list[] = {TemplateValue(values)...};
        Build(tmpl, list, sizeof...(Values));
    }

    // The status code.
    int32_t Code() const { return code_; }
    // The formatted message.
    const std::string& Message() const { return message_; }
    // The named values of the template, by name (with type suffixes where "#" asked for them).
    const TemplateFields& Fields() const { return fields_; }

    friend bool operator==(const Failure&, const Failure&) = default;

  private:
    void Build(std::string_view tmpl, TemplateValue* values, size_t count);

    int32_t code_ = 0;
    std::string message_;
    TemplateFields fields_;
};

}  // namespace Vane

#endif  // PYX_UTIL_FAILURE_H_
