// The comparison dialog's window while a file is read by a reading child: a click or a
// close that reaches it meanwhile starts nothing over the link.
#include "form4_window_fixture.h"
#include "gated_reader.h"
#include "shell/run_guard.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace varnoke::test {
namespace {

class LinkWindow : public Form4Window {
protected:
    GatedLotus lotus;
};

struct Intrusion {
    const char* label;
    std::function<void(Form4&)> act; // what reaches the window while the child reads
    Items messages;                  // what the user is told of it
};

void PrintTo(const Intrusion& c, std::ostream* os) {
    *os << c.label;
}

class LinkWindowIntrusion : public LinkWindow, public ::testing::WithParamInterface<Intrusion> {};

TEST_P(LinkWindowIntrusion, StartsNothingOverTheLink) {
    const Intrusion& intrusion = GetParam();
    form->model().controls().combo6.text = "Lotus WK4";
    const std::string sheet = dir.write("sheet.wk4", "stands in for a worksheet");
    scripted.files.choosePath(sheet);
    for (std::size_t i = 0; i < intrusion.messages.size(); ++i)
        scripted.prompter.answer(answer::Ok);
    scripted.events.onDraw = [&](int draws) {
        if (draws == 1) intrusion.act(*form);
        lotus.reader().open();
    };
    QTest::mouseClick(form->findChild<QPushButton*>("Command1"), Qt::LeftButton);

    EXPECT_EQ(scripted.files.requests().size(), 1u) << "a second open began";
    EXPECT_EQ(scripted.prompter.messages(), intrusion.messages);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->model().controls().list1.items, Items{"NAME"});
    EXPECT_TRUE(form->model().controls().option1.value);
}

INSTANTIATE_TEST_SUITE_P(
    Intrusions, LinkWindowIntrusion,
    ::testing::Values(
        Intrusion{"OpenFileAAgain",
                  [](Form4& f) {
                      QTest::mouseClick(f.findChild<QPushButton*>("Command1"), Qt::LeftButton);
                  },
                  {}},
        Intrusion{"TwoDatabasesOption",
                  [](Form4& f) {
                      QTest::mouseClick(f.findChild<QRadioButton*>("Option2"), Qt::LeftButton);
                  },
                  {}},
        Intrusion{"CloseTheDialog", [](Form4& f) { f.close(); }, {std::string(kLinkBusyMessage)}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace varnoke::test
