#pragma once
// Form1: the start-up splash.
#include "shell/splash.h"

#include <QDialog>

class QFrame;
class QLabel;

namespace varnoke {

class Form1 : public QDialog, public SplashView {
    Q_OBJECT
public:
    // Placed over the main window, whose frame is mainGeometry.
    explicit Form1(const QRect& mainGeometry, QWidget* parent = nullptr);

    double productNameSize() const override { return productNameSize_; }
    void setProductNameSize(double points) override;
    void showLabel(int number) override;
    bool closed() const override { return closed_; }
    void ignoreInput() override { acceptsInput_ = false; }
    void unload() override { Frame1_Click(); }

    // Unloads the splash.
    void Frame1_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFrame* frame1_;
    QLabel* lblProductName_;
    QLabel* label3_;
    QLabel* label4_;
    QLabel* label5_;
    double productNameSize_ = 2.4;
    bool closed_ = false;
    bool acceptsInput_ = true;
};

} // namespace varnoke
