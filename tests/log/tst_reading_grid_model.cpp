// What DBGrid1 shows of the reading table: titles, cells, alignment, fonts, the row indicator,
// and a model that stays consistent while rows are appended, deleted and replaced.

#include "log/reading_grid_model.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QTest>

using qm::log::ReadingGridModel;
using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;

namespace {

RowFields reading(int no) {
  RowFields row;
  row.No = no;
  row.Time = 3723000;  // 01:02:03
  row.text(TextField::Value) = "12.5";
  row.text(TextField::Unit) = "G\xA6\xB8";
  row.text(TextField::V_Range) = "IR:500V 20G\xA6\xB8";
  row.text(TextField::I_Range) = "Continuous";
  return row;
}

QString hms(qm::log::TimeOfDay time) {
  return QTime::fromMSecsSinceStartOfDay(time).toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace

class TestReadingGridModel : public QObject {
  Q_OBJECT
private slots:
  void showsTheRows() {
    ReadingTable table;
    ReadingGridModel model(table, hms);
    table.appendAdded(reading(7));
    table.appendAdded(RowFields{});

    QCOMPARE(model.columnCount(), 6);
    QStringList titles;
    for (int column = 0; column < 6; ++column) {
      titles << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QCOMPARE(titles, QStringList({"No", "Time", "Value", "Unit", "Function", "Remark"}));

    QStringList cells;
    for (int column = 0; column < 6; ++column) {
      cells << model.index(0, column).data().toString();
    }
    QCOMPARE(cells, QStringList({"7", "01:02:03", "12.5", "G\u03A9", "IR:500V 20G\u03A9", "Continuous"}));
    for (int column = 0; column < 6; ++column) {
      QVERIFY(!model.index(1, column).data().isValid());  // null fields stay blank
      QVERIFY(!(model.flags(model.index(0, column)) & Qt::ItemIsEditable));
    }

    QCOMPARE(model.index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QCOMPARE(model.index(0, 5).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    const QFont cell = model.index(0, 0).data(Qt::FontRole).value<QFont>();
    const QFont title = model.headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>();
    QCOMPARE(cell.pixelSize(), 11);
    QCOMPARE(title.pixelSize(), 15);
    QVERIFY(cell.bold() && title.bold());
    // The row indicator marks the current row, the newest one.
    QVERIFY(model.headerData(0, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
    QVERIFY(!model.headerData(1, Qt::Vertical, Qt::DisplayRole).toString().isEmpty());
  }

  void staysConsistentThroughChanges() {
    ReadingTable table;
    ReadingGridModel model(table, hms);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    for (int no = 1; no <= 5; ++no) {
      table.appendAdded(reading(no));
    }
    table.deleteRow(4);
    table.deleteRow(0);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0, 0).data().toString(), QString("2"));

    ReadingTable loaded;
    loaded.appendAdded(reading(40));
    loaded.appendAdded(reading(41));
    table.appendAddedRows(loaded);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(4, 0).data().toString(), QString("41"));

    ReadingTable packet;
    packet.appendStored(reading(9), std::nullopt);
    table.replaceWith(std::move(packet));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QString("9"));

    table.clear();
    QCOMPARE(model.rowCount(), 0);
  }
};

QTEST_MAIN(TestReadingGridModel)
#include "tst_reading_grid_model.moc"
