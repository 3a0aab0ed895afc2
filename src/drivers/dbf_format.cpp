#include "drivers/dbf_format.h"

#include "drivers/dbf_memo.h"
#include "drivers/dbf_number.h"
#include "drivers/dbf_text.h"
#include "drivers/field_names.h"
#include "value/convert.h"

#include <algorithm>
#include <cstring>

namespace varnoke::drivers {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
// Visual FoxPro keeps the path of a table's database container after its field list.
constexpr std::size_t kBacklinkSize = 263;

bool isVisualFoxPro(std::uint8_t version) {
    return version >= 0x30 && version <= 0x32;
}

bool isKnownVersion(std::uint8_t version) {
    switch (version) {
    case 0x02: // dBase II, recognised to be refused by name
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

// Versions whose header byte 15 says the records are enciphered with a password.
bool marksEncryption(std::uint8_t version) {
    return version == 0x03 || version == 0x05 || version == 0x83 || version == 0x8B ||
           version == 0x8E || version == 0xCB;
}

struct DbfField {
    std::string name;
    std::string_view rawName; // in the table's code page
    char type = 'C';
    std::size_t offset = 0; // within the record, after the deletion flag
    std::size_t length = 0;
    std::uint8_t lengthByte = 0;
    std::uint8_t decimals = 0;
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

bool isNumberText(char type) {
    return type == 'N' || type == 'F';
}

// Fields written as text, whose bytes are never the end-of-file mark.
bool isTextKind(char type) {
    return type == 'C' || isNumberText(type) || type == 'D' || type == 'L';
}

bool isDbaseMemo(const DbfField& f, bool vfp) {
    return f.type == 'M' || f.type == 'G' || f.type == 'P' || (f.type == 'B' && !vfp);
}

ForeignField outputField(const DbfField& f, bool vfp) {
    auto field = [&](int type, int size = -1) {
        return ForeignField{f.name, type, size < 0 ? standardSize(type) : size};
    };
    const int textSize =
        static_cast<int>(std::min<std::size_t>(std::max<std::size_t>(f.length, 1), 255));
    switch (f.type) {
    case 'C':
        if (f.length > 255) return field(12);
        return field(10, textSize);
    // A varchar flagged binary is one whose bytes no code page translation touches: text.
    case 'V':
        return field(10, textSize);
    case 'N':
    case 'F':
    case 'O':
        return field(7);
    case 'B':
        return vfp ? field(7) : field(11);
    case 'I':
    case '+':
        return field(4);
    case 'Y':
        return field(5);
    case 'D':
    case 'T':
    case '@':
        return field(8);
    case 'L':
        return field(1);
    case 'M':
        return f.flags & kFlagBinary ? field(11) : field(12);
    case 'G':
    case 'P':
    case 'W':
    case 'Q':
        return field(11);
    default:
        return field(10, textSize);
    }
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

struct Layout {
    std::uint8_t version = 0;
    bool vfp = false;
    std::uint32_t recordCount = 0;
    std::size_t headerLength = 0;
    std::size_t recordLength = 0;
    std::vector<DbfField> fields;
    int nullFlags = -1; // index of the hidden _NullFlags field
};

// The fields' lengths, taking a character field's decimal byte as the high byte of its
// length (as Clipper and FoxPro write fields longer than 255) only where the record
// length says so: other writers leave any byte there.
void settleLengths(Layout& layout, const ByteView& view) {
    std::size_t plain = 1, wide = 1;
    for (const auto& f : layout.fields) {
        plain += f.lengthByte;
        wide += f.lengthByte + (f.type == 'C' ? std::size_t{f.decimals} << 8 : 0);
    }
    const bool useWide = plain != layout.recordLength && wide == layout.recordLength;
    if (!useWide && plain != layout.recordLength)
        view.fail("its record length (" + std::to_string(layout.recordLength) +
                  ") disagrees with its fields' lengths (" + std::to_string(plain) + ")");
    std::size_t offset = 1;
    for (auto& f : layout.fields) {
        f.length = f.lengthByte + (useWide && f.type == 'C' ? std::size_t{f.decimals} << 8 : 0);
        if (f.length == 0)
            view.fail("the field '" + std::string(f.rawName) + "' has a length of 0");
        f.offset = offset;
        offset += f.length;
    }
}

// The header ends where its field list says: after the list's 0x0D mark (Visual FoxPro
// keeps its container's path after that), padded with NULs only. A table written without
// the mark ends its header with the last field or one byte after it.
void checkHeaderEnd(const Layout& layout, const ByteView& view, std::optional<std::size_t> mark) {
    const std::size_t listEnd = kHeaderSize + layout.fields.size() * kDescriptorSize;
    if (!mark) {
        if (layout.headerLength != listEnd && layout.headerLength != listEnd + 1)
            view.fail("its header length does not end its field list");
        return;
    }
    std::size_t padFrom = *mark + 1;
    if (layout.vfp) padFrom += kBacklinkSize;
    if (layout.headerLength < padFrom) view.fail("its header length does not end its field list");
    for (std::size_t at = padFrom; at < layout.headerLength; ++at)
        if (view.u8(at) != 0) view.fail("its header length does not end its field list");
}

Layout readLayout(const ByteView& view) {
    if (view.size() < kHeaderSize) view.fail("it is too short to hold a dBase header");
    Layout layout;
    layout.version = view.u8(0);
    if (layout.version == 0x04 || layout.version == 0x8C) view.fail("dBase 7 tables are not read");
    if (!isKnownVersion(layout.version))
        view.fail("it is not a dBase or FoxPro table (unknown version byte)");
    // dBase II (and the FoxBASE that shares its byte) lays its header out otherwise.
    if (layout.version == 0x02) view.fail("dBase II tables are not read");
    layout.vfp = isVisualFoxPro(layout.version);
    if (marksEncryption(layout.version) && view.u8(15) == 1)
        throw EngineError(err::CannotOpen, "The table '" + std::string(view.fileName()) +
                                               "' is protected by a password; Varnoke cannot "
                                               "read it.");
    layout.recordCount = view.u32le(4);
    layout.headerLength = view.u16le(8);
    layout.recordLength = view.u16le(10);
    if (layout.headerLength < kHeaderSize + 1) view.fail("its header length is too small");
    if (layout.recordLength < 1) view.fail("its record length is too small");

    std::optional<std::size_t> mark;
    for (std::size_t at = kHeaderSize; at < layout.headerLength; at += kDescriptorSize) {
        if (view.u8(at) == 0x0D) {
            mark = at;
            break;
        }
        if (at + kDescriptorSize > layout.headerLength) break; // a short last slot is padding
        const auto d = view.slice(at, kDescriptorSize);
        DbfField f;
        const auto rawName = asChars(d.first(11));
        f.rawName = trim(rawName.substr(0, rawName.find('\0')));
        f.type = static_cast<char>(std::toupper(d[11]));
        f.lengthByte = d[16];
        f.decimals = d[17];
        f.flags = layout.vfp ? d[18] : 0;
        f.hidden = f.type == '0' || (f.flags & kFlagSystem);
        layout.fields.push_back(std::move(f));
    }
    if (layout.fields.empty()) view.fail("it declares no fields");
    checkHeaderEnd(layout, view, mark);
    settleLengths(layout, view);
    int nextBit = 0;
    for (auto& f : layout.fields) {
        if (f.hidden) continue;
        if (f.type == 'V' || f.type == 'Q') f.varLengthBit = nextBit++;
        if (f.flags & kFlagNullable) f.nullBit = nextBit++;
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
    RecordDecoder(const Layout& layout, const DbfMemoFile& memo, const ByteView& view,
                  const DbfText& text)
        : layout_(layout), memo_(memo), view_(view), text_(text) {}

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
                if (f.type == 'Q') return Value::text(std::string(v));
                v = trimRight(v);
                return v.empty() ? Value::null() : Value::text(text_.decode(v));
            }
        }
        switch (f.type) {
        case 'N':
        case 'F': {
            if (f.out.type == 10) {
                const auto v = trim(text);
                return v.empty() ? Value::null() : Value::text(std::string(v));
            }
            const auto n = parseDbfNumber(text);
            return std::holds_alternative<double>(n) ? Value::number(std::get<double>(n))
                                                     : Value::null();
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
        case '+':
            if (raw.size() != 4) view_.fail("an integer field is not 4 bytes long");
            return Value::number(static_cast<double>(signedLe(raw)));
        case 'Y':
            if (raw.size() != 8) view_.fail("a currency field is not 8 bytes long");
            return Value::currency(Currency{signedLe(raw)});
        case 'O':
            if (raw.size() != 8) view_.fail("a double field is not 8 bytes long");
            return Value::number(doubleLe(raw));
        case 'B':
            if (layout_.vfp) {
                if (raw.size() != 8) view_.fail("a double field is not 8 bytes long");
                return Value::number(doubleLe(raw));
            }
            return memoOf(f, raw);
        case 'T':
        case '@':
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
            return v.empty() ? Value::null() : Value::text(text_.decode(v));
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
        const auto block = memoBlock(raw, view_);
        if (!block || *block == 0) return Value::null();
        bool isText = true;
        std::string content = memo_.read(*block, &isText);
        if (content.empty()) return Value::null();
        if (f.out.type == 12 && isText) return Value::text(text_.decode(content));
        return Value::text(std::move(content));
    }

public:
    // The memo block a memo field names; none for a field that names none.
    static std::optional<std::uint32_t> memoBlock(ByteSpan raw, const ByteView& view) {
        if (raw.size() == 4) return static_cast<std::uint32_t>(signedLe(raw));
        const auto text = trim(asChars(raw));
        if (text.empty()) return std::nullopt;
        std::uint64_t block = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return std::nullopt;
            block = block * 10 + static_cast<std::uint64_t>(c - '0');
            if (block > 0xFFFFFFFFu) view.fail("a memo block number is out of range");
        }
        return static_cast<std::uint32_t>(block);
    }

private:
    const Layout& layout_;
    const DbfMemoFile& memo_;
    const ByteView& view_;
    const DbfText& text_;
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
    const auto n = parseDbfNumber(text);
    return !std::holds_alternative<double>(n) || doubleHoldsExactly(std::get<double>(n));
}

ByteSpan recordAt(const Layout& layout, const ByteView& view, std::uint32_t r) {
    return view.slice(layout.headerLength + std::size_t{r} * layout.recordLength,
                      layout.recordLength);
}

// The file must hold the records its header counts, and not one more: a count lower
// than the file holds, or a header length off by a byte, would read shifted or short
// records as sound ones. Only the end-of-file mark (and what some writers leave after
// it, less than a record) may follow the last record.
void checkRecordSpan(const Layout& layout, const ByteView& view) {
    const std::uint64_t needed =
        std::uint64_t{layout.recordCount} * layout.recordLength + layout.headerLength;
    if (needed > view.size())
        view.fail("it holds fewer records than its header says (it may have been cut short)");
    const std::uint64_t after = view.size() - needed;
    const bool marked = after > 0 && view.u8(view.size() - 1) == 0x1A;
    if (after - (marked ? 1 : 0) >= layout.recordLength)
        view.fail("it holds more records than its header says");
    // A last record that ends in the mark took the mark in: its header is off by a byte.
    const auto& last = layout.fields.back();
    if (after == 0 && layout.recordCount > 0 && isTextKind(last.type) &&
        view.u8(view.size() - 1) == 0x1A)
        view.fail("its last record runs into the end-of-file mark");
}

// What one walk over the records finds out before any row is sent: that every record
// begins with a deletion flag, which number fields hold numbers a double cannot hold
// exactly (they become text fields, so that two long keys are never read as one
// number), whether every text is valid UTF-8, and where the memos begin.
struct Survey {
    bool allUtf8 = true;
    std::vector<std::uint32_t> memoStarts;
};

Survey surveyRecords(Layout& layout, const ByteView& view, bool checkUtf8, bool memoStarts,
                     const std::function<void()>& release) {
    Survey survey;
    std::vector<DbfField*> numbers, texts, memos;
    for (auto& f : layout.fields) {
        if (f.hidden) continue;
        if (isNumberText(f.type)) numbers.push_back(&f);
        if (checkUtf8 && (f.type == 'C' || f.type == 'V')) texts.push_back(&f);
        if (memoStarts && isDbaseMemo(f, layout.vfp)) memos.push_back(&f);
    }
    const std::size_t releaseEvery = std::max<std::size_t>(1, kReleaseEvery / layout.recordLength);
    for (std::uint32_t r = 0; r < layout.recordCount; ++r) {
        if (release && r % releaseEvery == releaseEvery - 1) release();
        const ByteSpan record = recordAt(layout, view, r);
        if (record[0] != ' ' && record[0] != '*' && record[0] != 0)
            view.fail("record " + std::to_string(r + 1) + " does not begin with a deletion flag");
        if (record[0] == '*') continue;
        for (auto* f : numbers) {
            const auto text = asChars(record.subspan(f->offset, f->length));
            if (std::holds_alternative<NotANumber>(parseDbfNumber(text)))
                view.fail("record " + std::to_string(r + 1) + ", field '" + f->name + "' holds '" +
                          std::string(trim(text)) + "', which is not a number");
            if (f->out.type != 10 && !readsExactly(text))
                f->out = ForeignField{f->out.name, 10,
                                      static_cast<int>(std::min<std::size_t>(f->length, 255))};
        }
        for (std::size_t i = 0; i < texts.size() && survey.allUtf8; ++i)
            survey.allUtf8 =
                isValidUtf8(asChars(record.subspan(texts[i]->offset, texts[i]->length)));
        for (auto* f : memos)
            if (const auto block =
                    RecordDecoder::memoBlock(record.subspan(f->offset, f->length), view);
                block && *block)
                survey.memoStarts.push_back(*block);
    }
    return survey;
}

} // namespace

void readDbfImage(const DbfImage& image, ForeignTableSink& sink) {
    const ByteView view(image.table, image.fileName);
    Layout layout = readLayout(view);
    checkRecordSpan(layout, view);
    DbfMemoFile memo(image.memo, dbfUsesFptMemo(image.table), image.fileName, image.memoFileName);

    std::optional<DbfText> text = DbfText::marked(image.codePageLabel, view.u8(29));
    // The names are needed by the survey's messages; they are decoded again below
    // once the text of an unmarked table is known.
    const DbfText firstNames = text ? *text : DbfText::unmarked(false);
    for (auto& f : layout.fields)
        f.name = firstNames.decode(f.rawName);
    for (auto& f : layout.fields)
        if (!f.hidden) f.out = outputField(f, layout.vfp);
    const Survey survey = surveyRecords(layout, view, !text, memo.endsAtMarks(), image.release);
    if (!text) {
        text = DbfText::unmarked(survey.allUtf8);
        for (auto& f : layout.fields) {
            f.name = text->decode(f.rawName);
            f.out.name = f.name;
        }
    }
    memo.setStarts(survey.memoStarts);
    const RecordDecoder decoder(layout, memo, view, *text);

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
        const ByteSpan record = recordAt(layout, view, r);
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
