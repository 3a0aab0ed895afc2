#include "queries/login_form.h"

#include "platform/qt/window_faces.h"
#include "queries/query_controls_window.h"
#include "shell/main_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace varnoke {

namespace {
constexpr int kWidth = 4575;
constexpr int kHeight = 2400;

void wipe(std::u32string& secret) {
    volatile char32_t* chars = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        chars[i] = 0;
    secret.clear();
}
} // namespace

Form14::Form14(QWidget* parent) : QDialog(parent) {
    setObjectName("Form14");
    setWindowTitle("Password Access");
    setModal(true);
    // The layout was drawn for a small face of fixed widths; in it every caption fits its
    // place whatever face the desktop offers by default.
    setFont(smallFace(10));
    resize(twips(kWidth - kQueryBorderWidth), twips(kHeight - kQueryBorderHeight));

    auto* label1 = new QLabel("Name:", this);
    label1->setObjectName("Label1");
    placeTwips(label1, 120, 240, 1335, 375);
    text1_ = new QLineEdit(this);
    text1_->setObjectName("Text1");
    placeTwips(text1_, 960, 240, 3375, 285);
    auto* label2 = new QLabel("Password:", this);
    label2->setObjectName("Label2");
    placeTwips(label2, 120, 840, 1575, 255);
    text2_ = new QLineEdit(this);
    text2_->setObjectName("Text2");
    placeTwips(text2_, 960, 840, 3375, 285);
    text2_->setAcceptDrops(false);
    text2_->setContextMenuPolicy(Qt::NoContextMenu);
    text2_->installEventFilter(this);
    // Whatever reaches the box by other ways than a key is replaced by the mask.
    connect(text2_, &QLineEdit::textChanged, this, [this] { showMask(); });

    command1_ = new QPushButton("&OK", this);
    command1_->setObjectName("Command1");
    placeTwips(command1_, 1080, 1440, 1095, 375);
    command2_ = new QPushButton("&Cancel", this);
    command2_->setObjectName("Command2");
    placeTwips(command2_, 2520, 1440, 1095, 375);
    command1_->setAutoDefault(false);
    command2_->setAutoDefault(false);
    setTabOrder(text1_, text2_);
    setTabOrder(text2_, command1_);
    setTabOrder(command1_, command2_);

    connect(command1_, &QPushButton::clicked, this, [this] {
        accepted_ = true;
        hide();
    });
    connect(command2_, &QPushButton::clicked, this, [this] {
        accepted_ = false;
        hide();
    });
}

Form14::~Form14() {
    clearPassword();
}

void Form14::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    text1_->setFocus();
    clearPassword();
    showMask();
}

std::optional<LoginAnswer> Form14::ask() {
    text1_->clear();
    clearPassword();
    accepted_ = false;
    exec();
    std::optional<LoginAnswer> answer;
    if (accepted_) {
        QString password = QString::fromUcs4(password_.data(), qsizetype(password_.size()));
        QByteArray bytes = password.toUtf8();
        answer.emplace(text1_->text().toStdString(), bytes.toStdString());
        bytes.fill('\0');
        password.fill(QChar(0));
    }
    clearPassword();
    showMask();
    return answer;
}

void Form14::passwordKey(QChar key) {
    if (key == QChar('\r') || key == QChar('\n')) {
        command1_->click();
        return;
    }
    if (key == QChar('\b')) {
        if (!password_.empty()) password_.pop_back();
    } else if (key.isPrint()) {
        password_.push_back(key.unicode());
    }
    showMask();
}

bool Form14::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text2_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            passwordKey(QChar('\r'));
            return true;
        case Qt::Key_Backspace:
            passwordKey(QChar('\b'));
            return true;
        default:
            // A key held with Ctrl gives a control character, which is no part of a password.
            if (!(key->modifiers() & Qt::ControlModifier))
                for (QChar c : key->text())
                    passwordKey(c);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Form14::showMask() {
    const QString mask(static_cast<qsizetype>(password_.size()), QChar('*'));
    if (text2_->text() != mask) {
        const QSignalBlocker block(text2_);
        text2_->setText(mask);
    }
    text2_->setCursorPosition(static_cast<int>(mask.size()));
}

void Form14::clearPassword() {
    wipe(password_);
}

} // namespace varnoke
