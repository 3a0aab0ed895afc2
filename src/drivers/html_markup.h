#pragma once
// An HTML page in UTF-8 made ready for libxml2's parser: its markup cut down to what
// the table reading needs, written so that the parser reads it as a browser does.
// libxml2's HTML parser keeps older rules than browsers for comments and character
// references, and an end tag that matches nothing costs it a search of all it holds
// open; both are settled here, in one pass over the page.
#include "drivers/reader_support.h"

#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

// The attributes of a meta tag that may declare the page's encoding, as the page writes
// them (the first of each name), and where it stands.
struct MetaTag {
    std::optional<std::string_view> charset, httpEquiv, content;
    std::size_t at = 0;  // of its '<' in the text
    bool inHead = false; // only what a head holds came before it (no template either)
};

class MarkupSink {
public:
    virtual ~MarkupSink() = default;
    // More of the cleaned page, in order.
    virtual void markup(std::string_view text) = 0;
    // Whether an end tag of element name would close it now, after all markup sent so
    // far has been parsed; one that would not is left out.
    virtual bool closes(std::string_view name) = 0;
    // A meta tag where the parser meets one: not in a comment, an attribute, a template
    // or an element whose content is not markup. The markup before it may still be
    // waiting to be sent.
    virtual void meta(const MetaTag& tag) = 0;
    // A tag at offset `at` of the text, met once the page's head has ended.
    virtual void pastHead(std::size_t at) = 0;
    // False where only meta tags are still wanted: text is then passed over.
    virtual bool wantsText() const = 0;
    // True ends the pass.
    virtual bool stopped() const = 0;
};

// Sends text to sink with comments, doctypes and processing instructions left out
// (closed as browsers close them), character references decoded (names without a
// semicolon and the numbers 128-159 as browsers read them), the content of script,
// style and other elements never shown left out, and of the tags only those of
// tables kept (with their id, name, colspan and rowspan), each line break as <br>
// and each start or end of a block (div, p, li...) as <hr>.
void cleanHtml(std::string_view text, MarkupSink& sink);

} // namespace varnoke::drivers
