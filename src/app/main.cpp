#include "app/frm_test.h"
#include "app/simulated_feed.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qm-interface"));
  QApplication::setApplicationVersion(QStringLiteral("2.00"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Shows, logs, saves and prints the readings of a QM830/QM840 insulation-resistance tester."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption simulateOption(
      QStringLiteral("simulate"), QStringLiteral("Feed the meter panel from the built-in simulated meter."));
  parser.addOption(simulateOption);
  const bool parsed = parser.parse(QApplication::arguments());
  if (!parsed || !parser.positionalArguments().isEmpty()) {
    const QString error = parsed ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())
                                 : parser.errorText();
    std::fprintf(stderr, "qm-interface: %s\nTry 'qm-interface --help'.\n", qPrintable(error));
    return 2;
  }
  // Answers --help, --help-all and --version and ends the program; bad arguments never get here.
  parser.process(app);

  qm::app::TFrmTest FrmTest;
  FrmTest.show();
  if (parser.isSet(simulateOption)) {
    new qm::app::SimulatedFeed([&FrmTest](std::string_view frameText) { FrmTest.showFrame(frameText); }, &FrmTest);
  }
  return QApplication::exec();
}
