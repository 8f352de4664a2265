#pragma once

// The sampling-interval field takes digits only. Whatever reaches the field, typed, pasted or
// dropped, loses every other character before the field shows it; Backspace and the editing keys
// work as ever.

#include <QValidator>

namespace qm::app {

class DigitsOnlyValidator : public QValidator {
  Q_OBJECT
public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace qm::app
