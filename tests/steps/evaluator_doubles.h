#pragma once
// Stand-ins for the File A text evaluators, until the evaluate folder provides them:
// a text field tested against a text File B field, with the shape the replace
// evaluators share (append in add mode; test the paired record under the parallel
// method; gather a term and find or update under the other two).
#include "process/clause_builders.h"
#include "process/registry.h"
#include "process/replace_writers.h"
#include "process/run_context.h"
#include "value/convert.h"

namespace varnoke::test {

inline void textTextRep(RunContext& ctx, bool notEqual, Value& compareThis, Value& inputThis) {
    Form4RunState& run = ctx.run;
    Recordset& fileA = ctx.shared.rsFileA;
    if (!ctx.shared.addNewMode.empty()) {
        replaceInTableOneBySql(ctx, inputThis);
        ctx.shared.recordDone = std::string(kFlagYes);
        return;
    }
    const std::string field = criteriaText(ctx, "If_This");
    const bool andRow = criteriaText(ctx, "conjunction") == choice::And;
    if (ctx.choices.combo7 != choice::ParallelOneRecord) {
        run.criteriaField = field;
        if (compareThis.isNull())
            addClause(ctx, notEqual ? Clause::addNotIsNullClause : Clause::addIsNullClause);
        else
            addClause(ctx, notEqual ? Clause::addTextNotEqualClause : Clause::addTextEqualClause);
        if (andRow) {
            run.nextCriteriaRow = std::string(kFlagYes);
            return;
        }
        if (ctx.choices.combo7 == choice::NonParallelAllRecords) {
            replaceInTableOneBySql(ctx, inputThis);
            return;
        }
        fileA.findFirst(run.findCriteria);
        if (fileA.noMatch()) return;
    }
    const std::optional<int> order = compareValues(fileA.value(field), compareThis);
    const bool holds =
        compareThis.isNull() ? isBlank(fileA.value(field)) : order && ((*order == 0) != notEqual);
    if (!holds) return;
    if (andRow) {
        run.nextCriteriaRow = std::string(kFlagYes);
        return;
    }
    if (replaceInTableOneBySql(ctx, inputThis)) ctx.shared.recordDone = std::string(kFlagYes);
}

inline void registerEvaluatorDoubles(Registry& registry) {
    registry.addRepEvaluator("list1TextTextEqualRep", [](RunContext& ctx, Value& c, Value& i) {
        textTextRep(ctx, false, c, i);
    });
    registry.addRepEvaluator("list1TextTextNotEqualRep", [](RunContext& ctx, Value& c, Value& i) {
        textTextRep(ctx, true, c, i);
    });
}

} // namespace varnoke::test
