// qm-cli: the program's core without a window, for scripts and other tools.

#include "cli/analyse_command.h"
#include "cli/command_usage.h"
#include "cli/convert_command.h"
#include "cli/decode_command.h"
#include "cli/link_commands.h"
#include "cli/record_command.h"
#include "cli/replay_command.h"
#include "cli/report_command.h"
#include "cli/simulate_command.h"
#include "cli/snapshot_command.h"
#include "core/version_text.h"

#include <QCoreApplication>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Follows the command list in --help.
constexpr const char* kHelpEnd =
    "options:\n"
    "  -h, --help  display this help and exit\n"
    "  --version   output version information and exit\n"
    "\n"
    "Exit status: 0 if all went well, 1 if a command failed or skipped bad input,\n"
    "2 if the command line is wrong.\n"
    "Full documentation: man qm-cli\n";

constexpr const char* kUsage =
    "usage: qm-cli COMMAND [ARGS...]\n"
    "       qm-cli COMMAND --help   how a command is called, its options and their defaults\n"
    "commands:\n"
    "  analyse TABLEFILE [--temperature C] [--json]\n"
    "      the insulation test runs of a table file: R15 to R600, DAR, PI, R60 at 40 °C, verdict\n"
    "  convert IN OUT\n"
    "      read a table file as Open does and write it as Save As does (.xml: XML data packet, else text)\n"
    "  decode [--state] [--decimal-separator SEP] [FILE...]\n"
    "      decode frame texts (44 hex characters a line) from the FILEs or standard input\n"
    "  list [--simulate]\n"
    "      list the HID devices as the window does; * marks the cable it selects\n"
    "  log [--simulate [--from S] [--speed N]] [--count N] [--seconds S] [--limit N] [--interval S] [--no-repeat] [--out FILE]\n"
    "      connect to the cable and log its readings by the window's rules\n"
    "  record [--simulate] [--seconds S] [--count N] OUT\n"
    "      connect to the cable and write its raw input reports as replay reads them\n"
    "  replay [--state] [--decimal-separator SEP] [FILE]\n"
    "      feed recorded HID reports (hex, one a line) through reassembly and decoding\n"
    "  report TABLEFILE OUT [--layout data|store|graph|data+graph|insulation] [--picture FILE]\n"
    "      write a printed report of a table file as PDF, HTML, plain text or CSV (by OUT's extension)\n"
    "  simulate [--from SECONDS] [--count N] [--interval MS]\n"
    "      print the simulated meter's frame texts\n"
    "  snapshot TABLEFILE OUT.bmp [--page N] [--page-size P] [--whole]\n"
    "      draw the trend chart of a table file as the window does and write it as a BMP file\n";

// The usage `qm-cli COMMAND --help` prints; empty for an unknown command.
std::string_view usageOf(std::string_view command) {
  const std::pair<std::string_view, std::string_view> usages[] = {
      {"analyse", qm::cli::usage::kAnalyse}, {"convert", qm::cli::usage::kConvert},
      {"decode", qm::cli::usage::kDecode},
      {"list", qm::cli::usage::kList},       {"log", qm::cli::usage::kLog},
      {"record", qm::cli::usage::kRecord},   {"replay", qm::cli::usage::kReplay},
      {"simulate", qm::cli::usage::kSimulate}, {"snapshot", qm::cli::usage::kSnapshot},
  };
  for (const auto& [name, text] : usages) {
    if (name == command) {
      return text;
    }
  }
  return {};
}

}  // namespace

int main(int argc, char* argv[]) {
  // `qm-cli COMMAND --help` needs neither a display nor the command's other arguments.
  if (argc >= 3) {
    const std::string_view usage = usageOf(argv[1]);
    if (!usage.empty() && std::any_of(argv + 2, argv + argc, [](const char* arg) { return std::string_view(arg) == "--help"; })) {
      std::cout << usage;
      return 0;
    }
  }
  // The chart draws with widgets, which need an application object of another kind.
  if (argc >= 2 && std::string_view(argv[1]) == "snapshot") {
    return qm::cli::snapshotMain(argc, argv);
  }
  // Fonts and PDF need an application object with a GUI platform (offscreen does).
  if (argc >= 2 && std::string_view(argv[1]) == "report") {
    return qm::cli::reportMain(argc, argv);
  }
  // The locale's decimal separator comes from Qt, which needs its application object.
  QCoreApplication app(argc, argv);
  std::ios::sync_with_stdio(false);

  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "analyse") {
    return qm::cli::runAnalyse(args, std::cout, std::cerr);
  }
  if (command == "convert") {
    return qm::cli::runConvert(args, std::cerr);
  }
  if (command == "decode") {
    return qm::cli::runDecode(args, std::cin, std::cout, std::cerr);
  }
  if (command == "list") {
    return qm::cli::runList(args, std::cout, std::cerr);
  }
  if (command == "log") {
    return qm::cli::runLog(args, std::cout, std::cerr);
  }
  if (command == "record") {
    return qm::cli::runRecord(args, std::cout, std::cerr);
  }
  if (command == "replay") {
    return qm::cli::runReplay(args, std::cin, std::cout, std::cerr);
  }
  if (command == "simulate") {
    return qm::cli::runSimulate(args, std::cout, std::cerr);
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage << kHelpEnd;
    return 0;
  }
  if (command == "--version") {
    std::cout << qm::versionText("qm-cli");
    return 0;
  }
  std::cerr << "qm-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}
