#pragma once
// Form2: the About box, with the shop's web address and the support mail address as
// links.
#include "platform/services.h"

#include <QDialog>
#include <QLabel>

#include <functional>

class QPushButton;

namespace varnoke {

inline constexpr const char* kShopAddress = "https://varnoke.example.org";
inline constexpr const char* kSupportAddress = "support@varnoke.example.org";

// A label that turns blue under the pointer and opens its target when clicked: pressed
// and released while the pointer stays on it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);
    std::function<void()> onClick;

    static QColor restColour() { return QColor(0x00, 0x80, 0x80); }  // teal
    static QColor hoverColour() { return QColor(0x00, 0x00, 0xFF); } // blue
    QColor colour() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setColour(const QColor& colour);
    bool pressed_ = false;
};

class Form2 : public QDialog {
    Q_OBJECT
public:
    Form2(DocumentOpener& opener, QWidget* parent = nullptr);

    LinkLabel* lblURL() const { return lblURL_; }
    LinkLabel* label6() const { return label6_; }

private:
    DocumentOpener& opener_;
    LinkLabel* lblURL_;
    LinkLabel* label6_;
};

} // namespace varnoke
