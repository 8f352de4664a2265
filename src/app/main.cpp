#include "app/main_window.h"
#include "core/version.h"
#include "core/version_text.h"
#include "link/hidapi_platform.h"
#include "sim/simulated_desk.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kHelp =
    "Usage: qm-interface [OPTION]...\n"
    "Show, log, save and print the readings of a QM830/QM840 insulation-resistance tester\n"
    "that is plugged in through its USB cable (the HID device \"USB to Serial\").\n"
    "\n"
    "      --simulate  see a simulated desk, whose meter cable streams the built-in\n"
    "                    simulated meter, in place of the real HID devices\n"
    "  -h, --help      display this help and exit\n"
    "      --version   output version information and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME and -display DISPLAY, are taken as well.\n"
    "In the window, F1 opens the program's help.\n"
    "\n"
    "Exit status:\n"
    " 0  if the window was closed,\n"
    " 1  if the window cannot be shown (no display could be opened),\n"
    " 2  if the command line is wrong.\n"
    "\n"
    "Full documentation: man qm-interface\n";

// --help and --version are answered before the application object exists, so that they also work
// where no display can be opened; the first of them wins, and nothing after "--" counts.
int answerInformationRequest(int argc, char* argv[]) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs(qm::versionText("qm-interface").c_str(), stdout);
      return 0;
    }
  }
  return -1;
}

QtMessageHandler previousMessageHandler = nullptr;

// Qt ends the program with abort(), and a core dump, when it finds no display to show windows on.
// While the application object is made, that message becomes this program's error and status.
void refuseToStartWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    previousMessageHandler(type, context, message);
    return;
  }
  // Qt's own text advises reinstalling the program, which is not the cure for a missing display;
  // the warnings it printed before this say what it tried.
  std::fputs("qm-interface: the window cannot be shown: no display could be opened (is DISPLAY or WAYLAND_DISPLAY set?)\n"
             "Try 'qm-interface --help' for more information.\n",
             stderr);
  std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (const int status = answerInformationRequest(argc, argv); status >= 0) {
    return status;
  }
  previousMessageHandler = qInstallMessageHandler(refuseToStartWithoutDisplay);
  QApplication app(argc, argv);
  qInstallMessageHandler(previousMessageHandler);
  QApplication::setApplicationName(QStringLiteral("qm-interface"));
  QApplication::setApplicationVersion(QString::fromLatin1(qm::kProgramVersion));

  QCommandLineParser parser;
  const QCommandLineOption simulateOption(
      QStringLiteral("simulate"), QStringLiteral("Use a simulated desk whose meter cable streams the built-in simulated meter."));
  parser.addOption(simulateOption);
  const bool parsed = parser.parse(QApplication::arguments());
  if (!parsed || !parser.positionalArguments().isEmpty()) {
    const QString error = parsed ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())
                                 : parser.errorText();
    std::fprintf(stderr, "qm-interface: %s\nTry 'qm-interface --help' for more information.\n", qPrintable(error));
    return 2;
  }

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
