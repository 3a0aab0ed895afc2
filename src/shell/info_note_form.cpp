#include "shell/info_note_form.h"

#include "platform/qt/qt_text.h"
#include "platform/qt/window_faces.h"
#include "shell/info_notes.h"
#include "shell/main_window.h"
#include "value/runtime_error.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace varnoke {

namespace {

struct Rect {
    int left, top, width, height;
};

struct NoteLayout {
    const char* name;
    int clientWidth, clientHeight; // the client area
    int outerWidth, outerHeight;   // the size the window is centred by
    Rect text1, check1, command1;
};

const NoteLayout& layoutOf(InfoNote note) {
    static const NoteLayout form5{"Form5",
                                  4728,
                                  2748,
                                  4800,
                                  3240,
                                  {80, 120, 4572, 1692},
                                  {1080, 1920, 2655, 255},
                                  {1680, 2280, 1215, 375}};
    static const NoteLayout form6{"Form6",
                                  4740,
                                  2856,
                                  4800,
                                  3240,
                                  {80, 120, 4572, 1812},
                                  {1320, 2040, 2655, 255},
                                  {1800, 2400, 1215, 375}};
    static const NoteLayout form7{"Form7",
                                  7548,
                                  4080,
                                  7470,
                                  4440,
                                  {120, 120, 7332, 3012},
                                  {2640, 3240, 2175, 255},
                                  {3120, 3600, 1215, 375}};
    switch (note) {
    case InfoNote::ExportFile:
        return form5;
    case InfoNote::Remote:
        return form6;
    case InfoNote::Pairing:
        return form7;
    }
    return form5;
}

void place(QWidget* widget, const Rect& r) {
    widget->setGeometry(twips(r.left), twips(r.top), twips(r.width), twips(r.height));
}

} // namespace

InfoNoteForm::InfoNoteForm(InfoNote note, Database db, Prompter& prompter, QWidget* parent)
    : QDialog(parent), note_(note), db_(std::move(db)), prompter_(prompter) {
    const NoteLayout& layout = layoutOf(note);
    setObjectName(layout.name);
    setWindowTitle(toQString(kInfoNoteTitle));
    setFixedSize(twips(layout.clientWidth), twips(layout.clientHeight));
    // The boxes were sized for a small face; in the narrow cut the longest note, the
    // pairing methods', shows whole without a scroll bar.
    setFont(narrowFace(10));

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName("Text1");
    text1_->setReadOnly(true);
    place(text1_, layout.text1);
    check1_ = new QCheckBox(toQString(kShowAgainCaption), this);
    check1_->setObjectName("Check1");
    check1_->setChecked(true);
    place(check1_, layout.check1);
    command1_ = new QPushButton("&OK", this);
    command1_->setObjectName("Command1");
    command1_->setDefault(true);
    place(command1_, layout.command1);
    setTabOrder(text1_, check1_);
    setTabOrder(check1_, command1_);

    connect(check1_, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(command1_, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - twips(layout.outerWidth)) / 2,
             area.y() + (area.height() - twips(layout.outerHeight)) / 2);
    }
}

void InfoNoteForm::setText(std::string_view text) {
    text1_->setPlainText(toQString(text));
}

void InfoNoteForm::Check1_Click() {
    try {
        setNoteWanted(db_, note_, check1_->isChecked());
    } catch (const RuntimeError& e) {
        prompter_.messageBox(errorReport(e), msgbox::OkOnly | msgbox::Exclamation);
    }
}

} // namespace varnoke
