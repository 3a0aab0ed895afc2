#include "drivers/csv_reader.h"

#include "drivers/cell_grid.h"
#include "drivers/field_names.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"
#include "drivers/steady_file.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace varnoke::drivers {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

} // namespace

std::optional<bool> utf16BigEndian(std::string_view head) {
    if (head.starts_with("\xFF\xFE")) return false;
    if (head.starts_with("\xFE\xFF")) return true;
    // Without a mark: UTF-16 text of the characters below U+0100 (Latin letters,
    // digits, commas, line ends) has a NUL in one byte of each, and such characters are
    // at least half of a text file's; other text files have few NULs or none. A few
    // characters of other ranges (U+0100, U+0400) put a NUL in the other byte.
    head = head.substr(0, std::min<std::size_t>(head.size(), 1024) & ~std::size_t{1});
    std::size_t evenNuls = 0, oddNuls = 0;
    for (std::size_t i = 0; i < head.size(); i += 2) {
        evenNuls += head[i] == '\0';
        oddNuls += head[i + 1] == '\0';
    }
    const std::size_t units = head.size() / 2;
    const auto mostly = [&](std::size_t many, std::size_t few) {
        return units >= 2 && many * 2 >= units && many >= 4 * few;
    };
    if (mostly(oddNuls, evenNuls)) return false;
    if (mostly(evenNuls, oddNuls)) return true;
    return {};
}

Utf16Chunks::Utf16Chunks(ChunkSource raw, bool bigEndian)
    : raw_(std::move(raw)), bigEndian_(bigEndian), in_(kChunk) {}

std::size_t Utf16Chunks::operator()(char* into, std::size_t size) {
    while (out_.size() - taken_ < size && !ended_) {
        out_.erase(0, taken_);
        taken_ = 0;
        const std::size_t got = raw_(in_.data() + carried_, in_.size() - carried_);
        ended_ = got == 0;
        const std::size_t have = carried_ + got;
        std::size_t units = have / 2;
        // A high surrogate waits for its partner in the next chunk.
        if (!ended_ && units > 0 && (unitAt(units - 1) & 0xFC00) == 0xD800) --units;
        appendUtf16(out_, {reinterpret_cast<const std::uint8_t*>(in_.data()), units * 2},
                    bigEndian_);
        carried_ = have - units * 2;
        std::copy(in_.begin() + static_cast<std::ptrdiff_t>(units * 2),
                  in_.begin() + static_cast<std::ptrdiff_t>(have), in_.begin());
        // An odd byte at the end is no character.
        if (ended_ && carried_ > 0) {
            appendUtf8(out_, 0xFFFD);
            carried_ = 0;
        }
    }
    const std::size_t n = std::min(size, out_.size() - taken_);
    std::copy_n(out_.data() + taken_, n, into);
    taken_ += n;
    return n;
}

std::uint32_t Utf16Chunks::unitAt(std::size_t i) const {
    const auto hi = static_cast<unsigned char>(in_[2 * i + (bigEndian_ ? 0 : 1)]);
    const auto lo = static_cast<unsigned char>(in_[2 * i + (bigEndian_ ? 1 : 0)]);
    return std::uint32_t{hi} << 8 | lo;
}

CsvScanner::CsvScanner(ChunkSource source, std::string_view fileName)
    : source_(std::move(source)), fileName_(fileName), buffer_(kChunk) {}

CsvScanner::CsvScanner(std::string_view text, std::string_view fileName)
    : fileName_(fileName), window_(text) {}

bool CsvScanner::refill() {
    if (!source_) return false;
    const std::size_t got = source_(buffer_.data(), buffer_.size());
    window_ = std::string_view(buffer_.data(), got);
    if (!started_ && window_.starts_with("\xEF\xBB\xBF")) window_.remove_prefix(3);
    started_ = true;
    return !window_.empty() || (got > 0 && refill());
}

int CsvScanner::peek() {
    if (window_.empty() && !refill()) return -1;
    return static_cast<unsigned char>(window_.front());
}

int CsvScanner::get() {
    const int c = peek();
    if (c >= 0) {
        window_.remove_prefix(1);
        ++offset_;
    }
    return c;
}

bool CsvScanner::nextPlainLine(std::vector<std::string>& fields) {
    for (;;) {
        const auto end = window_.find('\n');
        if (end == std::string_view::npos) return false;
        std::string_view line = window_.substr(0, end);
        // A line longer than a memo's field is left to the careful way, which bounds it.
        if (line.size() > 4 * kMaxMemoCharacters) return false;
        if (line.ends_with('\r')) line.remove_suffix(1);
        // A plain loop: find_first_of would search its set once for every character.
        if (std::any_of(line.begin(), line.end(), [](char c) { return c == '"' || c == '\r'; }))
            return false;
        window_.remove_prefix(end + 1);
        offset_ += end + 1;
        if (line.empty()) continue; // a blank line is no record
        std::size_t count = 0;
        for (std::size_t at = 0;; ++count) {
            const auto comma = line.find(',', at);
            if (fields.size() <= count) fields.emplace_back();
            fields[count].assign(line.substr(at, comma - at));
            if (comma == std::string_view::npos) break;
            at = comma + 1;
        }
        fields.resize(count + 1);
        widest_ = 0;
        checkWidth(fields);
        return true;
    }
}

void CsvScanner::checkWidth(const std::vector<std::string>& fields) const {
    std::size_t widest = widest_;
    if (fields.size() > kMaxTableFields)
        for (std::size_t c = fields.size(); c > kMaxTableFields; --c)
            if (!trim(fields[c - 1]).empty()) {
                widest = std::max(widest, c);
                break;
            }
    checkFieldCount(widest, fileName_);
}

void CsvScanner::checkLength(const std::string& field) const {
    // A memo's characters take at most four bytes each; the characters themselves are
    // counted once the text is known to be UTF-8.
    if (field.size() > 4 * kMaxMemoCharacters)
        throwBadFormat(fileName_, "the field that begins at byte " + std::to_string(fieldStart_) +
                                      " is longer than " + std::to_string(kMaxMemoCharacters) +
                                      " characters, the most a memo holds (or a quote in it "
                                      "is never closed)");
    if (recordBytes_ + field.size() > kMaxRecordBytes)
        throwBadFormat(fileName_, "the record that begins at byte " + std::to_string(recordStart_) +
                                      " is longer than " + std::to_string(kMaxRecordBytes) +
                                      " bytes, the most Varnoke reads in one record");
}

void CsvScanner::keep(std::vector<std::string>& fields, std::string& field) {
    ++seen_;
    if (fields.size() < kMaxTableFields) {
        recordBytes_ += field.size();
        fields.push_back(std::move(field));
    } else if (!trim(field).empty()) {
        // Past what a table holds only the count is kept, for the message.
        widest_ = seen_;
    }
    field.clear();
}

bool CsvScanner::next(std::vector<std::string>& fields) {
    // Most lines hold no quotes: they are split at once, reusing the fields' room.
    if (nextPlainLine(fields)) return true;
    fields.clear();
    recordStart_ = fieldStart_ = offset_;
    recordBytes_ = seen_ = widest_ = 0;
    std::string field;
    bool fieldOpen = false; // a field exists (a comma was seen), even if still empty
    bool consumed = false;  // the current field has text or a quoted part
    auto endField = [&] {
        keep(fields, field);
        fieldOpen = consumed = false;
        fieldStart_ = offset_;
    };
    // True when the record holds something; a blank line is no record.
    auto endRecord = [&] {
        if (fieldOpen || consumed) endField();
        const bool blank = fields.empty() || (fields.size() == 1 && fields[0].empty());
        if (blank) {
            fields.clear();
            recordStart_ = fieldStart_ = offset_;
            recordBytes_ = seen_ = widest_ = 0;
        }
        checkWidth(fields);
        return !blank;
    };

    for (;;) {
        const int c = peek();
        if (c < 0) return endRecord();
        if (c == '"' && !consumed) {
            consumed = true;
            const std::size_t opened = offset_;
            get();
            for (;;) {
                const int q = get();
                if (q < 0)
                    throwBadFormat(fileName_, "a quoted field opened at byte " +
                                                  std::to_string(opened) + " is never closed");
                if (q == '"') {
                    if (peek() == '"') {
                        get();
                        field.push_back('"');
                        continue;
                    }
                    break;
                }
                field.push_back(static_cast<char>(q));
                if ((field.size() & 0xFFF) == 0) checkLength(field);
            }
            checkLength(field);
        } else if (c == ',') {
            get();
            endField();
            fieldOpen = true;
        } else if (c == '\r' || c == '\n') {
            get();
            if (c == '\r' && peek() == '\n') get();
            if (endRecord()) return true;
        } else {
            // A run of plain characters at once: the common case, kept cheap.
            consumed = true;
            std::size_t run = 0;
            while (run < window_.size() && window_[run] != ',' && window_[run] != '\r' &&
                   window_[run] != '\n')
                ++run;
            field.append(window_.substr(0, run));
            window_.remove_prefix(run);
            offset_ += run;
            checkLength(field);
        }
    }
}

std::vector<std::vector<std::string>> parseCsv(std::string_view text, std::string_view fileName) {
    CsvScanner scanner(text, fileName);
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    while (scanner.next(record))
        records.push_back(std::move(record));
    return records;
}

namespace {

// The text is read twice: once to decide the columns' types and whether it is UTF-8,
// then to send the rows. Only one record is held at a time. open() gives a scanner
// at the text's start each time it is called.
template <typename OpenScanner>
void sendCsv(OpenScanner open, std::string_view name, ForeignTableSink& sink) {
    GridTyper typer(CellSource::Text, name);
    // Text files carry no code page; one that is not UTF-8 came from Windows.
    const CodePage windows("CP1252");
    bool utf8 = true;
    std::vector<std::string> record;
    CellRow row;
    bool checking = true; // the first pass finds out whether the text is UTF-8
    auto toRow = [&] {
        row.clear();
        for (auto& f : record) {
            if (checking && utf8 && !isValidUtf8(f)) utf8 = false;
            row.push_back(Value::text(utf8 ? std::move(f) : windows.toUtf8(f)));
        }
    };
    open([&](CsvScanner& scanner) {
        if (!scanner.next(record)) return;
        toRow();
        typer.header(row);
        std::vector<std::string> converted;
        while (scanner.next(record)) {
            for (const auto& f : record)
                if (utf8 && !isValidUtf8(f)) utf8 = false;
            if (utf8) {
                typer.observeTexts(record);
                continue;
            }
            converted.clear();
            for (const auto& f : record)
                converted.push_back(windows.toUtf8(f));
            typer.observeTexts(converted);
        }
    });
    checking = false;
    open([&](CsvScanner& scanner) {
        std::vector<Value> values;
        if (scanner.next(record)) {
            toRow();
            typer.header(row);
        }
        sink.begin(typer.fields(emptyTableMessage({}, {}, name)));
        while (scanner.next(record)) {
            toRow();
            if (typer.convert(row, values)) sink.row(values);
        }
    });
}

// Reads through one descriptor, so that a save that puts a new file in place of the old
// cannot give the passes different files, and checks at each pass's start and end that
// the file is the one it was.
class CsvReader final : public ForeignReader {
public:
    explicit CsvReader(std::function<void(CsvReadPoint)> watch = {}) : watch_(std::move(watch)) {}

    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto path = findTableFile(source, {".csv", ".txt", ".CSV", ".TXT"});
        const std::string name = fileNameOf(path);
        SteadyFile file(path);
        const std::optional<bool> bigEndian = utf16BigEndian(file.head());
        CsvReadPoint at;
        const auto tell = [&] {
            if (watch_) watch_(at);
        };
        try {
            sendCsv(
                [&](const auto& walk) {
                    at = {at.pass + 1, 0};
                    tell();
                    file.startPass();
                    ChunkSource chunks = [&](char* into, std::size_t size) {
                        const std::size_t got = file.read(into, size);
                        if (got > 0) {
                            ++at.chunk;
                            tell();
                        }
                        return got;
                    };
                    if (bigEndian) chunks = Utf16Chunks(std::move(chunks), *bigEndian);
                    CsvScanner scanner(std::move(chunks), name);
                    walk(scanner);
                    file.endPass();
                },
                name, sink);
        } catch (...) {
            // Text torn by a change can fail in any way; the change is what the user must
            // learn of.
            file.check();
            throw;
        }
    }

private:
    std::function<void(CsvReadPoint)> watch_;
};

} // namespace

void readCsvImage(std::string_view text, std::string_view fileName, ForeignTableSink& sink) {
    std::string decoded;
    if (const auto bigEndian = utf16BigEndian(text)) {
        Utf16Chunks chunks(
            [rest = text](char* into, std::size_t size) mutable {
                const std::size_t n = std::min(size, rest.size());
                std::copy_n(rest.data(), n, into);
                rest.remove_prefix(n);
                return n;
            },
            *bigEndian);
        std::vector<char> piece(kChunk);
        while (const std::size_t n = chunks(piece.data(), piece.size()))
            decoded.append(piece.data(), n);
        text = decoded;
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    sendCsv(
        [&](const auto& walk) {
            CsvScanner scanner(text, fileName);
            walk(scanner);
        },
        fileName, sink);
}

const ForeignReader& csvReader() {
    static const CsvReader reader;
    return reader;
}

std::shared_ptr<const ForeignReader> watchedCsvReader(std::function<void(CsvReadPoint)> watch) {
    return std::make_shared<const CsvReader>(std::move(watch));
}

} // namespace varnoke::drivers
