// One move-only owner for every kind of OS handle. Portable on purpose, so
// that the ownership rules (no double close, no lost handle) are tested on
// the host with a fake handle type.
#pragma once

#include <utility>

namespace vl {

// Closer: a functor that may carry state (the window a DC belongs to, the
// window a timer is bound to). It provides
//   static T Invalid();         the "no handle" value of that kind
//   void operator()(T) const;   releases a valid handle
template <typename T, typename Closer>
class UniqueHandle {
public:
    UniqueHandle() noexcept : value_(Closer::Invalid()) {}
    explicit UniqueHandle(T value, Closer closer = Closer{}) noexcept : value_(value), closer_(std::move(closer)) {}

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()), closer_(std::move(other.closer_)) {}

    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            closer_ = std::move(other.closer_);
            value_ = other.release();
        }
        return *this;
    }

    ~UniqueHandle() { reset(); }

    [[nodiscard]] T get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return !(value_ == Closer::Invalid()); }
    explicit operator bool() const noexcept { return valid(); }
    [[nodiscard]] const Closer& closer() const noexcept { return closer_; }

    // Gives up ownership without closing.
    [[nodiscard]] T release() noexcept {
        T value = value_;
        value_ = Closer::Invalid();
        return value;
    }

    // Closes what is held (if anything) and takes the new value.
    void reset(T value = Closer::Invalid()) noexcept {
        T old = value_;
        value_ = value;
        if (!(old == Closer::Invalid()) && !(old == value)) closer_(old);
    }

    void reset(T value, Closer closer) noexcept {
        reset();
        closer_ = std::move(closer);
        value_ = value;
    }

private:
    T value_;
    Closer closer_{};
};

}  // namespace vl
