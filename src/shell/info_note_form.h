#pragma once
// Form5, Form6 and Form7: the info notes, each with a "Show this message again." box
// whose state is kept in the note's row of the Settings table.
#include "engine/database.h"
#include "platform/prompter.h"
#include "shell/main_window_api.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace varnoke {

class InfoNoteForm : public QDialog {
    Q_OBJECT
public:
    // db is the working database the box writes to; prompter reports a failed write.
    InfoNoteForm(InfoNote note, Database db, Prompter& prompter, QWidget* parent = nullptr);

    void setText(std::string_view text);
    InfoNote note() const { return note_; }

private:
    void Check1_Click();

    InfoNote note_;
    Database db_;
    Prompter& prompter_;
    QPlainTextEdit* text1_;
    QCheckBox* check1_;
    QPushButton* command1_;
};

} // namespace varnoke
