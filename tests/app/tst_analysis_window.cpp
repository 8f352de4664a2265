// The insulation test analysis window as the user meets it: reached from the Analysis menu, it
// follows a PI test as it is logged (DAR after a minute, PI after ten), shows the curve on a log
// axis with its marks, takes the test record in a dialog, and keeps the record beside the table
// file that Save As writes and Open reads.

#include "app/analysis_window.h"
#include "app/main_window.h"
#include "app/test_record_dialog.h"
#include "app/window_answers.h"
#include "meter/live_meter.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using qm::app::AnalysisWindow;
using qm::app::MainWindow;

class TestAnalysisWindow : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<MainWindow> window_;
  AnalysisWindow* analysis_ = nullptr;
  qm::sim::MeterModel meter_;
  qm::log::TimeOfDay now_ = 0;
  QStringList problems_;

  QString value(const char* name) const { return analysis_->findChild<QLabel*>(QLatin1String(name))->text(); }
  QLineSeries* series(const char* name) const {
    for (QAbstractSeries* series : analysis_->findChild<QChartView*>(QStringLiteral("ResistanceCurve"))->chart()->series()) {
      if (series->objectName() == QLatin1String(name)) {
        return qobject_cast<QLineSeries*>(series);
      }
    }
    return nullptr;
  }

  // The meter's display `seconds` into its PI test, logged at that time of day past 09:00.
  void logPiTestAt(double seconds) {
    now_ = 9 * 3'600'000 + static_cast<int>(seconds * 1000);
    const auto at = qm::sim::MeterModel::polarisationTestStart() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(meter_.displayAt(at))));
  }

  // Answers the test record dialog by typing into its fields; false leaves it unanswered.
  AnalysisWindow::RecordDialogRunner typeRecord(QString temperature, QString insulationClass, bool* accepted = nullptr) {
    return [=](qm::app::TestRecordDialog& dialog) {
      dialog.findChild<QLineEdit*>(QStringLiteral("AssetId"))->setText(QStringLiteral("M-104"));
      dialog.findChild<QLineEdit*>(QStringLiteral("AmbientTemperature"))->setText(temperature);
      dialog.findChild<QComboBox*>(QStringLiteral("InsulationClass"))->setCurrentText(insulationClass);
      dialog.accept();
      if (accepted != nullptr) {
        *accepted = dialog.result() == QDialog::Accepted;
      }
      return dialog.result() == QDialog::Accepted;
    };
  }

private slots:
  void init() {
    window_ = std::make_unique<MainWindow>();
    window_->liveMeter().logger().setClock([this] { return now_; });
    window_->liveMeter().setDecimalSeparator(".");
    window_->findChild<QAction*>(QStringLiteral("InsulationTest"))->trigger();
    analysis_ = window_->findChild<AnalysisWindow*>(QStringLiteral("InsulationAnalysis"));
    QVERIFY(analysis_ && analysis_->isVisible());
    analysis_->setProblemShower([this](const QString& text) { problems_ << text; });
    problems_.clear();
  }
  void cleanup() { window_.reset(); }

  void reachedFromAVisibleMenu() {
    auto* menu = window_->findChild<QMenu*>(QStringLiteral("AnalysisMenu"));
    QVERIFY(menu->menuAction()->isVisible());
    QCOMPARE(menu->title(), QString("Analysis"));
    QCOMPARE(menu->actions().first()->text(), QString("Insulation Test..."));
    QCOMPARE(value("Reasons"), QString("The table holds no insulation test run: readings in Ω, MΩ or GΩ under an IR function."));
  }

  // The simulated meter's PI test logged once a second: R30 after half a minute, DAR after a
  // minute, PI (and the meter's own) after ten; the curve grows on a log axis in GΩ.
  void followsAPiTestAsItIsLogged() {
    for (int second = 0; second <= 59; ++second) {
      logPiTestAt(second);
    }
    QCOMPARE(value("R30"), qm::analysis::ohmsText(qm::sim::MeterModel::polarisationTestOhms(30)));
    QCOMPARE(value("R60"), QString("-"));
    QCOMPARE(value("DAR"), QString("-"));
    QCOMPARE(series("Curve")->count(), 60);
    for (int second = 60; second <= 601; ++second) {
      logPiTestAt(second);
      if (second == 61) {
        QCOMPARE(value("DAR"), QString("1.47"));
        QCOMPARE(value("PI"), QString("-"));
      }
    }
    logPiTestAt(601.6);  // the meter shows its ratio
    QCOMPARE(value("PI"), QString("3.20"));
    QCOMPARE(value("MeterPI"), QString("3.20"));
    QCOMPARE(value("R600"), QString("6.400 GΩ"));
    QCOMPARE(value("Verdict"), QString("No verdict"));
    QVERIFY(value("Reasons").contains("Enter the ambient temperature in the test record for a verdict."));

    auto* runs = analysis_->findChild<QComboBox*>(QStringLiteral("RunList"));
    QCOMPARE(runs->count(), 1);
    QCOMPARE(runs->currentText(), QString("Run 1: No 1-603, IR:1000V 40GΩ, 601.6 s"));
    QCOMPARE(series("Curve")->count(), 601);  // 0 to 600 s: the rows from 601 s on are the ratio
    auto* axis = qobject_cast<QLogValueAxis*>(series("Curve")->attachedAxes().at(1));
    QVERIFY(axis);
    QVERIFY(std::abs(axis->min() / 0.1 - 1) < 1e-6);  // 122.6 MΩ at the start ...
    QCOMPARE(axis->max(), 10.0);  // ... to 6.4 GΩ, in whole decades of GΩ
    QCOMPARE(axis->titleText(), QString("Resistance (GΩ)"));
    for (const char* mark : {"Mark30s", "Mark60s", "Mark600s"}) {
      QLineSeries* line = series(mark);
      QVERIFY2(line && line->count() == 2 && line->at(0).x() == line->at(1).x(), mark);
    }
    QCOMPARE(series("Mark600s")->at(0).x(), 600.0);
  }

  // The test record gives the temperature and the class: at 20 °C R60 (2 GΩ) is 500 MΩ at
  // 40 °C, and with PI 3.2 against class F's 2.0 the winding passes.
  void testRecordGivesTheVerdict() {
    for (int second = 0; second <= 601; ++second) {
      logPiTestAt(second);
    }
    bool accepted = true;
    analysis_->setRecordDialogRunner(typeRecord("warm", "F", &accepted));
    analysis_->findChild<QPushButton*>(QStringLiteral("TestRecordButton"))->click();
    QVERIFY(!accepted);  // the dialog keeps a temperature that is no number
    QVERIFY(analysis_->testRecords().record().isEmpty());

    analysis_->setRecordDialogRunner(typeRecord("20", "F"));
    analysis_->editTestRecord();
    QCOMPARE(analysis_->testRecords().record().ambientCelsius, std::optional(20.0));
    QCOMPARE(value("R60At40C"), QString("500.0 MΩ"));
    QCOMPARE(value("Verdict"), QString("PASS"));
    QVERIFY(value("Reasons").contains("PI is 3.20, at least the minimum of 2.0 for class F"));
    QVERIFY(value("RecordSummary").startsWith("Test record: M-104, 20 °C, class F"));

    // As a random-wound winding the limit is 5 MΩ, and the DAR may be R60/R15.
    analysis_->findChild<QComboBox*>(QStringLiteral("WindingChoice"))->setCurrentIndex(1);
    QVERIFY(value("Reasons").contains("the minimum of 5.000 MΩ for random-wound windings"));
    analysis_->findChild<QComboBox*>(QStringLiteral("DarChoice"))->setCurrentIndex(1);
    QVERIFY(value("Reasons").contains("DAR (R60/R15)"));
  }

  // Save As writes the record beside the table file; Open brings back that file's record; a bad
  // side file is reported and gives no record.
  void recordTravelsWithTheTableFile() {
    QTemporaryDir dir;
    const QString table = dir.filePath("pump.xml");
    logPiTestAt(0);
    analysis_->setRecordDialogRunner(typeRecord("20", "F"));
    analysis_->editTestRecord();
    QVERIFY(!QFile::exists(table + ".test.json"));  // no table file yet

    FileChoice saveAs(table);
    window_->tableFileCommands().setFileDialogRunner(answerWith(saveAs));
    SeenBox saved;
    ModalAnswers answers({pressInBox(saved)});
    window_->findChild<QAction*>(QStringLiteral("Save_as"))->trigger();
    QVERIFY(answers.allAnswered());
    QVERIFY(saved.text.endsWith(" Scuss!"));
    QCOMPARE(qm::analysis::readTestRecord(table).record, analysis_->testRecords().record());

    window_.reset();
    init();
    QVERIFY(analysis_->testRecords().record().isEmpty());
    FileChoice open(table);
    window_->tableFileCommands().setFileDialogRunner(answerWith(open));
    window_->findChild<QAction*>(QStringLiteral("Open"))->trigger();
    QCOMPARE(analysis_->testRecords().record().assetId, QString("M-104"));
    QCOMPARE(analysis_->testRecords().tableFileName(), table);
    QVERIFY(value("RecordSummary").contains("M-104"));
    QCOMPARE(problems_, QStringList());

    QFile side(table + ".test.json");
    QVERIFY(side.open(QIODevice::WriteOnly | QIODevice::Truncate));
    side.write("{\"site\": ");
    side.close();
    window_->findChild<QAction*>(QStringLiteral("Open"))->trigger();
    QCOMPARE(problems_.size(), 1);
    QVERIFY2(problems_[0].startsWith(table + ".test.json: not JSON"), qPrintable(problems_[0]));
    QVERIFY(analysis_->testRecords().record().isEmpty());
  }

  // "Save Report..." writes the report of every run as a PDF, adding ".pdf" to the name; with no
  // run, or nowhere to write, it says so and writes nothing.
  void savesTheReport() {
    QTemporaryDir dir;
    QString answer = dir.filePath("pump");
    int asked = 0;
    analysis_->setReportFileAsker([&] {
      ++asked;
      return answer;
    });
    auto* button = analysis_->findChild<QPushButton*>(QStringLiteral("SaveReportButton"));
    QCOMPARE(button->text(), QString("Save Report..."));
    button->click();
    QCOMPARE(problems_, QStringList{"The table holds no insulation test run to report."});
    QCOMPARE(asked, 0);

    for (int second = 0; second <= 65; ++second) {
      logPiTestAt(second);
    }
    problems_.clear();
    button->click();
    QCOMPARE(problems_, QStringList());
    QFile saved(dir.filePath("pump.pdf"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray pdf = saved.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.contains("/Count 1"));  // one run, one page

    answer = dir.filePath("missing/pump.pdf");
    button->click();
    QCOMPARE(problems_.size(), 1);
    QVERIFY2(problems_[0].startsWith("Cannot write \"" + answer + "\""), qPrintable(problems_[0]));
    QVERIFY(!QFile::exists(answer));
  }

  // An earlier run picked from the list stays shown while the newest grows; picking the newest
  // follows it again.
  void pickedRunStays() {
    for (int second = 0; second <= 20; ++second) {
      logPiTestAt(second);
    }
    now_ += 60'000;  // a minute later, a second test
    const qm::log::TimeOfDay secondTest = now_;
    for (int second = 0; second <= 5; ++second) {
      now_ = secondTest + second * 1000;
      window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(meter_.displayAt(std::chrono::seconds(second)))));
    }
    auto* runs = analysis_->findChild<QComboBox*>(QStringLiteral("RunList"));
    QCOMPARE(runs->count(), 2);
    QCOMPARE(runs->currentIndex(), 1);
    runs->setCurrentIndex(0);
    emit runs->activated(0);
    now_ += 1000;
    window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(meter_.displayAt(std::chrono::seconds(6)))));
    QCOMPARE(runs->currentIndex(), 0);
    QCOMPARE(series("Curve")->count(), 21);
    runs->setCurrentIndex(1);
    emit runs->activated(1);
    now_ += 1000;
    window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(meter_.displayAt(std::chrono::seconds(7)))));
    QCOMPARE(series("Curve")->count(), 8);
    QVERIFY(runs->currentText().startsWith("Run 2: No 22-29, IR:500V 20GΩ"));
  }
};

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysis_window.moc"
