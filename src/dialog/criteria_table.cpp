#include "dialog/criteria_table.h"

#include "value/convert.h"

namespace varnoke {

namespace {

std::string textAt(const Recordset& rs, std::string_view column) {
    return textOrBlank(rs.value(column));
}

CriteriaRow rowAt(const Recordset& rs) {
    return {textAt(rs, "If_This"), textAt(rs, "condition"), textAt(rs, "This"),
            textAt(rs, "conjunction")};
}

Value textOrNull(std::string_view text) {
    return text.empty() ? Value::null() : Value::text(std::string(text));
}

} // namespace

void CriteriaTable::open(Database& workDb) {
    recordset_ =
        workDb.openRecordset(kCriteriaTable, RecordsetType::Dynaset, rsoption::Inconsistent);
    read_.reset();
}

long CriteriaTable::rowCount() const {
    return recordset_.isOpen() ? recordset_.recordCount() : 0;
}

long CriteriaTable::currentRow() const {
    return recordset_.isOpen() ? recordset_.absolutePosition() : -1;
}

void CriteriaTable::setCurrentRow(long position) {
    if (position >= 0 && position < rowCount()) recordset_.setAbsolutePosition(position);
}

std::vector<CriteriaRow> CriteriaTable::rows() const {
    const long count = rowCount();
    if (read_ && static_cast<long>(read_->size()) == count) return *read_;
    std::vector<CriteriaRow> out;
    if (count > 0) {
        auto walker = recordset_.clone();
        for (walker.moveFirst(); !walker.eof(); walker.moveNext())
            out.push_back(rowAt(walker));
    }
    read_ = out;
    return out;
}

CriteriaRow CriteriaTable::current() const {
    return rowAt(recordset_);
}

void CriteriaTable::writeConjunction(std::string_view word) {
    recordset_.edit();
    recordset_.setValue("conjunction", textOrNull(word));
    recordset_.update();
}

void CriteriaTable::restorePosition(long position) {
    recordset_.moveFirst();
    if (position > 0) recordset_.move(position);
    if (recordset_.eof()) recordset_.moveLast();
}

void CriteriaTable::add(std::string_view ifThis, std::string_view condition,
                        std::string_view thisValue, std::string_view word) {
    if (rowCount() > 0) {
        recordset_.moveLast();
        writeConjunction(word);
    }
    recordset_.addNew();
    recordset_.setValue("If_This", textOrNull(ifThis));
    recordset_.setValue("condition", textOrNull(condition));
    recordset_.setValue("This", textOrNull(thisValue));
    recordset_.update();
    recordset_.moveLast();
    read_.reset();
}

void CriteriaTable::updateCurrent(std::string_view ifThis, std::string_view condition,
                                  std::string_view thisValue) {
    recordset_.edit();
    recordset_.setValue("If_This", textOrNull(ifThis));
    recordset_.setValue("condition", textOrNull(condition));
    recordset_.setValue("This", textOrNull(thisValue));
    recordset_.update();
    read_.reset();
}

void CriteriaTable::removeCurrent() {
    if (currentRow() < 0) return;
    recordset_.deleteRecord();
    read_.reset();
    if (rowCount() == 0) {
        recordset_.requery();
        return;
    }
    recordset_.moveNext();
    if (recordset_.eof()) recordset_.moveLast();
    const long position = recordset_.absolutePosition();
    recordset_.requery();
    if (rowCount() == 0) return;
    recordset_.moveLast();
    writeConjunction({});
    read_.reset();
    restorePosition(position);
}

void CriteriaTable::setConjunctions(std::string_view word) {
    const long count = rowCount();
    if (count == 0) return;
    const long position = std::max(currentRow(), 0L);
    recordset_.moveFirst();
    for (long counter = 1; !recordset_.eof() && counter < count; ++counter) {
        writeConjunction(word);
        recordset_.moveNext();
    }
    read_.reset();
    restorePosition(position);
}

void CriteriaTable::deleteAll(Database& workDb) {
    workDb.execute("delete * from SSysCriteria");
    refresh();
}

void CriteriaTable::putBack(const std::vector<CriteriaRow>& rows, long current) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // Each row's word is written as the next row follows it.
        const std::string_view word = i == 0 ? std::string_view() : rows[i - 1].conjunction;
        add(rows[i].ifThis, rows[i].condition, rows[i].thisValue, word);
    }
    setCurrentRow(current);
}

void CriteriaTable::refresh() {
    if (recordset_.isOpen()) recordset_.requery();
    read_.reset();
}

bool CriteriaTable::ensureCurrent() {
    if (rowCount() == 0) return false;
    if (currentRow() < 0) recordset_.moveFirst();
    return true;
}

} // namespace varnoke
