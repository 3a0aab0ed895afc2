#pragma once
// The tags and texts of an HTML page in page order, found without building a tree, so
// that a page of any size is walked in one pass and little memory.
#include <optional>
#include <string>
#include <string_view>

namespace varnoke::drivers {

class HtmlVisitor {
public:
    virtual ~HtmlVisitor() = default;
    // name in lower case; attributes is the rest of the tag, as attributeOf reads it.
    virtual void startTag(std::string_view name, std::string_view attributes, bool selfClosing) = 0;
    virtual void endTag(std::string_view name) = 0;
    // Text between tags, character references not yet decoded.
    virtual void text(std::string_view text) = 0;
    // Asked after each call: true ends the walk.
    virtual bool finished() const { return false; }
};

// Calls visitor for each tag and text of html. Comments, doctypes and processing
// instructions are passed over; the content of a script, style or other element whose
// text is not markup arrives as one text, followed by its end tag.
void walkHtml(std::string_view html, HtmlVisitor& visitor);

// The value of an attribute (name in lower case), character references decoded.
std::optional<std::string> attributeOf(std::string_view attributes, std::string_view name);

// Appends text to out with its character references ("&amp;", "&#233;", "&#xE9;")
// decoded; an unknown reference stays as it is written.
void appendDecoded(std::string_view text, std::string& out);

} // namespace varnoke::drivers
