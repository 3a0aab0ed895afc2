// The criteria rows: adding, editing, updating and removing keep every row but the last
// joined by the selected conjunction.
#include "dialog_fixture.h"

namespace varnoke::test {
namespace {

class CriteriaTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        c().combo6.text = "dBase IV";
        scripted.files.choosePath(peopleDbf());
        model->command1Click();
    }
    void add(const std::string& field, const std::string& condition, const std::string& operand) {
        c().combo10.text = field;
        c().combo2.text = condition;
        c().combo1.text = operand;
        model->command7Click();
    }
    Items conjunctions() {
        Items out;
        for (const auto& row : model->criteria().rows())
            out.push_back(row.conjunction);
        return out;
    }
    Items operands() {
        Items out;
        for (const auto& row : model->criteria().rows())
            out.push_back(row.thisValue);
        return out;
    }
};

TEST_F(CriteriaTest, AddJoinsEveryRowButTheLastWithTheSelectedWord) {
    model->option4Click();
    add("NAME", "is equal to", "File B.NAME");
    EXPECT_EQ(conjunctions(), (Items{""}));
    EXPECT_TRUE(c().command2.enabled);
    EXPECT_TRUE(c().command8.enabled);
    EXPECT_TRUE(c().command9.enabled);
    EXPECT_TRUE(c().command10.enabled);

    add("BIRTHDATE", "is before", "1/1/1985");
    add("NAME", "is not equal to", "Bob");
    EXPECT_EQ(conjunctions(), (Items{"and", "and", ""}));
    EXPECT_EQ(model->criteria().currentRow(), 2) << "the new row is current";
    EXPECT_EQ(model->criteria().rows()[1],
              (CriteriaRow{"BIRTHDATE", "is before", "1/1/1985", "and"}));

    model->criteria().setCurrentRow(1);
    model->option3Click();
    EXPECT_EQ(conjunctions(), (Items{"or", "or", ""}));
    EXPECT_EQ(model->criteria().currentRow(), 1) << "the current row stays current";
    EXPECT_EQ(c().gridColumn0Caption, "If File A.");
    EXPECT_EQ(c().gridColumn3Width, 960);
}

TEST_F(CriteriaTest, RemovingKeepsTheLastRowWithoutConjunction) {
    add("NAME", "is equal to", "one");
    add("NAME", "is equal to", "two");
    add("NAME", "is equal to", "three");

    model->criteria().setCurrentRow(2);
    model->command10Click();
    EXPECT_EQ(operands(), (Items{"one", "two"}));
    EXPECT_EQ(conjunctions(), (Items{"or", ""}));
    EXPECT_EQ(model->criteria().currentRow(), 1);

    add("NAME", "is equal to", "three");
    model->criteria().setCurrentRow(1);
    model->command10Click();
    EXPECT_EQ(operands(), (Items{"one", "three"}));
    EXPECT_EQ(conjunctions(), (Items{"or", ""}));
    EXPECT_EQ(model->criteria().currentRow(), 1);

    model->command10Click();
    model->command10Click();
    EXPECT_EQ(model->criteria().rowCount(), 0);
    EXPECT_FALSE(c().command2.enabled);
    EXPECT_FALSE(c().command8.enabled);
    EXPECT_FALSE(c().command9.enabled);
    EXPECT_FALSE(c().command10.enabled);
    EXPECT_TRUE(c().command7.enabled);
}

TEST_F(CriteriaTest, EditCopiesTheRowAndUpdateWritesItBack) {
    add("NAME", "is equal to", "Alice");
    add("BIRTHDATE", "is after", "File B.BIRTHDATE");
    model->criteria().setCurrentRow(0);
    model->command8Click();
    EXPECT_EQ(c().combo10.text, "NAME");
    EXPECT_EQ(c().combo2.text, "is equal to");
    EXPECT_EQ(c().combo1.text, "Alice");

    c().combo2.text = "is not equal to";
    c().combo1.text = "";
    model->command9Click();
    EXPECT_EQ(model->criteria().rows()[0], (CriteriaRow{"NAME", "is not equal to", "", "or"}))
        << "Update writes an empty operand and leaves the conjunction";
    EXPECT_TRUE(scripted.prompter.shown().empty());
}

struct MissingBox {
    const char* name;
    std::string field, condition, operand;
    const char* message;
    const char* focus;
};

void PrintTo(const MissingBox& box, std::ostream* os) {
    *os << box.name;
}

class AddRefusesTest : public CriteriaTest, public ::testing::WithParamInterface<MissingBox> {};

TEST_P(AddRefusesTest, NamesTheFirstEmptyBoxAndStoresNothing) {
    const auto& p = GetParam();
    scripted.prompter.answer(answer::Ok);
    add(p.field, p.condition, p.operand);
    EXPECT_EQ(scripted.prompter.messages(), (Items{p.message}));
    EXPECT_EQ(c().focusRequest, p.focus);
    EXPECT_EQ(model->criteria().rowCount(), 0);
    EXPECT_FALSE(c().command2.enabled);
}

INSTANTIATE_TEST_SUITE_P(EmptyBoxes, AddRefusesTest,
                         ::testing::Values(MissingBox{"Field", "", "is equal to", "x",
                                                      "Please select a field.", "Combo10"},
                                           MissingBox{"Condition", "NAME", "", "x",
                                                      "Please select a condition.", "Combo2"},
                                           MissingBox{"Operand", "NAME", "is equal to", "",
                                                      "Please select a field.", "Combo1"}),
                         [](const auto& info) { return std::string(info.param.name); });

class CriteriaWithoutFileTest : public DialogTest {};

TEST_F(CriteriaWithoutFileTest, AddWithNothingOpenDoesNothing) {
    c().combo2.text = "";
    model->command7Click();
    EXPECT_TRUE(scripted.prompter.shown().empty());
    EXPECT_EQ(model->criteria().rowCount(), 0);
}

TEST_F(CriteriaTest, OpeningAFileEmptiesTheRows) {
    add("NAME", "is equal to", "Alice");
    scripted.files.choosePath(peopleDbf());
    model->command1Click();
    EXPECT_EQ(model->criteria().rowCount(), 0);
    EXPECT_FALSE(c().command2.enabled);
    EXPECT_TRUE(c().command7.enabled);
}

} // namespace
} // namespace varnoke::test
