#include "app/column_titles_model.h"

namespace qm::app {

ColumnTitlesModel::ColumnTitlesModel(QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(std::move(titles)) {}

int ColumnTitlesModel::rowCount(const QModelIndex&) const { return 0; }

int ColumnTitlesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ColumnTitlesModel::data(const QModelIndex&, int) const { return {}; }

QVariant ColumnTitlesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < titles_.size()) {
    return titles_.at(section);
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace qm::app
