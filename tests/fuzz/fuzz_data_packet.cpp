// Arbitrary bytes read as an XML data packet. A packet that is read must write back as a packet
// that reads to the same table: writing that one again gives the same bytes.

#include "log/data_packet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string written(const qm::log::ReadingTable& table) {
  std::string bytes;
  qm::log::ChunkedOutput out([&bytes](std::string_view chunk) {
    bytes += chunk;
    return true;
  });
  qm::log::writeDataPacket(table, out, {});
  out.finish();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::log::ReadingTable first;
  if (!qm::log::readDataPacket(std::string_view(reinterpret_cast<const char*>(data), size), first, {})) {
    return 0;
  }
  const std::string firstBytes = written(first);
  qm::log::ReadingTable second;
  if (!qm::log::readDataPacket(firstBytes, second, {}) || written(second) != firstBytes) {
    std::abort();
  }
  return 0;
}
