#pragma once

#include <QString>
#include <functional>

class QWidget;

// The modal questions and notices of the controller. The controller owns one implementation:
// QtDialogs on screen, a recording fake in tests.
class Dialogs {
 public:
  enum class Style { Informational, Warning, Critical };

  virtual ~Dialogs() = default;

  // Asks a yes/no question with two buttons, the accepting one first and default. True when the
  // user chose the accepting button.
  virtual bool confirm(Style style, const QString& title, const QString& text,
                       const QString& acceptText, const QString& cancelText) = 0;

  // Asks with two buttons: the first, `keepText`, is the safe answer, the default one and the
  // answer of Escape. True only when the user chose the other button, `otherText`.
  virtual bool confirmAgainstDefault(Style style, const QString& title, const QString& text,
                                     const QString& keepText, const QString& otherText) = 0;

  // Shows a notice with the platform's single default button and returns when it is closed.
  virtual void alert(Style style, const QString& title, const QString& text) = 0;

  // Lets the user pick one existing OS image file (*.bin); the empty string when cancelled.
  virtual QString openFile(const QString& message) = 0;

  // Lets the user name a file to write, offering `suggestedName`; the empty string when
  // cancelled.
  virtual QString saveFile(const QString& title, const QString& suggestedName) = 0;
};

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
  void alert(Style style, const QString& title, const QString& text) override;
  QString openFile(const QString& message) override;
  QString saveFile(const QString& title, const QString& suggestedName) override;

  // True for a name the open panel may give back: one that ends in ".bin", in any case.
  static bool isImageFileName(const QString& path);

 private:
  std::function<QWidget*()> window_;
};
