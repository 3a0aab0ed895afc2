// Every case-blind comparison folds through one function: these cases pin what it
// folds (every letter with a case, by simple folding), what it keeps apart (marks, 'ß'
// against "ss", 'İ' against 'i') and the one order it gives any bytes at all.
#include "value/case_fold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace varnoke;
using namespace std::string_literals;

namespace {

struct Ordered {
    const char* name;
    std::string a;
    std::string b;
    int sign; // of compareFolded(a, b)
};

void PrintTo(const Ordered& o, std::ostream* os) {
    *os << o.name;
}

int signOf(int n) {
    return (n > 0) - (n < 0);
}

class CaseFold : public ::testing::TestWithParam<Ordered> {};

TEST_P(CaseFold, ComparesAndFoldsAlike) {
    const auto& [name, a, b, sign] = GetParam();
    EXPECT_EQ(signOf(compareFolded(a, b)), sign);
    EXPECT_EQ(signOf(compareFolded(b, a)), -sign);
    EXPECT_EQ(sameFolded(a, b), sign == 0);
    // The folded texts are equal exactly when the texts compare equal, and keep their
    // order under a plain byte comparison of the well-formed ones.
    EXPECT_EQ(foldedText(a) == foldedText(b), sign == 0);
    EXPECT_EQ(foldedText(foldedText(a)), foldedText(a));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CaseFold,
    ::testing::Values(
        Ordered{"AsciiCase", "Bob", "bOB", 0}, Ordered{"AsciiOther", "abc", "abd", -1},
        Ordered{"Prefix", "ab", "ABC", -1}, Ordered{"Empty", "", "", 0},
        // '_' lies between the capitals and the small letters: letters fold to small.
        Ordered{"UnderscoreBeforeLetters", "_", "A", -1},
        Ordered{"AccentedCapital", "café", "CAFÉ", 0}, Ordered{"MarksCount", "café", "cafe", 1},
        Ordered{"Umlaut", "Ärger", "ärger", 0}, Ordered{"CapitalSigma", "ΟΔΟΣ", "οδοσ", 0},
        Ordered{"FinalSigma", "οδος", "ΟΔΟΣ", 0}, Ordered{"SharpSIsNotSs", "straße", "STRASSE", 1},
        Ordered{"CapitalSharpS", "straße", "STRAẞE", 0},
        Ordered{"DottedCapitalIHasNoSimpleFold", "İ", "i", 1},
        Ordered{"KelvinSignIsK", "\u212A", "k", 0}, Ordered{"LongS", "\u017Fun", "SUN", 0},
        Ordered{"CherokeeFoldsToCapitals", "\uAB70", "\u13A0", 0},
        Ordered{"FourByteLetters", "\U00010400", "\U00010428", 0},
        Ordered{"CyrillicOrder", "Яблоко", "яблоко", 0},
        Ordered{"FoldedOrderNotByteOrder", "éa", "Éb", -1},
        Ordered{"AsciiBeforeOtherLetters", "Z", "é", -1},
        Ordered{"NulIsACharacter", "a\0B"s, "A\0b"s, 0},
        Ordered{"NulThenOther", "a\0b"s, "a\0c"s, -1}, Ordered{"NulLonger", "a"s, "a\0"s, -1},
        // Bytes that begin no well-formed character stay as they are and order after
        // every character.
        Ordered{"StrayByteSame", "A\xff", "a\xff", 0},
        Ordered{"StrayByteAfterCharacters", "\xf4\x8f\xbf\xbf", "\x80", -1},
        Ordered{"TruncatedCharacter", "CAF\xc3", "caf\xc3", 0},
        Ordered{"TruncatedIsNotTheLetter", "caf\xc3", "CAFÉ", 1},
        Ordered{"OverlongIsNotTheLetter", "\xc1\x81", "a", 1},
        Ordered{"SurrogateIsStray", "\xed\xa0\x80", "\xed\xa0\x81", -1},
        Ordered{"PastTheLastCodePoint", "\xf4\x90\x80\x80", "\xf4\x90\x80\x80", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaseFold, EveryFoldIsItsOwnFold) {
    for (char32_t c = 0; c < 0x110000; ++c) {
        const auto f = static_cast<std::uint32_t>(foldCodePoint(c));
        ASSERT_LT(f, 0x110000u) << std::hex << static_cast<std::uint32_t>(c);
        ASSERT_EQ(static_cast<std::uint32_t>(foldCodePoint(f)), f)
            << std::hex << static_cast<std::uint32_t>(c);
    }
    const std::pair<char32_t, char32_t> folds[] = {{U'A', U'a'}, {U'É', U'é'}, {U'ς', U'σ'},
                                                   {U'ß', U'ß'}, {U'ẞ', U'ß'}, {U'a', U'a'},
                                                   {U'1', U'1'}, {U'Ω', U'ω'}};
    for (const auto& [c, f] : folds)
        EXPECT_TRUE(foldCodePoint(c) == f) << static_cast<std::uint32_t>(c);
}

// SQLite sorts and searches an index through the comparison: it must be one total order
// over any bytes, or an index built on stray bytes would lose rows.
TEST(CaseFold, AnyBytesCompareInOneTotalOrder) {
    const std::string pieces[] = {
        "a", "A",   "é", "É",    "\xc3",         "\xa9", "\xff", "ß",    "ς",
        "Σ", "\0"s, "z", "\xed", "\xe2\x84\xaa", "\x80", "k",    "\xf0", "\xf0\x90\x90\x80"};
    std::mt19937 random(23);
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string t;
        for (int n = static_cast<int>(random() % 4); n >= 0; --n)
            t += pieces[random() % std::size(pieces)];
        texts.push_back(t);
    }
    std::stable_sort(texts.begin(), texts.end(), [](const std::string& x, const std::string& y) {
        return compareFolded(x, y) < 0;
    });
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i; j < texts.size(); ++j) {
            ASSERT_LE(compareFolded(texts[i], texts[j]), 0) << i << " " << j;
            ASSERT_EQ(signOf(compareFolded(texts[i], texts[j])),
                      -signOf(compareFolded(texts[j], texts[i])));
        }
}

} // namespace
