// Text a message shows from a file: no raw control character, no broken character, and a
// long text cut short without splitting an escape or a character.
#include "value/printable.h"

#include <gtest/gtest.h>

namespace varnoke {
namespace {

struct PrintableCase {
    const char* label;
    std::string text;
    std::size_t limit;
    bool keepLines;
    std::string shown;
};

class Printable : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(Printable, ShowsTheTextAsAMessageCan) {
    const PrintableCase& c = GetParam();
    EXPECT_EQ(printable(c.text, c.limit, c.keepLines), c.shown);
}

constexpr auto kWhole = std::string_view::npos;

INSTANTIATE_TEST_SUITE_P(
    Texts, Printable,
    ::testing::Values(
        PrintableCase{"PlainTextIsKept", "Caf\xC3\xA9 \xE2\x82\xAC", kWhole, false,
                      "Caf\xC3\xA9 \xE2\x82\xAC"},
        PrintableCase{"ControlsAreEscaped", std::string("A\0B\x1F\x7F", 5), kWhole, false,
                      "A\\x00B\\x1F\\x7F"},
        PrintableCase{"LineEndsEscapedInAName", "a\nb\tc", kWhole, false, "a\\x0Ab\\x09c"},
        PrintableCase{"LineEndsKeptInAMessage", "a\r\nb\tc\x01", kWhole, true, "a\r\nb\tc\\x01"},
        PrintableCase{"UpperControlsAreEscaped",
                      "a\xC2\x85"
                      "b\xC2\xA0",
                      kWhole, false, "a\\u0085b\xC2\xA0"},
        PrintableCase{"BytesThatAreNoCharacter", "a\xFF\xC3(\xE2\x82", kWhole, false,
                      "a\\xFF\\xC3(\\xE2\\x82"},
        PrintableCase{"CutAfterTheLimit", "abcdef", 4, false, "abcd\xE2\x80\xA6"},
        PrintableCase{"NotCutAtTheLimit", "abcd", 4, false, "abcd"},
        PrintableCase{"CutBeforeAnEscapeThatWouldPassIt", std::string("ab\0", 3), 4, false,
                      "ab\xE2\x80\xA6"},
        PrintableCase{"CharactersCountOnce", "\xC3\xA9\xC3\xA9\xC3\xA9x", 3, false,
                      "\xC3\xA9\xC3\xA9\xC3\xA9\xE2\x80\xA6"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke
