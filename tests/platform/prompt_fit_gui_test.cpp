// The input box and the message box on Qt: what is typed comes back, Cancel gives "",
// their titles and texts show whole, and they lie on the screen, buttons and all.
#include "dialog/form4_model.h"
#include "platform/qt/qt_platform.h"
#include "support/modal_gui.h"
#include "support/text_fit_gui.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

using namespace varnoke;
using namespace varnoke::test;

namespace {

// What of a shown box lies past its screen's free area: the box's width, each button.
std::vector<std::string> offScreen(const QWidget& box) {
    std::vector<std::string> out;
    const QRect screen = box.screen()->availableGeometry();
    if (box.frameGeometry().width() > screen.width())
        out.push_back(QString("the box is %1 px wide on a screen of %2")
                          .arg(box.frameGeometry().width())
                          .arg(screen.width())
                          .toStdString());
    for (const QAbstractButton* button : box.findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        const QRect r(button->mapToGlobal(QPoint(0, 0)), button->size());
        if (!screen.contains(r))
            out.push_back(button->text().toStdString() + " lies off the screen");
    }
    return out;
}

// The box's faults, as it shows: texts cut, then parts off the screen.
std::vector<std::string> faultsOf(const QWidget& box) {
    std::vector<std::string> out = unfitTexts(box);
    for (std::string& fault : offScreen(box))
        out.push_back(std::move(fault));
    return out;
}

// The faults of the box that open shows, which is then cancelled; with titleFits false,
// only what lies off the screen.
std::vector<std::string> faultsOfTheBox(const std::function<void()>& open, bool titleFits = true) {
    QObject context;
    std::vector<std::string> unfit{"the box did not show"};
    whenModalShows(context, [&](QWidget& box) {
        unfit = titleFits ? faultsOf(box) : offScreen(box);
        static_cast<QDialog&>(box).reject();
    });
    open();
    return unfit;
}

struct PromptCase {
    const char* label;
    std::string prompt;
    const char* title;
};

void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.label;
}

class InputBoxFit : public ::testing::TestWithParam<PromptCase> {};

TEST_P(InputBoxFit, ShowsItsTitleAndPromptWholeOnTheScreen) {
    QtPrompter prompter;
    std::string typed = "not cancelled";
    EXPECT_EQ(faultsOfTheBox(
                  [&] { typed = prompter.inputBox(GetParam().prompt, GetParam().title, "x"); }),
              std::vector<std::string>{});
    EXPECT_EQ(typed, "");
}

INSTANTIATE_TEST_SUITE_P(
    Prompts, InputBoxFit,
    ::testing::Values(PromptCase{"RemoteHost",
                                 "Enter IP address of REMOTE system:", "Varnoke - Connect To..."},
                      PromptCase{"InternetSiteFileA", internetAddressPrompt("resource"),
                                 "Import from Internet site..."},
                      PromptCase{"InternetSiteFileB", internetAddressPrompt("document"),
                                 "Import from Internet site..."},
                      PromptCase{"QueryName", "Enter New Query Name:", "Varnoke"},
                      PromptCase{"OneLongWord", std::string(300, 'w'), "Varnoke"}),
    [](const auto& info) { return std::string(info.param.label); });

struct MessageCase {
    const char* label;
    std::string text;
    int style;
    const char* title;
    bool titleFits = true; // no screen shows some titles whole
};

void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.label;
}

class MessageBoxFit : public ::testing::TestWithParam<MessageCase> {};

TEST_P(MessageBoxFit, ShowsItsTitleAndTextWholeOnTheScreen) {
    QtPrompter prompter;
    const MessageCase& c = GetParam();
    EXPECT_EQ(faultsOfTheBox([&] { prompter.messageBox(c.text, c.style, c.title); }, c.titleFits),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageBoxFit,
    ::testing::Values(
        MessageCase{"ShortQuestionLongerTitle", "Delete this table: T?",
                    msgbox::YesNo | msgbox::Question | msgbox::DefaultButton2,
                    "Varnoke - Be careful"},
        MessageCase{"TitleWiderThanTheScreen", "Done.", msgbox::OkOnly,
                    "Varnoke - a title far longer than any screen is wide, as a window title can "
                    "be when it names a long path: /home/user/some/folder/with/a/long/name/and/"
                    "deeper/still/and/deeper/and/deeper/varnoker.mdb",
                    false},
        MessageCase{"LongText",
                    "Varnoke could not connect the file you selected to its database.  Please "
                    "select a file that is of a type in the Data Type List.  The file may be "
                    "damaged, or of another version than the one its type names, or held by "
                    "another program at this moment.",
                    msgbox::OkOnly | msgbox::Exclamation, "Varnoke"},
        MessageCase{"ADatabaseReadAsText",
                    std::string(kCouldNotConnectMessage) + signatureTypeAdvice("Jet table") +
                        "\nField 1 ('\\x00\\x01\\x00\\x00Standard Jet DB\\x00\\x01\u2026') is "
                        "not a valid field name: it holds a control character at byte 1.\n"
                        "Varnoke's copy of File A is as it was before.",
                    msgbox::OkOnly | msgbox::Exclamation, "Varnoke"},
        MessageCase{"LongPath",
                    "Couldn't use '/home/user/" + std::string(200, 'd') +
                        "/varnoker.mdb'; file already in use.",
                    msgbox::OkOnly | msgbox::Information, "Varnoke - Sorry"}),
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
