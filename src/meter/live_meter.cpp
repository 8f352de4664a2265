#include "meter/live_meter.h"

#include <QTime>

namespace qm::meter {
namespace {

constexpr std::chrono::milliseconds kLinkTimerInterval{100};
constexpr std::chrono::milliseconds kSampleTimerInterval{1000};

QByteArray bytesOf(std::string_view text) { return {text.data(), static_cast<qsizetype>(text.size())}; }

}  // namespace

LiveMeter::LiveMeter(std::unique_ptr<link::HidPlatform> platform, QObject* parent)
    : QObject(parent),
      platform_(std::move(platform)),
      reassembler_([this](std::string_view frameText) { hold_.offer(frameText); }),
      hold_([this](std::string_view frameText) { decodeFrame(frameText); }, this),
      linkTimer_(this),
      table_(this),
      sampleTimer_(this) {
  // Tests and the layout know these by the names the window's parts had.
  linkTimer_.setObjectName(QStringLiteral("ConTimer"));
  sampleTimer_.setObjectName(QStringLiteral("SampInterTime"));
  table_.setObjectName(QStringLiteral("cds1"));

  // The controller lists the devices while it is made, so the cable is selected once it exists.
  controller_ = std::make_unique<link::HidDeviceController>(*platform_);
  connection_ = std::make_unique<link::CableConnection>(
      *controller_, *platform_, reassembler_,
      link::CableConnection::Hooks{
          [this](std::string_view message) { emit linkMessage(bytesOf(message)); },
          [this] {
            decoder_.darkenLinkIcon();
            emit panelChanged();
          },
          [this] { linkStateChangedHere(); },
          [this](std::string_view line) { emit historyLine(bytesOf(line)); },
          [this](std::uint8_t reportId, std::span<const std::uint8_t> data) {
            emit reportRead(reportId, QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
          },
      });
  connection_->attach();

  connect(&linkTimer_, &QTimer::timeout, this, [this] {
    connection_->watchdogTick();
    emit linkTimerTicked();
  });
  linkTimer_.start(kLinkTimerInterval);
  connect(&sampleTimer_, &QTimer::timeout, this, [this] { logger_.sampleTimerTick(); });
  sampleTimer_.start(kSampleTimerInterval);
}

LiveMeter::~LiveMeter() {
  connection_.reset();
  controller_.reset();
}

void LiveMeter::linkStateChangedHere() {
  // A frame still waiting in the hold was read before the user disconnected: nothing read by a
  // link that is down may be shown or logged.
  if (connection_ && !connection_->isConnected()) {
    hold_.dropWaitingFrame();
  }
  emit linkStateChanged();
}

void LiveMeter::decodeFrame(std::string_view frameText) {
  const std::optional<CurrentReading> reading = decoder_.decodeFrame(frameText);
  emit panelChanged();
  emit frameDecoded(reading.has_value());
  if (reading) {
    offer(*reading);
  }
}

void LiveMeter::offer(const CurrentReading& reading) {
  const log::ReadingLogger::Outcome outcome = logger_.offerReading(reading);
  if (outcome == log::ReadingLogger::Outcome::Logged) {
    emit readingLogged(table_.rowCount() - 1);
  } else {
    emit readingNotLogged(outcome);
  }
}

void LiveMeter::followMeterTime(int speed, std::function<std::chrono::milliseconds()> meterTime) {
  hold_.setHoldLength(link::FrameHold::kDefaultLength / speed);
  const std::int64_t startOfDay = QTime::currentTime().msecsSinceStartOfDay();
  logger_.setClock([meterTime = std::move(meterTime), startOfDay] {
    return static_cast<log::TimeOfDay>((startOfDay + meterTime().count()) % log::kMillisecondsPerDay);
  });
}

void LiveMeter::releaseReadings() {
  const std::size_t logged = logger_.releaseReadings();
  for (std::size_t row = table_.rowCount() - logged; row < table_.rowCount(); ++row) {
    emit readingLogged(row);
  }
}

}  // namespace qm::meter
