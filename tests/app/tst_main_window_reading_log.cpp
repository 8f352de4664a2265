// The reading log as the user meets it in the window: decoded frames become grid rows, and the
// toolbar, the Record and File menus, Ctrl+Delete and the file dialogs act on them.

#include "app/main_window.h"
#include "app/window_answers.h"
#include "meter/live_meter.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QCheckBox>
#include <QToolButton>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>

using qm::app::MainWindow;

class TestMainWindowReadingLog : public QObject {
  Q_OBJECT
private slots:
  void init() {
    window_ = std::make_unique<MainWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() { window_.reset(); }

  void decodedFramesBecomeGridRows() {
    showReadingAt(10'000);
    showReadingAt(40'000);
    QTableView* grid = this->grid();
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->model()->index(1, 0).data().toString(), QString("2"));
    QVERIFY(grid->model()->index(1, 3).data().toString().endsWith(QChar(0x03A9)));
    QCOMPARE(grid->model()->index(1, 4).data().toString(), QString("IR:500V 20G\u03A9"));
    QCOMPARE(grid->currentIndex().row(), 1);  // the grid follows the newest row
    QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 3);
  }

  void clearAllAndNew_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("Record > Clear All") << "ClearR";
    QTest::newRow("toolbar Delete Data") << "SpeedButton2";
    QTest::newRow("File > New") << "New";
  }
  void clearAllAndNew() {
    QFETCH(QString, command);
    showReadingAt(10'000);
    showReadingAt(40'000);
    SeenBox seen;
    ModalAnswers answers({pressInBox(seen)});
    if (auto* action = window_->findChild<QAction*>(command)) {
      action->trigger();
    } else {
      window_->findChild<QToolButton*>(command)->click();
    }
    QVERIFY(answers.allAnswered());
    QCOMPARE(seen.text, QString(" Warning:all Records will be deleted! "));
    QCOMPARE(seen.icon, QMessageBox::Information);
    QCOMPARE(grid()->model()->rowCount(), 0);
    showReadingAt(70'000);
    QCOMPARE(window_->liveMeter().table().row(0).No, std::optional<std::int32_t>(1));
  }

  void ctrlDeleteAsksFirst() {
    showReadingAt(10'000);
    showReadingAt(40'000);
    grid()->setFocus();
    grid()->setCurrentIndex(grid()->model()->index(0, 0));

    SeenBox seen;
    {
      ModalAnswers answers({pressInBox(seen, QMessageBox::Cancel)});
      QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(seen.text, QString("Delete record?"));
    QCOMPARE(grid()->model()->rowCount(), 2);
    {
      ModalAnswers answers({pressInBox(seen, QMessageBox::Ok)});
      QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(grid()->model()->rowCount(), 1);
    QCOMPARE(grid()->model()->index(0, 0).data().toString(), QString("2"));
    QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 3);  // numbering keeps the gap
  }

  void intervalFieldTakesDigitsOnly() {
    auto* field = window_->findChild<QLineEdit*>(QStringLiteral("RecordSITime"));
    field->clear();
    QTest::keyClicks(field, "1a-2.5");
    QCOMPARE(field->text(), QString("125"));
    QCOMPARE(window_->liveMeter().logger().sampleCountdown(), 125);

    field->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("-4 s"));
    field->paste();
    QCOMPARE(field->text(), QString("4"));
    QCOMPARE(window_->liveMeter().logger().sampleCountdown(), 4);
  }

  void intervalBeyondTheIntegerRange() {
    auto* field = window_->findChild<QLineEdit*>(QStringLiteral("RecordSITime"));
    field->setText(QStringLiteral("5"));
    SeenBox seen;
    {
      ModalAnswers answers({pressInBox(seen)});
      field->setText(QStringLiteral("99999999999"));
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(seen.text, QString("'99999999999' is not a valid integer value"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QCOMPARE(window_->liveMeter().logger().sampleCountdown(), 5);

    // A reading that arrives now is not logged, and the history says why.
    showReadingAt(10'000);
    QCOMPARE(grid()->model()->rowCount(), 0);
    auto* history = window_->findChild<QListWidget*>(QStringLiteral("HistoryListBox"));
    QVERIFY(history->count() > 0);
    QVERIFY(history->item(history->count() - 1)->text().contains("'99999999999' is not a valid integer value"));
  }

  void recordLimitFromTheMenu() {
    window_->findChild<QAction*>(QStringLiteral("set1k"))->trigger();
    QCOMPARE(window_->liveMeter().logger().recordLimit(), 1000);
    window_->findChild<QAction*>(QStringLiteral("setlimit"))->trigger();
    QCOMPARE(window_->liveMeter().logger().recordLimit(), 10'000'000);
  }

  void saveAndOpenThroughTheDialogs() {
    QTemporaryDir folder;
    showReadingAt(10'000);
    showReadingAt(40'000);
    FileChoice choice(folder.filePath(QStringLiteral("readings.xml")));
    window_->tableFileCommands().setFileDialogRunner(answerWith(choice));

    SeenBox saved;
    {
      ModalAnswers answers({pressInBox(saved)});
      window_->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(choice.filters, QStringList({"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)"}));
    QCOMPARE(choice.defaultSuffix, QString("xls"));
    QCOMPARE(saved.text, "Save table to specified file: " + choice.path + " Scuss!");
    QCOMPARE(saved.icon, QMessageBox::NoIcon);
    QCOMPARE(saved.informativeText, QString());

    window_->liveMeter().table().clear();
    window_->findChild<QAction*>(QStringLiteral("Open"))->trigger();
    QCOMPARE(choice.filters, QStringList({"Excel File(*.xls)", "XML (*.xml)", "Txt File(*.txt)"}));
    QCOMPARE(choice.defaultSuffix, QString());
    QCOMPARE(grid()->model()->rowCount(), 2);

    // The open dialog offers the name chosen last; the save dialog starts empty every time.
    window_->findChild<QAction*>(QStringLiteral("Open"))->trigger();
    QCOMPARE(choice.offeredName, QString("readings.xml"));
    choice.path.clear();  // the user cancels
    window_->findChild<QAction*>(QStringLiteral("Save_as"))->trigger();
    QCOMPARE(choice.offeredName, QString());
  }

  // A text file opened adds its rows to the table and leaves the numbering alone: the next logged
  // reading goes on from the last one logged, and a text save leaves the cursor on the last row.
  void textFilesKeepTheNumberingAndEndOnTheLastRow() {
    QTemporaryDir folder;
    FileChoice choice(folder.filePath(QStringLiteral("readings.txt")));
    window_->tableFileCommands().setFileDialogRunner(answerWith(choice));
    for (const int ms : {10'000, 20'000, 30'000}) {
      showReadingAt(ms);
    }
    grid()->setCurrentIndex(grid()->model()->index(0, 0));
    SeenBox seen;
    {
      ModalAnswers answers({pressInBox(seen)});
      window_->findChild<QAction*>(QStringLiteral("Save_as"))->trigger();
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(window_->liveMeter().table().currentRow(), std::optional<std::size_t>(2));
    QCOMPARE(grid()->currentIndex().row(), 2);

    window_->findChild<QAction*>(QStringLiteral("Open"))->trigger();
    QCOMPARE(grid()->model()->rowCount(), 6);  // appended, numbered as in the file
    QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 4);
    showReadingAt(40'000);
    QCOMPARE(window_->liveMeter().table().row(6).No, std::optional<std::int32_t>(4));
  }

  // Clear All asks even with nothing to delete, and numbering starts again at 1; File > New keeps
  // the last logged value, so the repeat rule still holds back the same reading.
  void clearAllOnAnEmptyTableAndNewKeepsTheLastValue() {
    showReadingAt(10'000);
    grid()->setFocus();
    grid()->setCurrentIndex(grid()->model()->index(0, 0));
    SeenBox seen;
    {
      ModalAnswers answers({pressInBox(seen, QMessageBox::Ok)});
      QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(grid()->model()->rowCount(), 0);
    QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 2);
    {
      ModalAnswers answers({pressInBox(seen)});
      window_->findChild<QAction*>(QStringLiteral("ClearR"))->trigger();
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(seen.text, QString(" Warning:all Records will be deleted! "));
    QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 1);

    window_->findChild<QCheckBox*>(QStringLiteral("RepeatSet"))->setChecked(false);
    showReadingAt(10'000);
    const std::string lastValue = window_->liveMeter().logger().lastLoggedValue();
    {
      ModalAnswers answers({pressInBox(seen)});
      window_->findChild<QAction*>(QStringLiteral("New"))->trigger();
      QVERIFY(answers.allAnswered());
    }
    QCOMPARE(window_->liveMeter().logger().lastLoggedValue(), lastValue);
    showReadingAt(10'000);  // the same value again: held back by the repeat rule
    QCOMPARE(grid()->model()->rowCount(), 0);
  }

  // A text file that cannot be written gets its own message and the file system's reason; a packet's
  // message is the file system's error already.
  void failedSaveSaysWhy_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("text") << "readings.xls" << "Could not save table to specified file: %1" << QMessageBox::NoIcon;
    QTest::newRow("packet") << "readings.xml" << "Cannot create file \"%1\". %2" << QMessageBox::Critical;
  }
  void failedSaveSaysWhy() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QTemporaryDir folder;
    FileChoice choice(folder.filePath(QStringLiteral("missing/") + name));
    window_->tableFileCommands().setFileDialogRunner(answerWith(choice));
    showReadingAt(10'000);

    SeenBox seen;
    ModalAnswers answers({pressInBox(seen)});
    window_->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
    QVERIFY(answers.allAnswered());
    const QString why = QString::fromLocal8Bit(std::strerror(ENOENT));
    QCOMPARE(seen.text, text.contains("%2") ? text.arg(choice.path, why) : text.arg(choice.path));
    QTEST(seen.icon, "icon");
    QCOMPARE(seen.informativeText, seen.icon == QMessageBox::NoIcon ? why : QString());
    QCOMPARE(grid()->model()->rowCount(), 1);  // nothing lost
  }

  void failedOpenSaysSo() {
    QTemporaryDir folder;
    FileChoice choice(folder.filePath(QStringLiteral("broken.xml")));
    QFile broken(choice.path);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<DATAPACKET");
    broken.close();
    window_->tableFileCommands().setFileDialogRunner(answerWith(choice));
    showReadingAt(10'000);

    SeenBox seen;
    ModalAnswers answers({pressInBox(seen)});
    window_->findChild<QToolButton*>(QStringLiteral("SpeedButton3"))->click();
    QVERIFY(answers.allAnswered());
    QCOMPARE(seen.title, QString("Error"));
    QCOMPARE(seen.text, QString("Failed to Load File!"));
    QCOMPARE(seen.icon, QMessageBox::Critical);
    QVERIFY2(seen.informativeText.startsWith(QStringLiteral("line 1, column ")), qPrintable(seen.informativeText));
    QCOMPARE(grid()->model()->rowCount(), 1);  // the table is as it was, and logging goes on
    showReadingAt(40'000);
    QCOMPARE(grid()->model()->rowCount(), 2);
  }

private:
  QTableView* grid() const { return window_->findChild<QTableView*>(QStringLiteral("DBGrid1")); }

  // Shows what the simulated meter displays `ms` into its programme.
  void showReadingAt(int ms) {
    window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(meter_.displayAt(std::chrono::milliseconds(ms)))));
  }

  qm::sim::MeterModel meter_;
  std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(TestMainWindowReadingLog)
#include "tst_main_window_reading_log.moc"
