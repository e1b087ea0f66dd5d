#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::Icon IconForStyle(Dialogs::Style style) {
  switch (style) {
    case Dialogs::Style::Informational:
      return QMessageBox::Information;
    case Dialogs::Style::Warning:
      return QMessageBox::Warning;
    case Dialogs::Style::Critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// The title goes into the box as its main text, the explanation below it: the same reading order
// as a macOS alert. The window title stays the application's name.
void FillBox(QMessageBox& box, Dialogs::Style style, const QString& title, const QString& text) {
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setIcon(IconForStyle(style));
  box.setText(title);
  box.setInformativeText(text);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
}

}  // namespace

bool QtDialogs::confirm(Style style, const QString& title, const QString& text,
                        const QString& acceptText, const QString& cancelText) {
  QMessageBox box(QApplication::activeWindow());
  FillBox(box, style, title, text);
  QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(cancelText, QMessageBox::RejectRole);
  box.setDefaultButton(accept);
  box.setEscapeButton(cancel);
  box.exec();
  return box.clickedButton() == accept;
}

void QtDialogs::alert(Style style, const QString& title, const QString& text) {
  QMessageBox box(QApplication::activeWindow());
  FillBox(box, style, title, text);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

QString QtDialogs::openFile(const QString& message) {
  // The message is the dialog's caption; no starting folder is set, the platform picks one.
  QFileDialog dialog(QApplication::activeWindow(), message);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QStringLiteral("*.bin"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return dialog.selectedFiles().constFirst();
}
