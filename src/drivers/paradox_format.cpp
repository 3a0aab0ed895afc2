#include "drivers/paradox_format.h"

#include "drivers/field_names.h"
#include "drivers/paradox_blobs.h"
#include "value/convert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace varnoke::drivers {

namespace {

// Field type bytes as the table header stores them.
enum : std::uint8_t {
    kAlpha = 0x01,
    kDate = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kMoney = 0x05,
    kNumber = 0x06,
    kLogical = 0x09,
    kMemo = 0x0C,
    kBinaryBlob = 0x0D,
    kFormattedMemo = 0x0E,
    kOle = 0x0F,
    kGraphic = 0x10,
    kTime = 0x14,
    kTimestamp = 0x15,
    kAutoIncrement = 0x16,
    kBcd = 0x17,
    kBytes = 0x18,
};

// The head of a graphic's bytes, dropped from its value.
constexpr std::size_t kGraphicHead = 8;

// A BCD number's text: 32 digits, a sign and a point.
constexpr int kBcdTextSize = 34;

// Paradox day 1 is 1/1/0001.
constexpr double kDayOneSerial = civilSerial(1, 1, 1);
constexpr double kMillisPerDay = 86400000.0;

struct Field {
    std::uint8_t type = 0;
    std::size_t size = 0; // bytes in the record; for BCD the header gives decimals
    std::size_t offset = 0;
    ForeignField out;
};

std::string_view asChars(ByteSpan bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool allZero(ByteSpan b) {
    return std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0; });
}

// Numbers are stored big-endian with the sign bit inverted, so that the bytes sort as
// the numbers do; all zero bytes mean no value.
std::optional<std::int64_t> storedInteger(ByteSpan b) {
    if (allZero(b)) return std::nullopt;
    std::uint64_t v = b[0] ^ 0x80u;
    for (std::size_t i = 1; i < b.size(); ++i)
        v = v << 8 | b[i];
    const unsigned bits = static_cast<unsigned>(b.size() * 8);
    if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(v);
}

// Doubles likewise, except that a negative one has every bit inverted.
std::optional<double> storedDouble(ByteSpan b) {
    if (allZero(b)) return std::nullopt;
    std::uint64_t v = 0;
    for (auto x : b)
        v = v << 8 | x;
    if (v & (std::uint64_t{1} << 63))
        v &= ~(std::uint64_t{1} << 63);
    else
        v = ~v;
    double d = 0;
    std::memcpy(&d, &v, sizeof d);
    return d;
}

// 17 bytes: a sign bit (set when not negative) and the count of decimals in the first
// byte, then 32 digits, one a nibble, all inverted for a negative number. The number's
// decimal text, without leading zeros or trailing zero decimals. A blank value keeps
// its count of decimals with the sign bit clear over digits that are not inverted.
std::optional<std::string> storedBcd(ByteSpan b) {
    const bool negative = !(b[0] & 0x80);
    if (negative && allZero(b.subspan(1))) return std::nullopt;
    const std::uint8_t flip = negative ? 0x0F : 0x00;
    const std::size_t decimals = std::min<std::size_t>(b[0] & 0x3F, (b.size() - 1) * 2);
    std::string digits;
    for (std::size_t i = 1; i < b.size(); ++i)
        for (int shift : {4, 0})
            digits.push_back(static_cast<char>(((b[i] >> shift) & 0x0F) ^ flip));
    // Digits past the number's precision may hold noise (nibbles above 9); they and all
    // that follow count as 0.
    bool valid = true;
    for (auto& d : digits) {
        valid = valid && d <= 9;
        d = static_cast<char>('0' + (valid ? d : 0));
    }
    std::string whole = digits.substr(0, digits.size() - decimals);
    std::string fraction = digits.substr(digits.size() - decimals);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(std::min(fraction.find_last_not_of('0') + 1, fraction.size()));
    if (whole.empty() && fraction.empty()) return "0";
    std::string text = negative ? "-" : "";
    text += whole.empty() ? "0" : whole;
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

ForeignField outputField(std::string name, std::uint8_t type, std::size_t size) {
    auto field = [&](int code, int s = -1) {
        return ForeignField{std::move(name), code, s < 0 ? standardSize(code) : s};
    };
    switch (type) {
    case kAlpha:
        return field(10, static_cast<int>(std::min<std::size_t>(size, 255)));
    case kDate:
    case kTime:
    case kTimestamp:
        return field(8);
    case kShort:
        return field(3);
    case kLong:
    case kAutoIncrement:
        return field(4);
    case kMoney:
        return field(5);
    case kNumber:
    case kBcd:
        return field(7);
    case kLogical:
        return field(1);
    case kMemo:
        return field(12);
    // A formatted memo's blob interleaves its text with layout records; it is kept whole.
    default:
        return field(11);
    }
}

std::size_t storedSize(std::uint8_t type, std::size_t headerSize) {
    // A BCD field's header byte is its count of decimals, not its width.
    return type == kBcd ? 17 : headerSize;
}

// The header bytes each field type may give: numbers and dates have one width, text and
// bytes a range, blob fields at least their 10-byte pointer, BCD up to 32 decimals.
struct HeaderWidths {
    std::uint8_t type;
    std::uint8_t least;
    std::uint8_t most;
};
constexpr HeaderWidths kHeaderWidths[] = {
    {kAlpha, 1, 255},       {kDate, 4, 4},
    {kShort, 2, 2},         {kLong, 4, 4},
    {kMoney, 8, 8},         {kNumber, 8, 8},
    {kLogical, 1, 1},       {kMemo, 10, 255},
    {kBinaryBlob, 10, 255}, {kFormattedMemo, 10, 255},
    {kOle, 10, 255},        {kGraphic, 10, 255},
    {kTime, 4, 4},          {kTimestamp, 8, 8},
    {kAutoIncrement, 4, 4}, {kBcd, 0, 32},
    {kBytes, 1, 255},
};

const HeaderWidths* headerWidths(std::uint8_t type) {
    const auto* found = std::find_if(std::begin(kHeaderWidths), std::end(kHeaderWidths),
                                     [&](const HeaderWidths& w) { return w.type == type; });
    return found == std::end(kHeaderWidths) ? nullptr : found;
}

struct Header {
    std::size_t recordSize = 0;
    std::size_t headerSize = 0;
    std::size_t blockSize = 0;
    std::size_t firstBlock = 0;
    std::size_t records = 0;
    std::uint8_t version = 0;
    std::string codePage;
    std::vector<Field> fields;
};

constexpr std::size_t kLeastHeader = 0x58;
constexpr std::size_t kFileTypeAt = 0x04;
constexpr std::size_t kVersionAt = 0x39;

// Tables with and without a primary key; other types are indexes and the like.
bool isTableFileType(std::uint8_t fileType) {
    return fileType == 0 || fileType == 2;
}

bool isKnownVersion(std::uint8_t version) {
    return version >= 3 && version <= 0x0C;
}

// The NUL-ended text at `at` inside the header; `at` moves past its NUL. Without a NUL
// before the header's end, fails with `why`, or gives what there is when `why` is empty.
std::string headerText(const ByteView& view, std::size_t& at, std::size_t headerSize,
                       std::string_view why) {
    std::string text;
    for (; at < headerSize; ++at) {
        const auto c = view.u8(at);
        if (c == 0) {
            ++at;
            return text;
        }
        text.push_back(static_cast<char>(c));
    }
    if (!why.empty()) view.fail(why);
    return text;
}

constexpr std::string_view kRoman8SortOrder = "BLROM800";

Header readHeader(const ByteView& view) {
    if (view.size() < kLeastHeader) view.fail("it is too short to hold a Paradox header");
    Header h;
    h.recordSize = view.u16le(0x00);
    h.headerSize = view.u16le(0x02);
    const std::uint8_t fileType = view.u8(kFileTypeAt);
    h.blockSize = std::size_t{view.u8(0x05)} * 1024;
    h.records = view.u32le(0x06);
    h.firstBlock = view.u16le(0x0E);
    const std::size_t fieldCount = view.u16le(0x21);
    h.version = view.u8(kVersionAt);
    if (!isTableFileType(fileType))
        view.fail("it is a Paradox index or other auxiliary file, not a table");
    if (!isKnownVersion(h.version)) view.fail("it is not a Paradox table (unknown version)");
    if (h.blockSize == 0 || h.blockSize > 32 * 1024) view.fail("its block size is not valid");
    if (h.recordSize == 0 || h.recordSize > h.blockSize - 6)
        view.fail("its record size is not valid");
    if (fieldCount == 0 || fieldCount > 255) view.fail("its field count is not valid");
    if (h.headerSize > view.size()) view.fail("the file ends inside its header");

    // Versions from 4.0 on carry a second header part and keep the encryption word there.
    const bool extended = h.version >= 5;
    const std::uint32_t encryption = extended ? view.u32le(0x5C) : view.u32le(0x25);
    if (encryption != 0 && (extended || encryption != 0xFF00FF00))
        throw EngineError(err::CannotOpen, "The Paradox table '" + std::string(view.fileName()) +
                                               "' is protected by a password; Varnoke cannot "
                                               "read encrypted tables.");
    h.codePage = extended ? "CP" + std::to_string(view.u16le(0x6A)) : "CP437";

    const std::size_t infoAt = extended ? 0x78 : 0x58;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        Field f;
        f.type = view.u8(infoAt + 2 * i);
        const std::uint8_t width = view.u8(infoAt + 2 * i + 1);
        const auto* widths = headerWidths(f.type);
        if (!widths) view.fail("a field has a type Varnoke does not know");
        if (width < widths->least || width > widths->most)
            view.fail("a field's width does not fit its type");
        f.size = storedSize(f.type, width);
        f.offset = offset;
        offset += f.size;
        h.fields.push_back(f);
    }
    if (offset != h.recordSize) view.fail("its fields do not add up to its record size");

    // Then a pointer for the table name and one a field, the table name, and the
    // field names one after the other, each ending in a NUL.
    const std::size_t tableNameLength = h.version >= 0x0C ? 261 : 79;
    std::size_t at = infoAt + 2 * fieldCount + 4 + 4 * fieldCount + tableNameLength;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < fieldCount; ++i)
        names.push_back(headerText(view, at, h.headerSize, "the field names run past the header"));
    // A table that gives no code page may still name its sort order after the field
    // numbers; an HP Roman-8 order means Roman-8 text.
    if (extended && view.u16le(0x6A) == 0) {
        at += 2 * fieldCount;
        if (at < h.headerSize && headerText(view, at, h.headerSize, "") == kRoman8SortOrder)
            h.codePage = "HP-ROMAN8";
    }
    const CodePage codePage(h.codePage);
    for (std::size_t i = 0; i < fieldCount; ++i)
        h.fields[i].out =
            outputField(codePage.toUtf8(trim(names[i])), h.fields[i].type, h.fields[i].size);
    return h;
}

class RecordDecoder {
public:
    RecordDecoder(const Header& header, const ParadoxBlobs& blobs, std::string_view fileName)
        : blobs_(blobs), codePage_(header.codePage), fileName_(fileName) {}

    Value decode(const Field& f, ByteSpan record) const {
        const ByteSpan raw = record.subspan(f.offset, f.size);
        switch (f.type) {
        case kAlpha: {
            // Values end at a NUL; blanks before it are the value's own.
            const auto text = asChars(raw);
            const auto v = text.substr(0, text.find('\0'));
            return v.empty() ? Value::null() : Value::text(codePage_.toUtf8(v));
        }
        case kShort:
        case kLong:
        case kAutoIncrement: {
            const auto v = storedInteger(raw);
            return v ? Value::number(static_cast<double>(*v)) : Value::null();
        }
        case kNumber: {
            const auto v = storedDouble(raw);
            return v ? Value::number(*v) : Value::null();
        }
        case kMoney: {
            const auto v = storedDouble(raw);
            return v ? Value::currency(*v) : Value::null();
        }
        case kBcd: {
            const auto v = storedBcd(raw);
            if (!v) return Value::null();
            if (f.out.type == 10) return Value::text(*v);
            return Value::number(std::strtod(v->c_str(), nullptr));
        }
        case kDate: {
            const auto v = storedInteger(raw);
            return v ? Value::date(kDayOneSerial + static_cast<double>(*v - 1)) : Value::null();
        }
        case kTime: {
            const auto v = storedInteger(raw);
            return v ? Value::date(static_cast<double>(*v) / kMillisPerDay) : Value::null();
        }
        case kTimestamp: {
            const auto v = storedDouble(raw);
            if (!v) return Value::null();
            // Milliseconds from the start of day 0, the day before 1/1/0001.
            return Value::date(kDayOneSerial - 1 + *v / kMillisPerDay);
        }
        case kLogical:
            if (raw[0] == 0) return Value::null();
            return Value::boolean((raw[0] ^ 0x80) != 0);
        case kBytes:
            return allZero(raw) ? Value::null() : Value::text(std::string(asChars(raw)));
        default:
            return blob(f, raw);
        }
    }

private:
    Value blob(const Field& f, ByteSpan raw) const {
        const std::size_t inline_ = f.size - 10;
        const ByteView tail(raw.subspan(inline_), {});
        const std::uint32_t pointer = tail.u32le(0);
        const std::uint32_t length = tail.u32le(4);
        if (length == 0) return Value::null();
        std::string content = length <= inline_ ? std::string(asChars(raw.first(length)))
                                                : blobs_.read(pointer, length);
        if (f.type == kGraphic) {
            // A graphic begins with its kind and its length, 4 bytes each, before the image.
            if (content.size() < kGraphicHead)
                throwBadFormat(fileName_, "a graphic is shorter than its own head");
            content.erase(0, kGraphicHead);
        }
        if (f.out.type != 12) return Value::text(std::move(content));
        return Value::text(codePage_.toUtf8(content));
    }

    const ParadoxBlobs& blobs_;
    CodePage codePage_;
    std::string_view fileName_;
};

} // namespace

namespace {

// A data block of the chain: where its records start and how many it holds.
struct Block {
    std::size_t at = 0;
    std::size_t records = 0;
};

// The data blocks in their chain's order. Every block and every record it holds lies in
// the file (the last block may end early, as long as its records are there), and the
// blocks hold as many records as the header counts.
std::vector<Block> blockChain(const ParadoxImage& image, const ByteView& view,
                              const Header& header) {
    const std::size_t releaseEvery = std::max<std::size_t>(1, kReleaseEvery / header.blockSize);
    std::vector<Block> chain;
    std::set<std::size_t> visited;
    std::size_t total = 0;
    for (std::size_t block = header.firstBlock; block != 0;) {
        if (image.release && chain.size() % releaseEvery == releaseEvery - 1) image.release();
        const std::size_t at = header.headerSize + (block - 1) * header.blockSize;
        if (at + 6 > view.size()) view.fail("a data block lies beyond the end of the file");
        if (!visited.insert(block).second) view.fail("its data blocks form a loop");
        const std::size_t next = view.u16le(at);
        const auto lastOffset = static_cast<std::int16_t>(view.u16le(at + 4));
        std::size_t records = 0;
        if (lastOffset >= 0) {
            if (static_cast<std::size_t>(lastOffset) % header.recordSize != 0)
                view.fail("a data block's last record does not start on a record");
            records = static_cast<std::size_t>(lastOffset) / header.recordSize + 1;
            if (6 + records * header.recordSize > header.blockSize)
                view.fail("a data block claims more records than it can hold");
            if (at + 6 + records * header.recordSize > view.size())
                view.fail("a data block's records run past the end of the file");
        }
        chain.push_back({at + 6, records});
        total += records;
        block = next;
    }
    if (total != header.records)
        view.fail("its data blocks hold " + std::to_string(total) +
                  " records where its header counts " + std::to_string(header.records));
    return chain;
}

// Calls visit with each record of the chain.
void forEachRecord(const ParadoxImage& image, const ByteView& view, const Header& header,
                   const std::vector<Block>& chain, const std::function<void(ByteSpan)>& visit) {
    const std::size_t releaseEvery = std::max<std::size_t>(1, kReleaseEvery / header.blockSize);
    for (std::size_t b = 0; b < chain.size(); ++b) {
        if (image.release && b % releaseEvery == releaseEvery - 1) image.release();
        for (std::size_t r = 0; r < chain[b].records; ++r)
            visit(view.slice(chain[b].at + r * header.recordSize, header.recordSize));
    }
}

// BCD fields that hold a number a double cannot hold exactly become text fields, so
// that two long keys are never read as one number.
void typeLongNumbers(const ParadoxImage& image, const ByteView& view, Header& header,
                     const std::vector<Block>& chain) {
    std::vector<Field*> open;
    for (auto& f : header.fields)
        if (f.type == kBcd) open.push_back(&f);
    if (open.empty()) return;
    forEachRecord(image, view, header, chain, [&](ByteSpan record) {
        std::erase_if(open, [&](Field* f) {
            const auto text = storedBcd(record.subspan(f->offset, f->size));
            if (!text || doubleHoldsExactly(std::strtod(text->c_str(), nullptr))) return false;
            f->out = ForeignField{f->out.name, 10, kBcdTextSize};
            return true;
        });
    });
}

} // namespace

void readParadoxImage(const ParadoxImage& image, ForeignTableSink& sink) {
    const ByteView view(image.table, image.fileName);
    Header header = readHeader(view);
    const auto chain = blockChain(image, view, header);
    const ParadoxBlobs blobs(image.blobs, image.fileName, image.blobFileName);
    typeLongNumbers(image, view, header, chain);
    const RecordDecoder decoder(header, blobs, image.fileName);

    std::vector<ForeignField> fields;
    for (const auto& f : header.fields)
        fields.push_back(f.out);
    makeNamesUnique(fields);
    sink.begin(fields);

    std::vector<Value> values;
    forEachRecord(image, view, header, chain, [&](ByteSpan record) {
        values.clear();
        for (const auto& f : header.fields)
            values.push_back(decoder.decode(f, record));
        sink.row(values);
    });
}

bool isParadoxTable(ByteSpan head) {
    return head.size() >= kLeastHeader && isTableFileType(head[kFileTypeAt]) &&
           isKnownVersion(head[kVersionAt]);
}

} // namespace varnoke::drivers
