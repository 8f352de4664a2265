#pragma once

// Paces decoding to the meter's display rate without ever holding the link. After a frame is
// decoded the hold runs for its length (500 ms unless set otherwise); frames completed meanwhile
// wait, and when the hold ends only the newest of them is decoded. The cable is read on all the
// while, so no report is lost to a full input queue and no frame is glued from two, and the
// window stays responsive.

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::link {

class FrameHold : public QObject {
  Q_OBJECT
public:
  using Decode = std::function<void(std::string_view frameText)>;

  static constexpr std::chrono::milliseconds kDefaultLength{500};

  explicit FrameHold(Decode decode, QObject* parent = nullptr);

  // Zero decodes every frame at once.
  void setHoldLength(std::chrono::milliseconds length);
  std::chrono::milliseconds holdLength() const { return length_; }

  // A frame that ended well terminated.
  void offer(std::string_view frameText);

  // Forgets the frame waiting for the hold to end, if any: a disconnected link decodes nothing more.
  void dropWaitingFrame() { waiting_.reset(); }

  bool holding() const { return timer_.isActive(); }
  bool hasWaitingFrame() const { return waiting_.has_value(); }

private:
  void decodeAndHold(std::string_view frameText);
  void holdEnded();

  Decode decode_;
  std::chrono::milliseconds length_ = kDefaultLength;
  QTimer timer_;
  std::optional<std::string> waiting_;
};

}  // namespace qm::link
