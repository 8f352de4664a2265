#pragma once

// What the kernel says of a hidraw node, outside hidapi: the HID device above it in sysfs, its
// report descriptor's lengths, and whether and why the node may or could not be opened.

#include "link/report_descriptor.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qm::link {

// The sysfs directory of the HID device behind a hidraw node; nullopt when the path is no
// character device.
std::optional<std::string> hidSysfsDirectory(const std::string& devicePath);

// The input, output and feature report lengths of the node's report descriptor, read from sysfs.
std::optional<ReportLengths> readReportLengths(const std::string& devicePath);

// Why a node must not reach hid_open_path, or 0 when it may. hidapi 0.13.1 uses its device after
// freeing it when the node opens but is no hidraw node (fixed upstream in 0.14), so anything but a
// hidraw character device is turned away here, as no device being there. Permission is left to
// hid_open_path: its open() says EACCES for a hidraw node the user may not open.
std::uint32_t refuseBeforeOpening(const std::string& path);

// The reason an open failed. hidapi leaves errno from its open() or ioctl() in place, but it does
// not promise to, so when errno (`savedErrno`) says nothing the node is examined here.
std::uint32_t openFailure(const std::string& path, int savedErrno);

}  // namespace qm::link
