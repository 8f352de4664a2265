#pragma once

// Whether the reading table holds rows that a save has not put on disk: rows were logged, loaded,
// deleted or cleared since the last save, and the table is not empty. This is what the program
// must not throw away without asking.

#include "log/reading_table.h"

#include <QObject>

namespace qm::log {

class UnsavedRows : public QObject {
  Q_OBJECT
public:
  explicit UnsavedRows(const ReadingTable& table, QObject* parent = nullptr);

  bool any() const { return changed_ && !table_.isEmpty(); }
  // The table as it is now is on disk.
  void markSaved() { changed_ = false; }

private:
  const ReadingTable& table_;
  bool changed_ = false;
};

}  // namespace qm::log
