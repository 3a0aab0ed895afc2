#include "viewers/grid_model_window.h"

#include "value/convert.h"
#include "viewers/grid_viewer.h"

#include <QMetaObject>
#include <algorithm>

namespace varnoke {

namespace {

QString cellText(const Value& v) {
    return QString::fromStdString(textOrBlank(v));
}

// A cleared cell holds no data, rather than an empty text, so numbers and dates can
// be blanked too.
Value typedValue(const QVariant& v) {
    const QString text = v.toString();
    if (text.isEmpty()) return Value::null();
    return Value::text(text.toStdString());
}

} // namespace

GridTableModel::GridTableModel(GridViewer& viewer, QObject* parent)
    : QAbstractTableModel(parent), viewer_(viewer) {}

int GridTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return rows_ + (newRowLine_ ? 1 : 0);
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    if (auto pending = viewer_.pendingValue(index.row(), index.column())) return cellText(*pending);
    if (isNewRowLine(index.row())) return QString();
    const CachedRow* row = viewer_.source().row(index.row());
    if (!row) {
        want(index.row());
        return QString();
    }
    const auto column = static_cast<std::size_t>(index.column());
    return column < row->values.size() ? cellText(row->values[column]) : QVariant();
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        const auto& columns = viewer_.source().columns();
        if (section < 0 || section >= static_cast<int>(columns.size())) return {};
        return QString::fromStdString(columns[static_cast<std::size_t>(section)].name);
    }
    return isNewRowLine(section) ? QStringLiteral("*") : QString::number(section + 1);
}

Qt::ItemFlags GridTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (viewer_.canEdit()) f |= Qt::ItemIsEditable;
    return f;
}

bool GridTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !viewer_.canEdit()) return false;
    if (data(index, Qt::EditRole) == value) return false;
    viewer_.editCell(index.row(), index.column(), typedValue(value));
    return viewer_.pendingValue(index.row(), index.column()).has_value();
}

void GridTableModel::ensureLoaded(long first, long last) {
    last = std::min<long>(last, rows_ - 1);
    if (first > last) return;
    const auto range = viewer_.source().missing(first, last);
    if (!range) return;
    if (!viewer_.fetch(range->first, range->last)) return;
    emit dataChanged(index(static_cast<int>(range->first), 0),
                     index(static_cast<int>(range->last), std::max(0, columns_ - 1)));
}

void GridTableModel::want(long row) const {
    wantFirst_ = wantFirst_ < 0 ? row : std::min(wantFirst_, row);
    wantLast_ = std::max(wantLast_, row);
    if (fetchQueued_) return;
    fetchQueued_ = true;
    const quint64 generation = generation_;
    auto* self = const_cast<GridTableModel*>(this);
    QMetaObject::invokeMethod(
        self,
        [self, generation] {
            if (generation == self->generation_) self->fetchWanted();
        },
        Qt::QueuedConnection);
}

void GridTableModel::fetchWanted() {
    const long first = wantFirst_;
    const long last = wantLast_;
    wantFirst_ = wantLast_ = -1;
    fetchQueued_ = false;
    if (first >= 0) ensureLoaded(first, last);
}

void GridTableModel::resetRows() {
    beginResetModel();
    ++generation_;
    wantFirst_ = wantLast_ = -1;
    fetchQueued_ = false;
    rows_ = static_cast<int>(viewer_.source().rowCount());
    columns_ = viewer_.source().columnCount();
    newRowLine_ = viewer_.offersNewRow();
    endResetModel();
}

void GridTableModel::sourceRowsChanged(long first, long last) {
    last = std::min<long>(last, rowCount() - 1);
    if (first > last || columns_ == 0) return;
    emit dataChanged(index(static_cast<int>(first), 0),
                     index(static_cast<int>(last), columns_ - 1));
}

void GridTableModel::sourceRowsInserted(long first, long last) {
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
    rows_ = static_cast<int>(viewer_.source().rowCount());
    endInsertRows();
}

void GridTableModel::sourceRowsRemoved(long first, long last) {
    beginRemoveRows({}, static_cast<int>(first), static_cast<int>(last));
    rows_ = static_cast<int>(viewer_.source().rowCount());
    endRemoveRows();
}

} // namespace varnoke
