#include "process/clause_builders.h"

#include "process/run_context.h"
#include "value/convert.h"

#include <array>

namespace varnoke {

namespace {

// How v is written into the term.
enum class Form {
    None,          // IsNull
    Text,          // 'text of v'
    PlainNumber,   // 'number of v'
    Date,          // #date of v#
    DateOfNumber,  // #date of the number of v#
    Number,        // number of v
    LeadingNumber, // leading number of the text of v
};

struct ClauseRow {
    Clause clause;
    std::string_view name;
    std::string_view op; // " = ", " > ", " < "
    Form form;
    bool negated;
    bool orNull;
};

using enum Clause;
constexpr std::string_view kEq = " = ";
constexpr std::string_view kGt = " > ";
constexpr std::string_view kLt = " < ";

constexpr std::array<ClauseRow, 28> kClauses = {{
    {addTextEqualClause, "addTextEqualClause", kEq, Form::Text, false, false},
    {addTextNotEqualClause, "addTextNotEqualClause", kEq, Form::Text, true, false},
    {addTextDateEqualClause, "addTextDateEqualClause", kEq, Form::Text, false, false},
    {addTextDateNotEqualClause, "addTextDateNotEqualClause", kEq, Form::Text, true, false},
    {addTextValEqualClause, "addTextValEqualClause", kEq, Form::PlainNumber, false, false},
    {addTextValNotEqualClause, "addTextValNotEqualClause", kEq, Form::PlainNumber, true, false},
    {addDateEqualClause, "addDateEqualClause", kEq, Form::Date, false, false},
    {addDateNotEqualClause, "addDateNotEqualClause", kEq, Form::Date, true, false},
    {addDateTextEqualClause, "addDateTextEqualClause", kEq, Form::Date, false, false},
    {addDateTextNotEqualClause, "addDateTextNotEqualClause", kEq, Form::Date, true, false},
    {addDateValEqualClause, "addDateValEqualClause", kEq, Form::DateOfNumber, false, false},
    {addDateValNotEqualClause, "addDateValNotEqualClause", kEq, Form::DateOfNumber, true, false},
    {addValEqualClause, "addValEqualClause", kEq, Form::Number, false, false},
    {addValNotEqualClause, "addValNotEqualClause", kEq, Form::Number, true, false},
    {addValTextEqualClause, "addValTextEqualClause", kEq, Form::LeadingNumber, false, false},
    {addValTextNotEqualClause, "addValTextNotEqualClause", kEq, Form::LeadingNumber, true, false},
    {addValDateEqualClause, "addValDateEqualClause", kEq, Form::LeadingNumber, false, false},
    {addValDateNotEqualClause, "addValDateNotEqualClause", kEq, Form::LeadingNumber, true, false},
    {addValGreaterClause, "addValGreaterClause", kGt, Form::Number, false, false},
    {addValLessClause, "addValLessClause", kLt, Form::Number, false, false},
    {addDateAfterClause, "addDateAfterClause", kGt, Form::Date, false, false},
    {addDateBeforeClause, "addDateBeforeClause", kLt, Form::Date, false, false},
    {addValLessOrNullClause, "addValLessOrNullClause", kLt, Form::Number, false, true},
    {addValGreaterOrNullClause, "addValGreaterOrNullClause", kGt, Form::Number, false, true},
    {addDateBeforeOrNullClause, "addDateBeforeOrNullClause", kLt, Form::Date, false, true},
    {addDateAfterOrNullClause, "addDateAfterOrNullClause", kGt, Form::Date, false, true},
    {addIsNullClause, "addIsNullClause", {}, Form::None, false, false},
    {addNotIsNullClause, "addNotIsNullClause", {}, Form::None, true, false},
}};

constexpr bool rowsInEnumOrder() {
    for (std::size_t i = 0; i < kClauses.size(); ++i)
        if (static_cast<std::size_t>(kClauses[i].clause) != i) return false;
    return true;
}
static_assert(rowsInEnumOrder(), "kClauses is indexed by Clause");

const ClauseRow& rowOf(Clause clause) {
    return kClauses[static_cast<std::size_t>(clause)];
}

std::string isNullOf(std::string_view field) {
    return "IsNull(" + bracketName(field) + ")";
}

void appendDoubled(std::string& out, std::string_view text) {
    for (std::size_t at; (at = text.find('\'')) != std::string_view::npos;
         text.remove_prefix(at + 1)) {
        out.append(text.substr(0, at + 1));
        out += '\'';
    }
    out.append(text);
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '\'';
    appendDoubled(out, text);
    out += '\'';
}

// The value part of the term; raises the conversion's error when v has no such form.
void appendValue(std::string& out, Form form, const Value& v) {
    switch (form) {
    case Form::None:
        return;
    case Form::Text:
        if (v.isText()) return appendQuoted(out, v.asText());
        return appendQuoted(out, textOf(v));
    case Form::PlainNumber:
        return appendQuoted(out, numberText(numberOf(v)));
    case Form::Date:
        out += "#" + dateText(dateOf(v)) + "#";
        return;
    case Form::DateOfNumber:
        out += "#" + dateText(dateOf(Value::number(numberOf(v)))) + "#";
        return;
    case Form::Number:
        out += numberText(numberOf(v));
        return;
    case Form::LeadingNumber:
        break;
    }
    out += numberText(leadingNumber(textOf(v)));
}

bool orNullApplies(const ClauseInput& in) {
    return (in.criteriaRows == 1 && !in.value.isNull()) || in.orChosen;
}

} // namespace

std::string doubleApostrophes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendDoubled(out, text);
    return out;
}

std::string quoteText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    appendQuoted(out, text);
    return out;
}

std::string_view clauseName(Clause clause) {
    return rowOf(clause).name;
}

std::string withClause(std::string_view findCriteria, Clause clause, const ClauseInput& in) {
    const ClauseRow& row = rowOf(clause);
    std::string out;
    out.reserve(findCriteria.size() + 2 * in.field.size() + 48);
    out += findCriteria;
    if (!out.empty()) out += in.orChosen ? " or " : " and ";
    if (row.negated) out += "not ";
    if (row.form == Form::None) {
        out += isNullOf(in.field);
    } else {
        appendBracketName(out, in.field);
        out += row.op;
        appendValue(out, row.form, in.value);
    }
    if (row.orNull && orNullApplies(in)) out += " or " + isNullOf(in.field);
    return out;
}

void addClause(RunContext& ctx, Clause clause) {
    Form4RunState& run = ctx.run;
    const ClauseInput in{run.criteriaField, run.criteriaValue, ctx.choices.option3,
                         ctx.criteria.recordCount()};
    std::string text = withClause(run.findCriteria, clause, in);
    if (clause == Clause::addTextEqualClause || clause == Clause::addTextNotEqualClause) {
        run.quotedValue.clear();
        if (run.criteriaValue.isText())
            appendDoubled(run.quotedValue, run.criteriaValue.asText());
        else
            appendDoubled(run.quotedValue, textOf(run.criteriaValue));
    }
    run.findCriteria = std::move(text);
}

void appendOrIsNull(RunContext& ctx) {
    Form4RunState& run = ctx.run;
    if (isBlank(run.replaceValue)) return;
    const ClauseInput in{run.criteriaField, run.criteriaValue, ctx.choices.option3,
                         ctx.criteria.recordCount()};
    if (orNullApplies(in)) run.findCriteria += " or " + isNullOf(run.criteriaField);
}

void recordAddedOr(RunContext& ctx) {
    const std::string condition = isNullOf(ctx.run.criteriaField);
    Recordset rows = ctx.shared.workDb.openRecordset("AddedOr", RecordsetType::Dynaset);
    rows.findFirst("[condition] = " + quoteText(condition));
    if (rows.noMatch()) {
        rows.addNew();
        rows.setValue("condition", Value::text(condition));
        rows.update();
    }
    rows.close();
}

} // namespace varnoke
