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
      shownRows_(static_cast<int>(table.rowCount())),
      currentRow_(table.currentRow()),
      cellFont_(arialBold(11)),
      titleFont_(arialBold(15)) {
  connect(&table, &ReadingTable::rowsAppended, this, [this](std::size_t first, std::size_t count) {
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
    shownRows_ += static_cast<int>(count);
    endInsertRows();
  });
  connect(&table, &ReadingTable::rowAboutToBeDeleted, this, [this](std::size_t row) {
    beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
  });
  connect(&table, &ReadingTable::rowDeleted, this, [this] {
    --shownRows_;
    endRemoveRows();
  });
  connect(&table, &ReadingTable::aboutToReset, this, [this] { beginResetModel(); });
  connect(&table, &ReadingTable::reset, this, [this] {
    shownRows_ = static_cast<int>(table_.rowCount());
    endResetModel();
  });
  connect(&table, &ReadingTable::currentRowChanged, this, &ReadingGridModel::showCurrentRow);
}

int ReadingGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int ReadingGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ReadingGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shownRows_) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole: {
      const RowFields row = table_.row(static_cast<std::size_t>(index.row()));
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
    return currentRow_ == static_cast<std::size_t>(section) ? kCurrentRowMark : QString();
  }
  return {};
}

Qt::ItemFlags ReadingGridModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ReadingGridModel::showCurrentRow(std::optional<std::size_t> row) {
  const std::optional<std::size_t> previous = std::exchange(currentRow_, row);
  for (const std::optional<std::size_t>& changed : {previous, row}) {
    if (changed && *changed < static_cast<std::size_t>(shownRows_)) {
      emit headerDataChanged(Qt::Vertical, static_cast<int>(*changed), static_cast<int>(*changed));
    }
  }
}

}  // namespace qm::log
