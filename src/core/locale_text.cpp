#include "core/locale_text.h"

#include "core/ansi_text.h"

#include <QLocale>

namespace qm {

std::string systemDecimalSeparator() {
  std::string separator;
  if (!toAnsi(QLocale::system().decimalPoint(), separator)) {
    return {};
  }
  separator.resize(std::min<std::size_t>(separator.size(), 9));
  return separator;
}

}  // namespace qm
