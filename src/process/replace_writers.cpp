#include "process/replace_writers.h"

#include "engine/field.h"
#include "process/clause_builders.h"
#include "process/field_class.h"
#include "process/field_reference.h"
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

// The table a writer changes and the file it is.
struct Target {
    Recordset& rs;
    std::string_view table; // "table1"
    FileSide file;
};

// A "with" field of the file being changed: each record is written from its own value,
// never from the record that file happened to stand on.
std::optional<std::string> ownSourceField(const RunContext& ctx, const Target& t) {
    const std::optional<FieldReference> with = fieldReference(ctx, ctx.choices.combo5);
    if (!with || with->file != t.file) return std::nullopt;
    return std::string(with->name);
}

bool typedSource(const RunContext& ctx) {
    const std::string& source = ctx.choices.combo5;
    return source != choice::Blank && !fieldReference(ctx, source);
}

// The value written for newValue, or none when the bad-date question was asked. A
// statement over many records writes the word "Null" as Null; a single record keeps
// the letters in a text field. A typed text with no number raises 13 for a number field
// instead of becoming 0.
std::optional<Value> valueToWrite(RunContext& ctx, const Value& newValue, bool statement) {
    const Form4RunState& run = ctx.run;
    const std::optional<FieldClass> target = fieldClassOf(run.actionFieldType);
    const bool usable =
        newValue.isNull() || newValue.isEmpty() || isTypedNull(newValue) || isDate(newValue);
    if (target == FieldClass::Date && !usable) {
        badDate(ctx);
        return std::nullopt;
    }
    if (target == FieldClass::Val && typedSource(ctx) && newValue.isText() &&
        !isTypedNull(newValue))
        requiredLeadingNumber(newValue.asText());
    if (statement && isTypedNull(newValue)) return Value::null();
    return replacementFor(run.actionFieldType, run.withFieldType, newValue);
}

Value ownValue(Recordset& rs, std::string_view field) {
    const Value v = rs.value(field);
    return isBlank(v) ? Value::null() : v;
}

// Every record findCriteria selects, each from its own source field; true when one was
// written. The search runs on a cursor of its own, through the finds' indexes.
bool replaceEachSelected(RunContext& ctx, const Target& t, std::string_view field,
                         std::string_view sourceField) {
    const std::string& find = ctx.run.findCriteria;
    Recordset selected = t.rs.clone();
    bool written = false;
    for (selected.findFirst(find); !selected.noMatch(); selected.findNext(find)) {
        const std::optional<Value> value = valueToWrite(ctx, ownValue(selected, sourceField), true);
        if (isSet(ctx.shared.stopFlag)) break;
        if (!value) continue;
        selected.edit();
        selected.setValue(field, *value);
        selected.update();
        written = true;
    }
    selected.close();
    return written;
}

// Under "all records": every record findCriteria selects, by one statement.
bool replaceSelected(RunContext& ctx, const Target& t, std::string_view field,
                     const Value& newValue) {
    Form4RunState& run = ctx.run;
    // No condition, no statement: it would change every record of the table.
    if (run.findCriteria.empty()) return false;
    if (const std::optional<std::string> own = ownSourceField(ctx, t))
        return replaceEachSelected(ctx, t, field, *own);
    const std::optional<Value> value = valueToWrite(ctx, newValue, true);
    if (!value) return false;
    run.updateSql = updateStatement(t.table, t.rs.field(field).name(), *value, run.findCriteria);
    return ctx.shared.workDb.execute(run.updateSql) > 0;
}

bool replaceInTable(RunContext& ctx, const Target& t, Value newValue) {
    Recordset& rs = t.rs;
    const std::string field = fieldNameOf(ctx.choices.combo4);
    const bool allRecords = ctx.choices.combo7 == choice::NonParallelAllRecords;
    const bool addMode = !ctx.shared.addNewMode.empty();
    bool begun = false;
    try {
        if (allRecords && !addMode) return replaceSelected(ctx, t, field, newValue);
        // A record being added holds nothing yet to take its replacement from.
        if (const std::optional<std::string> own = ownSourceField(ctx, t))
            newValue = addMode ? Value::null() : ownValue(rs, *own);
        if (addMode)
            rs.addNew();
        else
            rs.edit();
        begun = true;
        const std::optional<Value> value = valueToWrite(ctx, newValue, false);
        if (!value) {
            rs.cancelUpdate();
            return false;
        }
        rs.setValue(field, *value);
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
    if (const std::optional<FieldReference> target = fieldReference(ctx, ctx.choices.combo4))
        ctx.run.actionFieldType = recordsetOf(ctx, target->file).fieldType(target->name);
    const std::optional<FieldReference> with = fieldReference(ctx, ctx.choices.combo5);
    ctx.run.withFieldType =
        with ? recordsetOf(ctx, with->file).fieldType(with->name) : fieldtype::Text;
}

void sqlQuote(RunContext& ctx) {
    ctx.run.quotedValue = doubleApostrophes(textOrBlank(ctx.run.criteriaValue));
}

bool replaceInTableOneBySql(RunContext& ctx, Value newValue) {
    return replaceInTable(ctx, {ctx.shared.rsFileA, "table1", FileSide::A}, std::move(newValue));
}

bool replaceInTableTwoBySql(RunContext& ctx, Value newValue) {
    return replaceInTable(ctx, {ctx.shared.rsFileB, "table2", FileSide::B}, std::move(newValue));
}

} // namespace varnoke
