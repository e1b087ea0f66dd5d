#include "desktop/LauncherEntry.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace {

// The application as the dock knows it: its installed desktop entry.
constexpr char kApplicationUri[] = "application://veltrin.desktop";

}  // namespace

LauncherEntry::LauncherEntry(const QDBusConnection& bus) : bus_(bus) {}

LauncherEntry::~LauncherEntry() {
  clear();
}

void LauncherEntry::showProgress(double fraction) {
  const double clamped = std::clamp(fraction, 0.0, 1.0);
  const int hundredths = static_cast<int>(std::lround(clamped * 100));
  if (hundredths == sentHundredths_) {
    return;
  }
  sentHundredths_ = hundredths;
  update(clamped, true);
}

void LauncherEntry::clear() {
  if (sentHundredths_ < 0) {
    return;
  }
  sentHundredths_ = -1;
  update(0, false);
}

void LauncherEntry::update(double fraction, bool visible) {
  if (!bus_.isConnected()) {
    return;
  }
  QDBusMessage signal = QDBusMessage::createSignal(
      QStringLiteral("/org/veltrin/Veltrin/LauncherEntry"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  const QVariantMap properties{{QStringLiteral("progress"), fraction},
                               {QStringLiteral("progress-visible"), visible}};
  signal << QString::fromLatin1(kApplicationUri) << properties;
  bus_.send(signal);
}
