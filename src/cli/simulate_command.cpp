#include "cli/simulate_command.h"

#include "cli/command_usage.h"
#include "cli/reading_output.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <optional>
#include <ostream>

namespace qm::cli {
int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  struct Setting {
    std::string_view option;
    long long lowest;
    long long highest;
    long long value;
  };
  Setting from{"--from", 0, 1'000'000'000, 0};
  Setting count{"--count", 0, 100'000'000, 1};
  Setting interval{"--interval", 1, 3'600'000, 500};
  // Each option is followed by its number.
  for (std::size_t i = 0; i < args.size(); i += 2) {
    Setting* setting = nullptr;
    for (Setting* candidate : {&from, &count, &interval}) {
      if (args[i] == candidate->option) {
        setting = candidate;
      }
    }
    if (setting == nullptr) {
      err << "qm-cli simulate: unknown argument '" << args[i] << "'\n" << usage::synopsis(usage::kSimulate);
      return 2;
    }
    const std::optional<long long> value =
        i + 1 < args.size() ? wholeNumber(args[i + 1], setting->lowest, setting->highest) : std::nullopt;
    if (!value) {
      err << "qm-cli simulate: " << setting->option << " needs a whole number from " << setting->lowest << " to "
          << setting->highest << "\n";
      return 2;
    }
    setting->value = *value;
  }

  const sim::MeterModel meter;
  for (long long n = 0; n < count.value; ++n) {
    const std::chrono::milliseconds at(from.value * 1000 + n * interval.value);
    out << sim::frameText(sim::encodeFrame(meter.displayAt(at))) << '\n';
  }
  out.flush();
  return 0;
}

}  // namespace qm::cli
