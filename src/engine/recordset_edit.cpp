// Edits through a recordset: Edit, AddNew, Update, CancelUpdate and Delete, with the
// pending values they hold until Update.
//
// Invariants: a row added joins the end of this row set only; a row deleted leaves every
// open row set of its table; every write goes through writeOwn (the connection's funnel),
// which tells every row set of the table, this one too.
#include "engine/column_value.h"
#include "engine/engine_error.h"
#include "engine/recordset_state.h"

#include <algorithm>

namespace varnoke::detail {

void RecordsetState::setValue(int column, const Value& v) {
    checkOpen();
    if (editMode == 0)
        throw EngineError(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    const auto& col = columns[static_cast<std::size_t>(column)];
    // A new row may be given its COUNTER; a row's own never changes.
    if (editMode == 1) requireChangeable(base_.columns[static_cast<std::size_t>(col.baseColumn)]);
    pending_[static_cast<std::size_t>(column)] = storeValue(v, col.type, col.name);
}

int RecordsetState::columnIndex(std::string_view name) const {
    checkOpen();
    // Callers mostly spell a name as the table does.
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return static_cast<int>(i);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, name)) return static_cast<int>(i);
    throw EngineError(err::NotInCollection, "Item not found in this collection.");
}

void RecordsetState::addNew() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    leaveEdit();
    editMode = 2;
}

void RecordsetState::edit() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    requireCurrent();
    leaveEdit();
    editMode = 1;
}

void RecordsetState::cancelUpdate() {
    checkOpen();
    leaveEdit();
}

void RecordsetState::update() {
    checkOpen();
    if (editMode == 0)
        throw EngineError(err::UpdateWithoutEdit, "Update or CancelUpdate without AddNew or Edit.");
    db->checkWritable();
    Connection& c = conn();
    // Most updates write the same fields as the one before: keep its statement text.
    std::vector<bool> mask(columns.size());
    std::size_t written = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        mask[i] = pending_[i].has_value();
        if (mask[i]) ++written;
    }
    // The pending values, in the order of the statement's parameters; they stay until
    // the statement is done with them.
    auto bindPending = [&](Stmt& st) {
        int n = 0;
        for (const auto& v : pending_)
            if (v) st.bindKept(++n, *v);
    };
    if (mask != writeMask_ || writeMode_ != editMode) {
        std::string names, values, sets;
        int n = 0;
        writeColumns_.clear();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!mask[i]) continue;
            writeColumns_.push_back(baseName(static_cast<int>(i)));
            const auto col = quoteName(writeColumns_.back());
            const auto param = "?" + std::to_string(++n);
            names += (names.empty() ? "" : ", ") + col;
            values += (values.empty() ? "" : ", ") + param;
            sets += (sets.empty() ? "" : ", ") + col + " = " + param;
        }
        if (editMode == 2)
            writeSql_ = n == 0 ? "INSERT INTO " + base_.sqlName() + " DEFAULT VALUES"
                               : "INSERT INTO " + base_.sqlName() + " (" + names + ") VALUES (" +
                                     values + ")";
        else
            writeSql_ = "UPDATE " + base_.sqlName() + " SET " + sets + " WHERE rowid = ?" +
                        std::to_string(n + 1);
        writeMask_ = std::move(mask);
        writeMode_ = editMode;
    }
    if (editMode == 2) {
        std::int64_t rowid = 0;
        writeOwn(rows_.size(), [&](TableChange&) { // a row added: no key index holds
            auto st = c.prepare(writeSql_);
            bindPending(st);
            st.run();
            rowid = sqlite3_last_insert_rowid(c.handle());
        });
        // The new row joins the end of the row set; the current record stays.
        if (natural_ && !rows_.empty() && rowid <= rows_.back()) {
            natural_ = false;
            clearFinds(); // finds now go by the row set's own order
        }
        rows_.push_back(rowid);
        alive_.push_back(1);
        live_.push();
        if (const auto batch = c.batch(); batch != addedBatch_) {
            addedBatch_ = batch;
            addedSlots_.clear();
        }
        addedSlots_.push_back(rows_.size() - 1);
        if (slotMapComplete_) slotMap_[rowid] = rows_.size() - 1;
        // A clone shares the row order its finds join until one of them adds a row; then
        // the one adding makes its own at its next find.
        if (keysetTable_ && keysetTable_.use_count() > 1) {
            keysetTable_.reset();
            clearFinds(); // their queries join the shared order
        }
        if (keysetTable_) {
            auto ins = c.prepare("INSERT INTO temp." + quoteName(keysetTable_->name) +
                                 " (pos, rid) VALUES (?1, ?2)");
            sqlite3_bind_int64(ins.get(), 1, static_cast<sqlite3_int64>(rows_.size() - 1));
            sqlite3_bind_int64(ins.get(), 2, rowid);
            ins.run();
        }
        lastModified = bookmarkOf(rows_.size() - 1);
    } else if (written > 0) {
        requireCurrent();
        writeOwn(slot_, [&](TableChange& change) {
            change.onlySets = true;
            change.setColumns = writeColumns_;
            auto st = c.prepare(writeSql_);
            bindPending(st);
            sqlite3_bind_int64(st.get(), static_cast<int>(written + 1), rows_[slot_]);
            st.run();
        });
        if (sqlite3_changes(c.handle()) == 0) recordDeleted();
        lastModified = bookmarkOf(slot_);
    }
    leaveEdit();
}

void RecordsetState::deleteRecord() {
    checkOpen();
    if (!updatable) readOnlyRecordset();
    requireCurrent();
    db->checkWritable();
    leaveEdit();
    Connection& c = conn();
    const std::int64_t rowid = rows_[slot_];
    writeOwn(slot_, [&](TableChange& change) {
        auto st = c.prepare(deleteSql_);
        sqlite3_bind_int64(st.get(), 1, rowid);
        st.run();
        change.onlySets = true; // a deleted row is passed over as not alive
        change.deleted = {&rowid, 1};
    });
}

} // namespace varnoke::detail
