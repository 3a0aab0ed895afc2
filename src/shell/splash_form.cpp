#include "shell/splash_form.h"

#include "shell/logo_window.h"
#include "shell/main_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

namespace varnoke {

namespace {

constexpr int kWidth = 7200;
constexpr int kHeight = 4500;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  int left, int top, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setGeometry(twips(left), twips(top), twips(width), twips(height));
    return label;
}

QFont makeFont(const char* family, double points, bool bold) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace

Form1::Form1(const QRect& mainGeometry, QWidget* parent) : QDialog(parent) {
    setObjectName("Form1");
    setWindowTitle("Varnoke");
    setModal(false);
    setFixedSize(twips(kWidth), twips(kHeight));
    move(mainGeometry.x() + (mainGeometry.width() - width()) / 2 - twips(100),
         mainGeometry.y() + (mainGeometry.height() - height()) / 2 - twips(400));

    frame1_ = new QFrame(this);
    frame1_->setObjectName("Frame1");
    frame1_->setFrameShape(QFrame::Box);
    frame1_->setGeometry(twips(120), twips(60), twips(kWidth - 240), twips(kHeight - 180));
    frame1_->installEventFilter(this);

    auto* imgLogo = new QLabel(frame1_);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setPixmap(varnokeLogo(64));
    imgLogo->setGeometry(twips(240), twips(240), 64, 64);

    lblProductName_ = makeLabel(frame1_, "lblProductName", "Varnoke",
                                makeFont("Arial", productNameSize_, true), 1560, 120, 5200, 1300);
    lblProductName_->setAlignment(Qt::AlignCenter);
    makeLabel(frame1_, "Label1", "...as limitless as your thoughts.", makeFont("Arial", 9, false),
              1560, 1440, 5200, 300)
        ->setAlignment(Qt::AlignCenter);
    makeLabel(frame1_, "Label2", "Version 2.9", makeFont("Arial", 12, true), 4800, 3720, 2000, 360);
    label3_ = makeLabel(frame1_, "Label3", "Packed...", makeFont("Sans Serif", 18, false), 360,
                        2040, 2000, 560);
    label4_ = makeLabel(frame1_, "Label4", "with", makeFont("Sans Serif", 18, false), 2400, 2040,
                        1000, 560);
    label5_ = makeLabel(frame1_, "Label5", "possibilities!", makeFont("Sans Serif", 18, false),
                        3480, 2040, 3000, 560);
    makeLabel(frame1_, "lblCompanyProduct", "after this fanfare...", makeFont("Arial", 18, true),
              360, 2880, 5400, 560);
    label3_->hide();
    label4_->hide();
    label5_->hide();
}

void Form1::setProductNameSize(double points) {
    productNameSize_ = points;
    QFont f = lblProductName_->font();
    f.setPointSizeF(std::max(points, 1.0));
    lblProductName_->setFont(f);
}

void Form1::showLabel(int number) {
    QLabel* label = number == 3 ? label3_ : number == 4 ? label4_ : label5_;
    label->show();
}

void Form1::Frame1_Click() {
    closed_ = true;
    hide();
}

void Form1::keyPressEvent(QKeyEvent*) {
    if (acceptsInput_) Frame1_Click();
}

void Form1::closeEvent(QCloseEvent* event) {
    // The close box is input like any other: ignored while the splash plays.
    if (!acceptsInput_) {
        event->ignore();
        return;
    }
    closed_ = true;
    QDialog::closeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame1_ && event->type() == QEvent::MouseButtonPress) {
        if (acceptsInput_) Frame1_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace varnoke
