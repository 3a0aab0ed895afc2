#include "drivers/dbf_format.h"

#include "drivers/field_names.h"
#include "value/convert.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace varnoke::drivers {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;

bool isVisualFoxPro(std::uint8_t version) {
    return version >= 0x30 && version <= 0x32;
}

bool isKnownVersion(std::uint8_t version) {
    switch (version) {
    case 0x02: // FoxBASE
    case 0x03: // dBase III and later without memo
    case 0x05: // dBase V without memo
    case 0x30:
    case 0x31:
    case 0x32: // Visual FoxPro
    case 0x43:
    case 0x63:
    case 0x83: // dBase III with memo
    case 0x8B: // dBase IV with memo
    case 0x8E:
    case 0xCB:
    case 0xE5:
    case 0xF5: // FoxPro 2.x with memo
    case 0xFB:
        return true;
    default:
        return false;
    }
}

// Code page of the table's language-driver byte; the bytes of text fields are in it.
const char* codePageName(std::uint8_t mark) {
    switch (mark) {
    case 0x01:
        return "CP437";
    case 0x02:
        return "CP850";
    case 0x03:
        return "CP1252";
    case 0x04:
        return "MACINTOSH";
    case 0x08:
        return "CP865";
    case 0x09:
        return "CP437";
    case 0x0A:
        return "CP850";
    case 0x0B:
        return "CP437";
    case 0x0D:
        return "CP437";
    case 0x0E:
        return "CP850";
    case 0x0F:
        return "CP437";
    case 0x10:
        return "CP850";
    case 0x11:
        return "CP437";
    case 0x12:
        return "CP850";
    case 0x13:
        return "CP932";
    case 0x14:
        return "CP850";
    case 0x15:
        return "CP437";
    case 0x16:
        return "CP850";
    case 0x17:
        return "CP865";
    case 0x18:
        return "CP437";
    case 0x19:
        return "CP437";
    case 0x1A:
        return "CP850";
    case 0x1B:
        return "CP437";
    case 0x1C:
        return "CP863";
    case 0x1D:
        return "CP850";
    case 0x1F:
        return "CP852";
    case 0x22:
        return "CP852";
    case 0x23:
        return "CP852";
    case 0x24:
        return "CP860";
    case 0x25:
        return "CP850";
    case 0x26:
        return "CP866";
    case 0x37:
        return "CP850";
    case 0x40:
        return "CP852";
    case 0x4D:
        return "CP936";
    case 0x4E:
        return "CP949";
    case 0x4F:
        return "CP950";
    case 0x50:
        return "CP874";
    case 0x57:
    case 0x58:
    case 0x59:
        return "CP1252";
    case 0x64:
        return "CP852";
    case 0x65:
        return "CP866";
    case 0x66:
        return "CP865";
    case 0x67:
        return "CP861";
    case 0x6A:
        return "CP737";
    case 0x6B:
        return "CP857";
    case 0x78:
        return "CP950";
    case 0x79:
        return "CP949";
    case 0x7A:
        return "CP936";
    case 0x7B:
        return "CP932";
    case 0x7C:
        return "CP874";
    case 0x7D:
        return "CP1255";
    case 0x7E:
        return "CP1256";
    case 0x96:
        return "MAC-CYRILLIC";
    case 0x97:
        return "MAC-CENTRALEUROPE";
    case 0x98:
        return "MACGREEK";
    case 0xC8:
        return "CP1250";
    case 0xC9:
        return "CP1251";
    case 0xCA:
        return "CP1254";
    case 0xCB:
        return "CP1253";
    case 0xCC:
        return "CP1257";
    // No mark: tables written on Windows without one are in its Western code page.
    default:
        return "CP1252";
    }
}

struct DbfField {
    std::string name;
    char type = 'C';
    std::size_t offset = 0; // within the record, after the deletion flag
    std::size_t length = 0;
    int decimals = 0;
    std::uint8_t flags = 0;
    int nullBit = -1;      // bit in _NullFlags set when the value is null
    int varLengthBit = -1; // bit set when a varchar holds its length in its last byte
    bool hidden = false;
    ForeignField out;
};

constexpr std::uint8_t kFlagSystem = 0x01;
constexpr std::uint8_t kFlagNullable = 0x02;
constexpr std::uint8_t kFlagBinary = 0x04;

std::string_view asChars(ByteSpan bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\0'; });
}

ForeignField outputField(const DbfField& f, bool vfp) {
    auto field = [](std::string name, int type, int size = -1) {
        return ForeignField{std::move(name), type, size < 0 ? standardSize(type) : size};
    };
    switch (f.type) {
    case 'C':
        if (f.length > 255) return field(f.name, 12);
        return field(f.name, 10, static_cast<int>(f.length));
    case 'V':
        return f.flags & kFlagBinary
                   ? field(f.name, 11)
                   : field(f.name, 10, static_cast<int>(std::min<std::size_t>(f.length, 255)));
    case 'N':
    case 'F':
    case 'O':
        return field(f.name, 7);
    case 'B':
        return vfp ? field(f.name, 7) : field(f.name, 11);
    case 'I':
    case '+':
        return field(f.name, 4);
    case 'Y':
        return field(f.name, 5);
    case 'D':
    case 'T':
    case '@':
        return field(f.name, 8);
    case 'L':
        return field(f.name, 1);
    case 'M':
        return f.flags & kFlagBinary ? field(f.name, 11) : field(f.name, 12);
    case 'G':
    case 'P':
    case 'W':
    case 'Q':
        return field(f.name, 11);
    default:
        return field(f.name, 10, static_cast<int>(std::min<std::size_t>(f.length, 255)));
    }
}

std::optional<double> parseNumber(std::string_view text) {
    text = trim(text);
    if (text.empty() || text.front() == '*') return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int> digits(std::string_view text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::int64_t signedLe(ByteSpan b) {
    std::uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        v = v << 8 | b[i];
    const unsigned bits = static_cast<unsigned>(b.size() * 8);
    if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(v);
}

double doubleLe(ByteSpan b) {
    std::uint64_t v = static_cast<std::uint64_t>(signedLe(b));
    double d = 0;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

// Memo files: FoxPro's are big-endian with a typed block header, dBase IV's start a
// block with FF FF 08 00 and a length, dBase III's run to a 0x1A mark.
class MemoFile {
public:
    MemoFile(std::optional<ByteSpan> data, bool fpt, std::string_view tableName,
             std::string_view memoName)
        : tableName_(tableName), view_(data.value_or(ByteSpan{}), memoName),
          present_(data.has_value()), fpt_(fpt) {
        if (!present_) return;
        if (fpt_) {
            blockSize_ = view_.u16be(6);
        } else {
            blockSize_ = view_.size() >= 22 ? view_.u16le(20) : 0;
            if (blockSize_ == 0) blockSize_ = 512;
        }
    }

    // The memo stored from `block` on; binary memos come back as their bytes.
    std::string read(std::uint64_t block, bool* isText) const {
        if (!present_)
            throw EngineError(err::FileNotFound,
                              "The memo file of '" + std::string(tableName_) +
                                  "' is missing; its memo fields cannot be read.");
        if (blockSize_ == 0) view_.fail("the memo file gives a block size of 0");
        const std::uint64_t offset = block * blockSize_;
        if (offset >= view_.size()) view_.fail("a memo lies beyond the end of the memo file");
        const auto at = static_cast<std::size_t>(offset);
        if (fpt_) {
            const std::uint32_t type = view_.u32be(at);
            const std::uint32_t length = view_.u32be(at + 4);
            *isText = type == 1;
            return std::string(asChars(view_.slice(at + 8, length)));
        }
        *isText = true;
        if (view_.u16le(at) == 0xFFFF && view_.u16le(at + 2) == 0x0008) {
            const std::uint32_t length = view_.u32le(at + 4);
            if (length < 8) view_.fail("a memo block gives a length shorter than its header");
            return std::string(asChars(view_.slice(at + 8, length - 8)));
        }
        const auto rest = view_.slice(at, view_.size() - at);
        const auto end = std::find(rest.begin(), rest.end(), std::uint8_t{0x1A});
        return std::string(asChars(rest.first(static_cast<std::size_t>(end - rest.begin()))));
    }

private:
    std::string_view tableName_;
    ByteView view_;
    bool present_;
    bool fpt_;
    std::uint32_t blockSize_ = 0;
};

struct Layout {
    std::uint8_t version = 0;
    bool vfp = false;
    std::uint32_t recordCount = 0;
    std::size_t headerLength = 0;
    std::size_t recordLength = 0;
    std::vector<DbfField> fields;
    int nullFlags = -1; // index of the hidden _NullFlags field
};

Layout readLayout(const ByteView& view) {
    if (view.size() < kHeaderSize) view.fail("it is too short to hold a dBase header");
    Layout layout;
    layout.version = view.u8(0);
    if (layout.version == 0x04 || layout.version == 0x8C)
        view.fail("dBase 7 tables are not supported");
    if (!isKnownVersion(layout.version))
        view.fail("it is not a dBase or FoxPro table (unknown version byte)");
    layout.vfp = isVisualFoxPro(layout.version);
    if (view.u8(15) != 0)
        throw EngineError(err::CannotOpen, "The table '" + std::string(view.fileName()) +
                                               "' is encrypted; Varnoke cannot read it.");
    layout.recordCount = view.u32le(4);
    layout.headerLength = view.u16le(8);
    layout.recordLength = view.u16le(10);
    if (layout.headerLength < kHeaderSize + 1) view.fail("its header length is too small");
    if (layout.recordLength < 2) view.fail("its record length is too small");

    const CodePage codePage(codePageName(view.u8(29)));
    std::size_t offset = 1;
    int nextBit = 0;
    for (std::size_t at = kHeaderSize; at < layout.headerLength; at += kDescriptorSize) {
        if (view.u8(at) == 0x0D) break;
        if (at + kDescriptorSize > layout.headerLength) break; // a short last slot is padding
        const auto d = view.slice(at, kDescriptorSize);
        DbfField f;
        const auto rawName = asChars(d.first(11));
        f.name = codePage.toUtf8(trim(rawName.substr(0, rawName.find('\0'))));
        f.type = static_cast<char>(std::toupper(d[11]));
        f.length = d[16];
        f.decimals = d[17];
        // Clipper and FoxPro keep the high byte of a long character field's length where
        // numbers keep their decimals.
        if (f.type == 'C') f.length += static_cast<std::size_t>(f.decimals) << 8;
        f.flags = layout.vfp ? d[18] : 0;
        f.offset = offset;
        offset += f.length;
        f.hidden = f.type == '0' || (f.flags & kFlagSystem);
        layout.fields.push_back(std::move(f));
    }
    if (layout.fields.empty()) view.fail("it declares no fields");
    if (offset > layout.recordLength) view.fail("its fields are longer than its records");
    for (auto& f : layout.fields) {
        if (f.hidden) continue;
        if (f.type == 'V' || f.type == 'Q') f.varLengthBit = nextBit++;
        if (f.flags & kFlagNullable) f.nullBit = nextBit++;
        f.out = outputField(f, layout.vfp);
    }
    for (std::size_t i = 0; i < layout.fields.size(); ++i)
        if (layout.fields[i].type == '0') layout.nullFlags = static_cast<int>(i);
    return layout;
}

bool bitSet(ByteSpan flags, int bit) {
    if (bit < 0) return false;
    const auto byte = static_cast<std::size_t>(bit / 8);
    return byte < flags.size() && (flags[byte] >> (bit % 8)) & 1;
}

class RecordDecoder {
public:
    RecordDecoder(const Layout& layout, const MemoFile& memo, const ByteView& view,
                  std::uint8_t mark)
        : layout_(layout), memo_(memo), view_(view), codePage_(codePageName(mark)) {}

    Value decode(const DbfField& f, ByteSpan record) const {
        const ByteSpan raw = record.subspan(f.offset, f.length);
        const std::string_view text = asChars(raw);
        if (layout_.nullFlags >= 0) {
            const auto& holder = layout_.fields[static_cast<std::size_t>(layout_.nullFlags)];
            const ByteSpan flags = record.subspan(holder.offset, holder.length);
            if (bitSet(flags, f.nullBit)) return Value::null();
            if (f.type == 'V' || f.type == 'Q') {
                std::string_view v = text;
                if (bitSet(flags, f.varLengthBit) && !raw.empty())
                    v = v.substr(0, std::min<std::size_t>(raw.back(), raw.size() - 1));
                if (f.type == 'Q' || (f.flags & kFlagBinary)) return Value::text(std::string(v));
                v = trimRight(v);
                return v.empty() ? Value::null() : Value::text(codePage_.toUtf8(v));
            }
        }
        switch (f.type) {
        case 'C':
        case 'V': {
            const auto v = trimRight(text);
            return v.empty() ? Value::null() : Value::text(codePage_.toUtf8(v));
        }
        case 'N':
        case 'F': {
            if (f.out.type == 10) {
                const auto v = trim(text);
                return v.empty() ? Value::null() : Value::text(std::string(v));
            }
            const auto n = parseNumber(text);
            return n ? Value::number(*n) : Value::null();
        }
        case 'D':
            return dateOf(text);
        case 'L':
            switch (raw.empty() ? ' ' : static_cast<char>(raw[0])) {
            case 'T':
            case 't':
            case 'Y':
            case 'y':
                return Value::boolean(true);
            case 'F':
            case 'f':
            case 'N':
            case 'n':
                return Value::boolean(false);
            default:
                return Value::null();
            }
        case 'I':
            if (raw.size() != 4) view_.fail("an integer field is not 4 bytes long");
            return Value::number(static_cast<double>(signedLe(raw)));
        case 'Y':
            if (raw.size() != 8) view_.fail("a currency field is not 8 bytes long");
            return Value::currency(Currency{signedLe(raw)});
        case 'B':
            if (layout_.vfp) {
                if (raw.size() != 8) view_.fail("a double field is not 8 bytes long");
                return Value::number(doubleLe(raw));
            }
            return memoOf(f, raw);
        case 'T':
            return dateTimeOf(raw);
        case 'M':
        case 'G':
        case 'P':
        case 'W':
            return memoOf(f, raw);
        case 'Q':
            return Value::text(std::string(text));
        default: {
            const auto v = trimRight(text);
            return v.empty() ? Value::null() : Value::text(codePage_.toUtf8(v));
        }
        }
    }

private:
    Value dateOf(std::string_view text) const {
        if (isBlank(text) || text == "00000000" || text.size() != 8) return Value::null();
        const auto y = digits(text.substr(0, 4));
        const auto m = digits(text.substr(4, 2));
        const auto d = digits(text.substr(6, 2));
        if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31) return Value::null();
        return Value::date(civilSerial(*y, static_cast<unsigned>(*m), static_cast<unsigned>(*d)));
    }

    Value dateTimeOf(ByteSpan raw) const {
        if (raw.size() != 8) view_.fail("a date-time field is not 8 bytes long");
        if (isBlank(asChars(raw))) return Value::null();
        const auto julianDay = static_cast<std::int64_t>(signedLe(raw.first(4)));
        const auto millis = static_cast<std::int64_t>(signedLe(raw.subspan(4)));
        if (julianDay == 0) return Value::null();
        // Julian day 2415019 is 12/30/1899, the engine's day 0.
        return Value::date(static_cast<double>(julianDay - 2415019) +
                           static_cast<double>(millis) / 86400000.0);
    }

    Value memoOf(const DbfField& f, ByteSpan raw) const {
        std::uint64_t block = 0;
        if (raw.size() == 4) {
            block = static_cast<std::uint32_t>(signedLe(raw));
        } else {
            const auto text = trim(asChars(raw));
            if (text.empty()) return Value::null();
            for (char c : text) {
                if (c < '0' || c > '9') return Value::null();
                block = block * 10 + static_cast<std::uint64_t>(c - '0');
                if (block > 0xFFFFFFFFu) view_.fail("a memo block number is out of range");
            }
        }
        if (block == 0) return Value::null();
        bool isText = true;
        std::string content = memo_.read(block, &isText);
        if (f.out.type == 12 && isText) return Value::text(codePage_.toUtf8(content));
        return Value::text(std::move(content));
    }

    const Layout& layout_;
    const MemoFile& memo_;
    const ByteView& view_;
    CodePage codePage_;
};

} // namespace

bool isDbfVersion(std::uint8_t version) {
    return isKnownVersion(version);
}

bool dbfUsesFptMemo(ByteSpan table) {
    if (table.empty()) return false;
    const auto v = table[0];
    return isVisualFoxPro(v) || v == 0xF5 || v == 0xFB || v == 0xE5;
}

namespace {

// Whether a number field's text surely stands for the double it reads as: a text of
// fewer than 16 characters without an exponent is below 2^53, so most need no parse.
bool readsExactly(std::string_view raw) {
    const auto text = trim(raw);
    if (text.size() < 16 && text.find_first_of("eE") == std::string_view::npos) return true;
    const auto n = parseNumber(text);
    return !n || doubleHoldsExactly(*n);
}

// Number fields that hold a number a double cannot hold exactly become text fields,
// so that two long keys are never read as one number.
void typeLongNumbers(Layout& layout, const ByteView& view, const std::function<void()>& release) {
    std::vector<DbfField*> numbers;
    for (auto& f : layout.fields)
        if (!f.hidden && (f.type == 'N' || f.type == 'F')) numbers.push_back(&f);
    const std::size_t releaseEvery = std::max<std::size_t>(1, kReleaseEvery / layout.recordLength);
    for (std::uint32_t r = 0; r < layout.recordCount && !numbers.empty(); ++r) {
        if (release && r % releaseEvery == releaseEvery - 1) release();
        const ByteSpan record = view.slice(
            layout.headerLength + std::size_t{r} * layout.recordLength, layout.recordLength);
        if (record[0] == '*') continue;
        std::erase_if(numbers, [&](DbfField* f) {
            if (readsExactly(asChars(record.subspan(f->offset, f->length)))) return false;
            f->out = ForeignField{
                f->out.name, 10,
                static_cast<int>(std::min<std::size_t>(std::max<std::size_t>(f->length, 1), 255))};
            return true;
        });
    }
}

} // namespace

void readDbfImage(const DbfImage& image, ForeignTableSink& sink) {
    const ByteView view(image.table, image.fileName);
    Layout layout = readLayout(view);
    const MemoFile memo(image.memo, dbfUsesFptMemo(image.table), image.fileName,
                        image.memoFileName);
    const RecordDecoder decoder(layout, memo, view, view.u8(29));

    const std::uint64_t needed =
        std::uint64_t{layout.recordCount} * layout.recordLength + layout.headerLength;
    if (needed > view.size())
        view.fail("it holds fewer records than its header says (it may have been cut short)");

    typeLongNumbers(layout, view, image.release);
    std::vector<ForeignField> fields;
    std::vector<const DbfField*> shown;
    for (const auto& f : layout.fields) {
        if (f.hidden) continue;
        fields.push_back(f.out);
        shown.push_back(&f);
    }
    makeNamesUnique(fields);
    sink.begin(fields);

    std::vector<Value> values;
    const std::size_t releaseEvery = std::max<std::size_t>(1, kReleaseEvery / layout.recordLength);
    for (std::uint32_t r = 0; r < layout.recordCount; ++r) {
        if (image.release && r % releaseEvery == releaseEvery - 1) image.release();
        const ByteSpan record = view.slice(
            layout.headerLength + std::size_t{r} * layout.recordLength, layout.recordLength);
        if (record[0] == '*') continue;
        values.clear();
        values.reserve(shown.size());
        for (const auto* f : shown)
            values.push_back(decoder.decode(*f, record));
        sink.row(values);
    }
}

namespace {

struct Collector : ForeignTableSink {
    std::vector<ForeignField> fields;
    std::vector<std::vector<Value>> rows;
    void begin(const std::vector<ForeignField>& f) override { fields = f; }
    void row(std::vector<Value>& values) override { rows.push_back(std::move(values)); }
    int column(std::string_view name) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (equalsNoCase(fields[i].name, name)) return static_cast<int>(i);
        return -1;
    }
};

std::string textAt(const std::vector<Value>& row, int column) {
    if (column < 0 || !row[static_cast<std::size_t>(column)].isText()) return {};
    return std::string(trim(row[static_cast<std::size_t>(column)].asText()));
}

// A table's property block holds its file path among other properties; the path is
// the printable run that ends in ".dbf".
std::string pathInProperties(std::string_view properties) {
    std::string lower(properties);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto end = lower.find(".dbf");
    if (end == std::string::npos) return {};
    std::size_t begin = end;
    while (begin > 0 && static_cast<unsigned char>(properties[begin - 1]) >= 0x20 &&
           static_cast<unsigned char>(properties[begin - 1]) < 0x7F)
        --begin;
    return std::string(properties.substr(begin, end + 4 - begin));
}

} // namespace

std::vector<DbcTable> readDbcImage(const DbfImage& image) {
    Collector catalog;
    readDbfImage(image, catalog);
    const int type = catalog.column("OBJECTTYPE");
    const int name = catalog.column("OBJECTNAME");
    const int properties = catalog.column("PROPERTY");
    if (type < 0 || name < 0)
        throwBadFormat(image.fileName, "it is not a FoxPro database container");
    std::vector<DbcTable> tables;
    for (const auto& row : catalog.rows) {
        if (!equalsNoCase(textAt(row, type), "Table")) continue;
        DbcTable table{textAt(row, name), {}};
        if (properties >= 0 && row[static_cast<std::size_t>(properties)].isText())
            table.path = pathInProperties(row[static_cast<std::size_t>(properties)].asText());
        if (table.path.empty()) table.path = table.name + ".dbf";
        tables.push_back(std::move(table));
    }
    return tables;
}

} // namespace varnoke::drivers
