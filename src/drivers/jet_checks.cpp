#include "drivers/jet_checks.h"

#include "drivers/reader_support.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

namespace varnoke::drivers::jet {

namespace {

using Page = std::vector<std::uint8_t>;

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

std::size_t pageSize(const MdbHandle* mdb) {
    return static_cast<std::size_t>(mdb->fmt->pg_size);
}
bool isJet3(const MdbHandle* mdb) {
    return mdb->f->jet_version == MDB_VER_JET3;
}

// A page read into the second buffer and copied out, so the row in the first stays.
// Empty when the page lies outside the file or cannot be read.
Page readPage(MdbHandle* mdb, std::uint64_t page, const Place& place) {
    const std::size_t size = pageSize(mdb);
    if (page >= place.pages || size > sizeof mdb->alt_pg_buf) return {};
    if (mdb_read_alt_pg(mdb, static_cast<unsigned long>(page)) != static_cast<ssize_t>(size))
        return {};
    return Page(mdb->alt_pg_buf, mdb->alt_pg_buf + size);
}

constexpr std::uint8_t kDefinitionPage = 0x02;
constexpr std::uint8_t kFixedFlag = 0x01, kAutoLongFlag = 0x04, kAutoGuidFlag = 0x40,
                       kHyperlinkFlag = 0x80;

// The bytes a fixed-size type takes; 0 for a type of variable size, nullopt for no type
// Jet writes.
std::optional<unsigned> typeSize(int type) {
    switch (type) {
    case MDB_BOOL: // kept in the null mask
    case MDB_BINARY:
    case MDB_TEXT:
    case MDB_OLE:
    case MDB_MEMO:
    case MDB_COMPLEX:
        return 0;
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return std::nullopt;
    }
}

// A memo or OLE value is always a pointer in the variable area; a text or binary column
// may also be fixed, its declared bytes held in the fixed area.
bool variableOnly(int type) {
    return type == MDB_OLE || type == MDB_MEMO;
}

// The definition as libmdb reads it: its first page whole, then each following page
// after its 8-byte head, so that offsets run on across pages as libmdb's do.
struct Definition {
    Page bytes;
    std::size_t end = 0; // where the definition's own length says it ends
};

Definition gather(MdbHandle* mdb, std::uint32_t first, const Place& place) {
    Definition def;
    def.bytes = readPage(mdb, first, place);
    if (def.bytes.empty() || def.bytes[0] != kDefinitionPage) place.fail("has no definition page");
    const std::size_t size = pageSize(mdb);
    std::uint32_t next = u32(def.bytes, 4);
    // 255 columns with their names fill fewer pages than this; a chain that runs on
    // (or loops) is not followed further, and what it must hold is then not in it.
    constexpr int kMostPages = 32;
    for (int follow = 1; next != 0 && follow < kMostPages; ++follow) {
        const Page more = readPage(mdb, next, place);
        if (more.empty() || more[0] != kDefinitionPage)
            place.fail("has a definition that goes on to a page that is none of it");
        def.bytes.insert(def.bytes.end(), more.begin() + 8, more.end());
        next = u32(more, 4);
    }
    // The length is only known to count within one page; a longer definition is
    // held to the pages it spans.
    def.end = def.bytes.size() == size ? std::min<std::size_t>(u32(def.bytes, 8), size)
                                       : def.bytes.size();
    return def;
}

struct Entry {
    int type;
    std::uint16_t number; // in the row, deleted columns counted
    std::uint16_t varNumber;
    std::uint8_t flags;
    std::uint16_t fixedOffset;
    std::uint16_t size;
};

void checkEntry(const Entry& e, bool jet3, const Place& place) {
    const auto size = typeSize(e.type);
    if (!size) place.fail("has a column of no type Jet knows");
    const bool fixed = e.flags & kFixedFlag;
    if ((fixed && variableOnly(e.type)) || (!fixed && e.type == MDB_BOOL) ||
        ((e.flags & kAutoLongFlag) && e.type != MDB_LONGINT && e.type != MDB_COMPLEX) ||
        ((e.flags & kAutoGuidFlag) && e.type != MDB_REPID && e.type != MDB_COMPLEX) ||
        ((e.flags & kHyperlinkFlag) && e.type != MDB_MEMO && e.type != MDB_COMPLEX))
        place.fail("has a column whose flags do not fit its type");
    const unsigned longest = jet3 ? 255 : 510;
    const bool sizeFits = *size != 0             ? e.size == *size
                          : e.type == MDB_TEXT   ? e.size >= 1 && e.size <= longest
                          : e.type == MDB_BINARY ? e.size <= longest
                                                 : true;
    if (!sizeFits) place.fail("has a column whose size does not fit its type");
}

// The fixed columns (a boolean's value is in the null mask) may not share a byte.
void checkFixedPlaces(const std::vector<Entry>& entries, const Place& place) {
    std::vector<std::pair<unsigned, unsigned>> spans;
    for (const auto& e : entries)
        if ((e.flags & kFixedFlag) && e.type != MDB_BOOL)
            spans.emplace_back(e.fixedOffset, e.fixedOffset + e.size);
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second)
            place.fail("has fixed columns laid over one another");
}

} // namespace

void Place::fail(const std::string& what) const {
    throwBadFormat(file, "the table '" + table + "' " + what + " (the file may be damaged)");
}

void checkDefinition(MdbHandle* mdb, std::uint32_t page, const Place& place) {
    const MdbFormatConstants& fmt = *mdb->fmt;
    const bool jet3 = isJet3(mdb);
    const Definition def = gather(mdb, page, place);
    const std::span<const std::uint8_t> b(def.bytes);
    const unsigned columns = u16(b, fmt.tab_num_cols_offset);
    const unsigned variable = u16(b, fmt.tab_num_cols_offset - 2);
    const unsigned maxColumns = u16(b, fmt.tab_num_cols_offset - 4);
    if (columns == 0 || columns > maxColumns)
        place.fail("has a definition whose column counts disagree");

    const std::uint64_t start =
        fmt.tab_cols_start_offset +
        std::uint64_t{u32(b, fmt.tab_num_ridxs_offset)} * fmt.tab_ridx_entry_size;
    std::uint64_t at = start + std::uint64_t{columns} * fmt.tab_col_entry_size;
    const std::size_t nameWidth = jet3 ? 1 : 2;
    unsigned named = 0;
    for (; named < columns && at + nameWidth <= def.end; ++named)
        at += nameWidth + (jet3 ? b[at] : u16(b, at));
    if (named < columns || at > def.end)
        place.fail("has a definition whose columns run past its end");

    std::vector<Entry> entries;
    // Deleting a column keeps its places in the records until the file is compacted, so
    // the variable count is the slots of the var table, at least the variable columns
    // left: each must have a slot of its own below it.
    std::vector<bool> numberSeen(maxColumns), varSeen(variable);
    for (unsigned i = 0; i < columns; ++i) {
        const auto e = b.subspan(start + std::size_t{i} * fmt.tab_col_entry_size);
        const Entry entry{e[0],
                          u16(e, fmt.col_num_offset),
                          u16(e, fmt.tab_col_offset_var),
                          e[fmt.col_flags_offset],
                          u16(e, fmt.tab_col_offset_fixed),
                          u16(e, fmt.col_size_offset)};
        checkEntry(entry, jet3, place);
        if (entry.number >= maxColumns || numberSeen[entry.number])
            place.fail("has two columns in one place of its records");
        numberSeen[entry.number] = true;
        if (!(entry.flags & kFixedFlag)) {
            if (entry.varNumber >= variable)
                place.fail("has a definition whose count of variable columns disagrees with "
                           "its columns");
            if (varSeen[entry.varNumber])
                place.fail("has two variable columns in one place of its records");
            varSeen[entry.varNumber] = true;
        }
        entries.push_back(entry);
    }
    checkFixedPlaces(entries, place);
}

namespace {

// The catalog's own definition, which is always on page 2; the entry must outlive the
// table read from it.
std::unique_ptr<MdbTableDef, TableFreer> catalogTable(MdbHandle* mdb, MdbCatalogEntry& catalog,
                                                      const Place& place) {
    catalog.mdb = mdb;
    catalog.object_type = MDB_TABLE;
    catalog.table_pg = 2;
    std::unique_ptr<MdbTableDef, TableFreer> table(mdb_read_table(&catalog));
    if (!table || !table->usage_map || !mdb_read_columns(table.get()))
        throwBadFormat(place.file, "its catalog cannot be read (the file may be damaged)");
    return table;
}

} // namespace

void checkCatalogMap(MdbHandle* mdb, const Place& place) {
    MdbCatalogEntry catalog{};
    catalogTable(mdb, catalog, place);
}

void checkUsageMap(const MdbTableDef& table, const Place& place) {
    if (!table.usage_map) place.fail("has a usage map that cannot be read");
}

void checkCatalog(MdbHandle* mdb, const Place& place) {
    MdbCatalogEntry catalog{};
    const auto table = catalogTable(mdb, catalog, place);
    const unsigned held = table->num_rows;
    unsigned read = 0;
    mdb_rewind_table(table.get());
    while (read < held && mdb_fetch_row(table.get()))
        ++read;
    if (read < held)
        throwBadFormat(place.file, "its catalog holds " + std::to_string(held) +
                                       " objects but only " + std::to_string(read) +
                                       " could be read (the file may be damaged)");
}

std::optional<RowLayout> rowLayout(const MdbHandle* mdb, const MdbTableDef& table) {
    if (table.cur_row == 0 || mdb->cur_pg != table.cur_phys_pg) return std::nullopt;
    const std::size_t size = pageSize(mdb);
    if (size > sizeof mdb->pg_buf) return std::nullopt;
    const std::span<const std::uint8_t> page(mdb->pg_buf, size);
    const std::size_t row = table.cur_row - 1;
    const std::size_t slot = mdb->fmt->row_count_offset + 2 + 2 * row;
    if (slot + 2 > size) return std::nullopt;
    const unsigned offset = u16(page, slot);
    if (offset & 0x8000) return std::nullopt;
    const std::size_t start = offset & 0x1FFF;
    const bool jet3 = isJet3(mdb);
    const std::size_t width = jet3 ? 1 : 2;
    if (start + width > size) return std::nullopt;
    RowLayout layout;
    layout.columns = jet3 ? page[start] : u16(page, start);
    layout.headerBytes = width;
    // Jet 3 keeps one-byte offsets behind a jump table; its fixed area is left to the
    // definition's checks.
    if (jet3) return layout;
    const std::size_t end = row == 0 ? size : u16(page, slot - 2) & 0x1FFF;
    const std::size_t nullMask = (layout.columns + 7) / 8;
    if (end > size || end < start + width + nullMask) return std::nullopt;
    const std::size_t tail = end - nullMask; // where the null mask begins
    if (table.num_var_cols == 0) {
        layout.fixedEnd = tail - start;
        return layout;
    }
    if (tail < start + width + 2) return std::nullopt;
    const std::size_t varCount = u16(page, tail - 2);
    // The var table runs down from its count, then the end-of-data offset.
    if (tail - start < width + 2 + 2 * (varCount + 1)) return std::nullopt;
    layout.fixedEnd = u16(page, tail - 4);
    return layout;
}

void checkRowPlace(const MdbHandle* mdb, const MdbTableDef& table, const Place& place) {
    if (table.cur_row == 0 || mdb->cur_pg != table.cur_phys_pg) return;
    const std::size_t size = pageSize(mdb);
    if (size > sizeof mdb->pg_buf) return;
    const std::span<const std::uint8_t> page(mdb->pg_buf, size);
    const std::size_t counted = mdb->fmt->row_count_offset;
    const std::size_t row = table.cur_row - 1;
    const std::size_t slot = counted + 2 + 2 * row;
    const std::size_t rowTableEnd = counted + 2 + 2 * std::size_t{u16(page, counted)};
    if (slot + 2 > rowTableEnd || rowTableEnd > size)
        place.fail("has a record outside its page's row table");
    const unsigned offset = u16(page, slot);
    // A row that only points to its record on another page is placed there.
    if (offset & 0x8000) return;
    const std::size_t start = offset & 0x1FFF;
    const std::size_t end = row == 0 ? size : u16(page, slot - 2) & 0x1FFF;
    if (start < rowTableEnd || start >= end || end > size)
        place.fail("has a record that lies outside its place in the page");
}

void checkFixedColumns(const MdbTableDef& table, const RowLayout& row, const Place& place) {
    if (!row.fixedEnd) return;
    for (unsigned i = 0; i < table.num_cols; ++i) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table.columns, i));
        if (!col->is_fixed || col->col_type == MDB_BOOL ||
            static_cast<unsigned>(col->col_num) >= row.columns)
            continue;
        if (row.headerBytes + static_cast<std::size_t>(col->fixed_offset) +
                static_cast<std::size_t>(col->col_size) >
            *row.fixedEnd)
            place.fail("has a record whose fixed fields run past their place");
    }
}

namespace {

constexpr std::uint8_t kInline = 0x80, kOnePage = 0x40, kChain = 0x00;
constexpr std::size_t kHeaderBytes = 12;

// The long value's row that `pointer` (page << 8 | row) names, as its bytes.
std::span<const std::uint8_t> longValueRow(MdbHandle* mdb, std::uint32_t pointer, Page& page,
                                           const Place& place) {
    const std::uint32_t number = pointer >> 8, row = pointer & 0xFF;
    page = readPage(mdb, number, place);
    if (number == 0 || page.empty()) place.fail("has a memo that points outside the file");
    if (page[0] != 0x01 || std::memcmp(page.data() + 4, "LVAL", 4) != 0)
        place.fail("has a memo that points to a page of no long values");
    const std::size_t counted = mdb->fmt->row_count_offset;
    const std::size_t slot = counted + 2 + 2 * std::size_t{row};
    if (row >= u16(page, counted) || slot + 2 > page.size())
        place.fail("has a memo that points to a row its page does not hold");
    const unsigned offset = u16(page, slot);
    const std::size_t start = offset & 0x1FFF;
    const std::size_t end = row == 0 ? page.size() : u16(page, slot - 2) & 0x1FFF;
    if ((offset & 0x4000) || start >= end || end > page.size())
        place.fail("has a memo that points to a row its page does not hold");
    return std::span<const std::uint8_t>(page).subspan(start, end - start);
}

} // namespace

std::uint32_t checkLongValue(MdbHandle* mdb, const MdbColumn& col, const Place& place) {
    if (col.cur_value_start < 0 || col.cur_value_len < static_cast<int>(kHeaderBytes) ||
        static_cast<std::size_t>(col.cur_value_start) + kHeaderBytes > sizeof mdb->pg_buf)
        place.fail("has a memo whose pointer is cut short");
    const std::span<const std::uint8_t> header(mdb->pg_buf + col.cur_value_start, kHeaderBytes);
    const std::uint32_t length = header[0] | header[1] << 8 | header[2] << 16;
    const std::uint8_t flag = header[3];
    const std::uint32_t pointer = u32(header, 4);
    Page page;
    switch (flag) {
    case kInline:
        if (length > static_cast<std::uint32_t>(col.cur_value_len) - kHeaderBytes)
            place.fail("has a memo longer than its place");
        return length;
    case kOnePage:
        if (longValueRow(mdb, pointer, page, place).size() < length)
            place.fail("has a memo longer than its place");
        return length;
    case kChain: {
        std::uint64_t held = 0;
        std::uint32_t next = pointer;
        // A chain that comes back to a row it passed would add up to any length, and
        // libmdb's read of it gives nothing.
        std::unordered_set<std::uint32_t> met;
        for (std::uint64_t step = 0; held < length; ++step) {
            if (next == 0 || step >= place.pages)
                place.fail("has a memo whose chain of pages ends too soon");
            if (!met.insert(next).second) place.fail("has a memo whose chain of pages loops");
            const auto row = longValueRow(mdb, next, page, place);
            if (row.size() < 4) place.fail("has a memo whose chain of pages ends too soon");
            next = u32(row, 0);
            held += row.size() - 4;
        }
        return length;
    }
    default:
        place.fail("has a memo whose pointer is damaged");
    }
}

} // namespace varnoke::drivers::jet
