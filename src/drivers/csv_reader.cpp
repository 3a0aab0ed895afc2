#include "drivers/csv_reader.h"

#include "drivers/cell_grid.h"
#include "drivers/reader_support.h"
#include "drivers/readers.h"

namespace varnoke::drivers {

std::vector<std::vector<std::string>> parseCsv(std::string_view text, std::string_view fileName) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool fieldOpen = false; // a field exists (a comma was seen), even if still empty
    bool consumed = false;  // the current field has text or a quoted part
    std::size_t i = 0;
    const std::size_t n = text.size();

    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
        fieldOpen = consumed = false;
    };
    auto endRecord = [&] {
        if (fieldOpen || consumed) endField();
        const bool blank = record.size() == 1 && record[0].empty();
        if (!record.empty() && !blank) records.push_back(std::move(record));
        record.clear();
    };

    while (i < n) {
        const char c = text[i];
        if (c == '"' && !consumed) {
            consumed = true;
            const std::size_t opened = i++;
            for (;;) {
                if (i >= n)
                    throwBadFormat(fileName, "a quoted field opened at byte " +
                                                 std::to_string(opened) + " is never closed");
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        field.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.push_back(text[i++]);
            }
        } else if (c == ',') {
            endField();
            fieldOpen = true;
            ++i;
        } else if (c == '\r' || c == '\n') {
            endRecord();
            i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
        } else {
            consumed = true;
            field.push_back(c);
            ++i;
        }
    }
    endRecord();
    return records;
}

namespace {

class CsvReader final : public ForeignReader {
public:
    void read(const LinkSource& source, ForeignTableSink& sink) const override {
        const auto file = findTableFile(source, {".csv", ".txt", ".CSV", ".TXT"});
        const Bytes bytes = readWholeFile(file);
        std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        // Text files carry no code page; one that is not UTF-8 came from Windows.
        std::string converted;
        if (!isValidUtf8(text)) {
            converted = CodePage("CP1252").toUtf8(text);
            text = converted;
        }
        const std::string name = fileNameOf(file);
        auto records = parseCsv(text, name);
        std::vector<CellRow> grid;
        grid.reserve(records.size());
        for (auto& record : records) {
            CellRow row;
            row.reserve(record.size());
            for (auto& f : record)
                row.push_back(Value::text(std::move(f)));
            grid.push_back(std::move(row));
        }
        sendGrid(std::move(grid), CellSource::Text, sink);
    }
};

} // namespace

const ForeignReader& csvReader() {
    static const CsvReader reader;
    return reader;
}

} // namespace varnoke::drivers
