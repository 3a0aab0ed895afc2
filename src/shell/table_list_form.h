#pragma once
// Form3: the list of the user's tables, opened for "open" or for "delete".
#include "shell/shell_commands.h"

#include <QDialog>

class QLabel;
class QListWidget;

namespace varnoke {

class Form3 : public QDialog, public TableListView {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    bool visible() const override { return isVisible(); }
    void setNames(const std::vector<std::string>& names) override;
    void showMode(std::string_view caption, std::string_view label) override;
    std::string label() const override;
    void unload() override { hide(); }

    QListWidget* list() const { return list1_; }

signals:
    // A double-click on a name ("" when none is selected).
    void nameActivated(const QString& name);

private:
    QLabel* label1_;
    QListWidget* list1_;
};

} // namespace varnoke
