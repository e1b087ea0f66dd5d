#pragma once

#include <QDBusConnection>
#include <QString>

// Desktop notifications through the freedesktop notification service, so the end of a long run
// in a window that is not looked at gets noticed. Where no such service runs, or there is no
// session bus at all, a notification is simply not shown.
class Notifier {
 public:
  explicit Notifier(const QDBusConnection& bus = QDBusConnection::sessionBus());

  // Asks the service to show `title` and `body`. Does not wait for an answer: a missing or slow
  // service never holds up the application.
  void notify(const QString& title, const QString& body);

 private:
  QDBusConnection bus_;
};
