// Jet 4 text as the file keeps it: UTF-16 with surrogate pairs, and the compressed form
// whose 00 bytes switch between one byte a character and UTF-16 units. The expected
// texts are the characters' UTF-8 as Unicode defines them.
#include "drivers/jet_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

struct TextCase {
    const char* label;
    std::vector<std::uint8_t> bytes;
    std::optional<std::string> text; // absent: bytes that cannot be UTF-16
};

void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.label;
}

class Jet4Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Jet4Text, DecodesAsUnicodeDefinesIt) {
    EXPECT_EQ(drivers::jet::jet4Text(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Jet4, Jet4Text,
    ::testing::Values(TextCase{"Empty", {}, ""},
                      TextCase{"Utf16", {'A', 0, 0xE9, 0, 0xAC, 0x20}, "A\xC3\xA9\xE2\x82\xAC"},
                      // U+1F600 and U+20000 (CJK Extension B), each a surrogate pair.
                      TextCase{"SurrogatePairs",
                               {0x3D, 0xD8, 0x00, 0xDE, 0x40, 0xD8, 0x00, 0xDC},
                               "\xF0\x9F\x98\x80\xF0\xA0\x80\x80"},
                      TextCase{"LoneHighSurrogate", {0x3D, 0xD8, 'x', 0}, "\xEF\xBF\xBDx"},
                      TextCase{"LoneLowSurrogate", {0x00, 0xDE}, "\xEF\xBF\xBD"},
                      TextCase{"CompressedLatin",
                               {0xFF, 0xFE, 'a', 0xE9, 'b'},
                               "a\xC3\xA9"
                               "b"},
                      TextCase{"CompressedThenUtf16",
                               {0xFF, 0xFE, 'a', 0, 0xAC, 0x20, 0, 'b'},
                               "a\xE2\x82\xAC"
                               "b"},
                      // U+1F601: a 00 byte always ends a run, so no unit of a UTF-16 run holds one.
                      TextCase{"CompressedPairInUtf16Run",
                               {0xFF, 0xFE, 0, 0x3D, 0xD8, 0x01, 0xDE},
                               "\xF0\x9F\x98\x81"},
                      TextCase{
                          "CompressedHalfUnitAtTheEnd", {0xFF, 0xFE, 'a', 0, 0x41}, std::nullopt},
                      TextCase{"OddLength", {'a', 0, 'b'}, std::nullopt},
                      TextCase{"OneByte", {'a'}, std::nullopt},
                      // The half unit is there only without the mark.
                      TextCase{"CompressedOddLength", {0xFF, 0xFE, 'a', 'b', 'c'}, "abc"},
                      TextCase{"MarkAlone", {0xFF, 0xFE}, ""},
                      // Without the mark, FF FE is U+FEFF's bytes in UTF-16 order.
                      TextCase{"MarkNotAtTheStart", {'a', 0, 0xFF, 0xFE}, "a\xEF\xBB\xBF"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
