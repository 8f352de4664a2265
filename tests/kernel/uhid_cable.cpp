// qm-uhid-cable: the meter's "USB to Serial" cable as a real HID device of the Linux kernel, made
// through /dev/uhid, so that the program's real HID path (hidapi on hidraw) can be run without the
// hardware. It streams the simulated meter cut into 8-byte input reports, one every 12 ms, by the
// same report stream as the simulated cable, and answers feature reports as the cable's chip does.
//
// usage: qm-uhid-cable
// One line per event on standard output, flushed at once; T is the stream's time in ms:
//   plugged N at T          the Nth plug of the cable
//   feature N XX XX ...     a feature report that arrived during the Nth plug, byte for byte
//   unplugged N at T
//   ended at T
// SIGUSR1 unplugs the cable once the serial line is idle, never in the middle of a frame; SIGUSR2
// plugs it in again; SIGTERM and SIGINT end it. The meter goes on sending while the cable is
// unplugged, as a real meter would: those bytes are lost. Exit status 0, or 1 when /dev/uhid
// fails.

#include "sim/cable_report_stream.h"

#include <linux/input.h>
#include <linux/uhid.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

namespace {

using Clock = std::chrono::steady_clock;
using qm::sim::CableReport;
using qm::sim::CableReportStream;

constexpr char kProduct[] = "USB to Serial";
constexpr std::uint16_t kVendorId = 0x1A86;
constexpr std::uint16_t kProductId = 0xE008;

// One vendor-defined collection without report IDs: an 8-byte input report (count byte and seven
// payload bytes) and a feature report of nine bytes, ten with the report-number byte that
// unnumbered reports carry on their way through hidraw: the line settings.
constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor defined)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8 bits)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x09,        //   Report Count (9)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// Idle reports in a row after which an unplug cannot cut a frame: the first of them has ended the
// last frame, and the reader has had over 100 ms to take it.
constexpr int kIdleReportsBeforeUnplug = 10;

long long streamMs(const CableReportStream& stream) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(stream.now()).count();
}

void printBytes(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    std::printf(" %02X", byte);
  }
}

// One plug of the cable: the uhid device exists from construction to destruction.
class PluggedCable {
public:
  PluggedCable(int plugNumber, int fd) : plugNumber_(plugNumber), fd_(fd) {}
  ~PluggedCable() {
    uhid_event event{};
    event.type = UHID_DESTROY;
    send(event);
    ::close(fd_);
  }
  PluggedCable(const PluggedCable&) = delete;
  PluggedCable& operator=(const PluggedCable&) = delete;

  static std::unique_ptr<PluggedCable> plugIn(int plugNumber) {
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "qm-uhid-cable: cannot open /dev/uhid: %s\n", std::strerror(errno));
      return nullptr;
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    uhid_create2_req& create = event.u.create2;
    std::memcpy(create.name, kProduct, sizeof kProduct);
    // uniq stays empty: the cable has no serial number.
    std::memcpy(create.rd_data, kReportDescriptor, sizeof kReportDescriptor);
    create.rd_size = sizeof kReportDescriptor;
    create.bus = BUS_USB;
    create.vendor = kVendorId;
    create.product = kProductId;
    create.version = 0x0100;
    auto cable = std::make_unique<PluggedCable>(plugNumber, fd);
    if (!cable->send(event)) {
      std::fprintf(stderr, "qm-uhid-cable: cannot create the device: %s\n", std::strerror(errno));
      cable.reset();
    }
    return cable;
  }

  int fd() const { return fd_; }
  int plugNumber() const { return plugNumber_; }

  // Reports reach hidraw only while the kernel has started the device.
  void sendInput(const CableReport& report) {
    if (!started_) {
      return;
    }
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = static_cast<std::uint16_t>(report.size());
    std::copy(report.begin(), report.end(), event.u.input2.data);
    send(event);
  }

  // Serves one event of the kernel; false when the device is lost.
  bool serveEvent() {
    uhid_event event{};
    const ssize_t got = ::read(fd_, &event, sizeof event);
    if (got < 0) {
      return errno == EINTR || errno == EAGAIN;
    }
    switch (event.type) {
      case UHID_START:
        started_ = true;
        break;
      case UHID_STOP:
        started_ = false;
        break;
      case UHID_SET_REPORT: {
        const uhid_set_report_req& request = event.u.set_report;
        if (request.rtype == UHID_FEATURE_REPORT) {
          std::printf("feature %d", plugNumber_);
          printBytes(std::span(request.data, std::min<std::size_t>(request.size, UHID_DATA_MAX)));
          std::printf("\n");
          std::fflush(stdout);
        }
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.id;
        reply.u.set_report_reply.err = 0;
        send(reply);
        break;
      }
      case UHID_GET_REPORT: {
        // The chip has nothing to read back.
        uhid_event reply{};
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = event.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
        send(reply);
        break;
      }
      default:
        break;
    }
    return true;
  }

private:
  bool send(const uhid_event& event) { return ::write(fd_, &event, sizeof event) == static_cast<ssize_t>(sizeof event); }

  int plugNumber_;
  int fd_;
  bool started_ = false;
};

int signalDescriptor() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGUSR1, SIGUSR2, SIGTERM, SIGINT}) {
    sigaddset(&signals, signal);
  }
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  return ::signalfd(-1, &signals, SFD_CLOEXEC);
}

int millisecondsUntil(Clock::time_point due) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

}  // namespace

int main() {
  const int signals = signalDescriptor();
  if (signals < 0) {
    std::fprintf(stderr, "qm-uhid-cable: cannot watch signals: %s\n", std::strerror(errno));
    return 1;
  }
  CableReportStream stream;
  int plugs = 1;
  std::unique_ptr<PluggedCable> cable = PluggedCable::plugIn(plugs);
  if (!cable) {
    return 1;
  }
  std::printf("plugged %d at %lld\n", plugs, streamMs(stream));
  std::fflush(stdout);

  bool unplugAsked = false;
  int idleReports = 0;
  Clock::time_point due = Clock::now() + CableReportStream::kReportPeriod;
  for (;;) {
    pollfd waits[2] = {{signals, POLLIN, 0}, {cable ? cable->fd() : -1, POLLIN, 0}};
    if (::poll(waits, 2, millisecondsUntil(due)) < 0 && errno != EINTR) {
      std::fprintf(stderr, "qm-uhid-cable: poll failed: %s\n", std::strerror(errno));
      return 1;
    }
    if ((waits[0].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      if (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT) {
          break;
        }
        if (info.ssi_signo == SIGUSR1) {
          unplugAsked = cable != nullptr;
        } else if (info.ssi_signo == SIGUSR2 && !cable) {
          cable = PluggedCable::plugIn(++plugs);
          if (!cable) {
            return 1;
          }
          std::printf("plugged %d at %lld\n", plugs, streamMs(stream));
          std::fflush(stdout);
        }
      }
    }
    if (cable && (waits[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !cable->serveEvent()) {
      std::fprintf(stderr, "qm-uhid-cable: the device was lost: %s\n", std::strerror(errno));
      return 1;
    }

    if (Clock::now() < due) {
      continue;
    }
    const CableReport report = stream.nextReport();
    idleReports = (report[0] & 0x0F) == 0 ? idleReports + 1 : 0;
    if (cable) {
      cable->sendInput(report);
      if (unplugAsked && idleReports >= kIdleReportsBeforeUnplug) {
        const int plugNumber = cable->plugNumber();
        cable.reset();
        unplugAsked = false;
        std::printf("unplugged %d at %lld\n", plugNumber, streamMs(stream));
        std::fflush(stdout);
      }
    }
    // A guest that fell behind goes on from now rather than sending the missed reports in a
    // burst that could overrun the reader's queue.
    due = std::max(due, Clock::now()) + CableReportStream::kReportPeriod;
  }
  cable.reset();
  std::printf("ended at %lld\n", streamMs(stream));
  std::fflush(stdout);
  return 0;
}
