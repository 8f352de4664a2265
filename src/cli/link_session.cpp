#include "cli/link_session.h"

#include "cli/reconnect_policy.h"
#include "link/hidapi_platform.h"
#include "sim/simulated_desk.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <ostream>

namespace qm::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true); }

}  // namespace

std::unique_ptr<link::HidPlatform> platformFor(bool simulate) {
  if (simulate) {
    return sim::simulatedDesk();
  }
  return std::make_unique<link::HidapiPlatform>();
}

int runConnected(meter::LiveMeter& meter, std::string_view command, std::optional<long long> seconds,
                 std::ostream& err) {
  ReconnectPolicy policy(meter, command, err);
  if (!meter.connection().cableIndex()) {
    err << "qm-cli " << command << ": no \"USB to Serial\" cable without a serial number is plugged in\n";
    return 1;
  }
  meter.connectCable();
  if (!meter.connection().isConnected()) {
    err << "qm-cli " << command << ": the cable cannot be opened for reading\n";
    return 1;
  }

  QObject::connect(&meter, &meter::LiveMeter::linkTimerTicked, &policy, [&policy] {
    if (interrupted.load()) {
      QCoreApplication::exit(0);
    } else if (policy.superviseLink() == ReconnectPolicy::LinkState::Ended) {
      QCoreApplication::exit(1);  // it said why
    }
  });
  QTimer deadline;
  if (seconds) {
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(0); });
    deadline.start(std::chrono::seconds(*seconds));
  }
  interrupted.store(false);
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  const int status = QCoreApplication::exec();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  return status;
}

}  // namespace qm::cli
