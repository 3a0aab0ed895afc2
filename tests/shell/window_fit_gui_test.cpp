// The About box and the info notes show their texts whole where the layout puts them.
#include "dialog/form4_model.h"
#include "shell/about_form.h"
#include "shell/info_note_form.h"
#include "support/scripted_platform.h"
#include "support/text_fit_gui.h"
#include "support/waits.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace varnoke;
using namespace varnoke::test;

namespace {

using Lines = std::vector<std::string>;

TEST(WindowFit, TheAboutBoxShowsEveryTextWhole) {
    RecordingOpener opener;
    Form2 about(opener);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about, kPatienceMs));
    EXPECT_EQ(unfitTexts(about), Lines{});
}

struct NoteCase {
    const char* name;
    InfoNote note;
    std::string (*text)();
};

class NoteFit : public ::testing::TestWithParam<NoteCase> {};

TEST_P(NoteFit, TheNoteShowsItsTextWithoutAScrollBar) {
    ScriptedPrompter prompter;
    InfoNoteForm form(GetParam().note, Database(), prompter);
    form.setText(GetParam().text());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, kPatienceMs));
    EXPECT_EQ(unfitTexts(form), Lines{});
}

INSTANTIATE_TEST_SUITE_P(
    Notes, NoteFit,
    ::testing::Values(NoteCase{"Pairing", InfoNote::Pairing, &pairingMethodNoteText},
                      NoteCase{"ExportFile", InfoNote::ExportFile, &exportFileNoteText}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
