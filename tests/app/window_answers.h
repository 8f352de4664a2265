#pragma once

// Answers for what a window command asks its user: the modal windows it opens (message boxes,
// dialogs), one step per window in order, and the file dialogs of the table file commands.

#include "app/table_file_commands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <functional>

// Answers the modal windows the next command opens, one step per window, in order. A test fails
// if a window it expected never came; a window it did not expect is left for the step count check.
class ModalAnswers {
public:
  using Step = std::function<void(QWidget* modal)>;

  explicit ModalAnswers(std::deque<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || modal == lastAnswered_ || steps_.empty()) {
        return;
      }
      lastAnswered_ = modal;
      Step step = std::move(steps_.front());
      steps_.pop_front();
      step(modal);
    });
    poll_.start(10);
  }
  bool allAnswered() const { return steps_.empty(); }

private:
  std::deque<Step> steps_;
  QTimer poll_;
  QPointer<QWidget> lastAnswered_;
};

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString informativeText;
};

// A step that notes what the message box said and presses `button`.
inline ModalAnswers::Step pressInBox(SeenBox& seen, QMessageBox::StandardButton button = QMessageBox::Ok) {
  return [&seen, button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    seen = {box->windowTitle(), box->text(), box->icon(), box->informativeText()};
    box->button(button)->click();
  };
}

// A file dialog that answers `path` at once, noting how the window prepared it: its filters, its
// default suffix and the name it offered.
struct FileChoice {
  explicit FileChoice(QString answer) : path(std::move(answer)) {}
  QString path;
  QStringList filters;
  QString defaultSuffix;
  QString offeredName;
};

inline qm::app::TableFileCommands::FileDialogRunner answerWith(FileChoice& choice) {
  return [&choice](QFileDialog& dialog) {
    choice.filters = dialog.nameFilters();
    choice.defaultSuffix = dialog.defaultSuffix();
    // With no name offered the dialog's selection is its folder.
    const QStringList offered = dialog.selectedFiles();
    const QFileInfo offeredFile(offered.isEmpty() ? QString() : offered.constFirst());
    choice.offeredName = offeredFile.isDir() ? QString() : offeredFile.fileName();
    return choice.path;
  };
}

