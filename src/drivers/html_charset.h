#pragma once
// The encoding of an HTML page, found as browsers find it, and its text in UTF-8.
#include "drivers/reader_support.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

// The decoder that reads the encoding a charset label names ("utf-8" for a label of
// UTF-16 or UTF-8), or nothing for a label browsers do not know. Blanks around the
// label and letter case do not count.
std::optional<std::string_view> encodingOfLabel(std::string_view label);

// The decoder of the encoding a meta element met by the parser declares, from its
// attributes as the page writes them: its charset's, where that is a label browsers
// know, else the charset its content names where its http-equiv is Content-Type.
std::optional<std::string_view> encodingOfMeta(std::optional<std::string_view> charset,
                                               std::optional<std::string_view> httpEquiv,
                                               std::optional<std::string_view> content);

// A page's text in UTF-8. A byte-order mark decides its encoding for certain, and so
// does the first meta tag in the first kilobyte that names a charset browsers know
// (outside comments, attributes and elements whose text is not markup); without either
// the encoding is a guess, UTF-8 where the page is valid UTF-8, else Windows-1252, until
// the parser meets a meta that browsers still count (see metaCounts), which makes the
// page read again in its encoding.
class HtmlPageText {
public:
    explicit HtmlPageText(ByteSpan bytes);
    // The page read, for certain, in encoding.
    HtmlPageText(ByteSpan bytes, std::string_view encoding);
    HtmlPageText(const HtmlPageText&) = delete;
    HtmlPageText& operator=(const HtmlPageText&) = delete;

    // A view of the bytes where they need no conversion, else of the converted text.
    std::string_view text() const { return text_; }
    bool certain() const { return certain_; }
    // Whether a meta the parser met at offset `at` of the text may still change a guessed
    // encoding: browsers count one in the head (inHead), or one that begins in the first
    // kilobyte of the page wherever it stands.
    bool metaCounts(std::size_t at, bool inHead) const;
    // The parser met a counted meta whose charset encoding names: the encoding is certain
    // from now on. Returns the encoding to read the page again in, where the guess was
    // another.
    std::optional<std::string_view> metaMet(std::string_view encoding);
    // No meta of the page is left to change the encoding.
    void settle() { certain_ = true; }

private:
    // The bytes read in encoding: raw itself where they are valid UTF-8 already.
    void read(std::string_view raw, std::string_view encoding);
    void convert(std::string_view raw, std::string_view encoding);

    std::string converted_;
    std::string_view text_;
    std::string_view encoding_;
    bool certain_ = false;
};

} // namespace varnoke::drivers
