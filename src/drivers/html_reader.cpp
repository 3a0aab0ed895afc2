#include "drivers/cell_grid.h"
#include "drivers/html_depth.h"
#include "drivers/html_format.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

#include <gumbo.h>

#include <algorithm>
#include <memory>

namespace varnoke::drivers {

namespace fs = std::filesystem;

namespace {

struct GumboOutputDeleter {
    void operator()(GumboOutput* output) const {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};
using GumboDocument = std::unique_ptr<GumboOutput, GumboOutputDeleter>;

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

constexpr char kLineBreak = '\x1F';

void collectText(const GumboNode* node, std::string& out) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
        node->type == GUMBO_NODE_CDATA) {
        out += node->v.text.text;
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT) return;
    // A line break survives the white-space folding below, as a browser keeps it.
    if (node->v.element.tag == GUMBO_TAG_BR) out += kLineBreak;
    if (node->v.element.tag == GUMBO_TAG_SCRIPT || node->v.element.tag == GUMBO_TAG_STYLE) return;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        collectText(static_cast<const GumboNode*>(children.data[i]), out);
}

// Runs of white space count as one blank, as a browser shows them.
std::string cellText(const GumboNode* node) {
    std::string raw;
    collectText(node, raw);
    std::string out;
    bool space = false;
    for (char c : raw) {
        if (c == kLineBreak) {
            out += '\n';
            space = false;
            continue;
        }
        // Blanks at the start of the cell or of a line are not shown.
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            space = !out.empty() && out.back() != '\n';
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

void findTables(const GumboNode* node, std::vector<const GumboNode*>& tables) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) return;
    const GumboVector& children =
        node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TABLE)
        tables.push_back(node);
    for (unsigned i = 0; i < children.length; ++i)
        findTables(static_cast<const GumboNode*>(children.data[i]), tables);
}

const GumboNode* childElement(const GumboNode* node, GumboTag tag) {
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag) return child;
    }
    return nullptr;
}

std::string attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? std::string(trim(a->value)) : std::string();
}

// A table answers to its caption, its id or name attribute, or "TableN" by position.
bool tableIsNamed(const GumboNode* table, std::size_t position, std::string_view name) {
    if (const auto* caption = childElement(table, GUMBO_TAG_CAPTION);
        caption && equalsNoCase(cellText(caption), name))
        return true;
    return equalsNoCase(attribute(table, "id"), name) ||
           equalsNoCase(attribute(table, "name"), name) ||
           equalsNoCase("Table" + std::to_string(position + 1), name);
}

// Limits that keep a hostile page from taking the machine: pages nest a few dozen
// deep, and spans fill a few blanks each.
constexpr std::size_t kMaxNesting = 512;
constexpr std::size_t kMaxSpanCells = 100'000;

struct RowCollector {
    std::string_view fileName;
    std::vector<CellRow> grid;
    std::size_t spanCells = 0; // blanks added for spans so far

    void collect(const GumboNode* node);
};

void RowCollector::collect(const GumboNode* node) {
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type != GUMBO_NODE_ELEMENT) continue;
        const GumboTag tag = child->v.element.tag;
        if (tag == GUMBO_TAG_THEAD || tag == GUMBO_TAG_TBODY || tag == GUMBO_TAG_TFOOT) {
            collect(child);
            continue;
        }
        if (tag != GUMBO_TAG_TR) continue;
        CellRow row;
        const GumboVector& cells = child->v.element.children;
        for (unsigned k = 0; k < cells.length; ++k) {
            const auto* cell = static_cast<const GumboNode*>(cells.data[k]);
            if (cell->type != GUMBO_NODE_ELEMENT ||
                (cell->v.element.tag != GUMBO_TAG_TD && cell->v.element.tag != GUMBO_TAG_TH))
                continue;
            row.push_back(Value::text(cellText(cell)));
            // A spanning cell's value stands in its first column; the others are blank.
            const std::string span = attribute(cell, "colspan");
            const int extra = std::clamp(span.empty() ? 0 : std::atoi(span.c_str()) - 1, 0, 1000);
            spanCells += static_cast<std::size_t>(extra);
            if (spanCells > kMaxSpanCells)
                throwBadFormat(fileName, "the spans of its cells add more than " +
                                             std::to_string(kMaxSpanCells) +
                                             " blank cells, more than Varnoke reads");
            row.insert(row.end(), static_cast<std::size_t>(extra), Value::null());
        }
        grid.push_back(std::move(row));
    }
}

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
    std::string html(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!isValidUtf8(html)) html = CodePage("CP1252").toUtf8(html);
    if (htmlNestingDepth(html, kMaxNesting) > kMaxNesting)
        throwBadFormat(name, "its elements nest more than " + std::to_string(kMaxNesting) +
                                 " deep, more than Varnoke reads");
    const GumboDocument document(
        gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()));
    if (!document) throwBadFormat(name, "it could not be parsed as HTML");

    std::vector<const GumboNode*> tables;
    findTables(document->document, tables);
    if (tables.empty())
        throw EngineError(err::TableNotFound, "The page '" + name + "' holds no table.");
    const GumboNode* chosen = tables.front();
    std::string label = "Table1";
    for (std::size_t i = 0; i < tables.size() && !tableName.empty(); ++i)
        if (tableIsNamed(tables[i], i, tableName)) {
            chosen = tables[i];
            label = tableName;
            break;
        }
    RowCollector rows{name, {}, 0};
    rows.collect(chosen);
    sendGrid(std::move(rows.grid), CellSource::Text, emptyTableMessage("table", label, name), sink);
}

const ForeignReader& htmlReader() {
    static const HtmlReader reader;
    return reader;
}

} // namespace varnoke::drivers
