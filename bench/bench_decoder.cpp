// Decoder throughput on one core: frames of the simulated meter's whole programme, decoded one
// after another into one panel, as the link delivers them.

#include "display/frame_decoder.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> programmeFrames() {
  const qm::sim::MeterModel meter;
  std::vector<std::string> frames;
  const auto length = qm::sim::MeterModel::programmeLength();
  for (auto t = std::chrono::milliseconds(0); t < length; t += std::chrono::milliseconds(250)) {
    frames.push_back(qm::sim::frameText(qm::sim::encodeFrame(meter.displayAt(t))));
  }
  return frames;
}

void decodeFrames(benchmark::State& state) {
  const std::vector<std::string> frames = programmeFrames();
  qm::display::PanelState panel = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(panel);
  decoder.setDecimalSeparator(".");
  std::size_t logRequests = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    logRequests += decoder.decodeFrame(frames[next]) ? 1 : 0;
    next = next + 1 == frames.size() ? 0 : next + 1;
    benchmark::DoNotOptimize(decoder.currentValue().data());
  }
  benchmark::DoNotOptimize(logRequests);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(decodeFrames);

}  // namespace

BENCHMARK_MAIN();
