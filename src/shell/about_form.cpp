#include "shell/about_form.h"

#include "platform/qt/window_faces.h"
#include "shell/logo_window.h"
#include "shell/main_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

namespace varnoke {

namespace {

constexpr int kWidth = 5760;
constexpr int kHeight = 3840;

QLabel* label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height, int pixels = 11, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = smallFace(pixels);
    f.setBold(bold);
    l->setFont(f);
    l->setGeometry(twips(left), twips(top), twips(width), twips(height));
    return l;
}

} // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setColour(restColour());
}

QColor LinkLabel::colour() const {
    return palette().color(QPalette::WindowText);
}

void LinkLabel::setColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
}

void LinkLabel::enterEvent(QEnterEvent*) {
    setColour(hoverColour());
}

void LinkLabel::leaveEvent(QEvent*) {
    setColour(restColour());
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    setColour(hoverColour());
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (!click) {
        setColour(restColour());
        return;
    }
    if (onClick) onClick();
}

Form2::Form2(DocumentOpener& opener, QWidget* parent) : QDialog(parent), opener_(opener) {
    setObjectName("Form2");
    setWindowTitle("About Varnoke");
    setModal(false);
    setFixedSize(twips(kWidth), twips(kHeight));

    auto* picture1 = new QLabel(this);
    picture1->setObjectName("Picture1");
    picture1->setPixmap(varnokeLogo(48));
    picture1->setGeometry(twips(240), twips(240), 48, 48);
    label(this, "Label1", "Varnoke", 1200, 240, 2400, 480, 19, true);
    label(this, "Label4", "2.9", 3720, 300, 1000, 360, 13, true);
    label(this, "Label5", "As limitless as your thoughts.", 1200, 780, 4300, 300);
    label(this, "Label2",
          "Varnoke compares and changes the records of data files.\n"
          "Copyright (c) the Varnoke developers.",
          1200, 1200, 4400, 720);
    label(this, "Label3", "Contact/support: ", 1200, 2040, 1500, 300);

    lblURL_ = new LinkLabel(kShopAddress, this);
    lblURL_->setFont(smallFace(11));
    lblURL_->setObjectName("lblURL");
    lblURL_->setGeometry(twips(2700), twips(2040), twips(2900), twips(300));
    lblURL_->onClick = [this] { opener_.openDocument(lblURL_->text().toStdString()); };
    label6_ = new LinkLabel(kSupportAddress, this);
    label6_->setFont(smallFace(11));
    label6_->setObjectName("Label6");
    label6_->setGeometry(twips(2700), twips(2400), twips(2900), twips(300));
    label6_->onClick = [this] { opener_.openDocument("Mailto:" + label6_->text().toStdString()); };

    auto* command1 = new QPushButton("O&K", this);
    command1->setObjectName("Command1");
    command1->setDefault(true);
    command1->setGeometry(twips(kWidth - 1455), twips(kHeight - 615), twips(1215), twips(375));
    // Only hides: the next showing reuses the box.
    connect(command1, &QPushButton::clicked, this, &QWidget::hide);

    if (parent) {
        const QRect main = parent->geometry();
        move(main.x() + (main.width() - width()) / 2, main.y() + (main.height() - height()) / 2);
    }
}

} // namespace varnoke
