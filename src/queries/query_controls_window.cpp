#include "queries/query_controls_window.h"

#include "shell/main_window.h"

#include <QApplication>
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
    QObject::connect(list, &QListWidget::currentRowChanged, owner, [&mirroring, select](int row) {
        if (!mirroring && row >= 0) select(row);
    });
    // A click on the entry already selected changes no row, yet it too brings back the
    // stored text over any edit.
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
