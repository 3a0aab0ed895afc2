// The legacy encodings decoded as Chromium decodes them: every byte of the single-byte
// encodings and every lead byte with every second byte of the multi-byte ones (and
// EUC-JP's three-byte and GB18030's four-byte codes), against digests of Chromium's
// reading of the same bytes (tests/data/html/decodings, made by make_decodings.py).
#include "drivers/text_decoders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace varnoke::test {
namespace {

struct Row {
    std::string encoding, label;
    std::uint64_t digest = 0;
    std::size_t characters = 0;
};

std::vector<Row> chromiumRows() {
    std::ifstream in(std::string(VARNOKE_TEST_DATA) + "/html/decodings/encodings.txt");
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with('#')) continue;
        std::istringstream fields(line);
        Row r;
        fields >> r.encoding >> r.label >> std::hex >> r.digest >> std::dec >> r.characters;
        rows.push_back(r);
    }
    return rows;
}

std::string byte(unsigned b) {
    return std::string(1, static_cast<char>(b));
}

// The bytes of a row, as make_decodings.py makes them: each suffix after the row's
// prefix, then ';'.
std::string rowBytes(const Row& r) {
    std::vector<std::string> suffixes;
    std::string prefix;
    if (r.label == "single") {
        for (unsigned b = 0x80; b < 0x100; ++b)
            suffixes.push_back(byte(b));
    } else {
        for (std::size_t at = 0; at < r.label.size(); at += 2)
            prefix += byte(std::stoul(r.label.substr(at, 2), nullptr, 16));
        const bool fourByte =
            prefix.size() == 2 && (r.encoding == "gb18030" || r.encoding == "gbk");
        if (fourByte) {
            for (unsigned third = 0x81; third < 0xFF; ++third)
                for (unsigned fourth = 0x30; fourth < 0x3A; ++fourth)
                    suffixes.push_back(byte(third) + byte(fourth));
        } else {
            for (unsigned second = 0x30; second < 0x100; ++second) {
                // Chromium stops on Big5's codes of two code points (tested below).
                const bool pair =
                    r.encoding == "big5" && prefix == "\x88" &&
                    (second == 0x62 || second == 0x64 || second == 0xA3 || second == 0xA5);
                if (second != '<' && !pair) suffixes.push_back(byte(second));
            }
        }
    }
    std::string bytes;
    for (const auto& s : suffixes)
        bytes += prefix + s + ";";
    return bytes;
}

std::uint64_t fnv64(std::string_view text) {
    std::uint64_t h = 0xCBF29CE484222325u;
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
    return h;
}

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

TEST(Decodings, EveryRowReadsAsChromiumReadsIt) {
    const auto rows = chromiumRows();
    ASSERT_EQ(rows.size(), 1109u);
    std::size_t wrong = 0;
    for (const auto& r : rows) {
        std::string text;
        drivers::decodeText(r.encoding, rowBytes(r), text);
        if (fnv64(text) == r.digest && characters(text) == r.characters) continue;
        ++wrong;
        ADD_FAILURE() << r.encoding << " row " << r.label << ": " << characters(text)
                      << " characters, Chromium " << r.characters << "\n"
                      << text;
    }
    EXPECT_EQ(wrong, 0u);
}

struct Sequence {
    const char* label;
    const char* encoding;
    std::string bytes;
    std::string text; // UTF-8
};

class DecodingSequenceTest : public ::testing::TestWithParam<Sequence> {};

// Texts from the decoders of the npm package text-encoding 0.7.0, which follows the
// same standard: what Chromium's rows above cannot show.
TEST_P(DecodingSequenceTest, DecodesAsTheStandardsDecoderDoes) {
    std::string text;
    drivers::decodeText(GetParam().encoding, GetParam().bytes, text);
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, DecodingSequenceTest,
    ::testing::Values(
        Sequence{"Big5TwoCodePoints", "big5", "\x88\x62\x88\x64\x88\xA3\x88\xA5",
                 "\xC3\x8A\xCC\x84\xC3\x8A\xCC\x8C\xC3\xAA\xCC\x84\xC3\xAA\xCC\x8C"},
        // A sequence cut off by the end of the text is one U+FFFD.
        Sequence{"Gb18030CutAfterTwo", "gb18030", "a\x81\x30", "a\xEF\xBF\xBD"},
        Sequence{"Gb18030CutAfterThree", "gb18030", "a\x81\x30\x81", "a\xEF\xBF\xBD"},
        Sequence{"EucJpCutInJis0212", "euc-jp", "a\x8F\xA1", "a\xEF\xBF\xBD"},
        Sequence{"ShiftJisCutLead", "shift_jis", "a\x81", "a\xEF\xBF\xBD"},
        Sequence{"Utf8CutThreeByte", "utf-8", "a\xE2\x82", "a\xEF\xBF\xBD"},
        Sequence{"Utf8BrokenBeforeAscii", "utf-8", "\xE2\x82<", "\xEF\xBF\xBD<"},
        Sequence{"Utf8Surrogate", "utf-8", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        Sequence{"Utf8Overlong", "utf-8", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        Sequence{"Gb18030Supplementary", "gb18030", "\x90\x30\x81\x30", "\xF0\x90\x80\x80"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
