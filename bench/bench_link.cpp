// The link's hot path: report reassembly per report, and the time from the report that ends a
// frame until the panel shows it, both directly on one thread and through a device's read thread
// and its hand-over to the GUI thread.

#include "display/frame_decoder.h"
#include "link/frame_hold.h"
#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"
#include "sim/cable_report_stream.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"
#include "sim/virtual_hid_bus.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A minute of what the cable sends: mostly reports without payload, a frame every 400 ms.
std::vector<qm::sim::CableReport> cableMinute() {
  qm::sim::CableReportStream stream;
  std::vector<qm::sim::CableReport> reports;
  while (stream.now() < 60s) {
    reports.push_back(stream.nextReport());
  }
  return reports;
}

void read310(benchmark::State& state) {
  const std::vector<qm::sim::CableReport> reports = cableMinute();
  std::size_t frames = 0;
  qm::link::ReportReassembler reassembler([&](std::string_view) { ++frames; });
  std::size_t next = 0;
  for (auto _ : state) {
    const qm::sim::CableReport& report = reports[next];
    reassembler.addReport(0, report.data(), static_cast<std::uint16_t>(report.size()));
    next = next + 1 == reports.size() ? 0 : next + 1;
  }
  benchmark::DoNotOptimize(frames);
  state.counters["reports/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(read310);

// The reports of one frame: payload reports of seven bytes, then the empty report that ends it.
std::vector<std::vector<std::uint8_t>> frameReports(std::chrono::milliseconds at) {
  const qm::sim::Frame frame = qm::sim::encodeFrame(qm::sim::MeterModel().displayAt(at));
  std::vector<std::vector<std::uint8_t>> reports;
  for (std::size_t i = 0; i < frame.size(); i += 7) {
    const std::size_t count = std::min<std::size_t>(7, frame.size() - i);
    std::vector<std::uint8_t> report(9, 0);
    report[1] = static_cast<std::uint8_t>(0xF0 | count);
    std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(i), count, report.begin() + 2);
    reports.push_back(report);
  }
  reports.push_back({0, 0xF0, 0, 0, 0, 0, 0, 0, 0});
  return reports;
}

// Report that ends a frame -> reassembler -> hold -> decoder -> panel state, on one thread.
void frameEndToPanelDirect(benchmark::State& state) {
  qm::display::PanelState panel = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(panel);
  qm::link::FrameHold hold([&](std::string_view text) { decoder.decodeFrame(text); });
  hold.setHoldLength(0ms);
  qm::link::ReportReassembler reassembler([&](std::string_view text) { hold.offer(text); });
  const std::vector<std::vector<std::uint8_t>> reports = frameReports(60s);
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
      reassembler.addReport(0, reports[i].data() + 1, 8);
    }
    state.ResumeTiming();
    reassembler.addReport(0, reports.back().data() + 1, 8);
  }
  benchmark::DoNotOptimize(panel);
}
BENCHMARK(frameEndToPanelDirect);

// The same through a device's read thread: the time from handing the ending report to the
// virtual device until the GUI thread has decoded the frame.
void frameEndToPanelThroughReadThread(benchmark::State& state) {
  int argc = 1;
  char name[] = "bench_link";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  qm::sim::VirtualHidBus bus;
  auto reports = std::make_shared<qm::sim::ScriptedReports>();
  bus.plug(qm::sim::usbToSerialCable("sim://cable", reports));
  qm::link::HidDeviceController controller(bus);
  std::unique_ptr<qm::link::HidDevice> cable = controller.claimDevice(0);

  qm::display::PanelState panel = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(panel);
  int decoded = 0;
  qm::link::FrameHold hold([&](std::string_view text) {
    decoder.decodeFrame(text);
    ++decoded;
  });
  hold.setHoldLength(0ms);
  qm::link::ReportReassembler reassembler([&](std::string_view text) { hold.offer(text); });
  cable->setDataCallback(qm::link::HidDataEvent(
      [&](qm::link::HidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) { reassembler.addReport(id, data, size); }));

  const std::vector<std::vector<std::uint8_t>> frame = frameReports(60s);
  for (auto _ : state) {
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
      reports->push(frame[i]);
    }
    while (!reassembler.frameInProgress() || reassembler.frameHex().size() < 44) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const int before = decoded;
    const auto start = std::chrono::steady_clock::now();
    reports->push(frame.back());
    while (decoded == before) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  cable->setDataCallback({});
}
BENCHMARK(frameEndToPanelThroughReadThread)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
