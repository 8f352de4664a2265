// DBGrid1 over a long table: the view holds a screenful of rows whatever the table's length, and
// still scrolls, moves its cursor and answers clicks over the whole table as a grid does.

#include "log/reading_grid_view.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using qm::log::ReadingGridModel;
using qm::log::ReadingGridView;
using qm::log::ReadingTable;
using qm::log::RowFields;

namespace {

constexpr int kRows = 1000;

RowFields reading(int no) {
  RowFields row;
  row.No = no;
  row.Time = no * 1000;
  return row;
}

// A grid as the window has it (617 x 177, its columns' widths) over a table of rows numbered 1, 2,
// 3, ... Shown and laid out: whole rows fill the viewport, the last one partly shown.
struct Grid {
  explicit Grid(int rows) {
    ReadingTable loaded;
    for (int no = 1; no <= rows; ++no) {
      loaded.appendAdded(reading(no));
    }
    table.appendAddedRows(loaded);
    view.setGridModel(&model);
    constexpr int kWidths[] = {54, 92, 72, 90, 109, 158};
    for (int column = 0; column < 6; ++column) {
      view.setColumnWidth(column, kWidths[column]);
    }
    view.resize(617, 177);
    view.show();
    QObject::connect(&table, &ReadingTable::currentRowChanged, &view,
                     [this](std::optional<std::size_t> row) { view.showTableRow(*row); });
    QObject::connect(&view, &ReadingGridView::cursorRowChanged, &table, &ReadingTable::setCurrentRow);
  }

  // Shown, and laid out as it stays: its scroll bars settle after the first events.
  bool shown() {
    const bool exposed = QTest::qWaitForWindowExposed(&view);
    QCoreApplication::processEvents();
    return exposed;
  }

  int wholeRows() const { return view.viewport()->height() / view.verticalHeader()->defaultSectionSize(); }
  // The number shown in the first column of the row at the top of the viewport, the rows the
  // view holds, and the grid's cursor as a record number (0: none shown).
  int topNumber() const { return model.index(view.rowAt(0), 0).data().toInt(); }
  int cursorNumber() const {
    const QModelIndex current = view.currentIndex();
    return current.isValid() ? model.index(current.row(), 0).data().toInt() : 0;
  }

  ReadingTable table;
  ReadingGridModel model{table, [](qm::log::TimeOfDay time) { return QString::number(time); }};
  ReadingGridView view;
};

}  // namespace

class TestReadingGridView : public QObject {
  Q_OBJECT
private slots:
  // Whatever the table's length, the view's own rows are a screenful: its header keeps no
  // bookkeeping per table row. The scroll bar still covers the table, a row per step.
  void holdsAScreenfulOfRows() {
    Grid grid(100'000);
    QVERIFY(grid.shown());
    const int whole = grid.wholeRows();
    QVERIFY(whole >= 5);
    QCOMPARE(grid.view.verticalHeader()->count(), whole + 1);
    QCOMPARE(grid.view.verticalScrollBar()->maximum(), 100'000 - whole);
    QCOMPARE(grid.view.verticalScrollBar()->pageStep(), whole);
    grid.view.verticalScrollBar()->setValue(54'321);
    QCOMPARE(grid.topNumber(), 54'322);
  }

  // Following the newest row leaves it flush with the bottom edge, as a grid at its end does.
  void followsTheNewestRow() {
    Grid grid(kRows);
    QVERIFY(grid.shown());
    grid.table.appendAdded(reading(kRows + 1));
    QCOMPARE(grid.cursorNumber(), kRows + 1);
    QCOMPARE(grid.view.verticalScrollBar()->value(), grid.view.verticalScrollBar()->maximum());
    const QRect last = grid.view.visualRect(grid.view.currentIndex());
    QVERIFY2(qAbs(last.bottom() - grid.view.viewport()->height()) <= 2, qPrintable(QString::number(last.bottom())));
    QCOMPARE(grid.model.headerData(grid.view.currentIndex().row(), Qt::Vertical, Qt::DisplayRole).toString(),
             QString("\u25B6"));
  }

  void keysMoveOverTheWholeTable_data() {
    QTest::addColumn<int>("start");  // record number the cursor starts on
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("cursor");  // record number after the key; -1: the page size below
    QTest::addColumn<int>("pagesMoved");

    QTest::newRow("Ctrl+Home") << 500 << int(Qt::Key_Home) << int(Qt::ControlModifier) << 1 << 0;
    QTest::newRow("Ctrl+End") << 1 << int(Qt::Key_End) << int(Qt::ControlModifier) << kRows << 0;
    QTest::newRow("Up on the first row") << 1 << int(Qt::Key_Up) << 0 << 1 << 0;
    QTest::newRow("Down on the last row") << kRows << int(Qt::Key_Down) << 0 << kRows << 0;
    QTest::newRow("Page Down") << 500 << int(Qt::Key_PageDown) << 0 << 500 << 1;
    QTest::newRow("Page Up") << 500 << int(Qt::Key_PageUp) << 0 << 500 << -1;
    QTest::newRow("Page Up near the start") << 2 << int(Qt::Key_PageUp) << 0 << 1 << 0;
  }

  void keysMoveOverTheWholeTable() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, cursor);
    QFETCH(int, pagesMoved);
    Grid grid(kRows);
    QVERIFY(grid.shown());
    grid.table.setCurrentRow(static_cast<std::size_t>(start - 1));
    QTest::keyClick(&grid.view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    const int expected = cursor + pagesMoved * grid.wholeRows();
    QCOMPARE(grid.cursorNumber(), expected);
    QCOMPARE(grid.table.currentRow(), std::optional<std::size_t>(expected - 1));
  }

  // Walking down row by row scrolls one row at a time once the cursor reaches the bottom.
  void downScrollsRowByRow() {
    Grid grid(kRows);
    QVERIFY(grid.shown());
    grid.table.setCurrentRow(0);
    const int whole = grid.wholeRows();

    for (int step = 1; step < whole + 3; ++step) {
      QTest::keyClick(&grid.view, Qt::Key_Down);
      QCOMPARE(grid.cursorNumber(), step + 1);
      QCOMPARE(grid.topNumber(), std::max(1, step + 2 - whole));
    }
  }

  // The cursor keeps its table row while the user scrolls it away and back, and a click puts it
  // on the row clicked, wherever the window is.
  void cursorKeepsItsRowWhileScrolling() {
    Grid grid(kRows);
    QVERIFY(grid.shown());
    grid.table.setCurrentRow(9);
    QScrollBar* bar = grid.view.verticalScrollBar();
    bar->setValue(600);
    QCOMPARE(grid.cursorNumber(), 0);
    QCOMPARE(grid.table.currentRow(), std::optional<std::size_t>(9));
    bar->setValue(5);
    QCOMPARE(grid.cursorNumber(), 10);

    bar->setValue(700);
    const int rowHeight = grid.view.verticalHeader()->defaultSectionSize();
    QTest::mouseClick(grid.view.viewport(), Qt::LeftButton, {}, QPoint(20, 2 * rowHeight + rowHeight / 2));
    QCOMPARE(grid.table.currentRow(), std::optional<std::size_t>(702));
    QCOMPARE(grid.cursorNumber(), 703);
    QCOMPARE(bar->value(), 700);
  }

  // Rows deleted before, inside and after the window, a shrinking table and a reset, all while
  // Qt's model checker watches the window.
  void windowStaysConsistent() {
    Grid grid(kRows);
    QAbstractItemModelTester tester(&grid.model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(grid.shown());
    // The window is left where the scroll bar put it, not moved to the table's cursor.
    QObject::disconnect(&grid.table, &ReadingTable::currentRowChanged, &grid.view, nullptr);
    grid.view.verticalScrollBar()->setValue(100);
    const int shownRows = grid.model.rowCount();
    grid.table.deleteRow(3);  // before: the same rows stay in view
    QCOMPARE(grid.topNumber(), 101);
    QCOMPARE(grid.view.verticalScrollBar()->value(), 99);
    grid.table.deleteRow(101);  // inside: the rows after it move up, one more joins at the end
    QCOMPARE(grid.model.rowCount(), shownRows);
    QCOMPARE(grid.model.index(1, 0).data().toInt(), 102);
    QCOMPARE(grid.model.index(2, 0).data().toInt(), 104);
    QCOMPARE(grid.model.index(shownRows - 1, 0).data().toInt(), 101 + shownRows);
    grid.table.deleteRow(900);  // after: nothing in view changes
    QCOMPARE(grid.topNumber(), 101);
    while (grid.table.rowCount() > 3) {
      grid.table.deleteRow(grid.table.rowCount() - 1);
    }
    QCOMPARE(grid.model.rowCount(), 3);
    QCOMPARE(grid.view.verticalScrollBar()->maximum(), 0);
    grid.table.clear();
    QCOMPARE(grid.model.rowCount(), 0);
  }
};

QTEST_MAIN(TestReadingGridView)
#include "tst_reading_grid_view.moc"
