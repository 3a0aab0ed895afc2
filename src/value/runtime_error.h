#pragma once
// The one error type of the program: a number and a description, as the message
// tables and the "Error:" reports show them. The engine's errors derive from it.
#include <stdexcept>
#include <string>

namespace varnoke {

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int number() const noexcept { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

// Runtime error numbers the conversions raise.
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrInvalidUseOfNull = 94;

} // namespace varnoke
