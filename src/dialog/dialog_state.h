#pragma once
// What a Process run reads from the comparison dialog and keeps on it.
//
// Form4Choices is a copy of the dialog's controls, taken when "&Process" is pressed;
// the controls are locked for the whole run, so the copy stays true. Form4RunState
// holds the values that the run's procedures share (record number, flags, type codes,
// operand and replacement, find and statement texts). Neither knows about windows, so
// a whole run can be driven from a filled Form4State in a test.
#include "dialog/choice_texts.h"
#include "drivers/data_types.h"
#include "value/value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnoke {

// The dialog's controls as the run reads them, named after the controls.
struct Form4Choices {
    bool option1 = true;  // "Fields in ONE database"
    bool option2 = false; // "Fields in TWO databases"
    bool option3 = true;  // conjunction "or"
    bool option4 = false; // conjunction "and"

    std::string combo6{kDefaultDataType};              // data type
    std::string combo10;                               // criteria field: a bare File A name
    std::string combo2{choice::IsEqualTo};             // condition
    std::string combo1;                                // operand: "File B." + name, or typed
    std::string combo3{choice::Replace};               // action
    std::string combo4;                                // target: "File A."/"File B." + name, or
                                                       // "entire record from File A/B"
    std::string combo5;                                // replacement: reference, "BLANK", typed
    std::string combo7{choice::ParallelOneRecord};     // pairing method
    std::string combo8{choice::NoRecordsCanBeAdded};   // adding records
    std::string combo9{choice::EntireRecordFromFileA}; // export choice
    bool combo9Visible = false;

    std::vector<std::string> list1; // field names of File A (Table1), in field order
    std::vector<std::string> list2; // field names of File B (Table2)
    // Export field references ("File A." entries first, then "File B."), and which of
    // them the user selected; both have the same length.
    std::vector<std::string> list3;
    std::vector<bool> list3Selected;

    std::string text1; // path of File A
    std::string text2; // path of File B

    // The conjunction word of the selected option.
    std::string_view conjunction() const { return option3 ? choice::Or : choice::And; }
    // Only this text of Combo8 lets a step add records.
    bool addingAllowed() const { return combo8 == choice::AddNewRecords; }
    // The selected entries of List3, in list order.
    std::vector<std::string> selectedExportFields() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < list3.size() && i < list3Selected.size(); ++i)
            if (list3Selected[i]) out.push_back(list3[i]);
        return out;
    }
};

// Type code meaning "not set yet" in the run state; no engine type uses 0.
inline constexpr int kNoFieldType = 0;

// The run state the dialog window keeps for a Process run. Flags are "y" or empty
// (askBadDate also "n"); the set-up of each run clears what it lists.
struct Form4RunState {
    std::int32_t recNo = 1;             // 1-based number of the driving file's current record
    std::string runStarted;             // "y" once the first record step of the run has begun
    std::string runFinished;            // "y" after "Processing complete."
    int ifThisType = kNoFieldType;      // type code of the File A field of If_This
    int thisType = kNoFieldType;        // type code of the File B field in This, 10 if typed
    int actionFieldType = kNoFieldType; // type code of the Combo4 field
    int withFieldType = kNoFieldType;   // type code of the Combo5 field, 10 if typed/BLANK
    Value criteriaValue;                // the operand of the current row for the current record
    Value replaceValue;                 // the replacement of a replace run
    std::string nextCriteriaRow;        // "y": take the next criteria row for the same record
    std::string findCriteria;           // find text built over the criteria rows
    std::string criteriaField;          // left-hand field name of the clause being built
    std::string quotedValue;            // criteriaValue with every ' doubled
    std::string deleteSql;              // joined clauses, then the delete statement
    std::string deleteClause;           // the clause of one criteria row
    std::string updateSql;              // the "update table1 set ..." statement
    std::string askBadDate;             // "y" Ignore chosen this run, "n" Retry
    std::string conversionStage;        // "1".."4": stage of the type fallback ladder
};

struct Form4State {
    Form4Choices controls;
    Form4RunState run;
};

} // namespace varnoke
