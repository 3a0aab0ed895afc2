#include "evaluate/row_evaluation.h"

#include "engine/field.h"
#include "evaluate/row_test.h"
#include "process/clause_builders.h"
#include "process/handle_error.h"
#include "process/run_context.h"
#include "value/convert.h"

#include <optional>

namespace varnoke {

namespace {

void setFlag(std::string& flag) {
    flag = std::string(kFlagYes);
}

// One call: the member, its side and what it reads of the row.
struct Call {
    RunContext& ctx;
    const EvaluatorSide& side;
    const EvaluatorMember& member;
    Value& compareThis;
    Recordset& file;
    std::string field;
    Order order;
    bool andRow;
    bool fieldRow;
};

Call makeCall(RunContext& ctx, const EvaluatorSide& side, const EvaluatorMember& member,
              Value& compareThis) {
    const Order order = orderFor(member, criteriaText(ctx, "condition"));
    return Call{ctx,
                side,
                member,
                compareThis,
                side.changedFile(ctx),
                side.testedField(ctx),
                side.operandFirst ? reversed(order) : order,
                criteriaText(ctx, "conjunction") == choice::And,
                side.operandIsField(ctx)};
}

std::string_view method(const Call& c) {
    return c.ctx.choices.combo7;
}

// The date members compare dates: the operand's date stays in the caller's variable
// for the rest of the step. An operand that is no date is left as it is.
void prepareOperand(Call& c) {
    if (!c.member.operandToDateInPlace || isBlank(c.compareThis)) return;
    try {
        c.compareThis = Value::date(dateOf(c.compareThis));
    } catch (const RuntimeError&) {
    }
}

bool typedRowOnDrivingRecord(const Call& c) {
    return !c.fieldRow && c.side.typedRowOnDrivingRecord;
}

bool currentMeetsRow(const Call& c) {
    if (typedRowOnDrivingRecord(c))
        return typedRowMet(c.member, c.order, c.ctx.criteria.value("This"), c.compareThis);
    return rowMet(c.member, c.order, c.file.value(c.field), c.compareThis);
}

// A row whose operand is a field of the other file adds its term to findCriteria.
void addFieldTerm(Call& c) {
    const bool blank = isBlank(c.compareThis);
    const bool equal = c.member.polarity == Polarity::Equal;
    const bool val = c.member.tested == FieldClass::Val;
    const Clause blankClause = equal ? Clause::addIsNullClause : Clause::addNotIsNullClause;
    if (!c.member.ordered || c.order == Order::Equal) {
        addClause(c.ctx, blank ? blankClause
                               : pairClause(c.member.tested, c.member.operand, c.member.polarity));
        return;
    }
    if (c.order == Order::Greater) {
        addClause(c.ctx, blank ? Clause::addNotIsNullClause
                         : val ? Clause::addValGreaterClause
                               : Clause::addDateAfterClause);
        return;
    }
    if (!blank) {
        addClause(c.ctx, val ? Clause::addValLessOrNullClause : Clause::addDateBeforeOrNullClause);
        return;
    }
    // Nothing is less than a blank: a term no record meets.
    addClause(c.ctx, Clause::addIsNullClause);
    c.ctx.run.findCriteria += " and not " + isNullText(c.field);
}

// A typed or blank operand: searched on its own; false when no record meets it. Its
// term joins findCriteria when an "and" chain or earlier rows need it, so the record
// acted on meets the whole chain. Where the typed row concerns the driving record, its
// own test decides, without a search: the driving file stays where the walk left it.
bool checkTypedRow(Call& c) {
    if (typedRowOnDrivingRecord(c)) {
        prepareOperand(c);
        return currentMeetsRow(c);
    }
    const std::optional<std::string> own = typedFindText(c.member, c.order, c.field, c.compareThis);
    if (!own) return false;
    c.file.findFirst(*own);
    if (c.file.noMatch()) return false;
    std::string& find = c.ctx.run.findCriteria;
    if (c.andRow || !find.empty()) {
        if (!find.empty()) find += c.ctx.choices.option3 ? " or " : " and ";
        find += "(" + *own + ")";
    }
    return true;
}

// The find part of the non-parallel methods up to the search; false ends the call.
bool gatherTerms(Call& c) {
    Form4RunState& run = c.ctx.run;
    run.criteriaField = c.field;
    if (c.fieldRow)
        addFieldTerm(c);
    else if (!checkTypedRow(c))
        return false;
    if (c.andRow) {
        setFlag(run.nextCriteriaRow);
        return false;
    }
    return !run.findCriteria.empty();
}

// The first record findCriteria selects that meets the row, made current. Under "or" the
// find also selects the records of the earlier rows' terms, and the engine's find ignores
// letter case while the test does not, so the search goes on past records the test
// refuses: the test, written as a term that selects every record it accepts, joins the
// search from there, and the engine's index passes over the others instead of the search
// visiting them one by one. A row that holds for no record ends the search where a visit
// of every record found would have ended it, on the last. Some delete members take the
// first record found as it is.
bool searchMatchingRecord(Call& c) {
    const std::string& find = c.ctx.run.findCriteria;
    c.file.findFirst(find);
    if (c.file.noMatch()) return false;
    prepareOperand(c);
    if (method(c) == choice::NonParallelFirstOccurrence && c.member.firstFoundPasses.has(c.order))
        return true;
    if (!typedRowOnDrivingRecord(c) && !rowCanHold(c.member, c.order, c.compareThis)) {
        // Tested once, so what the test raises is raised as before.
        if (currentMeetsRow(c)) return true;
        c.file.findLast(find);
        c.file.findNext(find);
        return false;
    }
    std::string search = find;
    bool exactJoined = false;
    while (!c.file.noMatch()) {
        if (currentMeetsRow(c)) return true;
        if (!exactJoined && !typedRowOnDrivingRecord(c)) {
            exactJoined = true;
            const bool yesNo = c.file.fieldType(c.field) == fieldtype::Boolean;
            if (auto exact = exactFindText(c.member, c.order, c.field, c.compareThis, yesNo))
                search = "(" + find + ") and " + *exact;
        }
        c.file.findNext(search);
    }
    return false;
}

// The parallel method: the current record, which the step keeps paired with the driving
// record; an "and" row that holds hands over to the next row.
bool currentRecordActs(Call& c) {
    prepareOperand(c);
    if (!currentMeetsRow(c)) return false;
    if (c.andRow) {
        setFlag(c.ctx.run.nextCriteriaRow);
        return false;
    }
    return true;
}

// Puts a recordset back on the record it stood on, however the call ends.
class PositionKeeper {
public:
    explicit PositionKeeper(Recordset& rs) : rs_(rs) {
        try {
            // A deleted current record (no position) leaves nothing to go back to; asked
            // first, as a delete run meets one at every record.
            if (rs.eof() || rs.bof())
                atEnd_ = rs.eof();
            else if (rs.absolutePosition() >= 0)
                bookmark_ = rs.bookmark();
        } catch (const RuntimeError&) {
        }
    }
    ~PositionKeeper() {
        try {
            if (bookmark_)
                rs_.setBookmark(*bookmark_);
            else if (atEnd_ && rs_.recordCount() > 0) {
                rs_.moveLast();
                rs_.moveNext();
            }
        } catch (const RuntimeError&) {
            // The record was deleted by this call; the walk goes on from its place.
        }
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
    Recordset& rs_;
    std::optional<std::int64_t> bookmark_;
    bool atEnd_ = false;
};

void writeReplacement(Call& c, const Value& inputThis) {
    if (c.side.write(c.ctx, inputThis)) setFlag(c.ctx.shared.recordDone);
}

void replaceRow(Call& c, Value& inputThis) {
    if (c.member.polarity == Polarity::Equal && !c.ctx.shared.addNewMode.empty()) {
        // Records past the end of the shorter file: added as they come, untested.
        writeReplacement(c, inputThis);
        return;
    }
    if (method(c) == choice::ParallelOneRecord) {
        if (currentRecordActs(c)) writeReplacement(c, inputThis);
        return;
    }
    if (!gatherTerms(c)) return;
    if (c.fieldRow && c.member.polarity == Polarity::NotEqual) appendOrIsNull(c.ctx);
    if (method(c) == choice::NonParallelAllRecords) {
        // One statement changes every record findCriteria selects. A row with a field
        // operand has acted on no single record; a typed row has passed its own test,
        // and what it wrote ends the driving record.
        if (c.fieldRow)
            c.side.write(c.ctx, inputThis);
        else
            writeReplacement(c, inputThis);
        return;
    }
    if (searchMatchingRecord(c)) writeReplacement(c, inputThis);
}

// Appends " or IsNull([F])" before a first-occurrence search, so a Null field, which
// differs from every operand, can be found.
void appendOrNullForNotEqual(Call& c) {
    const bool onlyRow = c.ctx.criteria.recordCount() == 1 && !isBlank(c.compareThis);
    if (c.ctx.choices.option3 || onlyRow) c.ctx.run.findCriteria += " or " + isNullText(c.field);
}

bool locateRecordToDelete(Call& c) {
    if (method(c) == choice::ParallelOneRecord) return currentRecordActs(c);
    const bool allRecords = method(c) == choice::NonParallelAllRecords;
    if (c.fieldRow && allRecords) {
        // The find text grows as the rows say, but nothing is searched: the record the
        // walk stands on is tested by every row of its chain.
        c.ctx.run.criteriaField = c.field;
        addFieldTerm(c);
        return currentRecordActs(c);
    }
    if (!gatherTerms(c)) return false;
    if (c.fieldRow && c.member.polarity == Polarity::NotEqual) appendOrNullForNotEqual(c);
    return searchMatchingRecord(c);
}

// Deletes or exports the current record; false when the export is not there.
bool actOnRecord(Call& c) {
    const std::string& action = c.ctx.choices.combo3;
    if (action == choice::Delete) {
        c.file.deleteRecord();
    } else if (action == choice::Export) {
        const bool available = c.ctx.registry.hasStep(kExportIt);
        c.ctx.registry.callStep(kExportIt, c.ctx);
        return available;
    }
    return true;
}

} // namespace

void evaluateRep(RunContext& ctx, const EvaluatorSide& side, const EvaluatorMember& member,
                 Value& compareThis, Value& inputThis) {
    try {
        Call c = makeCall(ctx, side, member, compareThis);
        replaceRow(c, inputThis);
    } catch (const RuntimeError& error) {
        handleError(ctx, error);
    }
}

void evaluateDel(RunContext& ctx, const EvaluatorSide& side, const EvaluatorMember& member,
                 Value& compareThis) {
    try {
        Call c = makeCall(ctx, side, member, compareThis);
        // Under export the file searched is the one being walked.
        std::optional<PositionKeeper> keep;
        if (method(c) != choice::ParallelOneRecord) keep.emplace(c.file);
        if (locateRecordToDelete(c) && actOnRecord(c)) setFlag(ctx.shared.recordDone);
    } catch (const RuntimeError& error) {
        handleError(ctx, error);
    }
}

} // namespace varnoke
