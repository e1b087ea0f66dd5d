#include "window/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon IconForStyle(Dialogs::Style style) {
  switch (style) {
    case Dialogs::Style::Informational:
      return QMessageBox::Information;
    // A critical alert asks for caution: it shows the caution sign, not the error sign.
    case Dialogs::Style::Warning:
    case Dialogs::Style::Critical:
      return QMessageBox::Warning;
  }
  return QMessageBox::NoIcon;
}

// A dialog belongs to the window: modal on it, centred on it and stacked above it even when
// another application's window is active. A window in the background asks for the user's
// attention, so the question or result is not missed.
void AttachToWindow(QDialog& dialog, QWidget* window) {
  dialog.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
  if (window && window->isVisible() && !window->isActiveWindow()) {
    QApplication::alert(window);
  }
}

// The title goes into the box as its main text, the explanation below it: the same reading order
// as a macOS alert. The window title stays the application's name.
void FillBox(QMessageBox& box, Dialogs::Style style, const QString& title, const QString& text) {
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setIcon(IconForStyle(style));
  box.setText(title);
  box.setInformativeText(text);
  box.setTextFormat(Qt::PlainText);
}

// The name filter only thins out the listing: a name typed by hand is taken as it is. This panel
// closes only on a name the image rule can apply to.
class ImageFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    const QStringList files = selectedFiles();
    if (files.size() == 1 && !QtDialogs::isImageFileName(files.constFirst())) {
      return;
    }
    QFileDialog::accept();
  }
};

}  // namespace

QtDialogs::QtDialogs(std::function<QWidget*()> window) : window_(std::move(window)) {}

bool QtDialogs::isImageFileName(const QString& path) {
  return QFileInfo(path).fileName().endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

bool QtDialogs::confirm(Style style, const QString& title, const QString& text,
                        const QString& acceptText, const QString& cancelText) {
  QWidget* window = window_ ? window_() : nullptr;
  QMessageBox box(window);
  FillBox(box, style, title, text);
  QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(cancelText, QMessageBox::RejectRole);
  box.setDefaultButton(accept);
  box.setEscapeButton(cancel);
  AttachToWindow(box, window);
  box.exec();
  return box.clickedButton() == accept;
}

bool QtDialogs::confirmAgainstDefault(Style style, const QString& title, const QString& text,
                                      const QString& keepText, const QString& otherText) {
  QWidget* window = window_ ? window_() : nullptr;
  QMessageBox box(window);
  FillBox(box, style, title, text);
  QPushButton* keep = box.addButton(keepText, QMessageBox::RejectRole);
  QPushButton* other = box.addButton(otherText, QMessageBox::DestructiveRole);
  box.setDefaultButton(keep);
  box.setEscapeButton(keep);
  AttachToWindow(box, window);
  question_ = &box;
  box.exec();
  return box.clickedButton() == other;
}

void QtDialogs::withdrawQuestion() {
  if (question_) {
    question_->reject();
  }
}

void QtDialogs::alert(Style style, const QString& title, const QString& text) {
  QWidget* window = window_ ? window_() : nullptr;
  QMessageBox box(window);
  FillBox(box, style, title, text);
  box.setStandardButtons(QMessageBox::Ok);
  AttachToWindow(box, window);
  box.exec();
}

QString QtDialogs::openFile(const QString& message) {
  // The message is the dialog's caption; no starting folder is set, the platform picks one.
  QWidget* window = window_ ? window_() : nullptr;
  ImageFileDialog dialog(window, message);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QStringLiteral("*.bin"));
  AttachToWindow(dialog, window);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().size() != 1) {
    return {};
  }
  // A platform panel may not ask this dialog before it closes: its answer is checked again.
  const QString path = dialog.selectedFiles().constFirst();
  return isImageFileName(path) ? path : QString();
}

QString QtDialogs::saveFile(const QString& title, const QString& suggestedName) {
  QWidget* window = window_ ? window_() : nullptr;
  QFileDialog dialog(window, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(suggestedName);
  AttachToWindow(dialog, window);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().constFirst();
}
