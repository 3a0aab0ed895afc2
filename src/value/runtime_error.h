#pragma once
// The one error type of the program: a number and a description, as the message
// tables and the "Error:" reports show them. The engine's errors derive from it.
#include <stdexcept>
#include <string>
#include <string_view>

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

// The "Error:" report of a failure outside the error table: the number straight after the
// colon, one blank, the description ("Error:3075 Syntax error ...").
inline std::string errorReport(int number, std::string_view description) {
    return "Error:" + std::to_string(number) + " " + std::string(description);
}
inline std::string errorReport(const RuntimeError& e) {
    return errorReport(e.number(), e.description());
}

// A message of the program's own followed, on a new line, by the engine's reason, so
// the user learns what is wrong ("... could not connect ...\nCould not find file ...").
inline std::string withReason(std::string_view message, std::string_view reason) {
    if (reason.empty() || reason == message) return std::string(message);
    return std::string(message) + "\n" + std::string(reason);
}

// Runtime error numbers the conversions raise.
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrInvalidUseOfNull = 94;

} // namespace varnoke
