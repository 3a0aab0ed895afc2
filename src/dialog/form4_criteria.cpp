// The criteria rows: adding, editing, updating and removing them, and the buttons that
// follow whether there are any.
#include "dialog/form4_model.h"

namespace varnoke {

void Form4Model::applyGridLayout() {
    c_.gridColumn0Caption = kGridColumn0Caption;
    c_.gridColumn3Width = kGridColumn3Width;
}

void Form4Model::setRowButtons(bool enabled) {
    c_.command8.enabled = enabled;
    c_.command9.enabled = enabled;
    c_.command10.enabled = enabled;
}

void Form4Model::selectCriteriaRow(long position) {
    guarded([&] { criteria_.setCurrentRow(position); });
}

void Form4Model::command7Click() {
    const auto& field = c_.combo10.text;
    const auto& condition = c_.combo2.text;
    const auto& operand = c_.combo1.text;
    if (!field.empty() && !condition.empty() && !operand.empty()) {
        const bool added = guarded([&] {
            criteria_.add(field, condition, operand, c_.option3.value ? choice::Or : choice::And);
        });
        applyGridLayout();
        if (added) criteriaGridFilled();
        return;
    }
    if (c_.list1.hasItems()) {
        if (field.empty()) {
            message(kSelectFieldMessage);
            c_.focusRequest = "Combo10";
            return;
        }
        if (condition.empty()) {
            message(kSelectConditionMessage);
            c_.focusRequest = "Combo2";
            return;
        }
        message(kSelectFieldMessage);
        c_.focusRequest = "Combo1";
    }
    applyGridLayout();
}

void Form4Model::command8Click() {
    guarded([&] {
        if (!criteria_.ensureCurrent()) return;
        const auto row = criteria_.current();
        c_.combo10.text = row.ifThis;
        c_.combo2.text = row.condition;
        c_.combo1.text = row.thisValue;
    });
    applyGridLayout();
}

void Form4Model::command9Click() {
    bool hasRow = false;
    if (!guarded([&] { hasRow = criteria_.ensureCurrent(); })) return;
    const auto& field = c_.combo10.text;
    const auto& condition = c_.combo2.text;
    if (!field.empty() && !condition.empty()) {
        // An empty operand may be written here, though Add refuses one.
        if (hasRow && guarded([&] { criteria_.updateCurrent(field, condition, c_.combo1.text); }))
            criteriaGridFilled();
        applyGridLayout();
        return;
    }
    if (c_.list1.hasItems()) {
        message(field.empty() ? kSelectFieldMessage : kSelectConditionMessage);
        c_.focusRequest = field.empty() ? "Combo10" : "Combo2";
        return;
    }
    applyGridLayout();
}

void Form4Model::command10Click() {
    if (criteria_.currentRow() < 0) return;
    guarded([&] { criteria_.removeCurrent(); });
    applyGridLayout();
    criteriaGridEmptied();
}

bool Form4Model::emptyGrid() {
    // Rows the working database would not give up are still there to process and edit.
    const bool emptied = guarded([&] { criteria_.deleteAll(s_.shared.workDb); });
    if (emptied) {
        c_.command2.enabled = false;
        setRowButtons(false);
    }
    applyGridLayout();
    return emptied;
}

void Form4Model::criteriaGridEmptied() {
    if (criteria_.rowCount() == 0) {
        c_.command2.enabled = false;
        setRowButtons(false);
    }
}

void Form4Model::criteriaGridFilled() {
    if (!c_.command8.enabled) {
        setRowButtons(true);
        applyGridLayout();
    }
    offerProcess();
}

} // namespace varnoke
