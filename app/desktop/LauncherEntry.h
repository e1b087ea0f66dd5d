#pragma once

#include <QDBusConnection>
#include <QString>

// The progress of an installation on the application's icon in the dock or the task bar, as
// KDE Plasma and the docks of GNOME show it: the com.canonical.Unity.LauncherEntry signal
// "Update", which names the application by its desktop entry. Where nothing listens, or there is
// no session bus at all, the signal goes nowhere and nothing else changes.
class LauncherEntry {
 public:
  explicit LauncherEntry(const QDBusConnection& bus = QDBusConnection::sessionBus());
  // Takes what it shows off the icon.
  ~LauncherEntry();
  LauncherEntry(const LauncherEntry&) = delete;
  LauncherEntry& operator=(const LauncherEntry&) = delete;

  // Shows `fraction` (0 to 1) of the work done on the icon. A value that would not move the
  // icon's bar by a hundredth is not sent again.
  void showProgress(double fraction);
  // Takes the progress off the icon.
  void clear();

 private:
  void update(double fraction, bool visible);

  QDBusConnection bus_;
  int sentHundredths_ = -1;  // what the icon shows, -1 while it shows nothing
};
