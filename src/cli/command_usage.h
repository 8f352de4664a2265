#pragma once

// What `qm-cli COMMAND --help` prints, and what a usage error shows after its reason: one place
// that says how every command is called, its options and their defaults.

#include <string_view>

namespace qm::cli::usage {

// The synopsis of a usage text, its lines up to the first explanation (a line indented by two
// blanks): what a usage error shows after its reason.
constexpr std::string_view synopsis(std::string_view usage) {
  std::size_t end = usage.find('\n') + 1;
  while (end < usage.size() && !(usage.substr(end, 2) == "  " && usage.size() > end + 2 && usage[end + 2] != ' ')) {
    const std::size_t lineEnd = usage.find('\n', end);
    if (lineEnd == std::string_view::npos) {
      return usage;
    }
    end = lineEnd + 1;
  }
  return usage.substr(0, end);
}

inline constexpr std::string_view kAnalyse =
    "usage: qm-cli analyse TABLEFILE [--temperature C] [--json]\n"
    "  finds the insulation test runs of a table file (rows of one IR function in ohms, at most\n"
    "  10 s apart) and prints one TAB-separated line per run: its first and last No, function,\n"
    "  length, R15, R30, R60, R600, DAR (R60/R30), PI (R600/R60), R60 corrected to 40 °C, the\n"
    "  verdict against IEEE 43's limits and its reasons. The ambient temperature and insulation\n"
    "  class come from the table's test record TABLEFILE.test.json when there is one.\n"
    "  --temperature C  the ambient temperature in degrees Celsius (overrides the test record);\n"
    "                   without one there is no corrected R60 and no verdict\n"
    "  --json           one JSON object {\"runs\": [...]}: first_no, last_no, function, seconds,\n"
    "                   r15, r30, r60, r600 (ohms, null when not reached), dar, pi, r60_40c,\n"
    "                   verdict (\"PASS\", \"FAIL\", \"QUESTIONABLE\" or null) and reasons\n";

inline constexpr std::string_view kConvert =
    "usage: qm-cli convert IN OUT\n"
    "  reads the table file IN as the window's Open does and writes it to OUT as Save As does;\n"
    "  the format follows each name's extension: .xml an XML data packet, anything else\n"
    "  TAB-separated text\n";

inline constexpr std::string_view kDecode =
    "usage: qm-cli decode [--state] [--decimal-separator SEP] [FILE...]\n"
    "  decodes frame texts (44 hex digits, one frame a line) from the FILEs in order, or from\n"
    "  standard input, with one decoder; prints a TAB-separated line for each: value, unit,\n"
    "  function, mode, and 1 when the reading would be logged, else 0\n"
    "  --state                  add the lit panel elements and the thirteen digits\n"
    "  --decimal-separator SEP  what a decimal point reads as (default: the system locale's)\n";

inline constexpr std::string_view kList =
    "usage: qm-cli list [--simulate]\n"
    "  lists the HID devices as the window does, one a line: '*' marks the cable it selects,\n"
    "  then the list index, a TAB and the device's name\n"
    "  --simulate  list the simulated desk (keyboard, mouse and the meter's cable)\n";

inline constexpr std::string_view kLog =
    "usage: qm-cli log [--simulate [--from S] [--speed N]] [--count N] [--seconds S] [--limit N] [--interval S]\n"
    "                  [--no-repeat] [--out FILE] [--decimal-separator SEP]\n"
    "  connects to the cable as CONNECT does and logs its readings by the window's rules; each\n"
    "  logged reading is a line on standard output: number, time, value, unit, function, mode\n"
    "  --simulate     read the simulated meter's cable instead of the real one\n"
    "  --from S       start the simulated meter S seconds into its programme (default 0; its\n"
    "                 ten-minute PI test starts at 166)\n"
    "  --speed N      run the simulated meter N times as fast, 1 to 100 (default 1); the readings\n"
    "                 are stamped with the meter's time, which starts at the time of day now\n"
    "  --count N      end after N readings (default: no end but Ctrl+C)\n"
    "  --seconds S    end after S seconds (of the meter's time with --speed)\n"
    "  --limit N      stop logging once N readings were logged (default 10000, at most 10000000)\n"
    "  --interval S   log at most one reading every S seconds, the first at once (default: every reading)\n"
    "  --no-repeat    leave out a reading whose value equals the last one logged\n"
    "  --out FILE     also write the readings to FILE: an XML data packet at the end for .xml,\n"
    "                 else a TAB-separated table file, a line as each reading is logged; FILE is\n"
    "                 left as it was until the first reading\n"
    "  --decimal-separator SEP  what a decimal point reads as (default: the system locale's)\n";

inline constexpr std::string_view kRecord =
    "usage: qm-cli record [--simulate] [--seconds S] [--count N] OUT\n"
    "  connects to the cable as CONNECT does and writes every input report it delivers to OUT\n"
    "  (- for standard output), one a line as qm-cli replay reads them; OUT is left as it was\n"
    "  until the first report. Ends after S seconds, after N reports, or on Ctrl+C.\n"
    "  --simulate  read the simulated meter's cable instead of the real one\n";

inline constexpr std::string_view kReplay =
    "usage: qm-cli replay [--state] [--decimal-separator SEP] [FILE]\n"
    "  feeds recorded HID input reports through reassembly and decoding, without the display's\n"
    "  half-second hold, and prints a line for every decoded frame as qm-cli decode does. One\n"
    "  report a line, from FILE or standard input: the data bytes after the report ID in hex,\n"
    "  with or without blanks between bytes (\"F3 0D 0A 00\" or \"F30D0A00\"); an empty line is a\n"
    "  report without data bytes. qm-cli record writes this form.\n"
    "  --state                  add the lit panel elements and the thirteen digits\n"
    "  --decimal-separator SEP  what a decimal point reads as (default: the system locale's)\n";

inline constexpr std::string_view kSimulate =
    "usage: qm-cli simulate [--from SECONDS] [--count N] [--interval MS]\n"
    "  prints the frame texts of the built-in simulated meter, one a line. Its programme runs in\n"
    "  simulated time and repeats: an insulation test at 500 V, DC and AC volts, timed tests, a\n"
    "  polarisation index in fast motion, a compare test, and from 166 s a ten-minute PI test.\n"
    "  --from SECONDS  start this far into the programme (default 0)\n"
    "  --count N       print N frames (default 1)\n"
    "  --interval MS   simulated milliseconds from one frame to the next (default 500); nothing\n"
    "                  waits: the frames are printed at once\n";

inline constexpr std::string_view kSnapshot =
    "usage: qm-cli snapshot TABLEFILE OUT.bmp [--page N] [--page-size P] [--whole] [--decimal-separator SEP]\n"
    "  draws the trend chart of a table file as the window's snapshots do and writes it as a BMP\n"
    "  --page N               draw page N (default: the first)\n"
    "  --page-size P          points a page, 0 for all on one page (default 100, as the window starts)\n"
    "  --whole                every point on one page, as the window's \"Save Whole\"\n"
    "  --decimal-separator S  what a decimal point reads as in the table's values (default: the\n"
    "                         system locale's); rows whose value is no number give no point\n";

}  // namespace qm::cli::usage
