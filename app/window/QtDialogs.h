#pragma once

#include <QPointer>
#include <QString>
#include <functional>

#include "session/Dialogs.h"

class QMessageBox;
class QWidget;

// Dialogs on screen: QMessageBox and QFileDialog, each modal on the application's window, centred
// on it and kept above it, whichever window is active at the moment.
class QtDialogs : public Dialogs {
 public:
  // `window` names the window the dialogs belong to; it may give null while none is built.
  explicit QtDialogs(std::function<QWidget*()> window = {});

  bool confirm(Style style, const QString& title, const QString& text, const QString& acceptText,
               const QString& cancelText) override;
  bool confirmAgainstDefault(Style style, const QString& title, const QString& text,
                             const QString& keepText, const QString& otherText) override;
  void withdrawQuestion() override;
  void alert(Style style, const QString& title, const QString& text) override;
  QString openFile(const QString& message) override;
  QString saveFile(const QString& title, const QString& suggestedName) override;

  // True for a name the open panel may give back: one that ends in ".bin", in any case.
  static bool isImageFileName(const QString& path);

 private:
  std::function<QWidget*()> window_;
  QPointer<QMessageBox> question_;  // the open question of confirmAgainstDefault, if any
};
