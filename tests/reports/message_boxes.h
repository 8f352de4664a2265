#pragma once

// Answers the message boxes that commands show while a test runs: each one's icon and text is
// noted, and it is closed with its default button (OK), as a user reading it would.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <vector>

namespace reports_test {

class MessageBoxes {
public:
  struct Seen {
    QMessageBox::Icon icon;
    QString text;
  };

  MessageBoxes() {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box == lastAnswered_) {
        return;
      }
      lastAnswered_ = box;
      seen_.push_back({box->icon(), box->text()});
      box->button(QMessageBox::Ok)->click();
    });
    poll_.start(10);
  }

  const std::vector<Seen>& seen() const { return seen_; }
  QStringList texts() const {
    QStringList texts;
    for (const Seen& box : seen_) {
      texts << box.text;
    }
    return texts;
  }

private:
  QTimer poll_;
  QPointer<QMessageBox> lastAnswered_;
  std::vector<Seen> seen_;
};

}  // namespace reports_test
