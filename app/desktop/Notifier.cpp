#include "desktop/Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

Notifier::Notifier(const QDBusConnection& bus) : bus_(bus) {}

void Notifier::notify(const QString& title, const QString& body) {
  if (!bus_.isConnected()) {
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // The desktop entry lets the desktop show the application's name and icon with it.
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("veltrin")}};
  call << QStringLiteral("Veltrin") << 0u << QStringLiteral("veltrin") << title << body
       << QStringList() << hints << -1;
  // Without D-Bus activation: where no service runs, nothing is started for it.
  call.setAutoStartService(false);
  bus_.asyncCall(call);
}
