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
// In the byte after the flags: a column whose value the file computes and keeps, and a
// column the file keeps for itself, out of the user's sight.
constexpr std::uint8_t kCalculatedFlags = 0xC0, kSystemFlag = 0x20;

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
    bool calculated;
    bool history;
};

// A calculated column's size counts its value's head and tail.
constexpr unsigned kCalculatedExtra = 23;
constexpr std::size_t kCalculatedHead = 20;

void checkEntry(const Entry& e, bool jet3, const Place& place) {
    const auto size = typeSize(e.type);
    if (!size) place.fail("has a column of no type Jet knows");
    const bool fixed = e.flags & kFixedFlag;
    if ((fixed && variableOnly(e.type)) || (!fixed && e.type == MDB_BOOL) ||
        ((e.flags & kAutoLongFlag) && e.type != MDB_LONGINT && e.type != MDB_COMPLEX) ||
        // Jet 3 gives 0x40 a meaning of its own, on columns of every type.
        (!jet3 && (e.flags & kAutoGuidFlag) && e.type != MDB_REPID && e.type != MDB_COMPLEX) ||
        ((e.flags & kHyperlinkFlag) && e.type != MDB_MEMO && e.type != MDB_COMPLEX))
        place.fail("has a column whose flags do not fit its type");
    const unsigned longest = jet3 ? 255 : 510;
    // A calculated value is kept in a variable column behind a head of its own.
    if (e.calculated) {
        if (fixed || e.size < kCalculatedExtra + size.value_or(0))
            place.fail("has a calculated column whose size does not fit its type");
        return;
    }
    // A decimal the file keeps in its variable area holds its 17 bytes whatever size its
    // definition gives; each value is held to them when it is read.
    const bool variableDecimal = e.type == MDB_NUMERIC && !fixed;
    const bool sizeFits = variableDecimal        ? true
                          : *size != 0           ? e.size == *size
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

Shape checkDefinition(MdbHandle* mdb, std::uint32_t page, const Place& place) {
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
    // Jet writes no control character in a name: one read from a place that holds none
    // means the counts before it are wrong.
    bool control = false;
    for (; named < columns && at + nameWidth <= def.end; ++named) {
        const std::size_t length = jet3 ? b[at] : u16(b, at);
        at += nameWidth;
        for (std::size_t i = 0; i + nameWidth <= length && at + i + nameWidth <= def.end;
             i += nameWidth)
            control = control || (jet3 ? b[at + i] : u16(b, at + i)) < 0x20;
        at += length;
    }
    if (named < columns || at > def.end)
        place.fail("has a definition whose columns run past its end");
    if (control) place.fail("has a column whose name holds a control character");

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
                          u16(e, fmt.col_size_offset),
                          !jet3 && (e[fmt.col_flags_offset + 1] & kCalculatedFlags) != 0,
                          !jet3 && e[0] == MDB_COMPLEX &&
                              (e[fmt.col_flags_offset + 1] & kSystemFlag) != 0};
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
    Shape shape{maxColumns, std::vector<bool>(maxColumns), std::vector<bool>(maxColumns)};
    for (const auto& e : entries) {
        shape.calculated[e.number] = e.calculated;
        shape.history[e.number] = e.history;
    }
    return shape;
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

void checkUsageMap(MdbHandle* mdb, const MdbTableDef& table, const Place& place) {
    if (!table.usage_map || table.map_sz < 1) place.fail("has a usage map that cannot be read");
    // libmdb reads a page at the file's very end as zeros: a map there, or a map page
    // there, names no page, and a file cut short there would read as a shorter table.
    const Page definition = readPage(mdb, table.entry->table_pg, place);
    if (definition.empty()) place.fail("has no definition page");
    const std::uint32_t map = u32(definition, mdb->fmt->tab_usage_map_offset);
    if (map >> 8 >= place.pages) place.fail("has a usage map past the end of the file");
    const std::span<const std::uint8_t> bytes(table.usage_map, table.map_sz);
    constexpr std::uint8_t kMapOfPages = 0x01;
    if (bytes[0] != kMapOfPages) return;
    for (std::size_t at = 1; at + 4 <= bytes.size(); at += 4)
        if (u32(bytes, at) >= place.pages)
            place.fail("has a usage map that names a page past the end of the file");
}

void checkCatalogMap(MdbHandle* mdb, const Place& place) {
    MdbCatalogEntry catalog{};
    const auto table = catalogTable(mdb, catalog, place);
    checkUsageMap(mdb, *table, Place{place.file, "MSysObjects", place.pages});
}

namespace {

constexpr std::uint8_t kDataPage = 0x01;
constexpr unsigned kOffsetMask = 0x1FFF, kDeletedFlag = 0x4000;

// The row table of a data page: its count, then one 16-bit start a row, flags above
// the offset.
struct RowTable {
    std::size_t count = 0;
    std::size_t end = 0; // where the table's last entry ends
};

RowTable rowTableOf(const MdbHandle* mdb, std::span<const std::uint8_t> page) {
    const std::size_t counted = mdb->fmt->row_count_offset;
    const std::size_t count = u16(page, counted);
    return {count, counted + 2 + 2 * count};
}

// Where row `row` of a page ends: where the row before it in the table starts.
std::size_t rowEnd(const MdbHandle* mdb, std::span<const std::uint8_t> page, std::size_t row) {
    return row == 0 ? page.size() : u16(page, mdb->fmt->row_count_offset + 2 * row) & kOffsetMask;
}

} // namespace

std::size_t checkDataPages(MdbHandle* mdb, MdbTableDef& table, const Place& place) {
    const auto owner = static_cast<std::uint32_t>(table.entry->table_pg);
    std::size_t live = 0;
    // A page of the usage map must be one of the table's: libmdb passes over one that is
    // not, and its rows with it.
    auto count = [&](std::uint64_t number, bool mapped) {
        const Page page = readPage(mdb, number, place);
        if (page.empty() || page[0] != kDataPage || u32(page, 4) != owner) {
            if (mapped) place.fail("has a usage map that names a page not its own");
            return;
        }
        const RowTable rows = rowTableOf(mdb, page);
        if (rows.end > page.size()) place.fail("has a data page whose row table runs past it");
        std::size_t lowest = page.size();
        for (std::size_t row = 0; row < rows.count; ++row) {
            const unsigned offset = u16(page, mdb->fmt->row_count_offset + 2 + 2 * row);
            lowest = std::min<std::size_t>(lowest, offset & kOffsetMask);
            if (!(offset & kDeletedFlag)) ++live;
        }
        if (lowest < rows.end || u16(page, 2) != lowest - rows.end)
            place.fail("has a data page whose row table disagrees with its free space");
    };
    // The pages libmdb's walk visits: those of the usage map, or every page of the file
    // where it cannot read the map. A file not compacted keeps pages a table gave up
    // that still name it as their owner, outside its map.
    std::uint32_t at = 0;
    for (std::uint64_t step = 0; step <= place.pages; ++step) {
        const gint32 next =
            mdb_map_find_next(mdb, table.usage_map, static_cast<unsigned>(table.map_sz), at);
        if (next < 0) {
            for (std::uint64_t number = at; number < place.pages; ++number)
                count(number, false);
            break;
        }
        if (next == 0 || static_cast<std::uint32_t>(next) == at) break;
        at = static_cast<std::uint32_t>(next);
        count(at, true);
    }
    return live;
}

void checkCatalog(MdbHandle* mdb, const Place& place) {
    MdbCatalogEntry catalog{};
    const auto table = catalogTable(mdb, catalog, place);
    const std::size_t held =
        checkDataPages(mdb, *table, Place{place.file, "MSysObjects", place.pages});
    std::size_t read = 0;
    mdb_rewind_table(table.get());
    while (read <= held && mdb_fetch_row(table.get()))
        ++read;
    if (read != held)
        throwBadFormat(place.file, "its catalog holds " + std::to_string(held) + " objects but " +
                                       std::to_string(read) +
                                       " could be read (the file may be damaged)");
}

namespace {

// The var table of a Jet 3 row: one byte an offset, running down from below its count,
// with a jump table in between that adds 256 to each offset from the ones it names on.
// As Jet lays it out, a last jump may stand for no offset.
std::optional<std::vector<std::size_t>> jet3VarTable(std::span<const std::uint8_t> row,
                                                     std::size_t tail, unsigned count) {
    std::size_t jumps = (row.size() - 1) / 256;
    if (tail < 2 + jumps + count) return std::nullopt;
    const std::size_t last = tail - 2 - jumps; // the first offset's byte
    if ((last - count) / 256 < jumps) --jumps;
    std::vector<std::size_t> offsets(count + 1);
    std::size_t used = 0;
    for (std::size_t i = 0; i <= count; ++i) {
        while (used < jumps && row[tail - 2 - used] == i)
            ++used;
        offsets[i] = row[last - i] + 256 * used;
    }
    return offsets;
}

std::optional<std::vector<std::size_t>> jet4VarTable(std::span<const std::uint8_t> row,
                                                     std::size_t tail, unsigned count) {
    if (tail < 2 + 2 * (std::size_t{count} + 1)) return std::nullopt;
    std::vector<std::size_t> offsets(count + 1);
    for (std::size_t i = 0; i <= count; ++i)
        offsets[i] = u16(row, tail - 4 - 2 * i);
    return offsets;
}

} // namespace

std::vector<Cell> crackRow(const MdbHandle* mdb, const MdbTableDef& table, const Shape& shape,
                           const Place& place) {
    const std::size_t size = pageSize(mdb);
    // Where libmdb walks the file page by page, for want of a map it can read, it has
    // counted on past the page it holds.
    if (table.cur_row == 0 ||
        (mdb->cur_pg != table.cur_phys_pg && mdb->cur_pg + 1 != table.cur_phys_pg) ||
        size > sizeof mdb->pg_buf)
        place.fail("has a record libmdb read from a page it no longer holds");
    const std::span<const std::uint8_t> page(mdb->pg_buf, size);
    const std::size_t index = table.cur_row - 1;
    const RowTable rows = rowTableOf(mdb, page);
    if (index >= rows.count || rows.end > size)
        place.fail("has a record outside its page's row table");
    const std::size_t start = u16(page, mdb->fmt->row_count_offset + 2 + 2 * index) & kOffsetMask;
    const std::size_t end = rowEnd(mdb, page, index);
    if (start < rows.end || start >= end || end > size)
        place.fail("has a record that lies outside its place in the page");
    const auto row = page.subspan(start, end - start);
    auto broken = [&] { place.fail("has a record whose layout does not fit in it"); };
    auto miscounted = [&] {
        place.fail("has a record whose count of fields disagrees with the fields it holds");
    };

    const bool jet3 = isJet3(mdb);
    const std::size_t width = jet3 ? 1 : 2;
    if (row.size() < width) broken();
    const unsigned columns = jet3 ? row[0] : u16(row, 0);
    // A row with no columns is one libmdb cracked from zeros or garbage and hands on as
    // blank.
    if (columns == 0)
        throwBadFormat(place.file, "a record of the table '" + place.table +
                                       "' holds no fields (the file may be damaged)");
    if (columns > shape.columns) broken();
    const std::size_t maskBytes = (columns + 7) / 8;
    if (row.size() < width + maskBytes) broken();
    const std::size_t tail = row.size() - maskBytes; // where the null mask begins
    auto presentBit = [&](unsigned number) {
        return number < columns && (row[tail + number / 8] >> (number % 8) & 1) != 0;
    };

    unsigned varCount = 0;
    std::vector<std::size_t> offsets;
    std::size_t fixedEnd = tail;
    if (table.num_var_cols > 0) {
        if (tail < width + (jet3 ? 1 : 2)) broken();
        varCount = jet3 ? row[tail - 1] : u16(row, tail - 2);
        auto table = jet3 ? jet3VarTable(row, tail, varCount) : jet4VarTable(row, tail, varCount);
        if (!table) broken();
        offsets = std::move(*table);
        // The var table's own lowest byte: the values must end before it.
        const std::size_t tableStart =
            jet3 ? tail - 2 - (row.size() - 1) / 256 - varCount : tail - 4 - 2 * varCount;
        if (offsets.front() < width || offsets.back() > tableStart ||
            !std::is_sorted(offsets.begin(), offsets.end()))
            broken();
        fixedEnd = offsets.front();
    }
    if (varCount > columns) broken();

    std::vector<Cell> cells(table.num_cols);
    const unsigned fixedHeld = columns - varCount;
    unsigned fixedFound = 0;
    for (unsigned i = 0; i < table.num_cols; ++i) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table.columns, i));
        const auto number = static_cast<unsigned>(col->col_num);
        Cell& cell = cells[i];
        cell.present = presentBit(number);
        // A column the row's count takes in was there when the row was written, so the
        // row holds its place; one added later has none. A count lowered by damage would
        // turn the last column Null while its bytes remain.
        const bool counted = number < columns;
        if (col->is_fixed) {
            // A yes/no column counts among the fixed ones, though its value is its bit alone.
            const bool held = fixedFound++ < fixedHeld;
            const std::size_t at = width + static_cast<std::size_t>(col->fixed_offset);
            const std::size_t bytes = static_cast<std::size_t>(col->col_size);
            const bool room = col->col_type != MDB_BOOL && at + bytes <= fixedEnd;
            if (!counted && room) miscounted();
            if (!held) {
                cell.present = false;
                continue;
            }
            if (col->col_type == MDB_BOOL) continue;
            if (!room) place.fail("has a record whose fixed fields run past their place");
            cell.bytes = row.subspan(at, bytes);
        } else if (col->var_col_num < varCount) {
            if (!counted) miscounted();
            const std::size_t from = offsets[col->var_col_num];
            cell.bytes = row.subspan(from, offsets[col->var_col_num + 1] - from);
            // Jet writes a Null variable value as no bytes at all.
            if (!cell.present && !cell.bytes.empty())
                place.fail("has a record whose null mask calls a field that holds bytes Null");
            if (cell.present && number < shape.calculated.size() && shape.calculated[number]) {
                // 16 bytes of the file's own, the value's length, the value.
                if (cell.bytes.size() < kCalculatedHead ||
                    u32(cell.bytes, kCalculatedHead - 4) > cell.bytes.size() - kCalculatedHead)
                    place.fail("has a calculated value that does not fit its place");
                cell.bytes = cell.bytes.subspan(kCalculatedHead, u32(cell.bytes, 16));
            }
        } else {
            if (counted) miscounted();
            cell.present = false;
        }
    }
    return cells;
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

std::string longValue(MdbHandle* mdb, std::span<const std::uint8_t> header, const Place& place) {
    if (header.size() < kHeaderBytes) place.fail("has a memo whose pointer is cut short");
    const std::uint32_t length = header[0] | header[1] << 8 | header[2] << 16;
    const std::uint8_t flag = header[3];
    const std::uint32_t pointer = u32(header, 4);
    auto asText = [](std::span<const std::uint8_t> bytes) {
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    };
    Page page;
    switch (flag) {
    case kInline:
        if (length != header.size() - kHeaderBytes)
            place.fail("has a memo whose length disagrees with its place");
        return asText(header.subspan(kHeaderBytes));
    case kOnePage: {
        const auto row = longValueRow(mdb, pointer, page, place);
        if (row.size() != length) place.fail("has a memo whose length disagrees with its place");
        return asText(row);
    }
    case kChain: {
        std::string value;
        std::uint32_t next = pointer;
        // A chain that comes back to a row it passed would add up to any length.
        std::unordered_set<std::uint32_t> met;
        for (std::uint64_t step = 0; next != 0; ++step) {
            if (step >= place.pages) place.fail("has a memo whose chain of pages loops");
            if (!met.insert(next).second) place.fail("has a memo whose chain of pages loops");
            const auto row = longValueRow(mdb, next, page, place);
            if (row.size() < 4) place.fail("has a memo whose chain of pages ends too soon");
            next = u32(row, 0);
            if (value.size() + row.size() - 4 > length)
                place.fail("has a memo whose chain of pages goes on past its length");
            value += asText(row.subspan(4));
        }
        if (value.size() != length) place.fail("has a memo whose chain of pages ends too soon");
        return value;
    }
    default:
        place.fail("has a memo whose pointer is damaged");
    }
}

} // namespace varnoke::drivers::jet
