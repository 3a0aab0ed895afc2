#include "drivers/cell_grid.h"
#include "drivers/field_names.h"
#include "drivers/html_charset.h"
#include "drivers/html_format.h"
#include "drivers/html_markup.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <utility>

namespace varnoke::drivers {

namespace fs = std::filesystem;

namespace {

int fromHex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && fromHex(text[i + 1]) >= 0 &&
            fromHex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(fromHex(text[i + 1]) * 16 + fromHex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// A local path from an address: a plain path, or a file: URL. Other schemes would need
// the network, which linking never uses.
std::string localPath(std::string_view address) {
    const auto colon = address.find(':');
    const bool hasScheme =
        colon != std::string_view::npos && colon > 1 &&
        std::all_of(address.begin(), address.begin() + colon, [](char c) {
            return std::isalpha(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        });
    if (!hasScheme) return std::string(address);
    if (!equalsNoCase(address.substr(0, colon), "file"))
        throw EngineError(err::CannotOpen,
                          "Varnoke reads HTML tables from files on this computer only; the "
                          "address '" +
                              std::string(address) +
                              "' would have to be fetched from the network.");
    std::string_view rest = address.substr(colon + 1);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        // file://host/path: only the local host is this computer.
        const auto slash = rest.find('/');
        const auto host = rest.substr(0, slash);
        if (!host.empty() && !equalsNoCase(host, "localhost"))
            throw EngineError(err::CannotOpen, "Varnoke cannot read '" + std::string(address) +
                                                   "': it names another computer.");
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    return percentDecoded(rest);
}

// Limits that keep a hostile page from taking the machine: pages nest tables a few
// deep, and their spans add fewer blank cells than the page has bytes (a row holds at
// most a table's fields, so a span past them adds nothing).
constexpr int kMaxNesting = 512;
constexpr std::size_t kMinSpanCells = 1'000'000;
// How far below the innermost open element an end tag may find its own; past that it
// closes nothing on a real page, and the parser would search that far for each one.
constexpr int kEndTagReach = 64;

// A cell's text as a browser shows it: runs of white space count as one blank, blanks
// at the start of the cell or of a line are not shown, and a block starts a new line
// unless one has just begun. Preformatted text keeps its blanks and line ends.
class ShownText {
public:
    void append(std::string_view text) {
        for (char c : text) {
            const bool white = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
            if (preformatted_) {
                // Line ends are "\r\n", "\r" or "\n", as the parser would have them.
                if (std::exchange(returned_, c == '\r') && c == '\n') continue;
                if (c == '\r') c = '\n';
            } else if (white) {
                space_ = !out_.empty() && out_.back() != '\n';
                continue;
            }
            if (block_ && !out_.empty() && out_.back() != '\n') {
                out_ += '\n';
                space_ = false;
            }
            block_ = false;
            if (space_) out_ += ' ';
            space_ = false;
            out_ += c;
        }
    }
    void lineBreak() {
        out_ += '\n';
        space_ = block_ = false;
    }
    void blockEdge() { block_ = true; }
    // Between two cells of a nested table.
    void gap() { space_ = space_ || (!out_.empty() && out_.back() != '\n'); }
    void preformatted(bool on) {
        preformatted_ = on;
        returned_ = false;
    }
    std::size_t size() const { return out_.size(); }
    // The text, without line ends at its edges: a break first or last in a cell shows
    // no line of its own.
    std::string take() {
        space_ = block_ = false;
        preformatted(false);
        std::string text = std::exchange(out_, {});
        const auto first = text.find_first_not_of('\n');
        if (first == std::string::npos) return {};
        text.erase(text.find_last_not_of('\n') + 1);
        text.erase(0, first);
        return text;
    }

private:
    std::string out_;
    bool space_ = false;
    bool block_ = false;
    bool preformatted_ = false;
    bool returned_ = false; // the last character was a carriage return
};

// A cell that shows nothing but no-break spaces and line ends is blank.
bool showsNothing(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') continue;
        if (text.substr(i, 2) != "\xC2\xA0") return false;
        ++i;
    }
    return true;
}

// A span attribute's value as browsers read it: the whole number it starts with,
// within most; nothing where it starts with no number or a negative one.
std::optional<int> spanOf(const char* value, int most) {
    if (value == nullptr) return {};
    std::string_view text = trim(value);
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) text.remove_prefix(1);
    if (text.empty() || text[0] < '0' || text[0] > '9') return {};
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        n = std::min(n * 10 + (c - '0'), most);
    }
    if (negative && n != 0) return {};
    return n;
}

bool isSection(std::string_view tag) {
    return tag == "thead" || tag == "tbody" || tag == "tfoot";
}

// The tables of a page read as a browser builds them, from the parser's elements: a
// table opened outside a cell closes the one before, and the text of anything inside
// a cell (a nested table's too, its rows on lines of their own and its cells apart) is
// the cell's. Either finds which table a name means, or sends the rows of one table, a
// row at a time, its cells placed by their column and row spans; a row span ends with
// its row group (thead, tbody, tfoot or the rows between them) and rowspan=0 runs to it.
// A browser draws the rows of a table's first thead above all others and those of its
// first tfoot below, wherever they stand: a walk sends one of these parts.
class TableWalk {
public:
    TableWalk(std::string_view fileName, std::size_t pageSize)
        : fileName_(fileName), spanBudget_(std::max(kMinSpanCells, pageSize)) {}

    // Finds the table answering to name: its caption, its id or name attribute, or
    // "TableN" by position.
    void find(std::string_view name) { wanted_ = name; }
    // Which rows a walk sends. The first tfoot's rows are sent by a walk of their own
    // after the others; so are the first thead's before them, where they come after
    // other rows (else the body's walk sends them in place).
    enum class Part { Header, Body, Footer };

    // Sends each row of part of the table at position target; movedHeader tells that the
    // first thead's rows are a part of their own.
    void collect(std::size_t target, Part part, bool movedHeader,
                 std::function<void(CellRow&)> onRow) {
        target_ = target;
        part_ = part;
        movedHeader_ = movedHeader;
        onRow_ = std::move(onRow);
    }
    // The rows of the target's first tfoot, seen by any walk.
    std::size_t footerRows() const { return footerRows_; }
    // True where a walk of the body, not told of it, met the first thead's rows after
    // others: it ended there, the rows it sent being out of the order a browser draws.
    bool metMovedHeader() const { return metMovedHeader_; }

    std::size_t tables() const { return count_; }
    std::optional<std::size_t> found() const { return found_; }
    bool finished() const { return done_ || (!onRow_ && found_); }

    // attributes as the parser gives them: name, value, ..., null.
    void startTag(std::string_view tag, const char* const* attributes) {
        if (tag == "table") {
            if (Frame* f = top(); f && !f->cell && !f->caption) closeTable(*f);
            if (inTargetCell()) cell_.blockEdge();
            frames_.push_back({count_++});
            if (isTarget(frames_.back())) targetAt_ = frames_.size() - 1;
            if (!wanted_.empty() && !found_ &&
                (named(attributes, "id") || named(attributes, "name") ||
                 equalsNoCase("Table" + std::to_string(count_), wanted_)))
                found_ = frames_.back().index;
            return;
        }
        Frame* f = top();
        if (!f) return;
        const bool nested = !isTarget(*f) && inTargetCell();
        if (tag == "td" || tag == "th") {
            endCaption(*f);
            closeCell(*f);
            if (!f->row) openRow(*f);
            f->cell = true;
            f->colSpan = std::max(spanOf(attribute(attributes, "colspan"), 1000).value_or(1), 1);
            f->rowSpan = spanOf(attribute(attributes, "rowspan"), 65534).value_or(1);
            if (nested) cell_.gap();
        } else if (tag == "tr") {
            endCaption(*f);
            closeRow(*f);
            openRow(*f);
            if (nested) cell_.blockEdge();
        } else if (isSection(tag)) {
            endCaption(*f);
            endGroup(*f);
            if (tag == "thead" && !f->headerSeen) {
                f->part = Part::Header;
                f->headerSeen = true;
            } else if (tag == "tfoot" && !f->footerSeen) {
                f->part = Part::Footer;
                f->footerSeen = true;
            }
        } else if (tag == "caption") {
            endGroup(*f);
            f->caption = true;
            if (nested) cell_.blockEdge();
        } else if (tag == "br") {
            if (inTargetCell()) cell_.lineBreak();
        } else if (tag == "hr") {
            (inCaption() ? caption_ : cell_).blockEdge();
        } else if (tag == "pre") {
            if (inTargetCell()) {
                cell_.blockEdge();
                cell_.preformatted(++preformatted_ > 0);
            }
        }
    }

    void endTag(std::string_view tag) {
        if (tag == "table") {
            if (frames_.empty()) return;
            if (frames_.back().live) closeTable(frames_.back());
            frames_.pop_back();
            if (inTargetCell()) cell_.blockEdge();
            return;
        }
        Frame* f = top();
        if (!f) return;
        const bool nested = !isTarget(*f) && inTargetCell();
        if (tag == "td" || tag == "th") {
            closeCell(*f);
        } else if (tag == "tr") {
            closeRow(*f);
            if (nested) cell_.blockEdge();
        } else if (isSection(tag)) {
            endGroup(*f);
        } else if (tag == "caption") {
            endCaption(*f);
            if (nested) cell_.blockEdge();
        } else if (tag == "hr") {
            (inCaption() ? caption_ : cell_).blockEdge();
        } else if (tag == "pre") {
            if (inTargetCell() && preformatted_ > 0) {
                cell_.blockEdge();
                cell_.preformatted(--preformatted_ > 0);
            }
        }
    }

    void text(std::string_view text) {
        const bool caption = inCaption();
        if (!caption && !inTargetCell()) return;
        (caption ? caption_ : cell_).append(text);
        if (cell_.size() > 4 * kMaxMemoCharacters || caption_.size() > 4 * kMaxMemoCharacters)
            throwBadFormat(fileName_, "a cell in row " + std::to_string(rows_ + 1) +
                                          " is longer than " + std::to_string(kMaxMemoCharacters) +
                                          " characters, the most a memo holds");
    }

    // What is still open at the end of the page ends with it.
    void end() {
        while (!frames_.empty())
            endTag("table");
    }

private:
    // A table the parser holds open; one a browser has closed already stays, not live,
    // until the parser closes it too.
    struct Frame {
        std::size_t index;
        bool live = true;
        bool row = false;
        bool cell = false;
        bool caption = false;
        Part part = Part::Body;  // of the rows of the open group
        bool headerSeen = false; // a thead began
        bool footerSeen = false; // a tfoot began
        int colSpan = 1;
        int rowSpan = 1;
    };

    Frame* top() { return frames_.empty() || !frames_.back().live ? nullptr : &frames_.back(); }
    bool isTarget(const Frame& f) const { return onRow_ && f.index == target_; }
    // The target's cell takes the text of whatever is nested in it.
    bool inTargetCell() const {
        return targetAt_ && frames_.size() > *targetAt_ && frames_[*targetAt_].live &&
               isTarget(frames_[*targetAt_]) && frames_[*targetAt_].cell;
    }
    bool inCaption() const {
        return !wanted_.empty() && !frames_.empty() && frames_.back().live &&
               frames_.back().caption;
    }

    static const char* attribute(const char* const* attributes, std::string_view name) {
        for (auto a = attributes; a && a[0]; a += 2)
            if (name == a[0]) return a[1] ? a[1] : "";
        return nullptr;
    }
    bool named(const char* const* attributes, std::string_view name) const {
        const char* value = attribute(attributes, name);
        return value && equalsNoCase(trim(value), wanted_);
    }

    void endCaption(Frame& f) {
        if (!f.caption) return;
        f.caption = false;
        if (!wanted_.empty() && !found_ && equalsNoCase(caption_.take(), wanted_)) found_ = f.index;
        caption_.take();
    }

    void openRow(Frame& f) {
        f.row = true;
        if (!isTarget(f)) return;
        seen_ = widest_ = 0;
        row_.clear();
    }

    // The rows of a group end, and the spans down into them with them.
    void endGroup(Frame& f) {
        closeRow(f);
        const Part ended = std::exchange(f.part, Part::Body);
        if (!isTarget(f)) return;
        spannedUntil_.clear();
        // A part of its own ends with its group.
        if (ended != Part::Body && ended == part_) done_ = true;
    }

    // Columns that a cell of an earlier row still spans down into are blank here.
    void skipSpannedDown(std::size_t upTo) {
        while (seen_ < upTo && seen_ < spannedUntil_.size() && spannedUntil_[seen_] > rows_)
            placeBlanks(1);
    }

    // Past a table's fields a row keeps only their count, so blanks there cost nothing.
    void placeBlanks(std::size_t count) {
        const std::size_t stored =
            std::min(count, kMaxTableFields - std::min(row_.size(), kMaxTableFields));
        spanCells_ += stored;
        if (spanCells_ > spanBudget_)
            throwBadFormat(fileName_, "the spans of its cells add more than " +
                                          std::to_string(spanBudget_) +
                                          " blank cells, more than Varnoke reads from a page "
                                          "of its size");
        row_.insert(row_.end(), stored, Value::null());
        seen_ += count;
    }

    void closeCell(Frame& f) {
        if (!f.cell) return;
        f.cell = false;
        if (!isTarget(f)) return;
        preformatted_ = 0;
        std::string text = cell_.take();
        if (showsNothing(text)) text.clear();
        skipSpannedDown(spannedUntil_.size());
        const std::size_t first = seen_;
        const bool blank = text.empty();
        place(Value::text(std::move(text)), blank);
        // A spanning cell's value stands in its first column and row; the others are
        // blank.
        placeBlanks(static_cast<std::size_t>(f.colSpan - 1));
        if (f.rowSpan != 1) {
            const std::size_t last = std::min<std::size_t>(seen_, kMaxTableFields);
            if (spannedUntil_.size() < last) spannedUntil_.resize(last, 0);
            const std::size_t until =
                f.rowSpan == 0 ? kToGroupEnd : rows_ + static_cast<std::size_t>(f.rowSpan);
            for (std::size_t c = first; c < last; ++c)
                spannedUntil_[c] = until;
        }
    }

    // Past what a table holds only the count is kept, for the message.
    void place(Value v, bool blank) {
        ++seen_;
        if (row_.size() < kMaxTableFields) {
            row_.push_back(std::move(v));
        } else if (!blank) {
            widest_ = seen_;
        }
    }

    void closeRow(Frame& f) {
        closeCell(f);
        if (!f.row) return;
        f.row = false;
        if (!isTarget(f)) return;
        // Spans down into the row's last columns fill them. Spans ended are dropped
        // from the end, so that each costs its columns once.
        while (!spannedUntil_.empty() && spannedUntil_.back() <= rows_)
            spannedUntil_.pop_back();
        const std::size_t last = spannedUntil_.size();
        while (seen_ < last) {
            skipSpannedDown(last);
            if (seen_ < last) placeBlanks(1);
        }
        checkFieldCount(widest_, fileName_);
        ++rows_;
        Part part = f.part;
        if (part == Part::Footer) ++footerRows_;
        if (part == Part::Header && !movedHeader_) {
            if (bodyRows_ > 0) {
                metMovedHeader_ = done_ = true;
                return;
            }
            part = Part::Body;
        }
        if (part == Part::Body) ++bodyRows_;
        if (part == part_) onRow_(row_);
    }

    void closeTable(Frame& f) {
        endCaption(f);
        endGroup(f);
        if (isTarget(f)) done_ = true;
        f.live = false;
    }

    std::string_view fileName_;
    std::string_view wanted_;
    std::optional<std::size_t> found_;
    std::size_t target_ = 0;
    Part part_ = Part::Body;
    bool movedHeader_ = false;
    bool metMovedHeader_ = false;
    std::size_t footerRows_ = 0;
    std::size_t bodyRows_ = 0;            // of the target's body, so far
    std::optional<std::size_t> targetAt_; // the target's place in frames_
    std::function<void(CellRow&)> onRow_;
    std::vector<Frame> frames_; // innermost last
    std::size_t count_ = 0;
    ShownText cell_, caption_;
    CellRow row_;
    static constexpr std::size_t kToGroupEnd = SIZE_MAX;
    std::vector<std::size_t> spannedUntil_; // by column: the row a span down ends before
    std::size_t seen_ = 0, widest_ = 0, rows_ = 0;
    std::size_t spanCells_ = 0, spanBudget_;
    int preformatted_ = 0; // pre elements open in the target's cell
    bool done_ = false;
};

struct ParserFree {
    void operator()(htmlParserCtxtPtr parser) const { htmlFreeParserCtxt(parser); }
};

// libxml2's HTML parser in push mode, fed the cleaned page, its elements and texts
// passed on to a walk. No tree is built: the parser holds only its open elements.
// Given a page whose encoding is a guess, it watches the metas browsers still count
// (in the head, past the end of the walk if need be) for one that changes the encoding,
// and stops there.
class PageParser final : public MarkupSink {
public:
    PageParser(TableWalk& walk, std::string_view fileName, HtmlPageText* watched)
        : walk_(walk), fileName_(fileName), watched_(watched) {
        // The library's own tables are set up once, before any thread parses.
        [[maybe_unused]] static const bool ready = (xmlInitParser(), true);
        htmlSAXHandler sax{};
        sax.startElement = [](void* self, const xmlChar* name, const xmlChar** attributes) {
            static_cast<PageParser*>(self)->started(name, attributes);
        };
        sax.endElement = [](void* self, const xmlChar* name) {
            static_cast<PageParser*>(self)->guard([&] { self_(self).walk_.endTag(chars(name)); });
        };
        sax.characters = [](void* self, const xmlChar* text, int size) {
            static_cast<PageParser*>(self)->guard([&] {
                self_(self).walk_.text(
                    {reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)});
            });
        };
        sax.ignorableWhitespace = sax.characters;
        parser_.reset(
            htmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8));
        if (!parser_) throw std::bad_alloc();
        // The cleaned page holds no references to outside files, and its errors are
        // the page's own, which a browser passes over too.
        htmlCtxtUseOptions(parser_.get(), HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                              HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER |
                                              HTML_PARSE_NOIMPLIED);
        // The parser ends the document with its first element; a page's tables stand
        // side by side in a body that the cleaned page never closes.
        markup(kRoot);
    }

    void markup(std::string_view text) override {
        if (stopped_) return;
        htmlParseChunk(parser_.get(), text.data(), static_cast<int>(text.size()), 0);
        rethrow();
    }

    bool closes(std::string_view name) override {
        if (stopped_) return false;
        const int priority = endPriority(name);
        const htmlParserCtxt& p = *parser_;
        for (int i = p.nameNr - 1; i >= 0 && i >= p.nameNr - kEndTagReach; --i) {
            const std::string_view open = chars(p.nameTab[i]);
            if (open == name) return true;
            // The parser lets an end tag close only what ranks no higher than it.
            if (endPriority(open) > priority) return false;
        }
        return false;
    }

    void meta(const MetaTag& tag) override {
        if (!watched_ || watched_->certain() || !watched_->metaCounts(tag.at, tag.inHead)) return;
        const auto encoding = encodingOfMeta(tag.charset, tag.httpEquiv, tag.content);
        if (!encoding) return;
        changedTo_ = watched_->metaMet(*encoding);
        if (changedTo_ && !stopped_) stop();
    }

    // Past the head and the first kilobyte no meta counts: the guess stands.
    void pastHead(std::size_t at) override {
        if (watched_ && !watched_->certain() && !watched_->metaCounts(at, false))
            watched_->settle();
    }

    bool wantsText() const override { return !stopped_; }

    bool stopped() const override {
        return stopped_ && (changedTo_ || !watched_ || watched_->certain());
    }

    // The encoding a meta changed the page's to.
    std::optional<std::string_view> changedTo() const { return changedTo_; }

    void finish() {
        if (!stopped_) htmlParseChunk(parser_.get(), nullptr, 0, 1);
        rethrow();
    }

private:
    static constexpr std::string_view kRoot = "<html><body>";
    static constexpr int kRootDepth = 2;

    static PageParser& self_(void* self) { return *static_cast<PageParser*>(self); }
    static std::string_view chars(const xmlChar* text) {
        return reinterpret_cast<const char*>(text);
    }

    // The parser's own ranks of the elements it is given.
    static int endPriority(std::string_view name) {
        if (name == "td" || name == "th") return 160;
        if (name == "tr") return 170;
        if (isSection(name)) return 180;
        if (name == "table") return 190;
        return 100;
    }

    void started(const xmlChar* name, const xmlChar** attributes) {
        guard([&] {
            if (parser_->nameNr - kRootDepth > kMaxNesting)
                throwBadFormat(fileName_, "its elements nest more than " +
                                              std::to_string(kMaxNesting) +
                                              " deep, more than Varnoke reads");
            walk_.startTag(chars(name), reinterpret_cast<const char* const*>(attributes));
        });
    }

    // An error may not pass through the parser's C frames: it is kept, the parser
    // stopped, and the error raised again once the parser has returned.
    template <typename F> void guard(F&& f) {
        if (stopped_) return;
        try {
            f();
            if (walk_.finished()) stop();
        } catch (...) {
            failure_ = std::current_exception();
            stop();
        }
    }

    void stop() {
        stopped_ = true;
        xmlStopParser(parser_.get());
    }

    void rethrow() {
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    }

    TableWalk& walk_;
    std::string fileName_;
    HtmlPageText* watched_;
    std::optional<std::string_view> changedTo_;
    std::unique_ptr<htmlParserCtxt, ParserFree> parser_;
    bool stopped_ = false;
    std::exception_ptr failure_;
};

class HtmlReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const fs::path given = localPath(source.database);
        std::error_code ec;
        fs::path page;
        std::string tableName;
        if (fs::is_directory(given.empty() ? fs::path(".") : given, ec)) {
            // The page is the source table inside the folder; its first table is read.
            LinkSource inFolder = source;
            inFolder.database = given.string();
            page = findTableFile(inFolder, {".html", ".htm"});
        } else {
            page = findLinkedFile({source.connect, given.string(), {}});
            // A link that names the page as its table, as a file-type link names its
            // file, asks for no table of it.
            if (!equalsNoCase(source.sourceTable, fileNameOf(page))) tableName = source.sourceTable;
        }

        const MappedFile bytes(page);
        readMapped({&bytes},
                   [&] { readHtmlImage(bytes.bytes(), fileNameOf(page), tableName, sink); });
    }
};

// The first pass over a page met a meta that changes its encoding: nothing was sent,
// and the reading begins again on the page read in it.
struct EncodingChanged {
    std::string_view encoding;
};

void readTables(HtmlPageText& page, std::size_t size, const std::string& name,
                std::string_view tableName, ForeignTableSink& sink) {
    auto pass = [&](TableWalk& walk) {
        const bool first = !page.certain();
        PageParser parser(walk, name, first ? &page : nullptr);
        cleanHtml(page.text(), parser);
        parser.finish();
        if (const auto encoding = parser.changedTo()) throw EncodingChanged{*encoding};
        page.settle();
        walk.end();
    };
    std::size_t target = 0;
    std::string label = "Table1";
    if (!tableName.empty()) {
        TableWalk finder(name, size);
        finder.find(tableName);
        pass(finder);
        // A name is the user's choice of table: another table in its place would be
        // linked under a name it does not have. A page with no table says so below.
        if (!finder.found() && finder.tables() > 0)
            throw EngineError(err::TableNotFound, "Could not find the table '" +
                                                      std::string(tableName) + "' in the page '" +
                                                      name + "'.");
        if (finder.found()) {
            target = *finder.found();
            label = tableName;
        }
    }
    // The page is read twice, as a text file is: once to type the columns, once to
    // send the rows (each time once more for the rows of a first thead after others, and
    // of a first tfoot, where the table has them); only a row is held at a time.
    bool movedHeader = false;
    bool header = true;
    // False where the body's walk met a first thead after other rows: the walk is made
    // again, with the header's rows first.
    auto walk = [&](const std::function<void(CellRow&)>& onRow) {
        header = true;
        if (movedHeader) {
            TableWalk heading(name, size);
            heading.collect(target, TableWalk::Part::Header, true, onRow);
            pass(heading);
        }
        TableWalk rows(name, size);
        rows.collect(target, TableWalk::Part::Body, movedHeader, onRow);
        pass(rows);
        if (rows.tables() == 0)
            throw EngineError(err::TableNotFound, "The page '" + name + "' holds no table.");
        if (rows.metMovedHeader()) {
            movedHeader = true;
            return false;
        }
        if (rows.footerRows() > 0) {
            TableWalk footer(name, size);
            footer.collect(target, TableWalk::Part::Footer, movedHeader, onRow);
            pass(footer);
        }
        return true;
    };
    std::optional<GridTyper> typer;
    do {
        typer.emplace(CellSource::Text, name);
    } while (!walk([&](CellRow& row) {
        if (std::exchange(header, false)) {
            typer->header(row);
        } else {
            typer->observe(row);
        }
    }));
    std::vector<Value> values;
    bool begun = false;
    walk([&](CellRow& row) {
        if (std::exchange(header, false)) {
            typer->header(row);
            sink.begin(typer->fields(emptyTableMessage("table", label, name)));
            begun = true;
        } else if (typer->convert(row, values)) {
            sink.row(values);
        }
    });
    if (!begun) sink.begin(typer->fields(emptyTableMessage("table", label, name)));
}

} // namespace

void readHtmlImage(ByteSpan bytes, std::string_view fileName, std::string_view tableName,
                   ForeignTableSink& sink) {
    const std::string name(fileName);
    std::optional<HtmlPageText> page;
    page.emplace(bytes);
    while (true) {
        try {
            readTables(*page, bytes.size(), name, tableName, sink);
            return;
        } catch (const EncodingChanged& change) {
            page.emplace(bytes, change.encoding); // certain: this happens once
        }
    }
}

const ForeignReader& htmlReader() {
    static const HtmlReader reader;
    return reader;
}

} // namespace varnoke::drivers
