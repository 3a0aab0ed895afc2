#pragma once
// Which file a family of evaluators changes. The frame of row_evaluation.h takes one of
// these, so the File A members (list1...) and the File B members (list2...) share it:
// each side fills in its own recordset, tested field, operand rule and writer.
#include "engine/recordset.h"
#include "process/field_class.h"
#include "value/value.h"

#include <string>

namespace varnoke {

struct RunContext;

struct EvaluatorSide {
    FileSide side;
    // The recordset of the file the members search, test and change.
    Recordset& (*changedFile)(RunContext& ctx);
    // The name of the field the current criteria row tests in that file.
    std::string (*testedField)(const RunContext& ctx);
    // Whether the row's operand is a field of the other file (its term joins the find
    // text) rather than a typed value or a blank (searched on its own first).
    bool (*operandIsField)(const RunContext& ctx);
    // The replace writer of that file; true when it wrote.
    bool (*write)(RunContext& ctx, Value newValue);
    // The ordering conditions read with the operand on the left ("File A is after File
    // B"), so the changed field itself must be earlier or smaller.
    bool operandFirst = false;
    // A typed or blank row names no field of the changed file: it holds or fails on the
    // driving record alone (its operand against the typed value) and adds no term.
    bool typedRowOnDrivingRecord = false;
};

// File A (Table1 through rsFileA): the field of If_This, tested against a File B field
// or a typed value.
const EvaluatorSide& fileASide();

// File B (Table2 through rsFileB): the File B field named in This, tested against the
// value of File A's If_This field; File A drives the run.
const EvaluatorSide& fileBSide();

} // namespace varnoke
