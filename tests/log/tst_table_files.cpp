// The two table file formats on disk: bytes written (against golden files), what loading accepts
// and refuses, what a failed save or load leaves behind, and the time-of-day format they share.

#include "log/golden_files.h"
#include "log/piece_sharing.h"
#include "log/row_fixtures.h"
#include "log/table_files.h"
#include "log/text_table_file.h"
#include "log/whole_number.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <random>
#include <string>

using qm::log::ChangeLogEntry;
using qm::log::loadTableFromFile;
using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::saveTableToFile;
using qm::log::TableFileFormat;
using qm::log::TableFileOutcome;
using qm::log::TextField;
using qm::log::TimeOfDay;
using qm::log::TimeOfDayFormat;

namespace {

// Whether the table files' reader takes `text` as the number std::from_chars reads from the
// whole of it, and refuses it where from_chars does.
template <typename Number>
bool readAsFromChars(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  const bool whole = !text.empty() && error == std::errc() && end == text.data() + text.size();
  return qm::log::decimalNumber<Number>(text) == (whole ? std::optional<Number>(value) : std::nullopt);
}

using row_fixtures::at;
using row_fixtures::rowOf;

// The table of the golden files: the ohm sign, texts to trim and to escape, a TAB and a line break
// inside a text, midnight, nulls, an empty text, and a row deleted through the grid.
void fillGoldenTable(ReadingTable& table) {
  table.appendAdded(rowOf(1, at(13, 5, 9, 123), "1.234", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
  table.appendAdded(rowOf(2, 0, " 5.6 ", "   ", "a<b>&'\"\\", "x\ty\r\nz"));
  table.appendAdded(rowOf(3, at(23, 59, 59, 999), "gone"));
  table.appendAdded(rowOf(-7, {}, {}, ""));
  table.appendAdded(rowOf({}, at(10, 20, 9, 500), "L"));
  table.deleteRow(2);
}

// Every stored row with its state, and the change log, as one text to compare.
QByteArray dump(const ReadingTable& table) {
  QByteArray text;
  auto field = [&text](const auto& value) {
    text += value ? QByteArray::number(*value) : QByteArray("-");
    text += '|';
  };
  for (std::size_t i = 0; i < table.storedRowCount(); ++i) {
    const qm::log::StoredRow row = table.storedRow(i);
    field(row.state ? std::optional<int>(*row.state) : std::nullopt);
    field(row.fields.No);
    field(row.fields.Time);
    for (const auto& piece : row.fields.texts) {
      text += piece ? "'" + QByteArray(piece->data(), static_cast<qsizetype>(piece->size())) + "'" : QByteArray("-");
      text += '|';
    }
    text += '\n';
  }
  for (const ChangeLogEntry& entry : table.changeLog()) {
    text += QByteArray::number(entry.row) + ' ' + QByteArray::number(entry.detail) + ' ' + QByteArray::number(entry.kind) + ';';
  }
  return text;
}

// A long log for the files read in pieces and on two threads: values and texts that change from
// row to row, numbers that do not run in order, and (for the packet) deleted rows.
void fillLongTable(ReadingTable& table, int rows) {
  static const char* const units[] = {"V", "M\xA6\xB8", "G\xA6\xB8", "k\xA6\xB8"};
  static const char* const modes[] = {"Continuous", "Timed", "PI", "COMP:NG", "COMP:GOOD"};
  for (int i = 0; i < rows; ++i) {
    const std::string value = std::to_string(std::int64_t{i} * 7919 % 10007) + "." + std::to_string(i % 10);
    table.appendAdded(rowOf(i % 1000 == 999 ? -i : i + 1, (i * 1500) % qm::log::kMillisecondsPerDay, value,
                            units[i / 1000 % 4], "IR:500V 20G\xA6\xB8", modes[i / 3000 % 5]));
  }
}

// The rows a text file gives back of `table`: shown rows only, as added rows, without milliseconds.
QByteArray dumpAsTextLoad(const ReadingTable& table) {
  ReadingTable copy;
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    RowFields row = table.row(i);
    row.Time = *row.Time / 1000 * 1000;
    copy.appendAdded(row);
  }
  return dump(copy);
}

// Where the `line`-th line (1-based, CR LF ends) of `file` begins.
qsizetype lineStart(const QByteArray& file, int line) {
  qsizetype start = 0;
  for (int i = 1; i < line; ++i) {
    start = file.indexOf("\r\n", start) + 2;
  }
  return start;
}

// The `line`-th line without its line end.
QByteArray lineOf(const QByteArray& file, int line) {
  const qsizetype start = lineStart(file, line);
  return file.mid(start, file.indexOf("\r\n", start) - start);
}

// The bytes of the `line`-th line made `replacement`.
QByteArray withLine(QByteArray file, int line, const QByteArray& replacement) {
  const qsizetype start = lineStart(file, line);
  return file.replace(start, file.indexOf("\r\n", start) - start, replacement);
}

// A file written afresh rather than over an old one, which the file system would sync on close.
void writeNewFile(const QString& name, const QByteArray& bytes) {
  QFile::remove(name);
  writeFile(name, bytes);
}

const TimeOfDayFormat& twentyFourHours() {
  static const TimeOfDayFormat format(QStringLiteral("HH:mm:ss"), QLocale::c());
  return format;
}

// A packet of the table's six fields, without change log, around `rows`.
QByteArray packetWithRows(const QByteArray& rows) {
  const QByteArray written = golden("table.xml");
  return written.left(written.indexOf("<ROWDATA>"))
             .replace(" CHANGE_LOG=\"1 0 4 2 0 4 3 0 4 4 0 4 5 0 4 3 0 2\"", "") +
         "<ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

}  // namespace

class TestTableFiles : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const QString& name) const { return dir_.filePath(name); }

  // fillLongTable's 300,000 rows, with four deleted, and their two files as saved: made once.
  ReadingTable longTable_;
  QByteArray longFile(const QString& name) {
    static QMap<QString, QByteArray> files;
    if (longTable_.isEmpty()) {
      fillLongTable(longTable_, 300'000);
      for (const std::size_t row : {299'990, 123'457, 77'000, 5}) {
        longTable_.deleteRow(row);
      }
    }
    if (!files.contains(name)) {
      [&] { QVERIFY(saveTableToFile(longTable_, path(name), twentyFourHours()).ok); }();
      files[name] = readAll(path(name));
    }
    return files[name];
  }

private slots:
  void timeOfDayFormat_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("time");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("24 hours, zone dropped") << "HH:mm:ss t" << "de_DE" << at(14, 3, 27, 999) << QByteArray("14:03:27");
    QTest::newRow("midnight") << "HH:mm:ss t" << "de_DE" << 0 << QByteArray("00:00:00");
    QTest::newRow("12 hours") << "h:mm:ss AP t" << "en_US" << at(14, 3, 27) << QByteArray("2:03:27 PM");
    QTest::newRow("12 hours, midnight") << "h:mm:ss AP t" << "en_US" << at(0, 5, 0) << QByteArray("12:05:00 AM");
    QTest::newRow("12 hours, noon, lower case") << "hh:mm:ss ap" << "en_US" << at(12, 0, 1) << QByteArray("12:00:01 pm");
    QTest::newRow("zone first") << "t HH:mm:ss" << "zh_CN" << at(9, 0, 0) << QByteArray("09:00:00");
    QTest::newRow("zone in brackets") << "H:mm:ss (t)" << "es_ES" << at(9, 5, 7) << QByteArray("9:05:07");
    QTest::newRow("milliseconds dropped") << "HH:mm:ss.zzz" << "C" << at(23, 59, 59, 999) << QByteArray("23:59:59");
    QTest::newRow("CP936 AM/PM texts") << "AP h:mm:ss" << "zh_CN" << at(14, 3, 27) << QByteArray("\xCF\xC2\xCE\xE7 2:03:27");
    QTest::newRow("AM/PM without CP936 form: English") << "AP h:mm:ss" << "ko_KR" << at(14, 3, 27) << QByteArray("PM 2:03:27");
    QTest::newRow("point of an abbreviation before the zone")
        << "H:mm:ss '\u0447'. t" << "bg_BG" << at(9, 5, 7) << QByteArray("9:05:07 \xA7\xE9.");
    QTest::newRow("quoted letters") << "H'h'mm 'and' s''" << "C" << at(7, 8, 9) << QByteArray("7h08 and 9'");
  }

  void timeOfDayFormat() {
    QFETCH(QString, pattern);
    QFETCH(QString, locale);
    QFETCH(int, time);
    QFETCH(QByteArray, text);
    const TimeOfDayFormat format(pattern, QLocale(locale));
    QCOMPARE(QByteArray::fromStdString(format.format(time)), text);
    // Reading back gives the time without its milliseconds.
    QCOMPARE(format.parse(text.toStdString()), std::optional<TimeOfDay>(time / 1000 * 1000));
  }

  void timeOfDayParsing_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("time");  // -1: refused

    QTest::newRow("one-digit hour") << "HH:mm:ss" << QByteArray("9:05:07") << at(9, 5, 7);
    QTest::newRow("two-digit hour for H") << "H:mm:ss" << QByteArray("09:05:07") << at(9, 5, 7);
    QTest::newRow("one-digit minute and second") << "HH:mm:ss" << QByteArray("09:5:7") << at(9, 5, 7);
    QTest::newRow("last second of the day") << "HH:mm:ss" << QByteArray("23:59:59") << at(23, 59, 59);
    QTest::newRow("pm in lower case") << "h:mm:ss AP" << QByteArray("2:03:27 pm") << at(14, 3, 27);
    QTest::newRow("12 AM is midnight") << "h:mm:ss AP" << QByteArray("12:00:00 AM") << 0;
    QTest::newRow("hour 24") << "HH:mm:ss" << QByteArray("24:00:00") << -1;
    QTest::newRow("minute 60") << "HH:mm:ss" << QByteArray("12:60:00") << -1;
    QTest::newRow("three-digit hour") << "HH:mm:ss" << QByteArray("123:00:00") << -1;
    QTest::newRow("no seconds") << "HH:mm:ss" << QByteArray("12:00") << -1;
    QTest::newRow("milliseconds") << "HH:mm:ss" << QByteArray("12:00:00.5") << -1;
    QTest::newRow("leading blank") << "HH:mm:ss" << QByteArray(" 12:00:00") << -1;
    QTest::newRow("trailing blank") << "HH:mm:ss" << QByteArray("12:00:00 ") << -1;
    QTest::newRow("other separator") << "HH:mm:ss" << QByteArray("12.00.00") << -1;
    // The bytes next to the digits, and one with the top bit set, where a digit is looked for.
    QTest::newRow("byte before 0") << "HH:mm:ss" << QByteArray("1/:00:00") << -1;
    QTest::newRow("byte after 9") << "HH:mm:ss" << QByteArray("12:0::00") << -1;
    QTest::newRow("double-byte character") << "HH:mm:ss" << QByteArray("12:00:0\xB9") << -1;
    QTest::newRow("NULL") << "HH:mm:ss" << QByteArray("NULL") << -1;
    QTest::newRow("empty") << "HH:mm:ss" << QByteArray("") << -1;
    QTest::newRow("13 with PM") << "h:mm:ss AP" << QByteArray("13:03:27 PM") << -1;
    QTest::newRow("0 with AM") << "h:mm:ss AP" << QByteArray("0:03:27 AM") << -1;
    QTest::newRow("AM/PM missing") << "h:mm:ss AP" << QByteArray("2:03:27") << -1;
  }

  void timeOfDayParsing() {
    QFETCH(QString, pattern);
    QFETCH(QByteArray, text);
    QFETCH(int, time);
    const TimeOfDayFormat format(pattern, QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(format.parse(text.toStdString()), time < 0 ? std::nullopt : std::optional<TimeOfDay>(time));
  }

  // Every two-digit hour, minute and second, 00 to 99 each: the one-word reader takes exactly
  // the real times, at their time.
  void twoDigitTimesReadInOneWord() {
    char text[] = "00:00:00";
    for (int h = 0; h < 100; ++h) {
      for (int m = 0; m < 100; ++m) {
        for (int s = 0; s < 100; ++s) {
          for (const auto& [place, n] : {std::pair{0, h}, std::pair{3, m}, std::pair{6, s}}) {
            text[place] = static_cast<char>('0' + n / 10);
            text[place + 1] = static_cast<char>('0' + n % 10);
          }
          const int expected = h < 24 && m < 60 && s < 60 ? at(h, m, s) : -1;
          if (twentyFourHours().parseAsWritten(text) != expected) {
            QFAIL(text);
          }
        }
      }
    }
  }

  void formatForFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("packet");

    QTest::newRow("upper-case .XML") << "/data/DATA.XML" << true;
    QTest::newRow(".xml") << "/data/log.xml" << true;
    QTest::newRow(".xls") << "/data/data.xls" << false;
    QTest::newRow(".txt") << "/data/data.txt" << false;
    QTest::newRow("no extension") << "/data/data" << false;
    QTest::newRow("dot in a folder name only") << "/data.xml/data" << false;
    QTest::newRow("xml before the last extension") << "/data/data.xml.txt" << false;
    QTest::newRow("name is the extension") << "/data/.xml" << true;
  }

  void formatForFileName() {
    QFETCH(QString, name);
    QFETCH(bool, packet);
    QCOMPARE(qm::log::formatForFileName(name) == TableFileFormat::DataPacket, packet);
  }

  void splitBySeparator_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("pieces");

    QTest::newRow("empty text") << QByteArray("") << QList<QByteArray>{""};
    QTest::newRow("no separator") << QByteArray("abc") << QList<QByteArray>{"abc"};
    QTest::newRow("pieces in order") << QByteArray("1\t2\t3") << QList<QByteArray>{"1", "2", "3"};
    QTest::newRow("final separator") << QByteArray("1\t") << QList<QByteArray>{"1", ""};
    QTest::newRow("only separators") << QByteArray("\t\t") << QList<QByteArray>{"", "", ""};
  }

  void splitBySeparator() {
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, pieces);
    const std::string bytes = text.toStdString();
    QList<QByteArray> got;
    for (const std::string_view piece : qm::log::splitBySeparator(bytes, '\t')) {
      got.append(QByteArray(piece.data(), static_cast<qsizetype>(piece.size())));
    }
    QCOMPARE(got, pieces);
  }

  // The readers' whole numbers are those std::from_chars reads, whole texts only: checked on
  // texts of up to eleven bytes, mostly digits, with the bytes next to the digits among the rest.
  void wholeNumbersAsFromCharsReadsThem() {
    std::vector<std::string> texts = {"2147483647", "2147483648", "-2147483648", "-2147483649", "99999999",
                                      "00000000",   "0000000000001", "255",       "256",          "-0"};
    std::mt19937 random(20261211);
    const std::string digits = "0123456789";
    const std::string others("-/:+ a\xB0\xB9\0", 9);  // the digits' neighbours, and a zero byte
    for (int i = 0; i < 200'000; ++i) {
      std::string text(random() % 12, '0');
      for (char& byte : text) {
        byte = random() % 8 != 0 ? digits[random() % digits.size()] : others[random() % others.size()];
      }
      texts.push_back(std::move(text));
    }
    for (const std::string& text : texts) {
      QVERIFY2(readAsFromChars<std::int32_t>(text), text.c_str());
      QVERIFY2(readAsFromChars<std::uint32_t>(text), text.c_str());
      QVERIFY2(readAsFromChars<std::uint8_t>(text), text.c_str());
    }
  }

  void savesGoldenFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << "table.xls" << golden("table.txt");
    QTest::newRow("packet") << "table.xml" << golden("table.xml");
  }

  void savesGoldenFiles() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    ReadingTable table;
    fillGoldenTable(table);
    const TableFileOutcome outcome = saveTableToFile(table, path(name), twentyFourHours());
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.message, "Save table to specified file: " + path(name) + " Scuss!");
    QCOMPARE(readAll(path(name)), bytes);
  }

  void savesEmptyTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << "empty.txt" << QByteArray("No\tTime\tValue\tUnit\tFunction\tRemark\r\n");
    QTest::newRow("packet") << "empty.xml" << packetWithRows("");
  }

  void savesEmptyTable() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const ReadingTable table;
    QVERIFY(saveTableToFile(table, path(name), twentyFourHours()).ok);
    QCOMPARE(readAll(path(name)), bytes);
  }

  void packetRoundTrip() {
    ReadingTable written;
    fillGoldenTable(written);
    ReadingTable read;
    read.appendAdded(rowOf(99, 0, "replaced"));
    QCOMPARE(loadTableFromFile(goldenPath("table.xml"), read, twentyFourHours()).ok, true);
    QCOMPARE(dump(read), dump(written));
    QCOMPARE(read.rowCount(), std::size_t{4});
    QVERIFY(saveTableToFile(read, path("again.xml"), twentyFourHours()).ok);
    QCOMPARE(readAll(path("again.xml")), golden("table.xml"));
  }

  // Every spelling of a row that XML allows, and what the table gets from it.
  void packetReaderAccepts_data() {
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("rows");

    const QByteArray oneRow = "4|1|3600000|'1.5'|-|-|-|\n";
    QTest::newRow("attributes in another order, single quotes")
        << packetWithRows("<ROW Value='1.5' Time='01:00:00000' No=\"1\" RowState=\"4\"/>") << oneRow;
    QTest::newRow("blanks and line breaks between tags and attributes")
        << packetWithRows("\r\n  <ROW\tRowState = \"4\"\n No=\"1\" Time=\"01:00:00000\" Value=\"1.5\" />\r\n") << oneRow;
    QTest::newRow("start and end tag") << packetWithRows("<ROW RowState=\"4\" No=\"1\" Time=\"01:00:00000\" Value=\"1.5\"></ROW >")
                                       << oneRow;
    QTest::newRow("unknown attributes") << packetWithRows("<ROW RowState=\"4\" Extra=\"&amp;\" No=\"1\" Time=\"01:00:00000\" Value=\"1.5\"/>")
                                        << oneRow;
    QTest::newRow("references") << packetWithRows("<ROW Value=\"&#65;&#x42;&#x3a9;&lt;&gt;&amp;&apos;&quot;\"/>")
                                << QByteArray("-|-|-|'AB\xA6\xB8<>&'\"'|-|-|-|\n");
    QTest::newRow("raw line breaks and TAB become blanks") << packetWithRows("<ROW Value=\"a\r\nb\nc\td\"/>")
                                                           << QByteArray("-|-|-|'a b c d'|-|-|-|\n");
    QTest::newRow("raw > and apostrophe") << packetWithRows("<ROW Value=\"a>b'c\"/>") << QByteArray("-|-|-|'a>b'c'|-|-|-|\n");
    QTest::newRow("long text cut to 20 bytes") << packetWithRows("<ROW Value=\"12345678901234567890123\"/>")
                                               << QByteArray("-|-|-|'12345678901234567890'|-|-|-|\n");
    QTest::newRow("deleted row, state without flag 4") << packetWithRows("<ROW RowState=\"2\" No=\"5\"/><ROW RowState=\"0\"/>")
                                                       << QByteArray("2|5|-|-|-|-|-|\n0|-|-|-|-|-|-|\n");
    QTest::newRow("time without milliseconds, as other writers write it")
        << packetWithRows("<ROW Time=\"13:05:09\"/>") << QByteArray("-|-|47109000|-|-|-|-|\n");
    QTest::newRow("extremes") << packetWithRows("<ROW No=\"-2147483648\" Time=\"23:59:59999\"/><ROW No=\"2147483647\"/>")
                              << QByteArray("-|-2147483648|86399999|-|-|-|-|\n-|2147483647|-|-|-|-|-|\n");
    QTest::newRow("empty ROWDATA element") << packetWithRows("").replace("<ROWDATA></ROWDATA>", "<ROWDATA/>") << QByteArray();
    QTest::newRow("no declaration, blanks around the root")
        << "\n" + packetWithRows("<ROW No=\"1\"/>").mid(packetWithRows("").indexOf("<DATAPACKET")) + "\r\n"
        << QByteArray("-|1|-|-|-|-|-|\n");
    QTest::newRow("fields in another order, extra field with children")
        << packetWithRows("<ROW No=\"1\" X=\"y\"/>")
               .replace("<FIELD attrname=\"No\" fieldtype=\"i4\"/>", "")
               .replace("</FIELDS>", "<FIELD fieldtype=\"nested\" attrname=\"X\"><FIELDS><FIELD/></FIELDS></FIELD>"
                                     "<FIELD required=\"true\" fieldtype=\"i4\" attrname=\"No\"/></FIELDS>")
        << QByteArray("-|1|-|-|-|-|-|\n");
    QTest::newRow("change log with other blanks")
        << packetWithRows("").replace("<PARAMS/>", "<PARAMS LCID=\"1033\" CHANGE_LOG=\" 1 0 4\n2  0 2 \"></PARAMS>")
        << QByteArray("1 0 4;2 0 2;");
    // Entries that count up row by row are read in stretches: where a stretch breaks off (another
    // change, another spelling, a row number one digit longer, the last row number) the entries
    // must come out as they stand.
    auto withChangeLog = [](const QByteArray& changeLog) {
      QByteArray entries;
      const QList<QByteArray> numbers = changeLog.simplified().split(' ');
      for (qsizetype i = 0; i + 2 < numbers.size(); i += 3) {
        entries += QByteArray::number(numbers[i].toUInt()) + ' ' + QByteArray::number(numbers[i + 1].toUInt()) + ' ' +
                   QByteArray::number(numbers[i + 2].toUInt()) + ';';
      }
      return std::pair(packetWithRows("").replace("<PARAMS/>", "<PARAMS CHANGE_LOG=\"" + changeLog + "\"/>"), entries);
    };
    const auto [brokenStretches, brokenEntries] = withChangeLog(
        "7 0 4 8 0 4 9 0 4 10 0 4 11 0 4 3 0 2 12 0 4 13 0 4 013 0 4 14 0 4 99 0 4 100 0 4 101 0 4  102 0 4 103 0 2 "
        "104 0 2 105 0 4 4294967294 0 4 4294967295 0 4 0 0 4 1 0 4 2 0 4");
    QTest::newRow("counted change log, broken off") << brokenStretches << brokenEntries;
    QByteArray longLog;
    for (int row = 1; row <= 600'000; ++row) {
      longLog += QByteArray::number(row) + (row == 300'000 ? " 0 2 " : " 0 4 ");
    }
    const auto [longStretches, longEntries] = withChangeLog(longLog.trimmed());
    QTest::newRow("counted change log longer than a block") << longStretches << longEntries;
  }

  void packetReaderAccepts() {
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, rows);
    writeFile(path("accepted.xml"), packet);
    ReadingTable table;
    const TableFileOutcome outcome = loadTableFromFile(path("accepted.xml"), table, twentyFourHours());
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.message, QString());
    QCOMPARE(dump(table), rows);
  }

  void packetReaderRefuses_data() {
    QTest::addColumn<QByteArray>("packet");

    const QByteArray valid = packetWithRows("<ROW No=\"1\"/>");
    auto without = [&valid](const char* part) { return QByteArray(valid).replace(part, ""); };
    auto replaced = [&valid](const char* part, const char* by) { return QByteArray(valid).replace(part, by); };
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text file") << golden("table.txt");
    QTest::newRow("a field missing") << without("<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>");
    QTest::newRow("a field of another type") << replaced("\"No\" fieldtype=\"i4\"", "\"No\" fieldtype=\"i2\"");
    QTest::newRow("a field twice") << replaced("</FIELDS>", "<FIELD attrname=\"No\" fieldtype=\"i4\"/></FIELDS>");
    QTest::newRow("field names case-sensitive") << replaced("attrname=\"Value\"", "attrname=\"value\"");
    QTest::newRow("element names case-sensitive") << replaced("<ROW ", "<row ");
    QTest::newRow("no PARAMS") << without("<PARAMS/>");
    QTest::newRow("another element in ROWDATA") << replaced("<ROW ", "<ROWX ");
    QTest::newRow("unknown entity") << replaced("No=\"1\"", "No=\"1\" Value=\"&nbsp;\"");
    QTest::newRow("unterminated reference") << replaced("No=\"1\"", "Value=\"&amp\"");
    QTest::newRow("reference beyond Unicode") << replaced("No=\"1\"", "Value=\"&#x110000;\"");
    QTest::newRow("character without a CP936 form") << replaced("No=\"1\"", "Value=\"&#x1F600;\"");
    QTest::newRow("< in a value") << replaced("No=\"1\"", "Value=\"a<b\"");
    QTest::newRow("no blank between attributes") << replaced("No=\"1\"", "No=\"1\"Value=\"a\"");
    QTest::newRow("value without quotes") << replaced("No=\"1\"", "No=1");
    QTest::newRow("attribute twice") << replaced("No=\"1\"", "No=\"1\" No=\"2\"");
    QTest::newRow("No not a number") << replaced("No=\"1\"", "No=\"one\"");
    QTest::newRow("No with a blank") << replaced("No=\"1\"", "No=\" 1\"");
    QTest::newRow("No beyond 32 bits") << replaced("No=\"1\"", "No=\"2147483648\"");
    QTest::newRow("RowState beyond a byte") << replaced("No=\"1\"", "RowState=\"256\"");
    QTest::newRow("time of hour 24") << replaced("No=\"1\"", "Time=\"24:00:00000\"");
    QTest::newRow("time of second 60") << replaced("No=\"1\"", "Time=\"00:00:60000\"");
    QTest::newRow("time with a letter for milliseconds") << replaced("No=\"1\"", "Time=\"00:00:00a00\"");
    QTest::newRow("time with a colon for milliseconds") << replaced("No=\"1\"", "Time=\"00:00:00:00\"");
    QTest::newRow("change log not in threes") << replaced("<PARAMS/>", "<PARAMS CHANGE_LOG=\"1 0 4 2\"/>");
    QTest::newRow("change log with a sign") << replaced("<PARAMS/>", "<PARAMS CHANGE_LOG=\"-1 0 4\"/>");
    QTest::newRow("end tags crossed") << replaced("</ROWDATA></DATAPACKET>", "</DATAPACKET></ROWDATA>");
    QTest::newRow("text after the packet") << valid + "x";
    QTest::newRow("second root") << valid + valid.mid(valid.indexOf("<DATAPACKET"));
    QTest::newRow("deeply nested ignored content")
        << replaced("</FIELDS>", QByteArray("<FIELD attrname=\"X\" fieldtype=\"x\">" + QByteArray("<a>").repeated(100000) +
                                            QByteArray("</a>").repeated(100000) + "</FIELD></FIELDS>")
                                     .constData());
  }

  // A refused packet leaves the table as it was before the load: rows and change log alike.
  void packetReaderRefuses() {
    QFETCH(QByteArray, packet);
    writeFile(path("refused.xml"), packet);
    ReadingTable table;
    fillGoldenTable(table);
    const QByteArray before = dump(table);
    const TableFileOutcome outcome = loadTableFromFile(path("refused.xml"), table, twentyFourHours());
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.message, QString("Failed to Load File!"));
    QCOMPARE(dump(table), before);
  }

  void packetCutShortIsRefused() {
    const QByteArray valid = golden("table.xml");
    ReadingTable table;
    table.appendAdded(rowOf(1, 0, "kept"));
    const QByteArray before = dump(table);
    for (qsizetype length = 0; length < valid.size(); ++length) {
      writeFile(path("short.xml"), valid.left(length));
      QVERIFY2(!loadTableFromFile(path("short.xml"), table, twentyFourHours()).ok, QByteArray::number(length).constData());
    }
    QCOMPARE(dump(table), before);
  }

  // What a text load appends: rows of the lines before a failing line stay, none of that line.
  void textLoad_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("appended");

    const QByteArray header = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    QTest::newRow("header only") << header << true << QByteArray();
    QTest::newRow("header without line end") << QByteArray("anything") << true << QByteArray();
    QTest::newRow("empty file") << QByteArray() << false << QByteArray();
    QTest::newRow("first line is dropped even when it is data")
        << QByteArray("1\t12:00:00\ta\r\n2\t12:00:01\tb\r\n") << true << QByteArray("4|2|43201000|'b'|-|-|-|\n");
    QTest::newRow("all six fields, NULL stays a text")
        << header + "7\t13:05:09\t1,5\tM\xA6\xB8\tNULL\t\r\n" << true << QByteArray("4|7|47109000|'1,5'|'M\xA6\xB8'|'NULL'|''|\n");
    QTest::newRow("three pieces") << header + "-3\t00:00:00\tv\r\n" << true << QByteArray("4|-3|0|'v'|-|-|-|\n");
    QTest::newRow("number only") << header + "3\r\n" << true << QByteArray("4|3|-|-|-|-|-|\n");
    QTest::newRow("fewer fields than the line before: none carried over")
        << header + "2\t00:00:02\ta\tb\tc\td\r\n3\r\n4\t00:00:04\te\r\n" << true
        << QByteArray("4|2|2000|'a'|'b'|'c'|'d'|\n4|3|-|-|-|-|-|\n4|4|4000|'e'|-|-|-|\n");
    QTest::newRow("texts after the value alike but for one byte")
        << header + "1\t00:00:01\ta\tM\tIR:500V 20G\tContinuous\r\n2\t00:00:02\tb\tM\tIR:500V 20G\tContinuouS\r\n"
                    "3\t00:00:03\tc\tM\tIR:500V 2OG\tContinuouS\r\n4\t00:00:04\td\tM\tIR:500V 2OG\tContinuouS\r\n"
                    "5\t00:00:05\te\tk\tIR:500V 2OG\tContinuouS\r\n6\t00:00:06\tf\tk\tx\r\n7\t00:00:07\tg\tk\ty\r\n"
                    "8\t00:00:08\th\tk\tabcdefgh\r\n9\t00:00:09\ti\tk\tabcdefgX\r\n"
        << true
        << QByteArray("4|1|1000|'a'|'M'|'IR:500V 20G'|'Continuous'|\n4|2|2000|'b'|'M'|'IR:500V 20G'|'ContinuouS'|\n"
                      "4|3|3000|'c'|'M'|'IR:500V 2OG'|'ContinuouS'|\n4|4|4000|'d'|'M'|'IR:500V 2OG'|'ContinuouS'|\n"
                      "4|5|5000|'e'|'k'|'IR:500V 2OG'|'ContinuouS'|\n4|6|6000|'f'|'k'|'x'|-|\n4|7|7000|'g'|'k'|'y'|-|\n"
                      "4|8|8000|'h'|'k'|'abcdefgh'|-|\n4|9|9000|'i'|'k'|'abcdefgX'|-|\n");
    // The file's last byte ends the block it is read into: nothing beyond may be read.
    QTest::newRow("ten fields at the end of a small file fail")
        << header + "1\t2\t3\t4\t5\t6\t7\t8\t9\t10" << false << QByteArray();
    QTest::newRow("CR, LF and CR LF line ends, none at the end")
        << QByteArray("h\r1\t00:00:01\n2\t00:00:02\r\n3\t00:00:03") << true
        << QByteArray("4|1|1000|-|-|-|-|\n4|2|2000|-|-|-|-|\n4|3|3000|-|-|-|-|\n");
    QTest::newRow("text cut to 20 bytes, not inside the ohm sign")
        << header + "1\t00:00:00\t1234567890123456789\xA6\xB8" << true << QByteArray("4|1|0|'1234567890123456789'|-|-|-|\n");
    QTest::newRow("blank line fails, rows before stay")
        << header + "1\t00:00:01\r\n\r\n2\t00:00:02\r\n" << false << QByteArray("4|1|1000|-|-|-|-|\n");
    QTest::newRow("seven pieces fail") << header + "1\t00:00:01\r\n2\t00:00:02\ta\tb\tc\td\te\r\n" << false
                                       << QByteArray("4|1|1000|-|-|-|-|\n");
    QTest::newRow("NULL time fails") << header + "1\tNULL\r\n" << false << QByteArray();
    QTest::newRow("empty No fails") << header + "\t00:00:01\r\n" << false << QByteArray();
    QTest::newRow("No not a number fails") << header + "1x\t00:00:01\r\n" << false << QByteArray();
    QTest::newRow("No beyond 32 bits fails") << header + "2147483648\t00:00:01\r\n" << false << QByteArray();
    QTest::newRow("time with milliseconds fails") << header + "1\t00:00:01.500\r\n" << false << QByteArray();
  }

  void textLoad() {
    QFETCH(QByteArray, file);
    QFETCH(bool, ok);
    QFETCH(QByteArray, appended);
    writeFile(path("load.txt"), file);
    ReadingTable table;
    table.appendAdded(rowOf(1, 0, "already there"));
    const QByteArray existingRow = dump(table).split('\n').first() + '\n';
    const TableFileOutcome outcome = loadTableFromFile(path("load.txt"), table, twentyFourHours());
    QCOMPARE(outcome.ok, ok);
    QCOMPARE(outcome.message, ok ? QString() : QString("Failed to Load File!"));
    QByteArray changeLog;
    for (std::size_t row = 1; row <= table.storedRowCount(); ++row) {
      changeLog += QByteArray::number(row) + " 0 4;";
    }
    QCOMPARE(dump(table), existingRow + appended + changeLog);
  }

  void textFileLosesWhatItCannotHold() {
    ReadingTable table;
    fillGoldenTable(table);
    QVERIFY(saveTableToFile(table, path("golden.txt"), twentyFourHours()).ok);
    ReadingTable read;
    // The row without a time was written "NULL": reading stops there.
    QVERIFY(!loadTableFromFile(path("golden.txt"), read, twentyFourHours()).ok);
    QCOMPARE(dump(read), QByteArray("4|1|47109000|'1.234'|'M\xA6\xB8'|'IR:500V 20G\xA6\xB8'|'Continuous'|\n"
                                    "4|2|0|'5.6'|'NULL'|'a<b>&'\"\\'|'x y  z'|\n"
                                    "1 0 4;2 0 4;"));
  }

  void missingFileFailsToLoad_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "missing.txt";
    QTest::newRow("packet") << "missing.xml";
  }

  void missingFileFailsToLoad() {
    QFETCH(QString, name);
    ReadingTable table;
    table.appendAdded(rowOf(1, 0, "kept"));
    const QByteArray before = dump(table);
    const TableFileOutcome outcome = loadTableFromFile(path(name), table, twentyFourHours());
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.message, QString("Failed to Load File!"));
    QCOMPARE(dump(table), before);
  }

  void saveToMissingFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    const QString text = dir_.filePath("no/such/folder/data.xls");
    const QString packet = dir_.filePath("no/such/folder/data.xml");
    QTest::newRow("text") << text << "Could not save table to specified file: " + text;
    QTest::newRow("packet") << packet << "Cannot create file \"" + packet + "\". " + QString::fromLocal8Bit(std::strerror(ENOENT));
  }

  void saveToMissingFolder() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    ReadingTable table;
    fillGoldenTable(table);
    const TableFileOutcome outcome = saveTableToFile(table, name, twentyFourHours());
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.detail, QString::fromLocal8Bit(std::strerror(ENOENT)));
    QVERIFY(!QFile::exists(name));
  }

  // A save that fails half-way (here: the file-size limit is hit) keeps the previous file whole
  // and leaves no temporary file behind.
  void failedSaveKeepsPreviousFile_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "kept.xls";
    QTest::newRow("packet") << "kept.xml";
  }

  void failedSaveKeepsPreviousFile() {
    QFETCH(QString, name);
    QTemporaryDir folder;
    const QString fullName = folder.filePath(name);
    writeFile(fullName, "previous contents");
    ReadingTable table;
    for (int i = 0; i < 200'000; ++i) {
      table.appendAdded(rowOf(i, at(12, 0, 0), "1234", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
    }
    rlimit limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{1 << 20, limit.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const TableFileOutcome outcome = saveTableToFile(table, fullName, twentyFourHours());
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!outcome.ok);
    QCOMPARE(readAll(fullName), QByteArray("previous contents"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
  }

  void progressIsReportedNowAndThen_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "progress.xls";
    QTest::newRow("packet") << "progress.xml";
  }

  void progressIsReportedNowAndThen() {
    QFETCH(QString, name);
    ReadingTable table;
    for (int i = 0; i < 150'000; ++i) {
      table.appendAdded(rowOf(i, at(12, 0, 0), "1"));
    }
    for (const bool saving : {true, false}) {
      std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
      const qm::log::FileProgress progress = [&calls](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); };
      ReadingTable read;
      const TableFileOutcome outcome = saving ? saveTableToFile(table, path(name), twentyFourHours(), progress)
                                              : loadTableFromFile(path(name), read, twentyFourHours(), progress);
      QVERIFY(outcome.ok);
      QVERIFY2(calls.size() >= 2 && calls.size() <= 5, QByteArray::number(qulonglong(calls.size())).constData());
      QCOMPARE(calls.back().first, calls.back().second);
      for (std::size_t i = 1; i < calls.size(); ++i) {
        QVERIFY(calls[i - 1].first <= calls[i].first && calls[i].first <= calls[i].second);
      }
    }
  }

  // Lines at their longest: the widest record number, texts of the full field width with blanks
  // trimmed off and a TAB made a blank, and a time far longer than "hh:mm:ss" from a pattern with
  // words in it, which first appears after rows without a time.
  void textLinesAtTheirLongest() {
    const TimeOfDayFormat wordy(QStringLiteral("HH 'hours and' mm 'minutes and' ss 'seconds past midnight'"), QLocale::c());
    ReadingTable table;
    table.appendAdded(rowOf(1, std::nullopt, "12345678901234567890", " M\xA6\xB8 ", "", "a\tb"));
    table.appendAdded(rowOf(-2147483647 - 1, at(23, 59, 59, 999), "\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8",
                            "UUUUUUUUUUUUUUUUUUUU", "VVVVVVVVVVVVVVVVVVVV", "IIIIIIIIIIIIIIIIIIII"));
    QVERIFY(saveTableToFile(table, path("longest.txt"), wordy).ok);
    QCOMPARE(readAll(path("longest.txt")),
             QByteArray("No\tTime\tValue\tUnit\tFunction\tRemark\r\n"
                        "1\tNULL\t12345678901234567890\tM\xA6\xB8\tNULL\ta b\r\n"
                        "-2147483648\t23 hours and 59 minutes and 59 seconds past midnight\t"
                        "\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\xA6\xB8\t"
                        "UUUUUUUUUUUUUUUUUUUU\tVVVVVVVVVVVVVVVVVVVV\tIIIIIIIIIIIIIIIIIIII\r\n"));
  }

  // The locale's time format, under a locale whose decimal separator is a comma.
  void textRoundTripInSystemLocale() {
    if (QLocale::system().decimalPoint() != u',') {
      QSKIP("the system locale was not switched to one with a decimal comma");
    }
    const TimeOfDayFormat format = TimeOfDayFormat::systemLongTime();
    QCOMPARE(QByteArray::fromStdString(format.format(at(13, 5, 9, 123))), QByteArray("13:05:09"));
    ReadingTable table;
    table.appendAdded(rowOf(1, at(13, 5, 9, 123), "1,234", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Timed"));
    table.appendAdded(rowOf(2, at(0, 0, 0, 999), "-0,5", "V", "DCV  600V", "Continuous"));
    QVERIFY(saveTableToFile(table, path("comma.txt"), format).ok);
    QCOMPARE(readAll(path("comma.txt")), QByteArray("No\tTime\tValue\tUnit\tFunction\tRemark\r\n"
                                                    "1\t13:05:09\t1,234\tM\xA6\xB8\tIR:500V 20G\xA6\xB8\tTimed\r\n"
                                                    "2\t00:00:00\t-0,5\tV\tDCV  600V\tContinuous\r\n"));
    ReadingTable read;
    QVERIFY(loadTableFromFile(path("comma.txt"), read, format).ok);
    QCOMPARE(dump(read), QByteArray("4|1|47109000|'1,234'|'M\xA6\xB8'|'IR:500V 20G\xA6\xB8'|'Timed'|\n"
                                    "4|2|0|'-0,5'|'V'|'DCV  600V'|'Continuous'|\n1 0 4;2 0 4;"));
  }

  // A packet as another writer of the format writes it: UTF-8 texts (the ohm sign as CE A9),
  // elements on indented lines, "width" in lower case, attributes of its own on FIELD and PARAMS,
  // times without milliseconds, no RowState and no CHANGE_LOG. Saved again, it is our format.
  void packetOfAnotherWriter() {
    ReadingTable table;
    const TableFileOutcome outcome = loadTableFromFile(QFINDTESTDATA("packets/utf8_packet.xml"), table, twentyFourHours());
    QVERIFY2(outcome.ok, qPrintable(outcome.detail));
    QCOMPARE(dump(table), QByteArray("-|1|47109000|'1.234'|'M\xA6\xB8'|'IR:500V 20G\xA6\xB8'|'Continuous'|\n"
                                     "-|2|0|'<0.5'|'V'|'DCV  600V'|-|\n"));
    QVERIFY(saveTableToFile(table, path("ours.xml"), twentyFourHours()).ok);
    const QByteArray written = golden("table.xml");
    QCOMPARE(readAll(path("ours.xml")),
             written.left(written.indexOf("<PARAMS")) +
                 "<PARAMS/></METADATA><ROWDATA><ROW No=\"1\" Time=\"13:05:09000\" Value=\"1.234\" Unit=\"M\xA6\xB8\" "
                 "V_Range=\"IR:500V 20G\xA6\xB8\" I_Range=\"Continuous\"/><ROW No=\"2\" Time=\"00:00:00000\" "
                 "Value=\"&lt;0.5\" Unit=\"V\" V_Range=\"DCV  600V\"/></ROWDATA></DATAPACKET>");
  }

  // How a packet's declaration decides what its text bytes are.
  void packetTextCoding_data() {
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("unit");    // stored; empty when refused
    QTest::addColumn<QString>("detail");     // of the refusal, after "line 15, column N: "

    const QByteArray other = readAll(QFINDTESTDATA("packets/utf8_packet.xml"));
    auto withUnit = [&other](const QByteArray& unit) { return QByteArray(other).replace("Unit=\"M\xCE\xA9\"", "Unit=\"" + unit + "\""); };
    QTest::newRow("UTF-8") << other << QByteArray("M\xA6\xB8") << QString();
    QTest::newRow("UTF-8 through a reference") << withUnit("M&#x3A9;") << QByteArray("M\xA6\xB8") << QString();
    QTest::newRow("UTF-8, other Chinese texts") << withUnit("\xE5\x85\x86\xE6\xAC\xA7") << QByteArray("\xD5\xD7\xC5\xB7")
                                                << QString();
    QTest::newRow("UTF-8 byte-order mark, no declaration")
        << "\xEF\xBB\xBF" + other.mid(other.indexOf('\n') + 1) << QByteArray("M\xA6\xB8") << QString();
    QTest::newRow("code page 936 declared") << QByteArray(other).replace("utf-8", "GB2312").replace("M\xCE\xA9", "M\xA6\xB8")
                                            << QByteArray("M\xA6\xB8") << QString();
    QTest::newRow("no encoding declared: bytes as they are")
        << QByteArray(other).replace(" encoding=\"utf-8\"", "") << QByteArray("M\xCE\xA9") << QString();
    QTest::newRow("a character without a CP936 form") << withUnit("M\xF0\x9F\x98\x80") << QByteArray()
                                                      << "the Unit text \"M?\" has a character without a code page 936 form";
    QTest::newRow("not UTF-8") << withUnit("M\xC3\x28") << QByteArray()
                               << "the Unit text is not UTF-8, as the packet declares";
  }

  void packetTextCoding() {
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, unit);
    QFETCH(QString, detail);
    writeFile(path("coded.xml"), packet);
    ReadingTable table;
    const TableFileOutcome outcome = loadTableFromFile(path("coded.xml"), table, twentyFourHours());
    QCOMPARE(outcome.ok, !unit.isEmpty());
    if (outcome.ok) {
      const std::string_view stored = *table.row(0).text(TextField::Unit);
      QCOMPARE(QByteArray(stored.data(), static_cast<qsizetype>(stored.size())), unit);
    } else {
      const qsizetype line15 = packet.indexOf("<ROW No=\"1\"");
      const qsizetype column = packet.indexOf("Unit=", line15) + 6 - packet.lastIndexOf('\n', line15);
      QCOMPARE(outcome.detail, QString("line 15, column %1: %2").arg(column).arg(detail));
      QCOMPARE(table.rowCount(), std::size_t{0});
    }
  }

  // What a failed load says, for the command-line tools: the line of a text file, the line and
  // column of a packet, and why.
  void loadFailureSaysWhereAndWhy_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("detail");

    const QByteArray header = "No\tTime\tValue\tUnit\tFunction\tRemark\r\n";
    const QByteArray good = "1\t00:00:01\ta\r\n";
    QTest::newRow("empty text file") << "t.txt" << QByteArray() << "line 1: the file is empty: a table file begins with a header line";
    QTest::newRow("No not a number") << "t.txt" << header + good + "1x\t00:00:01\r\n"
                                     << "line 3: \"1x\" is not a record number (No), a whole number from -2147483648 to 2147483647";
    QTest::newRow("No empty") << "t.txt" << header + "\t00:00:01\r\n" << "line 2: the record number (No) is empty";
    QTest::newRow("NULL time") << "t.txt" << header + good + good + "3\tNULL\r\n"
                               << "line 4: \"NULL\" is not a time of day (Time) like \"13:05:09\"";
    QTest::newRow("long piece cut in the message")
        << "t.txt" << header + "1\t12345678901234567890123\r\n"
        << "line 2: \"12345678901234567890...\" is not a time of day (Time) like \"13:05:09\"";
    QTest::newRow("seven fields") << "t.txt" << header + "1\t00:00:01\ta\tb\tc\td\te\r\n"
                                  << "line 2: the line has more than six fields separated by TAB";
    QTest::newRow("blank line") << "t.txt" << header + good + "\r\n" + good << "line 3: the line is empty";
    QTest::newRow("missing text file") << "missing.txt" << QByteArray("(none)")
                                       << "the file cannot be opened: No such file or directory";
    const QByteArray indented = "<?xml version=\"1.0\"?>\n<DATAPACKET Version=\"2.0\">\n <METADATA>\n  <FIELDS>\n" +
                                golden("table.xml").mid(golden("table.xml").indexOf("<FIELD "),
                                                        golden("table.xml").indexOf("</FIELDS>") -
                                                            golden("table.xml").indexOf("<FIELD ")) +
                                "\n  </FIELDS>\n  <PARAMS/>\n </METADATA>\n <ROWDATA>\n  <ROW No=\"1\"/>\n"
                                "  <ROW No=\"2\" Time=\"23:00:00\"/>\n </ROWDATA>\n</DATAPACKET>\n";
    QTest::newRow("packet: a bad time on line 11")
        << "p.xml" << QByteArray(indented).replace("23:00:00", "25:00:00")
        << "line 11, column 21: \"25:00:00\" is not a time of day (Time) as hh:nn:sssss or hh:nn:ss";
    QTest::newRow("packet: a field missing")
        << "p.xml" << QByteArray(indented).replace("<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>", "")
        << "line 6, column 12: the packet has no FIELD named \"Unit\"";
    QTest::newRow("packet: cut short") << "p.xml" << indented.left(indented.indexOf("</ROWDATA>"))
                                       << "line 12, column 2: the packet ends early: the ROWDATA element does not end";
    QTest::newRow("packet: an encoding it cannot read")
        << "p.xml" << QByteArray(indented).replace("version=\"1.0\"", "version=\"1.0\" encoding=\"ISO-8859-1\"")
        << "line 1, column 1: the packet's encoding \"ISO-8859-1\" cannot be read: UTF-8 and code page 936 can";
    QTest::newRow("packet: text after the end") << "p.xml" << indented + "<DATAPACKET/>"
                                                << "line 14, column 1: there is more after the end of the packet";
  }

  void loadFailureSaysWhereAndWhy() {
    QFETCH(QString, name);
    QFETCH(QByteArray, file);
    QFETCH(QString, detail);
    QFile::remove(path(name));
    if (file != "(none)") {
      writeFile(path(name), file);
    }
    ReadingTable table;
    const TableFileOutcome outcome = loadTableFromFile(path(name), table, twentyFourHours());
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.message, QString("Failed to Load File!"));
    QCOMPARE(outcome.detail, detail);
  }

  // Files of several megabytes are read a piece at a time and parsed on two threads: the rows,
  // their order, their states and the change log come back as one thread reads them.
  void longFilesReadWhole_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "long.txt";
    QTest::newRow("packet") << "long.xml";
  }

  void longFilesReadWhole() {
    QFETCH(QString, name);
    writeNewFile(path(name), longFile(name));
    QVERIFY(QFileInfo(path(name)).size() > 12'000'000);
    ReadingTable read;
    const TableFileOutcome outcome = loadTableFromFile(path(name), read, twentyFourHours());
    QVERIFY2(outcome.ok, qPrintable(outcome.detail));
    QCOMPARE(dump(read), name.endsWith(".xml") ? dump(longTable_) : dumpAsTextLoad(longTable_));
  }

  // A load that fails half-way, also where both threads parse: a text file leaves the rows of the
  // lines before the bad one, a packet leaves the table as it was.
  void failureHalfWayThroughALongFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("badLine");  // of a packet, the row
    QTest::newRow("text, early") << "long.txt" << 10;
    QTest::newRow("text, in the second block read") << "long.txt" << 120'000;
    QTest::newRow("text, in the last block") << "long.txt" << 299'000;
    QTest::newRow("packet, a row in the last, short block") << "long.xml" << 299'990;
    QTest::newRow("packet, a row in the middle of a block") << "long.xml" << 150'000;
  }

  void failureHalfWayThroughALongFile() {
    QFETCH(QString, name);
    QFETCH(int, badLine);
    QByteArray file = longFile(name);
    const bool packet = name.endsWith(".xml");
    qsizetype time = -1;  // of a packet, where the bad time begins
    if (packet) {
      for (int row = 0; row < badLine; ++row) {
        time = file.indexOf("Time=\"", time + 1);
      }
      time += 6;
      file.replace(time, 2, "99");
    } else {
      file = withLine(file, badLine, "7\tNULL");
    }
    writeNewFile(path(name), file);

    ReadingTable read;
    read.appendAdded(rowOf(1, 0, "kept"));
    const QByteArray before = dump(read);
    const TableFileOutcome outcome = loadTableFromFile(path(name), read, twentyFourHours());
    QVERIFY(!outcome.ok);
    if (packet) {
      QCOMPARE(dump(read), before);
      // The packet is one line; the place is told from the start of the bad time.
      const QByteArray badTime = file.mid(time, file.indexOf('"', time) - time);
      QCOMPARE(outcome.detail, QString("line 1, column %1: \"%2\" is not a time of day (Time) as hh:nn:sssss or hh:nn:ss")
                                   .arg(time + 1)
                                   .arg(QString::fromLatin1(badTime)));
      return;
    }
    QCOMPARE(outcome.detail, QString("line %1: \"NULL\" is not a time of day (Time) like \"13:05:09\"").arg(badLine));
    ReadingTable expected;
    expected.appendAdded(rowOf(1, 0, "kept"));
    for (int i = 0; i < badLine - 2; ++i) {
      RowFields row = longTable_.row(static_cast<std::size_t>(i));
      row.Time = *row.Time / 1000 * 1000;
      expected.appendAdded(row);
    }
    QCOMPARE(dump(read), dump(expected));
  }

  // Two bad lines where both threads parse: the last line of one piece and the first of the next.
  // The first has a remark of some megabytes, so that the later one is met first unless a thread
  // stalls meanwhile. The first is told, and the rows before it kept. The bytes are parsed from
  // memory, where the helper thread has no block to read first.
  void firstOfTwoBadLinesTold() {
    QByteArray file = longFile("long.txt");
    const auto headerEnd = static_cast<std::size_t>(file.indexOf('\n') + 1);
    // Where the piece that the lines parsed after the header are cut into begins.
    const auto pieceStart = [&](std::size_t piece) {
      const std::string_view lines = std::string_view(file.constData(), static_cast<std::size_t>(file.size())).substr(headerEnd);
      std::vector<std::string_view> pieces;
      qm::log::cutIntoPieces(lines, qm::log::afterLineFeed, pieces);
      return piece < pieces.size() ? static_cast<qsizetype>(headerEnd) + (pieces[piece].data() - lines.data()) : qsizetype{-1};
    };
    const qsizetype cut = pieceStart(150);
    QVERIFY(cut > 0);
    const auto lastLineOfPiece = static_cast<int>(file.left(cut).count('\n'));
    for (const int line : {lastLineOfPiece + 1, lastLineOfPiece}) {
      const QList<QByteArray> fields = lineOf(file, line).split('\t');
      const QByteArray remark = line == lastLineOfPiece ? QByteArray(4 << 20, 'r') : fields[5];
      file = withLine(file, line, fields[0] + "\tXXXXXXXX\t" + fields.mid(2, 3).join('\t') + '\t' + remark);
    }
    // Still the lines on either side of a cut.
    QCOMPARE(pieceStart(150), lineStart(file, lastLineOfPiece + 1));

    ReadingTable read;
    qm::log::ChunkedInput input(std::string_view(file.constData(), static_cast<std::size_t>(file.size())));
    const std::optional<qm::log::LoadFailure> failure = qm::log::readTextTable(input, twentyFourHours(), read, {});
    QVERIFY(failure);
    QCOMPARE(failure->what, std::string("\"XXXXXXXX\" is not a time of day (Time) like \"13:05:09\""));
    QCOMPARE(failure->line, std::optional<std::uint64_t>(lastLineOfPiece));
    QCOMPARE(read.rowCount(), static_cast<std::size_t>(lastLineOfPiece - 2));
  }

  // A file that another program cuts short while it is read fails cleanly: a text load keeps
  // only whole rows, a packet load changes nothing.
  void fileShortenedWhileRead_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("text") << "shortened.txt";
    QTest::newRow("packet") << "shortened.xml";
  }

  void fileShortenedWhileRead() {
    QFETCH(QString, name);
    writeNewFile(path(name), longFile(name));
    const qint64 size = QFileInfo(path(name)).size();
    ReadingTable read;
    read.appendAdded(rowOf(1, 0, "kept"));
    const QByteArray before = dump(read);
    bool cut = false;
    const qm::log::FileProgress shorten = [&](std::uint64_t, std::uint64_t) {
      if (!cut) {
        cut = QFile::resize(path(name), size / 2 + 3);
      }
    };
    const TableFileOutcome outcome = loadTableFromFile(path(name), read, twentyFourHours(), shorten);
    QVERIFY(cut);
    QVERIFY(!outcome.ok);
    QCOMPARE(outcome.detail, QString("the file became shorter while it was read"));
    if (name.endsWith(".xml")) {
      QCOMPARE(dump(read), before);
      return;
    }
    // The rows read are the file's first rows, whole.
    QVERIFY(read.rowCount() > 1 && read.rowCount() < longTable_.rowCount());
    ReadingTable expected;
    expected.appendAdded(rowOf(1, 0, "kept"));
    for (std::size_t i = 0; i + 1 < read.rowCount(); ++i) {
      RowFields row = longTable_.row(i);
      row.Time = *row.Time / 1000 * 1000;
      expected.appendAdded(row);
    }
    QCOMPARE(dump(read), dump(expected));
  }
};

int main(int argc, char* argv[]) {
  // A locale with a decimal comma; Qt takes its formats from its own data, so the system need
  // not have the locale installed.
  qputenv("LC_ALL", "de_DE.UTF-8");
  QCoreApplication app(argc, argv);
  TestTableFiles test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_table_files.moc"
