#include "link/hidraw_node.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>
#include <vector>

namespace qm::link {
namespace {

// A character device's sysfs directory, found through its device number so that a node named
// through a symlink works too.
std::string sysfsOf(const struct stat& node) {
  return "/sys/dev/char/" + std::to_string(major(node.st_rdev)) + ":" + std::to_string(minor(node.st_rdev));
}

}  // namespace

std::optional<std::string> hidSysfsDirectory(const std::string& devicePath) {
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
    return std::nullopt;
  }
  return sysfsOf(st) + "/device";
}

std::optional<ReportLengths> readReportLengths(const std::string& devicePath) {
  const auto directory = hidSysfsDirectory(devicePath);
  if (!directory) {
    return std::nullopt;
  }
  const std::string file = *directory + "/report_descriptor";
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  // The kernel keeps descriptors to 4096 bytes (HID_MAX_DESCRIPTOR_SIZE); the bound leaves room
  // should that grow, and a file that fills it is not taken for a descriptor.
  std::vector<std::uint8_t> bytes(16 * 1024);
  std::size_t filled = 0;
  bool ok = true;
  while (filled < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      ok = false;
      break;
    }
    if (n == 0) {
      break;
    }
    filled += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (!ok || filled == bytes.size()) {
    return std::nullopt;
  }
  return parseReportDescriptor(std::span(bytes.data(), filled));
}

std::uint32_t refuseBeforeOpening(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return static_cast<std::uint32_t>(errno != 0 ? errno : ENOENT);
  }
  if (!S_ISCHR(st.st_mode)) {
    return ENODEV;
  }
  const std::string subsystem = sysfsOf(st) + "/subsystem";
  std::array<char, 4096> target{};
  const ssize_t length = ::readlink(subsystem.c_str(), target.data(), target.size() - 1);
  if (length <= 0) {
    return ENODEV;
  }
  const std::string_view link(target.data(), static_cast<std::size_t>(length));
  const std::size_t slash = link.rfind('/');
  return (slash == std::string_view::npos ? link : link.substr(slash + 1)) == "hidraw" ? 0 : ENODEV;
}

std::uint32_t openFailure(const std::string& path, int savedErrno) {
  if (savedErrno != 0) {
    return static_cast<std::uint32_t>(savedErrno);
  }
  if (::access(path.c_str(), F_OK) != 0) {
    return static_cast<std::uint32_t>(errno != 0 ? errno : ENOENT);
  }
  if (::access(path.c_str(), R_OK | W_OK) != 0) {
    return EACCES;
  }
  return EIO;
}

}  // namespace qm::link
