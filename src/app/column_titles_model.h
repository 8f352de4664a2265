#pragma once

// A table model with column titles and no rows: what a grid shows while no table is bound to it.

#include <QAbstractTableModel>
#include <QStringList>

namespace qm::app {

class ColumnTitlesModel : public QAbstractTableModel {
  Q_OBJECT
public:
  ColumnTitlesModel(QStringList titles, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
  QStringList titles_;
};

}  // namespace qm::app
