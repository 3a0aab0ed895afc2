#pragma once
// The criteria rows of a comparison, kept in the working table SSysCriteria and walked
// by a Process run through one shared cursor (the dialog's data control).
//
// Rows keep the order they were added in. Every row but the last carries the
// conjunction word that joins it to the next; the last carries none.
#include "engine/engine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

inline constexpr std::string_view kCriteriaTable = "SSysCriteria";

struct CriteriaRow {
    std::string ifThis;      // If_This: a bare File A field name
    std::string condition;   // one of the condition texts, or what the user typed
    std::string thisValue;   // This: "File B." + field name, or a typed value
    std::string conjunction; // "or", "and", or empty on the last row
    bool operator==(const CriteriaRow&) const = default;
};

class CriteriaTable {
public:
    // Opens the cursor over SSysCriteria (a dynaset).
    void open(Database& workDb);
    bool isOpen() const { return recordset_.isOpen(); }
    void close() {
        recordset_.close();
        read_.reset();
    }

    // The cursor a Process run walks; its current row is the current criteria row.
    Recordset& recordset() { return recordset_; }

    long rowCount() const;
    // Zero-based position of the current row, -1 when there is none.
    long currentRow() const;
    void setCurrentRow(long position);
    // The rows in order, read without moving the cursor. Read once after each change
    // made through this table: the window draws them often, also while another program
    // holds the working database, and must not wait for it each time.
    std::vector<CriteriaRow> rows() const;
    // The current row; call only with a current row.
    CriteriaRow current() const;

    // Appends a row and makes it current; the row that was last gets word.
    void add(std::string_view ifThis, std::string_view condition, std::string_view thisValue,
             std::string_view word);
    // Writes the three criteria values into the current row.
    void updateCurrent(std::string_view ifThis, std::string_view condition,
                       std::string_view thisValue);
    // Deletes the current row; the new last row loses its conjunction. The row at the
    // same position stays current (the new last row when the last one went).
    void removeCurrent();
    // Writes word into every row but the last; the current row stays current.
    void setConjunctions(std::string_view word);
    // Deletes every row.
    void deleteAll(Database& workDb);
    // Writes rows, as rows() gave them, back into the emptied table, their conjunctions
    // as they were, and makes the one at position current.
    void putBack(const std::vector<CriteriaRow>& rows, long current);
    // Reads the table again (the data control's refresh).
    void refresh();

    // With rows but no current one, the first becomes current; false when there are no
    // rows at all.
    bool ensureCurrent();

private:
    void writeConjunction(std::string_view word);
    void restorePosition(long position);

    Recordset recordset_;
    // The rows as rows() read them last; forgotten by every change that succeeds (one
    // that failed part way shows in the row count).
    mutable std::optional<std::vector<CriteriaRow>> read_;
};

} // namespace varnoke
