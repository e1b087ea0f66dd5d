#pragma once

#include <QString>

// The modal questions and notices of the application: the confirmation before an installation,
// the question before quitting during one, the alerts and the file panels. The session and the
// window ask through this interface: on screen it is QtDialogs (window/QtDialogs.h), in tests a
// recording fake.
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

  // Closes a question of confirmAgainstDefault that is open, as if the safe answer had been
  // chosen, so a notice that makes it moot is seen alone. Nothing when none is open.
  virtual void withdrawQuestion() {}

  // Shows a notice with the platform's single default button and returns when it is closed.
  virtual void alert(Style style, const QString& title, const QString& text) = 0;

  // Lets the user pick one existing OS image file (*.bin); the empty string when cancelled.
  virtual QString openFile(const QString& message) = 0;

  // Lets the user name a file to write, offering `suggestedName`; the empty string when
  // cancelled.
  virtual QString saveFile(const QString& title, const QString& suggestedName) = 0;
};
