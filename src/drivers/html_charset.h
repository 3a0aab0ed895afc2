#pragma once
// The encoding of an HTML page, found as browsers find it, and its text in UTF-8.
#include "drivers/reader_support.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

// The iconv converter that reads the encoding a charset label names ("UTF-8" for a
// label of UTF-16 or UTF-8, "HZ" for HZ, which iconv does not read), or nothing for a
// label browsers do not know. Blanks around the label and letter case do not count.
std::optional<std::string_view> converterOfLabel(std::string_view label);

// The converter a meta element met by the parser declares, from its attributes as the
// page writes them: its charset's, where that is a label browsers know, else the charset
// its content names where its http-equiv is Content-Type.
std::optional<std::string_view> converterOfMeta(std::optional<std::string_view> charset,
                                                std::optional<std::string_view> httpEquiv,
                                                std::optional<std::string_view> content);

// A page's text in UTF-8. A byte-order mark decides its encoding for certain; without
// one the encoding is a guess until the parser meets a meta that names one: the first
// meta tag outside comments in the first kilobyte that names a charset browsers know,
// else UTF-8 where the page is valid UTF-8, else Windows-1252. A meta the parser meets
// that names another encoding makes the page read again in it, as browsers read it.
class HtmlPageText {
public:
    explicit HtmlPageText(ByteSpan bytes);
    // The page read, for certain, with converter.
    HtmlPageText(ByteSpan bytes, std::string_view converter);
    HtmlPageText(const HtmlPageText&) = delete;
    HtmlPageText& operator=(const HtmlPageText&) = delete;

    // A view of the bytes where they need no conversion, else of the converted text.
    std::string_view text() const { return text_; }
    bool certain() const { return certain_; }
    // The parser met a meta whose charset converter reads: the encoding is certain from
    // now on. Returns the converter to read the page again with, where the guess was
    // another.
    std::optional<std::string_view> metaMet(std::string_view converter);
    // No meta of the page is left to change the encoding.
    void settle() { certain_ = true; }

private:
    // The bytes read with converter: raw itself where they are valid UTF-8 already.
    void read(std::string_view raw, std::string_view converter);
    void convert(std::string_view raw, std::string_view converter);

    std::string converted_;
    std::string_view text_;
    std::string_view converter_;
    bool certain_ = false;
};

} // namespace varnoke::drivers
