#include "process/replace_writers.h"

#include "engine/field.h"
#include "process/clause_builders.h"
#include "process/field_class.h"
#include "process/handle_error.h"
#include "process/run_context.h"
#include "process/run_questions.h"
#include "value/convert.h"

namespace varnoke {

namespace {

// A replacement typed as the four letters "Null" blanks a number or date target.
bool isTypedNull(const Value& v) {
    return v.isText() && v.asText() == "Null";
}

std::string fieldNameOf(std::string_view reference) {
    return std::string(reference.substr(std::min(choice::FieldPrefixLength, reference.size())));
}

bool replaceInTable(RunContext& ctx, Recordset& rs, std::string_view table, Value newValue) {
    Form4RunState& run = ctx.run;
    const std::string field = fieldNameOf(ctx.choices.combo4);
    const bool allRecords = ctx.choices.combo7 == choice::NonParallelAllRecords;
    const bool addMode = !ctx.shared.addNewMode.empty();
    bool begun = false;
    try {
        if (addMode) {
            rs.addNew();
            begun = true;
        } else if (!allRecords) {
            rs.edit();
            begun = true;
        }
        const bool dateTarget = fieldClassOf(run.actionFieldType) == FieldClass::Date;
        const bool usable =
            newValue.isNull() || newValue.isEmpty() || isTypedNull(newValue) || isDate(newValue);
        if (dateTarget && !usable) {
            if (begun) rs.cancelUpdate();
            badDate(ctx);
            return false;
        }
        const Value value = replacementFor(run.actionFieldType, run.withFieldType, newValue);
        if (allRecords && !addMode) {
            // No condition, no statement: it would change every record of the table.
            if (run.findCriteria.empty()) return false;
            run.updateSql = updateStatement(table, rs.field(field).name(), value, run.findCriteria);
            return ctx.shared.workDb.execute(run.updateSql) > 0;
        }
        rs.setValue(field, value);
        rs.update();
        return true;
    } catch (const RuntimeError& error) {
        if (begun) {
            try {
                rs.cancelUpdate();
            } catch (const RuntimeError&) {
            }
        }
        handleError(ctx, error);
        return false;
    }
}

} // namespace

Value replacementFor(int actionFieldType, int /*withFieldType*/, const Value& v) {
    if (v.isNull() || v.isEmpty()) return Value::null();
    const std::optional<FieldClass> target = fieldClassOf(actionFieldType);
    if (!target) return v; // the engine converts it or says why not
    switch (*target) {
    case FieldClass::Val:
        if (isTypedNull(v)) return Value::null();
        return v.isNumeric() ? v : Value::number(leadingNumber(textOf(v)));
    case FieldClass::Date:
        if (isTypedNull(v)) return Value::null();
        return Value::date(dateOf(v));
    case FieldClass::Text:
        break;
    }
    return v.isText() ? v : Value::text(textOf(v));
}

std::string literalOf(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        return "Null";
    case Value::Kind::Date:
        return "#" + dateText(v.asDateSerial()) + "#";
    case Value::Kind::Text:
        return quoteText(v.asText());
    case Value::Kind::Boolean:
    case Value::Kind::Number:
    case Value::Kind::Currency:
        break;
    }
    return numberText(numberOf(v));
}

std::string updateStatement(std::string_view table, std::string_view field, const Value& v,
                            std::string_view findCriteria) {
    return "update " + bracketName(table) + " set " + bracketName(field) + " = " + literalOf(v) +
           " where " + std::string(findCriteria) + ";";
}

void getActionFieldTypes(RunContext& ctx) {
    const std::string& target = ctx.choices.combo4;
    const std::string& source = ctx.choices.combo5;
    try {
        Recordset& rs = target.starts_with("File A") ? ctx.shared.rsFileA : ctx.shared.rsFileB;
        ctx.run.actionFieldType = rs.field(fieldNameOf(target)).type();
    } catch (const RuntimeError&) {
    }
    try {
        if (source.starts_with("File A"))
            ctx.run.withFieldType = ctx.shared.rsFileA.field(fieldNameOf(source)).type();
        else if (source.starts_with("File B"))
            ctx.run.withFieldType = ctx.shared.rsFileB.field(fieldNameOf(source)).type();
        else
            ctx.run.withFieldType = fieldtype::Text;
    } catch (const RuntimeError&) {
    }
}

void sqlQuote(RunContext& ctx) {
    ctx.run.quotedValue = doubleApostrophes(textOrBlank(ctx.run.criteriaValue));
}

bool replaceInTableOneBySql(RunContext& ctx, Value newValue) {
    return replaceInTable(ctx, ctx.shared.rsFileA, "table1", std::move(newValue));
}

bool replaceInTableTwoBySql(RunContext& ctx, Value newValue) {
    return replaceInTable(ctx, ctx.shared.rsFileB, "table2", std::move(newValue));
}

} // namespace varnoke
