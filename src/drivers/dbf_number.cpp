#include "drivers/dbf_number.h"

#include "drivers/reader_support.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace varnoke::drivers {

namespace {

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits grouped by commas in threes after a first group of one to three.
bool groupedThousands(std::string_view whole) {
    const auto first = whole.find(',');
    if (first == 0 || first > 3 || !allDigits(whole.substr(0, first))) return false;
    for (std::size_t at = first; at < whole.size(); at += 4)
        if (whole[at] != ',' || whole.size() - at < 4 || !allDigits(whole.substr(at + 1, 3)))
            return false;
    return true;
}

// The text with its commas read, or none when they leave it in doubt.
std::optional<std::string> withoutCommas(std::string_view text) {
    const std::size_t commas = static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
    if (commas == 0) return std::string(text);
    const std::string_view sign = text.front() == '-' ? text.substr(0, 1) : std::string_view{};
    const std::string_view body = text.substr(sign.size());
    const auto dot = body.find('.');
    if (dot != std::string_view::npos || commas > 1) {
        const std::string_view whole = body.substr(0, dot);
        if (!groupedThousands(whole)) return std::nullopt;
        std::string plain(sign);
        for (char c : body)
            if (c != ',') plain += c;
        return plain;
    }
    const auto comma = body.find(',');
    // One comma and three digits after it: a thousands separator or a decimal comma.
    if (body.size() - comma - 1 == 3) return std::nullopt;
    std::string plain(text);
    plain[sign.size() + comma] = '.';
    return plain;
}

} // namespace

DbfNumber parseDbfNumber(std::string_view raw) {
    std::string_view text = trim(raw);
    while (!text.empty() && text.front() == '*')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == '*')
        text.remove_suffix(1);
    text = trim(text);
    if (text.empty()) return BlankNumber{};
    if (text.front() == '+') text.remove_prefix(1);
    const auto plain = withoutCommas(text);
    if (!plain || plain->empty()) return NotANumber{};
    double value = 0;
    const char* end = plain->data() + plain->size();
    const auto [stop, ec] = std::from_chars(plain->data(), end, value);
    if (ec != std::errc() || stop != end) return NotANumber{};
    return value;
}

} // namespace varnoke::drivers
