#pragma once
// A table as another reader wrote it once into an expected CSV: the fields' names, the
// reader's type names and sizes on the first three lines, then one line a row. A Null is
// the one unquoted, empty cell; every other cell is quoted.
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnoke::test {

using ReferenceRow = std::vector<std::optional<std::string>>;

struct ReferenceTable {
    std::vector<std::string> names, types, sizes;
    std::vector<ReferenceRow> rows;
};

// The CSV's records, a line break inside quotes kept as part of the value.
inline std::vector<ReferenceRow> parseReferenceCsv(const std::string& text) {
    std::vector<ReferenceRow> records;
    ReferenceRow record;
    std::string cell;
    bool quoted = false;
    const auto endCell = [&] {
        record.push_back(quoted ? std::optional(cell) : std::nullopt);
        if (!quoted && !cell.empty()) throw std::runtime_error("an unquoted value: " + cell);
        cell.clear();
        quoted = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            // A quoted cell runs to the first quote that is not doubled.
            quoted = true;
            for (++i;; ++i) {
                if (i >= text.size()) throw std::runtime_error("a quote is not closed");
                if (text[i] != '"') {
                    cell += text[i];
                } else if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    break;
                }
            }
        } else if (c == ',') {
            endCell();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            endCell();
            records.push_back(std::move(record));
            record.clear();
            ++i;
        } else {
            cell += c;
        }
    }
    if (!record.empty() || !cell.empty()) throw std::runtime_error("the last line has no end");
    return records;
}

inline ReferenceTable readReferenceTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    auto records = parseReferenceCsv({std::istreambuf_iterator<char>(in), {}});
    if (records.size() < 3) throw std::runtime_error(path + " has no field lines");
    ReferenceTable table;
    const auto texts = [&](const ReferenceRow& row) {
        std::vector<std::string> out;
        for (const auto& cell : row)
            out.push_back(cell.value_or(""));
        return out;
    };
    table.names = texts(records[0]);
    table.types = texts(records[1]);
    table.sizes = texts(records[2]);
    table.rows.assign(records.begin() + 3, records.end());
    return table;
}

} // namespace varnoke::test
