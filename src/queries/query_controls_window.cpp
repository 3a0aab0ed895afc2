#include "queries/query_controls_window.h"

#include "shell/main_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace varnoke {

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

QPushButton* queryButton(QWidget* parent, const char* name, const char* caption, int left,
                         int top) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(name);
    placeTwips(b, left, top, 1443, 370);
    b->setEnabled(false);
    return b;
}

QLabel* queryLabel(QWidget* parent, const char* text, int left, int top, int width, int height) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName("lblSQL");
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(l, left, top, width, height);
    return l;
}

void showQueryList(QListWidget* list, const std::vector<std::string>& entries, int index) {
    QStringList names;
    for (const std::string& name : entries)
        names << QString::fromStdString(name);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    if (names != shown) {
        list->clear();
        list->addItems(names);
    }
    list->setCurrentRow(index);
}

void wireQueryList(QListWidget* list, QObject* owner, const bool& mirroring,
                   std::function<void(int)> select, std::function<void()> execute) {
    // A selection by the keyboard or by the program. The list making its first entry
    // current when it takes the focus selects nothing, and a mouse press is left to the
    // click that follows it.
    QObject::connect(list, &QListWidget::currentRowChanged, owner,
                     [list, &mirroring, select](int row) {
                         if (mirroring || row < 0 || !list->item(row)->isSelected() ||
                             (QGuiApplication::mouseButtons() & Qt::LeftButton))
                             return;
                         select(row);
                     });
    // Every click selects, also on the entry already selected: the stored text comes
    // back over any edit.
    QObject::connect(list, &QListWidget::itemClicked, owner,
                     [list, &mirroring, select](QListWidgetItem* item) {
                         if (!mirroring) select(list->row(item));
                     });
    QObject::connect(list, &QListWidget::itemDoubleClicked, owner, [execute] { execute(); });
}

void setBusyPointer(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace varnoke
