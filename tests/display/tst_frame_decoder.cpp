#include "display/digit_patterns.h"
#include "display/frame_decoder.h"
#include "frame_builder.h"

#include <QtTest>

#include <set>

using namespace qm::display;

namespace {

QByteArray bytes(std::string_view text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

std::set<std::string_view> litNames(const PanelState& panel) {
  std::set<std::string_view> names;
  for (std::size_t i = 0; i < kPanelElementCount; ++i) {
    if (panel.isLit(static_cast<PanelElement>(i))) {
      names.insert(name(static_cast<PanelElement>(i)));
    }
  }
  return names;
}

// A decoder over its own panel, counting the frames that offered a reading for logging.
struct Fixture {
  PanelState panel = PanelState::startupLook();
  FrameDecoder decoder{panel};
  int logRequests = 0;

  explicit Fixture(std::string_view separator = ".") {
    decoder.setDecimalSeparator(separator);
  }
  Fixture& decode(const std::string& frame) {
    if (decoder.decodeFrame(frame)) {
      ++logRequests;
    }
    return *this;
  }
};

}  // namespace

class TestFrameDecoder : public QObject {
  Q_OBJECT

private slots:
  void hexDigitValue() {
    const std::string hex = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
      QCOMPARE(qm::display::hexDigitValue(hex[static_cast<std::size_t>(i)]), i);
    }
    for (const char other : {'a', 'f', 'G', ' ', '\0', '/', ':'}) {
      QCOMPARE(qm::display::hexDigitValue(other), -1);
    }
  }

  void digitTables_data() {
    QTest::addColumn<bool>("tableB");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected");
    const char* shown = "0123456789@";
    const char* a[] = {"7D", "60", "3E", "7A", "63", "5B", "5F", "70", "7F", "7B", "0D"};
    const char* aFlag[] = {"FD", "E0", "BE", "FA", "E3", "DB", "DF", "F0", "FF", "FB", "8D"};
    const char* b[] = {"D7", "50", "E3", "F1", "F0", "B5", "B7", "D0", "F7", "F5", "07"};
    const char* bFlag[] = {"DF", "58", "EB", "F9", "F8", "BD", "BF", "D8", "FF", "FD", "0F"};
    for (int i = 0; i < 11; ++i) {
      const QString s(QChar(shown[i]));
      QTest::addRow("A %s", a[i]) << false << a[i] << s + "N";
      QTest::addRow("A %s", aFlag[i]) << false << aFlag[i] << s + "P";
      QTest::addRow("B %s", b[i]) << true << b[i] << s + "N";
      QTest::addRow("B %s", bFlag[i]) << true << bFlag[i] << s + "P";
    }
    QTest::newRow("A blank") << false << "00" << "HN";
    QTest::newRow("B blank") << true << "00" << "HN";
    QTest::newRow("A flag alone") << false << "80" << "GP";
    QTest::newRow("B flag alone") << true << "08" << "GP";
    QTest::newRow("B 74 is no four") << true << "74" << "GP";
    QTest::newRow("A unknown") << false << "01" << "GP";
    QTest::newRow("lower case is compared exactly") << false << "7d" << "GP";
    QTest::newRow("only two characters count") << false << "7DXYZ" << "0N";
    QTest::newRow("short text") << false << "7" << "GP";
  }
  void digitTables() {
    QFETCH(bool, tableB);
    QFETCH(QString, code);
    QFETCH(QString, expected);
    const std::string text = code.toStdString();
    const DigitCode result = tableB ? decodeDigitTableB(text) : decodeDigitTableA(text);
    QCOMPARE(QString("%1%2").arg(result.shown).arg(result.mark), expected);
  }

  void startupValues() {
    Fixture f;
    QCOMPARE(bytes(f.decoder.currentValue()), QByteArray("0000"));
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray());
    QCOMPARE(bytes(f.decoder.currentFunction()), QByteArray("IR:500V 20G\xA6\xB8"));
    QCOMPARE(bytes(f.decoder.currentMode()), QByteArray("40.0A"));
  }

  void mainValue_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<bool>("minus");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QStringList>("lit");
    QTest::addColumn<QStringList>("dark");
    using namespace codeA;
    QTest::newRow("1.234") << "." << QList<int>{k1 | kFlag, k2, k3, k4} << false << QByteArray("1.234")
                           << QStringList{"Point1", "LabelA"} << QStringList{"Point2", "Point3", "LabelF", "Labto"};
    QTest::newRow("-1.234") << "." << QList<int>{k1 | kFlag, k2, k3, k4} << true << QByteArray("-1.234")
                            << QStringList{"Point1", "LabelF"} << QStringList{"Point2"};
    QTest::newRow("decimal comma") << "," << QList<int>{k1 | kFlag, k2, k3, k4} << false << QByteArray("1,234")
                                   << QStringList{"Point1"} << QStringList{};
    QTest::newRow("no separator from the locale") << "" << QList<int>{k1 | kFlag, k2, k3, k4} << false
                                                  << QByteArray("1234") << QStringList{"Point1"} << QStringList{};
    QTest::newRow("leading blanks add nothing") << "." << QList<int>{0, 0, k5, k0} << false << QByteArray("50")
                                                << QStringList{"LabelC", "LabelD"} << QStringList{"LabelA", "LabelB"};
    QTest::newRow("letter L") << "." << QList<int>{0, 0, k0, kL} << false << QByteArray("0L")
                              << QStringList{"LabelD"} << QStringList{};
    QTest::newRow("fourth flag is TΩ") << "." << QList<int>{k1, k2, k3, k4 | kFlag} << false
                                       << QByteArray("1234") << QStringList{"Labto"}
                                       << QStringList{"Point1", "Point2", "Point3"};
    QTest::newRow("two points") << "." << QList<int>{k1 | kFlag, k2 | kFlag, k3, k9} << false
                                << QByteArray("1.2.39") << QStringList{"Point1", "Point2"} << QStringList{};
  }
  void mainValue() {
    QFETCH(QString, separator);
    QFETCH(QList<int>, codes);
    QFETCH(bool, minus);
    QFETCH(QByteArray, value);
    QFETCH(QStringList, lit);
    QFETCH(QStringList, dark);
    Fixture f(separator.toStdString());
    FrameBuilder frame;
    for (int i = 0; i < 4; ++i) {
      frame.valueDigit(i + 1, codes[i]);
    }
    if (minus) {
      frame.bits(8, 4);
    }
    f.decode(frame);
    QCOMPARE(bytes(f.decoder.currentValue()), value);
    QCOMPARE(f.logRequests, 1);
    for (const QString& e : lit) {
      QVERIFY2(f.panel.isLit(*elementByName(e.toStdString())), qPrintable(e));
    }
    for (const QString& e : dark) {
      QVERIFY2(!f.panel.isLit(*elementByName(e.toStdString())), qPrintable(e));
    }
  }

  void letterKeepsItsText() {
    Fixture f;
    f.decode(FrameBuilder().valueDigit(3, codeA::k0).valueDigit(4, codeA::kL));
    QCOMPARE(f.panel.digitText(Digit::LabelD), '@');
  }

  void blankValueAsksNothing_data() {
    QTest::addColumn<bool>("minus");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("plain") << false << QByteArray("");
    QTest::newRow("minus alone") << true << QByteArray("-");
  }
  void blankValueAsksNothing() {
    QFETCH(bool, minus);
    QFETCH(QByteArray, value);
    Fixture f;
    FrameBuilder frame;
    if (minus) {
      frame.bits(8, 4);
    }
    f.decode(frame);
    QCOMPARE(bytes(f.decoder.currentValue()), value);
    QCOMPARE(f.logRequests, 0);
    QVERIFY(!f.panel.isLit(Digit::LabelA) && !f.panel.isLit(Digit::LabelD));
  }

  // A pattern in neither form of the table leaves the digit as it was, but a digit left lit still
  // counts as a shown value.
  void unknownPatternKeepsTheDigit() {
    Fixture f;
    f.decode(FrameBuilder().valueDigit(1, codeA::k7).valueDigit(2, codeA::k2));
    f.decode(FrameBuilder().valueDigit(1, 0x01).valueDigit(2, codeA::kFlag));
    QCOMPARE(f.panel.digitText(Digit::LabelA), '7');
    QVERIFY(f.panel.isLit(Digit::LabelA));
    QCOMPARE(f.panel.digitText(Digit::LabelB), '2');
    QVERIFY(!f.panel.isLit(PanelElement::Point2));
    QCOMPARE(bytes(f.decoder.currentValue()), QByteArray(""));
    QCOMPARE(f.logRequests, 2);

    // The flag alone in table B is no pattern either: the digit and its NG sign stay as they were.
    f.decode(FrameBuilder().testVoltageDigit(2, codeB::k5));
    f.decode(FrameBuilder().testVoltageDigit(2, codeB::kFlag));
    QCOMPARE(f.panel.digitText(Digit::Label7), '5');
    QVERIFY(!f.panel.isLit(PanelElement::Labng));
    // Table B's "4" is F0; 74 is nothing.
    f.decode(FrameBuilder().testVoltageDigit(4, 0xF0));
    QCOMPARE(f.panel.digitText(Digit::Label9), '4');
    f.decode(FrameBuilder().testVoltageDigit(4, 0x74));
    QCOMPARE(f.panel.digitText(Digit::Label9), '4');
  }

  // Each frame bit on its own lights exactly its elements, plus what every decoded frame lights;
  // the digits all read code 00 and go dark.
  void frameBits_data() {
    QTest::addColumn<int>("character");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QStringList>("elements");
    const struct {
      int character;
      const char* names[4];
    } rows[] = {
        {1, {"bar6", "bar5", "bar4", "bar3"}},       {2, {"bar7", "bar8", "bar9", "bar10"}},
        {3, {"bar14", "bar13", "bar12", "bar11"}},   {4, {"bar15", "bar16", "bar17", "bar18"}},
        {5, {"bar22", "bar21", "bar20", "bar19"}},   {6, {"bar23", "bar24", "bar25", "bar26"}},
        {7, {"bar30", "bar29", "bar28", "bar27"}},   {8, {"labdc Shape1 Shape2 Shape3 Shape4", "labt labac", "LabelF", "labmo"}},
        {19, {"power", "labs1", "labs2", "labs3"}},  {20, {"labLoad", "labsave", "labtime2", "labTIME1"}},
        {29, {"Labv", "Labo", "Labmo1", "Labgo1"}},  {38, {"IMmike", "", "labp1", "stor1"}},
        {39, {"IMoff", "Bar0", "BAR1", "bar2"}},     {40, {"IGPower", "powerv3", "powerv2", "powerV1"}},
    };
    for (const auto& row : rows) {
      for (int b = 0; b < 4; ++b) {
        QStringList names = QString(row.names[b]).split(' ', Qt::SkipEmptyParts);
        QTest::addRow("char %d bit %d", row.character, b) << row.character << b << names;
      }
    }
  }
  void frameBits() {
    QFETCH(int, character);
    QFETCH(int, bit);
    QFETCH(QStringList, elements);
    Fixture f;
    f.decode(FrameBuilder().bits(character, 1 << bit));
    std::set<std::string_view> expected = {"CONok", "rsUSB"};
    if (!(character == 8 && bit <= 1)) {
      expected.insert("KD");
    }
    std::vector<std::string> storage;
    for (const QString& e : elements) {
      storage.push_back(e.toStdString());
    }
    expected.insert(storage.begin(), storage.end());
    const std::set<std::string_view> lit = litNames(f.panel);
    QCOMPARE(std::vector(lit.begin(), lit.end()), std::vector(expected.begin(), expected.end()));
  }

  void digitFlags_data() {
    QTest::addColumn<int>("highCharacter");
    QTest::addColumn<int>("lowCharacter");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("digit");
    QTest::addColumn<QStringList>("flagElements");
    QTest::newRow("H_Time1") << 15 << 16 << (codeA::k1 | codeA::kFlag) << "H_Time1" << QStringList{"Labclr"};
    QTest::newRow("H_Time2") << 13 << 14 << (codeA::k2 | codeA::kFlag) << "H_Time2"
                             << QStringList{"T_dPoint1", "Labtime"};
    QTest::newRow("M_Time1") << 11 << 12 << (codeA::k3 | codeA::kFlag) << "M_Time1" << QStringList{"labCOMP"};
    QTest::newRow("M_Time2") << 9 << 10 << (codeA::k4 | codeA::kFlag) << "M_Time2" << QStringList{"Labgo"};
    QTest::newRow("stor2") << 17 << 18 << (codeA::k5 | codeA::kFlag) << "stor2" << QStringList{"LabFUL"};
    QTest::newRow("Label3") << 31 << 30 << (codeB::k1 | codeB::kFlag) << "Label3" << QStringList{"danger"};
    QTest::newRow("Label7") << 33 << 32 << (codeB::k2 | codeB::kFlag) << "Label7" << QStringList{"Labng"};
    QTest::newRow("Label10") << 35 << 34 << (codeB::k5 | codeB::kFlag) << "Label10" << QStringList{"Labgood"};
    QTest::newRow("Label9") << 37 << 36 << (codeB::k0 | codeB::kFlag) << "Label9" << QStringList{"Label4"};
  }
  void digitFlags() {
    QFETCH(int, highCharacter);
    QFETCH(int, lowCharacter);
    QFETCH(int, code);
    QFETCH(QString, digit);
    QFETCH(QStringList, flagElements);
    Fixture f;
    f.decode(FrameBuilder().code(highCharacter, lowCharacter, code));
    for (const QString& e : flagElements) {
      QVERIFY2(f.panel.isLit(*elementByName(e.toStdString())), qPrintable(e));
    }
    // The same digit without its flag: the flag elements go dark; the colon never blinks on its own.
    const int flag = highCharacter >= 30 ? codeB::kFlag : codeA::kFlag;
    f.decode(FrameBuilder().code(highCharacter, lowCharacter, code & ~flag));
    for (const QString& e : flagElements) {
      QVERIFY2(!f.panel.isLit(*elementByName(e.toStdString())), qPrintable(e));
    }
    QVERIFY(f.panel.isLit(*elementByName(digit.toStdString())));
    QCOMPARE(bytes(f.decoder.currentValue()), QByteArray(""));
  }

  void functionAndUnit() {
    Fixture f;
    // DC and AC together: AC is read last, the bar graph goes, the test-voltage rules are skipped.
    f.decode(FrameBuilder().bits(8, 3).testVoltageDigit(1, codeB::k1).testVoltageDigit(2, codeB::k0));
    QCOMPARE(bytes(f.decoder.currentFunction()), QByteArray("ACV  600V"));
    QVERIFY(!f.panel.isLit(PanelElement::KD));
    f.decode(FrameBuilder().bits(8, 1));
    QCOMPARE(bytes(f.decoder.currentFunction()), QByteArray("DCV  600V"));
    // A frame without DC or AC shows the bar graph again and keeps the function without a match.
    f.decode(FrameBuilder().testVoltageDigit(1, codeB::k0).testVoltageDigit(2, codeB::k2));
    QVERIFY(f.panel.isLit(PanelElement::KD));
    QCOMPARE(bytes(f.decoder.currentFunction()), QByteArray("DCV  600V"));

    // Unit bits: the higher bit wins, no bit keeps the last unit.
    f.decode(FrameBuilder().bits(29, 3));
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray("\xA6\xB8"));
    QVERIFY(f.panel.isLit(PanelElement::Labv) && f.panel.isLit(PanelElement::Labo));
    f.decode(FrameBuilder().bits(29, 0xF));
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray("G\xA6\xB8"));
    f.decode(FrameBuilder().bits(29, 4));
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray("M\xA6\xB8"));
    f.decode(FrameBuilder());
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray("M\xA6\xB8"));
    // TΩ sets no unit text.
    f.decode(FrameBuilder().valueDigit(4, codeA::k1 | codeA::kFlag));
    QCOMPARE(bytes(f.decoder.currentUnit()), QByteArray("M\xA6\xB8"));
  }

  void mode_data() {
    QTest::addColumn<bool>("timed");
    QTest::addColumn<bool>("pi");
    QTest::addColumn<int>("flags");  // 1: Label7 (NG), 2: Label10 (GOOD)
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("nothing") << false << false << 0 << QByteArray("Continuous");
    QTest::newRow("timed") << true << false << 0 << QByteArray("Timed");
    QTest::newRow("timed and PI") << true << true << 0 << QByteArray("PI");
    QTest::newRow("PI and GOOD") << true << true << 2 << QByteArray("COMP:GOOD");
    QTest::newRow("NG") << false << false << 1 << QByteArray("COMP:NG");
    QTest::newRow("NG and GOOD") << false << true << 3 << QByteArray("COMP:GOOD");
  }
  void mode() {
    QFETCH(bool, timed);
    QFETCH(bool, pi);
    QFETCH(int, flags);
    QFETCH(QByteArray, mode);
    Fixture f;
    FrameBuilder frame;
    if (timed) {
      frame.bits(19, 1);
    }
    if (pi) {
      frame.bits(38, 4);
    }
    if (flags & 1) {
      frame.testVoltageDigit(2, codeB::k0 | codeB::kFlag);
    }
    if (flags & 2) {
      frame.testVoltageDigit(3, codeB::k0 | codeB::kFlag);
    }
    f.decode(frame);
    QCOMPARE(bytes(f.decoder.currentMode()), mode);
  }

  void insulationFunction_data() {
    QTest::addColumn<QList<int>>("digits");  // test-voltage codes, table B
    QTest::addColumn<QByteArray>("function");
    using namespace codeB;
    QTest::newRow("500 V") << QList<int>{0, k5, k0, k0} << QByteArray("IR:500V 20G\xA6\xB8");
    QTest::newRow("1000 V") << QList<int>{k1, k0, k0, k0} << QByteArray("IR:1000V 40G\xA6\xB8");
    QTest::newRow("2500 V") << QList<int>{k2, k5, k0, k0} << QByteArray("IR:2500 100G\xA6\xB8");
    QTest::newRow("5000 V") << QList<int>{k5, k0, k0, k0} << QByteArray("IR:5000V 1000G\xA6\xB8");
    QTest::newRow("no match keeps the function") << QList<int>{k0, k2, k5, k0} << QByteArray("ACV  600V");
    // A lit first digit showing 5 is not the 500 V range.
    QTest::newRow("lit 5 5") << QList<int>{k5, k5, k0, k0} << QByteArray("ACV  600V");
  }
  void insulationFunction() {
    QFETCH(QList<int>, digits);
    QFETCH(QByteArray, function);
    Fixture f;
    f.decode(FrameBuilder().bits(8, 2));  // start from a known function
    FrameBuilder frame;
    for (int i = 0; i < 4; ++i) {
      frame.testVoltageDigit(i + 1, digits[i]);
    }
    f.decode(frame);
    QCOMPARE(bytes(f.decoder.currentFunction()), function);
  }

  // A blanked digit keeps its text, and the rules read texts of dark digits too.
  void blankedDigitStillCounts() {
    Fixture f;
    f.decode(FrameBuilder().testVoltageDigit(1, codeB::k2).testVoltageDigit(2, codeB::k0));
    f.decode(FrameBuilder().testVoltageDigit(1, 0).testVoltageDigit(2, codeB::k5));
    QVERIFY(!f.panel.isLit(Digit::Label3));
    QCOMPARE(bytes(f.decoder.currentFunction()), QByteArray("IR:2500 100G\xA6\xB8"));
  }

  void frameEnd_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("decoded");
    const std::string good = FrameBuilder().valueDigit(4, codeA::k7).bits(1, 1);
    QTest::newRow("whole") << QByteArray::fromStdString(good) << true;
    QTest::newRow("characters after the 44th are ignored") << QByteArray::fromStdString(good + "ZZ0D0A") << true;
    QTest::newRow("43 characters") << QByteArray::fromStdString(good.substr(0, 43)) << false;
    QTest::newRow("no CR") << QByteArray::fromStdString(FrameBuilder().valueDigit(4, codeA::k7).end("0E0A")) << false;
    QTest::newRow("no LF") << QByteArray::fromStdString(FrameBuilder().valueDigit(4, codeA::k7).end("0D0D")) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("not hex") << QByteArray::fromStdString("G" + good.substr(1)) << false;
    QTest::newRow("lower case") << QByteArray::fromStdString(std::string(good).replace(0, 1, "a")) << false;
  }
  void frameEnd() {
    QFETCH(QByteArray, text);
    QFETCH(bool, decoded);
    Fixture f;
    f.panel.darken(PanelElement::CONok);
    f.panel.light(PanelElement::CONokN);
    f.panel.darken(PanelElement::rsUSB);
    f.decode(text.toStdString());
    // Every call lights the link icon and resets value and mode, decoded or not.
    QVERIFY(f.panel.isLit(PanelElement::CONok) && !f.panel.isLit(PanelElement::CONokN));
    QVERIFY(f.panel.isLit(PanelElement::rsUSB));
    QCOMPARE(bytes(f.decoder.currentMode()), QByteArray("Continuous"));
    QCOMPARE(bytes(f.decoder.currentValue()), decoded ? QByteArray("7") : QByteArray(""));
    QCOMPARE(f.logRequests, decoded ? 1 : 0);
    // A frame that is not decoded leaves the start-up look alone.
    QCOMPARE(f.panel.isLit(PanelElement::bar30), !decoded);
    QCOMPARE(f.panel.digitText(Digit::LabelD), decoded ? '7' : '8');
  }

  void dispInitDarkensExactlyItsSet() {
    PanelState panel = PanelState::startupLook();
    panel.darkenIndicators();
    const std::set<std::string_view> lit = litNames(panel);
    const std::set<std::string_view> expected = {"LabelA", "LabelB", "LabelC",  "LabelD",  "Label3",
                                                 "Label7", "Label10", "Label9", "H_Time1", "H_Time2",
                                                 "M_Time1", "M_Time2", "stor2", "KD",      "CONokN", "rsUSB"};
    QCOMPARE(std::vector(lit.begin(), lit.end()), std::vector(expected.begin(), expected.end()));
    QCOMPARE(panel.digitText(Digit::LabelA), '8');
    QCOMPARE(panel.digitText(Digit::Label3), '0');
  }
};

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "tst_frame_decoder.moc"
