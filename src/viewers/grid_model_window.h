#pragma once
// The grid's item model: a thin adapter that reads cells from the viewer's row cache.
// data() never touches the database; a cell whose row is not held yet shows blank and
// queues one fetch for the rows asked for, which runs once painting is done.
#include <QAbstractTableModel>

namespace varnoke {

class GridViewer;

class GridTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridTableModel(GridViewer& viewer, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Whether row is the line for a new row below the last.
    bool isNewRowLine(int row) const { return newRowLine_ && row == rows_; }
    // Reads the rows first..last now when they are not held (the range on screen).
    void ensureLoaded(long first, long last);

    // The viewer's row set changed; these keep the model's own count in step.
    void resetRows();
    void sourceRowsChanged(long first, long last);
    void sourceRowsInserted(long first, long last);
    void sourceRowsRemoved(long first, long last);

private:
    void want(long row) const;
    void fetchWanted();

    GridViewer& viewer_;
    int rows_ = 0;
    int columns_ = 0;
    bool newRowLine_ = false;
    // Rows asked for by painting since the last fetch, and whether a fetch is queued.
    mutable long wantFirst_ = -1;
    mutable long wantLast_ = -1;
    mutable bool fetchQueued_ = false;
    // Bumped on every reset, so a fetch queued for an older row set is dropped.
    quint64 generation_ = 0;
};

} // namespace varnoke
