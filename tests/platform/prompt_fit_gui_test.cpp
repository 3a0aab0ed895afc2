// The input box on Qt: what is typed comes back, Cancel gives "", and its title and
// prompt show whole.
#include "platform/qt/qt_platform.h"
#include "support/modal_gui.h"
#include "support/text_fit_gui.h"

#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

struct PromptCase {
    const char* label;
    const char* prompt;
    const char* title;
};

void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.label;
}

class InputBoxFit : public ::testing::TestWithParam<PromptCase> {};

TEST_P(InputBoxFit, ShowsItsTitleAndPromptWhole) {
    QtPrompter prompter;
    QObject context;
    std::vector<std::string> unfit{"the box did not show"};
    whenModalShows(context, [&](QWidget& box) {
        unfit = unfitTexts(box);
        static_cast<QDialog&>(box).reject();
    });
    EXPECT_EQ(prompter.inputBox(GetParam().prompt, GetParam().title, "x"), "");
    EXPECT_EQ(unfit, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, InputBoxFit,
    ::testing::Values(PromptCase{"RemoteHost",
                                 "Enter IP address of REMOTE system:", "Varnoke - Connect To..."},
                      PromptCase{"InternetSite", "Enter the address of the HTML document:",
                                 "Import from Internet site..."},
                      PromptCase{"QueryName", "Enter New Query Name:", "Varnoke"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(InputBox, GivesBackWhatIsTypedOverItsDefault) {
    QtPrompter prompter;
    QObject context;
    whenModalShows(context, [](QWidget& box) {
        auto* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "old");
        edit->selectAll();
        QTest::keyClicks(edit, "10.0.0.7");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(
        prompter.inputBox("Enter IP address of REMOTE system:", "Varnoke - Connect To...", "old"),
        "10.0.0.7");
}

} // namespace
