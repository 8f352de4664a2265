// The reading table's storage: shown and stored rows, deletion, the change log, the packet-load
// swap, and texts cut to their field width.

#include "log/reading_table.h"

#include <QSignalSpy>
#include <QTest>

#include <string>
#include <vector>

using qm::log::ChangeLogEntry;
using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;

Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(std::vector<ChangeLogEntry>)

namespace {

RowFields rowNumbered(int no, std::string_view value = "1.23") {
  RowFields row;
  row.No = no;
  row.Time = 1000 * no;
  row.text(TextField::Value) = value;
  row.text(TextField::Unit) = "M\xA6\xB8";
  return row;
}

std::vector<int> shownNumbers(const ReadingTable& table) {
  std::vector<int> numbers;
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    numbers.push_back(*table.row(i).No);
  }
  return numbers;
}

}  // namespace

class TestReadingTable : public QObject {
  Q_OBJECT
private slots:
  void deletingRows_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<std::vector<int>>("deleteAtShownIndex");
    QTest::addColumn<std::vector<int>>("shown");
    QTest::addColumn<std::vector<ChangeLogEntry>>("changeLog");

    QTest::newRow("nothing deleted") << 3 << std::vector<int>{} << std::vector<int>{1, 2, 3}
                                     << std::vector<ChangeLogEntry>{{1, 0, 4}, {2, 0, 4}, {3, 0, 4}};
    QTest::newRow("first row") << 3 << std::vector<int>{0} << std::vector<int>{2, 3}
                               << std::vector<ChangeLogEntry>{{1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {1, 0, 2}};
    QTest::newRow("first twice: rows 1 and 2") << 4 << std::vector<int>{0, 0} << std::vector<int>{3, 4}
                                               << std::vector<ChangeLogEntry>{
                                                      {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {1, 0, 2}, {2, 0, 2}};
    QTest::newRow("later row, then an earlier one") << 5 << std::vector<int>{3, 1} << std::vector<int>{1, 3, 5}
                                                    << std::vector<ChangeLogEntry>{{1, 0, 4},
                                                                                   {2, 0, 4},
                                                                                   {3, 0, 4},
                                                                                   {4, 0, 4},
                                                                                   {5, 0, 4},
                                                                                   {4, 0, 2},
                                                                                   {2, 0, 2}};
    QTest::newRow("the last row") << 2 << std::vector<int>{1} << std::vector<int>{1}
                                  << std::vector<ChangeLogEntry>{{1, 0, 4}, {2, 0, 4}, {2, 0, 2}};
    QTest::newRow("out of range: nothing") << 2 << std::vector<int>{2} << std::vector<int>{1, 2}
                                           << std::vector<ChangeLogEntry>{{1, 0, 4}, {2, 0, 4}};
  }
  void deletingRows() {
    QFETCH(int, rows);
    QFETCH(std::vector<int>, deleteAtShownIndex);
    QFETCH(std::vector<int>, shown);
    QFETCH(std::vector<ChangeLogEntry>, changeLog);

    ReadingTable table;
    for (int no = 1; no <= rows; ++no) {
      table.appendAdded(rowNumbered(no));
    }
    for (const int index : deleteAtShownIndex) {
      table.deleteRow(static_cast<std::size_t>(index));
    }
    QCOMPARE(shownNumbers(table), shown);
    QCOMPARE(table.changeLog(), changeLog);
    // Deleted rows stay stored with their fields, marked added and deleted.
    QCOMPARE(table.storedRowCount(), std::size_t(rows));
    for (std::size_t i = 0; i < table.storedRowCount(); ++i) {
      const qm::log::StoredRow row = table.storedRow(i);
      QCOMPARE(*row.fields.No, int(i) + 1);
      const bool deleted = std::find(shown.begin(), shown.end(), int(i) + 1) == shown.end();
      QCOMPARE(*row.state, deleted ? 6 : 4);
    }
  }

  void fieldsReadBackAcrossChunks() {
    ReadingTable table;
    // More than one storage chunk, and more than the sixteen chunks that share a block of memory.
    constexpr int kRows = 1'060'000;
    for (int no = 1; no <= kRows; ++no) {
      table.appendAdded(rowNumbered(no, std::to_string(no % 997)));
    }
    RowFields sparse;  // every field null but one; an empty text is not a null text
    sparse.text(TextField::I_Range) = "";
    table.appendAdded(sparse);

    QCOMPARE(table.rowCount(), std::size_t(kRows + 1));
    for (const int no : {1, 65'536, 65'537, 1'048'576, 1'048'577, kRows}) {
      const RowFields row = table.row(std::size_t(no - 1));
      QCOMPARE(*row.No, no);
      QCOMPARE(*row.Time, 1000 * no);
      QCOMPARE(*row.text(TextField::Value), std::to_string(no % 997));
      QCOMPARE(*row.text(TextField::Unit), std::string_view("M\xA6\xB8"));
      QVERIFY(!row.text(TextField::V_Range));
    }
    const RowFields last = table.row(kRows);
    QVERIFY(!last.No && !last.Time && !last.text(TextField::Value));
    QCOMPARE(*last.text(TextField::I_Range), std::string_view());
    QCOMPARE(table.currentRow(), std::optional<std::size_t>(kRows));
    // The plain adds are kept as one run, yet read out entry by entry.
    QCOMPARE(table.changeLog().size(), std::size_t(kRows + 1));
    QCOMPARE(table.changeLog().back(), (ChangeLogEntry{kRows + 1, 0, 4}));
  }

  void textsAreCutToTwentyBytes_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("twenty bytes stay") << QByteArray("12345678901234567890") << QByteArray("12345678901234567890");
    QTest::newRow("twenty-one are cut") << QByteArray("123456789012345678901") << QByteArray("12345678901234567890");
    QTest::newRow("ohm sign counts twice") << QByteArray("IR:5000V 1000G\xA6\xB8") << QByteArray("IR:5000V 1000G\xA6\xB8");
    // Cutting between A6 and B8 would leave half a character that no reader can show.
    QTest::newRow("no half ohm sign") << QByteArray("1234567890123456789\xA6\xB8") << QByteArray("1234567890123456789");
    QTest::newRow("ohm sign ending at byte 20") << QByteArray("123456789012345678\xA6\xB8xyz")
                                               << QByteArray("123456789012345678\xA6\xB8");
  }
  void textsAreCutToTwentyBytes() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, stored);
    ReadingTable table;
    RowFields row;
    row.text(TextField::V_Range) = std::string_view(text.constData(), std::size_t(text.size()));
    table.appendAdded(row);
    QCOMPARE(QByteArray(table.row(0).text(TextField::V_Range)->data(), qsizetype(table.row(0).text(TextField::V_Range)->size())),
             stored);
  }

  // A load's writers compare texts as a few words of their bytes: texts that share their first
  // and last bytes, or differ only in their size or in the bytes the words overlap on, stay apart.
  void writersTellLookalikeTextsApart() {
    const std::vector<std::string> texts{"",
                                         "a",
                                         "ab",
                                         "abb",
                                         "aab",
                                         std::string("a\0b", 3),
                                         std::string("a\0\0b", 4),
                                         "aaaa",
                                         "aaaaa",
                                         "aXaaa",
                                         "aaXaa",
                                         "aaXaaaa",
                                         "aaaXaaa",
                                         "aaaaaaa",
                                         "aaaaaaaa",
                                         "aaaaaaaaa",
                                         std::string(16, 'a'),
                                         std::string(17, 'a'),
                                         std::string(20, 'a'),
                                         "aaaaaaaaXaaaaaaaaa",
                                         "aaaaaaaaaXaaaaaaaaaa",
                                         "aaaaaaaaaaaXaaaaaaaa",
                                         "12345678901234567890",
                                         "12345678X01234567890"};
    ReadingTable table;
    // Every text twice, the second round in reverse, so that the second meeting finds the first.
    std::vector<std::string> written(texts);
    written.insert(written.end(), texts.rbegin(), texts.rend());
    const std::size_t first = table.reserveRows(written.size());
    {
      ReadingTable::RowWriter writer(table);
      for (std::size_t i = 0; i < written.size(); ++i) {
        RowFields row;
        row.text(TextField::Value) = written[i];
        writer.write(first + i, row, std::nullopt);
      }
    }
    table.commitReservedRows(written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      QCOMPARE(*table.row(i).text(TextField::Value), std::string_view(written[i]));
    }
    QCOMPARE(table.textIdCount(), texts.size());
  }

  void replaceWithTakesRowsStatesAndChangeLog() {
    ReadingTable table;
    table.appendAdded(rowNumbered(1));
    table.appendAdded(rowNumbered(2));

    ReadingTable packet;
    packet.appendStored(rowNumbered(7), std::nullopt);
    packet.appendStored(rowNumbered(8), 6);
    packet.appendStored(rowNumbered(9), 4);
    packet.appendChangeLogEntry({3, 0, 4});
    packet.appendChangeLogEntry({2, 0, 2});

    QSignalSpy aboutToReset(&table, &ReadingTable::aboutToReset);
    QSignalSpy reset(&table, &ReadingTable::reset);
    table.replaceWith(std::move(packet));

    QCOMPARE(aboutToReset.count(), 1);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(shownNumbers(table), (std::vector<int>{7, 9}));
    QCOMPARE(table.storedRowCount(), std::size_t(3));
    QVERIFY(!table.storedRow(0).state);
    QCOMPARE(table.changeLog(), (std::vector<ChangeLogEntry>{{3, 0, 4}, {2, 0, 2}}));
    QCOMPARE(table.currentRow(), std::optional<std::size_t>(0));
    QCOMPARE(packet.storedRowCount(), std::size_t(0));

    // A row added now is the fourth to enter the table.
    table.appendAdded(rowNumbered(10));
    QCOMPARE(table.changeLog().back(), (ChangeLogEntry{4, 0, 4}));
  }

  void clearStartsAfresh() {
    ReadingTable table;
    table.appendAdded(rowNumbered(1));
    table.deleteRow(0);
    table.appendAdded(rowNumbered(2));
    table.clear();
    QCOMPARE(table.storedRowCount(), std::size_t(0));
    QVERIFY(!table.hasChangeLog());
    QVERIFY(!table.currentRow());
    table.appendAdded(rowNumbered(1));
    QCOMPARE(table.changeLog(), (std::vector<ChangeLogEntry>{{1, 0, 4}}));
  }

  void notifications() {
    ReadingTable table;
    QSignalSpy appended(&table, &ReadingTable::rowsAppended);
    QSignalSpy deleted(&table, &ReadingTable::rowDeleted);
    table.appendAdded(rowNumbered(1));
    ReadingTable loaded;
    for (int no = 2; no <= 4; ++no) {
      loaded.appendAdded(rowNumbered(no));
    }
    table.appendAddedRows(loaded);
    table.deleteRow(1);

    QCOMPARE(appended.count(), 2);
    QCOMPARE(appended.at(1).at(0).value<std::size_t>(), std::size_t(1));
    QCOMPARE(appended.at(1).at(1).value<std::size_t>(), std::size_t(3));
    QCOMPARE(deleted.count(), 1);
    QCOMPARE(shownNumbers(table), (std::vector<int>{1, 3, 4}));
    QCOMPARE(table.currentRow(), std::optional<std::size_t>(1));  // the cursor stays in place
  }
};

QTEST_GUILESS_MAIN(TestReadingTable)
#include "tst_reading_table.moc"
