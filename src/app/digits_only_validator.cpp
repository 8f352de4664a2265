#include "app/digits_only_validator.h"

namespace qm::app {

QValidator::State DigitsOnlyValidator::validate(QString& input, int& position) const {
  QString digits;
  digits.reserve(input.size());
  int removedBeforeCursor = 0;
  for (qsizetype i = 0; i < input.size(); ++i) {
    const QChar c = input[i];
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
      digits.append(c);
    } else if (i < position) {
      ++removedBeforeCursor;
    }
  }
  input = digits;
  position -= removedBeforeCursor;
  return Acceptable;
}

}  // namespace qm::app
