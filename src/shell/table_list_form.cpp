#include "shell/table_list_form.h"

#include "platform/qt/qt_text.h"
#include "shell/main_window.h"

#include <QLabel>
#include <QListWidget>

namespace varnoke {

Form3::Form3(QWidget* parent) : QDialog(parent) {
    setObjectName("Form3");
    setWindowTitle("Varnoke - Tables");
    setModal(false);
    setFixedSize(twips(4590), twips(4380));
    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    label1_->setGeometry(twips(120), twips(120), twips(4350), twips(300));
    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setGeometry(twips(120), twips(480), twips(4350), twips(3780));
    connect(list1_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { emit nameActivated(item ? item->text() : QString()); });
}

void Form3::setNames(const std::vector<std::string>& names) {
    list1_->clear();
    for (const std::string& name : names)
        list1_->addItem(QString::fromStdString(name));
}

void Form3::showMode(std::string_view caption, std::string_view label) {
    setWindowTitle(toQString(caption));
    label1_->setText(toQString(label));
    show();
    raise();
    activateWindow();
    list1_->setFocus();
}

std::string Form3::label() const {
    return label1_->text().toStdString();
}

} // namespace varnoke
