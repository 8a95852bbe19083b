// MaybeType<E, T>: the result of an operation that can fail. Holds either a value of T (flag
// clear) or a failure of E (flag set). MaybeType<E, void> holds nothing or a failure. No
// exceptions: reading the side that is not held is a programming error and aborts.
#ifndef PYX_UTIL_MAYBE_H_
#define PYX_UTIL_MAYBE_H_

#include <cstdlib>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace Vane {

// Tag selecting the failure side where a value could be mistaken for a failure.
struct FailureTag {
    explicit FailureTag() = default;
};
inline constexpr FailureTag kFailureTag{};

template <class E, class T>
class [[nodiscard]] MaybeType {
  public:
    // A default-constructed value.
    MaybeType() requires std::is_default_constructible_v<T> : storage_(std::in_place_index<0>) {}
    // A value made from `value` (anything T can be constructed from, other than E).
    template <class U = T>
    requires(std::is_constructible_v<T, U&&> &&
             !std::is_same_v<std::remove_cvref_t<U>, MaybeType> &&
             !std::is_same_v<std::remove_cvref_t<U>, FailureTag> &&
             (std::is_same_v<E, T> || !std::is_same_v<std::remove_cvref_t<U>, E>))
        MaybeType(U&& value)
        : storage_(std::in_place_index<0>, std::forward<U>(value)) {}
    // The failure `failure`.
    MaybeType(const E& failure) requires(!std::is_same_v<E, T>)
        : storage_(std::in_place_index<1>, failure) {}
    MaybeType(E&& failure) requires(!std::is_same_v<E, T>)
        : storage_(std::in_place_index<1>, std::move(failure)) {}
    MaybeType(FailureTag, E failure) : storage_(std::in_place_index<1>, std::move(failure)) {}

    // A result holding the failure `failure`.
    static MaybeType FromFailure(E failure) { return MaybeType(kFailureTag, std::move(failure)); }

    // The flag: true when a failure is held.
    bool IsFailure() const { return storage_.index() == 1; }
    // True when a value is held.
    bool HasValue() const { return storage_.index() == 0; }

    // The value; requires HasValue().
    T& Value() & { return *Checked(std::get_if<0>(&storage_)); }
    const T& Value() const& { return *Checked(std::get_if<0>(&storage_)); }
    T&& Value() && { return std::move(*Checked(std::get_if<0>(&storage_))); }

    // The value, or `fallback` when a failure is held.
    T ValueOr(T fallback) const& { return HasValue() ? Value() : std::move(fallback); }

    // The failure; requires IsFailure().
    const E& GetFailure() const { return *Checked(std::get_if<1>(&storage_)); }
    E& GetFailure() { return *Checked(std::get_if<1>(&storage_)); }

  private:
    template <class P>
    static P* Checked(P* p) {
        if (!p) std::abort();
        return p;
    }

    std::variant<T, E> storage_;
};

template <class E>
class [[nodiscard]] MaybeType<E, void> {
  public:
    // Success.
    MaybeType() = default;
    // The failure `failure`.
    MaybeType(const E& failure) : failure_(failure) {}
    MaybeType(E&& failure) : failure_(std::move(failure)) {}
    MaybeType(FailureTag, E failure) : failure_(std::move(failure)) {}

    // A result holding the failure `failure`.
    static MaybeType FromFailure(E failure) { return MaybeType(kFailureTag, std::move(failure)); }

    // The flag: true when a failure is held.
    bool IsFailure() const { return failure_.has_value(); }
    // True on success.
    bool HasValue() const { return !failure_.has_value(); }

    // The failure; requires IsFailure().
    const E& GetFailure() const {
        if (!failure_) std::abort();
        return *failure_;
    }
    E& GetFailure() {
        if (!failure_) std::abort();
        return *failure_;
    }

  private:
    std::optional<E> failure_;
};

}  // namespace Vane

#endif  // PYX_UTIL_MAYBE_H_
