#include "log/reading_grid_model.h"

#include "core/ansi_text.h"

namespace qm::log {

namespace {

enum Column { kNo, kTime, kValue, kUnit, kFunction, kRemark, kColumnCount };

QFont arialBold(int pixelSize) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(true);
  return font;
}

// The row indicator's mark for the current row.
const QString kCurrentRowMark = QStringLiteral("\u25B6");

}  // namespace

const QStringList& ReadingGridModel::columnTitles() {
  static const QStringList titles = {QStringLiteral("No"),   QStringLiteral("Time"),     QStringLiteral("Value"),
                                     QStringLiteral("Unit"), QStringLiteral("Function"), QStringLiteral("Remark")};
  return titles;
}

ReadingGridModel::ReadingGridModel(const ReadingTable& table, TimeText timeText, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      timeText_(std::move(timeText)),
      shownRows_(rowsFrom(0)),
      currentRow_(table.currentRow()),
      cellFont_(arialBold(11)),
      titleFont_(arialBold(15)) {
  // Appended rows join the window at its end, while it has room.
  connect(&table, &ReadingTable::rowsAppended, this, [this] {
    fitRowCount(rowsFrom(first_));
    emit tableRowsChanged();
  });
  // A deleted row before the window moves the window with the rows it shows; one inside it leaves,
  // and the next row after the window, if there is one, takes the last place.
  connect(&table, &ReadingTable::rowAboutToBeDeleted, this, [this](std::size_t row) {
    deleting_ = modelRow(row);
    if (deleting_) {
      beginRemoveRows({}, *deleting_, *deleting_);
    }
  });
  connect(&table, &ReadingTable::rowDeleted, this, [this](std::size_t row) {
    if (deleting_) {
      --shownRows_;
      endRemoveRows();
      deleting_.reset();
    } else if (row < first_) {
      --first_;
    }
    fitRowCount(rowsFrom(first_));
    emit tableRowsChanged();
  });
  connect(&table, &ReadingTable::aboutToReset, this, [this] { beginResetModel(); });
  connect(&table, &ReadingTable::reset, this, [this] {
    first_ = 0;
    shownRows_ = rowsFrom(0);
    endResetModel();
    emit tableRowsChanged();
  });
  connect(&table, &ReadingTable::currentRowChanged, this, &ReadingGridModel::showCurrentRow);
}

void ReadingGridModel::setWindowRows(int rows) {
  windowRows_ = rows;
  fitRowCount(rowsFrom(first_));
}

void ReadingGridModel::setFirstRow(std::size_t first) {
  if (first == first_) {
    return;
  }
  const int rows = rowsFrom(first);
  if (rows < shownRows_) {
    fitRowCount(rows);
  }
  first_ = first;
  if (shownRows_ > 0) {
    emit dataChanged(index(0, 0), index(shownRows_ - 1, kColumnCount - 1));
    emit headerDataChanged(Qt::Vertical, 0, shownRows_ - 1);
  }
  fitRowCount(rows);
}

std::optional<int> ReadingGridModel::modelRow(std::size_t tableRow) const {
  if (tableRow < first_ || tableRow - first_ >= static_cast<std::size_t>(shownRows_)) {
    return std::nullopt;
  }
  return static_cast<int>(tableRow - first_);
}

int ReadingGridModel::rowsFrom(std::size_t first) const {
  const std::size_t rows = table_.rowCount() > first ? table_.rowCount() - first : 0;
  return static_cast<int>(windowRows_ == 0 ? rows : std::min(rows, static_cast<std::size_t>(windowRows_)));
}

void ReadingGridModel::fitRowCount(int rows) {
  if (rows > shownRows_) {
    beginInsertRows({}, shownRows_, rows - 1);
    shownRows_ = rows;
    endInsertRows();
  } else if (rows < shownRows_) {
    beginRemoveRows({}, rows, shownRows_ - 1);
    shownRows_ = rows;
    endRemoveRows();
  }
}

int ReadingGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int ReadingGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ReadingGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shownRows_) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole: {
      const RowFields row = table_.row(tableRow(index.row()));
      switch (index.column()) {
        case kNo:
          return row.No ? QVariant(QString::number(*row.No)) : QVariant();
        case kTime:
          return row.Time ? QVariant(timeText_(*row.Time)) : QVariant();
        default: {
          const std::optional<std::string_view>& text = row.texts[static_cast<std::size_t>(index.column() - kValue)];
          return text ? QVariant(fromAnsi(*text)) : QVariant();
        }
      }
    }
    case Qt::TextAlignmentRole:
      return index.column() == kRemark ? QVariant(Qt::AlignLeft | Qt::AlignVCenter) : QVariant(Qt::AlignCenter);
    case Qt::FontRole:
      return cellFont_;
    default:
      return {};
  }
}

QVariant ReadingGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= kColumnCount) {
      return {};
    }
    switch (role) {
      case Qt::DisplayRole:
        return columnTitles()[section];
      case Qt::FontRole:
        return titleFont_;
      case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignCenter);
      default:
        return {};
    }
  }
  if (role == Qt::DisplayRole) {
    return section >= 0 && currentRow_ == tableRow(section) ? kCurrentRowMark : QString();
  }
  return {};
}

Qt::ItemFlags ReadingGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ReadingGridModel::showCurrentRow(std::optional<std::size_t> row) {
  const std::optional<std::size_t> previous = std::exchange(currentRow_, row);
  for (const std::optional<std::size_t>& changed : {previous, row}) {
    if (const std::optional<int> shown = changed ? modelRow(*changed) : std::nullopt) {
      emit headerDataChanged(Qt::Vertical, *shown, *shown);
    }
  }
}

}  // namespace qm::log
