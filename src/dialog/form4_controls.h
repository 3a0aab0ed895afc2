#pragma once
// The comparison dialog's controls as data: what each shows, holds and allows. The
// dialog's procedures work on these; the window draws them and writes the user's input
// back, so every rule of the dialog can be run and checked without a window.
#include "platform/progress.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varnoke {

struct ControlState {
    bool enabled = true;
    bool visible = true;
};

struct ButtonControl : ControlState {
    std::string caption;
    std::string toolTip;
};

struct OptionControl : ControlState {
    std::string caption;
    bool value = false;
};

struct TextControl : ControlState {
    std::string text;
    std::string toolTip;
    // A path box shows its whole text as its tooltip, and none when empty.
    void setText(std::string value) {
        text = std::move(value);
        toolTip = text;
    }
};

// An editable combo box: a list of items and a text the user may also type.
struct ComboControl : ControlState {
    std::vector<std::string> items;
    std::string text;
    int listIndex = -1;
    std::string toolTip;

    // Empties the list and, as a stale text would no longer name an item, the text.
    void clear() {
        items.clear();
        text.clear();
        listIndex = -1;
    }
    void addItem(std::string_view item) { items.emplace_back(item); }
    bool hasItems() const { return !items.empty(); }
};

// A list box; List3 lets several entries be selected.
struct ListControl : ControlState {
    std::vector<std::string> items;
    std::vector<bool> selected;
    int listIndex = -1;

    void clear() {
        items.clear();
        selected.clear();
        listIndex = -1;
    }
    void addItem(std::string_view item) {
        items.emplace_back(item);
        selected.push_back(false);
    }
    bool hasItems() const { return !items.empty(); }
};

// ProgressBar1. The run sets it many times a second, so it tells its own listener
// rather than having the whole dialog drawn again.
class ProgressControl : public Progress {
public:
    std::function<void(const Progress&)> onShow;

protected:
    void show() override {
        if (onShow) onShow(*this);
    }
};

struct Form4Controls {
    OptionControl option1; // "Fields in ONE database"
    OptionControl option2; // "Fields in TWO databases"
    OptionControl option3; // "or"
    OptionControl option4; // "and"

    ComboControl combo1;  // criteria operand
    ComboControl combo2;  // condition
    ComboControl combo3;  // action
    ComboControl combo4;  // target of the action
    ComboControl combo5;  // replacement source
    ComboControl combo6;  // data type
    ComboControl combo7;  // pairing method
    ComboControl combo8;  // adding records
    ComboControl combo9;  // export choice
    ComboControl combo10; // criteria field of File A

    ButtonControl command1;  // "&Open File" / "&Open File A"
    ButtonControl command2;  // "&Process"
    ButtonControl command3;  // "&Close Files"
    ButtonControl command4;  // "Open File &B"
    ButtonControl command5;  // "&Stop"
    ButtonControl command6;  // "&Export to..."
    ButtonControl command7;  // "&Add Criteria"
    ButtonControl command8;  // "Edit &Criteria"
    ButtonControl command9;  // "&Update Criteria"
    ButtonControl command10; // "&Remove Criteria"

    ListControl list1; // field names of File A
    ListControl list2; // field names of File B
    ListControl list3; // export fields, several selectable

    TextControl text1; // path of File A
    TextControl text2; // path of File B

    ControlState label8; // "with"
    ControlState dbGrid1;

    // Grid layout: the caption of column 0 and the width of column 3 in twips.
    std::string gridColumn0Caption;
    int gridColumn3Width = 0;

    ProgressControl progressBar1;

    // The pointer is the wait cursor while set: the program reads a file and takes no
    // command meanwhile.
    bool waitPointer = false;

    // The control that should get the focus next (its name, e.g. "Combo1"); the window
    // moves the focus and clears it.
    std::string focusRequest;

    // A control by its name ("Command2", "Combo10", "List3", "DBGrid1"); nullptr for a
    // name the dialog does not have.
    ControlState* find(std::string_view name);
    const ComboControl* findCombo(std::string_view name) const;
    const ListControl* findList(std::string_view name) const;
    ComboControl* findCombo(std::string_view name) {
        return const_cast<ComboControl*>(std::as_const(*this).findCombo(name));
    }
};

} // namespace varnoke
