#include "drivers/child_read.h"
#include "drivers/field_names.h"
#include "drivers/jet_checks.h"
#include "drivers/jet_format.h"
#include "drivers/jet_text.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"
#include "value/convert.h"

#include <mdbtools.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace varnoke::drivers {

namespace {

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
// A calculated column's size counts the head and tail its value is kept in.
constexpr int kCalculatedExtra = 23;

ForeignField fieldOf(const MdbColumn& col, bool jet3, bool calculated) {
    std::string name = col.name;
    switch (col.col_type) {
    case MDB_BOOL:
        return {name, 1, 1};
    case MDB_BYTE:
        return {name, 2, 1};
    case MDB_INT:
        return {name, 3, 2};
    case MDB_LONGINT:
        return {name, 4, 4};
    case MDB_MONEY:
        return {name, 5, 8};
    case MDB_FLOAT:
        return {name, 6, 4};
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return {name, 7, 8};
    case MDB_DATETIME:
        return {name, 8, 8};
    case MDB_BINARY:
        return {name, 11, col.col_size};
    case MDB_OLE:
        return {name, 11, 0};
    case MDB_MEMO:
        return {name, 12, 0};
    case MDB_TEXT: {
        // Jet 4 counts a text column's size in UCS-2 bytes.
        const int bytes = col.col_size - (calculated ? kCalculatedExtra : 0);
        const int size = jet3 ? bytes : bytes / 2;
        return {name, 10, std::clamp(size, 1, 255)};
    }
    case MDB_REPID:
        return {name, 10, 38};
    default:
        return {name, 10, 255};
    }
}

template <typename T> T raw(const jet::Cell& cell, const jet::Place& place) {
    T v{};
    if (cell.bytes.size() < sizeof v) place.fail("has a number cut short");
    std::memcpy(&v, cell.bytes.data(), sizeof v);
    return v;
}

// A replication ID as its 16 bytes are meant, "{8-4-4-4-12}" hex digits: the first three
// groups little-endian, the last two in the order stored. The library's own text runs the
// last two groups together.
std::string replicationId(const jet::Cell& cell, const jet::Place& place) {
    const auto b = raw<std::array<std::uint8_t, 16>>(cell, place);
    char text[39];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

// The library skips pages it cannot read and goes on, so a database cut short
// would lose rows without a word; a whole number of pages is the least it must have.
// Gives the file's size.
std::uintmax_t checkReadable(const std::filesystem::path& file) {
    if (!std::filesystem::exists(file))
        throw EngineError(err::FileNotFound, "Could not find file '" + file.string() + "'.");
    std::ifstream in(file, std::ios::binary);
    char header[0x15] = {};
    if (!in.read(header, sizeof header))
        throwBadFormat(fileNameOf(file), "it is too short to be a Jet database");
    const std::uintmax_t pageSize = header[0x14] == 0 ? 2048 : 4096;
    const std::uintmax_t size = std::filesystem::file_size(file);
    if (size % pageSize != 0 || size < 2 * pageSize)
        throwBadFormat(fileNameOf(file), "it does not hold a whole number of pages (the file "
                                         "may be damaged)");
    return size;
}

std::string records(unsigned count) {
    return std::to_string(count) + (count == 1 ? " record" : " records");
}

class JetReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findLinkedFile(source);
        const auto size = checkReadable(file);
        readFile(file, size, source.sourceTable, limitsForFile(size), sink);
    }

    static void readFile(const std::filesystem::path& file, std::uintmax_t size,
                         std::string_view table, const ChildLimits& limits,
                         ForeignTableSink& sink) {
        const std::string name = fileNameOf(file);
        readInChild(
            name, limits,
            [&](ForeignTableSink& out) {
                std::unique_ptr<MdbHandle, HandleCloser> mdb(mdb_open(file.c_str(), MDB_NOFLAGS));
                if (!mdb) throwBadFormat(name, "it is not a Jet database, or it is damaged");
                readTable(mdb.get(), name, size, table, out);
            },
            sink);
    }

    static void readTable(MdbHandle* mdb, const std::string& name, std::uintmax_t size,
                          std::string_view wanted, ForeignTableSink& sink) {
        mdb_set_boolean_fmt_numbers(mdb);
        // An ACE database with a key in its head has every page enciphered under its
        // password; Jet 4's key, which libmdb undoes, needs none.
        if (mdb->f->jet_version >= MDB_VER_ACCDB_2007 && mdb->f->db_key != 0)
            throw EngineError(err::CannotOpen, "The database '" + name +
                                                   "' is protected by a password; Varnoke "
                                                   "cannot read it.");
        jet::Place place{name, "", size / static_cast<std::uintmax_t>(mdb->fmt->pg_size)};
        jet::checkCatalogMap(mdb, place);
        if (!mdb_read_catalog(mdb, MDB_TABLE))
            throwBadFormat(name, "its catalog cannot be read (the file may be damaged)");
        jet::checkCatalog(mdb, place);
        MdbCatalogEntry* chosen = nullptr;
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry)) continue;
            if (!chosen) chosen = entry;
            // A file-type link names the database file, so a name that is no table
            // leaves the first one.
            if (equalsNoCase(entry->object_name, wanted)) {
                chosen = entry;
                break;
            }
        }
        if (!chosen)
            throw EngineError(err::TableNotFound, "The database '" + name + "' holds no table.");
        if (!equalsNoCase(chosen->object_name, wanted)) sink.chose(chosen->object_name);

        std::unique_ptr<MdbTableDef, jet::TableFreer> table(mdb_read_table(chosen));
        if (table) checkFieldCount(table->num_cols, name);
        if (!table || !mdb_read_columns(table.get()))
            throwBadFormat(name, "the table '" + std::string(chosen->object_name) +
                                     "' cannot be read (the file may be damaged)");
        place.table = chosen->object_name;
        const auto shape =
            jet::checkDefinition(mdb, static_cast<std::uint32_t>(chosen->table_pg), place);
        jet::checkUsageMap(mdb, *table, place);
        const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
        const unsigned count = table->num_cols;
        std::vector<ForeignField> fields;
        std::vector<unsigned> kept; // the table's columns the link shows, by field
        // Only decimals go through the library's text; every other value is decoded
        // from the bytes the checks locate.
        std::vector<std::vector<char>> buffers(count);
        std::vector<int> lengths(count, 0);
        for (unsigned i = 0; i < count; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            const auto number = static_cast<std::size_t>(col->col_num);
            // The memo's versions are the file's own record, never shown as a field.
            if (col->col_type == MDB_COMPLEX && shape.history.at(number)) continue;
            // Attachments and lists of values keep only a key here, their values in a
            // table of their own.
            if (col->col_type == MDB_COMPLEX)
                throw EngineError(err::ExternalFormat,
                                  "The table '" + place.table + "' of '" + name +
                                      "' cannot be linked: its column '" + col->name +
                                      "' holds attachments or lists of values, which Varnoke "
                                      "cannot read.");
            const bool calculated = shape.calculated.at(number);
            // The library's decimal text would be read from the calculated value's head.
            if (col->col_type == MDB_NUMERIC && calculated)
                throw EngineError(err::ExternalFormat,
                                  "The table '" + place.table + "' of '" + name +
                                      "' cannot be linked: its column '" + col->name +
                                      "' holds calculated decimals, which Varnoke cannot read.");
            fields.push_back(fieldOf(*col, jet3, calculated));
            kept.push_back(i);
            if (col->col_type != MDB_NUMERIC) continue;
            // The library writes up to its bind size into a bound column, whatever it holds.
            buffers[i].assign(mdb->bind_size + 1, '\0');
            mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
        }
        const auto asText = longNumberColumns(table.get(), buffers, lengths);
        for (std::size_t f = 0; f < kept.size(); ++f)
            if (asText[kept[f]]) fields[f] = {fields[f].name, 10, kNumericTextSize};
        makeNamesUnique(fields);
        const std::size_t held = jet::checkDataPages(mdb, *table, place);
        const CodePage codePage(
            jet3 ? "CP" + std::to_string(mdb->f->code_page ? mdb->f->code_page : 1252) : "");
        const Decoder decoder{mdb, place, jet3, codePage};
        sink.begin(fields);
        mdb_rewind_table(table.get());
        std::size_t read = 0;
        std::vector<Value> values;
        while (read <= held && mdb_fetch_row(table.get())) {
            ++read;
            const auto cells = jet::crackRow(mdb, *table, shape, place);
            values.clear();
            for (std::size_t f = 0; f < kept.size(); ++f) {
                const unsigned i = kept[f];
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
                values.push_back(asText[i] && lengths[i] > 0
                                     ? Value::text(buffers[i].data())
                                     : decoder.valueOf(*col, fields[f], cells[i], buffers[i]));
            }
            sink.row(values);
        }
        // The library passes over a row it cannot unpack, or a page it does not know, as
        // it does a deleted row: only the pages' own row tables show what was lost.
        if (read != held)
            throwBadFormat(name,
                           "the table '" + place.table + "' cannot be read whole: it holds " +
                               records(static_cast<unsigned>(held)) + " but " +
                               (read < held ? "only " + std::to_string(read) + " could be read"
                                            : "more were read") +
                               " (the file may be damaged)");
    }

private:
    static constexpr std::size_t kDecimalBytes = 17;
    // A decimal column holds up to 28 digits, a sign and a point.
    static constexpr int kNumericTextSize = 30;
    // The serials of 100-01-01 and 9999-12-31, each widened by a day for its hours
    // (before 1899-12-30 the time of day counts away from zero).
    static constexpr double kBeforeFirstDay = -657435, kAfterLastDay = 2958466;

    // Decimal columns that hold a number a double cannot hold exactly: such a column is
    // text, so that two long keys are never read as one number. Only a table with a
    // decimal column is walked twice.
    static std::vector<bool> longNumberColumns(MdbTableDef* table,
                                               const std::vector<std::vector<char>>& buffers,
                                               const std::vector<int>& lengths) {
        std::vector<bool> asText(table->num_cols, false);
        std::vector<unsigned> open;
        for (unsigned i = 0; i < table->num_cols; ++i)
            if (static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i))->col_type ==
                MDB_NUMERIC)
                open.push_back(i);
        if (open.empty()) return asText;
        mdb_rewind_table(table);
        while (!open.empty() && mdb_fetch_row(table))
            std::erase_if(open, [&](unsigned i) {
                if (lengths[i] <= 0 || doubleHoldsExactly(std::strtod(buffers[i].data(), nullptr)))
                    return false;
                asText[i] = true;
                return true;
            });
        return asText;
    }

    // Turns each cell into its value, as the column's type and the file's version say.
    struct Decoder {
        MdbHandle* mdb;
        const jet::Place& place;
        bool jet3;
        const CodePage& codePage;

        std::string text(std::span<const std::uint8_t> bytes) const {
            if (jet3)
                return codePage.toUtf8({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
            auto decoded = jet::jet4Text(bytes);
            if (!decoded) place.fail("has a text whose bytes cannot be UTF-16");
            return std::move(*decoded);
        }

        Value valueOf(const MdbColumn& col, const ForeignField& field, const jet::Cell& cell,
                      const std::vector<char>& bound) const {
            if (col.col_type == MDB_BOOL) return Value::boolean(cell.present);
            if (!cell.present) return Value::null();
            auto bytes = [&] {
                return std::string(reinterpret_cast<const char*>(cell.bytes.data()),
                                   cell.bytes.size());
            };
            switch (col.col_type) {
            case MDB_BYTE:
                return Value::number(raw<std::uint8_t>(cell, place));
            case MDB_INT:
                return Value::number(raw<std::int16_t>(cell, place));
            case MDB_LONGINT:
                return Value::number(raw<std::int32_t>(cell, place));
            case MDB_MONEY:
                return Value::currency(Currency{raw<std::int64_t>(cell, place)});
            case MDB_FLOAT:
                return Value::number(raw<float>(cell, place));
            case MDB_DOUBLE:
                return Value::number(raw<double>(cell, place));
            // Jet keeps dates as the same day serial the engine uses, from the year 100 to
            // 9999; a serial past those is damage (a flipped byte gives 1e+285).
            case MDB_DATETIME: {
                const double serial = raw<double>(cell, place);
                if (!(serial > kBeforeFirstDay && serial < kAfterLastDay))
                    place.fail("has a date outside the years Jet keeps");
                return Value::date(serial);
            }
            case MDB_NUMERIC:
                // The library's text is read from the value's 17 bytes.
                if (cell.bytes.size() != kDecimalBytes) place.fail("has a decimal cut short");
                return Value::number(std::strtod(bound.data(), nullptr));
            case MDB_REPID:
                return Value::text(replicationId(cell, place));
            case MDB_BINARY:
                return Value::text(bytes());
            case MDB_OLE:
                return cell.bytes.empty() ? Value::text("")
                                          : Value::text(jet::longValue(mdb, cell.bytes, place));
            case MDB_MEMO: {
                if (cell.bytes.empty()) return Value::text("");
                const std::string held = jet::longValue(mdb, cell.bytes, place);
                return Value::text(
                    text({reinterpret_cast<const std::uint8_t*>(held.data()), held.size()}));
            }
            case MDB_TEXT: {
                std::string value = text(cell.bytes);
                // A text longer than its column means the column's size or the row is
                // damaged.
                if (utf8Length(value) > static_cast<std::size_t>(field.size))
                    place.fail("has a text longer than its field");
                return Value::text(std::move(value));
            }
            default:
                place.fail("has a column of no type Jet knows");
            }
        }
    };
};

} // namespace

void readJetImage(ByteSpan image, std::string_view fileName, std::string_view table,
                  ForeignTableSink& sink) {
    // The library takes a buffer it may write to; the image may be read-only.
    Bytes copy(image.begin(), image.end());
    std::unique_ptr<MdbHandle, HandleCloser> mdb(
        mdb_open_buffer(copy.data(), copy.size(), MDB_NOFLAGS));
    const std::string name(fileName);
    if (!mdb) throwBadFormat(name, "it is not a Jet database, or it is damaged");
    JetReader::readTable(mdb.get(), name, copy.size(), table, sink);
}

void readJetFile(const std::filesystem::path& file, std::string_view table,
                 const ChildLimits& limits, ForeignTableSink& sink) {
    JetReader::readFile(file, checkReadable(file), table, limits, sink);
}

const ForeignReader& jetReader() {
    static const JetReader reader;
    return reader;
}

} // namespace varnoke::drivers
