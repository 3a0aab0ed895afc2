// Positions in a row set: moves, AbsolutePosition, bookmarks, the rows that leave it
// when they are deleted or a lost batch took them, and the rows a lost batch gives back.
//
// Invariants: slot_ indexes rows_ whenever where_ is Row; currentDeleted_ is set only
// while where_ is Row and alive_[slot_] is 0; live_.count() is the number of alive slots,
// which RecordCount reports; leftSlots_ holds each slot that left in the batch
// leftBatch_ through a delete once.
//
// A rowid may stand in more than one slot: SQLite gives a new row the rowid of a last
// row just deleted, so a record this row set added may carry the rowid of one it lost.
// Then at most one of them is alive (the row set heard of each delete), and a rowid
// means that slot, or its latest when none is. A bookmark is a slot, never a rowid, so
// the bookmark of a deleted record never reaches the record added after it. A lost batch
// undid the rows added in it: their slots die too, so the rowid a later row takes means
// no live slot. It undid the deletes made in it too: their slots live again where they
// were, as the row set's order is fixed at open, while a row deleted in a batch that was
// committed stays gone. A slot comes back only after the loss moved every data version,
// so no cache (rows, key index, its links past gone slots) still holds it as gone.
#include "engine/engine_error.h"
#include "engine/recordset_state.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

namespace varnoke::detail {

namespace {
constexpr int kInvalidBookmark = 3159;
} // namespace

bool RecordsetState::eof() const {
    return where_ == Where::Eof || (where_ == Where::Bof && live_.count() == 0);
}

bool RecordsetState::bof() const {
    return where_ == Where::Bof || (where_ == Where::Eof && live_.count() == 0);
}

void RecordsetState::landOn(std::size_t slot) {
    assert(slot < rows_.size() && alive_[slot]);
    where_ = Where::Row;
    slot_ = slot;
    currentDeleted_ = false;
}

// Moving drops an unfinished AddNew or Edit, as the original engine did.
void RecordsetState::leaveEdit() {
    editMode = 0;
    std::fill(pending_.begin(), pending_.end(), std::nullopt);
}

void RecordsetState::moveFirst() {
    checkOpen();
    leaveEdit();
    if (live_.count() == 0) noCurrentRecord();
    landOn(live_.kth(0));
}

void RecordsetState::moveLast() {
    checkOpen();
    leaveEdit();
    if (live_.count() == 0) noCurrentRecord();
    landOn(live_.kth(live_.count() - 1));
}

void RecordsetState::moveNext() {
    checkOpen();
    if (eof()) noCurrentRecord();
    leaveEdit();
    // The next slot, when it holds a record, without counting the records before it.
    if (where_ == Where::Row && slot_ + 1 < rows_.size() && alive_[slot_ + 1])
        return landOn(slot_ + 1);
    const long next = where_ == Where::Bof ? 0 : live_.before(slot_ + 1);
    if (next >= live_.count()) {
        where_ = Where::Eof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(next));
    }
}

void RecordsetState::movePrevious() {
    checkOpen();
    if (bof()) noCurrentRecord();
    leaveEdit();
    const long prev = where_ == Where::Eof ? live_.count() - 1 : live_.before(slot_) - 1;
    if (prev < 0) {
        where_ = Where::Bof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(prev));
    }
}

void RecordsetState::move(long n) {
    checkOpen();
    if (where_ != Where::Row) {
        if (n == 0) return;
        noCurrentRecord();
    }
    leaveEdit();
    const long here = live_.before(slot_);
    // From a deleted record, one step on is the row that followed it.
    const long target = currentDeleted_ && n > 0 ? here + n - 1 : here + n;
    if (n == 0 && currentDeleted_) return;
    if (target < 0) {
        where_ = Where::Bof;
        currentDeleted_ = false;
    } else if (target >= live_.count()) {
        where_ = Where::Eof;
        currentDeleted_ = false;
    } else {
        landOn(live_.kth(target));
    }
}

std::optional<Recordset::RowStamp> RecordsetState::rowStamp() const {
    if (!open || where_ != Where::Row || currentDeleted_ || editMode != 0) return std::nullopt;
    const auto version = dataVersion();
    return Recordset::RowStamp{rows_[slot_], version.all, version.table};
}

long RecordsetState::absolutePosition() const {
    checkOpen();
    if (where_ != Where::Row || currentDeleted_) return -1;
    return live_.before(slot_);
}

void RecordsetState::setAbsolutePosition(long p) {
    checkOpen();
    if (p < 0 || p >= live_.count()) throw EngineError(err::InvalidArgument, "Invalid argument.");
    leaveEdit();
    landOn(live_.kth(p));
}

std::int64_t RecordsetState::bookmark() const {
    checkOpen();
    requireCurrent();
    return bookmarkOf(slot_);
}

void RecordsetState::setBookmark(std::int64_t b) {
    checkOpen();
    if (b < 1 || static_cast<std::uint64_t>(b) > rows_.size())
        throw EngineError(kInvalidBookmark, "Not a valid bookmark.");
    const auto slot = static_cast<std::size_t>(b - 1);
    if (!alive_[slot]) recordDeleted();
    leaveEdit();
    landOn(slot);
}

std::optional<std::size_t> RecordsetState::slotOf(std::int64_t rowid) {
    if (natural_) {
        // Rowids mostly run without gaps: try the place that assumes none first.
        if (!rows_.empty() && rowid >= rows_.front()) {
            const auto guess =
                static_cast<std::uint64_t>(rowid) - static_cast<std::uint64_t>(rows_.front());
            if (guess < rows_.size() && rows_[guess] == rowid) return guess;
        }
        auto it = std::lower_bound(rows_.begin(), rows_.end(), rowid);
        if (it == rows_.end() || *it != rowid) return std::nullopt;
        return static_cast<std::size_t>(it - rows_.begin());
    }
    if (!slotMapComplete_) {
        slotMap_.clear();
        slotMap_.reserve(rows_.size());
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            // The alive slot of a rowid, else its latest.
            auto [at, made] = slotMap_.try_emplace(rows_[i], i);
            if (!made && (alive_[i] || !alive_[at->second])) at->second = i;
        }
        slotMapComplete_ = true;
    }
    assert(slotMap_.size() <= rows_.size());
    auto it = slotMap_.find(rowid);
    if (it == slotMap_.end()) return std::nullopt;
    return it->second;
}

void RecordsetState::rowsDeleted(std::span<const std::int64_t> rowids) {
    if (!open) return;
    if (const std::uint64_t batch = conn().batch(); batch != leftBatch_) {
        leftBatch_ = batch;
        leftSlots_.clear();
    }
    for (auto rowid : rowids)
        if (auto slot = slotOf(rowid); slot && alive_[*slot]) {
            leave(*slot);
            leftSlots_.push_back(*slot);
        }
    assert(live_.count() <= static_cast<long>(rows_.size()));
}

void RecordsetState::leave(std::size_t slot) {
    if (!alive_[slot]) return;
    alive_[slot] = 0;
    live_.kill(slot);
    if (where_ == Where::Row && slot_ == slot) currentDeleted_ = true;
}

void RecordsetState::comeBack(std::size_t slot) {
    if (alive_[slot]) return;
    alive_[slot] = 1;
    live_.revive(slot);
    if (where_ == Where::Row && slot_ == slot) currentDeleted_ = false;
    // The rowid may have meant a later slot of it, now dead.
    slotMapComplete_ = false;
}

// The rows this row set added in the lost batch are gone for certain. The rows deleted
// in it come back: each stood before the batch, since a row added in it joins only the
// row set that added it (whose slot stays gone) and those chosen in the batch. One chosen
// in the batch may hold rows others added in it, which are looked for in the table; a
// row the batch deleted before it was chosen was never in it, and comes back to the
// table only, as a row another handle adds joins no open row set (a Requery shows it):
// taking it in would renumber the slots its bookmarks and positions name.
// Where that cannot be told, the row set closes (3420 until it is opened again) rather
// than show a row that later takes one's rowid.
void RecordsetState::batchLost(std::uint64_t batch) noexcept {
    if (!open) return;
    assert(!cache_.holds(dataVersion())); // the loss moved every version
    std::vector<std::size_t> added;
    if (addedBatch_ == batch) {
        added = std::exchange(addedSlots_, {});
        addedBatch_ = 0;
        for (const std::size_t slot : added)
            leave(slot);
    }
    if (leftBatch_ == batch) {
        assert(std::is_sorted(added.begin(), added.end()));
        for (const std::size_t slot : leftSlots_)
            if (!std::binary_search(added.begin(), added.end(), slot)) comeBack(slot);
    }
    leftBatch_ = 0;
    leftSlots_.clear();
    if (builtInBatch_ != batch) return;
    builtInBatch_ = 0;
    try {
        auto st = conn().prepare("SELECT 1 FROM " + base_.sqlName() + " WHERE rowid = ?1");
        for (std::size_t slot = 0; slot < rows_.size(); ++slot) {
            if (!alive_[slot]) continue;
            sqlite3_bind_int64(st.get(), 1, rows_[slot]);
            const bool stands = st.step();
            sqlite3_reset(st.get());
            if (!stands) leave(slot);
        }
    } catch (...) {
        close();
    }
}

void RecordsetState::requireCurrent() const {
    if (where_ != Where::Row) noCurrentRecord();
    if (currentDeleted_) recordDeleted();
}

} // namespace varnoke::detail
