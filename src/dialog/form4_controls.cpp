#include "dialog/form4_controls.h"

#include <array>
#include <utility>

namespace varnoke {

namespace {

template <typename Controls> auto combos(Controls& c) {
    return std::array{std::pair{"Combo1", &c.combo1}, std::pair{"Combo2", &c.combo2},
                      std::pair{"Combo3", &c.combo3}, std::pair{"Combo4", &c.combo4},
                      std::pair{"Combo5", &c.combo5}, std::pair{"Combo6", &c.combo6},
                      std::pair{"Combo7", &c.combo7}, std::pair{"Combo8", &c.combo8},
                      std::pair{"Combo9", &c.combo9}, std::pair{"Combo10", &c.combo10}};
}

template <typename Controls> auto lists(Controls& c) {
    return std::array{std::pair{"List1", &c.list1}, std::pair{"List2", &c.list2},
                      std::pair{"List3", &c.list3}};
}

template <typename Entries> auto lookup(const Entries& entries, std::string_view name) {
    for (const auto& [entryName, control] : entries)
        if (name == entryName) return control;
    return decltype(entries[0].second){nullptr};
}

} // namespace

ControlState* Form4Controls::find(std::string_view name) {
    if (auto* combo = lookup(combos(*this), name)) return combo;
    if (auto* list = lookup(lists(*this), name)) return list;
    const std::array<std::pair<const char*, ControlState*>, 18> others{{
        {"Option1", &option1},
        {"Option2", &option2},
        {"Option3", &option3},
        {"Option4", &option4},
        {"Command1", &command1},
        {"Command2", &command2},
        {"Command3", &command3},
        {"Command4", &command4},
        {"Command5", &command5},
        {"Command6", &command6},
        {"Command7", &command7},
        {"Command8", &command8},
        {"Command9", &command9},
        {"Command10", &command10},
        {"Text1", &text1},
        {"Text2", &text2},
        {"Label8", &label8},
        {"DBGrid1", &dbGrid1},
    }};
    return lookup(others, name);
}

const ComboControl* Form4Controls::findCombo(std::string_view name) const {
    return lookup(combos(*this), name);
}

const ListControl* Form4Controls::findList(std::string_view name) const {
    return lookup(lists(*this), name);
}

} // namespace varnoke
