// The print-style dialog as the user meets it: its controls, and what OK does for each choice
// with a picture chosen, kept, cancelled, missing or unreadable.

#include "message_boxes.h"

#include "reports/print_style_dialog.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <optional>

using qm::reports::PrintStyleDialog;
using qm::reports::ReportKind;
using reports_test::MessageBoxes;

namespace {

struct Opened {
  ReportKind kind;
  QSize pictureSize;
};

// One step of the user: pick a choice, answer the picture dialog of a "..." button, or press OK.
struct Step {
  enum class Do { Choose, Pick, CancelPick, Ok } what;
  QString argument;  // Choose: the radio button; Pick: the file in the test's folder; others: the "..." button
};

Step choose(const char* radio) { return {Step::Do::Choose, QLatin1String(radio)}; }
Step pick(const char* file, const char* button = "Button1") { return {Step::Do::Pick, QLatin1String(file) + u'|' + QLatin1String(button)}; }
Step cancelPick(const char* button = "Button1") { return {Step::Do::CancelPick, QLatin1String(button)}; }
Step ok() { return {Step::Do::Ok, {}}; }

}  // namespace

Q_DECLARE_METATYPE(std::vector<Step>)
Q_DECLARE_METATYPE(std::optional<Opened>)

class TestPrintStyleDialog : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    // A chart snapshot is a Windows bitmap; PNG and JPEG pictures serve as well.
    QVERIFY(picture.save(folder_.filePath("snapshot.bmp"), "BMP"));
    QVERIFY(picture.scaled(80, 60).save(folder_.filePath("other.png"), "PNG"));
    QVERIFY(picture.scaled(20, 10).save(folder_.filePath("photo.jpg"), "JPEG"));
    QFile text(folder_.filePath("notes.bmp"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
  }

  // What the user sees when the dialog opens for the first time.
  void controls() {
    PrintStyleDialog dialog(nullptr, [](ReportKind, const QImage&) {});
    QCOMPARE(dialog.objectName(), QString("Frmprint"));
    QCOMPARE(dialog.windowTitle(), QString("Print Style"));
    QCOMPARE(dialog.findChild<QGroupBox*>("GroupBox1")->title(), QString("Select  Style"));
    const QStringList captions{"Data Report", "Graph Report", "Data+Graph Report"};
    for (int i = 0; i < 3; ++i) {
      auto* radio = dialog.findChild<QRadioButton*>(QString("RadioButton%1").arg(i + 1));
      QCOMPARE(radio->text(), captions[i]);
      QCOMPARE(radio->isChecked(), i == 0);
    }
    for (const char* name : {"Button1", "Button2"}) {
      auto* button = dialog.findChild<QPushButton*>(name);
      QCOMPARE(button->text(), QString("..."));
      QCOMPARE(button->toolTip(), QString("Select Graph"));
      QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
    }
    QVERIFY(dialog.findChild<QPushButton*>("BitBtn1")->isDefault());
    QCOMPARE(dialog.findChild<QPushButton*>("BitBtn2")->text(), QString("Cancel"));
    QCOMPARE(dialog.graphPictureFile(), QString());
  }

  void paths_data() {
    QTest::addColumn<std::vector<Step>>("steps");
    QTest::addColumn<std::optional<Opened>>("opened");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("pictureFile");  // GraphPictureFile afterwards, in the test's folder

    QTest::newRow("data report") << std::vector<Step>{ok()} << std::optional<Opened>({ReportKind::Data, {0, 0}}) << QStringList()
                                 << QString();
    QTest::newRow("graph report without a picture")
        << std::vector<Step>{choose("RadioButton2"), ok()} << std::optional<Opened>() << QStringList{" Warning:Please select graph to print! "}
        << QString();
    QTest::newRow("data+graph report without a picture")
        << std::vector<Step>{choose("RadioButton3"), ok()} << std::optional<Opened>() << QStringList{" Warning:Please select graph to print! "}
        << QString();
    QTest::newRow("graph report of a bitmap snapshot")
        << std::vector<Step>{choose("RadioButton2"), pick("snapshot.bmp"), ok()}
        << std::optional<Opened>({ReportKind::Graph, {40, 30}}) << QStringList() << "snapshot.bmp";
    QTest::newRow("picked beside the graph report, used by the data+graph report")
        << std::vector<Step>{pick("other.png", "Button1"), choose("RadioButton3"), ok()}
        << std::optional<Opened>({ReportKind::DataGraph, {80, 60}}) << QStringList() << "other.png";
    QTest::newRow("a JPEG picture") << std::vector<Step>{choose("RadioButton3"), pick("photo.jpg", "Button2"), ok()}
                                    << std::optional<Opened>({ReportKind::DataGraph, {20, 10}}) << QStringList() << "photo.jpg";
    QTest::newRow("a cancelled picture dialog keeps the picture")
        << std::vector<Step>{pick("snapshot.bmp"), cancelPick("Button2"), choose("RadioButton2"), ok()}
        << std::optional<Opened>({ReportKind::Graph, {40, 30}}) << QStringList() << "snapshot.bmp";
    QTest::newRow("an unreadable picture") << std::vector<Step>{choose("RadioButton2"), pick("notes.bmp"), ok()}
                                           << std::optional<Opened>() << QStringList{"Cannot load the picture \"%1/notes.bmp\": "}
                                           << "notes.bmp";
    QTest::newRow("a picture gone since it was chosen")
        << std::vector<Step>{choose("RadioButton3"), pick("gone.png"), ok()} << std::optional<Opened>()
        << QStringList{"Cannot load the picture \"%1/gone.png\": "} << "gone.png";
  }

  // OK opens the chosen report or says why not, and closes the dialog with OK either way.
  void paths() {
    QFETCH(std::vector<Step>, steps);
    QFETCH(std::optional<Opened>, opened);
    QFETCH(QStringList, messages);
    QFETCH(QString, pictureFile);
    std::vector<Opened> reports;
    PrintStyleDialog dialog(nullptr, [&reports](ReportKind kind, const QImage& picture) {
      reports.push_back({kind, picture.size()});
    });
    std::deque<QString> answers;
    dialog.setFileDialogRunner([&answers](QFileDialog& picker) {
      // "gone.png" stands for a file removed between choosing it and OK.
      const QString answer = answers.front();
      answers.pop_front();
      return picker.objectName() == "OpenPictureDialog1" ? answer : QString("(wrong dialog)");
    });
    MessageBoxes boxes;
    dialog.show();
    for (const Step& step : steps) {
      switch (step.what) {
        case Step::Do::Choose: dialog.findChild<QRadioButton*>(step.argument)->click(); break;
        case Step::Do::Pick:
          answers.push_back(folder_.filePath(step.argument.section(u'|', 0, 0)));
          dialog.findChild<QPushButton*>(step.argument.section(u'|', 1))->click();
          break;
        case Step::Do::CancelPick:
          answers.push_back(QString());
          dialog.findChild<QPushButton*>(step.argument)->click();
          break;
        case Step::Do::Ok: QTest::keyClick(&dialog, Qt::Key_Return); break;
      }
    }
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.isHidden());
    QCOMPARE(reports.size(), opened ? std::size_t{1} : std::size_t{0});
    if (opened) {
      QCOMPARE(int(reports.front().kind), int(opened->kind));
      QCOMPARE(reports.front().pictureSize, opened->pictureSize);
    }
    QCOMPARE(boxes.texts().size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
      const QString expected = messages[i].contains("%1") ? messages[i].arg(folder_.path()) : messages[i];
      QVERIFY2(boxes.texts()[i].startsWith(expected), qPrintable(boxes.texts()[i]));
      QCOMPARE(boxes.seen()[std::size_t(i)].icon,
               messages[i].startsWith(" Warning") ? QMessageBox::Information : QMessageBox::Critical);
    }
    QCOMPARE(dialog.graphPictureFile(), pictureFile.isEmpty() ? QString() : folder_.filePath(pictureFile));
  }

  // The dialog is made once and shown again and again: choice and picture stay; Cancel and Esc
  // open nothing.
  void keptBetweenOpenings() {
    int opened = 0;
    PrintStyleDialog dialog(nullptr, [&opened](ReportKind, const QImage&) { ++opened; });
    dialog.setFileDialogRunner([this](QFileDialog&) { return folder_.filePath("snapshot.bmp"); });
    dialog.show();
    dialog.findChild<QRadioButton*>("RadioButton3")->click();
    dialog.findChild<QPushButton*>("Button2")->click();
    dialog.findChild<QPushButton*>("BitBtn2")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isHidden());
    QCOMPARE(opened, 0);
    dialog.show();
    QCOMPARE(int(dialog.choice()), int(ReportKind::DataGraph));
    QCOMPARE(dialog.graphPictureFile(), folder_.filePath("snapshot.bmp"));
    dialog.findChild<QPushButton*>("BitBtn1")->click();
    QCOMPARE(opened, 1);
  }

private:
  QTemporaryDir folder_;
};

QTEST_MAIN(TestPrintStyleDialog)
#include "tst_print_style_dialog.moc"
