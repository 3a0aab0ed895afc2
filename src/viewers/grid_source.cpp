#include "viewers/grid_source.h"

namespace varnoke {

void GridSource::bind(const Recordset& rs) {
    Recordset own = rs.clone();
    show(std::move(own));
    base_ = rs;
}

void GridSource::show(Recordset rs) {
    std::vector<ColumnInfo> columns;
    for (const Field& f : rs.fields())
        columns.push_back({f.name(), f.type()});
    const long count = rs.recordCount();
    // Only our own cursors are closed; the opener's base_ is never one of them.
    if (shown_.isOpen()) shown_.close();
    shown_ = std::move(rs);
    columns_ = std::move(columns);
    cache_.reset(count);
}

bool GridSource::isTableType() const {
    return base_.isOpen() && base_.type() == RecordsetType::Table;
}

bool GridSource::updatable() const {
    return shown_.isOpen() && shown_.updatable();
}

std::string GridSource::sourceName() const {
    return base_.isOpen() ? base_.name() : std::string();
}

void GridSource::filter(std::string_view criteria) {
    show(shown_.openFiltered(criteria));
}

void GridSource::sort(std::string_view order) {
    show(shown_.openSorted(order));
}

void GridSource::requery() {
    shown_.requery();
    cache_.reset(shown_.recordCount());
}

void GridSource::showAll() {
    Recordset fresh = base_.clone();
    fresh.requery();
    show(std::move(fresh));
}

bool GridSource::recount() {
    const long count = shown_.recordCount();
    if (count == cache_.rowCount()) return false;
    cache_.reset(count);
    return true;
}

void GridSource::forgetRows() {
    cache_.reset(shown_.recordCount());
}

// A held row is found again by its bookmark, since rows deleted elsewhere may have
// moved it from the position it was read at.
void GridSource::moveTo(long index) {
    if (const CachedRow* held = cache_.row(index))
        shown_.setBookmark(held->bookmark);
    else
        shown_.setAbsolutePosition(index);
}

CachedRow GridSource::readCurrent() const {
    CachedRow row;
    row.bookmark = shown_.bookmark();
    row.values.reserve(columns_.size());
    for (int c = 0; c < columnCount(); ++c)
        row.values.push_back(shown_.field(c).value());
    return row;
}

void GridSource::fetch(long first, long last) {
    const auto range = cache_.missing(first, last);
    if (!range) return;
    std::vector<CachedRow> rows;
    rows.reserve(static_cast<std::size_t>(range->last - range->first + 1));
    shown_.setAbsolutePosition(range->first);
    for (long i = range->first; i <= range->last && !shown_.eof(); ++i) {
        rows.push_back(readCurrent());
        shown_.moveNext();
    }
    cache_.store(range->first, std::move(rows));
}

void GridSource::storeBegunRecord(const std::vector<CellValue>& values) {
    try {
        for (const auto& [column, value] : values)
            shown_.field(column).setValue(value);
        shown_.update();
    } catch (...) {
        // A refused value must not leave the edit open for the next write to pick up.
        if (shown_.editMode() != 0) shown_.cancelUpdate();
        throw;
    }
}

void GridSource::writeRow(long index, const std::vector<CellValue>& values) {
    moveTo(index);
    shown_.edit();
    storeBegunRecord(values);
    cache_.replace(index, readCurrent());
}

void GridSource::addRow(const std::vector<CellValue>& values) {
    shown_.addNew();
    storeBegunRecord(values);
    const long before = cache_.rowCount();
    cache_.invalidateFrom(before, shown_.recordCount());
}

void GridSource::deleteRow(long index) {
    moveTo(index);
    shown_.deleteRecord();
    cache_.invalidateFrom(index, shown_.recordCount());
}

} // namespace varnoke
