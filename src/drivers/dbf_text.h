#pragma once
// The text of a dBase or FoxPro table, decoded by the table's own marks: the code page
// a shapefile-style .cpg beside it names, then its language-driver byte. A table with
// neither is read as UTF-8 where every character field of it is valid UTF-8, and as
// windows-1252 otherwise. Every byte decodes to a character that gives it back: a byte a
// single-byte code page leaves unassigned reads as the C1 control of its number.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

class CodePage;

class DbfText {
public:
    // The decoding the table's marks give; none when it has neither a .cpg label this
    // reader knows nor a language-driver byte that names a code page.
    static std::optional<DbfText> marked(std::optional<std::string_view> cpgLabel,
                                         std::uint8_t languageDriver);
    // The decoding of a table with no mark: UTF-8 where all its texts are valid UTF-8.
    static DbfText unmarked(bool allUtf8);

    std::string decode(std::string_view bytes) const;

private:
    enum class Kind { Utf8, SingleByte, MultiByte };
    explicit DbfText(Kind kind) : kind_(kind) {}
    static DbfText singleByte(std::string_view whatwgName);
    static DbfText iconvPage(const char* name);

    Kind kind_;
    // What each byte from 0x80 up reads as, in UTF-8, for a single-byte code page (for
    // UTF-8, windows-1252's, for a text that is not valid UTF-8).
    std::shared_ptr<const std::array<std::string, 128>> high_;
    std::shared_ptr<const CodePage> multiByte_;
};

} // namespace varnoke::drivers
