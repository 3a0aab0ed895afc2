#pragma once
// Form14, "Password Access": the name and password the query server asks for. The
// password is taken key by key into a buffer of the window's own; the box shows only
// one "*" per character, whatever a key or a paste did to it.
#include "queries/remote_client.h"

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace varnoke {

class Form14 : public QDialog {
    Q_OBJECT
public:
    explicit Form14(QWidget* parent = nullptr);
    ~Form14() override;

    // Empties both boxes, shows the window modally and gives back what was typed, or
    // nothing after Cancel or closing the window.
    std::optional<LoginAnswer> ask();

    // Text2_KeyPress with the key's character: Enter is OK, Backspace drops the last
    // character, a printable character is added; other control characters are dropped.
    void passwordKey(QChar key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showMask();
    void clearPassword();

    QLineEdit* text1_;
    QLineEdit* text2_;
    QPushButton* command1_;
    QPushButton* command2_;
    std::u32string password_;
    bool accepted_ = false;
};

} // namespace varnoke
