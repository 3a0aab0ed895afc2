#include "drivers/cell_grid.h"
#include "drivers/field_names.h"
#include "drivers/html_depth.h"
#include "drivers/html_format.h"
#include "drivers/html_tags.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

#include <algorithm>
#include <functional>
#include <memory>
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

// Limits that keep a hostile page from taking the machine: pages nest a few dozen
// deep, and spans fill a few blanks each.
constexpr std::size_t kMaxNesting = 512;
constexpr std::size_t kMaxSpanCells = 100'000;

// A cell's text as a browser shows it: runs of white space count as one blank, and
// blanks at the start of the cell or of a line are not shown.
class ShownText {
public:
    void append(std::string_view decoded) {
        for (char c : decoded) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                space_ = !out_.empty() && out_.back() != '\n';
                continue;
            }
            if (space_) out_ += ' ';
            space_ = false;
            out_ += c;
        }
    }
    void lineBreak() {
        out_ += '\n';
        space_ = false;
    }
    std::size_t size() const { return out_.size(); }
    std::string take() {
        space_ = false;
        return std::exchange(out_, {});
    }

private:
    std::string out_;
    bool space_ = false;
};

bool isSection(std::string_view tag) {
    return tag == "thead" || tag == "tbody" || tag == "tfoot";
}

// The tables of a page walked as a browser builds them, without the tree: a cell or
// row closes the one before, a table opened outside a cell closes the one before, and
// the text of anything inside a cell (a nested table's too) is the cell's. Either
// finds which table a name means, or sends the rows of one table, a row at a time.
class TableWalk final : public HtmlVisitor {
public:
    TableWalk(std::string_view fileName, bool utf8) : fileName_(fileName) {
        // Opening a conversion is dear; a UTF-8 page needs none.
        if (!utf8) windows_.emplace("CP1252");
    }

    // Finds the table answering to name: its caption, its id or name attribute, or
    // "TableN" by position.
    void find(std::string_view name) { wanted_ = name; }
    // Sends each row of the table at position target.
    void collect(std::size_t target, std::function<void(CellRow&)> onRow) {
        target_ = target;
        onRow_ = std::move(onRow);
    }

    std::size_t tables() const { return count_; }
    std::optional<std::size_t> found() const { return found_; }

    void startTag(std::string_view tag, std::string_view attributes, bool selfClosing) override {
        if (tag == "script" || tag == "style") {
            if (!selfClosing) ++hidden_;
            return;
        }
        if (tag == "table") {
            if (!frames_.empty() && !top().cell && !top().caption) closeTable();
            frames_.push_back({count_++});
            if (!wanted_.empty() && !found_ &&
                (named(attributes, "id") || named(attributes, "name") ||
                 equalsNoCase("Table" + std::to_string(count_), wanted_)))
                found_ = frames_.back().index;
            return;
        }
        if (frames_.empty()) return;
        Frame& f = top();
        if (tag == "td" || tag == "th") {
            endCaption(f);
            closeCell(f);
            if (!f.row) openRow(f);
            f.cell = true;
            const auto span = attributeOf(attributes, "colspan");
            f.span = std::clamp(span ? std::atoi(span->c_str()) - 1 : 0, 0, 1000);
        } else if (tag == "tr") {
            endCaption(f);
            closeRow(f);
            openRow(f);
        } else if (isSection(tag)) {
            endCaption(f);
            closeRow(f);
        } else if (tag == "caption") {
            closeRow(f);
            f.caption = true;
        } else if (tag == "br" && shown()) {
            cell_.lineBreak();
        }
    }

    void endTag(std::string_view tag) override {
        if (tag == "script" || tag == "style") {
            if (hidden_ > 0) --hidden_;
            return;
        }
        if (frames_.empty()) return;
        Frame& f = top();
        if (tag == "table") {
            closeTable();
        } else if (tag == "td" || tag == "th") {
            closeCell(f);
        } else if (tag == "tr" || isSection(tag)) {
            closeRow(f);
        } else if (tag == "caption") {
            endCaption(f);
        } else if (tag == "br" && shown()) {
            cell_.lineBreak(); // "</br>" breaks a line in every browser
        }
    }

    void text(std::string_view raw) override {
        if (hidden_ > 0 || frames_.empty()) return;
        const bool inCaption = !wanted_.empty() && top().caption;
        if (!inCaption && !inTargetCell()) return;
        decoded_.clear();
        if (windows_) {
            appendDecoded(windows_->toUtf8(raw), decoded_);
        } else {
            appendDecoded(raw, decoded_);
        }
        (inCaption ? caption_ : cell_).append(decoded_);
        if (cell_.size() > 4 * kMaxMemoCharacters || caption_.size() > 4 * kMaxMemoCharacters)
            throwBadFormat(fileName_, "a cell in row " + std::to_string(rows_ + 1) +
                                          " is longer than " + std::to_string(kMaxMemoCharacters) +
                                          " characters, the most a memo holds");
    }

    bool finished() const override { return done_ || (!onRow_ && found_); }

    // What is still open at the end of the page ends with it.
    void end() {
        while (!frames_.empty())
            closeTable();
    }

private:
    struct Frame {
        std::size_t index;
        bool row = false;
        bool cell = false;
        bool caption = false;
        int span = 0;
    };

    Frame& top() { return frames_.back(); }
    bool isTarget(const Frame& f) const { return onRow_ && f.index == target_; }
    bool inTargetCell() const {
        // The target's cell takes the text of whatever is nested in it.
        return std::any_of(frames_.begin(), frames_.end(),
                           [&](const Frame& f) { return isTarget(f) && f.cell; });
    }
    bool shown() const { return hidden_ == 0 && inTargetCell(); }

    bool named(std::string_view attributes, std::string_view attribute) const {
        const auto value = attributeOf(attributes, attribute);
        return value && equalsNoCase(trim(*value), wanted_);
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

    void closeCell(Frame& f) {
        if (!f.cell) return;
        f.cell = false;
        if (!isTarget(f)) return;
        std::string text = cell_.take();
        const bool blank = text.empty();
        place(Value::text(std::move(text)), blank);
        spanCells_ += static_cast<std::size_t>(f.span);
        if (spanCells_ > kMaxSpanCells)
            throwBadFormat(fileName_, "the spans of its cells add more than " +
                                          std::to_string(kMaxSpanCells) +
                                          " blank cells, more than Varnoke reads");
        // A spanning cell's value stands in its first column; the others are blank.
        for (int k = 0; k < f.span; ++k)
            place(Value::null(), true);
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
        checkFieldCount(widest_, fileName_);
        ++rows_;
        onRow_(row_);
    }

    void closeTable() {
        Frame& f = top();
        endCaption(f);
        closeRow(f);
        if (isTarget(f)) done_ = true;
        frames_.pop_back();
    }

    std::string_view fileName_;
    std::optional<CodePage> windows_; // for a page not in UTF-8
    std::string_view wanted_;
    std::optional<std::size_t> found_;
    std::size_t target_ = 0;
    std::function<void(CellRow&)> onRow_;
    std::vector<Frame> frames_;
    std::size_t count_ = 0;
    int hidden_ = 0; // inside script or style
    ShownText cell_, caption_;
    std::string decoded_;
    CellRow row_;
    std::size_t seen_ = 0, widest_ = 0, rows_ = 0, spanCells_ = 0;
    bool done_ = false;
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
            tableName = source.sourceTable;
        }

        const MappedFile bytes(page);
        readMapped({&bytes},
                   [&] { readHtmlImage(bytes.bytes(), fileNameOf(page), tableName, sink); });
    }
};

} // namespace

void readHtmlImage(ByteSpan bytes, std::string_view fileName, std::string_view tableName,
                   ForeignTableSink& sink) {
    const std::string name(fileName);
    const std::string_view html(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // A page not in UTF-8 came from Windows; its tags are ASCII either way.
    const bool utf8 = isValidUtf8(html);
    if (htmlNestingDepth(html, kMaxNesting) > kMaxNesting)
        throwBadFormat(name, "its elements nest more than " + std::to_string(kMaxNesting) +
                                 " deep, more than Varnoke reads");
    std::size_t target = 0;
    std::string label = "Table1";
    if (!tableName.empty()) {
        TableWalk finder(name, utf8);
        finder.find(tableName);
        walkHtml(html, finder);
        finder.end();
        if (finder.found()) {
            target = *finder.found();
            label = tableName;
        }
    }
    // The page is walked twice, as a text file is read: once to type the columns, once
    // to send the rows; only a row is held at a time.
    GridTyper typer(CellSource::Text, name);
    bool header = true;
    auto walk = [&](const std::function<void(CellRow&)>& onRow) {
        header = true;
        TableWalk rows(name, utf8);
        rows.collect(target, onRow);
        walkHtml(html, rows);
        rows.end();
        if (rows.tables() == 0)
            throw EngineError(err::TableNotFound, "The page '" + name + "' holds no table.");
    };
    walk([&](CellRow& row) {
        if (std::exchange(header, false)) {
            typer.header(row);
        } else {
            typer.observe(row);
        }
    });
    std::vector<Value> values;
    bool begun = false;
    walk([&](CellRow& row) {
        if (std::exchange(header, false)) {
            typer.header(row);
            sink.begin(typer.fields(emptyTableMessage("table", label, name)));
            begun = true;
        } else if (typer.convert(row, values)) {
            sink.row(values);
        }
    });
    if (!begun) sink.begin(typer.fields(emptyTableMessage("table", label, name)));
}

const ForeignReader& htmlReader() {
    static const HtmlReader reader;
    return reader;
}

} // namespace varnoke::drivers
