#pragma once
// The ASCII classes HTML's syntax is written in, whatever the locale says.
namespace varnoke::drivers::html {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
inline bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool isAlnum(char c) {
    return isAlpha(c) || isDigit(c);
}
inline char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace varnoke::drivers::html
