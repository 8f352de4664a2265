#include "sim/simulated_desk.h"

namespace qm::sim {

std::unique_ptr<VirtualHidBus> simulatedDesk(VirtualCable::Pace pace) {
  return simulatedDesk(std::make_shared<VirtualCable>(pace));
}

std::unique_ptr<VirtualHidBus> simulatedDesk(std::shared_ptr<VirtualCable> cable) {
  auto bus = std::make_unique<VirtualHidBus>();

  VirtualDeviceDescription keyboard;
  keyboard.path = "sim://keyboard";
  keyboard.attributes = {0x046D, 0xC31C, 0x6400};
  keyboard.product = u"USB Keyboard";
  bus->plug(keyboard);

  VirtualDeviceDescription mouse;
  mouse.path = "sim://mouse";
  mouse.attributes = {0x1BCF, 0x0005, 0x0014};
  bus->plug(mouse);

  bus->plug(usbToSerialCable(kSimulatedCablePath, std::move(cable)));
  return bus;
}

}  // namespace qm::sim
