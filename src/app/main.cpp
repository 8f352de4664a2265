#include "app/main_window.h"
#include "link/hidapi_platform.h"
#include "sim/simulated_desk.h"

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
      QStringLiteral("simulate"), QStringLiteral("Use a simulated desk whose meter cable streams the built-in simulated meter."));
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

  std::unique_ptr<qm::link::HidPlatform> platform;
  if (parser.isSet(simulateOption)) {
    platform = qm::sim::simulatedDesk();
  } else {
    platform = std::make_unique<qm::link::HidapiPlatform>();
  }
  qm::app::MainWindow window(std::move(platform));
  window.show();
  return QApplication::exec();
}
