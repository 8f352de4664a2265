#pragma once

#include <string>

namespace qm {

// The decimal separator of the system's default locale as code page 936 bytes, at most nine of them
// (what the locale query's ten-byte, zero-filled buffer holds). Empty when the locale's separator
// has no CP936 form: decoded values then carry no separator, as when the query fails.
std::string systemDecimalSeparator();

}  // namespace qm
