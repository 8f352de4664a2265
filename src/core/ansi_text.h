#pragma once

// The program keeps every text of the meter, the reading table and the table files as bytes in
// code page 936, the ANSI code page of the meter's original platform. These helpers convert at the
// edge where a person reads or types a text (widgets, command-line output), and nowhere else.

#include <QString>

#include <string>
#include <string_view>

namespace qm {

// The ohm sign as stored: the two bytes A6 B8 of code page 936.
inline constexpr std::string_view kOhmSign = "\xA6\xB8";

// Code page 936 bytes -> Unicode. ASCII and the ohm sign never depend on the platform's converters;
// other bytes go through GB18030 (a superset of CP936), and bytes that form no character become U+FFFD.
QString fromAnsi(std::string_view bytes);

// Unicode -> code page 936 bytes. Returns false, leaving `out` untouched, when a character has no
// CP936 form.
bool toAnsi(const QString& text, std::string& out);

// Unicode -> code page 936 bytes, writing "?" for each character without a CP936 form, as the
// platform's own conversion does for texts that only a person reads (device captions).
std::string toAnsiLossy(const QString& text);

}  // namespace qm
