#pragma once
// Text without regard to case: every letter that has a case folds by Unicode's simple
// case folding ('É' = 'é', 'Σ' = 'ς' = 'σ', 'K' = 'k' = Kelvin sign), while marks still
// count ('é' != 'e') and 'ß' stays one letter. Every case-blind comparison of the
// program (the collation of finds, conditions and sorts, Like, StrComp, the key index)
// folds here, so no two of them can disagree.
//
// Texts are UTF-8. A byte that does not begin a well-formed character is a unit of its
// own: it folds to itself and orders after every character, so any bytes at all compare
// in one total order.
#include <cstdint>
#include <string>
#include <string_view>

namespace varnoke {

// The simple case fold of one code point (itself when it has none).
char32_t foldCodePoint(char32_t c);

// The folded units of a text, one at a time: a code point, or kStrayByte plus a byte
// that begins no well-formed character.
class FoldedUnits {
public:
    static constexpr std::uint32_t kStrayByte = 0x110000;

    explicit FoldedUnits(std::string_view text)
        : at_(text.data()), end_(text.data() + text.size()) {}
    bool done() const { return at_ == end_; }
    // The bytes not read yet.
    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    std::uint32_t next() {
        const auto c = static_cast<unsigned char>(*at_);
        if (c >= 0x80) return nextWide();
        ++at_;
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    }

private:
    std::uint32_t nextWide();
    const char* at_;
    const char* end_;
};

// <0, 0 or >0 as a sorts before, with or after b, letters folded: the folded units in
// order, a text that is a beginning of the other first.
int compareFolded(std::string_view a, std::string_view b);
bool sameFolded(std::string_view a, std::string_view b);
// The text with every letter folded; as many characters as the text, stray bytes kept.
std::string foldedText(std::string_view text);

} // namespace varnoke
